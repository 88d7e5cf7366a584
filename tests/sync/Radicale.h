#pragma once

// A real Radicale server for the tests: started on a free loopback port with a temporary
// storage folder and a plain htpasswd file, over HTTP or over HTTPS with a certificate made by
// openssl. It can be stopped and started again on the same port with the same data.

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

namespace qcal::test {

inline constexpr char kUser[] = "alice";
inline constexpr char kPassword[] = "s3cret pass";

class Radicale {
public:
    // extra: more options of the server's command line.
    explicit Radicale(bool tls = false, QStringList extra = {})
        : tls_(tls), extra_(std::move(extra)) {
        QFile users(dir_.filePath(QStringLiteral("users")));
        if (users.open(QIODevice::WriteOnly)) {
            users.write(QByteArray(kUser) + ':' + kPassword + '\n');
        }
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
        probe.close();
        if (tls_) {
            QProcess openssl;
            openssl.start(
                QStringLiteral("openssl"),
                {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                 QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                 QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                 QStringLiteral("-keyout"), Path("key.pem"), QStringLiteral("-out"),
                 Path("cert.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                 QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                 QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1")});
            openssl.waitForFinished(30000);
            QFile cert(Path("cert.pem"));
            cert.open(QIODevice::ReadOnly);
            const QList<QSslCertificate> certs = QSslCertificate::fromData(cert.readAll());
            if (!certs.isEmpty()) {
                fingerprint_ =
                    QString::fromLatin1(certs.first().digest(QCryptographicHash::Sha256).toHex());
            }
        }
    }
    ~Radicale() { Stop(); }

    bool Start() {
        QStringList args{QStringLiteral("-m"),
                         QStringLiteral("radicale"),
                         QStringLiteral("--config"),
                         QString(),
                         QStringLiteral("--server-hosts"),
                         QStringLiteral("127.0.0.1:%1").arg(port_),
                         QStringLiteral("--storage-filesystem-folder"),
                         Path("collections"),
                         QStringLiteral("--auth-type"),
                         QStringLiteral("htpasswd"),
                         QStringLiteral("--auth-htpasswd-filename"),
                         Path("users"),
                         QStringLiteral("--auth-htpasswd-encryption"),
                         QStringLiteral("plain"),
                         QStringLiteral("--logging-level"),
                         QStringLiteral("warning")};
        args << extra_;
        if (tls_) {
            args << QStringLiteral("--server-ssl") << QStringLiteral("True")
                 << QStringLiteral("--server-certificate") << Path("cert.pem")
                 << QStringLiteral("--server-key") << Path("key.pem");
        }
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("/usr/bin/python3"), args);
        if (!process_.waitForStarted(10000)) {
            return false;
        }
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port_);
            if (socket.waitForConnected(200)) {
                return true;
            }
            if (process_.state() == QProcess::NotRunning) {
                return false;
            }
            QThread::msleep(50);
        }
        return false;
    }

    void Stop() {
        if (process_.state() == QProcess::NotRunning) {
            return;
        }
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    QString Base() const {
        return QStringLiteral("%1://127.0.0.1:%2/")
            .arg(QLatin1String(tls_ ? "https" : "http"))
            .arg(port_);
    }
    QString CalendarUrl(const QString& name = QStringLiteral("shared")) const {
        return Base() + QLatin1String(kUser) + QLatin1Char('/') + name + QLatin1Char('/');
    }
    const QString& Fingerprint() const { return fingerprint_; }

    // Makes an event calendar with a name and a colour; the HTTP status.
    int MakeCalendar(const QString& name, const QString& displayName, const QString& colour,
                     const char* component = "VEVENT") {
        const QByteArray body =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><c:mkcalendar xmlns:d=\"DAV:\" "
            "xmlns:c=\"urn:ietf:params:xml:ns:caldav\" xmlns:a=\"http://apple.com/ns/ical/\">"
            "<d:set><d:prop><d:displayname>" +
            displayName.toUtf8() + "</d:displayname><a:calendar-color>" + colour.toUtf8() +
            "</a:calendar-color><c:supported-calendar-component-set><c:comp name=\"" + component +
            "\"/>"
            "</c:supported-calendar-component-set></d:prop></d:set></c:mkcalendar>";
        return Request("MKCALENDAR", CalendarUrl(name), body);
    }

    int Request(const QByteArray& method, const QString& url, const QByteArray& body = {}) {
        QNetworkAccessManager network;
        QNetworkRequest request{QUrl(url)};
        request.setRawHeader("Authorization",
                             "Basic " + (QByteArray(kUser) + ':' + kPassword).toBase64());
        QNetworkReply* reply = network.sendCustomRequest(request, method, body);
        QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                         [reply] { reply->ignoreSslErrors(); });
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        reply->deleteLater();
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }

    // The names of the resources the calendar holds.
    QStringList Resources(const QString& name = QStringLiteral("shared")) const {
        QDir folder(dir_.filePath(QStringLiteral("collections/collection-root/") +
                                  QLatin1String(kUser) + QLatin1Char('/') + name));
        return folder.entryList({QStringLiteral("*.ics")}, QDir::Files, QDir::Name);
    }

private:
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    bool tls_ = false;
    QStringList extra_;
    QTemporaryDir dir_;
    quint16 port_ = 0;
    QProcess process_;
    QString fingerprint_;
};

}  // namespace qcal::test
