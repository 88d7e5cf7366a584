#include "core/Event.h"

#include <algorithm>
#include <charconv>

namespace qcal {

bool IsExceptDay(const std::vector<int>& exceptDays, int day) {
    return std::binary_search(exceptDays.begin(), exceptDays.end(), day);
}

std::string ExceptDaysText(const std::vector<int>& days) {
    std::string text;
    for (int day : days) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(day);
    }
    return text;
}

std::vector<int> ParseExceptDays(std::string_view text) {
    std::vector<int> days;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t comma = text.find(',', at);
        if (comma == std::string_view::npos) {
            comma = text.size();
        }
        const std::string_view piece = text.substr(at, comma - at);
        int day = 0;
        const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), day);
        if (error == std::errc() && end == piece.data() + piece.size() && day >= kMinDayNumber &&
            day <= kMaxDayNumber) {
            days.push_back(day);
        }
        at = comma + 1;
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}

}  // namespace qcal
