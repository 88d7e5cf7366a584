#include "core/DateTime.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

#include "core/Ascii.h"

namespace qcal {

namespace {

namespace chr = std::chrono;

// Day number of 1970-01-01, the epoch of std::chrono::sys_days.
constexpr int kUnixEpochDay = 25569;
constexpr long long kMsPerDay = 86400000;

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void AppendNumber(std::string& out, int value, int digits) {
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    const auto len = static_cast<int>(res.ptr - buf);
    for (int i = len; i < digits; ++i) {
        out += '0';
    }
    out.append(buf, res.ptr);
}

bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view word) {
    if (text.size() - pos < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (AsciiUpper(text[pos + i]) != word[i]) {
            return false;
        }
    }
    return true;
}

// Whether the hour token ending at pos is followed by an AM/PM marker before the next hour
// token: quoted text is skipped, and the first 'a' decides.
bool HourUsesTwelveHourClock(std::string_view format, std::size_t pos) {
    char quote = 0;
    for (; pos < format.size(); ++pos) {
        const char c = format[pos];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            }
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
        } else if (AsciiUpper(c) == 'A') {
            return StartsWithNoCase(format, pos, "AM/PM");
        } else if (AsciiUpper(c) == 'H') {
            return false;
        }
    }
    return false;
}

}  // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(int year, unsigned month) {
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return (month == 2 && IsLeapYear(year)) ? 29 : kDays[month - 1];
}

int DayNumber(int year, unsigned month, unsigned day) {
    const chr::sys_days days{chr::year{year} / chr::month{month} / chr::day{day}};
    return static_cast<int>(days.time_since_epoch().count()) + kUnixEpochDay;
}

CivilDate DateOfDay(int dayNumber) {
    dayNumber = std::clamp(dayNumber, kMinDayNumber, kMaxDayNumber);
    const chr::year_month_day ymd{chr::sys_days{chr::days{dayNumber - kUnixEpochDay}}};
    return CivilDate{static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                     static_cast<unsigned>(ymd.day())};
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    const long long ms = hour * 3600000LL + minute * 60000LL + second * 1000LL + millisecond;
    return static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

TimeOfDay DecodeTime(TDateTime x) {
    if (!std::isfinite(x)) {
        return {};
    }
    const double fraction = std::fabs(x - std::trunc(x));
    auto ms = static_cast<long long>(std::llround(fraction * static_cast<double>(kMsPerDay)));
    // A fraction a hair below the next day rounds up to 24:00:00.000; the day of the value
    // is still the old one, so the time stays at its last millisecond.
    ms = std::clamp(ms, 0LL, kMsPerDay - 1);
    TimeOfDay t;
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

std::string FormatNumber(double value) {
    if (value == 0) {
        value = 0;  // no "-0"
    }
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, res.ptr);
}

std::string FormatDateTime(std::string_view format, TDateTime x, char dateSeparator,
                           char timeSeparator) {
    const CivilDate date = DecodeDate(x);
    const TimeOfDay time = DecodeTime(x);
    std::string out;
    out.reserve(format.size() + 8);
    char lastToken = 0;
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        const char token = AsciiUpper(c);
        if (c == '\'' || c == '"') {
            const std::size_t close = format.find(c, i + 1);
            const std::size_t end = close == std::string_view::npos ? format.size() : close;
            out.append(format.substr(i + 1, end - i - 1));
            i = end == format.size() ? end : end + 1;
            continue;
        }
        if (c == '/') {
            out += dateSeparator;
            ++i;
            continue;
        }
        if (c == ':') {
            out += timeSeparator;
            ++i;
            continue;
        }
        if (!IsLetter(c)) {
            out += c;
            ++i;
            continue;
        }
        if (token == 'A') {
            lastToken = 'A';
            if (StartsWithNoCase(format, i, "AM/PM")) {
                // Printed as written in the format: "AM/PM" gives "AM", "am/pm" gives "am".
                out.append(format.substr(time.hour >= 12 ? i + 3 : i, 2));
                i += 5;
            } else {
                out += c;
                ++i;
            }
            continue;
        }
        std::size_t count = 1;
        while (i + count < format.size() && AsciiUpper(format[i + count]) == token) {
            ++count;
        }
        const int digits = count >= 2 ? 2 : 1;
        switch (token) {
            case 'Y':
                if (count <= 2) {
                    AppendNumber(out, date.year % 100, 2);
                } else {
                    AppendNumber(out, date.year, 4);
                }
                break;
            case 'M':
                if (lastToken == 'H') {
                    AppendNumber(out, time.minute, digits);
                } else {
                    AppendNumber(out, static_cast<int>(date.month), digits);
                }
                break;
            case 'D':
                AppendNumber(out, static_cast<int>(date.day), digits);
                break;
            case 'H': {
                int hour = time.hour;
                if (HourUsesTwelveHourClock(format, i + count)) {
                    if (hour == 0) {
                        hour = 12;
                    } else if (hour > 12) {
                        hour -= 12;
                    }
                }
                AppendNumber(out, hour, digits);
                break;
            }
            case 'N':
                AppendNumber(out, time.minute, digits);
                break;
            case 'S':
                AppendNumber(out, time.second, digits);
                break;
            default:
                out.append(format.substr(i, count));
                break;
        }
        lastToken = token == 'M' && lastToken == 'H' ? 'N' : token;
        i += count;
    }
    return out;
}

}  // namespace qcal
