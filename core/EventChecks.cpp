#include "core/EventChecks.h"

#include <algorithm>

#include "core/Ascii.h"

namespace qcal {
namespace {

constexpr std::string_view kLayerBlank = "The layer name can not be blank!";
constexpr std::string_view kSubjectBlank = "The subject can not be blank!";
constexpr std::string_view kTimeOrder = "The time of End must be later than the time of Begin!";
constexpr std::string_view kDailySpan =
    "When the Daily item of Repeat selected,the date of And\r"
    "must later at least 1 day than the date of Between!";
constexpr std::string_view kWeeklySpan =
    "When the Weekly item of Repeat selected,the date of And\r"
    "must later at least 1 week than the date of Between!";
constexpr std::string_view kWeeklyNoDay =
    "When the Weekly item selected,\rYou must select at least a day!";
constexpr std::string_view kMonthlySpan =
    "When the Monthly item of Repeat selected,the date of And\r"
    "must later at least 1 month than the date of Between!";
constexpr std::string_view kYearlySpan =
    "When the Yearly item of Repeat selected,the date of And\r"
    "must later at least 1 year than the date of Between!";

bool IsBlankCodePoint(char32_t c) {
    return c <= 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// The code point of the well-formed UTF-8 sequence text[pos, pos + length), or a value that
// is never blank when the bytes are not one.
char32_t Decode(std::string_view text, std::size_t pos, std::size_t length) {
    constexpr char32_t kNotBlank = 0xFFFD;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    if (length == 1)
        return byte(0) < 0x80 ? byte(0) : kNotBlank;
    const unsigned lead = byte(0);
    const std::size_t expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (expected != length)
        return kNotBlank;
    char32_t c = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return kNotBlank;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    // An overlong form (a blank written in more bytes than it needs) is no character.
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    return c >= kSmallest[length] ? c : kNotBlank;
}

std::size_t SequenceLength(unsigned char lead) {
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

}  // namespace

int MinimumSpanDays(int repeatType) {
    switch (repeatType) {
        case kRepeatDaily:
            return 1;
        case kRepeatWeekly:
            return 7;
        case kRepeatMonthly:
            return 28;
        case kRepeatYearly:
            return 365;
        default:
            return 0;
    }
}

bool IsBlankText(std::string_view text) {
    std::size_t first = 0;
    while (first < text.size()) {
        const std::size_t length =
            std::min(SequenceLength(static_cast<unsigned char>(text[first])), text.size() - first);
        if (!IsBlankCodePoint(Decode(text, first, length)))
            break;
        first += length;
    }
    std::size_t last = text.size();
    while (last > first) {
        std::size_t start = last - 1;
        while (start > first && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80 &&
               last - start < 4) {
            --start;
        }
        if (!IsBlankCodePoint(Decode(text, start, last - start)))
            break;
        last = start;
    }
    return first == last;
}

bool NoWeekdaySelected(std::string_view weekSelected0) {
    return std::none_of(weekSelected0.begin(), weekSelected0.end(),
                        [](char c) { return AsciiUpper(c) == 'T'; });
}

std::string_view CheckEvent(const tfield& e) {
    if (IsBlankText(e.layername))
        return kLayerBlank;
    if (IsBlankText(e.subject))
        return kSubjectBlank;
    if (e.beginTime >= e.endtime)
        return kTimeOrder;
    const int span = DayOf(e.enddate) - DayOf(e.begindate);
    const bool tooShort = span < MinimumSpanDays(e.repeatType);
    switch (e.repeatType) {
        case kRepeatDaily:
            return tooShort ? kDailySpan : std::string_view();
        case kRepeatWeekly:
            if (tooShort)
                return kWeeklySpan;
            return NoWeekdaySelected(e.weekSelected0) ? kWeeklyNoDay : std::string_view();
        case kRepeatMonthly:
            return tooShort ? kMonthlySpan : std::string_view();
        case kRepeatYearly:
            return tooShort ? kYearlySpan : std::string_view();
        default:
            return {};
    }
}

}  // namespace qcal
