#pragma once

// Synchronisation as the main window shows it: the "Synchronise now" command (for the
// window's menu and the tray's), a status line with the last synchronisation, the progress of
// a run and its last failure, and the questions a run puts to the user (a password that no
// secret store keeps, a certificate that did not verify).

#include <QObject>
#include <QSet>
#include <QString>

#include "sync/SyncService.h"

class QAction;
class QLabel;
class QStatusBar;
class QWidget;

namespace qcal {

class TDataMod;

class SyncStatus : public QObject {
    Q_OBJECT
public:
    // window: the parent of the status line and the questions; the command's key works in it.
    SyncStatus(sync::SyncService& sync, const TDataMod& dm, QWidget* window,
               QObject* parent = nullptr);

    QAction* SyncNowAction() const { return actSyncNow_; }
    // The status line, for the window's foot.
    QStatusBar* Line() const { return line_; }
    QString LineText() const;

private:
    void Started();
    void Progress(int done, int total);
    void Finished(bool ok, const QString& summary);
    void PasswordNeeded(const QString& calendarUrl, const QString& user);
    void CertificateNotTrusted(const QString& calendarUrl, const QString& fingerprint,
                               const QString& problem);
    void ShowIdle();
    // Puts the questions of the run that has ended, then runs again for what was answered.
    void AskQuestions();

    sync::SyncService& sync_;
    const TDataMod& dm_;
    QWidget* window_;
    QAction* actSyncNow_ = nullptr;
    QStatusBar* line_ = nullptr;
    QLabel* text_ = nullptr;
    QString lastFailure_;
    QString lastSummary_;
    // The questions of the present run, put when it has ended (never inside the engine's work).
    struct Account {
        QString url, user;
    };
    struct Certificate {
        QString url, fingerprint, problem;
    };
    QList<Account> passwordsNeeded_;
    QList<Certificate> untrusted_;
    // The accounts and certificates asked about: each once in the program's run, again only
    // when the user asks for a synchronisation.
    QSet<QString> asked_;
};

}  // namespace qcal
