#include "widgets/ColouredRow.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qcal {
namespace {

double Linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(const QColor& c) {
    return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

}  // namespace

QColor ContrastingTextColor(const QColor& background) {
    // Black wins where its contrast ratio, (L + 0.05) / 0.05, beats white's,
    // 1.05 / (L + 0.05); the two meet at L = 0.179.
    const double l = RelativeLuminance(background);
    return (l + 0.05) * (l + 0.05) > 0.05 * 1.05 ? QColor(Qt::black) : QColor(Qt::white);
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableAccent(const QColor& accent, const QColor& background) {
    const QColor ink = ContrastingTextColor(background);
    QColor mixed = accent;
    // Ten steps toward the ink; the ink itself always reads.
    for (int step = 1; step <= 10 && ContrastRatio(mixed, background) < kReadableContrast; ++step) {
        const double t = step / 10.0;
        mixed = QColor::fromRgbF(float(accent.redF() * (1 - t) + ink.redF() * t),
                                 float(accent.greenF() * (1 - t) + ink.greenF() * t),
                                 float(accent.blueF() * (1 - t) + ink.blueF() * t));
    }
    return mixed;
}

QColor PrintedBackground(const QColor& layer, PrintColours colours) {
    switch (colours) {
        case PrintColours::Full:
            return layer;
        case PrintColours::None:
            return Qt::white;
        case PrintColours::LightTint:
        default:
            // A quarter of the colour on white paper.
            return QColor::fromRgbF(float(0.75 + layer.redF() / 4),
                                    float(0.75 + layer.greenF() / 4),
                                    float(0.75 + layer.blueF() / 4));
    }
}

QString FittedRowText(const QFontMetrics& metrics, const QString& text, int width) {
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    return metrics.elidedText(text, Qt::ElideRight, width);
}

int RowHeightFor(const QFontMetrics& metrics, int least) {
    return std::max(least, metrics.lineSpacing());
}

void PaintColouredRow(QPainter& painter, const QRect& rect, const QString& text,
                      const QColor& background, bool selected) {
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, background);
    const QColor ink = ContrastingTextColor(background);
    painter.setPen(ink);
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     FittedRowText(painter.fontMetrics(), text, rect.width()));
    if (selected)
        PaintSelectionFrame(painter, rect, background);
    painter.restore();
}

void PaintSelectionFrame(QPainter& painter, const QRect& rect, const QColor& background) {
    painter.save();
    painter.setPen(QPen(ContrastingTextColor(background), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

ColouredRowDelegate::ColouredRowDelegate(int rowHeight, QObject* parent)
    : QStyledItemDelegate(parent), rowHeight_(rowHeight) {}

QSize ColouredRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(),
            RowHeightFor(option.fontMetrics, rowHeight_)};
}

void ColouredRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const QVariant colour = index.data(Qt::BackgroundRole);
    const QColor background = colour.userType() == QMetaType::QColor
                                  ? colour.value<QColor>()
                                  : colour.value<QBrush>().color();
    QRect row = option.rect;
    const QVariant check = index.data(Qt::CheckStateRole);
    if (check.isValid()) {
        QStyleOptionViewItem box = option;
        initStyleOption(&box, index);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        const QRect mark =
            style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &box, widget);
        painter->fillRect(QRect(row.left(), row.top(), mark.right() + 1 - row.left(), row.height()),
                          option.palette.color(QPalette::Base));
        box.rect = mark;
        box.state = box.state & ~QStyle::State_HasFocus;
        switch (box.checkState) {
            case Qt::Unchecked:
                box.state |= QStyle::State_Off;
                break;
            case Qt::PartiallyChecked:
                box.state |= QStyle::State_NoChange;
                break;
            case Qt::Checked:
                box.state |= QStyle::State_On;
                break;
        }
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
        row.setLeft(mark.right() + 1);
    }
    painter->setFont(option.font);
    PaintColouredRow(*painter, row, index.data(Qt::DisplayRole).toString(), background,
                     option.state & QStyle::State_Selected);
}

EventRowDelegate::EventRowDelegate(EventRowCells cells, const QHeaderView& header, RowSource source,
                                   QObject* parent)
    : QStyledItemDelegate(parent), cells_(cells), header_(header), source_(std::move(source)) {}

QSize EventRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(),
            RowHeightFor(option.fontMetrics, cells_.rowHeight)};
}

void EventRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QColor background;
    QStringList texts;
    if (!source_ || !source_(index.row(), background, texts))
        return;
    const QRect rect = option.rect;
    painter->save();
    painter->setFont(option.font);
    painter->fillRect(rect, background);
    const int sections = header_.count();
    int left = rect.left();
    for (int section = 0; section < sections; ++section) {
        const int width = header_.sectionSize(section);
        const bool last = section + 1 == sections;
        const int right = last && cells_.lastCellToRowEnd ? rect.right() : left + width - 1;
        if (right >= left) {
            const QRect cell(QPoint(left, rect.top()), QPoint(right, rect.bottom()));
            painter->fillRect(cell, background);
            PaintColouredRow(*painter, cell.adjusted(section == 0 ? 0 : cells_.textIndent, 0, 0, 0),
                             texts.value(section), background, false);
        }
        left += width;
    }
    if (option.state & QStyle::State_Selected)
        PaintSelectionFrame(*painter, rect, background);
    painter->restore();
}

}  // namespace qcal
