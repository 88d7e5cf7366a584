#include "store/Colors.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "core/Ascii.h"
#include "platform/ProfileFile.h"

namespace qcal {

namespace {

struct NamedColor {
    std::string_view name;
    TColor value;
};

constexpr TColor Rgb(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}

constexpr std::array<NamedColor, 16> kBasicColors{{
    {"clBlack", Rgb(0, 0, 0)},
    {"clMaroon", Rgb(128, 0, 0)},
    {"clGreen", Rgb(0, 128, 0)},
    {"clOlive", Rgb(128, 128, 0)},
    {"clNavy", Rgb(0, 0, 128)},
    {"clPurple", Rgb(128, 0, 128)},
    {"clTeal", Rgb(0, 128, 128)},
    {"clGray", Rgb(128, 128, 128)},
    {"clSilver", Rgb(192, 192, 192)},
    {"clRed", Rgb(255, 0, 0)},
    {"clLime", Rgb(0, 255, 0)},
    {"clYellow", Rgb(255, 255, 0)},
    {"clBlue", Rgb(0, 0, 255)},
    {"clFuchsia", Rgb(255, 0, 255)},
    {"clAqua", Rgb(0, 255, 255)},
    {"clWhite", Rgb(255, 255, 255)},
}};

constexpr std::array<std::string_view, 25> kSystemColors{
    "clScrollBar",    "clBackground",  "clActiveCaption", "clInactiveCaption",
    "clMenu",         "clWindow",      "clWindowFrame",   "clMenuText",
    "clWindowText",   "clCaptionText", "clActiveBorder",  "clInactiveBorder",
    "clAppWorkSpace", "clHighlight",   "clHighlightText", "clBtnFace",
    "clBtnShadow",    "clGrayText",    "clBtnText",       "clInactiveCaptionText",
    "clBtnHighlight", "cl3DDkShadow",  "cl3DLight",       "clInfoText",
    "clInfoBk"};

}  // namespace

std::string ColorToString(TColor color) {
    for (const auto& named : kBasicColors) {
        if (named.value == color) {
            return std::string(named.name);
        }
    }
    for (std::size_t i = 0; i < kSystemColors.size(); ++i) {
        if (color == (kSystemColorBase | TColor(i))) {
            return std::string(kSystemColors[i]);
        }
    }
    if (color == kColorNone) {
        return "clNone";
    }
    char text[16];
    std::snprintf(text, sizeof text, "$%08X", unsigned(color));
    return text;
}

std::optional<TColor> StringToColor(const std::string& text) {
    for (const auto& named : kBasicColors) {
        if (EqualsIgnoringAsciiCase(named.name, text)) {
            return named.value;
        }
    }
    for (std::size_t i = 0; i < kSystemColors.size(); ++i) {
        if (EqualsIgnoringAsciiCase(kSystemColors[i], text)) {
            return kSystemColorBase | TColor(i);
        }
    }
    if (EqualsIgnoringAsciiCase("clNone", text)) {
        return kColorNone;
    }
    int value = 0;
    if (platform::ParseProfileInteger(text, value)) {
        return TColor(value);
    }
    return std::nullopt;
}

}  // namespace qcal
