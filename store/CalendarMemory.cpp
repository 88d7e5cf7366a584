#include "store/CalendarMemory.h"

#include <algorithm>
#include <array>
#include <bit>
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

// Every column, whether alert is exactly true, as the due statements ask, and how the layer
// name is stored (LayerKind).
const char* const kSelectAll =
    "select *, (alert=true) as qcalAlertOn, case typeof(layername) when 'text' then 0 "
    "when 'null' then 1 else 2 end as qcalLayerKind from eventtable";

// How the layer name of a row is stored: the statement that lists the layers of the events
// leaves out NULL, and tells a name stored as text from the same one stored otherwise.
enum LayerKind : std::uint8_t { kLayerText, kLayerNull, kLayerOther };

// The page cache while the load reads the table: every page is read once, so the load passes
// by the cache instead of filling it with the whole file.
constexpr int kLoadCacheKib = 512;

// The texts of a row in the text store.
template <class Event>
auto TextsOf(Event& e) {
    return std::array{&e.subject,      &e.content,  &e.mynote,
                      &e.weekSelected, &e.location, &e.exceptDays};
}

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
        platform::Query size(dm.ADOConnection);
        size.setSql("pragma cache_size");
        size.open();
        const std::int64_t cacheSize = size.eof() ? 0 : size.integerAt(0);
        size.close();
        dm.ADOConnection.exec("pragma cache_size=-" + std::to_string(kLoadCacheKib));
        struct CacheBack {
            TDataMod& dm;
            std::int64_t size;
            ~CacheBack() {
                try {
                    dm.ADOConnection.exec("pragma cache_size=" + std::to_string(size));
                } catch (const platform::DbError&) {
                    // The connection keeps the smaller cache: slower, never wrong.
                }
            }
        } back{dm, cacheSize};
        size.setSql("select count(*) from eventtable");
        size.open();
        events_.reserve(std::size_t(std::max<std::int64_t>(size.eof() ? 0 : size.integerAt(0), 0)));
        size.close();
        platform::Query q(dm.ADOConnection);
        q.setSql(std::string(kSelectAll) + " order by id");
        q.open();
        const EventColumns columns(q);
        const int alertOn = q.fieldIndex("qcalAlertOn");
        const int layerKind = q.fieldIndex("qcalLayerKind");
        tfield event;
        for (; !q.eof(); q.next()) {
            columns.Read(q, event, noLayers);
            Put(event, q.integerAt(alertOn) != 0, std::uint8_t(q.integerAt(layerKind)));
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
            const int layerKind = q.fieldIndex("qcalLayerKind");
            tfield event;
            for (; !q.eof(); q.next()) {
                columns.Read(q, event, noLayers);
                missing.erase(event.id);
                Put(event, q.integerAt(alertOn) != 0, std::uint8_t(q.integerAt(layerKind)));
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
        for (const StoredText* t : TextsOf(e))
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

bool CalendarMemory::LayersOfEvents(std::vector<std::string>& names) const {
    names.clear();
    if (!valid_)
        return false;
    std::vector<bool> seen(layerNames_.size(), false);
    for (const MemoryEvent& e : events_) {
        if (e.layerKind == kLayerOther)
            return false;
        if (e.layerKind == kLayerNull || seen[e.layer])
            continue;
        seen[e.layer] = true;
        names.push_back(layerNames_[e.layer]);
    }
    return true;
}

std::string_view CalendarMemory::Text(StoredText text) const {
    return std::string_view(texts_).substr(text.at, text.size);
}

StoredText CalendarMemory::Keep(std::string_view text) {
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

void CalendarMemory::Store(MemoryEvent& e, const tfield& event, bool alertOn,
                           std::uint8_t layerKind) {
    e.rule = RuleFields::From(event);
    e.revision = nextRevision_++;
    e.dueSince = kNever;
    e.id = event.id;
    e.seriesId = event.seriesId;
    e.enddate = event.enddate;
    e.endtime = event.endtime;
    e.weekType = event.weekType;
    e.seriesDay = event.seriesDay;
    e.layer = LayerIndex(event.layername);
    e.subject = Keep(event.subject);
    e.content = Keep(event.content);
    e.mynote = Keep(event.mynote);
    e.weekSelected = Keep(event.weekSelected0);
    e.location = Keep(event.location);
    e.exceptDays =
        event.repeatType == kRepeatNone ? Keep(ExceptDaysText(event.exceptDays)) : StoredText{};
    e.alert = event.alert;
    e.alertOn = alertOn;
    e.allDay = event.allDay;
    e.layerKind = layerKind;
}

void CalendarMemory::Put(const tfield& event, bool alertOn, std::uint8_t layerKind) {
    if (events_.empty() || events_.back().id < event.id) {
        Store(events_.emplace_back(), event, alertOn, layerKind);
        Touched(std::uint32_t(events_.size() - 1));
        return;
    }
    const auto at = std::lower_bound(events_.begin(), events_.end(), event.id,
                                     [](const MemoryEvent& e, std::int64_t v) { return e.id < v; });
    if (at != events_.end() && at->id == event.id) {
        for (const StoredText* t : TextsOf(*at))
            deadText_ += t->size;
        Store(*at, event, alertOn, layerKind);
        Touched(std::uint32_t(at - events_.begin()));
    } else {
        Store(*events_.emplace(at), event, alertOn, layerKind);
        Reshaped();
    }
}

void CalendarMemory::CompactTexts() {
    if (deadText_ < kMostDeadText || deadText_ < texts_.size() / 2)
        return;
    std::string kept;
    kept.reserve(texts_.size() - deadText_);
    for (MemoryEvent& e : events_) {
        for (StoredText* t : TextsOf(e)) {
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
    tfield f;
    Fill(e, LayerColor(layers, LayerName(e)), f);
    return f;
}

void CalendarMemory::Fill(const MemoryEvent& e, TColor layerColor, tfield& f) const {
    // Every member is written: f may hold another row before.
    const RuleFields& r = e.rule;
    f.id = e.id;
    f.layername = LayerName(e);
    f.layerColor = layerColor;
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
    f.exceptDays = r.repeatType == kRepeatNone ? ParseExceptDays(Text(e.exceptDays)) : r.exceptDays;
    f.seriesId = e.seriesId;
    f.seriesDay = e.seriesDay;
    f.remindBefore = r.remindBefore;
    f.allDay = e.allDay;
    f.openEnd = r.openEnd;
    f.location = Text(e.location);
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
        const MemoryEvent& e = events_[i];
        return RangeEntry{e.rule.begindate, e.enddate, e.rule.beginTime, i, e.allDay};
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

template <class Visit>
void CalendarMemory::ForEachOverlapping(TDateTime first, TDateTime last, const arraylayinfo* layers,
                                        Visit&& visit) const {
    SortRanges();
    const TDateTime from = AsStatementNumber(first);
    const TDateTime to = AsStatementNumber(last);
    const std::vector<bool> active = layers ? ActiveLayers(*layers) : std::vector<bool>{};
    // With every layer active the rows themselves need not be looked at.
    if (std::find(active.begin(), active.end(), false) == active.end())
        layers = nullptr;
    const auto end = std::upper_bound(ranges_.begin(), ranges_.end(), to,
                                      [](TDateTime v, const RangeEntry& r) { return v < r.begin; });
    const auto count = std::size_t(end - ranges_.begin());
    for (std::size_t block = 0; block * kBlock < count; ++block) {
        if (blockEnds_[block] < from)
            continue;
        for (std::size_t i = block * kBlock; i < std::min(count, (block + 1) * kBlock); ++i) {
            const RangeEntry& r = ranges_[i];
            if (r.end < from || (layers && !active[events_[r.index].layer]))
                continue;
            visit(r);
        }
    }
}

std::vector<const MemoryEvent*> CalendarMemory::Overlapping(TDateTime first, TDateTime last,
                                                            const arraylayinfo* layers) const {
    std::vector<std::uint32_t> found;
    ForEachOverlapping(first, last, layers, [&](const RangeEntry& r) { found.push_back(r.index); });
    std::sort(found.begin(), found.end());
    std::vector<const MemoryEvent*> events;
    events.reserve(found.size());
    for (const std::uint32_t i : found)
        events.push_back(&events_[i]);
    return events;
}

namespace {

// The order of the lines in a cell as one number of 128 bits (high, low): all-day events first,
// then by begin time, rows of the same time in the order of their ids (the order of events_).
struct LineOrder {
    std::uint64_t high;
    std::uint64_t low;
    friend bool operator<(const LineOrder& a, const LineOrder& b) {
        return a.high != b.high ? a.high < b.high : a.low < b.low;
    }
};

std::uint32_t Row(const LineOrder& order) {
    return std::uint32_t(order.low & 0xFFFFFFFF);
}

// How many rows ahead of the one made into lines are fetched.
constexpr std::size_t kAhead = 8;

LineOrder OrderOf(bool allDay, TDateTime beginTime, std::uint32_t row) {
    // The bits of a double, turned so that they sort as the numbers do (no NaN comes from the
    // table; both zeros are one).
    const double time = beginTime == 0 ? 0.0 : beginTime;
    std::uint64_t bits = std::bit_cast<std::uint64_t>(time);
    bits = (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t(1) << 63);
    return {(std::uint64_t(allDay ? 0 : 1) << 63) | (bits >> 1), ((bits & 1) << 32) | row};
}

}  // namespace

std::vector<mytitem_for_display> CalendarMemory::MonthLines(const TDataMod& dm, TDateTime first,
                                                            int days) const {
    std::vector<LineOrder> rows;
    ForEachOverlapping(first, first + days - 1, &dm.Layers, [&](const RangeEntry& r) {
        rows.push_back(OrderOf(r.allDay, r.beginTime, r.index));
    });
    std::sort(rows.begin(), rows.end());
    const std::size_t dayCount = std::size_t(std::max(days, 0));
    const int firstDay = DayOf(first);
    const int lastDay = firstDay + days - 1;
    // Most events of a month share a few begin times and layers: each is written once.
    std::unordered_map<TDateTime, std::string> times;
    const auto timeText = [&](const MemoryEvent& e) -> std::string_view {
        if (e.allDay)
            return {};
        auto [at, added] = times.try_emplace(e.rule.beginTime);
        if (added)
            at->second = dm.Format(dm.Options.TimeFormat, e.rule.beginTime);
        return at->second;
    };
    struct Layer {
        SharedText name;
        TColor color = 0;
    };
    std::vector<std::optional<Layer>> layers(layerNames_.size());
    const auto layer = [&](std::uint32_t index) -> const Layer& {
        if (!layers[index])
            layers[index] = Layer{layerNames_[index], LayerColor(dm.Layers, layerNames_[index])};
        return *layers[index];
    };
    // The days of every event first, so that each day's list is made at its size at once.
    struct Hit {
        std::uint32_t item;
        std::uint32_t day;
    };
    std::vector<titem_for_display> items;
    items.reserve(rows.size());
    // The texts of the month in one allocation that all its lines share.
    const auto texts = std::make_shared<std::vector<std::string>>();
    texts->reserve(rows.size());
    std::vector<Hit> hits;
    hits.reserve(rows.size() * 2);
    std::vector<std::uint32_t> perDay(dayCount, 0);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        // The rows lie all over the memory: the ones a few steps ahead are fetched meanwhile,
        // and the subjects of those halfway there (whose rows have come by then).
        if (k + kAhead < rows.size()) {
            const char* ahead = reinterpret_cast<const char*>(&events_[Row(rows[k + kAhead])]);
            for (std::size_t at = 0; at < sizeof(MemoryEvent); at += 64)
                __builtin_prefetch(ahead + at);
        }
        if (k + kAhead / 2 < rows.size())
            __builtin_prefetch(texts_.data() + events_[Row(rows[k + kAhead / 2])].subject.at);
        const MemoryEvent& e = events_[Row(rows[k])];
        bool made = false;
        tsatisfy(e.rule).ForEachOccurrence(firstDay, lastDay, [&](int day) {
            if (!made) {
                const Layer& l = layer(e.layer);
                texts->push_back(DisplayText(Text(e.subject), e.alert, e.allDay, timeText(e)));
                titem_for_display& item = items.emplace_back();
                item.text = SharedText(std::shared_ptr<const std::string>(texts, &texts->back()));
                item.id = e.id;
                item.layername = l.name;
                item.layerColor = l.color;
                item.alert = e.alert;
                made = true;
            }
            hits.push_back({std::uint32_t(items.size() - 1), std::uint32_t(day - firstDay)});
            ++perDay[std::size_t(day - firstDay)];
        });
    }
    std::vector<mytitem_for_display> lines(dayCount);
    for (std::size_t d = 0; d < dayCount; ++d)
        lines[d].reserve(perDay[d]);
    for (std::size_t k = 0; k < hits.size(); ++k) {
        const Hit& hit = hits[k];
        // The last line of an event takes its item; the ones before copy it.
        if (k + 1 == hits.size() || hits[k + 1].item != hit.item) {
            lines[hit.day].push_back(std::move(items[hit.item]));
        } else {
            lines[hit.day].push_back(items[hit.item]);
        }
    }
    return lines;
}

void CalendarMemory::FindEvents(const SearchRequest& request, const arraylayinfo& layers,
                                tArrayofField& found) const {
    const TDateTime between = AsStatementNumber(request.between);
    const TDateTime andTime = AsStatementNumber(request.andTime);
    std::optional<platform::LikePattern> like;
    if (request.includeText)
        like.emplace(KeywordPattern(TrimmedKeyword(request.keyword)));
    const std::vector<bool> active = ActiveLayers(layers);
    struct Kept {
        TDateTime begindate;
        TDateTime beginTime;
        std::uint32_t index;
    };
    std::vector<Kept> kept;
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
        kept.push_back({r.begindate, r.beginTime, std::uint32_t(&e - events_.data())});
    }
    // As the search statement orders them; the ids follow from the order of events_.
    std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) {
        return std::tie(a.begindate, a.beginTime, a.index) <
               std::tie(b.begindate, b.beginTime, b.index);
    });
    // The records of the last search are written over: their texts keep their room.
    const std::vector<TColor> colours = LayerColours(layers);
    found.resize(kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const MemoryEvent& e = events_[kept[i].index];
        Fill(e, colours[e.layer], found[i]);
    }
}

}  // namespace qcal
