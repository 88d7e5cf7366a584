#include "ui/main/ColouredRowDelegate.h"

namespace qcal {

ColouredRowDelegate::ColouredRowDelegate(int rowHeight, QObject* parent)
    : QStyledItemDelegate(parent), rowHeight_(rowHeight) {}

QSize ColouredRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight_};
}

void ColouredRowDelegate::initStyleOption(QStyleOptionViewItem* option,
                                          const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    if (option->state & QStyle::State_Selected) {
        option->state &= ~QStyle::State_Selected;
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::HighlightedText));
    }
}

}  // namespace qcal
