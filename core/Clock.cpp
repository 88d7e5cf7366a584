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
