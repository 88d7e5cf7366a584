#pragma once

// The columns of eventtable, each named once with the field of the event record it holds.
// Reading a row and writing a record back walk this table; a new column is one more line here
// (and in schema.sql).

#include <array>
#include <cstdint>
#include <string>
#include <variant>

#include "core/Event.h"

namespace qcal {

struct EventColumn {
    using Field = std::variant<std::int64_t tfield::*, double tfield::*, std::int32_t tfield::*,
                               bool tfield::*, std::string tfield::*>;
    const char* name;
    Field field;
    // A rule reads it (or it is the id): read also by walks that skip the texts of most rows.
    bool ruleField;
};

// In the order they are read; the id comes first and is never written.
inline constexpr std::array<EventColumn, 29> kEventColumns{{
    {"id", &tfield::id, true},
    {"beginTime", &tfield::beginTime, true},
    {"endtime", &tfield::endtime, true},
    {"begindate", &tfield::begindate, true},
    {"enddate", &tfield::enddate, true},
    {"alert", &tfield::alert, true},
    {"lastFileTime", &tfield::lastFileTime, true},
    {"layername", &tfield::layername, false},
    {"subject", &tfield::subject, false},
    {"content", &tfield::content, false},
    {"mynote", &tfield::mynote, false},
    {"repeatType", &tfield::repeatType, true},
    {"dayType", &tfield::dayType, true},
    {"dayEvery0", &tfield::dayEvery0, true},
    {"weekType", &tfield::weekType, true},
    {"weekEvery0", &tfield::weekEvery0, true},
    {"weekSelected0", &tfield::weekSelected0, true},
    {"monthType", &tfield::monthType, true},
    {"monthDay0", &tfield::monthDay0, true},
    {"monthEvery0", &tfield::monthEvery0, true},
    {"monthspecial1", &tfield::monthspecial1, true},
    {"monthDayorWeek1", &tfield::monthDayorWeek1, true},
    {"monthEvery1", &tfield::monthEvery1, true},
    {"yearType", &tfield::yearType, true},
    {"yearDay0", &tfield::yearDay0, true},
    {"yearMonth0", &tfield::yearMonth0, true},
    {"yearspecial1", &tfield::yearspecial1, true},
    {"yearDayorWeek1", &tfield::yearDayorWeek1, true},
    {"yearMonth1", &tfield::yearMonth1, true},
}};

}  // namespace qcal
