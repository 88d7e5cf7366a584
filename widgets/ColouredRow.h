#pragma once

// How the program draws a line on the colour of its layer: the day cells, the layer list, the
// alarm list and every later list of events use this one rule. The layer colour stays the
// background, the text takes black or white, whichever reads better on it, and a selected line
// is framed in that same colour, so the selection shows on any layer colour.

#include <QColor>
#include <QStringList>
#include <QStyledItemDelegate>
#include <functional>

class QFontMetrics;
class QHeaderView;
class QPainter;
class QRect;
class QString;

namespace qcal {

// Black on light colours, white on dark ones, chosen by relative luminance.
QColor ContrastingTextColor(const QColor& background);

// The contrast ratio of two colours, 1 (the same) to 21 (black and white).
double ContrastRatio(const QColor& a, const QColor& b);

// The least ratio text needs to be read with ease.
inline constexpr double kReadableContrast = 4.5;

// accent itself when it reads on background; otherwise accent moved toward the readable ink
// of background (darker on light colours, lighter on dark ones) until it does.
QColor ReadableAccent(const QColor& accent, const QColor& background);

// How a layer colour goes on paper.
enum class PrintColours { Full = 0, LightTint = 1, None = 2 };
// The background a line of that layer colour gets on paper.
QColor PrintedBackground(const QColor& layer, PrintColours colours);

// text as it fits into width pixels: whole when it fits, else cut with an ellipsis at its end.
QString FittedRowText(const QFontMetrics& metrics, const QString& text, int width);
// The height of a row that shows a whole line of the font, and never less than least.
int RowHeightFor(const QFontMetrics& metrics, int least);

// Fills rect with background and writes text at its top-left corner; a text longer than the
// row ends with an ellipsis. A selected line is framed.
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

// How a list of events lays out its cells; the alarm list and the search results differ only
// in these.
struct EventRowCells {
    int rowHeight = 17;
    // Pixels between a cell's left edge and its text, for every cell but the first.
    int textIndent = 1;
    // The last cell runs to the row's end rather than to the end of its section.
    bool lastCellToRowEnd = false;
};

// Draws a list of events, one row per event and one cell per section of a header: the whole
// row on the event's layer colour, the first text at the row's left edge, every other text in
// the cell of its section. Each cell is filled before its text is written, so a long text ends
// where the next cell starts. A selected row is framed.
class EventRowDelegate : public QStyledItemDelegate {
public:
    // Gives row's layer colour and its texts, one per section; false for a row that is not
    // there (nothing is drawn).
    using RowSource = std::function<bool(int row, QColor& background, QStringList& texts)>;

    EventRowDelegate(EventRowCells cells, const QHeaderView& header, RowSource source,
                     QObject* parent);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    EventRowCells cells_;
    const QHeaderView& header_;
    RowSource source_;
};

}  // namespace qcal
