#pragma once

// Printing the month shown: directly through the print dialog, or from the preview.

#include <QObject>

#include <functional>
#include <memory>

class QPrinter;
class QWidget;

namespace qcal {

class MonthView;
class TDataMod;

class PrintCommands : public QObject {
    Q_OBJECT
public:
    // showMonthPage brings the month page to the front, its cells filled, before a print.
    // owner: the window the dialogs stay above.
    PrintCommands(TDataMod& dm, MonthView& month, std::function<void()> showMonthPage,
                  QWidget* owner);
    ~PrintCommands() override;

    void btnpreviewClick();
    void btnprintClick();
    // The printer of the month page, kept from one print to the next.
    QPrinter& Printer();

private:
    TDataMod& dm_;
    MonthView& month_;
    std::function<void()> showMonthPage_;
    QWidget* owner_;
    std::shared_ptr<QPrinter> printer_;
};

}  // namespace qcal
