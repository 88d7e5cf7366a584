#include "ui/main/SyncStatus.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QUrl>
#include <QWidget>

#include <utility>

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

// The bindings of the calendar at address, else those of its server.
QList<sync::Binding> BoundAt(const QList<sync::Binding>& bindings, const QString& address) {
    QList<sync::Binding> bound;
    for (const sync::Binding& binding : bindings) {
        if (binding.calendarUrl == address)
            bound << binding;
    }
    if (bound.isEmpty()) {
        for (const sync::Binding& binding : bindings) {
            if (OriginOf(binding.calendarUrl) == OriginOf(address))
                bound << binding;
        }
    }
    return bound;
}

}  // namespace

SyncStatus::SyncStatus(sync::SyncService& sync, const TDataMod& dm, QWidget* window,
                       QObject* parent)
    : QObject(parent), sync_(sync), dm_(dm), window_(window) {
    setObjectName(S("SyncStatus"));
    actSyncNow_ = new QAction(S("S&ynchronise now"), this);
    actSyncNow_->setObjectName(S("actSyncNow"));
    actSyncNow_->setShortcuts(KeysOf(Command::SyncNow));
    actSyncNow_->setShortcutContext(Qt::WindowShortcut);
    window_->addAction(actSyncNow_);
    connect(actSyncNow_, &QAction::triggered, this, [this] {
        asked_.clear();
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
    passwordsNeeded_.clear();
    untrusted_.clear();
    actSyncNow_->setEnabled(false);
    text_->setText(S("Synchronising..."));
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
    if (!passwordsNeeded_.isEmpty() || !untrusted_.isEmpty())
        QMetaObject::invokeMethod(this, &SyncStatus::AskQuestions, Qt::QueuedConnection);
}

void SyncStatus::ShowIdle() {
    QDateTime last;
    const QList<sync::Binding> bindings = sync_.Bindings();
    for (const sync::Binding& binding : bindings) {
        if (binding.lastSync.isValid() && (!last.isValid() || binding.lastSync > last))
            last = binding.lastSync;
    }
    if (bindings.isEmpty() && lastFailure_.isEmpty()) {
        text_->setText(S("No layer is synchronised with a server."));
        return;
    }
    QString text = S("Last synchronised: ") + SyncTimeText(dm_, last);
    if (!lastSummary_.isEmpty())
        text += S(" (") + lastSummary_ + S(")");
    if (!lastFailure_.isEmpty())
        text += S(". Synchronisation failed: ") + lastFailure_;
    text_->setText(text);
    text_->setToolTip(text);
}

void SyncStatus::PasswordNeeded(const QString& calendarUrl, const QString& user) {
    const QString key = user + QLatin1Char('@') + calendarUrl;
    if (asked_.contains(key))
        return;
    asked_.insert(key);
    passwordsNeeded_.append({calendarUrl, user});
}

void SyncStatus::CertificateNotTrusted(const QString& calendarUrl, const QString& fingerprint,
                                       const QString& problem) {
    // Without a bound calendar there, the question is a discovery's, put by the preferences
    // page.
    if (BoundAt(sync_.Bindings(), calendarUrl).isEmpty() || asked_.contains(fingerprint))
        return;
    asked_.insert(fingerprint);
    untrusted_.append({calendarUrl, fingerprint, problem});
}

void SyncStatus::AskQuestions() {
    const QList<Account> passwords = std::exchange(passwordsNeeded_, {});
    const QList<Certificate> certificates = std::exchange(untrusted_, {});
    bool answered = false;
    for (const Account& account : passwords) {
        const std::optional<QString> password = AskSyncPassword(window_, account.url, account.user);
        if (!password)
            continue;
        sync_.SetSessionPassword(account.url, account.user, *password);
        answered = true;
    }
    for (const Certificate& certificate : certificates) {
        if (!AcceptCertificate(window_, certificate.url, certificate.fingerprint,
                               certificate.problem))
            continue;
        for (sync::Binding binding : BoundAt(sync_.Bindings(), certificate.url)) {
            // The kept password stays: none is given with the binding.
            binding.acceptedFingerprint = certificate.fingerprint;
            answered = sync_.Bind(binding, QString()) || answered;
        }
    }
    if (answered && !sync_.Running())
        sync_.SyncNow();
}

}  // namespace qcal
