#pragma once

// The local clock. Tests replace it to pin "now".

#include <functional>

#include "DateTime.h"

namespace qcal::clock {

// The local date-time now.
TDateTime Now();
// Day number of the local date.
int Today();

// The local date-time that lies minutes later than local, counted in real time: across a change
// to or from summer time the wall clock moves by an hour more or less. Outside the range the
// system can convert, plain arithmetic.
TDateTime LocalPlusMinutes(TDateTime local, double minutes);

// Replaces the clock; an empty function restores the real one.
void SetNowForTesting(std::function<TDateTime()> now);

// Pins the clock for the life of the object; the clock in place before is restored at the end.
class ScopedFakeClock {
public:
    explicit ScopedFakeClock(TDateTime fixed);
    ~ScopedFakeClock();
    void set(TDateTime fixed) { value_ = fixed; }
    void advanceSeconds(double seconds) { value_ += seconds / 86400.0; }
    ScopedFakeClock(const ScopedFakeClock&) = delete;
    ScopedFakeClock& operator=(const ScopedFakeClock&) = delete;

private:
    TDateTime value_;
    std::function<TDateTime()> previous_;
};

}  // namespace qcal::clock
