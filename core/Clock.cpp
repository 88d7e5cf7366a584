#include "core/Clock.h"

#include <chrono>
#include <ctime>
#include <utility>

namespace qcal::clock {

namespace {

std::function<TDateTime()>& Override() {
    static std::function<TDateTime()> now;
    return now;
}

TDateTime SystemNow() {
    using namespace std::chrono;
    const auto stamp = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(stamp);
    const auto ms = duration_cast<milliseconds>(stamp.time_since_epoch()).count() % 1000;
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return 0;
    }
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec;  // leap second
    return EncodeDateTime(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                          static_cast<unsigned>(local.tm_mday), local.tm_hour, local.tm_min, second,
                          static_cast<int>(ms < 0 ? ms + 1000 : ms));
}

}  // namespace

TDateTime LocalPlusMinutes(TDateTime local, double minutes) {
    const TDateTime plain = local + minutes / 1440.0;
    if (!IsValidDateTime(local) || !IsValidDateTime(plain) || DayOf(local) < 0) {
        return plain;
    }
    const CivilDate date = DecodeDate(local);
    const TimeOfDay time = DecodeTime(local);
    std::tm tm{};
    tm.tm_year = date.year - 1900;
    tm.tm_mon = static_cast<int>(date.month) - 1;
    tm.tm_mday = static_cast<int>(date.day);
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    const std::tm asked = tm;
    tm.tm_isdst = -1;
    std::time_t start = std::mktime(&tm);
    if (start == static_cast<std::time_t>(-1)) {
        return plain;
    }
    // A time the clock shows twice (the hour repeated when summer time ends) is taken at its
    // second showing, whatever the system would guess: a reminder ahead of an event then
    // comes early rather than late, and the same each time it is asked.
    for (int dst = 0; dst <= 1; ++dst) {
        std::tm shown = asked;
        shown.tm_isdst = dst;
        const std::time_t moment = std::mktime(&shown);
        if (moment != static_cast<std::time_t>(-1) && moment > start &&
            shown.tm_hour == asked.tm_hour && shown.tm_min == asked.tm_min &&
            shown.tm_mday == asked.tm_mday) {
            start = moment;
        }
    }
    // The wall clock may have been moved forward over a time that does not exist; what was
    // asked is the moment the clock showed that time of day, so the shift counts from it.
    const double whole = static_cast<double>(start) + minutes * 60.0;
    const auto later = static_cast<std::time_t>(whole);
    std::tm out{};
    if (localtime_r(&later, &out) == nullptr) {
        return plain;
    }
    const double ms = time.millisecond + (whole - static_cast<double>(later)) * 1000.0;
    return EncodeDateTime(out.tm_year + 1900, static_cast<unsigned>(out.tm_mon + 1),
                          static_cast<unsigned>(out.tm_mday), out.tm_hour, out.tm_min,
                          out.tm_sec > 59 ? 59 : out.tm_sec) +
           ms / 86400000.0;
}

TDateTime Now() {
    const auto& now = Override();
    return now ? now() : SystemNow();
}

int Today() {
    return DayOf(Now());
}

void SetNowForTesting(std::function<TDateTime()> now) {
    Override() = std::move(now);
}

ScopedFakeClock::ScopedFakeClock(TDateTime fixed) : value_(fixed), previous_(Override()) {
    Override() = [this] { return value_; };
}

ScopedFakeClock::~ScopedFakeClock() {
    Override() = std::move(previous_);
}

}  // namespace qcal::clock
