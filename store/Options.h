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
    bool operator==(const RForPrint&) const = default;
};

// How the alarms come up (ShowRemindersAs): in the alarm window, as desktop notifications, or
// both. Without a notification server the window comes up whatever this says.
enum RemindersAs : std::int32_t {
    kRemindersInWindow = 0,
    kRemindersAsNotifications = 1,
    kRemindersBoth = 2,
};

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
    std::int32_t ShowRemindersAs = kRemindersBoth;
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
