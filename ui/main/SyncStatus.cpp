#include "ui/main/SyncStatus.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QUrl>
#include <QWidget>

#include "store/DataModule.h"
#include "ui/main/Shortcuts.h"
#include "ui/main/SyncQuestions.h"

namespace qcal {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

QString OriginOf(const QString& address) {
    return QUrl(address)
        .adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                  QUrl::RemoveUserInfo)
        .toString();
}

}  // namespace

SyncStatus::SyncStatus(sync::SyncService& sync, const TDataMod& dm, QWidget* window,
                       QObject* parent)
    : QObject(parent), sync_(sync), dm_(dm), window_(window) {
    setObjectName(S("SyncStatus"));
    actSyncNow_ = new QAction(S("S&ynchronise Now"), this);
    actSyncNow_->setObjectName(S("actSyncNow"));
    actSyncNow_->setShortcuts(KeysOf(Command::SyncNow));
    actSyncNow_->setShortcutContext(Qt::WindowShortcut);
    window_->addAction(actSyncNow_);
    connect(actSyncNow_, &QAction::triggered, this, [this] {
        againForPassword_ = false;
        sync_.SyncNow();
    });

    line_ = new QStatusBar(window_);
    line_->setObjectName(S("SyncStatusLine"));
    line_->setSizeGripEnabled(false);
    text_ = new QLabel(line_);
    text_->setObjectName(S("SyncStatusText"));
    line_->addWidget(text_, 1);

    connect(&sync_, &sync::SyncService::syncStarted, this, &SyncStatus::Started);
    connect(&sync_, &sync::SyncService::syncProgress, this, &SyncStatus::Progress);
    connect(&sync_, &sync::SyncService::syncFinished, this, &SyncStatus::Finished);
    connect(&sync_, &sync::SyncService::bindingsChanged, this, [this] {
        if (!sync_.Running())
            ShowIdle();
    });
    connect(&sync_, &sync::SyncService::failed, this, [this](const QString& message) {
        // The failures of a run; those of the preferences page are shown there.
        if (sync_.Running())
            lastFailure_ = message;
    });
    connect(&sync_, &sync::SyncService::passwordNeeded, this, &SyncStatus::PasswordNeeded);
    connect(&sync_, &sync::SyncService::certificateNotTrusted, this,
            &SyncStatus::CertificateNotTrusted);
    ShowIdle();
}

QString SyncStatus::LineText() const {
    return text_->text();
}

void SyncStatus::Started() {
    if (!againForPassword_)
        asked_.clear();
    againForPassword_ = false;
    actSyncNow_->setEnabled(false);
    text_->setText(S("Synchronising..."));
    line_->show();
}

void SyncStatus::Progress(int done, int total) {
    text_->setText(total > 0 ? S("Synchronising: %1 of %2 events").arg(done).arg(total)
                             : S("Synchronising: %1 events").arg(done));
}

void SyncStatus::Finished(bool ok, const QString& summary) {
    actSyncNow_->setEnabled(true);
    if (ok) {
        lastFailure_.clear();
        lastSummary_ = summary;
    } else {
        lastFailure_ = summary.isEmpty() ? lastFailure_ : summary;
        lastSummary_.clear();
    }
    ShowIdle();
}

void SyncStatus::ShowIdle() {
    QDateTime last;
    const QList<sync::Binding> bindings = sync_.Bindings();
    for (const sync::Binding& binding : bindings) {
        if (binding.lastSync.isValid() && (!last.isValid() || binding.lastSync > last))
            last = binding.lastSync;
    }
    if (bindings.isEmpty() && lastFailure_.isEmpty()) {
        line_->hide();
        return;
    }
    QString text = S("Last synchronised: ") + SyncTimeText(dm_, last);
    if (!lastSummary_.isEmpty())
        text += S(" (") + lastSummary_ + S(")");
    if (!lastFailure_.isEmpty())
        text += S(". Synchronisation failed: ") + lastFailure_;
    text_->setText(text);
    text_->setToolTip(text);
    line_->show();
}

void SyncStatus::PasswordNeeded(const QString& calendarUrl, const QString& user) {
    const QString account = user + QLatin1Char('@') + calendarUrl;
    if (asked_.contains(account))
        return;
    asked_.insert(account);
    const std::optional<QString> password = AskSyncPassword(window_, calendarUrl, user);
    if (!password)
        return;
    sync_.SetSessionPassword(calendarUrl, user, *password);
    if (!sync_.Running()) {
        // The run has ended without the password: once more with it, asking no one again.
        againForPassword_ = true;
        sync_.SyncNow();
    }
}

void SyncStatus::CertificateNotTrusted(const QString& calendarUrl, const QString& fingerprint,
                                       const QString& problem) {
    QList<sync::Binding> bound;
    for (const sync::Binding& binding : sync_.Bindings()) {
        if (binding.calendarUrl == calendarUrl)
            bound << binding;
    }
    if (bound.isEmpty()) {
        for (const sync::Binding& binding : sync_.Bindings()) {
            if (OriginOf(binding.calendarUrl) == OriginOf(calendarUrl))
                bound << binding;
        }
    }
    // No bound calendar: a discovery's question, put by the preferences page.
    if (bound.isEmpty() || asked_.contains(fingerprint))
        return;
    asked_.insert(fingerprint);
    if (!AcceptCertificate(window_, calendarUrl, fingerprint, problem))
        return;
    for (sync::Binding binding : bound) {
        // The kept password stays: none is given with the binding.
        binding.acceptedFingerprint = fingerprint;
        sync_.Bind(binding, QString());
    }
    if (!sync_.Running()) {
        againForPassword_ = true;
        sync_.SyncNow();
    }
}

}  // namespace qcal
