#pragma once

// The id list of the delete and archive statements: "(12,15,40)" with the blanks around it
// that each caller has always written.

#include <cstdint>
#include <span>
#include <string>

namespace qcal {

enum class IdListBlanks {
    None,    // "(7)": a single event of the month grid
    Before,  // " (7)": the current event of the alarm window
    Around,  // " (7) ": the selected rows of a list
};

// The ids in decimal, joined by ",", between "(" and ")" with the chosen blanks; an empty
// text for no ids, which no statement may be built from.
std::string IdListText(std::span<const std::int64_t> ids, IdListBlanks blanks);

}  // namespace qcal
