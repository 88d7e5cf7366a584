#include "ui/main/PrintCommands.h"

#include <QPrintDialog>
#include <QPrinter>

#include <utility>

#include "print/PreviewWindow.h"
#include "print/Printing.h"
#include "store/DataModule.h"
#include "ui/main/MonthView.h"
#include "widgets/Dialogs.h"

namespace qcal {
namespace {

// The month page as the preview sees it.
class ShownMonth final : public print::MonthHost {
public:
    explicit ShownMonth(MonthView& month) : month_(month) {}
    int Year() const override { return month_.ShownYear(); }
    int Month() const override { return month_.ShownMonth(); }
    void ShowMonth(int year, int month) override { month_.ShowMonth(year, month); }
    print::MonthSheet Sheet() const override { return month_.Sheet(); }

private:
    MonthView& month_;
};

}  // namespace

PrintCommands::PrintCommands(TDataMod& dm, MonthView& month, std::function<void()> showMonthPage,
                             QWidget* owner)
    : QObject(owner),
      dm_(dm),
      month_(month),
      showMonthPage_(std::move(showMonthPage)),
      owner_(owner) {}

PrintCommands::~PrintCommands() = default;

QPrinter& PrintCommands::Printer() {
    if (!printer_) {
        printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
        // The month is laid out for a landscape page; the print dialog may still turn it.
        print::PrepareMonthPrinter(*printer_);
    }
    return *printer_;
}

// The day cells are filled only while the month page shows; the search page may have moved
// the year or month since. The page printed is always the month the pickers name.
void PrintCommands::btnpreviewClick() {
    if (!print::RequirePrinter(owner_))
        return;
    showMonthPage_();
    {
        ShownMonth host(month_);
        TFormPreview preview(dm_, host, Printer(), owner_);
        desktop::ExecModal(preview);
    }
    dm_.Reconnect();
}

void PrintCommands::btnprintClick() {
    if (!print::RequirePrinter(owner_))
        return;
    showMonthPage_();
    QPrinter& printer = Printer();
    QPrintDialog dialog(&printer, owner_);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (desktop::ExecModal(dialog) != QDialog::Accepted)
        return;
    print::PrintMonthPage(printer, dm_.Options.ForPrint, month_.MonthTitle(), month_.Sheet(),
                          dm_.Errors(), owner_);
    dm_.Reconnect();
}

}  // namespace qcal
