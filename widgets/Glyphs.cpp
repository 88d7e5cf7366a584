#include "widgets/Glyphs.h"

#include <QApplication>
#include <QToolButton>

namespace qcal::desktop {

QIcon Glyph(const char* themeName, QStyle::StandardPixmap fallback) {
    const QString name = QString::fromLatin1(themeName);
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return QApplication::style()->standardIcon(fallback);
}

QIcon HelpGlyph() {
    return Glyph("help-contents", QStyle::SP_DialogHelpButton);
}

QToolButton* FlatButton(QWidget* parent, const char* name, const QRect& bounds, const QString& hint,
                        const QIcon& icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    button->setGeometry(bounds);
    button->setToolTip(hint);
    button->setIcon(icon);
    return button;
}

}  // namespace qcal::desktop
