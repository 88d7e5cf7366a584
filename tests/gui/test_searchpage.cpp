// The "Search Events" page of the main window over a real user.mdb: periods, warnings,
// keyword checks, the result list and its edit and delete commands.

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include <sqlite3.h>

#include "platform/ProfileFile.h"
#include "store/SearchStatement.h"
#include "support/SearchControls.h"
#include "support/TestText.h"
#include "support/WindowFixture.h"
#include "ui/editor/EventEditor.h"
#include "ui/main/SearchPage.h"
#include "widgets/Help.h"

using namespace qcal;
using namespace qcal::test;
using Kind = desktop::MessageBox::Kind;
using Shown = desktop::MessageBox::Shown;

namespace {

const arraylayinfo kLayers{{"Work", 0x000000FF, true}, {"Home", 0x0000FF00, true}};

// Wednesday 6 January 2027, in the week of Sunday the 3rd.
const TDateTime kNow = EncodeDateTime(2027, 1, 6, 10, 0);

QDate DateOf(int year, int month, int day) {
    return QDate(year, month, day);
}

// Counts the search statements the database is asked to run.
class StatementCounter {
public:
    explicit StatementCounter(sqlite3* db) : db_(db) {
        sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, &StatementCounter::Trace, this);
    }
    ~StatementCounter() { sqlite3_trace_v2(db_, 0, nullptr, nullptr); }
    int searches = 0;

private:
    static int Trace(unsigned, void* self, void*, void* sql) {
        if (std::string_view(static_cast<const char*>(sql))
                .starts_with("select * from eventtable where "))
            ++static_cast<StatementCounter*>(self)->searches;
        return 0;
    }
    sqlite3* db_;
};

struct SearchWindow : WindowFixture {
    explicit SearchWindow(TDateTime now = kNow) : WindowFixture(now, kLayers) {}

    TSearchPage& OpenSearch() {
        Open();
        Child<QTabWidget>(*window, "PageControl1")->setCurrentIndex(1);
        return Page();
    }
    TSearchPage& Page() { return *Child<TSearchPage>(*window, "SearchPage"); }

    std::vector<std::string> Found() { return Subjects(Page().Found()); }

    // Chooses a type as the user does.
    void Choose(int type) {
        QComboBox* types = SearchControls(Page()).comSearchType;
        types->setCurrentIndex(type);
        emit types->activated(type);
    }

    void Period(QDate between, QDate andDate) {
        Choose(kSearchDefinitePeriod);
        const SearchControls c(Page());
        c.dtBetweenDate->setDate(between);
        c.dtAndDate->setDate(andDate);
    }

    void Keyword(const char* keyword, bool subject = true, bool content = true, bool note = true) {
        const SearchControls c(Page());
        c.chtext->setChecked(true);
        c.editInclude->setText(Q(keyword));
        c.chSubject->setChecked(subject);
        c.chContent->setChecked(content);
        c.chNote->setChecked(note);
    }

    // Answers the event editor with a change and OK.
    void EditWith(std::function<void(TmyFormNewOrEdit&)> change) {
        answer = [change](QDialog& dialog) {
            auto& editor = dynamic_cast<TmyFormNewOrEdit&>(dialog);
            change(editor);
            editor.btnOK->click();
            return editor.result();
        };
    }
};

// A once-only event of an hour, as the editor accepts it.
tfield HourLong(const char* subject, TDateTime day, int hour) {
    tfield e = OnceEvent(subject, day, EncodeTime(hour, 0));
    e.endtime = EncodeTime(hour + 1, 0);
    return e;
}

tfield Archived(const char* subject, TDateTime day, TDateTime archivedAt) {
    tfield e = OnceEvent(subject, day);
    e.lastFileTime = archivedAt;
    return e;
}

}  // namespace

class TestSearchPage : public QObject {
    Q_OBJECT
private slots:
    void pageStartsOnThisYearAndEmptiesOnTheWayBack() {
        SearchWindow fx;
        fx.Add(OnceEvent("last year", EncodeDate(2026, 12, 31)));
        fx.Add(OnceEvent("new year", EncodeDate(2027, 1, 1)));
        fx.Add(OnceEvent("new year's eve", EncodeDate(2027, 12, 31), 0, "Home"));
        fx.Add(OnceEvent("next year", EncodeDate(2028, 1, 1)));
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        QCOMPARE(c.comSearchType->currentIndex(), int(kSearchThisYear));
        QCOMPARE(c.dtBetweenDate->date(), DateOf(2027, 1, 1));
        QCOMPARE(c.dtAndDate->date(), DateOf(2027, 12, 31));
        QVERIFY(!c.dtBetweenDate->isEnabled());
        QVERIFY(!c.dtAndDate->isEnabled());
        QCOMPARE(fx.Found(), (std::vector<std::string>{"new year", "new year's eve"}));
        QCOMPARE(c.ListBoxQuery->count(), 2);
        QCOMPARE(c.ListBoxQuery->currentRow(), 0);
        QVERIFY(c.ListBoxQuery->item(0)->isSelected());
        QCOMPARE(c.comSearchType->itemText(7),
                 Q(" Search all events Archived in a definite period"));

        // Back to the month: the results go; the next visit keeps the chosen type.
        fx.Choose(kSearchThisMonth);
        Child<QTabWidget>(*fx.window, "PageControl1")->setCurrentIndex(0);
        QVERIFY(page.Found().empty());
        QCOMPARE(c.ListBoxQuery->count(), 0);
        QVERIFY(c.MemoContent->toPlainText().isEmpty());
        Child<QTabWidget>(*fx.window, "PageControl1")->setCurrentIndex(1);
        QCOMPARE(c.comSearchType->currentIndex(), int(kSearchThisMonth));
        QCOMPARE(fx.Found(), std::vector<std::string>{"new year"});
        QVERIFY(fx.Shown().isEmpty());
    }

    // Each type sets its period from today and finds once-only events on its first and last
    // day but not those just outside.
    void everyTypeSetsItsPeriod_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<TDateTime>("now");
        QTest::addColumn<QDate>("between");
        QTest::addColumn<QDate>("andDate");
        QTest::addColumn<bool>("enabled");
        const TDateTime sunday = EncodeDateTime(2027, 1, 3, 8, 0);
        const TDateTime saturday = EncodeDateTime(2027, 1, 9, 23, 0);
        const TDateTime december = EncodeDateTime(2026, 12, 15, 12, 0);
        const TDateTime leapFeb = EncodeDateTime(2028, 2, 10, 12, 0);
        const TDateTime lastDay = EncodeDateTime(2027, 12, 31, 18, 0);
        QTest::newRow("this week, Sunday")
            << 0 << sunday << DateOf(2027, 1, 3) << DateOf(2027, 1, 9) << false;
        QTest::newRow("this week, Saturday")
            << 0 << saturday << DateOf(2027, 1, 3) << DateOf(2027, 1, 9) << false;
        QTest::newRow("next week, 31 December")
            << 1 << lastDay << DateOf(2028, 1, 2) << DateOf(2028, 1, 8) << false;
        QTest::newRow("this month, leap February")
            << 2 << leapFeb << DateOf(2028, 2, 1) << DateOf(2028, 2, 29) << false;
        QTest::newRow("next month, December")
            << 3 << december << DateOf(2027, 1, 1) << DateOf(2027, 1, 31) << false;
        QTest::newRow("this year, 31 December")
            << 4 << lastDay << DateOf(2027, 1, 1) << DateOf(2027, 12, 31) << false;
        QTest::newRow("next year, December")
            << 5 << december << DateOf(2027, 1, 1) << DateOf(2027, 12, 31) << false;
        QTest::newRow("definite period keeps the dates")
            << 6 << saturday << DateOf(2027, 1, 1) << DateOf(2027, 12, 31) << true;
    }
    void everyTypeSetsItsPeriod() {
        QFETCH(int, type);
        QFETCH(TDateTime, now);
        QFETCH(QDate, between);
        QFETCH(QDate, andDate);
        QFETCH(bool, enabled);
        SearchWindow fx(now);
        const int first = DayNumber(between.year(), between.month(), between.day());
        const int last = DayNumber(andDate.year(), andDate.month(), andDate.day());
        fx.Add(OnceEvent("before", first - 1));
        fx.Add(OnceEvent("first", first));
        fx.Add(OnceEvent("last", last, EncodeTime(23, 59, 59), "Home"));
        fx.Add(OnceEvent("after", last + 1));
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        fx.Choose(type);
        QCOMPARE(c.dtBetweenDate->date(), between);
        QCOMPARE(c.dtAndDate->date(), andDate);
        QCOMPARE(c.dtBetweenDate->isEnabled(), enabled);
        QCOMPARE(c.dtAndDate->isEnabled(), enabled);
        QVERIFY(!page.SearchArchived());
        QCOMPARE(fx.Found(), (std::vector<std::string>{"first", "last"}));
    }

    // The archive search lists every event archived in the period, whether or not it occurs
    // in it; the type change sets the period afresh, the button alone keeps it.
    void archivedEventsInModeOne() {
        SearchWindow fx;
        tfield weekly = OnceEvent("weekly, Mondays", EncodeDate(2026, 1, 1));
        weekly.repeatType = kRepeatWeekly;
        weekly.enddate = EncodeDate(2026, 12, 31);
        weekly.weekEvery0 = 1;
        weekly.weekSelected0 = "FTFFFFF";
        weekly.lastFileTime = EncodeDateTime(2026, 6, 1, 9, 0);
        fx.Add(weekly);
        fx.Add(Archived("in 1980", EncodeDate(1979, 5, 5), EncodeDateTime(1980, 1, 1, 0, 0)));
        fx.Add(Archived("today", EncodeDate(2027, 1, 6), EncodeDateTime(2027, 1, 6, 9, 59)));
        fx.Add(Archived("never", EncodeDate(2027, 1, 6), 0));
        fx.Add(Archived("1979", EncodeDate(1979, 5, 5), EncodeDateTime(1979, 12, 31, 23, 0)));
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        fx.Choose(kSearchArchived);
        QVERIFY(page.SearchArchived());
        QVERIFY(c.dtBetweenDate->isEnabled());
        QCOMPARE(c.dtBetweenDate->date(), DateOf(1980, 1, 1));
        QCOMPARE(c.dtAndDate->date(), DateOf(2027, 1, 6));
        QCOMPARE(fx.Found(), (std::vector<std::string>{"in 1980", "weekly, Mondays", "today"}));

        c.dtBetweenDate->setDate(DateOf(2026, 1, 1));
        c.btnSearch->click();
        QCOMPARE(fx.Found(), (std::vector<std::string>{"weekly, Mondays", "today"}));
        // A layer switched off searches again from a fresh period.
        Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")
            ->item(1)
            ->setCheckState(Qt::Unchecked);
        QCOMPARE(c.dtBetweenDate->date(), DateOf(1980, 1, 1));
        QCOMPARE(fx.Found(), (std::vector<std::string>{"in 1980", "weekly, Mondays", "today"}));
        Child<QListWidget>(*fx.window, "RxCheckListBoxLayer")
            ->item(0)
            ->setCheckState(Qt::Unchecked);
        QVERIFY(fx.Found().empty());
    }

    void refusedSearchesLeaveTheListAndTheDatabaseAlone_data() {
        QTest::addColumn<int>("setup");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        const QString quote =
            Q("The quotation mark (') should be excluded from keyword!\rFor example, when "
              "inputting the word DON'T, it should be\rreplaced with DONT''T (double quotation "
              "mark '').");
        QTest::newRow("And before Between")
            << 0 << QString() << int(Kind::Warning)
            << Q("The date of And must be later than the date of Between!");
        QTest::newRow("blank keyword") << 1 << Q("   ") << int(Kind::Warning)
                                       << Q("After check the Include Text box,\rInclude Text "
                                            "can not be blank!");
        QTest::newRow("no text box") << 2 << Q("x") << int(Kind::Warning)
                                     << Q("Because you have checked the Include Text "
                                          "box,\rSubject,Content and Note must be checked at "
                                          "least one!");
        QTest::newRow("DON'T") << 1 << Q("DON'T") << int(Kind::Error) << quote;
        QTest::newRow("A''B'C") << 1 << Q("A''B'C") << int(Kind::Error) << quote;
        QTest::newRow("a lone quote") << 1 << Q("'") << int(Kind::Error) << quote;
    }
    void refusedSearchesLeaveTheListAndTheDatabaseAlone() {
        QFETCH(int, setup);
        QFETCH(QString, keyword);
        QFETCH(int, kind);
        QFETCH(QString, message);
        SearchWindow fx;
        fx.Add(OnceEvent("dentist", EncodeDate(2027, 1, 5)));
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        fx.Choose(kSearchThisWeek);
        QCOMPARE(fx.Found(), std::vector<std::string>{"dentist"});
        fx.Shown();
        if (setup == 0) {
            fx.Period(DateOf(2027, 1, 5), DateOf(2027, 1, 5));
            c.dtBetweenDate->setDate(DateOf(2027, 1, 6));
        } else {
            fx.Keyword(keyword.toUtf8().constData(), setup == 1, setup == 1, setup == 1);
        }
        StatementCounter counter(fx.store.dm->ADOConnection.handle());
        c.btnSearch->click();
        QCOMPARE(counter.searches, 0);
        QCOMPARE(fx.Shown(), (QList<Shown>{{Kind(kind), message}}));
        QCOMPARE(fx.Found(), std::vector<std::string>{"dentist"});
        QCOMPARE(c.ListBoxQuery->count(), 1);
        QVERIFY(fx.store.errors.shown.empty());
    }

    // One day is a period; a doubled quote finds the text with one quote.
    void doubledQuoteFindsTheQuote() {
        SearchWindow fx;
        fx.Add(OnceEvent("DON'T forget", EncodeDate(2027, 1, 5)));
        fx.Add(OnceEvent("DONT forget", EncodeDate(2027, 1, 5)));
        fx.Add(OnceEvent("DON'T, next day", EncodeDate(2027, 1, 6)));
        fx.OpenSearch();
        fx.Period(DateOf(2027, 1, 5), DateOf(2027, 1, 5));
        fx.Keyword("DON''T");
        SearchControls(fx.Page()).btnSearch->click();
        QVERIFY(fx.Shown().isEmpty());
        QCOMPARE(fx.Found(), std::vector<std::string>{"DON'T forget"});
    }

    void textBoxesChooseTheColumns_data() {
        QTest::addColumn<bool>("subject");
        QTest::addColumn<bool>("content");
        QTest::addColumn<bool>("note");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("subject") << true << false << false << QStringList{Q("S")};
        QTest::newRow("content") << false << true << false << QStringList{Q("C")};
        QTest::newRow("note") << false << false << true << QStringList{Q("N")};
        QTest::newRow("subject, content") << true << true << false << QStringList{Q("S"), Q("C")};
        QTest::newRow("subject, note") << true << false << true << QStringList{Q("S"), Q("N")};
        QTest::newRow("content, note") << false << true << true << QStringList{Q("C"), Q("N")};
        QTest::newRow("all") << true << true << true << QStringList{Q("S"), Q("C"), Q("N")};
        QTest::newRow("nothing found, and the page says so")
            << false << false << true << QStringList{};
    }
    void textBoxesChooseTheColumns() {
        QFETCH(bool, subject);
        QFETCH(bool, content);
        QFETCH(bool, note);
        QFETCH(QStringList, found);
        SearchWindow fx;
        tfield s = OnceEvent("S dentist", EncodeDate(2027, 1, 4), EncodeTime(8, 0));
        tfield c = OnceEvent("C", EncodeDate(2027, 1, 4), EncodeTime(9, 0));
        c.content = "call the Dentist";
        tfield n = OnceEvent("N", EncodeDate(2027, 1, 4), EncodeTime(10, 0));
        n.mynote = "dentist";
        tfield none = OnceEvent("none", EncodeDate(2027, 1, 4), EncodeTime(11, 0));
        none.content = "dent";
        for (const tfield& e : {s, c, n, none})
            fx.Add(e);
        fx.OpenSearch();
        fx.Choose(kSearchThisWeek);
        fx.Keyword(found.isEmpty() ? " dentistry " : " dentist ", subject, content, note);
        SearchControls(fx.Page()).btnSearch->click();
        QStringList subjects;
        for (const std::string& text : fx.Found())
            subjects << Q(text.c_str()).left(1);
        QCOMPARE(subjects, found);
        QCOMPARE(SearchControls(fx.Page()).LabelNothingFound->isVisible(), found.isEmpty());
    }

    void deleteAsksForTheSelectedCount() {
        SearchWindow fx;
        for (const char* subject : {"one", "two", "three"})
            fx.Add(OnceEvent(subject, EncodeDate(2027, 1, 5)));
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        fx.Choose(kSearchThisWeek);
        fx.Shown();
        c.ListBoxQuery->clearSelection();
        page.pmDeleteEventClick();
        QCOMPARE(fx.Shown(),
                 (QList<Shown>{{Kind::Information, Q("There is no event to be delete!")}}));

        c.ListBoxQuery->item(0)->setSelected(true);
        c.ListBoxQuery->item(2)->setSelected(true);
        desktop::MessageBox::PresetAnswers({false});
        Child<QToolButton>(*fx.window, "btnDel")->click();
        QCOMPARE(fx.Shown(),
                 (QList<Shown>{{Kind::Warning, Q("Are you sure to delete the 2 event?")}}));
        QCOMPARE(fx.Count(), 3);
        QCOMPARE(c.ListBoxQuery->count(), 3);
        QCOMPARE(page.SelectedRows(), (std::vector<int>{0, 2}));

        // Alt+click adds a row to the selection as Ctrl+click does; the "." key asks as well.
        const QRect second = c.ListBoxQuery->visualItemRect(c.ListBoxQuery->item(1));
        QTest::mouseClick(c.ListBoxQuery->viewport(), Qt::LeftButton, Qt::AltModifier,
                          second.center());
        QCOMPARE(page.SelectedRows(), (std::vector<int>{0, 1, 2}));
        QTest::mouseClick(c.ListBoxQuery->viewport(), Qt::LeftButton, Qt::AltModifier,
                          second.center());
        QCOMPARE(page.SelectedRows(), (std::vector<int>{0, 2}));
        desktop::MessageBox::PresetAnswers({false});
        QTest::keyClick(c.ListBoxQuery, '.');
        QCOMPARE(fx.Shown(),
                 (QList<Shown>{{Kind::Warning, Q("Are you sure to delete the 2 event?")}}));

        // The Delete key of the list reaches the same command.
        desktop::MessageBox::PresetAnswers({true});
        c.ListBoxQuery->setFocus();
        QTest::keyClick(c.ListBoxQuery, Qt::Key_Delete);
        QCOMPARE(fx.Shown().size(), 1);
        QCOMPARE(fx.Count(), 1);
        QCOMPARE(fx.Found(), std::vector<std::string>{"two"});
        QCOMPARE(c.ListBoxQuery->currentRow(), 0);
    }

    // Rows are 17 pixels high and drawn on their layer's colour, from the row's left edge
    // to its right end.
    void rowsAreDrawnInLayerColours() {
        SearchWindow fx;
        fx.Add(OnceEvent("work", EncodeDate(2027, 1, 4), 0, "Work"));
        fx.Add(OnceEvent("home", EncodeDate(2027, 1, 5), 0, "Home"));
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        fx.Choose(kSearchThisWeek);
        QCOMPARE(fx.Found(), (std::vector<std::string>{"work", "home"}));
        c.ListBoxQuery->clearSelection();
        const QImage image =
            c.ListBoxQuery->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QColor colours[] = {QColor(255, 0, 0), QColor(0, 255, 0)};
        for (int row = 0; row < 2; ++row) {
            const QRect r = c.ListBoxQuery->visualItemRect(c.ListBoxQuery->item(row));
            QCOMPARE(r.height(), 17);
            for (int x : {0, image.width() - 2})
                QCOMPARE(image.pixelColor(x, r.bottom()).rgb(), colours[row].rgb());
        }
    }

    // The panel follows the window's width: the button at the right end, the type list up to
    // it, the pickers sharing its width, the text boxes ending where it ends.
    void panelFollowsTheWidth_data() {
        QTest::addColumn<int>("width");
        QTest::newRow("narrow") << 800;
        QTest::newRow("wide") << 1300;
    }
    void panelFollowsTheWidth() {
        QFETCH(int, width);
        SearchWindow fx;
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        fx.window->resize(width, 700);
        QCoreApplication::processEvents();
        const auto right = [](const QWidget* w) { return w->x() + w->width(); };
        QCOMPARE(right(c.btnSearch), c.PanelSearch->width() - 1);
        QCOMPARE(c.btnSearch->size(), QSize(64, 82));
        QCOMPARE(right(c.comSearchType), c.btnSearch->x() - 3);
        const int picker =
            (c.comSearchType->width() - c.LabelBetween->width() - c.LabelAnd->width()) / 2;
        QCOMPARE(c.dtBetweenDate->width(), picker);
        QCOMPARE(c.dtBetweenDate->x(), right(c.LabelBetween));
        QCOMPARE(c.LabelAnd->x(), right(c.dtBetweenDate) + 1);
        QCOMPARE(right(c.dtAndDate), right(c.comSearchType));
        QCOMPARE(right(c.chNote), right(c.comSearchType));
        QCOMPARE(right(c.chContent), c.chNote->x());
        QCOMPARE(right(c.chSubject), c.chContent->x());
        QCOMPARE(right(c.LabelIn), c.chSubject->x());
        QCOMPARE(c.editInclude->width(), c.comSearchType->width() - c.chSubject->width() -
                                             c.chContent->width() - c.chNote->width() -
                                             c.LabelIn->width() - 9);
        int sections = 0;
        for (int i = 0; i < kSearchSectionCount; ++i)
            sections += c.HeaderControl1->sectionSize(i);
        QCOMPARE(sections, c.HeaderControl1->width());
    }

    void popupMenuOnlyOverResults() {
        SearchWindow fx;
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        QCOMPARE(c.ListBoxQuery->count(), 0);
        QVERIFY(!page.pmQueryPopup(QPoint(10, 10)));
        QVERIFY(!c.pmQuery->isVisible());
        fx.Add(OnceEvent("one", EncodeDate(2027, 1, 5)));
        c.btnSearch->click();
        QVERIFY(page.pmQueryPopup(QPoint(10, 10)));
        QVERIFY(c.pmQuery->isVisible());
        c.pmQuery->hide();
        QStringList items;
        for (QAction* action : c.pmQuery->actions())
            items << action->text();
        QCOMPARE(items, (QStringList{Q("&Add    Event"), Q("&Edit   Event"), Q("&Delete Events"),
                                     QString(), Q("&Select All")}));
    }

    void editOutOfThePeriodSearchesAgain() {
        SearchWindow fx;
        fx.Add(OnceEvent("stays", EncodeDate(2027, 1, 4), EncodeTime(8, 0)));
        const std::int64_t id = fx.Add(HourLong("moves", EncodeDate(2027, 1, 5), 9));
        fx.Add(HourLong("stays too", EncodeDate(2027, 1, 7), 9));
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        fx.Choose(kSearchThisWeek);
        c.ListBoxQuery->setCurrentRow(1);
        QString caption;
        fx.EditWith([&](TmyFormNewOrEdit& editor) {
            caption = editor.windowTitle() + QLatin1Char('|') + editor.btnOK->text();
            editor.dtBeginDate->setDate(QDate(2027, 2, 1));
            editor.dtEndDate->setDate(QDate(2027, 2, 1));
        });
        c.EditEvent1->trigger();
        QCOMPARE(caption, Q("Edit Event|&Save"));
        QCOMPARE(fx.Count("id=" + std::to_string(id) +
                          " and begindate=" + FormatNumber(EncodeDate(2027, 2, 1))),
                 1);
        QCOMPARE(fx.Found(), (std::vector<std::string>{"stays", "stays too"}));
        QCOMPARE(c.ListBoxQuery->currentRow(), 0);
        QCOMPARE(page.SelectedRows(), std::vector<int>{0});

        // Edited within the period: the edited row becomes current, and alone selected.
        c.ListBoxQuery->setCurrentRow(1);
        fx.EditWith([](TmyFormNewOrEdit& editor) { editor.EditSubject->setText(Q("renamed")); });
        Child<QToolButton>(*fx.window, "btnEdit")->click();
        QCOMPARE(fx.Found(), (std::vector<std::string>{"stays", "renamed"}));
        QCOMPARE(c.ListBoxQuery->currentRow(), 1);
        QCOMPARE(page.SelectedRows(), std::vector<int>{1});
        QVERIFY(fx.Shown().isEmpty());
    }

    void addFromThePageSearchesAgain() {
        SearchWindow fx;
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        fx.Choose(kSearchThisWeek);
        QCOMPARE(c.ListBoxQuery->count(), 0);
        // The new event falls on the selected day of the (hidden) month: today.
        fx.EditWith([](TmyFormNewOrEdit& editor) {
            editor.EditSubject->setText(Q("added"));
            editor.chAlarm->setChecked(false);
        });
        c.AddEvent1->trigger();
        QCOMPARE(fx.Found(), std::vector<std::string>{"added"});
        QVERIFY(!fx.window->DatePageShowing());
    }

    void rerunSearchKeepsThePeriod() {
        SearchWindow fx;
        fx.Add(OnceEvent("in May", EncodeDate(2027, 5, 5)));
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        fx.Period(DateOf(2027, 5, 1), DateOf(2027, 5, 31));
        fx.shell->Session().SaveOptions();  // the options announced: the page searches again
        QCOMPARE(fx.Found(), std::vector<std::string>{"in May"});
        QCOMPARE(c.dtBetweenDate->date(), DateOf(2027, 5, 1));
    }

    void helpKeyAsksForTheMainWindowTopic() {
        SearchWindow fx;
        QList<int> asked;
        desktop::SetHelpHandler([&](int context, QWidget*) { asked << context; });
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        QTest::keyClick(c.ListBoxQuery, Qt::Key_F1);
        QTest::keyClick(c.editInclude, Qt::Key_F1);
        desktop::SetHelpHandler({});
        QCOMPARE(asked, (QList<int>{1, 1}));
    }

    // The header's widths are the user's: dragged, they are kept in setup.ini and come back
    // with the next window; the subject takes the rest of the width.
    void sectionWidthsSurviveARestart() {
        SearchWindow fx;
        TSearchPage& page = fx.OpenSearch();
        const SearchControls c(page);
        QHeaderView* header = c.HeaderControl1;
        QCOMPARE(header->sectionSize(0), 120);
        QCOMPARE(header->sectionSize(4), 170);
        int total = 0;
        for (int i = 0; i < kSearchSectionCount; ++i)
            total += header->sectionSize(i);
        QCOMPARE(total, header->width());

        // Drag the end of "End Time" 30 pixels to the right.
        const int edge = header->sectionViewportPosition(2) + header->sectionSize(2) - 1;
        const int y = header->height() / 2;
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, y));
        QMouseEvent move(QEvent::MouseMove, QPointF(edge + 30, y),
                         header->viewport()->mapToGlobal(QPointF(edge + 30, y)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(header->viewport(), &move);
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 30, y));
        QCOMPARE(header->sectionSize(2), 150);
        const platform::ProfileFile ini(fx.store.dm->SetupIniPath());
        QCOMPARE(ini.readInteger("SearchHeader", "EndTime", 0), 150);

        fx.Close();
        const SearchControls again(fx.OpenSearch());
        QCOMPARE(again.HeaderControl1->sectionSize(2), 150);
        QCOMPARE(again.HeaderControl1->sectionSize(0), 120);
    }

    // Switch to the page, type a keyword, search, double-click the result, rename it in the
    // editor, save, and find the new subject in the list.
    void userFindsAndRenamesAnEvent() {
        SearchWindow fx;
        tfield dentist = HourLong("Dentist", EncodeDate(2027, 3, 2), 9);
        dentist.content = "Bring the card";
        fx.Add(dentist);
        fx.Add(OnceEvent("Gym", EncodeDate(2027, 3, 3)));
        fx.Open();
        QTabBar* tabs = Child<QTabWidget>(*fx.window, "PageControl1")->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        TSearchPage& page = fx.Page();
        const SearchControls c(page);
        QVERIFY(page.isVisible());
        QCOMPARE(c.ListBoxQuery->count(), 2);

        QTest::mouseClick(c.chtext, Qt::LeftButton);
        QVERIFY(c.editInclude->isEnabled());
        c.editInclude->setFocus();
        QTest::keyClicks(c.editInclude, Q("dENTi"));
        QTest::mouseClick(c.btnSearch, Qt::LeftButton);
        QCOMPARE(c.ListBoxQuery->count(), 1);
        QCOMPARE(c.MemoContent->toPlainText(), Q("Bring the card"));

        fx.EditWith([](TmyFormNewOrEdit& editor) {
            editor.EditSubject->setText(Q("Dentist (moved to 10:00)"));
        });
        const QRect row = c.ListBoxQuery->visualItemRect(c.ListBoxQuery->item(0));
        QTest::mouseClick(c.ListBoxQuery->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(c.ListBoxQuery->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(fx.dialogsShown, 1);
        QCOMPARE(c.ListBoxQuery->count(), 1);
        const TFieldForDisplay texts = fx.store.dm->MakeDisplayTexts(page.Found()[0]);
        QCOMPARE(texts.SubjectText, std::string("Dentist (moved to 10:00)"));
        QCOMPARE(fx.Count("subject='Dentist (moved to 10:00)'"), 1);
    }
};

QTEST_MAIN(TestSearchPage)
#include "test_searchpage.moc"
