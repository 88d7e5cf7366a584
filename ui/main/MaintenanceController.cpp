// The maintenance commands: backup of the data and settings to a ZIP archive, restore from
// one, and compaction of the database.

#include "ui/main/MaintenanceController.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "session/CalendarSession.h"
#include "store/Backup.h"
#include "store/Compaction.h"
#include "widgets/BusyCursor.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageBox.h"

namespace qcal {
namespace {

const QString kZipFilter = QStringLiteral("ZIP file (*.zip)");
const QString kRestoreFails =
    QStringLiteral("Restore the data and setting fails\rPlease restart the system after closed!");
const QString kCompactFails =
    QStringLiteral("Compress database fail!\rYou must restart Quenlaris Calendar.");

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString Lines(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& line : lines)
        out << QString::fromStdString(line);
    return out.join(QLatin1Char('\n'));
}

}  // namespace

MaintenanceController::MaintenanceController(CalendarSession& session, QWidget* window,
                                             QObject* parent)
    : QObject(parent), session_(session), window_(window) {}

void MaintenanceController::btnbackupClick() {
    desktop::FileRequest request;
    request.save = true;
    request.caption = QStringLiteral("Backup the data and settings to ZIP file");
    request.directory = QDir::homePath();
    request.filter = kZipFilter;
    std::optional<QString> chosen = desktop::ChooseFile(window_, request);
    if (!chosen || chosen->isEmpty())
        return;
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".zip");

    desktop::BusyCursor busy;
    const BackupReport report = session_.Backup(LocalPath(path));
    if (report.ok && report.skipped.empty()) {
        desktop::MessageBox::Information(window_,
                                         QStringLiteral("Backup the data and setting succeeds!"));
    } else if (report.ok) {
        // The sounds left out are named, so that nobody counts on them being in the archive.
        desktop::MessageBox::Information(window_,
                                         QStringLiteral("Backup the data and setting succeeds!"),
                                         Lines(report.skipped));
    } else {
        desktop::MessageBox::Error(window_, QStringLiteral("Backup the data and setting fails!"));
    }
}

void MaintenanceController::btnrestoreClick() {
    desktop::FileRequest request;
    request.caption = QStringLiteral("Restore the data and settings from ZIP file");
    request.directory = QDir::homePath();
    request.filter = kZipFilter;
    const std::optional<QString> chosen = desktop::ChooseFile(window_, request);
    if (!chosen || chosen->isEmpty())
        return;
    const std::string path = LocalPath(*chosen);

    desktop::BusyCursor busy;
    // Everything that can be checked without writing is checked while the database is still
    // open: an archive that is refused changes nothing and the program runs on.
    const RestoreReport inspected = InspectBackup(path);
    if (inspected.status == RestoreStatus::NotABackup) {
        desktop::MessageBox::Error(window_, QStringLiteral("Invalid backup file"));
        return;
    }
    if (inspected.status != RestoreStatus::Done) {
        desktop::MessageBox::Error(window_, kRestoreFails);
        return;
    }
    if (!desktop::MessageBox::Question(
            window_, QStringLiteral("Replace all events, layers and settings with the backup '") +
                         QFileInfo(*chosen).fileName() + QStringLiteral("'?"))) {
        return;
    }
    const RestoreReport report = session_.Restore(path);
    if (report.status == RestoreStatus::Done) {
        // The program starts again on the restored database, settings and layers. Entries
        // of the archive that were left in it are named.
        const QString done = QStringLiteral(
            "Restore the data and setting succeeds\rPlease restart the system after closed!");
        if (report.skipped.empty())
            desktop::MessageBox::Information(window_, done);
        else
            desktop::MessageBox::Information(window_, done, Lines(report.skipped));
        emit endRequested();
        return;
    }
    // The old files are all in place: the program carries on with them.
    desktop::MessageBox::Error(window_, report.status == RestoreStatus::NotABackup
                                            ? QStringLiteral("Invalid backup file")
                                            : kRestoreFails);
}

void MaintenanceController::CompactDatabase1Click() {
    if (!CompactionAvailable()) {
        desktop::MessageBox::Error(
            window_,
            QStringLiteral("To Compress Database,please install one of the following "
                           "products:Microsoft Office 2000,Microsoft Access 2000,Microsoft "
                           "Jet database engine 4.0,Microsoft Visual Basic 6.0"));
        return;
    }
    if (!desktop::MessageBox::Question(
            window_, QStringLiteral("Compact the database now? Quenlaris Calendar ends afterwards "
                                    "and must be started again."))) {
        return;
    }
    desktop::BusyCursor busy;
    const CompactReport report = session_.Compact();
    switch (report.status) {
        case CompactStatus::Done:
            desktop::MessageBox::Information(
                window_,
                QStringLiteral(
                    "Database Successfully Compressed!\rYou must restart Quenlaris Calendar."));
            break;
        case CompactStatus::MoveAsideFailed:
            // Nothing was changed: the program carries on with the database as it was.
            desktop::MessageBox::Error(window_, kCompactFails);
            return;
        case CompactStatus::Failed:
            desktop::MessageBox::Error(window_, kCompactFails);
            break;
    }
    emit endRequested();
}

}  // namespace qcal
