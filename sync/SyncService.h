#pragma once

// What the windows see of synchronisation with CalDAV servers: the bindings of layers to server
// calendars, discovery of an account's calendars, and the runs. Asynchronous: every answer comes
// as a signal. Passwords are never kept here nor in setup.ini (see the secret store).

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

namespace qcal::sync {

// One event calendar of an account, as discovery lists it.
struct ServerCalendar {
    QString url;     // the collection's full address
    QString name;    // its display name
    QString colour;  // "#rrggbb", empty when the server gives none
};

// One layer bound to one server calendar.
struct Binding {
    QString layer;
    QString calendarUrl;
    QString user;
    bool allowUnencrypted = false;  // plain HTTP to a non-loopback address was allowed
    QString acceptedFingerprint;    // SHA-256 of a certificate the user accepted, hex; or empty
    QDateTime lastSync;             // invalid: never synchronised
    QString lastStatus;             // one line: the last run's summary or failure
};

class SyncService : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QList<Binding> Bindings() const = 0;
    // Lists the event calendars of the account at serverUrl (RFC 6764 / RFC 4791 discovery).
    // Answers with discovered() or failed().
    virtual void Discover(const QString& serverUrl, const QString& user, const QString& password,
                          bool allowUnencrypted, const QString& acceptedFingerprint) = 0;
    // Binds the layer (made, named and coloured after the calendar, when it does not exist) to
    // the calendar and keeps the password in the secret store; the layer's events are uploaded
    // by the next run. Answers false with a message through failed() when it cannot.
    virtual bool Bind(const Binding& binding, const QString& password) = 0;
    virtual void Unbind(const QString& layer) = 0;
    // Starts one run over every bound layer now (does nothing while one runs).
    virtual void SyncNow() = 0;
    virtual bool Running() const = 0;
    // The password of this run, for an account whose secret store did not answer.
    virtual void SetSessionPassword(const QString& calendarUrl, const QString& user,
                                    const QString& password) = 0;

signals:
    void discovered(const QList<qcal::sync::ServerCalendar>& calendars);
    void failed(const QString& message);
    // A run started, made progress (events done of total, total 0 when unknown), or ended.
    void syncStarted();
    void syncProgress(int done, int total);
    void syncFinished(bool ok, const QString& summary);
    void bindingsChanged();
    // The server's certificate did not verify: the user may accept its fingerprint once.
    void certificateNotTrusted(const QString& calendarUrl, const QString& fingerprint,
                               const QString& problem);
    // No secret store answered and no password was given in this run.
    void passwordNeeded(const QString& calendarUrl, const QString& user);
};

}  // namespace qcal::sync
