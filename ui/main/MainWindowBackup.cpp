// The main window's maintenance commands: backup of the data and settings to a ZIP archive,
// restore from one, and compaction of the database.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QToolButton>

#include "platform/desktop/BusyCursor.h"
#include "platform/desktop/Dialogs.h"
#include "platform/desktop/MessageBox.h"
#include "store/Backup.h"
#include "store/Compaction.h"
#include "store/DataModule.h"
#include "ui/main/MainWindow.h"

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

void TFormMainCalendar::CreateMaintenanceCommands() {
    connect(btnbackup, &QToolButton::clicked, this, &TFormMainCalendar::btnbackupClick);
    connect(btnrestore, &QToolButton::clicked, this, &TFormMainCalendar::btnrestoreClick);
    connect(CompactDatabase1, &QAction::triggered, this, &TFormMainCalendar::CompactDatabase1Click);
    CompactDatabase1->setEnabled(true);
}

bool TFormMainCalendar::ReleaseDatabase() {
    const bool remindAgainWasActive = scheduler_->TimerEvery15.isActive();
    scheduler_->TimerEvery1.stop();
    scheduler_->TimerEvery15.stop();
    scheduler_->TimerFortdoay.stop();
    scheduler_->TimerDayEnd.stop();
    dm_.Release();
    return remindAgainWasActive;
}

void TFormMainCalendar::ResumeAfterRelease(bool remindAgainWasActive) {
    dm_.Connect();
    if (btnactive->isChecked())
        scheduler_->TimerEvery1.start();
    if (remindAgainWasActive)
        scheduler_->TimerEvery15.start();
    scheduler_->TimerFortdoay.start();
}

void TFormMainCalendar::btnbackupClick() {
    desktop::FileRequest request;
    request.save = true;
    request.caption = QStringLiteral("Backup the data and settings to ZIP file");
    request.directory = QDir::homePath();
    request.filter = kZipFilter;
    std::optional<QString> chosen = desktop::ChooseFile(this, request);
    if (!chosen || chosen->isEmpty())
        return;
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".zip");

    desktop::BusyCursor busy;
    const bool remindAgainWasActive = ReleaseDatabase();
    const BackupReport report = WriteBackup(dm_.ProgramFolder(), LocalPath(path));
    if (report.ok && report.skipped.empty()) {
        desktop::MessageBox::Information(this,
                                         QStringLiteral("Backup the data and setting succeeds!"));
    } else if (report.ok) {
        // The sounds left out are named, so that nobody counts on them being in the archive.
        desktop::MessageBox::Information(
            this, QStringLiteral("Backup the data and setting succeeds!"), Lines(report.skipped));
    } else {
        desktop::MessageBox::Error(this, QStringLiteral("Backup the data and setting fails!"));
    }
    ResumeAfterRelease(remindAgainWasActive);
}

void TFormMainCalendar::btnrestoreClick() {
    desktop::FileRequest request;
    request.caption = QStringLiteral("Restore the data and settings from ZIP file");
    request.directory = QDir::homePath();
    request.filter = kZipFilter;
    const std::optional<QString> chosen = desktop::ChooseFile(this, request);
    if (!chosen || chosen->isEmpty())
        return;
    const std::string path = LocalPath(*chosen);

    desktop::BusyCursor busy;
    // Everything that can be checked without writing is checked while the database is still
    // open: an archive that is refused changes nothing and the program runs on.
    const RestoreReport inspected = InspectBackup(path);
    if (inspected.status == RestoreStatus::NotABackup) {
        desktop::MessageBox::Error(this, QStringLiteral("Invalid backup file"));
        return;
    }
    if (inspected.status != RestoreStatus::Done) {
        desktop::MessageBox::Error(this, kRestoreFails);
        return;
    }
    if (!desktop::MessageBox::Question(
            this, QStringLiteral("Replace all events, layers and settings with the backup '") +
                      QFileInfo(*chosen).fileName() + QStringLiteral("'?"))) {
        return;
    }

    const bool remindAgainWasActive = ReleaseDatabase();
    const RestoreReport report = RestoreBackup(dm_.ProgramFolder(), path);
    if (report.status == RestoreStatus::Done) {
        // The program starts again on the restored database, settings and layers. Entries
        // of the archive that were left in it are named.
        const QString done = QStringLiteral(
            "Restore the data and setting succeeds\rPlease restart the system after closed!");
        if (report.skipped.empty())
            desktop::MessageBox::Information(this, done);
        else
            desktop::MessageBox::Information(this, done, Lines(report.skipped));
        btnExitClick();
        return;
    }
    // The old files are all in place again: carry on with them.
    desktop::MessageBox::Error(this, report.status == RestoreStatus::NotABackup
                                         ? QStringLiteral("Invalid backup file")
                                         : kRestoreFails);
    ResumeAfterRelease(remindAgainWasActive);
}

void TFormMainCalendar::CompactDatabase1Click() {
    if (!CompactionAvailable()) {
        desktop::MessageBox::Error(
            this, QStringLiteral("To Compress Database,please install one of the following "
                                 "products:Microsoft Office 2000,Microsoft Access 2000,Microsoft "
                                 "Jet database engine 4.0,Microsoft Visual Basic 6.0"));
        return;
    }
    if (!desktop::MessageBox::Question(
            this, QStringLiteral("Compact the database now? Quenlaris Calendar ends afterwards "
                                 "and must be started again."))) {
        return;
    }
    desktop::BusyCursor busy;
    const bool remindAgainWasActive = ReleaseDatabase();
    const CompactReport report = CompactDatabaseFile(dm_.ProgramFolder());
    switch (report.status) {
        case CompactStatus::Done:
            desktop::MessageBox::Information(
                this,
                QStringLiteral(
                    "Database Successfully Compressed!\rYou must restart Quenlaris Calendar."));
            break;
        case CompactStatus::MoveAsideFailed:
            // Nothing was changed: the program carries on with the database as it was.
            desktop::MessageBox::Error(this, kCompactFails);
            ResumeAfterRelease(remindAgainWasActive);
            return;
        case CompactStatus::Failed:
            desktop::MessageBox::Error(this, kCompactFails);
            break;
    }
    btnExitClick();
}

}  // namespace qcal
