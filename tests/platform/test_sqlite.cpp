// The database layer against a real event table: opening, walking, writing through the
// result set and the statements the program builds.

#include <sqlite3.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/Sqlite.h"
#include "support/TestText.h"

using qcal::platform::Database;
using qcal::platform::DbError;
using qcal::platform::Query;

using namespace qcal::test;

namespace {

// The message of the DbError thrown by f, or nullopt when it throws none.
std::optional<std::string> ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const DbError& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

// Ids of the rows of a select, in the order given.
QList<qint64> Ids(Database& db, const std::string& sql) {
    Query q(db);
    q.setSql(sql);
    q.open();
    QList<qint64> ids;
    for (; !q.eof(); q.next())
        ids.append(q.asInteger("id"));
    return ids;
}

struct Row {
    const char* subject;
    const char* layer;
    bool alert;
    int repeatType;
    double lastFileTime;
    double beginDate;
    double beginTime;
    double endDate;
    double endTime;
};

}  // namespace

class TestSqlite : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::string path_;

    // A fresh event database built from the schema the build uses.
    void makeDatabase() {
        path_ = Std(dir_.filePath(QStringLiteral("user.mdb")));
        QFile::remove(QString::fromStdString(path_));
        QFile schema(QStringLiteral(QCAL_SCHEMA_SQL));
        QVERIFY(schema.open(QIODevice::ReadOnly));
        const QByteArray sql = schema.readAll();
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                 nullptr),
                 SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    static qint64 AppendRow(Database& db, const Row& r) {
        Query q(db);
        q.setSql("select * from eventtable where id=-1");
        q.open();
        q.append();
        q.setString("subject", r.subject);
        q.setString("layername", r.layer);
        q.setBool("alert", r.alert);
        q.setInteger("repeatType", r.repeatType);
        q.setDouble("lastFileTime", r.lastFileTime);
        q.setDouble("begindate", r.beginDate);
        q.setDouble("beginTime", r.beginTime);
        q.setDouble("enddate", r.endDate);
        q.setDouble("endtime", r.endTime);
        q.post();
        return db.lastInsertRowId();
    }

    // Six events around 3 January 2027 10:30 (46388.4375).
    static void AppendFixture(Database& db) {
        const Row rows[] = {
            {"Visit dentist", "Work", true, 0, 0, 46388, 0.375, 46388, 0.4},
            {"Team meeting", "Work", true, 1, 46387.5, 46380, 0.25, 46400, 0.5},
            {"Dentist follow-up", "Home", true, 2, 46388.1, 46380, 0.3, 46400, 0.5},
            {"Birthday", "Home", false, 0, 0, 46388, 0.1, 46388, 0.2},
            {"Late thing", "Work", true, 0, 0, 46388, 0.5, 46388, 0.6},
            {"Archived", "Other", true, 0, 1.5, 46387, 0.2, 46387, 0.3},
        };
        for (const Row& r : rows)
            AppendRow(db, r);
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }
    void init() { makeDatabase(); }

    void openFailures_data() {
        QTest::addColumn<QByteArray>("content");  // written to the file; null: no file
        QTest::addColumn<bool>("makeFolder");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file")
            << QByteArray() << false << QStringLiteral("unable to open database file");
        QTest::newRow("garbage file")
            << QByteArray("This is a note, not a database.\n").repeated(200) << false
            << QStringLiteral("file is not a database");
        QTest::newRow("folder") << QByteArray() << true
                                << QStringLiteral("unable to open database file");
    }
    void openFailures() {
        QFETCH(QByteArray, content);
        QFETCH(bool, makeFolder);
        QFETCH(QString, message);
        const QString path = dir_.filePath(QStringLiteral("other.mdb"));
        QFile::remove(path);
        QDir(path).removeRecursively();
        if (makeFolder)
            QVERIFY(QDir().mkpath(path));
        if (!content.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }

        Database db;
        const auto error = ErrorOf([&] { db.open(Std(path)); });
        QVERIFY(error.has_value());
        QVERIFY2(QString::fromStdString(*error).contains(message), error->c_str());
        QVERIFY(!db.isOpen());
        QCOMPARE(QFileInfo::exists(path), !content.isNull() || makeFolder);
        if (!content.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), content);  // a failed open never writes
        }
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-journal")));
    }

    void openDeliveredDatabase() {
        const QString path = dir_.filePath(QStringLiteral("delivered.mdb"));
        QFile::remove(path);
        QVERIFY(QFile::copy(QStringLiteral(QCAL_DELIVERED_DB), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        {
            Database db;
            db.open(Std(path));
            QCOMPARE(db.path(), Std(path));
            Query q(db);
            q.setSql("PRAGMA journal_mode");
            q.open();
            QCOMPARE(q.asString("journal_mode"), std::string("delete"));
            q.setSql("SELECT count(*) AS total FROM eventtable");
            q.open();
            QCOMPARE(q.asInteger("total"), 0);
            AppendRow(db, {"x", "y", false, 0, 0, 1, 0, 1, 0});
        }
        // Closed, the database is one self-contained file.
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-journal")));
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-wal")));
    }

    void textRoundTrip_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("plain") << QByteArray("Dentist");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("quotes") << QByteArray("O'Brien's \"big\" day '' \"\"");
        QTest::newRow("statement text") << QByteArray("x'); delete from eventtable; --");
        QTest::newRow("line breaks") << QByteArray("one\r\ntwo\nthree\r");
        QTest::newRow("unicode") << QString::fromUtf8("Zoë – 日本語 🎉").toUtf8();
        QTest::newRow("wildcards") << QByteArray("100% _done_ \\ $x ?1 :a @b");
        QTest::newRow("nul byte") << QByteArray("before\0after", 12);
        QTest::newRow("long") << QByteArray(100000, 'q');
    }
    void textRoundTrip() {
        QFETCH(QByteArray, text);
        const std::string value = Std(text);
        Database db;
        db.open(path_);
        AppendRow(db, {"keep", "keep", false, 0, 0, 1, 0, 1, 0});
        Query q(db);
        q.setSql("select * from eventtable");
        q.open();
        q.append();
        q.setString("subject", value);
        q.setString("content", value);
        q.post();
        const qint64 id = db.lastInsertRowId();

        q.setSql("select * from eventtable where id=" + std::to_string(id));
        q.open();
        QCOMPARE(q.asString("subject"), value);
        QCOMPARE(q.asString("content"), value);
        q.edit();
        q.setString("mynote", value);
        q.setString("subject", value + value);
        q.post();

        q.open();
        QCOMPARE(q.asString("mynote"), value);
        QCOMPARE(q.asString("subject"), value + value);
        QCOMPARE(Ids(db, "select id from eventtable order by id"), (QList<qint64>{1, id}));
        QCOMPARE(Ids(db, "select id from eventtable where subject='keep'"), QList<qint64>{1});
    }

    void editWhileWalking_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QList<qint64>>("ids");
        QTest::newRow("table order") << QStringLiteral("select * from eventtable order by id")
                                     << QList<qint64>{1, 2, 3, 4, 5, 6};
        QTest::newRow("due alarms")
            << QStringLiteral(
                   "select * from eventtable  where (alert=true) and (((repeatType=0) and "
                   "(lastFileTime<1) and (beginDate+beginTime<=46388.4375)) or ((repeatType<>0) "
                   "and (lastFileTime<=endDate+endTime) and (beginDate+beginTime<=46388.4375) and "
                   " (not ((lastFileTime>=46388) and (lastFileTime<46389))))) order by begintime")
            << QList<qint64>{2, 1};
        QTest::newRow("index order")
            << QStringLiteral("select * from eventtable where alert=1 order by alert, beginTime")
            << QList<qint64>{6, 2, 3, 1, 5};
    }
    void editWhileWalking() {
        // The alarm check archives each due row while it walks them.
        QFETCH(QString, sql);
        QFETCH(QList<qint64>, ids);
        Database db;
        db.open(path_);
        AppendFixture(db);
        Query walk(db);
        walk.setSql(Std(sql));
        walk.open();
        QList<qint64> seen;
        for (; !walk.eof(); walk.next()) {
            const qint64 id = walk.asInteger("id");
            seen.append(id);
            walk.edit();
            walk.setDouble("lastFileTime", 46388.4375);
            walk.setString("MyNote", "archived " + std::to_string(id));
            walk.post();
            QVERIFY(!walk.editing());
            QCOMPARE(walk.asInteger("id"), id);  // still on the same row
        }
        QCOMPARE(seen, ids);
        Query check(db);
        check.setSql("select * from eventtable where lastFileTime=46388.4375 order by id");
        check.open();
        QList<qint64> archived;
        for (; !check.eof(); check.next()) {
            const qint64 id = check.asInteger("id");
            archived.append(id);
            QCOMPARE(check.asString("mynote"), "archived " + std::to_string(id));
        }
        std::sort(ids.begin(), ids.end());
        QCOMPARE(archived, ids);
    }

    void fieldNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("known");
        QTest::newRow("as in schema") << QStringLiteral("layername") << true;
        QTest::newRow("upper") << QStringLiteral("LAYERNAME") << true;
        QTest::newRow("mixed") << QStringLiteral("LayerName") << true;
        QTest::newRow("camel in schema") << QStringLiteral("begintime") << true;
        QTest::newRow("id") << QStringLiteral("ID") << true;
        QTest::newRow("unknown") << QStringLiteral("layer") << false;
        QTest::newRow("prefix of longer") << QStringLiteral("monthEvery") << false;
        QTest::newRow("blank") << QStringLiteral(" subject") << false;
    }
    void fieldNames() {
        QFETCH(QString, name);
        QFETCH(bool, known);
        Database db;
        db.open(path_);
        AppendRow(db, {"s", "Work", true, 0, 0, 46388, 0.75, 46388, 0.8});
        Query q(db);
        q.setSql("select * from eventtable");
        q.open();
        QCOMPARE(q.fieldCount(), 36);
        QCOMPARE(q.hasField(Std(name)), known);
        QCOMPARE(ErrorOf([&] { q.asString(Std(name)); }).has_value(), !known);
        q.edit();
        QCOMPARE(ErrorOf([&] { q.setString(Std(name), "1"); }).has_value(), !known);
        q.post();
        if (known) {
            q.open();
            QCOMPARE(q.asInteger(Std(name)), 1);  // "1" in a REAL column reads "1.0"
        }
    }

    void conversions_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("stored");  // SQL literal
        QTest::addColumn<qint64>("integer");
        QTest::addColumn<double>("real");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("null");
        QTest::newRow("null text")
            << Q("content") << Q("NULL") << qint64(0) << 0.0 << Q("") << true;
        QTest::newRow("null real")
            << Q("begindate") << Q("NULL") << qint64(0) << 0.0 << Q("") << true;
        QTest::newRow("null integer")
            << Q("alert") << Q("NULL") << qint64(0) << 0.0 << Q("") << true;
        QTest::newRow("real") << Q("begindate") << Q("46388.75") << qint64(46388) << 46388.75
                              << Q("46388.75") << false;
        QTest::newRow("negative real")
            << Q("begindate") << Q("-1.5") << qint64(-1) << -1.5 << Q("-1.5") << false;
        QTest::newRow("integer") << Q("alert") << Q("1") << qint64(1) << 1.0 << Q("1") << false;
        QTest::newRow("big integer") << Q("repeatType") << Q("5000000000") << qint64(5000000000)
                                     << 5e9 << Q("5000000000") << false;
        QTest::newRow("numeric text")
            << Q("mynote") << Q("'3.25'") << qint64(3) << 3.25 << Q("3.25") << false;
        QTest::newRow("word") << Q("mynote") << Q("'yes'") << qint64(0) << 0.0 << Q("yes") << false;
    }
    void conversions() {
        QFETCH(QString, field);
        QFETCH(QString, stored);
        QFETCH(qint64, integer);
        QFETCH(double, real);
        QFETCH(QString, text);
        QFETCH(bool, null);
        Database db;
        db.open(path_);
        db.exec(Std(QStringLiteral("insert into eventtable (%1) values (%2)").arg(field, stored)));
        Query q(db);
        q.setSql("select * from eventtable");
        q.open();
        QCOMPARE(q.isNull(Std(field)), null);
        QCOMPARE(q.asInteger(Std(field)), integer);
        QCOMPARE(q.asDouble(Std(field)), real);
        QCOMPARE(q.asString(Std(field)), Std(text));
        QCOMPARE(q.asBool(Std(field)), integer != 0);
    }

    void failingStatements_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("message");
        QTest::newRow("syntax") << Q("selec * from eventtable") << true << Q("syntax error");
        QTest::newRow("unknown column")
            << Q("select * from eventtable where nosuch=1") << true << Q("no such column: nosuch");
        QTest::newRow("unknown table")
            << Q("select * from events") << true << Q("no such table: events");
        QTest::newRow("empty") << Q("   ") << true << Q("empty statement");
        QTest::newRow("command syntax")
            << Q("delete eventtable where id=1") << false << Q("syntax error");
        QTest::newRow("command column")
            << Q("update eventtable set nosuch=1") << false << Q("no such column: nosuch");
        QTest::newRow("constraint")
            << Q("insert into eventtable (id) values ('x')") << false << Q("datatype mismatch");
        // A layer name read with a NUL byte: the cause, not the engine's "unrecognized token".
        static constexpr char kNul[] = "select * from eventtable where layername in ('Wo\0rk')";
        QTest::newRow("NUL byte in a text")
            << QString::fromUtf8(kNul, sizeof kNul - 1) << true << Q("holds a NUL byte");
    }
    void failingStatements() {
        QFETCH(QString, sql);
        QFETCH(bool, select);
        QFETCH(QString, message);
        Database db;
        db.open(path_);
        Query q(db);
        q.setSql(Std(sql));
        const auto error = ErrorOf([&] { select ? q.open() : db.exec(Std(sql)); });
        QVERIFY(error.has_value());
        QVERIFY2(QString::fromStdString(*error).contains(message), error->c_str());
        QVERIFY(!q.active());
        QVERIFY(q.eof());
        // The connection stays usable.
        QCOMPARE(Ids(db, "select id from eventtable"), QList<qint64>{});
    }

    void programStatements_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QList<qint64>>("ids");
        QTest::newRow("search like")
            << Q("select * from eventtable where (subject  like '%dentist%') order by id")
            << QList<qint64>{1, 3};
        QTest::newRow("search like and layer") << Q("select * from eventtable where (subject  like "
                                                    "'%dentist%') and (layername='Home')")
                                               << QList<qint64>{3};
        QTest::newRow("id list") << Q("select lastFileTime,id from eventtable where id in (3)")
                                 << QList<qint64>{3};
        QTest::newRow("text list")
            << Q("select * from eventtable where layername in ('Work','Other') order by id")
            << QList<qint64>{1, 2, 5, 6};
        QTest::newRow("not") << Q("select * from eventtable where not (alert=true) order by id")
                             << QList<qint64>{4};
        QTest::newRow("several orders")
            << Q("select * from eventtable order by layername desc, begindate, beginTime")
            << QList<qint64>{2, 1, 5, 6, 3, 4};
        QTest::newRow("date range")
            << Q("select * from eventtable where (enddate+endtime>=46388) and "
                 "(begindate<46389.0000115741) order by id")
            << QList<qint64>{1, 2, 3, 4, 5};
        QTest::newRow("identifiers in any case")
            << Q("SELECT * FROM EventTable WHERE LAYERNAME='Home' ORDER BY BEGINTIME")
            << QList<qint64>{4, 3};
    }
    void programStatements() {
        QFETCH(QString, sql);
        QFETCH(QList<qint64>, ids);
        Database db;
        db.open(path_);
        AppendFixture(db);
        QCOMPARE(Ids(db, Std(sql)), ids);
    }

    void countAndDelete() {
        Database db;
        db.open(path_);
        AppendFixture(db);
        Query q(db);
        q.setSql("SELECT count(*) AS total FROM eventtable WHERE layername='Work'");
        q.open();
        QCOMPARE(q.asInteger("TOTAL"), 3);
        q.close();

        db.exec("delete from eventtable where id in  (1,2) ");
        QCOMPARE(db.changes(), 2);
        QCOMPARE(Ids(db, "select id from eventtable order by id"), (QList<qint64>{3, 4, 5, 6}));
        q.open();
        QCOMPARE(q.asInteger("total"), 1);
    }

    // Each call runs the one statement it is given; a second one after it is refused before
    // anything runs, whether it comes to a command or to a select.
    void oneStatementPerCall_data() {
        static constexpr char kHidden[] =
            "delete from eventtable where id=1\0delete from eventtable";
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("select");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("command") << Q("delete from eventtable where id=1") << false << true;
        QTest::newRow("command and semicolon")
            << Q("delete from eventtable where id=1 ; \n") << false << true;
        QTest::newRow("select and semicolon")
            << Q("select * from eventtable where id=1;") << true << true;
        QTest::newRow("second command")
            << Q("delete from eventtable where id=1; delete from eventtable") << false << false;
        QTest::newRow("command after a select")
            << Q("select * from eventtable where layername='x'; DELETE FROM eventtable; --'")
            << true << false;
        QTest::newRow("comment after the end")
            << Q("delete from eventtable where id=1; -- done") << false << false;
        QTest::newRow("two semicolons")
            << Q("delete from eventtable where id=1;;delete from eventtable") << false << false;
        QTest::newRow("hidden after a zero byte")
            << QString::fromUtf8(kHidden, sizeof kHidden - 1) << false << false;
    }
    void oneStatementPerCall() {
        QFETCH(QString, sql);
        QFETCH(bool, select);
        QFETCH(bool, accepted);
        Database db;
        db.open(path_);
        AppendFixture(db);
        Query q(db);
        const std::string text = sql.toStdString();
        q.setSql(text);
        const auto error = ErrorOf([&] { select ? q.open() : db.exec(text); });
        QCOMPARE(!error.has_value(), accepted);
        q.close();
        const qsizetype left = Ids(db, "select id from eventtable").size();
        QCOMPARE(left, (accepted && !select) ? 5 : 6);
    }

    void textLiterals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("literal");
        QTest::newRow("plain") << Q("Work") << Q("'Work'");
        QTest::newRow("empty") << Q("") << Q("''");
        QTest::newRow("quote inside") << Q("Wo'rk") << Q("'Wo''rk'");
        QTest::newRow("quotes only") << Q("''") << Q("''''''");
        QTest::newRow("statement inside")
            << Q("x'; DELETE FROM eventtable; --") << Q("'x''; DELETE FROM eventtable; --'");
        QTest::newRow("double quotes and unicode") << Q("\"ünï\"") << Q("'\"ünï\"'");
    }
    void textLiterals() {
        QFETCH(QString, text);
        QFETCH(QString, literal);
        const std::string literalText = qcal::platform::SqlLiteral(Std(text));
        QCOMPARE(QString::fromStdString(literalText), literal);
        // The engine reads the literal back as the text itself.
        Database db;
        db.open(path_);
        Query q(db);
        q.setSql("select " + literalText + " as t");
        q.open();
        QCOMPARE(QString::fromStdString(q.asString("t")), text);
    }

    void idsNeverZeroNorReused() {
        Database db;
        db.open(path_);
        const qint64 first = AppendRow(db, {"a", "L", false, 0, 0, 1, 0, 1, 0});
        const qint64 second = AppendRow(db, {"b", "L", false, 0, 0, 1, 0, 1, 0});
        QVERIFY(first > 0);
        QVERIFY(second > first);
        db.exec("delete from eventtable where id in (" + std::to_string(second) + ")");
        const qint64 third = AppendRow(db, {"c", "L", false, 0, 0, 1, 0, 1, 0});
        QVERIFY(third > second);
        db.exec("delete from eventtable");
        db.close();
        db.open(path_);
        const qint64 fourth = AppendRow(db, {"d", "L", false, 0, 0, 1, 0, 1, 0});
        QVERIFY(fourth > third);
        QCOMPARE(Ids(db, "select id from eventtable"), QList<qint64>{fourth});
    }

    void closeEndsQueries() {
        Database db;
        db.open(path_);
        AppendFixture(db);
        Query walking(db);
        walking.setSql("select * from eventtable");
        walking.open();
        walking.next();
        Query editing(db);
        editing.setSql("select * from eventtable");
        editing.open();
        editing.edit();
        editing.setString("subject", "never written");

        db.close();
        QVERIFY(!db.isOpen());
        QVERIFY(!walking.active());
        QVERIFY(walking.eof());
        QVERIFY(!editing.editing());
        QCOMPARE(ErrorOf([&] { walking.open(); }),
                 std::optional<std::string>("database is not open"));
        QVERIFY(ErrorOf([&] { db.exec("delete from eventtable"); }).has_value());
        QVERIFY(ErrorOf([&] { walking.asString("subject"); }).has_value());
        QVERIFY(!QFileInfo::exists(QString::fromStdString(path_) + QStringLiteral("-journal")));

        db.open(path_);
        walking.open();
        QCOMPARE(walking.asString("subject"), std::string("Visit dentist"));
        QCOMPARE(Ids(db, "select id from eventtable where subject='never written'"),
                 QList<qint64>{});
    }

    void queryOutlivesDatabase() {
        auto db = std::make_unique<Database>();
        db->open(path_);
        Query q(*db);
        q.setSql("select * from eventtable");
        q.open();
        db.reset();
        QVERIFY(!q.active());
        QCOMPARE(ErrorOf([&] { q.open(); }), std::optional<std::string>("database is not open"));
    }

    void writeStateErrors() {
        Database db;
        db.open(path_);
        AppendFixture(db);
        Query q(db);

        q.setSql("select subject from eventtable");
        q.open();
        QVERIFY(ErrorOf([&] { q.edit(); }).has_value());  // no id to write back by
        QVERIFY(ErrorOf([&] { q.setString("subject", "x"); }).has_value());  // not editing

        q.setSql("select * from eventtable where id=-1");
        q.open();
        QVERIFY(q.isEmpty());
        QVERIFY(ErrorOf([&] { q.edit(); }).has_value());  // no current row
        QVERIFY(ErrorOf([&] { q.asInteger("id"); }).has_value());

        q.setSql("select 1 as id");
        q.open();
        QVERIFY(ErrorOf([&] { q.append(); }).has_value());  // no table to write to

        // An edit of a row deleted meanwhile is reported, and nothing else changes.
        q.setSql("select * from eventtable where id=4");
        q.open();
        q.edit();
        q.setString("subject", "lost");
        db.exec("delete from eventtable where id=4");
        QVERIFY(ErrorOf([&] { q.post(); }).has_value());
        QVERIFY(q.editing());
        q.cancel();
        QVERIFY(!q.editing());
        QCOMPARE(Ids(db, "select id from eventtable where subject='lost'"), QList<qint64>{});

        // Cancel drops pending values.
        q.setSql("select * from eventtable where id=1");
        q.open();
        q.edit();
        q.setString("subject", "changed");
        q.cancel();
        q.post();
        QCOMPARE(Ids(db, "select id from eventtable where subject='Visit dentist'"),
                 QList<qint64>{1});
    }

    void appendKeepsCursor() {
        Database db;
        db.open(path_);
        AppendFixture(db);
        Query q(db);
        q.setSql("select * from eventtable where id<=3 order by id");
        q.open();
        q.next();
        QCOMPARE(q.asInteger("id"), 2);
        q.append();
        q.setString("subject", "first new");
        q.append();  // posts the pending row first
        q.setString("subject", "second new");
        q.post();
        QCOMPARE(q.asInteger("id"), 2);
        q.next();
        QCOMPARE(q.asInteger("id"), 3);
        q.next();
        QVERIFY(q.eof());
        QVERIFY(!q.isEmpty());
        QCOMPARE(Ids(db, "select id from eventtable where subject like '% new' order by id"),
                 (QList<qint64>{7, 8}));
    }

    void waitsForOtherWriter() {
        // Another process holding the write lock for a moment delays a write, it does not fail.
        Database db;
        db.open(path_);
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open_v2(path_.c_str(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other,
                              "BEGIN IMMEDIATE; insert into eventtable (subject) values "
                              "('other')",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        std::thread release([other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        });
        const auto error = ErrorOf([&] { AppendRow(db, {"mine", "L", false, 0, 0, 1, 0, 1, 0}); });
        release.join();
        sqlite3_close(other);
        QVERIFY2(!error.has_value(), error ? error->c_str() : "");
        QCOMPARE(Ids(db, "select id from eventtable order by id"), (QList<qint64>{1, 2}));
    }

    void tableOfSelect_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("table");
        QTest::newRow("plain") << Q("select * from eventtable") << Q("eventtable");
        QTest::newRow("upper") << Q("SELECT * FROM EventTable WHERE id=1") << Q("EventTable");
        QTest::newRow("line break")
            << Q("select *\nfrom\n  eventtable\nwhere x") << Q("eventtable");
        QTest::newRow("word containing from")
            << Q("select datefrom, fromage from eventtable") << Q("eventtable");
        QTest::newRow("from in literal")
            << Q("select 'from x' as a from eventtable where subject='a from b'")
            << Q("eventtable");
        QTest::newRow("schema") << Q("select * from main.eventtable") << Q("main.eventtable");
        QTest::newRow("quoted") << Q("select * from \"event table\" where 1")
                                << Q("\"event table\"");
        QTest::newRow("no from") << Q("select 1") << Q("");
        QTest::newRow("from at end") << Q("select * from ") << Q("");
    }
    void tableOfSelect() {
        QFETCH(QString, sql);
        QFETCH(QString, table);
        QCOMPARE(QString::fromStdString(qcal::platform::TableOfSelect(Std(sql))), table);
    }
};

QTEST_GUILESS_MAIN(TestSqlite)
#include "test_sqlite.moc"
