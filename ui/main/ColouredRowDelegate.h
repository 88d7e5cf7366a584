#pragma once

// Draws list rows on the colour of their layer (the item's background role). A selected row
// keeps its layer colour and shows its selection by the highlight text colour only.

#include <QStyledItemDelegate>

namespace qcal {

class ColouredRowDelegate : public QStyledItemDelegate {
public:
    ColouredRowDelegate(int rowHeight, QObject* parent);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    int rowHeight_;
};

}  // namespace qcal
