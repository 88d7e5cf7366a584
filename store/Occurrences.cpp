#include "store/Occurrences.h"

#include <algorithm>

#include "core/Clock.h"
#include "store/EventLists.h"
#include "store/Transaction.h"

namespace qcal {

namespace {

void AddExceptDay(tfield& series, int day) {
    auto& days = series.exceptDays;
    const auto at = std::lower_bound(days.begin(), days.end(), day);
    if (at == days.end() || *at != day) {
        days.insert(at, day);
    }
}

}  // namespace

tfield DetachedOccurrence(const tfield& series, int day) {
    tfield once = series;
    once.id = 0;
    once.repeatType = kRepeatNone;
    once.begindate = once.enddate = day;
    once.exceptDays.clear();
    once.openEnd = false;
    once.seriesId = series.id;
    once.seriesDay = day;
    // The series' alarm for this day counts as archived when it was archived on or after the
    // day (the day-wise rule of repeating events); the detached event then keeps that time.
    const bool archived = series.lastFileTime >= 1.0 && DayOf(series.lastFileTime) >= day;
    once.lastFileTime = archived ? series.lastFileTime : 0;
    return once;
}

bool TakeOutOccurrence(TDataMod& dm, std::int64_t seriesId, int day) {
    tlist_of_event_orig list(dm);
    tfield series;
    if (!list.LoadEvent(seriesId, series) || series.id != seriesId) {
        return false;
    }
    AddExceptDay(series, day);
    return list.UpdateEvent(series);
}

std::int64_t StoreDetachedOccurrence(TDataMod& dm, const tfield& occurrence) {
    try {
        Transaction transaction(dm.ADOConnection);
        tlist_of_event_orig list(dm);
        tfield series;
        if (!list.LoadEvent(occurrence.seriesId, series) || series.id != occurrence.seriesId) {
            return 0;
        }
        AddExceptDay(series, occurrence.seriesDay);
        if (!list.UpdateEvent(series)) {
            return 0;
        }
        tfield once = occurrence;
        once.repeatType = kRepeatNone;
        const std::int64_t id = list.AddEvent(once);
        if (id == 0) {
            return 0;
        }
        transaction.commit();
        return id;
    } catch (const platform::DbError& error) {
        dm.Errors().ShowError(error.what());
        return 0;
    }
}

std::vector<std::int64_t> SeriesWithDetached(TDataMod& dm, std::int64_t seriesId) {
    std::vector<std::int64_t> ids{seriesId};
    if (!dm.HasLaterColumns()) {
        return ids;
    }
    try {
        platform::Query q(dm.ADOConnection);
        q.setSql("select id from eventtable where seriesId=" + std::to_string(seriesId) +
                 " and repeatType=0");
        for (q.open(); !q.eof(); q.next()) {
            ids.push_back(q.asInteger("id"));
        }
    } catch (const platform::DbError& error) {
        dm.Errors().ShowError(error.what());
    }
    return ids;
}

}  // namespace qcal
