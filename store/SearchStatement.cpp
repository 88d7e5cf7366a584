#include "store/SearchStatement.h"

#include "core/WeekStart.h"
#include "store/EventLists.h"

namespace qcal {

const std::array<const char*, kSearchTypeCount> kSearchTypeItems{
    " Search all events which will occur This Week",
    " Search all events which will occur Next Week",
    " Search all events which will occur This Month",
    " Search all events which will occur Next Month",
    " Search all events which will occur This Year",
    " Search all events which will occur Next Year",
    " Search all events which will occur in a definite period",
    " Search all events Archived in a definite period",
};

namespace {

int FirstOfMonth(int day) {
    const CivilDate d = DateOfDay(day);
    return DayNumber(d.year, d.month, 1);
}

int LastOfMonth(int day) {
    const CivilDate d = DateOfDay(day);
    return DayNumber(d.year, d.month, DaysInMonth(d.year, d.month));
}

}  // namespace

std::string_view TrimmedKeyword(std::string_view text) {
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

SearchPeriod PeriodOfSearchType(int type, int today, int currentBetween, int currentAnd,
                                int firstWeekday) {
    SearchPeriod period;
    const int weekStart = StartOfWeek(today, firstWeekday);
    const int year = DateOfDay(today).year;
    switch (type) {
        case kSearchThisWeek:
            period.between = weekStart;
            period.andDay = weekStart + 6;
            break;
        case kSearchNextWeek:
            period.between = weekStart + 7;
            period.andDay = weekStart + 13;
            break;
        case kSearchThisMonth:
            period.between = FirstOfMonth(today);
            period.andDay = LastOfMonth(today);
            break;
        case kSearchNextMonth: {
            const int next = LastOfMonth(today) + 1;
            period.between = next;
            period.andDay = LastOfMonth(next);
            break;
        }
        case kSearchThisYear:
            period.between = DayNumber(year, 1, 1);
            period.andDay = DayNumber(year, 12, 31);
            break;
        case kSearchNextYear:
            period.between = DayNumber(year + 1, 1, 1);
            period.andDay = DayNumber(year + 1, 12, 31);
            break;
        case kSearchArchived:
            period.between = DayNumber(1980, 1, 1);
            period.andDay = today;
            period.pickersEnabled = true;
            period.archived = true;
            break;
        default:
            period.between = currentBetween;
            period.andDay = currentAnd;
            period.pickersEnabled = true;
            break;
    }
    return period;
}

TDateTime PeriodStart(int betweenDay) {
    return betweenDay;
}

TDateTime PeriodEnd(int andDay) {
    return andDay + EncodeTime(23, 59, 59);
}

bool CheckKeywordQuotes(std::string_view keyword) {
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        if (keyword[i] != '\'')
            continue;
        if (i + 1 == keyword.size() || keyword[i + 1] != '\'')
            return false;
        ++i;
    }
    return true;
}

std::string BuildTextClause(std::string_view keyword, bool subject, bool content, bool note) {
    const std::string like = " like '%" + std::string(keyword) + "%') ";
    std::string x;
    if (subject)
        x = "(subject " + like;
    for (const auto& [checked, column] :
         {std::pair{content, " (content "}, std::pair{note, " (mynote "}}) {
        if (!checked)
            continue;
        x += x.empty() ? column + like : " or " + (column + like);
    }
    return " and (" + x + ") ";
}

const char* SearchRefusalMessage(SearchRefusal refusal) {
    switch (refusal) {
        case SearchRefusal::None:
            return "";
        case SearchRefusal::AndBeforeBetween:
            return "The date of And must be later than the date of Between!";
        case SearchRefusal::BlankKeyword:
            return "After check the Include Text box,\rInclude Text can not be blank!";
        case SearchRefusal::NoTextChecked:
            return "Because you have checked the Include Text box,\rSubject,Content and Note "
                   "must be checked at least one!";
        case SearchRefusal::KeywordQuote:
            return "The quotation mark (') should be excluded from keyword!\rFor example, when "
                   "inputting the word DON'T, it should be\rreplaced with DONT''T (double "
                   "quotation mark '').";
    }
    return "";
}

SearchStatement BuildSearchStatement(const SearchRequest& request, const arraylayinfo& layers) {
    SearchStatement result;
    if (request.between > request.andTime) {
        result.refusal = SearchRefusal::AndBeforeBetween;
        return result;
    }
    const std::string b = FormatNumber(request.between);
    const std::string a = FormatNumber(request.andTime);
    std::string where;
    if (request.archived) {
        where = " (lastFileTime>=" + b + ") and (" + " lastFileTime<=" + a + ")";
    } else {
        where = " (((beginDate<=" + b + ") and (" + " enddate>=" + b + "))" + " or " +
                " ((beginDate>=" + b + ") and (" + " beginDate<=" + a + ")))";
    }
    if (request.includeText) {
        const std::string_view keyword = TrimmedKeyword(request.keyword);
        if (keyword.empty()) {
            result.refusal = SearchRefusal::BlankKeyword;
            return result;
        }
        if (!request.subject && !request.content && !request.note) {
            result.refusal = SearchRefusal::NoTextChecked;
            return result;
        }
        if (!CheckKeywordQuotes(keyword)) {
            result.refusal = SearchRefusal::KeywordQuote;
            return result;
        }
        where += BuildTextClause(keyword, request.subject, request.content, request.note);
    }
    where += ActiveLayerCondition(layers);
    where += " order by begindate,begintime";
    result.sql = "select * from eventtable where " + where;
    return result;
}

}  // namespace qcal
