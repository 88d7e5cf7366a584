#pragma once

// Notifications for due events beside or instead of the alarm window; the desktop's
// notification service is one.

#include "core/Event.h"

namespace qcal {

class ReminderNotifier {
public:
    virtual ~ReminderNotifier() = default;
    // Raises a notification for every due event that has not had one since it became due.
    // False when nothing took them; the alarm window must come up then.
    virtual bool Notify(const tArrayofField& due) = 0;
    // Takes down the notifications of events no longer in the due list.
    virtual void Withdraw(const tArrayofField& due) = 0;
    // The next Notify raises every due event again (the remind-again time has come).
    virtual void Renew() = 0;
};

}  // namespace qcal
