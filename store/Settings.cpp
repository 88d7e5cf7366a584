// Options and layers in setup.ini.

#include <algorithm>

#include "platform/ProfileFile.h"
#include "store/Colors.h"
#include "store/DataModule.h"

namespace qcal {

namespace {

const std::string kOptions = "Options";
const std::string kFormat = "myFormat";
const std::string kHotKey = "HotKey";
const std::string kColor = "Color";

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

}  // namespace

void TDataMod::LoadOptions() {
    const platform::ProfileFile ini(SetupIniPath());
    const ROptions defaults;
    ROptions& o = Options;
    o.IsAlarmEnabled = ini.readBool(kOptions, "IsAlarmEnabled", defaults.IsAlarmEnabled);
    o.IsAgainDisplay = ini.readBool(kOptions, "IsAgainDisplay", defaults.IsAgainDisplay);
    o.AgainHowLong = ini.readInteger(kOptions, "AgainHowLong", defaults.AgainHowLong);
    o.IsStartWhenWindow = ini.readBool(kOptions, "IsStartWhenWindow", defaults.IsStartWhenWindow);
    o.IsMinimize = ini.readBool(kOptions, "IsMinimize", defaults.IsMinimize);
    o.Isplaysound = ini.readBool(kOptions, "Isplaysound", defaults.Isplaysound);
    o.FilenameOfSound = ini.readString(kOptions, "FilenameOfSound", defaults.FilenameOfSound);
    o.IsArchiveAllAfterClose =
        ini.readBool(kOptions, "IsArchiveAllAfterClose", defaults.IsArchiveAllAfterClose);
    o.FontDisplayName = ini.readString(kOptions, "FontDisplayName", defaults.FontDisplayName);
    o.FontDisplaySize = ini.readInteger(kOptions, "FontDisplaySize", defaults.FontDisplaySize);
    o.ForPrint.scaleOfPrint =
        ini.readInteger(kOptions, "scaleOfPrint", defaults.ForPrint.scaleOfPrint);
    o.ForPrint.PrintFontName =
        ini.readString(kOptions, "PrintFontName", defaults.ForPrint.PrintFontName);
    o.ForPrint.PrintFontSize =
        ini.readInteger(kOptions, "PrintFontSize", defaults.ForPrint.PrintFontSize);
    o.DateFormat = FormatAt(DateFormats, ini.readInteger(kFormat, "myDate", 0));
    o.TimeFormat = FormatAt(TimeFormats, ini.readInteger(kFormat, "myTime", 0));
    o.myIndex = ini.readInteger(kHotKey, "myIndex", defaults.myIndex);
    o.myKey = ini.readInteger(kHotKey, "myKey", defaults.myKey);
}

bool TDataMod::SaveOptions() {
    platform::ProfileFile ini(SetupIniPath());
    const ROptions& o = Options;
    ini.writeBool(kOptions, "IsAlarmEnabled", o.IsAlarmEnabled);
    ini.writeBool(kOptions, "IsAgainDisplay", o.IsAgainDisplay);
    ini.writeInteger(kOptions, "AgainHowLong", o.AgainHowLong);
    ini.writeBool(kOptions, "IsStartWhenWindow", o.IsStartWhenWindow);
    ini.writeBool(kOptions, "IsMinimize", o.IsMinimize);
    ini.writeBool(kOptions, "Isplaysound", o.Isplaysound);
    ini.writeString(kOptions, "FilenameOfSound", o.FilenameOfSound);
    ini.writeBool(kOptions, "IsArchiveAllAfterClose", o.IsArchiveAllAfterClose);
    ini.writeString(kOptions, "FontDisplayName", o.FontDisplayName);
    ini.writeInteger(kOptions, "FontDisplaySize", o.FontDisplaySize);
    ini.writeInteger(kOptions, "scaleOfPrint", o.ForPrint.scaleOfPrint);
    ini.writeString(kOptions, "PrintFontName", o.ForPrint.PrintFontName);
    ini.writeInteger(kOptions, "PrintFontSize", o.ForPrint.PrintFontSize);
    ini.writeInteger(kFormat, "myDate", PositionOf(DateFormats, o.DateFormat));
    ini.writeInteger(kFormat, "myTime", PositionOf(TimeFormats, o.TimeFormat));
    ini.writeInteger(kHotKey, "myIndex", o.myIndex);
    ini.writeInteger(kHotKey, "myKey", o.myKey);
    const bool saved = ini.save();
    if (!saved) {
        errors_.ShowError("Unable to write to " + ini.path());
    }
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
    if (!ini.save()) {
        errors_.ShowError("Unable to write to " + ini.path());
        return false;
    }
    return true;
}

}  // namespace qcal
