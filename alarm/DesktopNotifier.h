#pragma once

// Desktop notifications for due events, through the freedesktop Notifications service on the
// session bus. Each due event gets one notification with its subject, time and layer and the
// actions "Archive", "Remind again in N minutes" and "Open"; the notifier only reports which
// action was chosen, so the alarm window's own commands do the work.

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <vector>

#include "core/Event.h"
#include "session/ReminderNotifier.h"

namespace qcal {

class TDataMod;

// What a notification says about one event.
struct ReminderText {
    QString summary;  // the subject
    QString body;     // the time, then the layer, one a line
};

class DesktopNotifier : public QObject, public ReminderNotifier {
    Q_OBJECT
public:
    explicit DesktopNotifier(const TDataMod& dm, QObject* parent = nullptr);
    ~DesktopNotifier() override;

    // Raises a notification for every due event that has not had one since it became due.
    // False when the notification service did not take them (no session bus, no server);
    // the alarm window must come up then.
    bool Notify(const tArrayofField& due) override;
    // Takes down the notifications of events no longer in the due list.
    void Withdraw(const tArrayofField& due) override;
    // The next Notify raises every due event again (the remind-again time has come).
    void Renew() override;

    // The events whose notifications are on the screen now.
    std::vector<std::int64_t> OnScreen() const;

    ReminderText TextOf(const tfield& event) const;
    // The action keys and labels the notifications carry, in that order.
    QStringList Actions() const;

signals:
    void ArchiveRequested(std::int64_t id);
    void RemindAgainRequested();
    void OpenRequested();

private slots:
    void ActionInvoked(uint notification, const QString& action);
    void NotificationClosed(uint notification, uint reason);

private:
    void Close(uint notification) const;

    const TDataMod& dm_;
    // The events notified since they became due, with their notification (0 once closed).
    std::map<std::int64_t, uint> raised_;
};

}  // namespace qcal
