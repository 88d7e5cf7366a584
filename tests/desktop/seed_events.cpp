// Seeds a program folder for the desktop tests: two layers and a few events of every rule
// kind in the current month. With --due-alarm also a once-only event whose alarm fell due a
// few minutes ago, and the options set to play music/play.wav with the alarm.
//   seed_events <program folder> [--due-alarm]

#include <cstdio>
#include <cstring>

#include "core/Clock.h"
#include "store/DataModule.h"
#include "store/EventLists.h"

using namespace qcal;

namespace {

tfield Event(const char* subject, const char* layer, int hour, int minute, TDateTime from,
             TDateTime to, std::int32_t kind) {
    tfield e;
    e.subject = subject;
    e.layername = layer;
    e.alert = hour % 2 == 0;
    e.repeatType = kind;
    e.begindate = from;
    e.enddate = to;
    e.beginTime = EncodeTime(hour, minute);
    e.endtime = EncodeTime(hour + 1, minute);
    return e;
}

}  // namespace

int main(int argc, char** argv) {
    const bool dueAlarm = argc == 3 && std::strcmp(argv[2], "--due-alarm") == 0;
    if (argc != 2 && !dueAlarm) {
        std::fprintf(stderr, "usage: seed_events <program folder> [--due-alarm]\n");
        return 2;
    }
    StderrErrorReporter errors;
    TDataMod dm(argv[1], errors);
    if (!dm.Connected())
        return 1;
    dm.Layers = {{"Work", 0x00F0D8B0, true}, {"Home", 0x00B0E8C8, true}};
    if (!dm.SaveLayers())
        return 1;

    const CivilDate today = DateOfDay(clock::Today());
    const TDateTime first = EncodeDate(today.year, today.month, 1);
    const TDateTime last = first + DaysInMonth(today.year, today.month) - 1;

    tlist_of_event_orig list(dm);
    std::vector<tfield> events;
    events.push_back(Event("Dentist", "Home", 9, 30, first + 3, first + 3, kRepeatNone));
    events.push_back(Event("Release review", "Work", 14, 0, first + 17, first + 17, kRepeatNone));
    tfield standup = Event("Stand-up", "Work", 8, 45, first, last, kRepeatDaily);
    standup.dayType = 1;  // every workday
    events.push_back(standup);
    tfield gym = Event("Gym", "Home", 18, 0, first, last, kRepeatWeekly);
    gym.weekSelected0 = "FTFTFFF";
    events.push_back(gym);
    tfield rent = Event("Pay the rent", "Home", 10, 0, first - 60, last + 365, kRepeatMonthly);
    rent.monthDay0 = 1;
    events.push_back(rent);
    tfield meeting = Event("Team meeting", "Work", 11, 0, first - 60, last + 365, kRepeatMonthly);
    meeting.monthType = 1;
    meeting.monthspecial1 = 1;    // second
    meeting.monthDayorWeek1 = 4;  // Tuesday
    events.push_back(meeting);
    tfield birthday =
        Event("Anna's birthday", "Home", 0, 0, first - 400, last + 4000, kRepeatYearly);
    birthday.yearDay0 = 12;
    birthday.yearMonth0 = int(today.month) - 1;
    events.push_back(birthday);
    events.push_back(Event("Unknown layer", "Gone", 16, 15, first + 20, first + 20, kRepeatNone));

    if (dueAlarm) {
        const TDateTime moment = clock::Now() - EncodeTime(0, 3);
        const TDateTime day = DayOf(moment);
        tfield due = Event("Call the plumber", "Home", 0, 0, day, day, kRepeatNone);
        due.alert = true;
        due.beginTime = moment - day;
        due.endtime = due.beginTime;
        due.content = "About the kitchen tap";
        events.push_back(due);
        dm.LoadOptions();
        dm.Options.IsAlarmEnabled = true;
        dm.Options.Isplaysound = true;
        dm.Options.FilenameOfSound = "play.wav";
        if (!dm.SaveOptions())
            return 1;
    }

    for (const tfield& e : events) {
        if (list.AddEvent(e) == 0)
            return 1;
    }
    return 0;
}
