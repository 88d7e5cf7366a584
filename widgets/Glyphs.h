#pragma once

// Button glyphs: the icon theme's icon when the desktop has one, else a glyph of the
// style, so that no button is ever blank.

#include <QIcon>
#include <QRect>
#include <QStyle>

class QToolButton;
class QWidget;

namespace qcal::desktop {

QIcon Glyph(const char* themeName, QStyle::StandardPixmap fallback);
// The desktop's help icon, for every help button.
QIcon HelpGlyph();

// A flat tool button with its object name, bounds, hint and glyph.
QToolButton* FlatButton(QWidget* parent, const char* name, const QRect& bounds, const QString& hint,
                        const QIcon& icon);

}  // namespace qcal::desktop
