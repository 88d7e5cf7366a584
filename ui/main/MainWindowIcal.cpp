// Export and import of iCalendar files from the options menu.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTimer>

#include "session/CalendarSession.h"
#include "store/DataModule.h"
#include "store/IcalExport.h"
#include "store/IcalImport.h"
#include "ui/main/MainWindow.h"
#include "widgets/BusyCursor.h"
#include "widgets/Convert.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageBox.h"

namespace qcal {

using desktop::Q;
using desktop::Std;

namespace {

const QString kIcalFilter = QStringLiteral("iCalendar files (*.ics *.ical);;All files (*)");

QString Joined(const std::vector<std::string>& lines) {
    QString text;
    for (const std::string& line : lines) {
        text += Q(line) + QLatin1Char('\n');
    }
    return text;
}

}  // namespace

void TFormMainCalendar::CreateIcalMenuItems() {
    actExportIcal = new QAction(QStringLiteral("Export iCalendar..."), this);
    actImportIcal = new QAction(QStringLiteral("Import iCalendar..."), this);
    actExportIcal->setObjectName(QStringLiteral("actExportIcal"));
    actImportIcal->setObjectName(QStringLiteral("actImportIcal"));
    // Beside the other data commands, before the first separator.
    QAction* before = nullptr;
    for (QAction* action : PmFormenu->actions()) {
        if (action->isSeparator()) {
            before = action;
            break;
        }
    }
    PmFormenu->insertAction(before, actExportIcal);
    PmFormenu->insertAction(before, actImportIcal);
    connect(actExportIcal, &QAction::triggered, this, &TFormMainCalendar::ExportIcalendarClick);
    connect(actImportIcal, &QAction::triggered, this, &TFormMainCalendar::ImportIcalendarClick);
}

void TFormMainCalendar::ExportIcalendarClick() {
    const std::optional<QString> path = desktop::ChooseFile(
        this, {true, QStringLiteral("Export iCalendar"),
               QDir::home().filePath(QStringLiteral("quenlaris-calendar.ics")), kIcalFilter});
    if (!path) {
        return;
    }
    ical::ExportResult result;
    {
        const desktop::BusyCursor busy;
        result = ical::ExportIcsFile(dm_, Std(*path));
    }
    if (!result.ok) {
        desktop::MessageBox::Error(this, Q(result.error));
        return;
    }
    const QString text =
        QString::number(result.events) + QStringLiteral(" events exported to ") + *path;
    if (result.approximated.empty()) {
        desktop::MessageBox::Information(this, text);
        return;
    }
    desktop::MessageBox::Information(
        this,
        text + QStringLiteral("\r") + QString::number(result.approximated.size()) +
            QStringLiteral(" repeat rules have no exact iCalendar form and were written as the "
                           "closest rule (see details)"),
        Joined(result.approximated));
}

void TFormMainCalendar::ImportIcalendarClick() {
    const std::optional<QString> path = desktop::ChooseFile(
        this, {false, QStringLiteral("Import iCalendar"), QDir::homePath(), kIcalFilter});
    if (!path) {
        return;
    }
    ical::ImportResult result;
    {
        const desktop::BusyCursor busy;
        result = session_.ImportIcs(Std(*path));
    }
    if (!result.ok) {
        desktop::MessageBox::Error(this, Q(result.error));
        return;
    }
    if (result.details.empty()) {
        desktop::MessageBox::Information(this, Q(result.Summary()));
    } else {
        desktop::MessageBox::Information(this, Q(result.Summary()), Q(result.DetailText()));
    }
}

}  // namespace qcal
