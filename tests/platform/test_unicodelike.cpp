// The LIKE operator of the connection: case folding across scripts, the wildcards counted in
// characters, escapes, NULL, text that is not valid UTF-8, and patterns that would make a
// backtracking matcher run for ever.

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <string>

#include "platform/Sqlite.h"
#include "support/TestText.h"

using qcal::platform::Database;
using qcal::platform::DbError;
using qcal::platform::Query;

using namespace qcal::test;

namespace {

// The bytes as a text expression; hex keeps quotes and invalid UTF-8 intact.
std::string TextOf(const QByteArray& bytes) {
    return "CAST(x'" + Std(bytes.toHex()) + "' AS TEXT)";
}

constexpr int kNull = -1;

}  // namespace

class TestUnicodeLike : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<Database> db_;

    // 1, 0, or kNull for the one value a select answers.
    int answer(const std::string& expression) {
        Query q(*db_);
        q.setSql("select " + expression + " as r");
        q.open();
        return q.isNull("r") ? kNull : int(q.asInteger("r"));
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        const QString path = dir_.filePath(QStringLiteral("like.db"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));  // an empty file is an empty database
        file.close();
        db_ = std::make_unique<Database>();
        db_->open(Std(path));
    }

    void matches_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("expected");

        // German; ß folds to "ss" but stays one character for "_".
        QTest::newRow("ärzte finds ÄRZTE") << QByteArray("ärzte") << QByteArray("ÄRZTE") << true;
        QTest::newRow("ÄRZTE finds ärzte") << QByteArray("ÄRZTE") << QByteArray("ärzte") << true;
        QTest::newRow("umlaut is not its base")
            << QByteArray("arzte") << QByteArray("ÄRZTE") << false;
        QTest::newRow("STRASSE finds straße")
            << QByteArray("STRASSE") << QByteArray("straße") << true;
        QTest::newRow("straße finds STRASSE")
            << QByteArray("straße") << QByteArray("STRASSE") << true;
        QTest::newRow("capital sharp s") << QByteArray("STRAẞE") << QByteArray("strasse") << true;
        QTest::newRow("_ takes the whole ß")
            << QByteArray("stra_e") << QByteArray("Straße") << true;
        QTest::newRow("__ is not one ß") << QByteArray("stra__e") << QByteArray("Straße") << false;
        QTest::newRow("_ is one s of SS") << QByteArray("stra_e") << QByteArray("STRASSE") << false;
        QTest::newRow("ss ends on the ß") << QByteArray("%sse") << QByteArray("Straße") << true;
        QTest::newRow("no match inside ß") << QByteArray("%se") << QByteArray("Straße") << false;

        // Turkish: dotted and dotless i both meet plain i.
        QTest::newRow("istanbul finds İstanbul")
            << QByteArray("istanbul") << QByteArray("İstanbul") << true;
        QTest::newRow("İSTANBUL finds istanbul")
            << QByteArray("İSTANBUL") << QByteArray("istanbul") << true;
        QTest::newRow("ISTANBUL finds İstanbul")
            << QByteArray("ISTANBUL") << QByteArray("İstanbul") << true;
        QTest::newRow("ırmak finds IRMAK") << QByteArray("ırmak") << QByteArray("IRMAK") << true;
        QTest::newRow("IRMAK finds ırmak") << QByteArray("IRMAK") << QByteArray("ırmak") << true;
        QTest::newRow("_ takes the whole İ")
            << QByteArray("_stanbul") << QByteArray("İstanbul") << true;
        QTest::newRow("İ is no other letter")
            << QByteArray("j%") << QByteArray("İstanbul") << false;

        // Greek, with the final sigma.
        QTest::newRow("σίσυφος finds ΣΊΣΥΦΟΣ")
            << QByteArray("σίσυφος") << QByteArray("ΣΊΣΥΦΟΣ") << true;
        QTest::newRow("ΣΊΣΥΦΟΣ finds σίσυφος")
            << QByteArray("ΣΊΣΥΦΟΣ") << QByteArray("σίσυφος") << true;
        QTest::newRow("final sigma is sigma") << QByteArray("%ς") << QByteArray("ΣΊΣΥΦΟΣ") << true;
        QTest::newRow("sigma is final sigma") << QByteArray("σ%σ") << QByteArray("σίσυφος") << true;
        QTest::newRow("accents count") << QByteArray("σισυφος") << QByteArray("ΣΊΣΥΦΟΣ") << false;

        // Cyrillic.
        QTest::newRow("привет finds ПРИВЕТ")
            << QByteArray("привет") << QByteArray("ПРИВЕТ") << true;
        QTest::newRow("ПРИВЕТ finds привет") << QByteArray("%ВЕТ") << QByteArray("привет") << true;
        QTest::newRow("_ over a Cyrillic letter")
            << QByteArray("пр_вет") << QByteArray("ПРИВЕТ") << true;
        QTest::newRow("longer word") << QByteArray("приветы") << QByteArray("ПРИВЕТ") << false;

        // The wildcards.
        QTest::newRow("empty matches empty") << QByteArray("") << QByteArray("") << true;
        QTest::newRow("empty is not a") << QByteArray("") << QByteArray("a") << false;
        QTest::newRow("% matches empty") << QByteArray("%") << QByteArray("") << true;
        QTest::newRow("_ needs a character") << QByteArray("_") << QByteArray("") << false;
        QTest::newRow("whole text only") << QByteArray("ab") << QByteArray("abc") << false;
        QTest::newRow("prefix") << QByteArray("a%") << QByteArray("abc") << true;
        QTest::newRow("suffix") << QByteArray("%c") << QByteArray("abc") << true;
        QTest::newRow("suffix too long") << QByteArray("%abc") << QByteArray("bc") << false;
        QTest::newRow("keyword") << QByteArray("%dentist%") << QByteArray("Call the DENTIST!")
                                 << true;
        QTest::newRow("keyword missing")
            << QByteArray("%dentist%") << QByteArray("dent ist") << false;
        QTest::newRow("a_c") << QByteArray("a_c") << QByteArray("abc") << true;
        QTest::newRow("a_c on ac") << QByteArray("a_c") << QByteArray("ac") << false;
        QTest::newRow("a%c on ac") << QByteArray("a%c") << QByteArray("ac") << true;
        QTest::newRow("%% twice") << QByteArray("a%%c") << QByteArray("abbc") << true;
        QTest::newRow("in order") << QByteArray("%a%b%c%") << QByteArray("xAyBzC") << true;
        QTest::newRow("out of order") << QByteArray("%a%b%c%") << QByteArray("cba") << false;
        QTest::newRow("overlapping parts")
            << QByteArray("%aba%aba") << QByteArray("ababa") << false;
        QTest::newRow("parts after each other")
            << QByteArray("%aba%aba") << QByteArray("abaaba") << true;
        QTest::newRow("_%_ on one") << QByteArray("_%_") << QByteArray("a") << false;
        QTest::newRow("_%_ on two") << QByteArray("_%_") << QByteArray("ab") << true;
        QTest::newRow("_ over ä") << QByteArray("_") << QByteArray("ä") << true;
        QTest::newRow("__ over ä") << QByteArray("__") << QByteArray("ä") << false;
        QTest::newRow("_ over €") << QByteArray("a_c") << QByteArray("a€c") << true;
        QTest::newRow("_ over a four-byte letter") << QByteArray("x_") << QByteArray("x😀") << true;
        QTest::newRow("% then _ over multi-byte") << QByteArray("%_й") << QByteArray("жй") << true;
        QTest::newRow("pattern letter folds to ASCII")
            << QByteArray(
                   "\xe2\x84\xaa"
                   "elvin")
            << QByteArray("kelvin") << true;  // Kelvin sign

        // Text that is not valid UTF-8: each bad byte is one character that matches itself.
        QTest::newRow("_ over a bad byte") << QByteArray("a_c")
                                           << QByteArray(
                                                  "a\xff"
                                                  "c")
                                           << true;
        QTest::newRow("bad byte matches itself")
            << QByteArray("%\xfe") << QByteArray("x\xfe") << true;
        QTest::newRow("bad bytes differ") << QByteArray("\xff") << QByteArray("\xfe") << false;
        QTest::newRow("cut sequence is bytes")
            << QByteArray("__") << QByteArray("\xe2\x82") << true;
        QTest::newRow("cut sequence is no letter")
            << QByteArray("ä") << QByteArray("\xc3") << false;
        QTest::newRow("overlong slash") << QByteArray("/") << QByteArray("\xc0\xaf") << false;
        QTest::newRow("overlong is two bytes")
            << QByteArray("__") << QByteArray("\xc0\xaf") << true;
        QTest::newRow("surrogate is three bytes")
            << QByteArray("___") << QByteArray("\xed\xa0\x80") << true;
        QTest::newRow("bad pattern byte") << QByteArray("%\xc3%") << QByteArray("x\xc3y") << true;
        QTest::newRow("bad then good") << QByteArray("\xc3_") << QByteArray("\xc3\xc3\xa4") << true;
    }

    void matches() {
        QFETCH(QByteArray, pattern);
        QFETCH(QByteArray, text);
        QFETCH(bool, expected);
        QCOMPARE(answer("like(" + TextOf(pattern) + "," + TextOf(text) + ")"), expected ? 1 : 0);
        // The operator form reaches the same function.
        QCOMPARE(answer(TextOf(text) + " like " + TextOf(pattern)), expected ? 1 : 0);
        QCOMPARE(answer(TextOf(text) + " not like " + TextOf(pattern)), expected ? 0 : 1);
    }

    void escapes_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("escape");
        QTest::addColumn<bool>("expected");
        QTest::newRow("escaped %")
            << QByteArray("10\\%") << QByteArray("10%") << QByteArray("\\") << true;
        QTest::newRow("escaped % is no wildcard")
            << QByteArray("10\\%") << QByteArray("100") << QByteArray("\\") << false;
        QTest::newRow("escaped _")
            << QByteArray("a\\_c") << QByteArray("a_c") << QByteArray("\\") << true;
        QTest::newRow("escaped _ is no wildcard")
            << QByteArray("a\\_c") << QByteArray("abc") << QByteArray("\\") << false;
        QTest::newRow("escaped escape")
            << QByteArray("a\\\\b") << QByteArray("a\\b") << QByteArray("\\") << true;
        QTest::newRow("escaped letter folds")
            << QByteArray("\\Ä%") << QByteArray("ärzte") << QByteArray("\\") << true;
        QTest::newRow("trailing escape matches nothing")
            << QByteArray("ab\\") << QByteArray("ab\\") << QByteArray("\\") << false;
        QTest::newRow("multi-byte escape")
            << QByteArray("5ä%") << QByteArray("5%") << QByteArray("ä") << true;
        QTest::newRow("% as its own escape")
            << QByteArray("a%%") << QByteArray("a%") << QByteArray("%") << true;
        QTest::newRow("% escape leaves no wildcard")
            << QByteArray("a%%") << QByteArray("a%x") << QByteArray("%") << false;
        QTest::newRow("wildcards still work")
            << QByteArray("%!%_") << QByteArray("50%x") << QByteArray("!") << true;
    }

    void escapes() {
        QFETCH(QByteArray, pattern);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, escape);
        QFETCH(bool, expected);
        QCOMPARE(
            answer("like(" + TextOf(pattern) + "," + TextOf(text) + "," + TextOf(escape) + ")"),
            expected ? 1 : 0);
        QCOMPARE(answer(TextOf(text) + " like " + TextOf(pattern) + " escape " + TextOf(escape)),
                 expected ? 1 : 0);
    }

    void nullAndRefusedArguments_data() {
        QTest::addColumn<QByteArray>("expression");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("NULL pattern") << QByteArray("like(NULL,'a')") << kNull << QByteArray();
        QTest::newRow("NULL text") << QByteArray("like('a',NULL)") << kNull << QByteArray();
        QTest::newRow("NULL escape") << QByteArray("like('a','a',NULL)") << kNull << QByteArray();
        QTest::newRow("NULL column") << QByteArray("NULL like '%'") << kNull << QByteArray();
        QTest::newRow("number as text") << QByteArray("123 like '1%'") << 1 << QByteArray();
        QTest::newRow("two-letter escape")
            << QByteArray("like('a','a','ab')") << 0
            << QByteArray("ESCAPE expression must be a single character");
        QTest::newRow("empty escape") << QByteArray("like('a','a','')") << 0
                                      << QByteArray("ESCAPE expression must be a single character");
        QTest::newRow("pattern too long")
            << QByteArray("like(replace(hex(zeroblob(30000)),'0','a'),'a')") << 0
            << QByteArray("LIKE or GLOB pattern too complex");
    }

    void nullAndRefusedArguments() {
        QFETCH(QByteArray, expression);
        QFETCH(int, expected);
        QFETCH(QByteArray, error);
        if (error.isEmpty()) {
            QCOMPARE(answer(Std(expression)), expected);
            return;
        }
        try {
            answer(Std(expression));
            QFAIL("no error");
        } catch (const DbError& e) {
            QCOMPARE(QByteArray(e.what()), error);
        }
    }

    // Patterns and texts that are column values change from row to row; each row is matched
    // against its own pattern.
    void patternPerRow() {
        db_->exec("create table pairs (n integer, p text, t text)");
        db_->exec(
            "insert into pairs values (1,'%ä%','XÄX'),(2,'%ö%','XÄX'),(3,'b_','BÜ'),"
            "(4,'%ä%','xax'),(5,'x!%','x%'),(6,'x!%','xy')");
        Query q(*db_);
        q.setSql("select n, like(p,t) as plain, like(p,t,'!') as escaped from pairs order by n");
        q.open();
        QList<int> plain;
        QList<int> escaped;
        for (; !q.eof(); q.next()) {
            plain.append(int(q.asInteger("plain")));
            escaped.append(int(q.asInteger("escaped")));
        }
        QCOMPARE(plain, (QList<int>{1, 0, 1, 0, 0, 0}));
        QCOMPARE(escaped, (QList<int>{1, 0, 1, 0, 1, 0}));
        db_->exec("drop table pairs");
    }

    // The statement form a keyword search uses, over a table.
    void keywordSearch() {
        db_->exec(
            "create table events (id integer primary key, subject text, content text, mynote "
            "text)");
        db_->exec(
            "insert into events (subject,content,mynote) values "
            "('Termin','beim ARZT in der STRASSE',''),('Zahnarzt','',NULL),"
            "('Ärztekammer','',''),('Sitzung','','Büro, Straße 5'),('Ferien','İstanbul',''),"
            "('Other','','')");
        const auto ids = [&](const std::string& word) {
            Query q(*db_);
            q.setSql("select id from events where ((subject  like '%" + word +
                     "%')  or  (content  like '%" + word + "%')  or  (mynote  like '%" + word +
                     "%') ) order by id");
            q.open();
            QList<qint64> found;
            for (; !q.eof(); q.next())
                found.append(q.asInteger("id"));
            return found;
        };
        QCOMPARE(ids("arzt"), (QList<qint64>{1, 2}));
        QCOMPARE(ids("ÄRZTE"), (QList<qint64>{3}));
        QCOMPARE(ids("straße"), (QList<qint64>{1, 4}));
        QCOMPARE(ids("istanbul"), (QList<qint64>{5}));
        QCOMPARE(ids("e_"), (QList<qint64>{1, 3, 4, 5, 6}));
        db_->exec("drop table events");
    }

    // A matcher that backtracks over every split of the text runs for ages on these; the
    // matcher here goes through the text once per part of the pattern.
    void longTextsDoNotBlowUp_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("expected");
        const QByteArray as = "replace(hex(zeroblob(50000)),'0','a')";
        const QByteArray umlauts = "replace(hex(zeroblob(50000)),'0','ä')";
        QTest::newRow("%a repeated then b")
            << QByteArray("'%a%a%a%a%a%a%a%a%a%a%a%a%b'") << as << 0;
        QTest::newRow("%a repeated then a")
            << QByteArray("'%a%a%a%a%a%a%a%a%a%a%a%a%a'") << as << 1;
        QTest::newRow("%%%%%%%%a") << QByteArray("'%%%%%%%%a'") << as << 1;
        QTest::newRow("%_ repeated") << QByteArray("'%_%_%_%_%_%_%_%_%_%_%b'") << as << 0;
        QTest::newRow("folded text") << QByteArray("'%Ä%Ä%Ä%Ä%Ä%Ä%Ä%Ä%Ä%Ä%Ä%b'") << umlauts << 0;
        QTest::newRow("folded text, found")
            << QByteArray("'%Ä%Ä%Ä%Ä%Ä%Ä%Ä%Ä%Ä%Ä%_Ä'") << umlauts << 1;
    }

    void longTextsDoNotBlowUp() {
        QFETCH(QByteArray, pattern);
        QFETCH(QByteArray, text);
        QFETCH(int, expected);
        QCOMPARE(answer(Std(text) + " like " + Std(pattern)), expected);
    }
};

QTEST_GUILESS_MAIN(TestUnicodeLike)
#include "test_unicodelike.moc"
