#pragma once

// Recurrence rules in iCalendar form: the RRULE that gives the same days as an event's rule,
// and the rule of an RRULE when one matches it exactly.

#include <optional>
#include <string>

#include "core/Event.h"

struct icalrecurrencetype;

namespace qcal::ical {

// Day number of the last day (9999-12-31): an event whose range ends there never ends, and
// an RRULE without an end gets it.
int OpenEndDay();

// The RRULE of an event and the day its first occurrence falls on (the VEVENT's DTSTART).
struct ExportedRule {
    std::string rrule;    // "FREQ=..." without "RRULE:"; empty for a one-time event
    int firstDay = 0;     // day number of the first occurrence
    bool occurs = true;   // false: the event has no occurrence in its range at all
    bool exact = true;    // false: rrule is the closest rule, comment says how it differs
    std::string comment;  // for a rule that is not exact
};
ExportedRule RuleToRRule(const tfield& event);

// The rule fields of event (repeatType and the fields of its kind) for an RRULE whose
// occurrences start on the day startDay (the DTSTART, in the rule's own calendar). Sets no
// dates. No value when the RRULE has no equivalent among the program's rule kinds; the
// caller still compares the days both give, since phases and week starts can differ.
std::optional<tfield> RRuleToRule(const icalrecurrencetype& rule, int startDay);

}  // namespace qcal::ical
