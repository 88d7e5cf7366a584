#include "store/EventLists.h"

#include <algorithm>
#include <optional>
#include <type_traits>
#include <utility>

#include "core/Clock.h"
#include "store/EventTable.h"
#include "store/Transaction.h"

namespace qcal {

namespace {

const char* const kStatementErrorIntro =
    "Please capture the following error message and send to author.\r";

}  // namespace

namespace {

// Columns added to the table later, in the order of EventColumns::Extra. A file made before
// them has none of them until it is opened for writing; reading it gives their defaults.
constexpr std::array<const char*, EventColumns::kExtraCount> kExtraColumnNames{
    "exceptDays", "seriesId", "seriesDay", "remindBefore", "allDay", "openEnd", "location"};

}  // namespace

std::span<const char* const> EventColumns::ExtraColumnNames() {
    return kExtraColumnNames;
}

EventColumns::EventColumns(const platform::Query& query) {
    for (std::size_t c = 0; c < kCount; ++c) {
        at_[c] = query.fieldIndex(kEventColumns[c].name);
        if (at_[c] < 0) {
            throw platform::DbError(std::string("unknown field: ") + kEventColumns[c].name);
        }
    }
    for (std::size_t c = 0; c < kExtraCount; ++c) {
        extraAt_[c] = query.fieldIndex(kExtraColumnNames[c]);
    }
}

void EventColumns::Read(const platform::Query& q, tfield& e, const arraylayinfo& layers) const {
    ReadRuleFields(q, e);
    ReadTexts(q, e, layers);
}

std::int64_t EventColumns::ReadId(const platform::Query& q) const {
    return q.integerAt(at_[0]);  // the 64-bit rowid, whole
}

void EventColumns::ReadColumns(const platform::Query& q, tfield& e, bool ruleFields) const {
    for (std::size_t c = 0; c < kCount; ++c) {
        if (kEventColumns[c].ruleField != ruleFields) {
            continue;
        }
        const int at = at_[c];
        std::visit(
            [&](auto member) {
                auto& field = e.*member;
                using T = std::remove_cvref_t<decltype(field)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    field.assign(q.textAt(at));  // keeps the field's buffer for the next row
                } else if constexpr (std::is_same_v<T, double>) {
                    field = q.doubleAt(at);
                } else if constexpr (std::is_same_v<T, bool>) {
                    field = q.integerAt(at) != 0;
                } else {
                    field = T(q.integerAt(at));
                }
            },
            kEventColumns[c].field);
    }
}

void EventColumns::ReadRuleFields(const platform::Query& q, tfield& e) const {
    ReadColumns(q, e, true);
    const auto extra = [&](Extra c) -> int { return extraAt_[c]; };
    e.exceptDays = extra(kExceptDays) >= 0 ? ParseExceptDays(q.textAt(extra(kExceptDays)))
                                           : std::vector<int>{};
    e.seriesId = extra(kSeriesId) >= 0 ? q.integerAt(extra(kSeriesId)) : 0;
    e.seriesDay = extra(kSeriesDay) >= 0 ? std::int32_t(q.integerAt(extra(kSeriesDay))) : 0;
    e.remindBefore = extra(kRemindBefore) >= 0
                         ? std::int32_t(std::clamp<std::int64_t>(q.integerAt(extra(kRemindBefore)),
                                                                 0, kMaxRemindBefore))
                         : 0;
    e.allDay = extra(kAllDay) >= 0 && q.integerAt(extra(kAllDay)) != 0;
    // A repeating event whose range reaches the last day there is never ends, whether or not
    // it was stored with the flag.
    e.openEnd = e.repeatType != kRepeatNone &&
                ((extra(kOpenEnd) >= 0 && q.integerAt(extra(kOpenEnd)) != 0) ||
                 DayOf(e.enddate) >= kOpenEndDay);
}

void EventColumns::ReadTexts(const platform::Query& q, tfield& e,
                             const arraylayinfo& layers) const {
    ReadColumns(q, e, false);
    e.layerColor = LayerColor(layers, e.layername);
    if (extraAt_[kLocation] >= 0) {
        e.location.assign(q.textAt(extraAt_[kLocation]));
    } else {
        e.location.clear();
    }
}

void TransferRow(TransferDirection direction, tfield& e, platform::Query& q,
                 const arraylayinfo& layers) {
    if (direction == TransferDirection::RowToRecord) {
        EventColumns(q).Read(q, e, layers);
        return;
    }
    for (const EventColumn& column : kEventColumns) {
        std::visit(
            [&](auto member) {
                const auto& field = e.*member;
                using T = std::remove_cvref_t<decltype(field)>;
                if constexpr (std::is_same_v<T, std::int64_t>) {
                    // the id is the row's own and never written
                } else if constexpr (std::is_same_v<T, std::string>) {
                    q.setString(column.name, field);
                } else if constexpr (std::is_same_v<T, double>) {
                    q.setDouble(column.name, field);
                } else if constexpr (std::is_same_v<T, bool>) {
                    q.setBool(column.name, field);
                } else {
                    q.setInteger(column.name, field);
                }
            },
            column.field);
    }
    // An event that never ends keeps the last day there is as its end, so that every
    // statement that compares the end date finds it.
    if (e.openEnd && e.repeatType != kRepeatNone) {
        q.setDouble("enddate", kOpenEndDay);
    }
    const bool open = e.openEnd && e.repeatType != kRepeatNone;
    const std::pair<const char*, std::int64_t> numbers[] = {{"seriesId", e.seriesId},
                                                            {"seriesDay", e.seriesDay},
                                                            {"remindBefore", e.remindBefore},
                                                            {"allDay", e.allDay ? 1 : 0},
                                                            {"openEnd", open ? 1 : 0}};
    if (q.hasField("location")) {
        q.setString("location", e.location);
    }
    if (q.hasField("exceptDays")) {
        q.setString("exceptDays", ExceptDaysText(e.exceptDays));
    }
    for (const auto& [name, value] : numbers) {
        if (q.hasField(name)) {
            q.setInteger(name, value);
        }
    }
}

TColor LayerColor(const arraylayinfo& layers, const std::string& name) {
    TColor color = kUnknownLayerColor;
    for (const tlayinfo& layer : layers) {
        if (layer.name == name) {
            color = layer.color;
        }
    }
    return color;
}

std::string ActiveLayerCondition(const arraylayinfo& layers) {
    std::string list;
    for (const tlayinfo& layer : layers) {
        if (layer.active) {
            list += "," + platform::SqlLiteral(layer.name);
        }
    }
    return " and (layername in ('216vg2K3fP67Gf'" + list + "))";
}

std::string MonthStatement(TDateTime first, TDateTime last, const arraylayinfo& layers) {
    return "SELECT * FROM eventtable WHERE (not ((begindate>" + FormatNumber(last) + ") or " +
           "(enddate<" + FormatNumber(first) + ")" + "))" + ActiveLayerCondition(layers) +
           " order by begintime";
}

bool LoadMonthEvents(TDataMod& dm, TDateTime first, TDateTime last, tArrayofField& events) {
    platform::Query& q = dm.ADOQuery;
    q.close();
    q.setSql(MonthStatement(first, last, dm.Layers));
    events.clear();
    try {
        q.open();
        const EventColumns columns(q);
        while (!q.eof()) {
            columns.Read(q, events.emplace_back(), dm.Layers);
            q.next();
        }
        q.close();
        // All-day events come first in a cell, the others in the order of their begin time.
        std::stable_partition(events.begin(), events.end(),
                              [](const tfield& e) { return e.allDay; });
        return true;
    } catch (const platform::DbError& error) {
        q.close();
        events.clear();
        dm.Errors().ShowError(error.what());
        return false;
    }
}

tlist_of_event_orig::tlist_of_event_orig(TDataMod& dm) : query(dm.ADOConnection), dm_(dm) {}

tlist_of_event_orig::~tlist_of_event_orig() {
    query.close();
}

void tlist_of_event_orig::ReportError(const platform::DbError& error) const {
    dm_.Errors().ShowError(error.what());
}

bool tlist_of_event_orig::Abandon(const platform::DbError& error) {
    query.cancel();
    query.close();
    ReportError(error);
    return false;
}

bool tlist_of_event_orig::OpenStatement(const std::string& sql) {
    query.close();
    query.setSql(sql);
    try {
        query.open();
    } catch (const platform::DbError& error) {
        dm_.Errors().ShowError(kStatementErrorIntro + std::string(error.what()) + "\r\r" + sql);
        query.close();
        return false;
    }
    return !query.eof();
}

std::int64_t tlist_of_event_orig::AddEvent(const tfield& event) {
    if (dm_.RefuseChange()) {
        return 0;
    }
    OpenStatement("select * from eventtable where id=0");
    if (!query.active()) {
        return 0;  // the failed select has been reported
    }
    try {
        query.append();
        tfield copy = event;
        TransferRow(TransferDirection::RecordToRow, copy);
        query.post();
        const std::int64_t id = dm_.ADOConnection.lastInsertRowId();
        query.close();
        return id;
    } catch (const platform::DbError& error) {
        Abandon(error);
        return 0;
    }
}

bool tlist_of_event_orig::LoadEvent(std::int64_t id, tfield& event) {
    if (!OpenStatement("select *  from eventtable where id=" + std::to_string(id))) {
        return false;
    }
    try {
        tfield loaded;
        TransferRow(TransferDirection::RowToRecord, loaded);
        event = std::move(loaded);
        query.close();
        return true;
    } catch (const platform::DbError& error) {
        return Abandon(error);
    }
}

bool tlist_of_event_orig::UpdateEvent(const tfield& event) {
    if (dm_.RefuseChange()) {
        return false;
    }
    if (!OpenStatement("select *  from eventtable where id=" + std::to_string(event.id))) {
        return false;
    }
    try {
        query.edit();
        tfield copy = event;
        TransferRow(TransferDirection::RecordToRow, copy);
        query.post();
        query.close();
        return true;
    } catch (const platform::DbError& error) {
        return Abandon(error);
    }
}

EditedEventSave tlist_of_event_orig::SaveEditedEvent(tfield& event) {
    if (dm_.RefuseChange()) {
        return EditedEventSave::Failed;
    }
    if (!OpenStatement("select *  from eventtable where id=" + std::to_string(event.id))) {
        // An open, empty result: the row is gone. A closed one: the failure was reported.
        const bool gone = query.active();
        query.close();
        return gone ? EditedEventSave::RowGone : EditedEventSave::Failed;
    }
    try {
        event.lastFileTime = std::max(event.lastFileTime, query.asDouble("lastFileTime"));
        query.edit();
        tfield copy = event;
        TransferRow(TransferDirection::RecordToRow, copy);
        query.post();
        query.close();
        return EditedEventSave::Saved;
    } catch (const platform::DbError& error) {
        Abandon(error);
        return EditedEventSave::Failed;
    }
}

bool tlist_of_event_orig::DeleteEvents(std::span<const std::int64_t> ids, IdListBlanks blanks) {
    if (ids.empty()) {
        return true;
    }
    if (dm_.RefuseChange()) {
        return false;
    }
    try {
        dm_.ADOConnection.exec("delete from eventtable where id in " + IdListText(ids, blanks));
        return true;
    } catch (const platform::DbError& error) {
        ReportError(error);
        return false;
    }
}

bool tlist_of_event_orig::FileEvents(std::span<const std::int64_t> ids, IdListBlanks blanks) {
    if (ids.empty() || dm_.RefuseChange()) {
        return false;
    }
    if (!OpenStatement("select lastFileTime,id from eventtable where id in " +
                       IdListText(ids, blanks))) {
        return false;
    }
    // Events archived together carry the same moment.
    const TDateTime now = clock::Now();
    try {
        // Every listed event is archived, or none is.
        Transaction transaction(dm_.ADOConnection);
        while (!query.eof()) {
            query.edit();
            query.setDouble("lastFileTime", now);
            query.post();
            query.next();
        }
        query.close();
        transaction.commit();
        return true;
    } catch (const platform::DbError& error) {
        return Abandon(error);
    }
}

mytitem_for_display tlist_of_event::ItemsOfDay(TDateTime day, const tArrayofField& events) const {
    mytitem_for_display items;
    for (const tfield& event : events) {
        if (tsatisfy(event).OccursOn(day)) {
            items.push_back(MakeItem(event));
        }
    }
    return items;
}

std::vector<mytitem_for_display> tlist_of_event::ItemsOfDays(TDateTime first, int days,
                                                             const tArrayofField& events) const {
    std::vector<mytitem_for_display> lines(std::size_t(std::max(days, 0)));
    const int firstDay = DayOf(first);
    const int lastDay = firstDay + days - 1;
    for (const tfield& event : events) {
        // The rule steps from one occurrence to the next, so only the days it occurs on are
        // visited; the line is written at the first of them.
        std::optional<titem_for_display> item;
        tsatisfy(event).ForEachOccurrence(firstDay, lastDay, [&](int day) {
            if (!item) {
                item = MakeItem(event);
            }
            lines[std::size_t(day - firstDay)].push_back(*item);
        });
    }
    return lines;
}

std::vector<mytitem_for_display> tlist_of_event::LoadMonthLines(TDateTime first, int days) {
    LoadMonthEvents(dm_, first, first + days - 1, monthEvents_);
    return ItemsOfDays(first, days, monthEvents_);
}

titem_for_display tlist_of_event::MakeItem(const tfield& event) const {
    return MakeDisplayItem(
        dm_, event.id, event.subject, event.layername, event.alert, event.allDay,
        event.allDay ? std::string() : dm_.Format(dm_.Options.TimeFormat, event.beginTime));
}

titem_for_display MakeDisplayItem(const TDataMod& dm, std::int64_t id, std::string_view subject,
                                  const std::string& layername, bool alert, bool allDay,
                                  std::string_view time) {
    return MakeDisplayItem(id, subject, SharedText(layername), LayerColor(dm.Layers, layername),
                           alert, allDay, time);
}

std::string DisplayText(std::string_view subject, bool alert, bool allDay, std::string_view time) {
    // An all-day event shows no time.
    std::string text;
    text.reserve(time.size() + 2 + subject.size());
    if (allDay) {
        text = alert ? "!" : "";
    } else {
        text = time;
        text += alert ? " !" : " ";
    }
    text += subject;
    return text;
}

titem_for_display MakeDisplayItem(std::int64_t id, std::string_view subject,
                                  const SharedText& layername, TColor layerColor, bool alert,
                                  bool allDay, std::string_view time) {
    titem_for_display item;
    item.text = DisplayText(subject, alert, allDay, time);
    item.id = id;
    item.layername = layername;
    item.layerColor = layerColor;
    item.alert = alert;
    return item;
}

void tlist_of_event_for_Query::LoadFound(const std::string& sql, std::uint8_t mode, TDateTime start,
                                         TDateTime end) {
    found.clear();
    if (!OpenStatement(sql)) {
        return;
    }
    try {
        const EventColumns columns(query);
        // The rule decides from the dates and repeat fields alone, so the texts are read only
        // for the rows that are kept, straight into their place in the list.
        tfield scratch;
        while (!query.eof()) {
            columns.ReadRuleFields(query, scratch);
            if (mode != 0 || tsatisfy(scratch).OccursBetween(start, end)) {
                columns.ReadTexts(query, found.emplace_back(std::move(scratch)), dm_.Layers);
            }
            query.next();
        }
        query.close();
    } catch (const platform::DbError& error) {
        query.close();
        found.clear();
        ReportError(error);
    }
}

}  // namespace qcal
