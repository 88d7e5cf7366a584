// Options and layers in setup.ini.

#include <algorithm>
#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "store/Colors.h"
#include "store/DataModule.h"

namespace qcal {

namespace {

const std::string kColor = "Color";

// How an option is kept in the file.
enum class Form {
    Plain,      // "1"/"0", a decimal number or the text, as the field's type says
    FontSize,   // points, brought into kMinFontSize..kMaxFontSize when read
    DateIndex,  // the position of the field's text in DateFormats
    TimeIndex,  // the position of the field's text in TimeFormats
};

using Field = std::variant<bool ROptions::*, std::int32_t ROptions::*, std::string ROptions::*,
                           std::int32_t RForPrint::*, std::string RForPrint::*>;

struct OptionKey {
    const char* section;
    const char* key;
    Field field;
    Form form = Form::Plain;
};

// Every option in the order it is read and written. A missing or unreadable value gives
// the field's value in ROptions{}.
const OptionKey kOptionKeys[] = {
    {"Options", "IsAlarmEnabled", &ROptions::IsAlarmEnabled},
    {"Options", "IsAgainDisplay", &ROptions::IsAgainDisplay},
    {"Options", "AgainHowLong", &ROptions::AgainHowLong},
    {"Options", "IsStartWhenWindow", &ROptions::IsStartWhenWindow},
    {"Options", "IsMinimize", &ROptions::IsMinimize},
    {"Options", "Isplaysound", &ROptions::Isplaysound},
    {"Options", "FilenameOfSound", &ROptions::FilenameOfSound},
    {"Options", "IsArchiveAllAfterClose", &ROptions::IsArchiveAllAfterClose},
    {"Options", "FontDisplayName", &ROptions::FontDisplayName},
    {"Options", "FontDisplaySize", &ROptions::FontDisplaySize, Form::FontSize},
    {"Options", "scaleOfPrint", &RForPrint::scaleOfPrint},
    {"Options", "PrintFontName", &RForPrint::PrintFontName},
    {"Options", "PrintFontSize", &RForPrint::PrintFontSize, Form::FontSize},
    {"myFormat", "myDate", &ROptions::DateFormat, Form::DateIndex},
    {"myFormat", "myTime", &ROptions::TimeFormat, Form::TimeIndex},
    {"HotKey", "myIndex", &ROptions::myIndex},
    {"HotKey", "myKey", &ROptions::myKey},
};

template <class Options, class T>
auto& FieldOf(Options& o, T ROptions::*member) {
    return o.*member;
}
template <class Options, class T>
auto& FieldOf(Options& o, T RForPrint::*member) {
    return o.ForPrint.*member;
}

// The entry at index, or the first entry when the stored index is out of range.
std::string FormatAt(const std::vector<std::string>& formats, int index) {
    if (formats.empty()) {
        return {};
    }
    if (index < 0 || std::size_t(index) >= formats.size()) {
        index = 0;
    }
    return formats[std::size_t(index)];
}

int PositionOf(const std::vector<std::string>& formats, const std::string& format) {
    auto it = std::find(formats.begin(), formats.end(), format);
    return it == formats.end() ? -1 : int(it - formats.begin());
}

// A size typed into the file by hand: none (0 or less) gives the default, and anything else
// is kept to sizes that still draw text.
std::int32_t SaneFontSize(std::int32_t size, std::int32_t fallback) {
    if (size <= 0) {
        return fallback;
    }
    return std::clamp(size, kMinFontSize, kMaxFontSize);
}

}  // namespace

void TDataMod::LoadOptions() {
    const platform::ProfileFile ini(SetupIniPath());
    static const ROptions defaults;
    for (const OptionKey& k : kOptionKeys) {
        std::visit(
            [&](auto member) {
                auto& field = FieldOf(Options, member);
                const auto& fallback = FieldOf(defaults, member);
                using T = std::remove_cvref_t<decltype(field)>;
                if constexpr (std::is_same_v<T, bool>) {
                    field = ini.readBool(k.section, k.key, fallback);
                } else if constexpr (std::is_same_v<T, std::int32_t>) {
                    field = ini.readInteger(k.section, k.key, fallback);
                    if (k.form == Form::FontSize) {
                        field = SaneFontSize(field, fallback);
                    }
                } else if (k.form == Form::DateIndex || k.form == Form::TimeIndex) {
                    const auto& formats = k.form == Form::DateIndex ? DateFormats : TimeFormats;
                    field = FormatAt(
                        formats, ini.readInteger(k.section, k.key, PositionOf(formats, fallback)));
                } else {
                    field = ini.readString(k.section, k.key, fallback);
                }
            },
            k.field);
    }
}

bool TDataMod::SaveOptions() {
    platform::ProfileFile ini(SetupIniPath());
    for (const OptionKey& k : kOptionKeys) {
        std::visit(
            [&](auto member) {
                const auto& field = FieldOf(Options, member);
                using T = std::remove_cvref_t<decltype(field)>;
                if constexpr (std::is_same_v<T, bool>) {
                    ini.writeBool(k.section, k.key, field);
                } else if constexpr (std::is_same_v<T, std::int32_t>) {
                    ini.writeInteger(k.section, k.key, field);
                } else if (k.form == Form::DateIndex || k.form == Form::TimeIndex) {
                    const auto& formats = k.form == Form::DateIndex ? DateFormats : TimeFormats;
                    ini.writeInteger(k.section, k.key, PositionOf(formats, field));
                } else {
                    ini.writeString(k.section, k.key, field);
                }
            },
            k.field);
    }
    const bool saved = SaveProfile(ini);
    if (OnOptionsSaved) {
        OnOptionsSaved();
    }
    return saved;
}

void TDataMod::LoadLayers() {
    const platform::ProfileFile ini(SetupIniPath());
    const int total = std::clamp(ini.readInteger(kColor, "Total", 0), 0, kMaxLayers);
    Layers.assign(std::size_t(total), tlayinfo{});
    for (int i = 0; i < total; ++i) {
        const std::string n = std::to_string(i);
        tlayinfo& layer = Layers[std::size_t(i)];
        layer.name = ini.readString(kColor, "LayerName" + n, "Layer" + n);
        const std::string colorText = ini.readString(kColor, "LayColor" + n, "clblue");
        layer.color = StringToColor(colorText).value_or(kUnknownLayerColor);
        layer.active = ini.readBool(kColor, "IsActived" + n, false);
    }
}

bool TDataMod::SaveLayers() {
    platform::ProfileFile ini(SetupIniPath());
    ini.writeInteger(kColor, "Total", int(Layers.size()));
    for (std::size_t i = 0; i < Layers.size(); ++i) {
        const std::string n = std::to_string(i);
        ini.writeString(kColor, "LayerName" + n, Layers[i].name);
        ini.writeString(kColor, "LayColor" + n, ColorToString(Layers[i].color));
        ini.writeBool(kColor, "IsActived" + n, Layers[i].active);
    }
    return SaveProfile(ini);
}

bool TDataMod::SaveProfile(const platform::ProfileFile& ini) const {
    if (!refusal_.empty()) {
        // Saving what the file already holds changes nothing and is no change to refuse.
        std::string stored;
        if (platform::ReadWholeFile(ini.path(), stored) && stored == ini.text()) {
            return true;
        }
        return !RefuseChange();
    }
    if (!ini.save()) {
        errors_.ShowError("Unable to write to " + ini.path());
        return false;
    }
    return true;
}

}  // namespace qcal
