#pragma once

// The synchronisation of bound layers with CalDAV servers, working through the calendar
// session: a first full fetch, then sync-collection where the server has it (else a comparison
// of ETags), then the local deletions and changes. Runs at start, every few minutes, shortly
// after a local change and on request; never more than one at a time.

#include <QHash>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

#include "platform/SecretStore.h"
#include "sync/SyncService.h"

namespace qcal {
class CalendarSession;
}

namespace qcal::sync {

class DavClient;

// The secret store as the engine sees it (tests replace it).
struct PasswordStore {
    std::function<SecretAnswer(const QString& account)> read;
    std::function<bool(const QString& account, const QString& password, QString* problem)> write;
    std::function<void(const QString& account)> remove;
};
// The desktop's secret store.
PasswordStore SystemPasswordStore();
// The key the password of an account is kept under: "user@address".
QString AccountKey(const QString& calendarUrl, const QString& user);

class CalDavSync : public SyncService {
    Q_OBJECT
public:
    CalDavSync(CalendarSession& session, PasswordStore passwords, QObject* parent = nullptr);
    ~CalDavSync() override;

    QList<Binding> Bindings() const override;
    void Discover(const QString& serverUrl, const QString& user, const QString& password,
                  bool allowUnencrypted, const QString& acceptedFingerprint) override;
    bool Bind(const Binding& binding, const QString& password) override;
    void Unbind(const QString& layer) override;
    void SyncNow() override;
    bool Running() const override { return run_ != nullptr; }
    void SetSessionPassword(const QString& calendarUrl, const QString& user,
                            const QString& password) override;

    // Starts the timers: a first run shortly, then every IntervalMinutes().
    void Start();
    // Minutes between runs: the option SyncMinutes, followed as the options are saved.
    int IntervalMinutes() const;
    // Sets the timer's interval for this run of the program (the option is left as it is).
    void SetIntervalMinutes(int minutes);
    // How long after a local change the run starts (milliseconds).
    void SetChangeDelay(int ms) { changeDelay_.setInterval(ms); }
    // Whether runs ask for the changes since the last run (sync-collection), where the server
    // has it; without, every run compares the ETags of all the calendar's events, as with a
    // server that lacks it.
    void SetSyncCollection(bool use) { syncCollection_ = use; }
    // Accepts the certificate with this fingerprint for the bound calendar.
    bool AcceptCertificate(const QString& calendarUrl, const QString& fingerprint);
    // Whether the binding's address is a calendar of events, asked of the server (a PROPFIND
    // of the address itself). done gets an empty problem when it is one, else one line naming
    // why not, with the fingerprint of a certificate that did not verify. Without a password
    // given, the one kept for the account is used.
    struct CalendarCheck {
        QString problem;
        QString fingerprint;
    };
    void CheckCalendar(const Binding& binding, const QString& password,
                       std::function<void(const CalendarCheck&)> done);
    // The summary of the last finished run.
    const QString& LastSummary() const { return lastSummary_; }

    class Run;
    class Discovery;

private:
    void Finished(bool ok, const QString& summary);
    void LocalChange();
    void CheckAt(const std::shared_ptr<DavClient>& client, const QUrl& url, int redirects,
                 std::function<void(const CalendarCheck&)> done);

    CalendarSession& session_;
    PasswordStore passwords_;
    QNetworkAccessManager network_;
    QHash<QString, QString> sessionPasswords_;   // account key -> password, for this run
    QHash<QString, QString> discoveredColours_;  // calendar address -> colour
    std::unique_ptr<Run> run_;
    std::unique_ptr<Discovery> discovery_;
    QTimer periodic_;
    QTimer changeDelay_;
    QString lastSummary_;
    bool again_ = false;  // a local change came during the run
    bool syncCollection_ = true;
};

}  // namespace qcal::sync
