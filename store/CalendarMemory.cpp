#include "store/CalendarMemory.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "platform/UnicodeLike.h"
#include "store/IdList.h"

namespace qcal {

namespace {

constexpr TDateTime kNever = std::numeric_limits<TDateTime>::infinity();
constexpr TDateTime kAlways = -std::numeric_limits<TDateTime>::infinity();
// The rows read back by one statement after a write.
constexpr std::size_t kIdsPerStatement = 500;
// The text store is rewritten once this much of it belongs to rows that changed since.
constexpr std::size_t kMostDeadText = std::size_t(1) << 20;

// Every column, and whether alert is exactly true, as the due statements ask.
const char* const kSelectAll = "select *, (alert=true) as qcalAlertOn from eventtable";

// The keyword as the statement carries it between its quotes: doubled quotes stand for one.
std::string KeywordPattern(std::string_view keyword) {
    std::string pattern = "%";
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        pattern += keyword[i];
        if (keyword[i] == '\'' && i + 1 < keyword.size() && keyword[i + 1] == '\'')
            ++i;
    }
    return pattern + "%";
}

// Changes whenever another connection commits to the file (never for this connection's own).
std::int64_t DataVersion(TDataMod& dm) {
    platform::Query q(dm.ADOConnection);
    q.setSql("pragma data_version");
    q.open();
    return q.eof() ? -1 : q.integerAt(0);
}

}  // namespace

TDateTime AsStatementNumber(TDateTime value) {
    const std::string text = FormatNumber(value);
    TDateTime parsed = 0;
    std::from_chars(text.data(), text.data() + text.size(), parsed);
    return parsed;
}

TDateTime EarliestDueMoment(const MemoryEvent& e) {
    const RuleFields& r = e.rule;
    if (!e.alertOn)
        return kNever;
    if (!IsValidDateTime(r.begindate) || !IsValidDateTime(r.beginTime) ||
        !IsValidDateTime(r.lastFileTime)) {
        return kAlways;  // asked every time: the rule decides
    }
    // The due test looks ahead by the lead time and the reminder; a day more leaves room for
    // a change of the local time on the way.
    const TDateTime lead = kDueLead + r.remindBefore / 1440.0 + 1.0;
    if (r.repeatType == kRepeatNone)
        return r.lastFileTime < 1 ? r.begindate + r.beginTime - lead : kNever;
    if (!(r.lastFileTime <= e.enddate + e.endtime + 1))
        return kNever;  // neither statement lets it through
    // No occurrence before the first day not archived yet makes it due, nor one after the end.
    const int filed = DayOf(r.lastFileTime);
    const int latest = std::max(DayOf(r.begindate), filed);
    const int firstUnfiled = latest == filed ? latest + 1 : latest;
    if (IsValidDateTime(r.enddate) && firstUnfiled > DayOf(r.enddate))
        return kNever;
    return firstUnfiled - lead;
}

bool CalendarMemory::DueAt(const AlarmEntry& entry, TDateTime now) const {
    // Once due, an event stays due as time goes on, until it is archived or changed (which
    // reads the row again and makes its entry anew).
    if (entry.dueSince <= now)
        return true;
    const MemoryEvent& e = events_[entry.index];
    if (!(e.dueSince <= now) && !tsatisfy(e.rule).IsDue(now))
        return false;
    e.dueSince = std::min(e.dueSince, now);
    entry.dueSince = e.dueSince;
    return true;
}

std::vector<TColor> CalendarMemory::LayerColours(const arraylayinfo& layers) const {
    std::vector<TColor> colours;
    colours.reserve(layerNames_.size());
    for (const std::string& name : layerNames_)
        colours.push_back(LayerColor(layers, name));
    return colours;
}

void CalendarMemory::Clear() {
    valid_ = false;
    events_.clear();
    texts_.clear();
    deadText_ = 0;
    layerNames_.clear();
    Reshaped();
    Changed();
}

bool CalendarMemory::FollowOtherWriters(TDataMod& dm) {
    if (!valid_ || !dm.Connected())
        return valid_;
    try {
        if (DataVersion(dm) == dataVersion_)
            return true;
    } catch (const platform::DbError&) {
        Clear();
        return false;
    }
    return Load(dm);
}

bool CalendarMemory::Load(TDataMod& dm) {
    Clear();
    const arraylayinfo noLayers;
    try {
        dataVersion_ = DataVersion(dm);
        platform::Query q(dm.ADOConnection);
        q.setSql(std::string(kSelectAll) + " order by id");
        q.open();
        const EventColumns columns(q);
        const int alertOn = q.fieldIndex("qcalAlertOn");
        tfield event;
        for (; !q.eof(); q.next()) {
            columns.Read(q, event, noLayers);
            Put(event, q.integerAt(alertOn) != 0);
        }
    } catch (const platform::DbError&) {
        Clear();
        return false;
    }
    valid_ = true;
    return true;
}

bool CalendarMemory::Refresh(TDataMod& dm, std::span<const std::int64_t> ids) {
    if (!valid_)
        return false;
    const arraylayinfo noLayers;
    std::vector<std::int64_t> gone;
    try {
        for (std::size_t from = 0; from < ids.size(); from += kIdsPerStatement) {
            const auto part = ids.subspan(from, std::min(kIdsPerStatement, ids.size() - from));
            std::unordered_set<std::int64_t> missing(part.begin(), part.end());
            platform::Query q(dm.ADOConnection);
            q.setSql(std::string(kSelectAll) + " where id in " +
                     IdListText(part, IdListBlanks::None));
            q.open();
            const EventColumns columns(q);
            const int alertOn = q.fieldIndex("qcalAlertOn");
            tfield event;
            for (; !q.eof(); q.next()) {
                columns.Read(q, event, noLayers);
                missing.erase(event.id);
                Put(event, q.integerAt(alertOn) != 0);
            }
            gone.insert(gone.end(), missing.begin(), missing.end());
        }
    } catch (const platform::DbError&) {
        Clear();
        return false;
    }
    Forget(gone);
    Changed();
    CompactTexts();
    return true;
}

void CalendarMemory::Forget(std::span<const std::int64_t> ids) {
    if (ids.empty())
        return;
    const std::unordered_set<std::int64_t> drop(ids.begin(), ids.end());
    const auto kept = std::remove_if(events_.begin(), events_.end(), [&](const MemoryEvent& e) {
        if (!drop.contains(e.id))
            return false;
        for (const StoredText* t :
             {&e.subject, &e.content, &e.mynote, &e.weekSelected, &e.location})
            deadText_ += t->size;
        return true;
    });
    if (kept != events_.end())
        Reshaped();
    events_.erase(kept, events_.end());
    Changed();
}

void CalendarMemory::RenameLayer(const std::string& oldName, const std::string& newName) {
    const auto old = std::find(layerNames_.begin(), layerNames_.end(), oldName);
    if (old == layerNames_.end())
        return;
    const auto from = std::uint32_t(old - layerNames_.begin());
    const std::uint32_t to = LayerIndex(newName);
    for (std::size_t i = 0; i < events_.size(); ++i) {
        MemoryEvent& e = events_[i];
        if (e.layer == from) {
            e.layer = to;
            e.revision = nextRevision_++;
            Touched(std::uint32_t(i));
        }
    }
    Changed();
}

const MemoryEvent* CalendarMemory::Find(std::int64_t id) const {
    const auto at = std::lower_bound(events_.begin(), events_.end(), id,
                                     [](const MemoryEvent& e, std::int64_t v) { return e.id < v; });
    return at != events_.end() && at->id == id ? &*at : nullptr;
}

std::string_view CalendarMemory::Text(StoredText text) const {
    return std::string_view(texts_).substr(text.at, text.size);
}

StoredText CalendarMemory::Keep(const std::string& text) {
    if (text.empty())
        return {};
    const StoredText kept{std::uint32_t(texts_.size()), std::uint32_t(text.size())};
    texts_ += text;
    return kept;
}

std::uint32_t CalendarMemory::LayerIndex(const std::string& name) {
    const auto at = std::find(layerNames_.begin(), layerNames_.end(), name);
    if (at != layerNames_.end())
        return std::uint32_t(at - layerNames_.begin());
    layerNames_.push_back(name);
    return std::uint32_t(layerNames_.size() - 1);
}

void CalendarMemory::Store(MemoryEvent& e, const tfield& event, bool alertOn) {
    e.rule = RuleFields::From(event);
    e.revision = nextRevision_++;
    e.dueSince = kNever;
    e.id = event.id;
    e.seriesId = event.seriesId;
    e.enddate = event.enddate;
    e.endtime = event.endtime;
    e.exceptDays = event.repeatType == kRepeatNone ? event.exceptDays : std::vector<int>{};
    e.weekType = event.weekType;
    e.seriesDay = event.seriesDay;
    e.layer = LayerIndex(event.layername);
    e.subject = Keep(event.subject);
    e.content = Keep(event.content);
    e.mynote = Keep(event.mynote);
    e.weekSelected = Keep(event.weekSelected0);
    e.location = Keep(event.location);
    e.alert = event.alert;
    e.alertOn = alertOn;
    e.allDay = event.allDay;
}

void CalendarMemory::Put(const tfield& event, bool alertOn) {
    if (events_.empty() || events_.back().id < event.id) {
        Store(events_.emplace_back(), event, alertOn);
        Touched(std::uint32_t(events_.size() - 1));
        return;
    }
    const auto at = std::lower_bound(events_.begin(), events_.end(), event.id,
                                     [](const MemoryEvent& e, std::int64_t v) { return e.id < v; });
    if (at != events_.end() && at->id == event.id) {
        for (const StoredText* t :
             {&at->subject, &at->content, &at->mynote, &at->weekSelected, &at->location})
            deadText_ += t->size;
        Store(*at, event, alertOn);
        Touched(std::uint32_t(at - events_.begin()));
    } else {
        Store(*events_.emplace(at), event, alertOn);
        Reshaped();
    }
}

void CalendarMemory::CompactTexts() {
    if (deadText_ < kMostDeadText || deadText_ < texts_.size() / 2)
        return;
    std::string kept;
    kept.reserve(texts_.size() - deadText_);
    for (MemoryEvent& e : events_) {
        for (StoredText* t : {&e.subject, &e.content, &e.mynote, &e.weekSelected, &e.location}) {
            const std::string_view text = Text(*t);
            t->at = std::uint32_t(kept.size());
            kept += text;
        }
    }
    texts_ = std::move(kept);
    deadText_ = 0;
}

void CalendarMemory::Changed() {
    rangesSorted_ = false;
    alarmsSorted_ = false;
}

void CalendarMemory::Touched(std::uint32_t row) {
    for (Pending* p : {&rangesPending_, &alarmsPending_}) {
        if (!p->whole)
            p->rows.push_back(row);
    }
}

void CalendarMemory::Reshaped() {
    for (Pending* p : {&rangesPending_, &alarmsPending_}) {
        p->whole = true;
        p->rows.clear();
    }
}

namespace {

// Puts the entries of the rows in pending (made by make, which may make none) in their place
// in sorted, in place of the ones those rows had: a few rows cost a pass, not a sort.
template <class Entry, class Make, class Less>
void UpdateSorted(std::vector<Entry>& sorted, std::vector<std::uint32_t>& pending, Make make,
                  Less less) {
    std::sort(pending.begin(), pending.end());
    pending.erase(std::unique(pending.begin(), pending.end()), pending.end());
    std::erase_if(sorted, [&](const Entry& e) {
        return std::binary_search(pending.begin(), pending.end(), e.index);
    });
    const auto old = std::ptrdiff_t(sorted.size());
    for (const std::uint32_t row : pending) {
        if (const std::optional<Entry> entry = make(row))
            sorted.push_back(*entry);
    }
    std::sort(sorted.begin() + old, sorted.end(), less);
    std::inplace_merge(sorted.begin(), sorted.begin() + old, sorted.end(), less);
}

// Fewer changed rows than this share of all rows are put in place; more sort everything.
constexpr std::size_t kWholeSortShare = 8;

// Brings sorted up to date with rows rows, of which those in pending changed since.
template <class Entry, class PendingRows, class Make, class Less>
void Reindex(std::vector<Entry>& sorted, PendingRows& pending, std::size_t rows, Make make,
             Less less) {
    if (pending.whole || pending.rows.size() > rows / kWholeSortShare) {
        sorted.clear();
        sorted.reserve(rows);
        for (std::size_t i = 0; i < rows; ++i) {
            if (const std::optional<Entry> e = make(std::uint32_t(i)))
                sorted.push_back(*e);
        }
        std::sort(sorted.begin(), sorted.end(), less);
    } else {
        UpdateSorted(sorted, pending.rows, make, less);
    }
    pending = {};
}

}  // namespace

tfield CalendarMemory::Field(const MemoryEvent& e, const arraylayinfo& layers) const {
    const RuleFields& r = e.rule;
    tfield f;
    f.id = e.id;
    f.layername = LayerName(e);
    f.layerColor = LayerColor(layers, f.layername);
    f.alert = e.alert;
    f.subject = Text(e.subject);
    f.content = Text(e.content);
    f.mynote = Text(e.mynote);
    f.repeatType = r.repeatType;
    f.begindate = r.begindate;
    f.enddate = e.enddate;
    f.beginTime = r.beginTime;
    f.endtime = e.endtime;
    f.lastFileTime = r.lastFileTime;
    f.dayType = r.dayType;
    f.dayEvery0 = r.dayEvery0;
    f.weekType = e.weekType;
    f.weekEvery0 = r.weekEvery0;
    f.weekSelected0 = Text(e.weekSelected);
    f.monthType = r.monthType;
    f.monthDay0 = r.monthDay0;
    f.monthEvery0 = r.monthEvery0;
    f.monthspecial1 = r.monthspecial1;
    f.monthDayorWeek1 = r.monthDayorWeek1;
    f.monthEvery1 = r.monthEvery1;
    f.yearType = r.yearType;
    f.yearDay0 = r.yearDay0;
    f.yearMonth0 = r.yearMonth0;
    f.yearspecial1 = r.yearspecial1;
    f.yearDayorWeek1 = r.yearDayorWeek1;
    f.yearMonth1 = r.yearMonth1;
    f.exceptDays = r.repeatType == kRepeatNone ? e.exceptDays : r.exceptDays;
    f.seriesId = e.seriesId;
    f.seriesDay = e.seriesDay;
    f.remindBefore = r.remindBefore;
    f.allDay = e.allDay;
    f.openEnd = r.openEnd;
    f.location = Text(e.location);
    return f;
}

std::vector<bool> CalendarMemory::ActiveLayers(const arraylayinfo& layers) const {
    std::vector<bool> active(layerNames_.size(), false);
    for (std::size_t i = 0; i < layerNames_.size(); ++i) {
        active[i] = std::any_of(layers.begin(), layers.end(), [&](const tlayinfo& layer) {
            return layer.active && layer.name == layerNames_[i];
        });
    }
    return active;
}

void CalendarMemory::SortRanges() const {
    if (rangesSorted_)
        return;
    const auto less = [](const RangeEntry& a, const RangeEntry& b) {
        return std::tie(a.begin, a.index) < std::tie(b.begin, b.index);
    };
    const auto entry = [this](std::uint32_t i) -> std::optional<RangeEntry> {
        return RangeEntry{events_[i].rule.begindate, events_[i].enddate, i};
    };
    Reindex(ranges_, rangesPending_, events_.size(), entry, less);
    blockEnds_.assign((ranges_.size() + kBlock - 1) / kBlock, kAlways);
    for (std::size_t i = 0; i < ranges_.size(); ++i)
        blockEnds_[i / kBlock] = std::max(blockEnds_[i / kBlock], ranges_[i].end);
    rangesSorted_ = true;
}

void CalendarMemory::SortAlarms() const {
    if (alarmsSorted_)
        return;
    // The due list's order: the walk then hands the events over in it.
    const auto less = [](const AlarmEntry& a, const AlarmEntry& b) {
        return std::tie(a.beginTime, a.index) < std::tie(b.beginTime, b.index);
    };
    const auto entry = [this](std::uint32_t i) -> std::optional<AlarmEntry> {
        const MemoryEvent& e = events_[i];
        const TDateTime bound = EarliestDueMoment(e);
        if (bound == kNever)
            return std::nullopt;
        const RuleFields& r = e.rule;
        return AlarmEntry{bound,
                          r.beginTime,
                          r.begindate + r.beginTime,
                          e.enddate + e.endtime,
                          r.lastFileTime,
                          e.dueSince,
                          e.id,
                          e.revision,
                          i,
                          e.layer,
                          r.repeatType != kRepeatNone,
                          r.remindBefore > 0};
    };
    Reindex(alarms_, alarmsPending_, events_.size(), entry, less);
    alarmsSorted_ = true;
}

std::vector<const MemoryEvent*> CalendarMemory::Overlapping(TDateTime first, TDateTime last,
                                                            const arraylayinfo* layers) const {
    SortRanges();
    const TDateTime from = AsStatementNumber(first);
    const TDateTime to = AsStatementNumber(last);
    const std::vector<bool> active = layers ? ActiveLayers(*layers) : std::vector<bool>{};
    const auto end = std::upper_bound(ranges_.begin(), ranges_.end(), to,
                                      [](TDateTime v, const RangeEntry& r) { return v < r.begin; });
    const auto count = std::size_t(end - ranges_.begin());
    std::vector<std::uint32_t> found;
    for (std::size_t block = 0; block * kBlock < count; ++block) {
        if (blockEnds_[block] < from)
            continue;
        for (std::size_t i = block * kBlock; i < std::min(count, (block + 1) * kBlock); ++i) {
            const RangeEntry& r = ranges_[i];
            if (r.end < from || (layers && !active[events_[r.index].layer]))
                continue;
            found.push_back(r.index);
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<const MemoryEvent*> events;
    events.reserve(found.size());
    for (const std::uint32_t i : found)
        events.push_back(&events_[i]);
    return events;
}

std::vector<mytitem_for_display> CalendarMemory::MonthLines(const TDataMod& dm, TDateTime first,
                                                            int days) const {
    std::vector<const MemoryEvent*> events = Overlapping(first, first + days - 1, &dm.Layers);
    // As the month statement orders them; all-day events first in a cell.
    std::stable_sort(events.begin(), events.end(), [](const MemoryEvent* a, const MemoryEvent* b) {
        return a->rule.beginTime < b->rule.beginTime;
    });
    std::stable_partition(events.begin(), events.end(),
                          [](const MemoryEvent* e) { return e->allDay; });
    std::vector<mytitem_for_display> lines(std::size_t(std::max(days, 0)));
    const int firstDay = DayOf(first);
    const int lastDay = firstDay + days - 1;
    // Most events of a month share a few begin times: each is written once.
    std::unordered_map<TDateTime, std::string> times;
    const auto timeText = [&](const MemoryEvent& e) -> std::string_view {
        if (e.allDay)
            return {};
        auto [at, added] = times.try_emplace(e.rule.beginTime);
        if (added)
            at->second = dm.Format(dm.Options.TimeFormat, e.rule.beginTime);
        return at->second;
    };
    for (const MemoryEvent* e : events) {
        std::optional<titem_for_display> item;
        tsatisfy(e->rule).ForEachOccurrence(firstDay, lastDay, [&](int day) {
            if (!item) {
                item = MakeDisplayItem(dm, e->id, Text(e->subject), LayerName(*e), e->alert,
                                       e->allDay, timeText(*e));
            }
            lines[std::size_t(day - firstDay)].push_back(*item);
        });
    }
    return lines;
}

void CalendarMemory::FindEvents(const SearchRequest& request, const arraylayinfo& layers,
                                tArrayofField& found) const {
    found.clear();
    const TDateTime between = AsStatementNumber(request.between);
    const TDateTime andTime = AsStatementNumber(request.andTime);
    std::optional<platform::LikePattern> like;
    if (request.includeText)
        like.emplace(KeywordPattern(TrimmedKeyword(request.keyword)));
    const std::vector<bool> active = ActiveLayers(layers);
    std::vector<const MemoryEvent*> kept;
    for (const MemoryEvent& e : events_) {
        const RuleFields& r = e.rule;
        const bool inPeriod = request.archived
                                  ? r.lastFileTime >= between && r.lastFileTime <= andTime
                                  : (r.begindate <= between && e.enddate >= between) ||
                                        (r.begindate >= between && r.begindate <= andTime);
        if (!inPeriod || !active[e.layer])
            continue;
        if (like && !((request.subject && like->Matches(Text(e.subject))) ||
                      (request.content && like->Matches(Text(e.content))) ||
                      (request.note && like->Matches(Text(e.mynote))))) {
            continue;
        }
        if (!request.archived && !tsatisfy(r).OccursBetween(request.between, request.andTime))
            continue;
        kept.push_back(&e);
    }
    // As the search statement orders them; the ids follow from the order of events_.
    std::stable_sort(kept.begin(), kept.end(), [](const MemoryEvent* a, const MemoryEvent* b) {
        return std::tie(a->rule.begindate, a->rule.beginTime) <
               std::tie(b->rule.begindate, b->rule.beginTime);
    });
    found.reserve(kept.size());
    for (const MemoryEvent* e : kept)
        found.push_back(Field(*e, layers));
}

}  // namespace qcal
