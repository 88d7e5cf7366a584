#pragma once

// Button glyphs: the icon theme's icon when the desktop has one, else a glyph of the
// style, so that no button is ever blank.

#include <QIcon>
#include <QStyle>

namespace qcal::desktop {

QIcon Glyph(const char* themeName, QStyle::StandardPixmap fallback);

}  // namespace qcal::desktop
