#pragma once

// A small WebDAV/CalDAV client: one request at a time per call, answered through a callback.
// Basic authentication, HTTPS with the system's certificates (a certificate that does not
// verify only when its fingerprint was accepted), plain HTTP only to the own machine or when
// allowed. Neither the password nor the authorisation header ever appears in a message.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <utility>

class QNetworkAccessManager;

namespace qcal::sync {

// Why a request got no usable answer.
enum class Failure {
    None,
    Unencrypted,   // plain HTTP to another machine, not allowed
    Offline,       // no connection: the server is not reachable
    Certificate,   // the certificate does not verify and its fingerprint was not accepted
    Unauthorised,  // the server refused the user name or password
    Server,        // an answer that is no success
    Refused,       // the server refused a change or a deletion sent to it
    Database,      // the calendar's own data could not be read or written
};

struct DavAccount {
    QString user;
    QString password;
    bool allowUnencrypted = false;
    QString fingerprint;  // accepted SHA-256 of the server's certificate, hex
};

struct DavReply {
    int status = 0;  // the HTTP status, 0 without an answer
    QByteArray body;
    QByteArray etag;
    QUrl location;  // of a redirection
    Failure failure = Failure::None;
    QString problem;      // one line for the user, never with a credential in it
    QString fingerprint;  // of a certificate that did not verify
    bool Success() const { return failure == Failure::None && status >= 200 && status < 300; }
};

using Headers = QList<std::pair<QByteArray, QByteArray>>;

// Why plain HTTP to url is refused, or empty when the transport may be used.
QString TransportProblem(const QUrl& url, bool allowUnencrypted);
// The address without user, password, query or fragment, as it may be shown and kept.
QUrl CleanUrl(const QUrl& url);

class DavClient : public QObject {
    Q_OBJECT
public:
    DavClient(QNetworkAccessManager& network, DavAccount account, QObject* parent = nullptr);

    // Sends method to url; done gets the answer (also when the request failed). A reply that
    // comes after this client is destroyed is dropped.
    void Send(const QByteArray& method, const QUrl& url, const QByteArray& body,
              const Headers& headers, std::function<void(const DavReply&)> done);
    const DavAccount& Account() const { return account_; }

private:
    QNetworkAccessManager& network_;
    DavAccount account_;
};

// One response of a multistatus answer, with the properties its successful propstats gave.
struct DavResponse {
    QString href;
    int status = 0;  // the response's own status (a sync-collection member gone: 404); 0: none
    QByteArray etag;
    QByteArray calendarData;
    QString displayName;
    QString colour;
    bool isCalendar = false;
    bool isPrincipal = false;
    bool isAddressBook = false;
    bool isCollection = false;
    bool hasComponentSet = false;
    bool holdsEvents = false;
    QString principal;
    QString home;
};

struct Multistatus {
    bool ok = false;
    QList<DavResponse> responses;
    QString syncToken;
};

Multistatus ParseMultistatus(const QByteArray& xml);

// Why the resource a PROPFIND (Depth 0) described is no calendar of events, in one line; empty
// when it is one.
QString CalendarProblem(const DavResponse& response);

// The request bodies.
QByteArray PropfindBody(const QList<QByteArray>& properties);  // e.g. "d:getetag"
QByteArray SyncCollectionBody(const QString& token);
QByteArray MultigetBody(const QStringList& hrefs);

}  // namespace qcal::sync
