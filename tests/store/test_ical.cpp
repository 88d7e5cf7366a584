// iCalendar export and import: the RRULE of every rule kind against the program's own
// occurrence test, the round trip through a file, files written the way other calendar
// programs write them, and files meant to break the reader.

#include <QTest>

#include <libical/ical.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>

#include "core/EventChecks.h"
#include "core/Rules.h"
#include "platform/AtomicFile.h"
#include "platform/Sqlite.h"
#include "store/EventLists.h"
#include "store/IcalExport.h"
#include "store/IcalImport.h"
#include "store/IcalRules.h"
#include "support/StoreFixture.h"

using namespace qcal;
using namespace qcal::ical;
using qcal::test::StoreFixture;
using namespace Qt::StringLiterals;

namespace {

struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

const int kWindowFirst = DayNumber(2024, 1, 1);
const int kWindowLast = DayNumber(2033, 12, 31);  // ten years

enum class Kind { Once, DailyN, Workdays, Weekly, MonthDay, MonthNth, YearDate, YearNth };

// A random event of a kind, with every parameter the editor can store (and some invalid
// combinations it never produces, such as 30 February).
tfield RandomEvent(Kind kind, std::mt19937& rng) {
    const auto pick = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    tfield e;
    e.subject = "Event " + std::to_string(pick(1, 100000));
    e.layername = "Work";
    e.begindate = DayNumber(2022, 1, 1) + pick(0, 5 * 365);
    const int span = pick(0, 3) == 0 ? OpenEndDay() - DayOf(e.begindate) : pick(400, 12 * 365);
    e.enddate = e.begindate + span;
    const int minute = pick(0, 22 * 60 + 59);
    e.beginTime = EncodeTime(minute / 60, minute % 60);
    e.endtime = EncodeTime((minute + 30) / 60, (minute + 30) % 60);
    switch (kind) {
        case Kind::Once:
            e.repeatType = kRepeatNone;
            e.enddate = e.begindate;
            break;
        case Kind::DailyN: {
            static const int intervals[] = {1, 2, 3, 5, 7, 10, 13, 30, 100, 365};
            e.repeatType = kRepeatDaily;
            e.dayType = kDayEveryN;
            e.dayEvery0 = intervals[pick(0, 9)];
            break;
        }
        case Kind::Workdays:
            e.repeatType = kRepeatDaily;
            e.dayType = kDayWorkday;
            break;
        case Kind::Weekly:
            e.repeatType = kRepeatWeekly;
            e.weekEvery0 = pick(0, 2) == 0 ? pick(1, 52) : pick(1, 4);
            do {
                for (char& c : e.weekSelected0) {
                    c = pick(0, 2) == 0 ? 'T' : 'F';
                }
            } while (NoWeekdaySelected(e.weekSelected0));
            break;
        case Kind::MonthDay:
            e.repeatType = kRepeatMonthly;
            e.monthType = kMonthDayN;
            e.monthDay0 = pick(1, 31);
            e.monthEvery0 = pick(1, 12);
            break;
        case Kind::MonthNth:
            e.repeatType = kRepeatMonthly;
            e.monthType = kMonthNth;
            e.monthspecial1 = pick(0, 4);
            e.monthDayorWeek1 = pick(0, 8);
            e.monthEvery1 = pick(1, 12);
            break;
        case Kind::YearDate:
            e.repeatType = kRepeatYearly;
            e.yearType = kYearDate;
            e.yearMonth0 = pick(0, 11);
            e.yearDay0 = pick(1, 31);
            break;
        case Kind::YearNth:
            e.repeatType = kRepeatYearly;
            e.yearType = kYearNth;
            e.yearspecial1 = pick(0, 4);
            e.yearDayorWeek1 = pick(0, 8);
            e.yearMonth1 = pick(0, 11);
            break;
    }
    return e;
}

Component ParseOne(const std::string& text) {
    Component c(icalparser_parse_string(text.c_str()));
    return c;
}

bool HasRuleComment(icalcomponent* c) {
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_COMMENT_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_COMMENT_PROPERTY)) {
        if (std::string(icalproperty_get_comment(p)).rfind(kRuleCommentPrefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

// The days of the window on which libical expands the VEVENT's DTSTART, RRULE and EXDATEs.
std::vector<int> LibicalDays(icalcomponent* c, int first, int last) {
    const icaltimetype start = icalcomponent_get_dtstart(c);
    std::vector<int> excluded;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_EXDATE_PROPERTY)) {
        const icaltimetype t = icalproperty_get_exdate(p);
        excluded.push_back(DayNumber(t.year, unsigned(t.month), unsigned(t.day)));
    }
    std::vector<int> days;
    const auto add = [&](const icaltimetype& t) {
        const int day = DayNumber(t.year, unsigned(t.month), unsigned(t.day));
        if (day >= first && day <= last &&
            std::find(excluded.begin(), excluded.end(), day) == excluded.end()) {
            days.push_back(day);
        }
        return day <= last;
    };
    icalproperty* rrule = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY);
    if (!rrule) {
        add(start);
        return days;
    }
    icalrecur_iterator* it = icalrecur_iterator_new(icalproperty_get_rrule(rrule), start);
    for (icaltimetype t = icalrecur_iterator_next(it); !icaltime_is_null_time(t);
         t = icalrecur_iterator_next(it)) {
        if (!add(t)) {
            break;
        }
    }
    icalrecur_iterator_free(it);
    return days;
}

std::string Describe(const tfield& e) {
    return "repeat " + std::to_string(e.repeatType) + " begin " +
           FormatDateTime("yyyy-mm-dd", e.begindate) + " end " +
           FormatDateTime("yyyy-mm-dd", e.enddate) + " day " + std::to_string(e.dayType) + "/" +
           std::to_string(e.dayEvery0) + " week " + std::to_string(e.weekEvery0) + " " +
           e.weekSelected0 + " month " + std::to_string(e.monthType) + " " +
           std::to_string(e.monthDay0) + "/" + std::to_string(e.monthEvery0) + " " +
           std::to_string(e.monthspecial1) + "," + std::to_string(e.monthDayorWeek1) + "/" +
           std::to_string(e.monthEvery1) + " year " + std::to_string(e.yearType) + " " +
           std::to_string(e.yearDay0) + "." + std::to_string(e.yearMonth0) + " " +
           std::to_string(e.yearspecial1) + "," + std::to_string(e.yearDayorWeek1) + "." +
           std::to_string(e.yearMonth1);
}

std::int64_t CountRows(TDataMod& dm) {
    platform::Query q(dm.ADOConnection);
    q.setSql("select count(*) as n from eventtable");
    q.open();
    return q.asInteger("n");
}

tArrayofField AllEvents(TDataMod& dm) {
    tArrayofField events;
    platform::Query q(dm.ADOConnection);
    q.setSql("select * from eventtable order by id");
    for (q.open(); !q.eof(); q.next()) {
        tfield e;
        TransferRow(TransferDirection::RowToRecord, e, q, dm.Layers);
        events.push_back(e);
    }
    return events;
}

std::string Calendar(const std::string& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//Test//EN\r\n" + body +
           "END:VCALENDAR\r\n";
}

// An event as one line for comparisons: subject|kind|begin|end|time|alert|layer.
std::string Line(const tfield& e) {
    const bool open = DayOf(e.enddate) == OpenEndDay();
    return e.subject + "|" + std::to_string(e.repeatType) + "|" +
           FormatDateTime("yyyy-mm-dd", e.begindate) + "|" +
           (open ? std::string("open") : FormatDateTime("yyyy-mm-dd", e.enddate)) + "|" +
           FormatDateTime("hh:nn", e.beginTime) + "-" + FormatDateTime("hh:nn", e.endtime) + "|" +
           (e.alert ? "alarm" : "-") + "|" + e.layername;
}

QStringList Lines(const tArrayofField& events) {
    QStringList lines;
    for (const tfield& e : events) {
        lines << QString::fromStdString(Line(e));
    }
    return lines;
}

// A repeating event of every kind that the editor would accept, with texts that need escaping.
tArrayofField RoundTripEvents() {
    std::mt19937 rng(7);
    const auto pick = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const char* const subjects[] = {"Dentist", "Rent; due, \"now\"", "Back\\slash", "Ünïcödé ✓",
                                    "It's a quote"};
    const char* const layers[] = {"Work", "Home, garden", "Ämter"};
    tArrayofField events;
    for (int i = 0; events.size() < 400; ++i) {
        tfield e = RandomEvent(Kind(i % 8), rng);
        const ExportedRule rule = RuleToRRule(e);
        if (!rule.occurs || !rule.exact) {
            continue;
        }
        e.subject = std::string(subjects[i % 5]) + " " + std::to_string(i);
        e.content = i % 3 ? "first line\nsecond line, with ; and \\" : "";
        e.mynote = i % 4 ? "note " + std::to_string(i) : "";
        e.layername = layers[i % 3];
        e.alert = pick(0, 1) == 1;
        e.lastFileTime = pick(0, 2) == 0 ? EncodeDateTime(2026, 11, 3, 14, 5, 9) : 0;
        events.push_back(e);
    }
    return events;
}

// Time zones as the programs write them.
const char* const kNewYorkZone =
    "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\nX-LIC-LOCATION:America/New_York\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nTZNAME:EDT\r\n"
    "DTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nTZNAME:EST\r\n"
    "DTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\n"
    "END:VTIMEZONE\r\n";
std::string CentralEuropeZone(const char* tzid) {
    return std::string("BEGIN:VTIMEZONE\r\nTZID:") + tzid +
           "\r\nBEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nTZNAME:CEST\r\n"
           "DTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\nEND:DAYLIGHT\r\n"
           "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nTZNAME:CET\r\n"
           "DTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\n"
           "END:STANDARD\r\nEND:VTIMEZONE\r\n";
}

// Written in the style of a Google Calendar export ("Export" in its settings).
std::string GoogleStyle() {
    return "BEGIN:VCALENDAR\r\nPRODID:-//Google Inc//Google Calendar 70.9054//EN\r\n"
           "VERSION:2.0\r\nCALSCALE:GREGORIAN\r\nMETHOD:PUBLISH\r\n"
           "X-WR-CALNAME:someone@example.com\r\nX-WR-TIMEZONE:Europe/Berlin\r\n" +
           std::string(kNewYorkZone) + CentralEuropeZone("Europe/Berlin") +
           "BEGIN:VEVENT\r\nDTSTART;TZID=America/New_York:20261207T090000\r\n"
           "DTEND;TZID=America/New_York:20261207T100000\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,WE\r\n"
           "DTSTAMP:20261201T120000Z\r\nUID:4k1j2h3g4f5d6s7a8@google.com\r\n"
           "CREATED:20261130T090000Z\r\nDESCRIPTION:Daily sync\\, ten minutes\r\n"
           "LAST-MODIFIED:20261130T090000Z\r\nLOCATION:\r\nSEQUENCE:0\r\nSTATUS:CONFIRMED\r\n"
           "SUMMARY:Team standup\r\nTRANSP:OPAQUE\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
           "DESCRIPTION:This is an event reminder\r\nTRIGGER:-P0DT0H10M0S\r\nEND:VALARM\r\n"
           "END:VEVENT\r\n"
           "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20261224\r\nDTEND;VALUE=DATE:20261227\r\n"
           "DTSTAMP:20261201T120000Z\r\nUID:9x8c7v6b5n4m@google.com\r\nSUMMARY:Christmas trip\r\n"
           "TRANSP:TRANSPARENT\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nDTSTART:20261210T130000Z\r\nDTEND:20261210T140000Z\r\n"
           "DTSTAMP:20261201T120000Z\r\nUID:1q2w3e4r5t@google.com\r\nSUMMARY:Dentist\r\n"
           "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:This is an event reminder\r\n"
           "TRIGGER:-P0DT0H30M0S\r\nEND:VALARM\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nDTSTART;TZID=Europe/Berlin:20261201T180000\r\n"
           "DTEND;TZID=Europe/Berlin:20261201T193000\r\n"
           "RRULE:FREQ=WEEKLY;UNTIL=20270330T170000Z;BYDAY=TU\r\n"
           "EXDATE;TZID=Europe/Berlin:20261222T180000\r\nDTSTAMP:20261201T120000Z\r\n"
           "UID:0p9o8i7u6y@google.com\r\nSUMMARY:Choir\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// Written in the style of Thunderbird (Lightning): its own VTIMEZONE, X-MOZ properties.
std::string ThunderbirdStyle() {
    return "BEGIN:VCALENDAR\r\nPRODID:-//Mozilla.org/NONSGML Mozilla Calendar V1.1//EN\r\n"
           "VERSION:2.0\r\n" +
           CentralEuropeZone("Europe/Berlin") +
           "BEGIN:VEVENT\r\nCREATED:20261101T100000Z\r\nLAST-MODIFIED:20261101T100500Z\r\n"
           "DTSTAMP:20261101T100500Z\r\nUID:8f1d3c2a-1111-4b5e-9c1e-0a1b2c3d4e5f\r\n"
           "SUMMARY:Rent\r\nCATEGORIES:Finance,Home\r\n"
           "RRULE:FREQ=MONTHLY;COUNT=12;BYMONTHDAY=1\r\n"
           "DTSTART;TZID=Europe/Berlin:20261201T080000\r\n"
           "DTEND;TZID=Europe/Berlin:20261201T081500\r\nX-MOZ-GENERATION:1\r\n"
           "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DURATION:-PT15M\r\n"
           "DESCRIPTION:Default Mozilla Description\r\nEND:VALARM\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nCREATED:20261101T100000Z\r\nDTSTAMP:20261101T100500Z\r\n"
           "UID:2b3c4d5e-2222-4b5e-9c1e-0a1b2c3d4e5f\r\nSUMMARY:Mum's birthday\r\n"
           "CATEGORIES:Birthday\r\nRRULE:FREQ=YEARLY\r\nDTSTART;VALUE=DATE:19600315\r\n"
           "DTEND;VALUE=DATE:19600316\r\nTRANSP:TRANSPARENT\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nCREATED:20261101T100000Z\r\nDTSTAMP:20261101T100500Z\r\n"
           "UID:3c4d5e6f-3333-4b5e-9c1e-0a1b2c3d4e5f\r\nSUMMARY:Board meeting\r\n"
           "CATEGORIES:It's work\r\nRRULE:FREQ=MONTHLY;BYDAY=-1FR\r\n"
           "DTSTART;TZID=Europe/Berlin:20261225T100000\r\n"
           "DTEND;TZID=Europe/Berlin:20261225T110000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// Written in the style of Evolution: time zones under a "/freeassociation..." TZID.
std::string EvolutionStyle() {
    const std::string london = "/freeassociation.sourceforge.net/Europe/London";
    return "BEGIN:VCALENDAR\r\nCALSCALE:GREGORIAN\r\n"
           "PRODID:-//Ximian//NONSGML Evolution Calendar//EN\r\nVERSION:2.0\r\n"
           "BEGIN:VTIMEZONE\r\nTZID:" +
           london +
           "\r\nX-LIC-LOCATION:Europe/London\r\n"
           "BEGIN:STANDARD\r\nTZNAME:GMT\r\nDTSTART:19701025T020000\r\n"
           "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\nTZOFFSETFROM:+0100\r\n"
           "TZOFFSETTO:+0000\r\nEND:STANDARD\r\nBEGIN:DAYLIGHT\r\nTZNAME:BST\r\n"
           "DTSTART:19700329T010000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\n"
           "TZOFFSETFROM:+0000\r\nTZOFFSETTO:+0100\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
           "BEGIN:VEVENT\r\nUID:20261201T101010Z-1234-1000-1-0@laptop\r\n"
           "DTSTAMP:20261201T101010Z\r\nDTSTART;TZID=" +
           london +
           ":20261208T233000\r\n"
           "DTEND;TZID=" +
           london +
           ":20261209T003000\r\nSEQUENCE:1\r\nSUMMARY:Late call\r\n"
           "RRULE:FREQ=DAILY;INTERVAL=2;UNTIL=20261231T233000Z\r\nCLASS:PUBLIC\r\n"
           "BEGIN:VALARM\r\nX-EVOLUTION-ALARM-UID:20261201T101010Z-1235-1000-1-1@laptop\r\n"
           "ACTION:DISPLAY\r\nTRIGGER;VALUE=DURATION;RELATED=START:-PT5M\r\n"
           "DESCRIPTION:Late call\r\nEND:VALARM\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nUID:20261201T101011Z-1234-1000-1-0@laptop\r\n"
           "DTSTAMP:20261201T101011Z\r\nDTSTART;VALUE=DATE:20261207\r\n"
           "DTEND;VALUE=DATE:20261208\r\nSUMMARY:Bins out\r\n"
           "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO\r\nEXDATE;VALUE=DATE:20261208\r\n"
           "CLASS:PUBLIC\r\nTRANSP:TRANSPARENT\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nUID:20261201T101012Z-1234-1000-1-0@laptop\r\n"
           "DTSTAMP:20261201T101012Z\r\nDTSTART;TZID=" +
           london +
           ":20270105T100000\r\n"
           "DURATION:PT45M\r\nSUMMARY:Dentist follow-up\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// Written in the style of Apple Calendar: X-APPLE properties, an audio alarm, a moved
// occurrence (RECURRENCE-ID) and an hourly rule.
std::string AppleStyle() {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Apple Inc.//macOS 14.0//EN\r\n"
           "CALSCALE:GREGORIAN\r\n" +
           CentralEuropeZone("Europe/Paris") +
           "BEGIN:VEVENT\r\nCREATED:20251201T080000Z\r\n"
           "UID:6B1F3A2E-0C4D-4E5F-8A9B-1C2D3E4F5A6B\r\nRRULE:FREQ=MONTHLY;INTERVAL=3;BYDAY=2TU\r\n"
           "DTEND;TZID=Europe/Paris:20260113T110000\r\nTRANSP:OPAQUE\r\n"
           "X-APPLE-TRAVEL-ADVISORY-BEHAVIOR:AUTOMATIC\r\nSUMMARY:Quarterly review\r\n"
           "LAST-MODIFIED:20251201T080000Z\r\nDTSTAMP:20251201T080000Z\r\n"
           "DTSTART;TZID=Europe/Paris:20260113T100000\r\nSEQUENCE:0\r\n"
           "BEGIN:VALARM\r\nX-WR-ALARMUID:0A1B2C3D-0000-1111-2222-333344445555\r\n"
           "UID:0A1B2C3D-0000-1111-2222-333344445555\r\nTRIGGER:-PT15M\r\n"
           "ATTACH;VALUE=URI:Chord\r\nACTION:AUDIO\r\nEND:VALARM\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nUID:6B1F3A2E-0C4D-4E5F-8A9B-1C2D3E4F5A6B\r\n"
           "RECURRENCE-ID;TZID=Europe/Paris:20260414T100000\r\n"
           "DTSTART;TZID=Europe/Paris:20260415T100000\r\n"
           "DTEND;TZID=Europe/Paris:20260415T110000\r\nSUMMARY:Quarterly review (moved)\r\n"
           "DTSTAMP:20251201T080000Z\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nUID:7C2A4B3F-1D5E-4F60-9B0C-2D3E4F5A6B7C\r\n"
           "DTSTART;VALUE=DATE:20260101\r\nDTEND;VALUE=DATE:20260102\r\n"
           "RRULE:FREQ=YEARLY;BYMONTH=1;BYMONTHDAY=1\r\nSUMMARY:New Year\r\n"
           "DTSTAMP:20251201T080000Z\r\nEND:VEVENT\r\n"
           "BEGIN:VEVENT\r\nUID:8D3B5C40-2E6F-4071-8C1D-3E4F5A6B7C8D\r\n"
           "DTSTART;TZID=Europe/Paris:20260301T090000\r\n"
           "DTEND;TZID=Europe/Paris:20260301T090500\r\nRRULE:FREQ=HOURLY;INTERVAL=4;COUNT=3\r\n"
           "SUMMARY:Medication\r\nDTSTAMP:20251201T080000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

}  // namespace

class TestIcal : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Times of other zones are converted to this one.
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    void exportedRuleGivesTheSameDays_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("once") << int(Kind::Once);
        QTest::newRow("every N days") << int(Kind::DailyN);
        QTest::newRow("workdays") << int(Kind::Workdays);
        QTest::newRow("weekdays every N weeks") << int(Kind::Weekly);
        QTest::newRow("day D every N months") << int(Kind::MonthDay);
        QTest::newRow("O-th K every N months") << int(Kind::MonthNth);
        QTest::newRow("yearly date") << int(Kind::YearDate);
        QTest::newRow("yearly O-th K in a month") << int(Kind::YearNth);
    }

    // For hundreds of events of each kind, libical's expansion of the exported VEVENT over
    // ten years gives exactly the days on which the program's own test says the event occurs.
    // Rules exported as the closest rule say so in a COMMENT; only every-N-months rules of
    // the O-th K kind may need one.
    void exportedRuleGivesTheSameDays() {
        QFETCH(int, kind);
        std::mt19937 rng(20261208u + unsigned(kind));
        const int count = 400;
        int approximated = 0;
        for (int i = 0; i < count; ++i) {
            const tfield e = RandomEvent(Kind(kind), rng);
            const std::string text = EventToVEvent(e, "uid", "key", EncodeDate(2026, 12, 8));
            const Component c = ParseOne(text);
            QVERIFY2(c && icalcomponent_isa(c.get()) == ICAL_VEVENT_COMPONENT, text.c_str());
            if (HasRuleComment(c.get()) &&
                icalcomponent_get_first_property(c.get(), ICAL_EXDATE_PROPERTY) == nullptr) {
                QVERIFY2(
                    e.repeatType == kRepeatMonthly && e.monthType == kMonthNth && e.monthEvery1 > 1,
                    Describe(e).c_str());
                ++approximated;
                continue;
            }
            std::vector<int> ours;
            const tsatisfy rule(e);
            for (int d = kWindowFirst; d <= kWindowLast; ++d) {
                if (rule.OccursOn(d)) {
                    ours.push_back(d);
                }
            }
            const std::vector<int> theirs = LibicalDays(c.get(), kWindowFirst, kWindowLast);
            if (ours != theirs) {
                QFAIL((Describe(e) + "\n" + text + "\nours " + std::to_string(ours.size()) +
                       " theirs " + std::to_string(theirs.size()))
                          .c_str());
            }
        }
        if (Kind(kind) != Kind::MonthNth) {
            QCOMPARE(approximated, 0);
        } else {
            QVERIFY(approximated < count / 2);
        }
    }

    // Export, then import into an empty folder: the same events with the same rules.
    void roundTripGivesTheSameEvents() {
        StoreFixture from;
        tlist_of_event_orig list(*from.dm);
        const tArrayofField written = RoundTripEvents();
        for (const tfield& e : written) {
            QVERIFY(list.AddEvent(e) > 0);
        }
        std::string text;
        const ExportResult exported = ExportCalendarText(*from.dm, text);
        QVERIFY2(exported.ok, exported.error.c_str());
        QCOMPARE(exported.events, int(written.size()));
        QVERIFY(exported.approximated.empty());

        StoreFixture to;
        const ImportResult imported = ImportCalendarText(*to.dm, text);
        QVERIFY2(imported.ok, imported.error.c_str());
        QVERIFY2(imported.Summary() == std::to_string(written.size()) +
                                           " events imported, 0 changed (see details), 0 skipped",
                 (imported.Summary() + "\n" + imported.DetailText()).c_str());
        const tArrayofField read = AllEvents(*to.dm);
        QCOMPARE(read.size(), written.size());
        for (std::size_t i = 0; i < read.size(); ++i) {
            tfield expected = written[i];
            // A range to the last day there is never ends.
            expected.openEnd =
                expected.repeatType != kRepeatNone && DayOf(expected.enddate) >= OpenEndDay();
            expected.id = read[i].id;
            expected.layerColor = read[i].layerColor;
            if (!(read[i] == expected)) {
                QFAIL(("event " + std::to_string(i) + "\nwritten " + Describe(written[i]) + " " +
                       Line(written[i]) + "\nread    " + Describe(read[i]) + " " + Line(read[i]))
                          .c_str());
            }
        }
        // The categories became layers of the new folder.
        to.dm->LoadLayers();
        QCOMPARE(to.dm->Layers.size(), std::size_t(3));

        // The same file again, into either folder, adds nothing.
        for (StoreFixture* f : {&to, &from}) {
            const ImportResult again = ImportCalendarText(*f->dm, text);
            QVERIFY2(again.ok, again.error.c_str());
            QCOMPARE(again.imported, 0);
            QCOMPARE(again.unchanged, int(written.size()));
            QCOMPARE(again.skipped, 0);
            QCOMPARE(CountRows(*f->dm), std::int64_t(written.size()));
        }
    }

    void filesOfOtherPrograms_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QStringList>("events");  // subject|kind|begin|end|times|alarm|layer
        QTest::newRow("Google Calendar")
            << QString::fromStdString(GoogleStyle())
            << u"4 events imported, 1 changed (see details), 0 skipped"_s
            << QStringList{u"Team standup|2|2026-12-07|open|15:00-16:00|alarm|Personal"_s,
                           u"Christmas trip|1|2026-12-24|2026-12-26|00:00-23:59|-|Personal"_s,
                           u"Dentist|0|2026-12-10|2026-12-10|14:00-15:00|alarm|Personal"_s,
                           u"Choir|2|2026-12-01|2027-03-30|18:00-19:30|-|Personal"_s};
        QTest::newRow("Thunderbird")
            << QString::fromStdString(ThunderbirdStyle())
            << u"3 events imported, 2 changed (see details), 0 skipped"_s
            << QStringList{u"Rent|3|2026-12-01|2027-11-01|08:00-08:15|alarm|Finance"_s,
                           u"Mum's birthday|4|1960-03-15|open|00:00-23:59|-|Birthday"_s,
                           u"Board meeting|3|2026-12-25|open|10:00-11:00|-|It\u2019s work"_s};
        QTest::newRow("Evolution")
            << QString::fromStdString(EvolutionStyle())
            << u"3 events imported, 0 changed (see details), 0 skipped"_s
            << QStringList{u"Late call|1|2026-12-09|2027-01-01|00:30-01:30|alarm|Personal"_s,
                           u"Bins out|2|2026-12-07|open|00:00-23:59|-|Personal"_s,
                           u"Dentist follow-up|0|2027-01-05|2027-01-05|11:00-11:45|-|Personal"_s};
        QTest::newRow("Apple Calendar")
            << QString::fromStdString(AppleStyle())
            << u"4 events imported, 1 changed (see details), 0 skipped"_s
            << QStringList{
                   u"Quarterly review|3|2026-01-13|open|10:00-11:00|alarm|Personal"_s,
                   u"New Year|4|2026-01-01|open|00:00-23:59|-|Personal"_s,
                   u"Medication|0|2026-03-01|2026-03-01|09:00-09:05|-|Personal"_s,
                   u"Quarterly review (moved)|0|2026-04-15|2026-04-15|10:00-11:00|-|Personal"_s};
    }

    // Files with time zones, all-day events, EXDATEs and alarms as other programs write them.
    void filesOfOtherPrograms() {
        QFETCH(QString, text);
        QFETCH(QString, summary);
        QFETCH(QStringList, events);
        StoreFixture f;
        f.dm->Layers = {{"Personal", 0x00808000, true}};
        const ImportResult result = ImportCalendarText(*f.dm, text.toStdString());
        QVERIFY2(result.ok, result.error.c_str());
        QVERIFY2(QString::fromStdString(result.Summary()) == summary,
                 (result.Summary() + "\n" + result.DetailText()).c_str());
        QCOMPARE(Lines(AllEvents(*f.dm)), events);
    }

    // The rules that come back exactly, and the ones kept as their first occurrence.
    void importedRules_data() {
        QTest::addColumn<QString>("rrule");
        QTest::addColumn<QString>("start");  // DTSTART, floating
        QTest::addColumn<QString>("rule");   // the stored rule, or "once <date>"
        QTest::newRow("every 3 days, 5 times")
            << u"FREQ=DAILY;INTERVAL=3;COUNT=5"_s << u"20260105T090000"_s
            << u"repeat 1 begin 2026-01-05 end 2026-01-17 every 3"_s;
        QTest::newRow("workdays as Google writes them")
            << u"FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR"_s << u"20260105T090000"_s
            << u"repeat 2 begin 2026-01-05 end open week 1 FTTTTTF"_s;
        QTest::newRow("workdays, daily form")
            << u"FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR"_s << u"20260105T090000"_s
            << u"repeat 1 begin 2026-01-05 end open workdays"_s;
        QTest::newRow("every other week, Monday start, no Sunday")
            << u"FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,SA"_s << u"20260105T090000"_s
            << u"repeat 2 begin 2026-01-05 end open week 2 FTFFFFT"_s;
        QTest::newRow("every other week, Monday start, with Sunday")
            << u"FREQ=WEEKLY;INTERVAL=2;BYDAY=SA,SU"_s << u"20260110T090000"_s
            << u"once 2026-01-10"_s;
        QTest::newRow("the 31st every month")
            << u"FREQ=MONTHLY;BYMONTHDAY=31"_s << u"20260131T090000"_s
            << u"repeat 3 begin 2026-01-31 end open day 31 every 1"_s;
        QTest::newRow("last weekday, every 2 months")
            << u"FREQ=MONTHLY;INTERVAL=2;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1"_s << u"20260130T090000"_s
            << u"repeat 3 begin 2026-01-30 end open nth 4,1 every 2"_s;
        QTest::newRow("second Tuesday of November")
            << u"FREQ=YEARLY;BYMONTH=11;BYDAY=2TU"_s << u"20261110T090000"_s
            << u"repeat 4 begin 2026-11-10 end open nth 1,4 in 10"_s;
        QTest::newRow("fifth Monday has no equivalent")
            << u"FREQ=MONTHLY;BYDAY=5MO"_s << u"20260330T090000"_s << u"once 2026-03-30"_s;
        QTest::newRow("hourly") << u"FREQ=HOURLY;COUNT=5"_s << u"20260105T090000"_s
                                << u"once 2026-01-05"_s;
        QTest::newRow("two months a year") << u"FREQ=YEARLY;BYMONTH=1,7;BYMONTHDAY=4"_s
                                           << u"20260104T090000"_s << u"once 2026-01-04"_s;
        QTest::newRow("one occurrence")
            << u"FREQ=WEEKLY;COUNT=1"_s << u"20260105T090000"_s << u"once 2026-01-05"_s;
    }

    void importedRules() {
        QFETCH(QString, rrule);
        QFETCH(QString, start);
        QFETCH(QString, rule);
        StoreFixture f;
        const std::string text =
            Calendar("BEGIN:VEVENT\r\nUID:r1\r\nSUMMARY:R\r\nDTSTART:" + start.toStdString() +
                     "\r\nRRULE:" + rrule.toStdString() + "\r\nEND:VEVENT\r\n");
        const ImportResult result = ImportCalendarText(*f.dm, text);
        QVERIFY2(result.ok, result.error.c_str());
        const tArrayofField events = AllEvents(*f.dm);
        QCOMPARE(events.size(), std::size_t(1));
        const tfield& e = events[0];
        const auto date = [](TDateTime d) {
            return DayOf(d) == OpenEndDay() ? std::string("open") : FormatDateTime("yyyy-mm-dd", d);
        };
        std::string got;
        if (e.repeatType == kRepeatNone) {
            got = "once " + date(e.begindate);
        } else {
            got = "repeat " + std::to_string(e.repeatType) + " begin " + date(e.begindate) +
                  " end " + date(e.enddate) + " ";
            switch (e.repeatType) {
                case kRepeatDaily:
                    got += e.dayType == kDayWorkday ? "workdays"
                                                    : "every " + std::to_string(e.dayEvery0);
                    break;
                case kRepeatWeekly:
                    got += "week " + std::to_string(e.weekEvery0) + " " + e.weekSelected0;
                    break;
                case kRepeatMonthly:
                    got += e.monthType == kMonthDayN
                               ? "day " + std::to_string(e.monthDay0) + " every " +
                                     std::to_string(e.monthEvery0)
                               : "nth " + std::to_string(e.monthspecial1) + "," +
                                     std::to_string(e.monthDayorWeek1) + " every " +
                                     std::to_string(e.monthEvery1);
                    break;
                default:
                    got += e.yearType == kYearDate ? "date " + std::to_string(e.yearDay0) + " in " +
                                                         std::to_string(e.yearMonth0)
                                                   : "nth " + std::to_string(e.yearspecial1) + "," +
                                                         std::to_string(e.yearDayorWeek1) + " in " +
                                                         std::to_string(e.yearMonth1);
            }
        }
        QCOMPARE(QString::fromStdString(got), rule);
        QCOMPARE(result.changed,
                 e.repeatType == kRepeatNone && !rrule.contains(u"COUNT=1") ? 1 : 0);
    }

    // An end before the start is stored as zero length, and reported as a change.
    void endsBeforeStarts_data() {
        QTest::addColumn<QString>("timing");  // the lines after DTSTART:20260105T090000
        QTest::addColumn<int>("changed");
        QTest::addColumn<QString>("endtime");
        QTest::newRow("45 minutes") << u"DURATION:PT45M"_s << 0 << u"09:45"_s;
        QTest::newRow("no length") << u"DTEND:20260105T090000"_s << 0 << u"09:00"_s;
        QTest::newRow("negative duration") << u"DURATION:-PT30M"_s << 1 << u"09:00"_s;
        QTest::newRow("end earlier that day") << u"DTEND:20260105T080000"_s << 1 << u"09:00"_s;
        QTest::newRow("end the day before") << u"DTEND:20260104T100000"_s << 1 << u"09:00"_s;
    }
    void endsBeforeStarts() {
        QFETCH(QString, timing);
        QFETCH(int, changed);
        QFETCH(QString, endtime);
        StoreFixture f;
        const ImportResult result = ImportCalendarText(
            *f.dm, Calendar("BEGIN:VEVENT\r\nUID:e1\r\nSUMMARY:E\r\nDTSTART:20260105T090000\r\n" +
                            timing.toStdString() + "\r\nEND:VEVENT\r\n"));
        QVERIFY2(result.ok, result.error.c_str());
        QCOMPARE(result.imported, 1);
        QCOMPARE(result.changed, changed);
        QCOMPARE(int(std::count_if(result.details.begin(), result.details.end(),
                                   [](const std::string& line) {
                                       return line.find("ends before it starts") != line.npos;
                                   })),
                 changed);
        QCOMPARE(QString::fromStdString(FormatDateTime("hh:nn", AllEvents(*f.dm)[0].endtime)),
                 endtime);
    }

    void hostileFiles_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("readable");  // false: an error, and nothing added
        QTest::addColumn<int>("imported");
        QTest::addColumn<int>("skipped");
        const QByteArray good =
            "BEGIN:VEVENT\r\nUID:good\r\nSUMMARY:Good\r\nDTSTART:20261210T100000\r\nEND:VEVENT\r\n";
        const auto calendar = [](const QByteArray& body) {
            return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + body + "END:VCALENDAR\r\n";
        };
        {
            // 50 MB: one event whose description is folded over 50 MB of lines.
            QByteArray big =
                "BEGIN:VEVENT\r\nUID:big\r\nSUMMARY:Big\r\nDTSTART:20261210T100000\r\n"
                "DESCRIPTION:x";
            const QByteArray fold = "\r\n " + QByteArray(72, 'y');
            big.reserve(52 * 1024 * 1024);
            while (big.size() < 50 * 1024 * 1024) {
                big += fold;
            }
            big += "\r\nEND:VEVENT\r\n";
            QTest::newRow("50 MB file") << calendar(big + good) << true << 2 << 0;
        }
        QTest::newRow("10 MB line")
            << calendar("BEGIN:VEVENT\r\nUID:long\r\nDTSTART:20261210T100000\r\nSUMMARY:" +
                        QByteArray(10 * 1024 * 1024, 'z') + "\r\nEND:VEVENT\r\n" + good)
            << true << 2 << 0;
        {
            QByteArray deep = "BEGIN:VCALENDAR\r\n";
            for (int i = 0; i < 200000; ++i) {
                deep += "BEGIN:VEVENT\r\n";
            }
            QTest::newRow("deep nesting") << deep << false << 0 << 0;
        }
        QTest::newRow("nested events within the limit")
            << calendar("BEGIN:VEVENT\r\nUID:outer\r\nSUMMARY:Outer\r\nDTSTART:20261210\r\n" +
                        good + "END:VEVENT\r\n")
            << true << 1 << 0;
        QTest::newRow("invalid dates")
            << calendar(
                   "BEGIN:VEVENT\r\nUID:a\r\nSUMMARY:A\r\nDTSTART:20261345T250000\r\nEND:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:b\r\nSUMMARY:B\r\nDTSTART;VALUE=DATE:20260230\r\nEND:"
                   "VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:c\r\nSUMMARY:C\r\nDTSTART:00000000T000000\r\nEND:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:d\r\nSUMMARY:D\r\nDTSTART:soon\r\nEND:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:e\r\nSUMMARY:E\r\nEND:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:f\r\nSUMMARY:F\r\nDTSTART:20261210T100000\r\n"
                   "RRULE:FREQ=DAILY;UNTIL=20269999\r\nEND:VEVENT\r\n" +
                   good)
            << true << 2 << 5;
        QTest::newRow("bad UTF-8")
            << calendar(
                   "BEGIN:VEVENT\r\nUID:u\r\nSUMMARY:Caf\xC3\r\nDESCRIPTION:\xFF\xFE\xED\xA0\x80"
                   "\r\nCATEGORIES:Lay\xE2\x82\r\nDTSTART:20261210T100000\r\nEND:VEVENT\r\n")
            << true << 1 << 0;
        QTest::newRow("absurd rules")
            << calendar(
                   "BEGIN:VEVENT\r\nUID:r1\r\nSUMMARY:R1\r\nDTSTART:20261210T100000\r\n"
                   "RRULE:FREQ=DAILY;COUNT=2000000000\r\nEND:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:r2\r\nSUMMARY:R2\r\nDTSTART:20261210T100000\r\n"
                   "RRULE:FREQ=MONTHLY;INTERVAL=0;BYSETPOS=400;BYDAY=MO\r\nEND:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:r3\r\nSUMMARY:R3\r\nDTSTART:99991231T100000\r\n"
                   "RRULE:FREQ=SECONDLY\r\nEND:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:r4\r\nSUMMARY:R4\r\nDTSTART:20261210T100000\r\n"
                   "RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30\r\nEND:VEVENT\r\n")
            << true << 4 << 0;
        QTest::newRow("cut off") << QByteArray("BEGIN:VCALENDAR\r\n" + good.left(60)) << false << 0
                                 << 0;
        QTest::newRow("not iCalendar") << QByteArray("Hello, world\n") << false << 0 << 0;
        QTest::newRow("empty") << QByteArray() << false << 0 << 0;
        QTest::newRow("a vCard") << QByteArray("BEGIN:VCARD\r\nFN:Someone\r\nEND:VCARD\r\n")
                                 << false << 0 << 0;
        QTest::newRow("binary") << QByteArray("PK\x03\x04\x00\x00\xff\xfe", 8) << false << 0 << 0;
        QTest::newRow("NUL inside")
            << QByteArray(calendar(good) + QByteArray(1, '\0') + good) << true << 1 << 0;
    }

    // Each gives an error that changes nothing, or a partial import with a report; none crashes.
    void hostileFiles() {
        QFETCH(QByteArray, text);
        QFETCH(bool, readable);
        QFETCH(int, imported);
        QFETCH(int, skipped);
        StoreFixture f;
        const std::string path = f.file("hostile.ics");
        QVERIFY(platform::WriteFileAtomically(path, text.toStdString()));
        const ImportResult result = ImportIcsFile(*f.dm, path);
        QCOMPARE(result.ok, readable);
        if (!readable) {
            QVERIFY(!result.error.empty());
            QCOMPARE(CountRows(*f.dm), std::int64_t(0));
            return;
        }
        QCOMPARE(result.imported, imported);
        // Every skipped or changed event is told about.
        QVERIFY(int(result.details.size()) >= result.skipped + result.changed);
        QCOMPARE(result.skipped, skipped);
        QCOMPARE(CountRows(*f.dm), std::int64_t(imported));
        for (const tfield& e : AllEvents(*f.dm)) {
            QVERIFY(e.subject.size() <= kMaxSubjectBytes);
            QVERIFY(e.content.size() <= kMaxTextBytes);
            QVERIFY(!IsBlankText(e.layername));
            QVERIFY(IsValidDateTime(e.begindate) && IsValidDateTime(e.enddate));
            QVERIFY(e.begindate <= e.enddate);
        }
    }

    // A database that fails on the third event: nothing of the file is kept, no layer made.
    void failurePartWayAddsNothing() {
        StoreFixture f;
        f.dm->Layers = {{"Personal", 0x00808000, true}};
        f.dm->ADOConnection.exec(
            "create trigger refuse before insert on eventtable when new.subject='Third' "
            "begin select raise(abort, 'refused'); end");
        const std::string text = Calendar(
            "BEGIN:VEVENT\r\nUID:1\r\nSUMMARY:First\r\nCATEGORIES:New one\r\n"
            "DTSTART:20261210T100000\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:2\r\nSUMMARY:Second\r\nDTSTART:20261211T100000\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:3\r\nSUMMARY:Third\r\nDTSTART:20261212T100000\r\nEND:VEVENT\r\n");
        const ImportResult result = ImportCalendarText(*f.dm, text);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.find("refused") != std::string::npos, result.error.c_str());
        QCOMPARE(CountRows(*f.dm), std::int64_t(0));
        QCOMPARE(f.dm->Layers.size(), std::size_t(1));
        platform::Query q(f.dm->ADOConnection);
        q.setSql("select count(*) as n from sqlite_master where name='icaluid'");
        q.open();
        QCOMPARE(q.asInteger("n"), std::int64_t(0));
    }

    // A file imported again updates what it changed and adds nothing twice; the archive time
    // of an event is never moved back.
    void sameUidUpdatesInsteadOfAdding() {
        StoreFixture f;
        const auto file = [](const std::string& subject, const std::string& archived) {
            return Calendar("BEGIN:VEVENT\r\nUID:abc@example.com\r\nSUMMARY:" + subject +
                            "\r\nDTSTART:20261210T100000\r\n" +
                            (archived.empty() ? "" : "X-QUENLARIS-ARCHIVED:" + archived + "\r\n") +
                            "END:VEVENT\r\n");
        };
        QCOMPARE(ImportCalendarText(*f.dm, file("Dentist", "20261210T101500")).imported, 1);
        const ImportResult again = ImportCalendarText(*f.dm, file("Dentist", ""));
        QCOMPARE(again.Summary(),
                 std::string("0 events imported, 0 changed (see details), 1 unchanged, 0 skipped"));
        const ImportResult renamed = ImportCalendarText(*f.dm, file("Dentist at 10", ""));
        QCOMPARE(renamed.imported, 1);
        const tArrayofField events = AllEvents(*f.dm);
        QCOMPARE(events.size(), std::size_t(1));
        QCOMPARE(events[0].subject, std::string("Dentist at 10"));
        QCOMPARE(events[0].lastFileTime, EncodeDateTime(2026, 12, 10, 10, 15));
    }

    // Overrides change their series in the file or in the calendar; without a series a moved
    // occurrence is an event of its own and a cancelled one is skipped; a start the rule does
    // not give stays an occurrence. Importing the file again adds nothing.
    void occurrencesOfSeries_data() {
        QTest::addColumn<QString>("before");  // imported first
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QStringList>("days");  // January 2027: day and subject
        const QString series =
            u"BEGIN:VEVENT\r\nUID:gym@x\r\nSUMMARY:Gym\r\n"
            "DTSTART:20270104T180000\r\nRRULE:FREQ=WEEKLY;BYDAY=MO;COUNT=3\r\n"
            "END:VEVENT\r\n"_s;
        const QString moved =
            u"BEGIN:VEVENT\r\nUID:gym@x\r\nSUMMARY:Moved\r\n"
            "RECURRENCE-ID:20270111T180000\r\nDTSTART:20270112T190000\r\n"
            "END:VEVENT\r\n"_s;
        const QString cancelled =
            u"BEGIN:VEVENT\r\nUID:gym@x\r\nSUMMARY:Gym\r\n"
            "RECURRENCE-ID:20270111T180000\r\nDTSTART:20270111T180000\r\n"
            "STATUS:CANCELLED\r\nEND:VEVENT\r\n"_s;
        const QString none;
        const QStringList movedDays{u"4 Gym"_s, u"12 Moved"_s, u"18 Gym"_s};
        QTest::newRow("moved, series in the file")
            << none << series + moved << u"2 events imported, 0 changed (see details), 0 skipped"_s
            << movedDays;
        QTest::newRow("moved, series imported before")
            << series << moved << u"1 events imported, 0 changed (see details), 0 skipped"_s
            << movedDays;
        QTest::newRow("moved, no series")
            << none << moved << u"1 events imported, 1 changed (see details), 0 skipped"_s
            << QStringList{u"12 Moved"_s};
        QTest::newRow("moved, series skipped")
            << none << QString(series).replace(u"RRULE"_s, u"STATUS:CANCELLED\r\nRRULE"_s) + moved
            << u"1 events imported, 1 changed (see details), 1 skipped"_s
            << QStringList{u"12 Moved"_s};
        QTest::newRow("cancelled, series imported before")
            << series << cancelled << u"1 events imported, 0 changed (see details), 0 skipped"_s
            << QStringList{u"4 Gym"_s, u"18 Gym"_s};
        QTest::newRow("cancelled, no series")
            << none << cancelled << u"0 events imported, 0 changed (see details), 1 skipped"_s
            << QStringList{};
        QTest::newRow("start on a day the rule does not give")
            << none << QString(series).replace(u"0104T"_s, u"0106T"_s)
            << u"1 events imported, 1 changed (see details), 0 skipped"_s
            << QStringList{u"6 Gym"_s, u"11 Gym"_s, u"18 Gym"_s, u"25 Gym"_s};
    }
    void occurrencesOfSeries() {
        QFETCH(QString, before);
        QFETCH(QString, file);
        QFETCH(QString, summary);
        QFETCH(QStringList, days);
        StoreFixture f;
        if (!before.isEmpty()) {
            QVERIFY(ImportCalendarText(*f.dm, Calendar(before.toStdString())).ok);
        }
        const std::string text = Calendar(file.toStdString());
        const ImportResult result = ImportCalendarText(*f.dm, text);
        QVERIFY2(result.ok, result.error.c_str());
        QCOMPARE(QString::fromStdString(result.Summary()), summary);
        const std::int64_t rows = CountRows(*f.dm);
        QVERIFY(ImportCalendarText(*f.dm, text).ok);
        QCOMPARE(CountRows(*f.dm), rows);
        QStringList shown;
        for (int d = 1; d <= 31; ++d) {
            for (const tfield& e : AllEvents(*f.dm)) {
                if (tsatisfy(e).OccursOn(DayNumber(2027, 1, unsigned(d)))) {
                    shown << QString::number(d) + u' ' + QString::fromStdString(e.subject);
                }
            }
        }
        QCOMPARE(shown, days);
    }

    // An exported event deleted here comes back once from its file, not once per import.
    void deletedEventComesBackOnce() {
        StoreFixture f;
        tlist_of_event_orig list(*f.dm);
        const std::int64_t id =
            list.AddEvent(test::OnceEvent("Dentist", EncodeDate(2026, 12, 10), EncodeTime(9, 0)));
        std::string text;
        QVERIFY(ExportCalendarText(*f.dm, text).ok);
        const std::int64_t ids[] = {id};
        QVERIFY(list.DeleteEvents(ids, IdListBlanks::None));
        QCOMPARE(ImportCalendarText(*f.dm, text).imported, 1);
        QCOMPARE(ImportCalendarText(*f.dm, text).unchanged, 1);
        QCOMPARE(CountRows(*f.dm), std::int64_t(1));
    }
};

QTEST_GUILESS_MAIN(TestIcal)
#include "test_ical.moc"
