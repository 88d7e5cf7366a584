#pragma once

// How the program draws a line on the colour of its layer: the day cells, the layer list, the
// alarm list and every later list of events use this one rule. The layer colour stays the
// background, the text takes black or white, whichever reads better on it, and a selected line
// is framed in that same colour, so the selection shows on any layer colour.

#include <QColor>
#include <QStyledItemDelegate>

class QPainter;
class QRect;
class QString;

namespace qcal {

// Black on light colours, white on dark ones, chosen by relative luminance.
QColor ContrastingTextColor(const QColor& background);

// Fills rect with background and writes text at its top-left corner, clipped at its edges
// (never elided). A selected line is framed.
void PaintColouredRow(QPainter& painter, const QRect& rect, const QString& text,
                      const QColor& background, bool selected);

// Frames a selected line of the given background in its text colour, inside rect.
void PaintSelectionFrame(QPainter& painter, const QRect& rect, const QColor& background);

// Draws list rows with PaintColouredRow; the row's colour is its background role. A row with
// a check mark gets the check box left of its coloured part.
class ColouredRowDelegate : public QStyledItemDelegate {
public:
    ColouredRowDelegate(int rowHeight, QObject* parent);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    int rowHeight_;
};

}  // namespace qcal
