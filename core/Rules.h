#pragma once

// Recurrence rules: does an event occur on a day, in a period, is its alarm due now,
// and which day shows it.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "DateTime.h"
#include "Event.h"

namespace qcal {

// An alarm becomes due this much (60.48 seconds) before its moment.
inline constexpr double kDueLead = 0.0007;

struct CalendarDiffResult {
    unsigned years = 0;
    unsigned months = 0;
    unsigned days = 0;
    bool operator==(const CalendarDiffResult&) const = default;
};

CalendarDiffResult CalendarDiff(TDateTime a, TDateTime b);
int MonthDistance(TDateTime a, TDateTime b);

// The First .. Last Day / Weekday / Sunday .. Saturday dates of the month of x.
class tspecialDate {
public:
    explicit tspecialDate(TDateTime x);

    bool IsNth(int ordinal, int kind) const;
    bool IsNthInMonth(int ordinal, int kind, int monthCode) const;

    TDateTime x;
    std::uint16_t year;
    std::uint16_t month;
    std::uint16_t day;
    std::uint16_t daysInMonth;
    TDateTime nthDates[kOrdinalCount][kDayKindCount];
};

// Day (1..31) of the month year/month that has the given ordinal and day kind, or 0 for
// codes outside their tables. Same answer as the table of tspecialDate, without building it.
unsigned NthDayOfMonth(int year, unsigned month, int ordinal, int kind);

// The fields a rule reads, copied from the event record. Texts are not kept; the weekday
// mask is held as bits (bit 0 Sunday .. bit 6 Saturday).
struct RuleFields {
    // The dates first and the small fields together, so that the many copies the calendar in
    // memory keeps carry no padding.
    TDateTime begindate = 0;
    TDateTime enddate = 0;
    TDateTime beginTime = 0;
    TDateTime lastFileTime = 0;
    std::vector<int> exceptDays;  // ascending; only a repeating rule has them
    std::int32_t repeatType = 0;
    std::int32_t dayType = 0;
    std::int32_t dayEvery0 = 1;
    std::int32_t weekEvery0 = 1;
    std::int32_t monthType = 0;
    std::int32_t monthDay0 = 1;
    std::int32_t monthEvery0 = 1;
    std::int32_t monthspecial1 = 0;
    std::int32_t monthDayorWeek1 = 0;
    std::int32_t monthEvery1 = 1;
    std::int32_t yearType = 0;
    std::int32_t yearDay0 = 1;
    std::int32_t yearMonth0 = 0;
    std::int32_t yearspecial1 = 0;
    std::int32_t yearDayorWeek1 = 0;
    std::int32_t yearMonth1 = 0;
    std::int32_t remindBefore = 0;  // minutes, 0 .. kMaxRemindBefore
    std::uint8_t weekMask = 0;
    bool weekMaskValid = false;  // the stored mask had exactly seven characters
    bool openEnd = false;        // enddate is then the last day there is

    static RuleFields From(const tfield& event);
};

class torig {
public:
    explicit torig(const tfield& event) : f(RuleFields::From(event)) {}
    explicit torig(const RuleFields& fields) : f(fields) {}
    virtual ~torig() = default;

    virtual bool OccursOn(TDateTime day) const = 0;
    // Due at the moment now; IsDue() asks for the clock's present moment. A caller that asks
    // about many events passes one reading to all of them.
    virtual bool IsDue(TDateTime now) const = 0;
    bool IsDue() const;
    virtual bool OccursBetween(TDateTime start, TDateTime end) const = 0;
    virtual TDateTime DayToShow(TDateTime day) const = 0;
    // The day of the occurrence that makes the alarm due at the moment now: the begin day of
    // a one-time event, the first occurrence not archived yet of a repeating one. None when
    // the event is not due.
    std::optional<int> DueDay(TDateTime now) const;

    // Calls visit(day) for each day in [fromDay, toDay] on which the rule occurs (the days
    // OccursOn answers yes for), in order, stepping from one occurrence to the next.
    template <class Visit>
    void ForEachOccurrence(int fromDay, int toDay, Visit&& visit) const {
        const long long period = Period();
        if (period > 0) {
            // The rule's days of the first period, then the same days of every later one.
            if (!IsValidDateTime(f.begindate) || !IsValidDateTime(f.enddate))
                return;
            fromDay = std::max(fromDay, DayOf(f.begindate));
            toDay = std::min(toDay, DayOf(f.enddate));
            std::array<int, 7> days{};
            std::size_t count = 0;
            const int firstEnd = int(std::min<long long>(toDay, fromDay + period - 1));
            for (std::optional<int> day = fromDay <= toDay ? RuleFirstOccurrence(fromDay, firstEnd)
                                                           : std::nullopt;
                 day && count < days.size();
                 day = *day < firstEnd ? RuleFirstOccurrence(*day + 1, firstEnd) : std::nullopt) {
                days[count++] = *day;
            }
            for (long long base = 0; count > 0; base += period) {
                for (std::size_t i = 0; i < count; ++i) {
                    const long long day = days[i] + base;
                    if (day > toDay)
                        return;
                    if (!Excepted(int(day)))
                        visit(int(day));
                }
            }
            return;
        }
        std::optional<int> day = FirstOccurrence(fromDay, toDay);
        while (day) {
            visit(*day);
            day = *day < toDay ? FirstOccurrence(*day + 1, toDay) : std::nullopt;
        }
    }

    bool InDateRange(TDateTime x) const;
    int ClipStart(TDateTime x) const;
    int ClipEnd(TDateTime x) const;
    bool NotFiledToday() const;
    int FirstUnfiledDay() const;
    int LastDueDay() const;

protected:
    // The first day in [fromDay, toDay] on which the event occurs: the rule's first day that
    // is not an exception day.
    std::optional<int> FirstOccurrence(int fromDay, int toDay) const;
    // Shared by the repeating kinds: the first day in [fromDay, toDay] on which the rule
    // occurs, computed directly rather than by testing day after day.
    virtual std::optional<int> RuleFirstOccurrence(int fromDay, int toDay) const = 0;
    // The days after which the rule's days (before exceptions) repeat within its date range,
    // at most seven of them in each such period; 0 for a rule without one.
    virtual long long Period() const { return 0; }
    bool Excepted(int day) const { return !f.exceptDays.empty() && IsExceptDay(f.exceptDays, day); }
    // The moment now and the archive time as the due test sees them: for an event with a
    // reminder ahead of its begin, both moved that far later, so that each occurrence is due
    // and archived as one without the reminder is at its begin.
    struct DueFrame {
        TDateTime now;
        TDateTime filed;
    };
    DueFrame FrameAt(TDateTime now) const;
    static int FirstUnfiledDayFrom(TDateTime begindate, TDateTime filed);

    RuleFields f;
};

class tnone final : public torig {
public:
    using torig::IsDue;
    using torig::torig;
    bool OccursOn(TDateTime day) const override;
    bool IsDue(TDateTime now) const override;
    bool OccursBetween(TDateTime start, TDateTime end) const override;
    TDateTime DayToShow(TDateTime day) const override;

protected:
    std::optional<int> RuleFirstOccurrence(int fromDay, int toDay) const override;
};

// What the repeating kinds share: due, period and shown day all follow from OccursOn and
// FirstOccurrence.
class trepeating : public torig {
public:
    explicit trepeating(const tfield& event) : torig(event) {}
    explicit trepeating(const RuleFields& fields) : torig(fields) {}
    using torig::IsDue;
    bool IsDue(TDateTime now) const override;
    bool OccursBetween(TDateTime start, TDateTime end) const override;
    TDateTime DayToShow(TDateTime day) const override;
};

// Every N days from the begin day, or every workday.
class tdaily final : public trepeating {
public:
    using trepeating::trepeating;
    bool OccursOn(TDateTime day) const override;

protected:
    std::optional<int> RuleFirstOccurrence(int fromDay, int toDay) const override;
    long long Period() const override;
};

// The chosen weekdays of every N weeks, counted from the week of the begin day.
class tweek final : public trepeating {
public:
    using trepeating::trepeating;
    bool OccursOn(TDateTime day) const override;

protected:
    std::optional<int> RuleFirstOccurrence(int fromDay, int toDay) const override;
    long long Period() const override;
};

// Day D, or the O-th day of kind K, of every N months.
class tmonth final : public trepeating {
public:
    using trepeating::trepeating;
    bool OccursOn(TDateTime day) const override;

protected:
    std::optional<int> RuleFirstOccurrence(int fromDay, int toDay) const override;
};

// Day D of month M, or the O-th day of kind K in month M, every year.
class tyear final : public trepeating {
public:
    using trepeating::trepeating;
    bool OccursOn(TDateTime day) const override;

protected:
    std::optional<int> RuleFirstOccurrence(int fromDay, int toDay) const override;
};

// Builds the rule of an event by its repeatType and answers for it. A repeatType outside
// 0..4 has no rule: such an event never occurs, is never due, and shows on its begin date.
// The rule object lives inside tsatisfy, so asking costs no allocation.
class tsatisfy {
public:
    explicit tsatisfy(const tfield& event);
    explicit tsatisfy(const RuleFields& fields);

    bool OccursOn(TDateTime day) const;
    bool IsDue() const;
    bool IsDue(TDateTime now) const;
    bool OccursBetween(TDateTime start, TDateTime end) const;
    TDateTime DayToShow(TDateTime day) const;
    std::optional<int> DueDay(TDateTime now) const;
    bool HasRule() const { return rule() != nullptr; }
    // The days in [fromDay, toDay] on which the event occurs, in order; see torig.
    template <class Visit>
    void ForEachOccurrence(int fromDay, int toDay, Visit&& visit) const {
        if (const torig* r = rule())
            r->ForEachOccurrence(fromDay, toDay, visit);
    }

private:
    const torig* rule() const;

    TDateTime begindate_;
    std::variant<std::monostate, tnone, tdaily, tweek, tmonth, tyear> rule_;
};

}  // namespace qcal
