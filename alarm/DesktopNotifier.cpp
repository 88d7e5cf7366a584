#include "alarm/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#include <algorithm>

#include "store/DataModule.h"

namespace qcal {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kArchive = QStringLiteral("archive");
const QString kRemindAgain = QStringLiteral("remind-again");
const QString kOpen = QStringLiteral("open");
// A server that is started on demand gets this long to answer; one that is not there at all
// answers at once with an error.
constexpr int kCallTimeoutMs = 3000;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

DesktopNotifier::DesktopNotifier(const TDataMod& dm, QObject* parent) : QObject(parent), dm_(dm) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // Only the notification server's signals count: the service name ties them to its owner.
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(ActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(NotificationClosed(uint, uint)));
}

DesktopNotifier::~DesktopNotifier() {
    // Actions of a program that has gone would do nothing.
    for (const auto& [event, notification] : raised_) {
        if (notification != 0)
            Close(notification);
    }
}

ReminderText DesktopNotifier::TextOf(const tfield& event) const {
    // A once-only event comes up at its begin moment, which may lie days back; a repeating
    // one at its time on the day.
    const std::string time = event.repeatType == kRepeatNone
                                 ? dm_.MakeDisplayTexts(event).BeginText
                                 : dm_.Format(dm_.Options.TimeFormat, event.beginTime);
    return {Q(event.subject), (Q(time) + QLatin1Char('\n') + Q(event.layername)).toHtmlEscaped()};
}

QStringList DesktopNotifier::Actions() const {
    return {
        kArchive,     QStringLiteral("Archive"),
        kRemindAgain, QStringLiteral("Remind again in %1 minutes").arg(dm_.Options.AgainHowLong),
        kOpen,        QStringLiteral("Open")};
}

bool DesktopNotifier::Notify(const tArrayofField& due) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    for (const tfield& event : due) {
        if (raised_.contains(event.id))
            continue;
        const ReminderText text = TextOf(event);
        QDBusMessage call =
            QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
        // Expiry 0: a reminder stays, as the window does, until it is dealt with or closed.
        call << QStringLiteral("Quenlaris Calendar") << uint(0)
             << QStringLiteral("quenlaris-calendar") << text.summary << text.body << Actions()
             << QVariantMap{{QStringLiteral("category"), QStringLiteral("x-calendar.reminder")}}
             << qint32(0);
        // Blocking without an event loop: nothing else runs while the server answers.
        const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return false;
        raised_[event.id] = reply.arguments().constFirst().toUInt();
    }
    return true;
}

void DesktopNotifier::Withdraw(const tArrayofField& due) {
    for (auto it = raised_.begin(); it != raised_.end();) {
        const std::int64_t id = it->first;
        const bool listed =
            std::any_of(due.begin(), due.end(), [id](const tfield& e) { return e.id == id; });
        if (listed) {
            ++it;
            continue;
        }
        if (it->second != 0)
            Close(it->second);
        it = raised_.erase(it);
    }
}

void DesktopNotifier::Renew() {
    for (auto it = raised_.begin(); it != raised_.end();) {
        // One still on the screen stays and is not raised twice.
        it = it->second == 0 ? raised_.erase(it) : std::next(it);
    }
}

std::vector<std::int64_t> DesktopNotifier::OnScreen() const {
    std::vector<std::int64_t> ids;
    for (const auto& [event, notification] : raised_) {
        if (notification != 0)
            ids.push_back(event);
    }
    return ids;
}

void DesktopNotifier::ActionInvoked(uint notification, const QString& action) {
    const auto it = std::find_if(raised_.begin(), raised_.end(), [notification](const auto& r) {
        return r.second == notification;
    });
    // Another program's notification, or one of ours already gone.
    if (notification == 0 || it == raised_.end())
        return;
    const std::int64_t id = it->first;
    // Dealt with: not every server takes a notification down once an action is chosen.
    it->second = 0;
    Close(notification);
    if (action == kArchive)
        emit ArchiveRequested(id);
    else if (action == kRemindAgain)
        emit RemindAgainRequested();
    else if (action == kOpen)
        emit OpenRequested();
}

void DesktopNotifier::NotificationClosed(uint notification, uint /*reason*/) {
    // Closed or expired: the event stays due and unarchived; only the notification is gone.
    for (auto& [event, shown] : raised_) {
        if (notification != 0 && shown == notification)
            shown = 0;
    }
}

void DesktopNotifier::Close(uint notification) const {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("CloseNotification"));
    call << notification;
    QDBusConnection::sessionBus().send(call);
}

}  // namespace qcal
