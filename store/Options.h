#pragma once

// The options record and the layer table held by the data module.

#include <cstdint>
#include <string>
#include <vector>

#include "core/Event.h"

namespace qcal {

// Font sizes (points) that the options hold; sizes read from the file are kept to these.
inline constexpr std::int32_t kMinFontSize = 6;
inline constexpr std::int32_t kMaxFontSize = 72;

struct RForPrint {
    std::int32_t scaleOfPrint = 80;
    std::string PrintFontName = "Arial";
    std::int32_t PrintFontSize = 8;
    // How the layer colours print: 0 full, 1 a light tint of them (saves ink), 2 none.
    std::int32_t PrintColours = 1;
    bool operator==(const RForPrint&) const = default;
};

// How the alarms come up (ShowRemindersAs): in the alarm window, as desktop notifications, or
// both. Without a notification server the window comes up whatever this says.
enum RemindersAs : std::int32_t {
    kRemindersInWindow = 0,
    kRemindersAsNotifications = 1,
    kRemindersBoth = 2,
};

// The range of SyncMinutes; a value outside it reads as the default.
inline constexpr std::int32_t kDefaultSyncMinutes = 15;
inline constexpr std::int32_t kMinSyncMinutes = 1;
inline constexpr std::int32_t kMaxSyncMinutes = 24 * 60;

struct ROptions {
    bool IsAlarmEnabled = true;
    bool IsAgainDisplay = false;
    std::int32_t AgainHowLong = 10;
    bool IsStartWhenWindow = false;
    bool IsMinimize = false;
    bool Isplaysound = false;
    std::string FilenameOfSound = "play.wav";
    bool IsArchiveAllAfterClose = false;
    std::string FontDisplayName = "Arial";
    std::int32_t FontDisplaySize = 9;
    RForPrint ForPrint;
    std::string DateFormat = "mm/dd/yyyy";
    std::string TimeFormat = "hh:nn AM/PM";
    std::int32_t myIndex = 4;  // 0 Alt, 1 Ctrl, 2 Shift, 3 Ctrl+Alt, 4 Ctrl+Shift
    std::int32_t myKey = 25;   // 0 = A .. 25 = Z
    // The first column of the month: 0 Sunday, 1 Monday, 2 the one of the user's locale.
    std::int32_t FirstDayOfWeek = 0;
    // The tray has said once that the program keeps running there after the close box.
    bool TrayMessageShown = false;
    std::int32_t ShowRemindersAs = kRemindersBoth;
    // Minutes between two synchronisations with the servers of bound layers.
    std::int32_t SyncMinutes = kDefaultSyncMinutes;
    bool operator==(const ROptions&) const = default;
};

struct tlayinfo {
    std::string name;
    TColor color = kUnknownLayerColor;
    bool active = false;
    bool operator==(const tlayinfo&) const = default;
};

using arraylayinfo = std::vector<tlayinfo>;

}  // namespace qcal
