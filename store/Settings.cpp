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
    Reminders,  // a RemindersAs value; anything else reads as the default
    Minutes,    // kMinSyncMinutes..kMaxSyncMinutes; anything else reads as the default
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
    {"Options", "PrintColours", &RForPrint::PrintColours},
    {"Options", "FirstDayOfWeek", &ROptions::FirstDayOfWeek},
    {"Options", "TrayMessageShown", &ROptions::TrayMessageShown},
    {"Options", "ShowRemindersAs", &ROptions::ShowRemindersAs, Form::Reminders},
    {"Options", "SyncMinutes", &ROptions::SyncMinutes, Form::Minutes},
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

// One option read from the file into options.
void ReadOption(const platform::ProfileFile& ini, const OptionKey& k, ROptions& options,
                const std::vector<std::string>& dateFormats,
                const std::vector<std::string>& timeFormats) {
    static const ROptions defaults;
    std::visit(
        [&](auto member) {
            auto& field = FieldOf(options, member);
            const auto& fallback = FieldOf(defaults, member);
            using T = std::remove_cvref_t<decltype(field)>;
            if constexpr (std::is_same_v<T, bool>) {
                field = ini.readBool(k.section, k.key, fallback);
            } else if constexpr (std::is_same_v<T, std::int32_t>) {
                field = ini.readInteger(k.section, k.key, fallback);
                if (k.form == Form::FontSize) {
                    field = SaneFontSize(field, fallback);
                } else if (k.form == Form::Reminders &&
                           (field < kRemindersInWindow || field > kRemindersBoth)) {
                    field = fallback;
                } else if (k.form == Form::Minutes &&
                           (field < kMinSyncMinutes || field > kMaxSyncMinutes)) {
                    field = fallback;
                }
            } else if (k.form == Form::DateIndex || k.form == Form::TimeIndex) {
                const auto& formats = k.form == Form::DateIndex ? dateFormats : timeFormats;
                field = FormatAt(formats,
                                 ini.readInteger(k.section, k.key, PositionOf(formats, fallback)));
            } else {
                field = ini.readString(k.section, k.key, fallback);
            }
        },
        k.field);
}

bool SameOption(const OptionKey& k, const ROptions& a, const ROptions& b) {
    return std::visit([&](auto member) { return FieldOf(a, member) == FieldOf(b, member); },
                      k.field);
}

// The layer table of the file. A name with a NUL byte is read up to it, as the system's
// profile reader reads it; its 1-based number goes to cut.
arraylayinfo ReadLayers(const platform::ProfileFile& ini, std::vector<int>* cut = nullptr) {
    const int total = std::clamp(ini.readInteger(kColor, "Total", 0), 0, TDataMod::kMaxLayers);
    arraylayinfo layers(std::size_t(total), tlayinfo{});
    for (int i = 0; i < total; ++i) {
        const std::string n = std::to_string(i);
        tlayinfo& layer = layers[std::size_t(i)];
        layer.name = ini.readString(kColor, "LayerName" + n, "Layer" + n);
        if (const std::size_t nul = layer.name.find('\0'); nul != std::string::npos) {
            layer.name.resize(nul);
            if (layer.name.empty()) {
                layer.name = "Layer" + n;
            }
            if (cut) {
                cut->push_back(i + 1);
            }
        }
        const std::string colorText = ini.readString(kColor, "LayColor" + n, "clblue");
        layer.color = StringToColor(colorText).value_or(kUnknownLayerColor);
        layer.active = ini.readBool(kColor, "IsActived" + n, false);
    }
    return layers;
}

const tlayinfo* Named(const arraylayinfo& layers, const std::string& name) {
    const auto it = std::find_if(layers.begin(), layers.end(),
                                 [&name](const tlayinfo& l) { return l.name == name; });
    return it == layers.end() ? nullptr : &*it;
}

}  // namespace

void TDataMod::LoadOptions() {
    const platform::ProfileFile ini(SetupIniPath());
    for (const OptionKey& k : kOptionKeys) {
        ReadOption(ini, k, Options, DateFormats, TimeFormats);
    }
    optionsRead_ = Options;
}

bool TDataMod::SaveOptions() {
    // While a backup, restore or compaction has the files, they are left to it.
    if (released_) {
        return false;
    }
    // The file as it is now: an option that this program did not change since it read the
    // file keeps what another program may have written meanwhile.
    platform::ProfileFile ini(SetupIniPath());
    for (const OptionKey& k : kOptionKeys) {
        if (optionsRead_ && SameOption(k, Options, *optionsRead_) && ini.hasKey(k.section, k.key)) {
            ReadOption(ini, k, Options, DateFormats, TimeFormats);
        }
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
    if (saved) {
        optionsRead_ = Options;
    }
    if (OnOptionsSaved) {
        OnOptionsSaved();
    }
    return saved;
}

void TDataMod::LoadLayers() {
    const platform::ProfileFile ini(SetupIniPath());
    std::vector<int> cut;
    Layers = ReadLayers(ini, &cut);
    layersRead_ = Layers;
    for (int number : cut) {
        errors_.ShowError("The name of layer " + std::to_string(number) + " in " + ini.path() +
                          " holds a NUL byte; it is read up to that byte, as \"" +
                          Layers[std::size_t(number - 1)].name + "\".");
    }
    const bool added = AddLayersOfEvents();
    if ((added || !cut.empty()) && access_ == platform::OpenMode::ReadWrite) {
        SaveLayers();
    }
}

bool TDataMod::AddLayersOfEvents() {
    if (!Connected()) {
        return false;
    }
    // In the order the layers were first used.
    std::vector<std::string> used;
    if (!LayersOfEvents || !LayersOfEvents(used)) {
        try {
            platform::Query q(ADOConnection);
            q.setSql(
                "select layername from eventtable where layername is not null "
                "group by layername order by min(id)");
            q.open();
            const int column = q.fieldIndex("layername");
            for (; !q.eof(); q.next())
                used.push_back(q.stringAt(column));
        } catch (const platform::DbError&) {
            // A table that cannot be read is reported by the statement that needs its events.
            return false;
        }
    }
    std::vector<std::string> missing;
    int unnamed = 0;  // events whose layer name no statement can carry
    for (std::string& name : used) {
        if (name.find('\0') != std::string::npos) {
            ++unnamed;
        } else if (!Named(Layers, name)) {
            missing.push_back(std::move(name));
        }
    }
    const std::size_t room =
        std::size_t(kMaxLayers) - std::min(Layers.size(), std::size_t(kMaxLayers));
    const std::size_t adding = std::min(room, missing.size());
    for (std::size_t i = 0; i < adding; ++i) {
        Layers.push_back(tlayinfo{missing[i], kUnknownLayerColor, true});
    }
    const int hidden = int(missing.size() - adding);
    if ((hidden > 0 || unnamed > 0) && (hidden != hiddenReported_ || unnamed != unnamedReported_)) {
        std::string text;
        if (hidden > 0) {
            text = "The events of " + std::to_string(hidden) +
                   " more layers cannot be shown: the layer list holds at most " +
                   std::to_string(kMaxLayers) + " layers.";
        }
        if (unnamed > 0) {
            text += std::string(text.empty() ? "" : "\r") + "The events of " +
                    std::to_string(unnamed) +
                    " layers cannot be shown: their layer names hold a NUL byte.";
        }
        errors_.ShowError(text);
    }
    hiddenReported_ = hidden;
    unnamedReported_ = unnamed;
    return adding > 0;
}

bool TDataMod::SaveLayers() {
    if (released_) {
        return false;
    }
    platform::ProfileFile ini(SetupIniPath());
    if (layersRead_) {
        // Another program may have changed the table since it was read (an import from the
        // command line adds layers): its new layers stay, and so do its changes of colour or
        // check mark where this program changed nothing.
        for (const tlayinfo& onDisk : ReadLayers(ini)) {
            const tlayinfo* read = Named(*layersRead_, onDisk.name);
            const auto mine = std::find_if(Layers.begin(), Layers.end(), [&](const tlayinfo& l) {
                return l.name == onDisk.name;
            });
            if (!read && mine == Layers.end() && Layers.size() < std::size_t(kMaxLayers)) {
                Layers.push_back(onDisk);
            } else if (read && mine != Layers.end() && *mine == *read) {
                *mine = onDisk;
            }
        }
    }
    ini.writeInteger(kColor, "Total", int(Layers.size()));
    for (std::size_t i = 0; i < Layers.size(); ++i) {
        const std::string n = std::to_string(i);
        ini.writeString(kColor, "LayerName" + n, Layers[i].name);
        ini.writeString(kColor, "LayColor" + n, ColorToString(Layers[i].color));
        ini.writeBool(kColor, "IsActived" + n, Layers[i].active);
    }
    if (!SaveProfile(ini)) {
        return false;
    }
    layersRead_ = Layers;
    return true;
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
