#pragma once

// Colour values as text in the settings file: a colour name when one has exactly the
// value, else "$" and eight upper-case hexadecimal digits.

#include <optional>
#include <string>

#include "core/Event.h"

namespace qcal {

inline constexpr TColor kColorNone = 0x1FFFFFFF;
inline constexpr TColor kSystemColorBase = 0x80000000;

std::string ColorToString(TColor color);
// A colour name in any letter case, or a decimal or "$"-hexadecimal number.
std::optional<TColor> StringToColor(const std::string& text);

}  // namespace qcal
