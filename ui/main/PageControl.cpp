#include "ui/main/PageControl.h"

#include <QTabBar>

#include <algorithm>

namespace qcal {
namespace {

class HalfWidthTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int index) const override {
        QSize size = QTabBar::tabSizeHint(index);
        if (parentWidget())
            size.setWidth(std::max(40, parentWidget()->width() / 2 - 2));
        return size;
    }
};

}  // namespace

PageControl::PageControl(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new HalfWidthTabBar(this));
}

void PageControl::resizeEvent(QResizeEvent* event) {
    // The tab bar keeps the tab sizes it measured for the old width until something about
    // its tabs changes; have it measure them again for the new one.
    tabBar()->setIconSize(tabBar()->iconSize());
    QTabWidget::resizeEvent(event);
}

}  // namespace qcal
