#include "reference_rules.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "core/Clock.h"
#include "core/Rules.h"

using namespace qcal;

namespace reference {

namespace {

bool Repeats(const tfield& e) {
    return e.repeatType >= 1 && e.repeatType <= 4;
}

bool RangeUsable(const tfield& e) {
    return IsValidDateTime(e.begindate) && IsValidDateTime(e.enddate);
}

bool InDateRange(const tfield& e, TDateTime x) {
    return DayOf(e.begindate) <= DayOf(x) && DayOf(x) <= DayOf(e.enddate);
}

bool EveryN(long long distance, long long n) {
    return n >= 1 && distance % n == 0;
}

}  // namespace

bool OccursOn(const tfield& e, TDateTime day) {
    if (!IsValidDateTime(day) || !IsValidDateTime(e.begindate)) {
        return false;
    }
    if (e.repeatType == kRepeatNone) {
        return DayOf(day) == DayOf(e.begindate);
    }
    if (!Repeats(e) || !IsValidDateTime(e.enddate) || !InDateRange(e, day)) {
        return false;
    }
    const long long d = DayOf(day);
    switch (e.repeatType) {
        case kRepeatDaily:
            if (e.dayType == 0) {
                return EveryN(d - DayOf(e.begindate), e.dayEvery0);
            }
            return e.dayType == 1 && IsWorkday(DayOf(day));
        case kRepeatWeekly:
            if (e.weekSelected0.size() != 7 || e.weekEvery0 < 1) {
                return false;
            }
            for (int p = 1; p <= 7; ++p) {
                if (std::toupper(static_cast<unsigned char>(e.weekSelected0[p - 1])) != 'T') {
                    continue;
                }
                const int r = DayOf(e.begindate + p - DayOfWeek(e.begindate));
                if (EveryN(d - r, 7LL * e.weekEvery0)) {
                    return true;
                }
            }
            return false;
        case kRepeatMonthly:
            if (e.monthType == 0) {
                return static_cast<int>(DecodeDate(day).day) == e.monthDay0 &&
                       EveryN(MonthDistance(day, e.begindate), e.monthEvery0);
            }
            return e.monthType == 1 && EveryN(MonthDistance(day, e.begindate), e.monthEvery1) &&
                   tspecialDate(day).IsNth(e.monthspecial1, e.monthDayorWeek1);
        case kRepeatYearly:
            if (e.yearType == 0) {
                const CivilDate c = DecodeDate(day);
                return static_cast<long long>(c.month) == e.yearMonth0 + 1LL &&
                       static_cast<int>(c.day) == e.yearDay0;
            }
            return e.yearType == 1 &&
                   tspecialDate(day).IsNthInMonth(e.yearspecial1, e.yearDayorWeek1, e.yearMonth1);
    }
    return false;
}

bool OccursBetween(const tfield& e, TDateTime start, TDateTime end) {
    if (e.repeatType == kRepeatNone) {
        return IsValidDateTime(e.begindate) && start <= e.begindate && e.begindate <= end;
    }
    if (!Repeats(e) || !RangeUsable(e) || std::isnan(start) || std::isnan(end)) {
        return false;
    }
    const int lo = std::max(DayOf(start), DayOf(e.begindate));
    const int hi = std::min(DayOf(end), DayOf(e.enddate));
    for (int d = lo; d <= hi; ++d) {
        if (OccursOn(e, d)) {
            return true;
        }
    }
    return false;
}

TDateTime DayToShow(const tfield& e, TDateTime day) {
    if (!Repeats(e)) {
        return e.begindate;
    }
    if (OccursOn(e, day)) {
        return day;
    }
    if (RangeUsable(e)) {
        for (int d = DayOf(e.begindate); d <= DayOf(e.enddate); ++d) {
            if (OccursOn(e, d)) {
                return d;
            }
        }
    }
    return e.begindate;
}

bool IsDue(const tfield& e) {
    const TDateTime now = clock::Now();
    if (!IsValidDateTime(e.begindate) || !IsValidDateTime(e.beginTime) ||
        !IsValidDateTime(e.lastFileTime) || !IsValidDateTime(now)) {
        return false;
    }
    if (e.repeatType == kRepeatNone) {
        return e.lastFileTime < 1.0 && e.begindate + e.beginTime <= now + 0.0007;
    }
    if (!Repeats(e) || !IsValidDateTime(e.enddate)) {
        return false;
    }
    const int today = DayOf(now);
    const int filed = DayOf(e.lastFileTime);
    if (filed == today) {
        return false;
    }
    const int m = std::max(DayOf(e.begindate), filed);
    const int lo = m == filed ? m + 1 : m;
    const int hi = std::min(DayOf(e.enddate), today);
    for (int d = lo; d <= hi; ++d) {
        if (OccursOn(e, d)) {
            return d != today || std::fabs(now - std::trunc(now)) + 0.0007 >= e.beginTime;
        }
    }
    return false;
}

}  // namespace reference
