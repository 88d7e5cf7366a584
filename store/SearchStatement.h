#pragma once

// The event search: the period of each search type, the checks of the search input and the
// select statement the search list runs.

#include <array>
#include <string>
#include <string_view>

#include "core/DateTime.h"
#include "store/Options.h"

namespace qcal {

// The search types, in the order of the type list.
enum SearchType : int {
    kSearchThisWeek = 0,
    kSearchNextWeek = 1,
    kSearchThisMonth = 2,
    kSearchNextMonth = 3,
    kSearchThisYear = 4,
    kSearchNextYear = 5,
    kSearchDefinitePeriod = 6,
    kSearchArchived = 7,
};
inline constexpr int kSearchTypeCount = 8;

// The items of the type list, each with its leading blank.
extern const std::array<const char*, kSearchTypeCount> kSearchTypeItems;

// The period a search type sets, as day numbers of the Between and And dates.
struct SearchPeriod {
    int between = 0;
    int andDay = 0;
    bool pickersEnabled = false;  // the user may change the dates
    bool archived = false;        // the period is one of archive times
    bool operator==(const SearchPeriod&) const = default;
};

// The period of type on the day today; the definite period keeps the dates the pickers hold
// (currentBetween, currentAnd). An unknown type keeps them too and leaves the pickers as a
// definite period does.
// Weeks begin on firstWeekday (1 Sunday .. 7 Saturday).
SearchPeriod PeriodOfSearchType(int type, int today, int currentBetween, int currentAnd,
                                int firstWeekday = 1);

// The moments a period runs between: from the very start of the Between day (an event
// stored on that day is at 00:00:00 of it) to 23:59:59 of the And day.
TDateTime PeriodStart(int betweenDay);
TDateTime PeriodEnd(int andDay);

// The keyword as it is searched for: blanks and control characters at either end go, as the
// keyword box has always trimmed.
std::string_view TrimmedKeyword(std::string_view keyword);

// True when every single quote of keyword is one of a doubled pair (''), so that the keyword
// between quotes is one well-formed literal that finds the undoubled text.
bool CheckKeywordQuotes(std::string_view keyword);

// " and ((subject  like '%x%')  or  (content  like '%x%') ) " for the checked texts; the
// keyword goes in as it stands (it has passed CheckKeywordQuotes).
std::string BuildTextClause(std::string_view keyword, bool subject, bool content, bool note);

// What the user asked for.
struct SearchRequest {
    TDateTime between = 0;  // PeriodStart of the Between date
    TDateTime andTime = 0;  // PeriodEnd of the And date
    bool archived = false;  // search archive times rather than occurrences
    bool includeText = false;
    std::string keyword;  // as typed
    bool subject = true;
    bool content = true;
    bool note = true;
};

// Why a search cannot run.
enum class SearchRefusal {
    None,
    AndBeforeBetween,
    BlankKeyword,
    NoTextChecked,
    KeywordQuote,
};

// The user's message for a refusal; the keyword quote message is an error, the others are
// warnings.
const char* SearchRefusalMessage(SearchRefusal refusal);

struct SearchStatement {
    SearchRefusal refusal = SearchRefusal::None;
    std::string sql;  // empty when refused
};

// Checks the request in the order the user is told about its faults and builds the select;
// only the active layers of layers are searched.
SearchStatement BuildSearchStatement(const SearchRequest& request, const arraylayinfo& layers);

}  // namespace qcal
