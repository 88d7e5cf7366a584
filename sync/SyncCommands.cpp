#include "sync/SyncCommands.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/RunningProgram.h"
#include "session/CalendarSession.h"
#include "session/SoundPlayer.h"
#include "store/DataModule.h"
#include "store/ErrorReporter.h"
#include "sync/CalDavSync.h"
#include "sync/Dav.h"

namespace qcal::sync {

namespace {

const char* const kPrefix = "quenlaris-calendar: ";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// No alarm sounds from the command line.
class NoSound final : public SoundPlayer {
public:
    void Play(const std::string&) override {}
};

// The database's complaints, for the one line of a failure.
class KeptErrors final : public ErrorReporter {
public:
    void ShowError(const std::string& text) override {
        if (first.empty()) {
            first = text;
        }
    }
    std::string first;
};

std::string Line(const QString& text) {
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line.toStdString();
}

CommandOutcome Failure(const QString& text) {
    return {2, {}, kPrefix + Line(text) + "\n"};
}

CommandOutcome ListCalendars(CalDavSync& sync) {
    CommandOutcome outcome;
    const QList<Binding> bindings = sync.Bindings();
    if (bindings.isEmpty()) {
        outcome.out = "No layer is bound to a calendar on a server.\n";
    }
    for (const Binding& b : bindings) {
        const QString when =
            b.lastSync.isValid()
                ? QStringLiteral("last synchronised ") +
                      b.lastSync.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) +
                      QStringLiteral(" UTC")
                : QStringLiteral("never synchronised");
        outcome.out +=
            Line(
                b.layer + QStringLiteral("  ") + b.calendarUrl +
                (b.user.isEmpty() ? QString() : QStringLiteral("  (") + b.user + QLatin1Char(')')) +
                QStringLiteral("  ") + when +
                (b.lastStatus.isEmpty() ? QString() : QStringLiteral(": ") + b.lastStatus)) +
            "\n";
    }
    return outcome;
}

CommandOutcome AddCalendar(CalDavSync& sync, const SyncRequest& request) {
    QStringList messages;
    const QMetaObject::Connection told = QObject::connect(
        &sync, &SyncService::failed, &sync, [&messages](const QString& m) { messages << m; });
    Binding binding;
    binding.layer = Q(request.layer);
    binding.calendarUrl = Q(request.calendarUrl);
    binding.user = Q(request.user);
    binding.allowUnencrypted = request.allowUnencrypted;
    binding.acceptedFingerprint = Q(request.fingerprint);
    // The address as it may be shown: without a password written into it.
    const QString shown = CleanUrl(QUrl(binding.calendarUrl)).toString();
    const QString refused = QStringLiteral("%1 is not bound: ").arg(shown);
    // Bound again (a new password, say): a certificate accepted before stays accepted.
    for (const Binding& b : sync.Bindings()) {
        if (binding.acceptedFingerprint.isEmpty() && b.layer == binding.layer &&
            b.calendarUrl ==
                shown + (shown.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/"))) {
            binding.acceptedFingerprint = b.acceptedFingerprint;
        }
    }
    const QUrl url(binding.calendarUrl);
    if (!TransportProblem(url, false).isEmpty() && TransportProblem(url, true).isEmpty() &&
        !binding.allowUnencrypted) {
        QObject::disconnect(told);
        return Failure(refused + QStringLiteral("plain http to %1 is not encrypted; give "
                                                "--allow-unencrypted to use it all the same")
                                     .arg(url.host()));
    }
    // Only an address the server confirms as a calendar of events is bound.
    QEventLoop loop;
    CalDavSync::CalendarCheck check;
    sync.CheckCalendar(binding, Q(request.password),
                       [&loop, &check](const CalDavSync::CalendarCheck& answer) {
                           check = answer;
                           loop.quit();
                       });
    loop.exec();
    if (!check.problem.isEmpty()) {
        QObject::disconnect(told);
        return Failure(refused + check.problem +
                       (check.fingerprint.isEmpty()
                            ? QString()
                            : QStringLiteral("; its SHA-256 fingerprint is %1: give "
                                             "--accept-certificate %1 if you trust it")
                                  .arg(check.fingerprint)));
    }
    const bool bound = sync.Bind(binding, Q(request.password));
    QObject::disconnect(told);
    if (!bound) {
        return Failure(messages.isEmpty() ? QStringLiteral("the calendar could not be bound")
                                          : messages.first());
    }
    CommandOutcome outcome;
    outcome.out = Line(QStringLiteral("The layer \"%1\" is bound to %2; it is synchronised by "
                                      "the next run.")
                           .arg(binding.layer, shown)) +
                  "\n";
    for (const QString& m : messages) {
        outcome.err += kPrefix + Line(m) + "\n";
    }
    return outcome;
}

CommandOutcome RunOnce(CalDavSync& sync) {
    QEventLoop loop;
    bool ok = false;
    QString summary;
    bool mine = false;
    QObject::connect(&sync, &SyncService::syncFinished, &loop,
                     [&](bool finishedOk, const QString& text) {
                         if (!mine) {
                             // A run that was under way when the command came: then ours.
                             mine = true;
                             QMetaObject::invokeMethod(
                                 &sync, [&sync] { sync.SyncNow(); }, Qt::QueuedConnection);
                             return;
                         }
                         ok = finishedOk;
                         summary = text;
                         loop.quit();
                     });
    if (!sync.Running()) {
        mine = true;
        sync.SyncNow();
    }
    loop.exec();
    if (!ok) {
        return Failure(summary);
    }
    return {0, Line(summary) + "\n", {}};
}

}  // namespace

QByteArray EncodeRequest(const SyncRequest& request) {
    QJsonObject o;
    o[QStringLiteral("action")] = int(request.action);
    o[QStringLiteral("url")] = Q(request.calendarUrl);
    o[QStringLiteral("layer")] = Q(request.layer);
    o[QStringLiteral("user")] = Q(request.user);
    o[QStringLiteral("password")] = Q(request.password);
    o[QStringLiteral("unencrypted")] = request.allowUnencrypted;
    o[QStringLiteral("fingerprint")] = Q(request.fingerprint);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<SyncRequest> DecodeRequest(const QByteArray& text) {
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (!document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject o = document.object();
    const int action = o.value(QStringLiteral("action")).toInt(-1);
    if (action < int(SyncRequest::Action::AddCalendar) ||
        action > int(SyncRequest::Action::Calendars)) {
        return std::nullopt;
    }
    SyncRequest request;
    request.action = SyncRequest::Action(action);
    request.calendarUrl = o.value(QStringLiteral("url")).toString().toStdString();
    request.layer = o.value(QStringLiteral("layer")).toString().toStdString();
    request.user = o.value(QStringLiteral("user")).toString().toStdString();
    request.password = o.value(QStringLiteral("password")).toString().toStdString();
    request.allowUnencrypted = o.value(QStringLiteral("unencrypted")).toBool();
    request.fingerprint = o.value(QStringLiteral("fingerprint")).toString().toStdString();
    return request;
}

CommandOutcome RunSyncRequest(CalDavSync& sync, const SyncRequest& request) {
    switch (request.action) {
        case SyncRequest::Action::Calendars:
            return ListCalendars(sync);
        case SyncRequest::Action::AddCalendar:
            return AddCalendar(sync, request);
        case SyncRequest::Action::Sync:
            break;
    }
    return RunOnce(sync);
}

int SyncCommand(const SyncRequest& request, const std::string& folder, std::ostream& out,
                std::ostream& err) {
    if (const auto status = cli::CommandThroughRunningProgram(
            folder, "sync-command", EncodeRequest(request).toStdString(), out, err,
            "the running calendar ended before it reported the synchronisation")) {
        return *status;
    }
    KeptErrors errors;
    TDataMod dm(folder, errors);
    if (!dm.Connected() || !dm.ChangeRefusal().empty()) {
        err << kPrefix << "cannot open " << dm.DatabasePath() << ": "
            << (dm.ChangeRefusal().empty() ? errors.first : dm.ChangeRefusal()) << '\n';
        return 2;
    }
    dm.LoadLayers();
    NoSound sound;
    CalendarSession session(dm, sound);
    CalDavSync sync(session, SystemPasswordStore());
    const CommandOutcome outcome = RunSyncRequest(sync, request);
    out << outcome.out;
    err << outcome.err;
    out.flush();
    return outcome.status;
}

}  // namespace qcal::sync
