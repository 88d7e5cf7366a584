#pragma once

// The main window's page control: its tabs share its width.

#include <QTabWidget>

namespace qcal {

class PageControl : public QTabWidget {
public:
    explicit PageControl(QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace qcal
