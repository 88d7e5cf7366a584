#include "core/Rules.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <type_traits>

#include "core/Ascii.h"
#include "core/Clock.h"

namespace qcal {

namespace {

bool NthCodesValid(int ordinal, int kind) {
    return ordinal >= 0 && ordinal < kOrdinalCount && kind >= 0 && kind < kDayKindCount;
}

// Weekday (1 Sunday .. 7 Saturday) of day k of a month whose first day has weekday first.
int WeekdayInMonth(int first, unsigned k) {
    return (first - 1 + static_cast<int>(k - 1)) % 7 + 1;
}

bool IsWorkdayCode(int weekday) {
    return weekday != 1 && weekday != 7;
}

// Both ends of the date range are usable dates. A rule whose range is not never occurs.
bool RangeValid(const RuleFields& f) {
    return IsValidDateTime(f.begindate) && IsValidDateTime(f.enddate);
}

// Narrows [from, to] to the date range; false when nothing is left.
bool ClipToRange(const RuleFields& f, int& from, int& to) {
    if (!RangeValid(f)) {
        return false;
    }
    from = std::max(from, DayOf(f.begindate));
    to = std::min(to, DayOf(f.enddate));
    return from <= to;
}

long long FloorMod(long long a, long long n) {
    const long long r = a % n;
    return r < 0 ? r + n : r;
}

double TimeOfDayFraction(TDateTime x) {
    return std::fabs(x - std::trunc(x));
}

// The first day in [from, to] of the months from the month of from onward whose day of the
// month dayOfMonth(year, month) gives (0: none that month) and that accept(day) takes.
template <typename DayOfMonth, typename Accept>
std::optional<int> FirstByMonth(int from, int to, int monthStep, DayOfMonth dayOfMonth,
                                Accept accept) {
    const CivilDate first = DateOfDay(from);
    const CivilDate last = DateOfDay(to);
    int year = first.year;
    int month = static_cast<int>(first.month);
    while (year < last.year || (year == last.year && month <= static_cast<int>(last.month))) {
        const unsigned dom = dayOfMonth(year, static_cast<unsigned>(month));
        if (dom != 0) {
            const int day = DayNumber(year, static_cast<unsigned>(month), dom);
            if (day > to) {
                return std::nullopt;
            }
            if (day >= from && accept(day)) {
                return day;
            }
        }
        month += monthStep;
        year += (month - 1) / 12;
        month = (month - 1) % 12 + 1;
    }
    return std::nullopt;
}

// Reference day of weekday p: the day with that weekday in the week (Sunday to Saturday)
// that holds the begin date.
int WeekReference(const RuleFields& f, int p) {
    return DayOf(f.begindate + static_cast<double>(p - DayOfWeek(f.begindate)));
}

}  // namespace

// ---- Calendar functions -------------------------------------------------------------------

CalendarDiffResult CalendarDiff(TDateTime a, TDateTime b) {
    if (a > b) {
        std::swap(a, b);
    }
    const CivilDate e = DecodeDate(a);
    const CivilDate l = DecodeDate(b);
    int years = l.year - e.year;
    int months = 0;
    int days = 0;
    if (l.month < e.month) {
        months += 12;
        years -= 1;
    }
    months += static_cast<int>(l.month) - static_cast<int>(e.month);
    if (l.day < e.day) {
        days += static_cast<int>(DaysInMonth(e.year, e.month));
        if (months == 0) {
            years -= 1;
            months = 11;
        } else {
            months -= 1;
        }
    }
    days += static_cast<int>(l.day) - static_cast<int>(e.day);
    return {static_cast<unsigned>(years), static_cast<unsigned>(months),
            static_cast<unsigned>(days)};
}

int MonthDistance(TDateTime a, TDateTime b) {
    const CalendarDiffResult d = CalendarDiff(a, b);
    return static_cast<int>(12 * d.years + d.months) + (d.days >= 21 ? 1 : 0);
}

// ---- Month table ----------------------------------------------------------------------------

tspecialDate::tspecialDate(TDateTime value) : x(value), nthDates{} {
    const CivilDate c = DecodeDate(value);
    year = static_cast<std::uint16_t>(c.year);
    month = static_cast<std::uint16_t>(c.month);
    day = static_cast<std::uint16_t>(c.day);
    daysInMonth = static_cast<std::uint16_t>(DaysInMonth(c.year, c.month));
    const int base = DayNumber(c.year, c.month, 1) - 1;  // day k of the month is base + k
    const int n = daysInMonth;

    for (int o = 0; o < kOrdinalLast; ++o) {
        nthDates[o][kKindDay] = base + o + 1;
    }
    nthDates[kOrdinalLast][kKindDay] = base + n;

    for (int k = 1, found = 0; k <= n && found < 4; ++k) {
        if (IsWorkday(base + k)) {
            nthDates[found++][kKindWeekday] = base + k;
        }
    }
    for (int k = n; k >= 1; --k) {
        if (IsWorkday(base + k)) {
            nthDates[kOrdinalLast][kKindWeekday] = base + k;
            break;
        }
    }

    for (int w = 1; w <= 7; ++w) {
        int first = 1;
        while (WeekdayOfDay(base + first) != w) {
            ++first;
        }
        const int column = kKindSunday + (w - 1);
        for (int o = 0; o < kOrdinalLast; ++o) {
            nthDates[o][column] = base + first + 7 * o;
        }
        const int fourth = first + 21;
        nthDates[kOrdinalLast][column] = base + (fourth + 7 <= n ? fourth + 7 : fourth);
    }
}

bool tspecialDate::IsNth(int ordinal, int kind) const {
    if (!NthCodesValid(ordinal, kind)) {
        return false;
    }
    return DayOf(nthDates[ordinal][kind]) == DayOf(x);
}

bool tspecialDate::IsNthInMonth(int ordinal, int kind, int monthCode) const {
    return monthCode == month - 1 && IsNth(ordinal, kind);
}

unsigned NthDayOfMonth(int year, unsigned month, int ordinal, int kind) {
    if (!NthCodesValid(ordinal, kind) || month < 1 || month > 12 || year < 1 || year > 9999) {
        return 0;
    }
    const unsigned n = DaysInMonth(year, month);
    if (kind == kKindDay) {
        return ordinal == kOrdinalLast ? n : static_cast<unsigned>(ordinal) + 1;
    }
    const int first = WeekdayOfDay(DayNumber(year, month, 1));
    if (kind == kKindWeekday) {
        if (ordinal == kOrdinalLast) {
            unsigned k = n;
            while (!IsWorkdayCode(WeekdayInMonth(first, k))) {
                --k;
            }
            return k;
        }
        unsigned k = 0;
        for (int found = -1; found < ordinal;) {
            ++k;
            if (IsWorkdayCode(WeekdayInMonth(first, k))) {
                ++found;
            }
        }
        return k;
    }
    const int weekday = kind - kKindSunday + 1;  // 1 Sunday .. 7 Saturday
    const auto firstOfKind = static_cast<unsigned>(1 + (weekday - first + 7) % 7);
    if (ordinal != kOrdinalLast) {
        return firstOfKind + 7 * static_cast<unsigned>(ordinal);
    }
    return firstOfKind + 28 <= n ? firstOfKind + 28 : firstOfKind + 21;
}

// ---- Rule fields -------------------------------------------------------------------------------

RuleFields RuleFields::From(const tfield& e) {
    RuleFields r;
    r.repeatType = e.repeatType;
    r.begindate = e.begindate;
    r.enddate = e.enddate;
    r.beginTime = e.beginTime;
    r.lastFileTime = e.lastFileTime;
    r.dayType = e.dayType;
    r.dayEvery0 = e.dayEvery0;
    r.weekEvery0 = e.weekEvery0;
    r.weekMaskValid = e.weekSelected0.size() == 7;
    if (r.weekMaskValid) {
        for (int p = 0; p < 7; ++p) {
            const char c = e.weekSelected0[static_cast<std::size_t>(p)];
            if (AsciiUpper(c) == 'T') {
                r.weekMask = static_cast<std::uint8_t>(r.weekMask | (1u << p));
            }
        }
    }
    r.monthType = e.monthType;
    r.monthDay0 = e.monthDay0;
    r.monthEvery0 = e.monthEvery0;
    r.monthspecial1 = e.monthspecial1;
    r.monthDayorWeek1 = e.monthDayorWeek1;
    r.monthEvery1 = e.monthEvery1;
    r.yearType = e.yearType;
    r.yearDay0 = e.yearDay0;
    r.yearMonth0 = e.yearMonth0;
    r.yearspecial1 = e.yearspecial1;
    r.yearDayorWeek1 = e.yearDayorWeek1;
    r.yearMonth1 = e.yearMonth1;
    if (e.repeatType != kRepeatNone) {
        r.exceptDays = e.exceptDays;
        r.openEnd = e.openEnd;
        if (e.openEnd) {
            r.enddate = kOpenEndDay;
        }
    }
    r.remindBefore = std::clamp(e.remindBefore, 0, kMaxRemindBefore);
    return r;
}

// ---- Shared rule operations --------------------------------------------------------------------

bool torig::InDateRange(TDateTime x) const {
    const int d = DayOf(x);
    return DayOf(f.begindate) <= d && d <= DayOf(f.enddate);
}

int torig::ClipStart(TDateTime x) const {
    return std::max(DayOf(x), DayOf(f.begindate));
}

int torig::ClipEnd(TDateTime x) const {
    return std::min(DayOf(x), DayOf(f.enddate));
}

bool torig::NotFiledToday() const {
    return DayOf(f.lastFileTime) != clock::Today();
}

int torig::FirstUnfiledDay() const {
    return FirstUnfiledDayFrom(f.begindate, f.lastFileTime);
}

int torig::LastDueDay() const {
    return std::min(DayOf(f.enddate), clock::Today());
}

bool torig::IsDue() const {
    return IsDue(clock::Now());
}

std::optional<int> torig::DueDay(TDateTime now) const {
    if (!IsDue(now)) {
        return std::nullopt;
    }
    if (f.repeatType == kRepeatNone) {
        return DayOf(f.begindate);
    }
    const DueFrame frame = FrameAt(now);
    return FirstOccurrence(FirstUnfiledDayFrom(f.begindate, frame.filed),
                           std::min(DayOf(f.enddate), DayOf(frame.now)));
}

std::optional<int> torig::FirstOccurrence(int fromDay, int toDay) const {
    std::optional<int> day = RuleFirstOccurrence(fromDay, toDay);
    while (day && Excepted(*day)) {
        day = *day < toDay ? RuleFirstOccurrence(*day + 1, toDay) : std::nullopt;
    }
    return day;
}

torig::DueFrame torig::FrameAt(TDateTime now) const {
    if (f.remindBefore <= 0) {
        return {now, f.lastFileTime};
    }
    const double lead = f.remindBefore;
    return {clock::LocalPlusMinutes(now, lead),
            f.lastFileTime >= 1.0 ? clock::LocalPlusMinutes(f.lastFileTime, lead) : f.lastFileTime};
}

int torig::FirstUnfiledDayFrom(TDateTime begindate, TDateTime filedAt) {
    const int filed = DayOf(filedAt);
    const int m = std::max(DayOf(begindate), filed);
    return m == filed ? m + 1 : m;
}

bool trepeating::IsDue(TDateTime realNow) const {
    if (!IsValidDateTime(f.beginTime) || !IsValidDateTime(f.lastFileTime)) {
        return false;
    }
    // "today" is the day of now, so that the two agree.
    if (!IsValidDateTime(realNow)) {
        return false;
    }
    const DueFrame frame = FrameAt(realNow);
    const TDateTime now = frame.now;
    const int today = DayOf(now);
    if (DayOf(frame.filed) == today) {
        return false;  // already archived today
    }
    const int lo = FirstUnfiledDayFrom(f.begindate, frame.filed);
    const int hi = std::min(DayOf(f.enddate), today);
    if (hi < lo) {
        return false;
    }
    const std::optional<int> first = FirstOccurrence(lo, hi);
    if (!first) {
        return false;
    }
    if (*first != today) {
        return true;  // an earlier occurrence was never archived
    }
    return TimeOfDayFraction(now) + kDueLead >= f.beginTime;
}

bool trepeating::OccursBetween(TDateTime start, TDateTime end) const {
    if (std::isnan(start) || std::isnan(end)) {
        return false;
    }
    const int lo = ClipStart(start);
    const int hi = ClipEnd(end);
    return hi >= lo && FirstOccurrence(lo, hi).has_value();
}

TDateTime trepeating::DayToShow(TDateTime day) const {
    if (OccursOn(day)) {
        return day;
    }
    // An event that never ends is looked for over one cycle of the calendar (400 years), after
    // which every rule repeats itself.
    int last = DayOf(f.enddate);
    if (f.openEnd) {
        last = std::min(last, DayOf(f.begindate) + 146097);
    }
    const std::optional<int> first = FirstOccurrence(DayOf(f.begindate), last);
    return first ? static_cast<TDateTime>(*first) : f.begindate;
}

// ---- Once --------------------------------------------------------------------------------

bool tnone::OccursOn(TDateTime day) const {
    return IsValidDateTime(f.begindate) && IsValidDateTime(day) && DayOf(day) == DayOf(f.begindate);
}

bool tnone::IsDue(TDateTime now) const {
    if (!IsValidDateTime(f.begindate) || !IsValidDateTime(f.beginTime) ||
        !IsValidDateTime(f.lastFileTime) || f.lastFileTime >= 1.0) {
        return false;
    }
    return IsValidDateTime(now) && f.begindate + f.beginTime <= FrameAt(now).now + kDueLead;
}

bool tnone::OccursBetween(TDateTime start, TDateTime end) const {
    return IsValidDateTime(f.begindate) && start <= f.begindate && f.begindate <= end;
}

TDateTime tnone::DayToShow(TDateTime) const {
    return f.begindate;
}

std::optional<int> tnone::RuleFirstOccurrence(int fromDay, int toDay) const {
    const int day = DayOf(f.begindate);
    if (!IsValidDateTime(f.begindate) || day < fromDay || day > toDay) {
        return std::nullopt;
    }
    return day;
}

// ---- Daily ------------------------------------------------------------------------------------

bool tdaily::OccursOn(TDateTime day) const {
    if (!IsValidDateTime(day) || !RangeValid(f) || !InDateRange(day) || Excepted(DayOf(day))) {
        return false;
    }
    const int d = DayOf(day);
    switch (f.dayType) {
        case kDayEveryN:
            return f.dayEvery0 >= 1 && (d - DayOf(f.begindate)) % f.dayEvery0 == 0;
        case kDayWorkday:
            return IsWorkday(d);
        default:
            return false;
    }
}

std::optional<int> tdaily::RuleFirstOccurrence(int fromDay, int toDay) const {
    if (!ClipToRange(f, fromDay, toDay)) {
        return std::nullopt;
    }
    long long day = 0;
    switch (f.dayType) {
        case kDayEveryN: {
            if (f.dayEvery0 < 1) {
                return std::nullopt;
            }
            const long long behind = FloorMod(fromDay - DayOf(f.begindate), f.dayEvery0);
            day = behind == 0 ? fromDay : fromDay + (f.dayEvery0 - behind);
            break;
        }
        case kDayWorkday: {
            const int w = WeekdayOfDay(fromDay);
            day = fromDay + (w == 7 ? 2 : w == 1 ? 1 : 0);
            break;
        }
        default:
            return std::nullopt;
    }
    if (day > toDay) {
        return std::nullopt;
    }
    return static_cast<int>(day);
}

long long tdaily::Period() const {
    switch (f.dayType) {
        case kDayEveryN:
            return f.dayEvery0 >= 1 ? f.dayEvery0 : 0;
        case kDayWorkday:
            return 7;  // five days of each week
        default:
            return 0;
    }
}

// ---- Weekly -----------------------------------------------------------------------------------

bool tweek::OccursOn(TDateTime day) const {
    if (!IsValidDateTime(day) || !RangeValid(f) || !InDateRange(day) || !f.weekMaskValid ||
        f.weekEvery0 < 1 || Excepted(DayOf(day))) {
        return false;
    }
    const long long period = 7LL * f.weekEvery0;
    const int d = DayOf(day);
    for (int p = 1; p <= 7; ++p) {
        if ((f.weekMask & (1u << (p - 1))) != 0 &&
            (static_cast<long long>(d) - WeekReference(f, p)) % period == 0) {
            return true;
        }
    }
    return false;
}

std::optional<int> tweek::RuleFirstOccurrence(int fromDay, int toDay) const {
    if (!f.weekMaskValid || f.weekEvery0 < 1 || !ClipToRange(f, fromDay, toDay)) {
        return std::nullopt;
    }
    const long long period = 7LL * f.weekEvery0;
    long long best = static_cast<long long>(toDay) + 1;
    for (int p = 1; p <= 7; ++p) {
        if ((f.weekMask & (1u << (p - 1))) == 0) {
            continue;
        }
        const long long r = WeekReference(f, p);
        best = std::min(best, fromDay + FloorMod(r - fromDay, period));
    }
    if (best > toDay) {
        return std::nullopt;
    }
    return static_cast<int>(best);
}

long long tweek::Period() const {
    return f.weekMaskValid && f.weekEvery0 >= 1 ? 7LL * f.weekEvery0 : 0;
}

// ---- Monthly ----------------------------------------------------------------------------------

bool tmonth::OccursOn(TDateTime day) const {
    if (!IsValidDateTime(day) || !RangeValid(f) || !InDateRange(day) || Excepted(DayOf(day))) {
        return false;
    }
    const CivilDate c = DecodeDate(day);
    switch (f.monthType) {
        case kMonthDayN:
            return static_cast<int>(c.day) == f.monthDay0 && f.monthEvery0 >= 1 &&
                   MonthDistance(day, f.begindate) % f.monthEvery0 == 0;
        case kMonthNth:
            return f.monthEvery1 >= 1 && MonthDistance(day, f.begindate) % f.monthEvery1 == 0 &&
                   NthDayOfMonth(c.year, c.month, f.monthspecial1, f.monthDayorWeek1) == c.day;
        default:
            return false;
    }
}

std::optional<int> tmonth::RuleFirstOccurrence(int fromDay, int toDay) const {
    if (!ClipToRange(f, fromDay, toDay)) {
        return std::nullopt;
    }
    // The month distance is taken from each candidate day exactly as OccursOn takes it, so
    // the extra month for 21 or more remaining days decides the same way.
    const auto everyN = [this](int interval) {
        return
            [this, interval](int day) { return MonthDistance(day, f.begindate) % interval == 0; };
    };
    switch (f.monthType) {
        case kMonthDayN:
            if (f.monthEvery0 < 1 || f.monthDay0 < 1 || f.monthDay0 > 31) {
                return std::nullopt;
            }
            return FirstByMonth(
                fromDay, toDay, 1,
                [this](int year, unsigned month) {
                    const auto d = static_cast<unsigned>(f.monthDay0);
                    return d <= DaysInMonth(year, month) ? d : 0u;
                },
                everyN(f.monthEvery0));
        case kMonthNth:
            if (f.monthEvery1 < 1 || !NthCodesValid(f.monthspecial1, f.monthDayorWeek1)) {
                return std::nullopt;
            }
            return FirstByMonth(
                fromDay, toDay, 1,
                [this](int year, unsigned month) {
                    return NthDayOfMonth(year, month, f.monthspecial1, f.monthDayorWeek1);
                },
                everyN(f.monthEvery1));
        default:
            return std::nullopt;
    }
}

// ---- Yearly -----------------------------------------------------------------------------------

bool tyear::OccursOn(TDateTime day) const {
    if (!IsValidDateTime(day) || !RangeValid(f) || !InDateRange(day) || Excepted(DayOf(day))) {
        return false;
    }
    const CivilDate c = DecodeDate(day);
    const int monthCode = static_cast<int>(c.month) - 1;
    switch (f.yearType) {
        case kYearDate:
            return f.yearMonth0 == monthCode && static_cast<int>(c.day) == f.yearDay0;
        case kYearNth:
            return f.yearMonth1 == monthCode &&
                   NthDayOfMonth(c.year, c.month, f.yearspecial1, f.yearDayorWeek1) == c.day;
        default:
            return false;
    }
}

std::optional<int> tyear::RuleFirstOccurrence(int fromDay, int toDay) const {
    if (!ClipToRange(f, fromDay, toDay)) {
        return std::nullopt;
    }
    int monthCode = 0;
    std::function<unsigned(int, unsigned)> dayOfMonth;
    switch (f.yearType) {
        case kYearDate: {
            monthCode = f.yearMonth0;
            if (monthCode < 0 || monthCode > 11 || f.yearDay0 < 1 || f.yearDay0 > 31) {
                return std::nullopt;
            }
            const auto dom = static_cast<unsigned>(f.yearDay0);
            if (dom > DaysInMonth(2000, static_cast<unsigned>(monthCode + 1))) {
                return std::nullopt;  // no such date in any year
            }
            dayOfMonth = [dom](int year, unsigned m) {
                return dom <= DaysInMonth(year, m) ? dom : 0u;
            };
            break;
        }
        case kYearNth:
            monthCode = f.yearMonth1;
            if (monthCode < 0 || monthCode > 11 ||
                !NthCodesValid(f.yearspecial1, f.yearDayorWeek1)) {
                return std::nullopt;
            }
            dayOfMonth = [this](int year, unsigned m) {
                return NthDayOfMonth(year, m, f.yearspecial1, f.yearDayorWeek1);
            };
            break;
        default:
            return std::nullopt;
    }
    // From the rule's month in the year of fromDay, twelve months at a time.
    const int start = DayNumber(DateOfDay(fromDay).year, static_cast<unsigned>(monthCode + 1), 1);
    return FirstByMonth(start, toDay, 12, dayOfMonth,
                        [fromDay](int day) { return day >= fromDay; });
}

// ---- Rule by kind -------------------------------------------------------------------------------

tsatisfy::tsatisfy(const tfield& event) : tsatisfy(RuleFields::From(event)) {}

tsatisfy::tsatisfy(const RuleFields& fields) : begindate_(fields.begindate) {
    switch (fields.repeatType) {
        case kRepeatNone:
            rule_.emplace<tnone>(fields);
            break;
        case kRepeatDaily:
            rule_.emplace<tdaily>(fields);
            break;
        case kRepeatWeekly:
            rule_.emplace<tweek>(fields);
            break;
        case kRepeatMonthly:
            rule_.emplace<tmonth>(fields);
            break;
        case kRepeatYearly:
            rule_.emplace<tyear>(fields);
            break;
        default:
            break;  // no rule
    }
}

const torig* tsatisfy::rule() const {
    return std::visit(
        [](const auto& r) -> const torig* {
            if constexpr (std::is_same_v<std::decay_t<decltype(r)>, std::monostate>) {
                return nullptr;
            } else {
                return &r;
            }
        },
        rule_);
}

bool tsatisfy::OccursOn(TDateTime day) const {
    const torig* r = rule();
    return r != nullptr && r->OccursOn(day);
}

bool tsatisfy::IsDue() const {
    return IsDue(clock::Now());
}

bool tsatisfy::IsDue(TDateTime now) const {
    const torig* r = rule();
    return r != nullptr && r->IsDue(now);
}

bool tsatisfy::OccursBetween(TDateTime start, TDateTime end) const {
    const torig* r = rule();
    return r != nullptr && r->OccursBetween(start, end);
}

std::optional<int> tsatisfy::DueDay(TDateTime now) const {
    const torig* r = rule();
    return r != nullptr ? r->DueDay(now) : std::nullopt;
}

TDateTime tsatisfy::DayToShow(TDateTime day) const {
    const torig* r = rule();
    return r != nullptr ? r->DayToShow(day) : begindate_;
}

}  // namespace qcal
