#include "platform/desktop/WeekStart.h"

namespace qcal::desktop {

int FirstWeekday(std::int32_t option, const QLocale& locale) {
    switch (option) {
        case kWeekStartsMonday:
            return 2;
        case kWeekStartsAsLocale: {
            // Qt counts Monday 1 .. Sunday 7.
            const int qtDay = int(locale.firstDayOfWeek());
            return qtDay % 7 + 1;
        }
        default:
            return 1;
    }
}

}  // namespace qcal::desktop
