#include "print/Printing.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include "store/ErrorReporter.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageBox.h"

namespace qcal::print {
namespace {

PrinterLister& printerLister() {
    static PrinterLister lister;
    return lister;
}

// Where a PDF without a file name goes: asks the user.
bool ChooseOutputFile(QPrinter& printer, QWidget* parent) {
    if (printer.outputFormat() != QPrinter::PdfFormat || !printer.outputFileName().isEmpty())
        return true;
    const auto file = desktop::ChooseFile(parent, {true, QString::fromLatin1(kPdfPrinterName),
                                                   QString(), QStringLiteral("PDF files (*.pdf)")});
    if (!file || file->isEmpty())
        return false;
    printer.setOutputFileName(*file);
    return true;
}

QString PrinterTitle(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName()
                                                         : printer.printerName();
}

}  // namespace

QStringList AvailablePrinters() {
    if (printerLister())
        return printerLister()();
    QStringList names = QPrinterInfo::availablePrinterNames();
    names << QString::fromLatin1(kPdfPrinterName);
    return names;
}

void SetPrinterListerForTesting(PrinterLister lister) {
    printerLister() = std::move(lister);
}

bool RequirePrinter(QWidget* parent) {
    if (!AvailablePrinters().isEmpty())
        return true;
    desktop::MessageBox::Information(parent, QStringLiteral("No print in your system!"));
    return false;
}

void PrepareMonthPrinter(QPrinter& printer) {
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(QStringLiteral("Quenlaris Calendar"));
}

bool PrintMonthPage(QPrinter& printer, const RForPrint& options, const QString& title,
                    const MonthSheet& sheet, ErrorReporter& errors, QWidget* parent) {
    if (!ChooseOutputFile(printer, parent))
        return false;
    QPainter painter;
    if (!painter.begin(&printer)) {
        errors.ShowError("Unable to start printing on " + PrinterTitle(printer).toStdString() +
                         ".");
        return false;
    }
    DrawMonth(painter, printer.width(), options, title, printer.height(), sheet);
    if (printer.printerState() == QPrinter::Error) {
        printer.abort();
        painter.end();
        errors.ShowError("Printing on " + PrinterTitle(printer).toStdString() + " failed.");
        return false;
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        errors.ShowError("Printing on " + PrinterTitle(printer).toStdString() + " failed.");
        return false;
    }
    return true;
}

}  // namespace qcal::print
