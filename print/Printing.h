#pragma once

// The printers and the print job of the month page.

#include <QString>
#include <QStringList>

#include <functional>

#include "print/MonthPage.h"

class QPrinter;
class QWidget;

namespace qcal {
class ErrorReporter;
}

namespace qcal::print {

// The printers the user can print to: the installed ones, and Qt's PDF output, which is
// always there (the print dialog offers it as "Print to File (PDF)").
QStringList AvailablePrinters();
// Tests replace the list.
using PrinterLister = std::function<QStringList()>;
void SetPrinterListerForTesting(PrinterLister lister);

inline constexpr char kPdfPrinterName[] = "Print to File (PDF)";

// True when there is a printer; otherwise tells the user so and answers false.
bool RequirePrinter(QWidget* parent);

// A printer for the month page: landscape, at the printer's own resolution.
void PrepareMonthPrinter(QPrinter& printer);

// Prints the page on printer as one job. A printer that writes PDF without a file to write
// to asks for one first (no value chosen: nothing is printed, and the answer is false).
// A failed job is aborted and reported through errors. True when the page was printed.
bool PrintMonthPage(QPrinter& printer, const RForPrint& options, const QString& title,
                    const MonthSheet& sheet, ErrorReporter& errors, QWidget* parent);

}  // namespace qcal::print
