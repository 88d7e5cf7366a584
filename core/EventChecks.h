#pragma once

// The rules an event must meet before the editor accepts it, without any window: the
// editor asks these after it has taken its controls into the record.

#include <string_view>

#include "core/Event.h"

namespace qcal {

// The shortest date range a repeat kind accepts, in whole days from the begin date to the
// end date: once 0 (the dates are equal), daily 1, weekly 7, monthly 28, yearly 365.
// 0 for a kind outside the list.
int MinimumSpanDays(int repeatType);

// True when a UTF-8 text is empty once its leading and trailing blanks and control
// characters (Unicode white space and C0/C1 controls) are taken off.
bool IsBlankText(std::string_view text);

// True when the weekday mask ticks no day ("T" or "t" at any position).
bool NoWeekdaySelected(std::string_view weekSelected0);

// The first rule the event breaks, as the message the user is shown ("\r" breaks a line);
// empty when the event passes every check. In order: layer name, subject, begin and end
// time, then the date range of the repeat kind and, for a weekly event, its weekdays.
std::string_view CheckEvent(const tfield& event);

}  // namespace qcal
