#include "store/SearchHeader.h"

#include "platform/ProfileFile.h"

namespace qcal {
namespace {

const std::string kSection = "SearchHeader";
// The key of each section's width; the subject has none.
const std::array<const char*, kSearchSectionCount> kKeys{"BeginTime", nullptr, "EndTime",
                                                         "LastArchive", "RepeatType"};

}  // namespace

SearchSectionWidths LoadSearchSectionWidths(const std::string& iniPath) {
    const platform::ProfileFile ini(iniPath);
    SearchSectionWidths widths = kSearchSectionDefaults;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (!kKeys[i])
            continue;
        const int width = ini.readInteger(kSection, kKeys[i], widths[i]);
        if (width >= kMinSearchSectionWidth && width <= kMaxSearchSectionWidth)
            widths[i] = width;
    }
    return widths;
}

bool SaveSearchSectionWidths(const std::string& iniPath, const SearchSectionWidths& widths) {
    platform::ProfileFile ini(iniPath);
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (kKeys[i])
            ini.writeInteger(kSection, kKeys[i], widths[i]);
    }
    return ini.save();
}

}  // namespace qcal
