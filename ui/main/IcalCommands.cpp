#include "ui/main/IcalCommands.h"

#include <QAction>
#include <QDir>
#include <QMenu>

#include "session/CalendarSession.h"
#include "store/IcalExport.h"
#include "store/IcalImport.h"
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

IcalCommands::IcalCommands(CalendarSession& session, QMenu& menu, QWidget* owner)
    : QObject(owner), session_(session), owner_(owner) {
    actExportIcal = new QAction(QStringLiteral("Export iCalendar..."), this);
    actImportIcal = new QAction(QStringLiteral("Import iCalendar..."), this);
    actExportIcal->setObjectName(QStringLiteral("actExportIcal"));
    actImportIcal->setObjectName(QStringLiteral("actImportIcal"));
    // Beside the other data commands, before the first separator.
    QAction* before = nullptr;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            before = action;
            break;
        }
    }
    menu.insertAction(before, actExportIcal);
    menu.insertAction(before, actImportIcal);
    connect(actExportIcal, &QAction::triggered, this, &IcalCommands::ExportIcalendarClick);
    connect(actImportIcal, &QAction::triggered, this, &IcalCommands::ImportIcalendarClick);
}

void IcalCommands::ExportIcalendarClick() {
    const std::optional<QString> path = desktop::ChooseFile(
        owner_, {true, QStringLiteral("Export iCalendar"),
                 QDir::home().filePath(QStringLiteral("quenlaris-calendar.ics")), kIcalFilter});
    if (!path) {
        return;
    }
    ical::ExportResult result;
    {
        const desktop::BusyCursor busy;
        result = ical::ExportIcsFile(session_.Data(), Std(*path));
    }
    if (!result.ok) {
        desktop::MessageBox::Error(owner_, Q(result.error));
        return;
    }
    const QString text =
        QString::number(result.events) + QStringLiteral(" events exported to ") + *path;
    if (result.approximated.empty()) {
        desktop::MessageBox::Information(owner_, text);
        return;
    }
    desktop::MessageBox::Information(
        owner_,
        text + QStringLiteral("\r") + QString::number(result.approximated.size()) +
            QStringLiteral(" repeat rules have no exact iCalendar form and were written as the "
                           "closest rule (see details)"),
        Joined(result.approximated));
}

void IcalCommands::ImportIcalendarClick() {
    const std::optional<QString> path = desktop::ChooseFile(
        owner_, {false, QStringLiteral("Import iCalendar"), QDir::homePath(), kIcalFilter});
    if (!path) {
        return;
    }
    ical::ImportResult result;
    {
        const desktop::BusyCursor busy;
        result = session_.ImportIcs(Std(*path));
    }
    if (!result.ok) {
        desktop::MessageBox::Error(owner_, Q(result.error));
        return;
    }
    if (result.details.empty()) {
        desktop::MessageBox::Information(owner_, Q(result.Summary()));
    } else {
        desktop::MessageBox::Information(owner_, Q(result.Summary()), Q(result.DetailText()));
    }
}

}  // namespace qcal
