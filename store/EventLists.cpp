#include "store/EventLists.h"

#include "core/Clock.h"
#include "store/Transaction.h"

namespace qcal {

namespace {

const char* const kStatementErrorIntro =
    "Please capture the following error message and send to author.\r";

}  // namespace

void TransferRow(TransferDirection direction, tfield& e, platform::Query& q,
                 const arraylayinfo& layers) {
    if (direction == TransferDirection::RowToRecord) {
        e.id = std::int32_t(q.asInteger("id"));
        e.beginTime = q.asDouble("beginTime");
        e.endtime = q.asDouble("endtime");
        e.begindate = q.asDouble("begindate");
        e.enddate = q.asDouble("enddate");
        e.alert = q.asBool("alert");
        e.lastFileTime = q.asDouble("lastFileTime");
        e.layername = q.asString("layername");
        e.subject = q.asString("subject");
        e.content = q.asString("content");
        e.mynote = q.asString("mynote");
        e.layerColor = LayerColor(layers, e.layername);
        e.repeatType = std::int32_t(q.asInteger("repeatType"));
        e.dayType = std::int32_t(q.asInteger("dayType"));
        e.dayEvery0 = std::int32_t(q.asInteger("dayEvery0"));
        e.weekType = std::int32_t(q.asInteger("weekType"));
        e.weekEvery0 = std::int32_t(q.asInteger("weekEvery0"));
        e.weekSelected0 = q.asString("weekSelected0");
        e.monthType = std::int32_t(q.asInteger("monthType"));
        e.monthDay0 = std::int32_t(q.asInteger("monthDay0"));
        e.monthEvery0 = std::int32_t(q.asInteger("monthEvery0"));
        e.monthspecial1 = std::int32_t(q.asInteger("monthspecial1"));
        e.monthDayorWeek1 = std::int32_t(q.asInteger("monthDayorWeek1"));
        e.monthEvery1 = std::int32_t(q.asInteger("monthEvery1"));
        e.yearType = std::int32_t(q.asInteger("yearType"));
        e.yearDay0 = std::int32_t(q.asInteger("yearDay0"));
        e.yearMonth0 = std::int32_t(q.asInteger("yearMonth0"));
        e.yearspecial1 = std::int32_t(q.asInteger("yearspecial1"));
        e.yearDayorWeek1 = std::int32_t(q.asInteger("yearDayorWeek1"));
        e.yearMonth1 = std::int32_t(q.asInteger("yearMonth1"));
        return;
    }
    q.setDouble("beginTime", e.beginTime);
    q.setDouble("endtime", e.endtime);
    q.setDouble("begindate", e.begindate);
    q.setDouble("enddate", e.enddate);
    q.setBool("alert", e.alert);
    q.setDouble("lastFileTime", e.lastFileTime);
    q.setString("layername", e.layername);
    q.setString("subject", e.subject);
    q.setString("content", e.content);
    q.setString("mynote", e.mynote);
    q.setInteger("repeatType", e.repeatType);
    q.setInteger("dayType", e.dayType);
    q.setInteger("dayEvery0", e.dayEvery0);
    q.setInteger("weekType", e.weekType);
    q.setInteger("weekEvery0", e.weekEvery0);
    q.setString("weekSelected0", e.weekSelected0);
    q.setInteger("monthType", e.monthType);
    q.setInteger("monthDay0", e.monthDay0);
    q.setInteger("monthEvery0", e.monthEvery0);
    q.setInteger("monthspecial1", e.monthspecial1);
    q.setInteger("monthDayorWeek1", e.monthDayorWeek1);
    q.setInteger("monthEvery1", e.monthEvery1);
    q.setInteger("yearType", e.yearType);
    q.setInteger("yearDay0", e.yearDay0);
    q.setInteger("yearMonth0", e.yearMonth0);
    q.setInteger("yearspecial1", e.yearspecial1);
    q.setInteger("yearDayorWeek1", e.yearDayorWeek1);
    q.setInteger("yearMonth1", e.yearMonth1);
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
            list += ",'" + layer.name + "'";
        }
    }
    return " and (layername in ('216vg2K3fP67Gf'" + list + "))";
}

std::string MonthStatement(TDateTime first, TDateTime last, const arraylayinfo& layers) {
    return "SELECT * FROM eventtable WHERE (not ((begindate>" + FormatNumber(last) + ") or " +
           "(enddate<" + FormatNumber(first) + ")" + "))" + ActiveLayerCondition(layers) +
           " order by begintime";
}

bool LoadMonthEvents(TDataMod& dm, TDateTime first, TDateTime last) {
    platform::Query& q = dm.ADOQuery;
    q.close();
    q.setSql(MonthStatement(first, last, dm.Layers));
    dm.monthEvents.clear();
    try {
        q.open();
        while (!q.eof()) {
            tfield& e = dm.monthEvents.emplace_back();
            TransferRow(TransferDirection::RowToRecord, e, q, dm.Layers);
            q.next();
        }
        q.close();
        return true;
    } catch (const platform::DbError& error) {
        q.close();
        dm.monthEvents.clear();
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

std::int32_t tlist_of_event_orig::AddEvent(const tfield& event) {
    OpenStatement("select * from eventtable where id=0");
    if (!query.active()) {
        return 0;  // the failed select has been reported
    }
    try {
        query.append();
        tfield copy = event;
        TransferRow(TransferDirection::RecordToRow, copy);
        query.post();
        const auto id = std::int32_t(dm_.ADOConnection.lastInsertRowId());
        query.close();
        return id;
    } catch (const platform::DbError& error) {
        Abandon(error);
        return 0;
    }
}

bool tlist_of_event_orig::LoadEvent(std::int32_t id, tfield& event) {
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

bool tlist_of_event_orig::DeleteEvents(const std::string& idList) {
    try {
        dm_.ADOConnection.exec("delete from eventtable where id in " + idList);
        return true;
    } catch (const platform::DbError& error) {
        ReportError(error);
        return false;
    }
}

bool tlist_of_event_orig::FileEvents(const std::string& idList) {
    if (!OpenStatement("select lastFileTime,id from eventtable where id in " + idList)) {
        return false;
    }
    try {
        // Every listed event is archived, or none is.
        Transaction transaction(dm_.ADOConnection);
        while (!query.eof()) {
            query.edit();
            query.setDouble("lastFileTime", clock::Now());
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

mytitem_for_display tlist_of_event::ItemsOfDay(TDateTime day) const {
    mytitem_for_display items;
    for (const tfield& event : dm_.monthEvents) {
        if (tsatisfy(event).OccursOn(day)) {
            items.push_back(MakeItem(event));
        }
    }
    return items;
}

titem_for_display tlist_of_event::MakeItem(const tfield& event) const {
    titem_for_display item;
    item.text = dm_.Format(dm_.Options.TimeFormat, event.beginTime) + (event.alert ? " !" : " ") +
                event.subject;
    item.id = event.id;
    item.layername = event.layername;
    item.layerColor = LayerColor(event.layername);
    item.alert = event.alert;
    return item;
}

void tlist_of_event_for_Query::LoadFound(const std::string& sql, std::uint8_t mode, TDateTime start,
                                         TDateTime end) {
    found.clear();
    if (!OpenStatement(sql)) {
        return;
    }
    try {
        tfield scratch;
        while (!query.eof()) {
            TransferRow(TransferDirection::RowToRecord, scratch);
            query.next();
            if (mode != 0 || tsatisfy(scratch).OccursBetween(start, end)) {
                found.push_back(scratch);
            }
        }
        query.close();
    } catch (const platform::DbError& error) {
        query.close();
        found.clear();
        ReportError(error);
    }
}

}  // namespace qcal
