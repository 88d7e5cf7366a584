// Printing the month shown: directly through the print dialog, or from the preview.

#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

#include "core/Clock.h"
#include "core/Names.h"
#include "print/PreviewWindow.h"
#include "print/Printing.h"
#include "store/DataModule.h"
#include "ui/main/DayCell.h"
#include "ui/main/MainWindow.h"
#include "widgets/Convert.h"
#include "widgets/Dialogs.h"

namespace qcal {
namespace {

// The main window as the preview sees it.
class MainWindowMonth final : public print::MonthHost {
public:
    explicit MainWindowMonth(TFormMainCalendar& window) : window_(window) {}
    int Year() const override { return window_.ShownYear(); }
    int Month() const override { return window_.ShownMonth(); }
    void ShowMonth(int year, int month) override { window_.ShowMonth(year, month); }
    print::MonthSheet Sheet() const override { return window_.Sheet(); }

private:
    TFormMainCalendar& window_;
};

// The day cells are filled only while the month page shows; the search page may have moved
// the year or month since. The page printed is always the month the pickers name.
void ShowMonthPage(TFormMainCalendar& window) {
    window.ShowDatePage();
}

}  // namespace

void TFormMainCalendar::ConnectPrinting() {
    connect(btnpreview, &QToolButton::clicked, this, &TFormMainCalendar::btnpreviewClick);
    connect(btnprint, &QToolButton::clicked, this, &TFormMainCalendar::btnprintClick);
}

QPrinter& TFormMainCalendar::Printer() {
    if (!printer_) {
        printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
        // The month is laid out for a landscape page; the print dialog may still turn it.
        print::PrepareMonthPrinter(*printer_);
    }
    return *printer_;
}

print::MonthSheet TFormMainCalendar::Sheet() const {
    print::MonthSheet sheet;
    for (int n = 1; n <= kCellCount; ++n) {
        const Tlable_listbox& cell = Cell(n);
        print::SheetCell& out = sheet.cells[std::size_t(n - 1)];
        out.caption = cell.button->text();
        for (int row = 0; row < cell.list->count(); ++row)
            out.lines.push_back({cell.list->Text(row), cell.list->Background(row)});
    }
    sheet.firstWeekday = FirstWeekday();
    sheet.printedOn = desktop::Q(dm_.Format(dm_.Options.DateFormat, TDateTime(clock::Today())));
    return sheet;
}

QString TFormMainCalendar::MonthTitle() const {
    const std::string_view month =
        NameOf(kMonthNames, std::clamp(ListBoxMonth->currentRow(), 0, 11));
    return QString::fromLatin1(month.data(), qsizetype(month.size())) + QLatin1Char(' ') +
           QString::number(RxSpinYear->value());
}

void TFormMainCalendar::btnpreviewClick() {
    if (!print::RequirePrinter(this))
        return;
    ShowMonthPage(*this);
    {
        MainWindowMonth host(*this);
        TFormPreview preview(dm_, host, Printer(), this);
        desktop::ExecModal(preview);
    }
    dm_.Reconnect();
}

void TFormMainCalendar::btnprintClick() {
    if (!print::RequirePrinter(this))
        return;
    ShowMonthPage(*this);
    QPrinter& printer = Printer();
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (desktop::ExecModal(dialog) != QDialog::Accepted)
        return;
    print::PrintMonthPage(printer, dm_.Options.ForPrint, MonthTitle(), Sheet(), dm_.Errors(), this);
    dm_.Reconnect();
}

}  // namespace qcal
