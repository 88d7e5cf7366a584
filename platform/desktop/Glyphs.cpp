#include "platform/desktop/Glyphs.h"

#include <QApplication>

namespace qcal::desktop {

QIcon Glyph(const char* themeName, QStyle::StandardPixmap fallback) {
    const QString name = QString::fromLatin1(themeName);
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return QApplication::style()->standardIcon(fallback);
}

}  // namespace qcal::desktop
