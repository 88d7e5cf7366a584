#include "sync/Dav.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslCertificate>
#include <QSslError>
#include <QXmlStreamReader>

#include <memory>

namespace qcal::sync {

namespace {

// A large calendar's first listing takes a slow server a while.
constexpr int kTimeoutMs = 300000;
const QString kDav = QStringLiteral("DAV:");
const QString kCalDav = QStringLiteral("urn:ietf:params:xml:ns:caldav");
const QString kApple = QStringLiteral("http://apple.com/ns/ical/");
const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

bool IsLoopback(const QString& host) {
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QString StatusProblem(int status) {
    switch (status) {
        case 401:
        case 403:
            return QStringLiteral("the server refused the user name or password (HTTP %1)")
                .arg(status);
        case 404:
            return QStringLiteral("the server has no calendar at this address (HTTP 404)");
        default:
            return QStringLiteral("the server answered HTTP %1").arg(status);
    }
}

int StatusOfLine(const QString& line) {
    // "HTTP/1.1 200 OK"
    const QStringList parts = line.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

}  // namespace

QString TransportProblem(const QUrl& url, bool allowUnencrypted) {
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QStringLiteral("https") && scheme != QStringLiteral("http"))) {
        return QStringLiteral("not a server address (https://...): ") +
               CleanUrl(url).toDisplayString();
    }
    if (scheme == QStringLiteral("http") && !allowUnencrypted && !IsLoopback(url.host())) {
        return QStringLiteral(
                   "an unencrypted connection (http) to %1 is not allowed; use https "
                   "or allow the unencrypted connection")
            .arg(url.host());
    }
    return {};
}

QUrl CleanUrl(const QUrl& url) {
    QUrl clean = url;
    clean.setUserInfo(QString());
    clean.setQuery(QString());
    clean.setFragment(QString());
    return clean;
}

DavClient::DavClient(QNetworkAccessManager& network, DavAccount account, QObject* parent)
    : QObject(parent), network_(network), account_(std::move(account)) {}

void DavClient::Send(const QByteArray& method, const QUrl& url, const QByteArray& body,
                     const Headers& headers, std::function<void(const DavReply&)> done) {
    const QUrl target = CleanUrl(url);
    if (const QString problem = TransportProblem(target, account_.allowUnencrypted);
        !problem.isEmpty()) {
        DavReply reply;
        reply.failure = Failure::Unencrypted;
        reply.problem = problem;
        QMetaObject::invokeMethod(
            this, [done, reply] { done(reply); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(target);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(kTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Quenlaris Calendar"));
    if (!account_.user.isEmpty() || !account_.password.isEmpty()) {
        request.setRawHeader(
            "Authorization",
            "Basic " + (account_.user + QLatin1Char(':') + account_.password).toUtf8().toBase64());
    }
    for (const auto& [name, value] : headers) {
        request.setRawHeader(name, value);
    }
    QNetworkReply* reply = network_.sendCustomRequest(request, method, body);
    auto fingerprint = std::make_shared<QString>();
    auto sslProblem = std::make_shared<QString>();
    connect(reply, &QNetworkReply::sslErrors, reply,
            [this, reply, fingerprint, sslProblem](const QList<QSslError>& errors) {
                QSslCertificate certificate = reply->sslConfiguration().peerCertificate();
                if (certificate.isNull() && !errors.isEmpty()) {
                    certificate = errors.first().certificate();
                }
                *fingerprint =
                    QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex());
                if (!account_.fingerprint.isEmpty() &&
                    fingerprint->compare(account_.fingerprint, Qt::CaseInsensitive) == 0) {
                    reply->ignoreSslErrors(errors);
                    return;
                }
                *sslProblem = errors.isEmpty() ? QStringLiteral("the certificate does not verify")
                                               : errors.first().errorString();
            });
    const QPointer<DavClient> alive(this);
    connect(reply, &QNetworkReply::finished, reply,
            [alive, reply, done = std::move(done), fingerprint, sslProblem, target] {
                reply->deleteLater();
                if (!alive) {
                    return;
                }
                DavReply answer;
                answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                answer.body = reply->readAll();
                answer.etag = reply->rawHeader("ETag");
                if (reply->hasRawHeader("Location")) {
                    answer.location =
                        target.resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
                }
                if (!sslProblem->isEmpty()) {
                    answer.failure = Failure::Certificate;
                    answer.fingerprint = *fingerprint;
                    answer.problem = QStringLiteral("the certificate of %1 is not trusted (%2)")
                                         .arg(target.host(), *sslProblem);
                } else if (answer.status == 0) {
                    answer.failure = Failure::Offline;
                    answer.problem =
                        reply->error() == QNetworkReply::OperationCanceledError
                            ? QStringLiteral("%1 did not answer in time").arg(target.host())
                            : QStringLiteral("%1 cannot be reached (%2)")
                                  .arg(target.host(), reply->errorString());
                    // The error text names the address; it never holds the credentials, as
                    // they travel in a header only.
                } else if (answer.status == 401) {
                    answer.failure = Failure::Unauthorised;
                    answer.problem = StatusProblem(answer.status);
                } else if (answer.status >= 300 &&
                           !(answer.status < 400 && answer.location.isValid())) {
                    answer.failure = Failure::Server;
                    answer.problem = StatusProblem(answer.status);
                }
                done(answer);
            });
}

Multistatus ParseMultistatus(const QByteArray& xml) {
    Multistatus result;
    QXmlStreamReader reader(xml);
    struct Element {
        QString ns;
        QString name;
    };
    QList<Element> stack;
    QString text;
    DavResponse response;
    DavResponse props;  // the properties of the propstat being read
    int propstatStatus = 0;
    const auto parentIs = [&stack](const QString& ns, const char* name, int up = 1) {
        const qsizetype at = stack.size() - 1 - up;
        return at >= 0 && stack[at].ns == ns && stack[at].name == QLatin1String(name);
    };
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            stack.append({reader.namespaceUri().toString(), reader.name().toString()});
            text.clear();
            const Element& e = stack.last();
            if (e.ns == kDav && e.name == QLatin1String("response")) {
                response = DavResponse();
            } else if (e.ns == kDav && e.name == QLatin1String("propstat")) {
                props = DavResponse();
                propstatStatus = 0;
            } else if (e.ns == kCalDav && e.name == QLatin1String("calendar") &&
                       parentIs(kDav, "resourcetype")) {
                props.isCalendar = true;
            } else if (parentIs(kDav, "resourcetype") && e.ns == kDav &&
                       e.name == QLatin1String("principal")) {
                props.isPrincipal = true;
            } else if (parentIs(kDav, "resourcetype") && e.ns == kDav &&
                       e.name == QLatin1String("collection")) {
                props.isCollection = true;
            } else if (parentIs(kDav, "resourcetype") && e.ns == kCardDav &&
                       e.name == QLatin1String("addressbook")) {
                props.isAddressBook = true;
            } else if (e.ns == kCalDav && e.name == QLatin1String("comp") &&
                       parentIs(kCalDav, "supported-calendar-component-set")) {
                props.hasComponentSet = true;
                if (reader.attributes().value(QStringLiteral("name")).toString().toUpper() ==
                    QLatin1String("VEVENT")) {
                    props.holdsEvents = true;
                }
            } else if (e.ns == kCalDav &&
                       e.name == QLatin1String("supported-calendar-component-set")) {
                props.hasComponentSet = true;
            }
        } else if (reader.isCharacters()) {
            text += reader.text();
        } else if (reader.isEndElement()) {
            if (stack.isEmpty()) {
                break;
            }
            const Element e = stack.last();
            if (e.ns == kDav && e.name == QLatin1String("href")) {
                if (parentIs(kDav, "response")) {
                    response.href = text.trimmed();
                } else if (parentIs(kDav, "current-user-principal")) {
                    props.principal = text.trimmed();
                } else if (parentIs(kCalDav, "calendar-home-set")) {
                    props.home = text.trimmed();
                }
            } else if (e.ns == kDav && e.name == QLatin1String("status")) {
                if (parentIs(kDav, "propstat")) {
                    propstatStatus = StatusOfLine(text);
                } else if (parentIs(kDav, "response")) {
                    response.status = StatusOfLine(text);
                }
            } else if (e.ns == kDav && e.name == QLatin1String("getetag")) {
                props.etag = text.trimmed().toUtf8();
            } else if (e.ns == kCalDav && e.name == QLatin1String("calendar-data")) {
                props.calendarData = text.toUtf8();
            } else if (e.ns == kDav && e.name == QLatin1String("displayname")) {
                props.displayName = text.trimmed();
            } else if (e.ns == kApple && e.name == QLatin1String("calendar-color")) {
                // "#rrggbbaa" from some servers: the colour without its opacity.
                const QString colour = text.trimmed();
                props.colour = colour.size() == 9 ? colour.left(7) : colour;
            } else if (e.ns == kDav && e.name == QLatin1String("sync-token") &&
                       parentIs(kDav, "multistatus")) {
                result.syncToken = text.trimmed();
            } else if (e.ns == kDav && e.name == QLatin1String("propstat")) {
                if (propstatStatus == 0 || (propstatStatus >= 200 && propstatStatus < 300)) {
                    const auto take = [](auto& into, const auto& from) {
                        if (!from.isEmpty()) {
                            into = from;
                        }
                    };
                    take(response.etag, props.etag);
                    take(response.calendarData, props.calendarData);
                    take(response.displayName, props.displayName);
                    take(response.colour, props.colour);
                    take(response.principal, props.principal);
                    take(response.home, props.home);
                    response.isCalendar = response.isCalendar || props.isCalendar;
                    response.isPrincipal = response.isPrincipal || props.isPrincipal;
                    response.isAddressBook = response.isAddressBook || props.isAddressBook;
                    response.isCollection = response.isCollection || props.isCollection;
                    response.hasComponentSet = response.hasComponentSet || props.hasComponentSet;
                    response.holdsEvents = response.holdsEvents || props.holdsEvents;
                }
            } else if (e.ns == kDav && e.name == QLatin1String("response")) {
                result.responses.append(response);
            }
            stack.removeLast();
            text.clear();
        }
    }
    result.ok = !reader.hasError();
    return result;
}

QString CalendarProblem(const DavResponse& response) {
    if (response.isCalendar) {
        return response.hasComponentSet && !response.holdsEvents
                   ? QStringLiteral(
                         "the calendar at this address holds no events (only to-dos "
                         "or journal entries)")
                   : QString();
    }
    if (response.isAddressBook) {
        return QStringLiteral("the address is an address book, not a calendar");
    }
    if (response.isPrincipal) {
        return QStringLiteral(
            "the address is a user's account (a principal), not a calendar; give the address "
            "of one of its calendars");
    }
    if (response.isCollection || !response.home.isEmpty()) {
        return QStringLiteral(
            "the address is a folder (of calendars, perhaps), not a calendar; give the address "
            "of one of its calendars");
    }
    return QStringLiteral("the address is not a calendar");
}

QByteArray PropfindBody(const QList<QByteArray>& properties) {
    QByteArray body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\" "
        "xmlns:a=\"http://apple.com/ns/ical/\"><d:prop>";
    for (const QByteArray& p : properties) {
        body += "<" + p + "/>";
    }
    return body + "</d:prop></d:propfind>";
}

QByteArray SyncCollectionBody(const QString& token) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<d:sync-collection xmlns:d=\"DAV:\"><d:sync-token>" +
           token.toHtmlEscaped().toUtf8() +
           "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop>"
           "</d:sync-collection>";
}

QByteArray MultigetBody(const QStringList& hrefs) {
    QByteArray body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<c:calendar-multiget xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
        "<d:prop><d:getetag/><c:calendar-data/></d:prop>";
    for (const QString& href : hrefs) {
        body += "<d:href>" + href.toHtmlEscaped().toUtf8() + "</d:href>";
    }
    return body + "</c:calendar-multiget>";
}

}  // namespace qcal::sync
