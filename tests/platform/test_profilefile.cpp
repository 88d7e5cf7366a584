// setup.ini reading and writing with the rules of the system profile functions.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <string>

#include "platform/ProfileFile.h"
#include "support/TestText.h"

using qcal::platform::ProfileFile;

using namespace qcal::test;

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(content), content.size());
}

}  // namespace

class TestProfileFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString fileWith(const QByteArray& content) {
        const QString path = dir_.filePath(QStringLiteral("setup.ini"));
        QFile::remove(path);
        if (!content.isNull())
            WriteFile(path, content);
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void readString_data() {
        QTest::addColumn<QByteArray>("file");  // null: no file at all
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");  // the default is "<default>"
        const QByteArray options = "[Options]\nFontDisplayName=Tahoma\n";
        QTest::newRow("no file") << QByteArray() << Q("Options") << Q("FontDisplayName")
                                 << Q("<default>");
        QTest::newRow("empty file")
            << QByteArray("") << Q("Options") << Q("FontDisplayName") << Q("<default>");
        QTest::newRow("found") << options << Q("Options") << Q("FontDisplayName") << Q("Tahoma");
        QTest::newRow("missing section")
            << options << Q("HotKey") << Q("FontDisplayName") << Q("<default>");
        QTest::newRow("missing key")
            << options << Q("Options") << Q("FontDisplaySize") << Q("<default>");
        QTest::newRow("names in any case") << QByteArray("[OPTIONS]\nfontdisplayname=Tahoma\n")
                                           << Q("options") << Q("FONTDisplayName") << Q("Tahoma");
        QTest::newRow("blanks around names and value")
            << QByteArray("  [ Options ]  \n\t FontDisplayName  =  Tahoma Bold \t\n")
            << Q("Options") << Q("FontDisplayName") << Q("Tahoma Bold");
        QTest::newRow("empty value is not missing")
            << QByteArray("[Options]\nFontDisplayName=\n") << Q("Options") << Q("FontDisplayName")
            << Q("");
        QTest::newRow("double quotes") << QByteArray("[Color]\nLayerName0=\" Work \"\n")
                                       << Q("Color") << Q("LayerName0") << Q(" Work ");
        QTest::newRow("single quotes") << QByteArray("[Color]\nLayerName0='Work'\n") << Q("Color")
                                       << Q("LayerName0") << Q("Work");
        QTest::newRow("unmatched quotes") << QByteArray("[Color]\nLayerName0=\"Work'\n")
                                          << Q("Color") << Q("LayerName0") << Q("\"Work'");
        QTest::newRow("lone quote")
            << QByteArray("[Color]\nLayerName0=\"\n") << Q("Color") << Q("LayerName0") << Q("\"");
        QTest::newRow("inner quotes") << QByteArray("[Color]\nLayerName0=Bob's \"day\"\n")
                                      << Q("Color") << Q("LayerName0") << Q("Bob's \"day\"");
        QTest::newRow("equals sign in value")
            << QByteArray("[A]\nk = a=b \n") << Q("A") << Q("k") << Q("a=b");
        QTest::newRow("crlf lines")
            << QByteArray("[A]\r\nk=v\r\nj=w\r\n") << Q("A") << Q("k") << Q("v");
        QTest::newRow("key of another section")
            << QByteArray("[A]\nk=1\n[B]\nj=2\n") << Q("B") << Q("k") << Q("<default>");
        QTest::newRow("key before any section")
            << QByteArray("k=1\n[A]\nj=2\n") << Q("A") << Q("k") << Q("<default>");
        QTest::newRow("comment is no key")
            << QByteArray("[A]\n;k=1\n") << Q("A") << Q("k") << Q("<default>");
        QTest::newRow("text after bracket")
            << QByteArray("[A] ; the first\nk=1\n") << Q("A") << Q("k") << Q("1");
        QTest::newRow("first of duplicate keys")
            << QByteArray("[A]\nk=1\nK=2\n") << Q("A") << Q("k") << Q("1");
        QTest::newRow("first of duplicate sections")
            << QByteArray("[A]\nj=1\n[a]\nk=2\n") << Q("A") << Q("k") << Q("<default>");
        QTest::newRow("utf-8 mark before first section")
            << QByteArray("\xEF\xBB\xBF[Options]\nk=v\n") << Q("Options") << Q("k") << Q("v");
        QTest::newRow("unicode") << QByteArray("[Color]\nLayerName0=Zoë 日本\n") << Q("Color")
                                 << Q("LayerName0") << Q("Zoë 日本");
        QTest::newRow("cut to 2047") << QByteArray("[A]\nk=") + QByteArray(3000, 'x') + "\n"
                                     << Q("A") << Q("k") << QString(2047, QLatin1Char('x'));
        QTest::newRow("cut counts characters")
            << QByteArray("[A]\nk=") + QString(3000, QChar(0xE9)).toUtf8() << Q("A") << Q("k")
            << QString(2047, QChar(0xE9));
        QTest::newRow("cut after quotes") << QByteArray("[A]\nk=\"") + QByteArray(3000, 'z') + "\""
                                          << Q("A") << Q("k") << QString(2047, QLatin1Char('z'));
    }
    void readString() {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const ProfileFile profile(Std(fileWith(file)));
        const std::string value = profile.readString(Std(section), Std(key), "<default>");
        QCOMPARE(QString::fromStdString(value), expected);
        QCOMPARE(profile.hasKey(Std(section), Std(key)), expected != Q("<default>"));
    }

    // Reads in a row give the same answers as reads one at a time.
    void readsInARow_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("keys");  // "section|key"
        QTest::addColumn<QStringList>("values");
        const QByteArray file = "[A]\nk=1\nj=2\nK=3\n[B]\nj=4\nx=5\n";
        QTest::newRow("in file order") << file << QStringList{Q("A|k"), Q("A|j"), Q("A|K")}
                                       << QStringList{Q("1"), Q("2"), Q("1")};
        QTest::newRow("backwards") << file << QStringList{Q("B|x"), Q("B|j"), Q("A|j"), Q("A|k")}
                                   << QStringList{Q("5"), Q("4"), Q("2"), Q("1")};
        QTest::newRow("next line in another section")
            << QByteArray("[A]\nj=1\n[B]\nx=2\n") << QStringList{Q("A|j"), Q("A|x"), Q("B|x")}
            << QStringList{Q("1"), Q("?"), Q("2")};
    }
    void readsInARow() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, values);
        const ProfileFile profile(Std(fileWith(file)));
        QStringList read;
        for (const QString& k : keys) {
            const QStringList parts = k.split(QLatin1Char('|'));
            read << QString::fromStdString(profile.readString(Std(parts[0]), Std(parts[1]), "?"));
        }
        QCOMPARE(read, values);
    }

    void readInteger_data() {
        QTest::addColumn<QByteArray>("value");  // null: key missing
        QTest::addColumn<int>("defaultValue");
        QTest::addColumn<int>("expected");
        QTest::newRow("missing") << QByteArray() << 10 << 10;
        QTest::newRow("decimal") << QByteArray("30") << 10 << 30;
        QTest::newRow("negative") << QByteArray("-12") << 10 << -12;
        QTest::newRow("plus sign") << QByteArray("+7") << 10 << 7;
        QTest::newRow("blanks") << QByteArray("  42\t") << 10 << 42;
        QTest::newRow("dollar hex") << QByteArray("$1E") << 10 << 30;
        QTest::newRow("0x zero") << QByteArray("0x0") << 1 << 0;
        QTest::newRow("0X hex") << QByteArray("0X1F") << 1 << 31;
        QTest::newRow("negative hex") << QByteArray("-$1E") << 10 << -30;
        QTest::newRow("32-bit hex") << QByteArray("$FFFFFFFF") << 10 << -1;
        QTest::newRow("no colour") << QByteArray("$1FFFFFFF") << 10 << 0x1FFFFFFF;
        QTest::newRow("hex too wide") << QByteArray("$100000000") << 10 << 10;
        QTest::newRow("largest") << QByteArray("2147483647") << 10 << 2147483647;
        QTest::newRow("smallest") << QByteArray("-2147483648") << 10 << (-2147483647 - 1);
        QTest::newRow("too large") << QByteArray("2147483648") << 10 << 10;
        QTest::newRow("far too large") << QByteArray("99999999999999999999999") << 10 << 10;
        QTest::newRow("quoted") << QByteArray("'5'") << 10 << 5;
        QTest::newRow("word") << QByteArray("yes") << 1 << 1;
        QTest::newRow("empty") << QByteArray("") << 10 << 10;
        QTest::newRow("trailing letters") << QByteArray("12abc") << 10 << 10;
        QTest::newRow("fraction") << QByteArray("1.5") << 10 << 10;
        QTest::newRow("dollar only") << QByteArray("$") << 10 << 10;
        QTest::newRow("blank inside") << QByteArray("1 2") << 10 << 10;
        QTest::newRow("hex without prefix") << QByteArray("1E") << 10 << 10;
    }
    void readInteger() {
        QFETCH(QByteArray, value);
        QFETCH(int, defaultValue);
        QFETCH(int, expected);
        QByteArray file = "[Options]\nOther=1\n";
        if (!value.isNull())
            file += "AgainHowLong=" + value + "\n";
        const ProfileFile profile(Std(fileWith(file)));
        QCOMPARE(profile.readInteger("Options", "AgainHowLong", defaultValue), expected);
        QCOMPARE(profile.readBool("Options", "AgainHowLong", defaultValue != 0), expected != 0);
    }

    void writes_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("writes");  // "section|key|value"
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file, sections in order of writing")
            << QByteArray()
            << QStringList{Q("Options|IsAlarmEnabled|1"), Q("Options|AgainHowLong|10"),
                           Q("myFormat|myDate|0"), Q("myFormat|myTime|0"), Q("HotKey|myIndex|4")}
            << QByteArray(
                   "[Options]\nIsAlarmEnabled=1\nAgainHowLong=10\n\n[myFormat]\nmyDate=0\nmyTime="
                   "0\n"
                   "\n[HotKey]\nmyIndex=4\n");
        QTest::newRow("earlier section stays in front")
            << QByteArray("[Color]\nTotal=0\n")
            << QStringList{Q("Options|IsAlarmEnabled|1"), Q("myFormat|myDate|0"),
                           Q("Color|Total|1")}
            << QByteArray(
                   "[Color]\nTotal=1\n\n[Options]\nIsAlarmEnabled=1\n\n[myFormat]\nmyDate=0\n");
        QTest::newRow("replaced in place, spelling and other lines kept")
            << QByteArray("; my settings\n[Options]\n  isalarmenabled = 0 \nUnknown = keep me \n")
            << QStringList{Q("OPTIONS|IsAlarmEnabled|1")}
            << QByteArray("; my settings\n[Options]\nisalarmenabled=1\nUnknown = keep me \n");
        QTest::newRow("new key before blank lines of its section")
            << QByteArray("[Color]\nTotal=1\nLayerName0=Work\n\n\n[Options]\nFontDisplaySize=9\n")
            << QStringList{Q("color|LayColor0|clBlue"), Q("Options|FontDisplayName|Arial")}
            << QByteArray(
                   "[Color]\nTotal=1\nLayerName0=Work\nLayColor0=clBlue\n\n\n[Options]\n"
                   "FontDisplaySize=9\nFontDisplayName=Arial\n");
        QTest::newRow("new key before a comment that leads the next section")
            << QByteArray("[A]\nx=1\n; about B\n[B]\ny=2\n") << QStringList{Q("A|z|3")}
            << QByteArray("[A]\nx=1\nz=3\n; about B\n[B]\ny=2\n");
        QTest::newRow("new key in empty section")
            << QByteArray("[A]\n\n[B]\n") << QStringList{Q("A|k|v")}
            << QByteArray("[A]\nk=v\n\n[B]\n");
        QTest::newRow("file without final line break")
            << QByteArray("[A]\nk=v") << QStringList{Q("B|x|1")}
            << QByteArray("[A]\nk=v\n\n[B]\nx=1\n");
        QTest::newRow("file ending in a blank line")
            << QByteArray("[A]\nk=v\n\n") << QStringList{Q("B|x|1")}
            << QByteArray("[A]\nk=v\n\n[B]\nx=1\n");
        QTest::newRow("crlf file") << QByteArray("[A]\r\nk=v\r\nj=w\r\n")
                                   << QStringList{Q("A|k|new")} << QByteArray("[A]\nk=new\nj=w\n");
        QTest::newRow("first of duplicate sections")
            << QByteArray("[A]\nk=1\n[a]\nk=2\n") << QStringList{Q("a|k|3")}
            << QByteArray("[A]\nk=3\n[a]\nk=2\n");
        QTest::newRow("fewer layers leave old keys")
            << QByteArray("[Color]\nTotal=3\nLayerName2=Old\nIsActived2=1\n")
            << QStringList{Q("Color|Total|2")}
            << QByteArray("[Color]\nTotal=2\nLayerName2=Old\nIsActived2=1\n");
        QTest::newRow("same key written twice")
            << QByteArray() << QStringList{Q("A|k|1"), Q("A|K|2")} << QByteArray("[A]\nk=2\n");
        QTest::newRow("line break in value")
            << QByteArray() << QStringList{Q("Color|LayerName0|one\n[Options]\nIsAlarmEnabled=0")}
            << QByteArray("[Color]\nLayerName0=one [Options] IsAlarmEnabled=0\n");
        QTest::newRow("line break at the end of a value")
            << QByteArray() << QStringList{Q("Color|LayerName0|Team\n")}
            << QByteArray("[Color]\nLayerName0=\"Team \"\n");
        QTest::newRow("writes across sections")
            << QByteArray("[A]\nx=1\n\n[B]\ny=2\n; tail\n")
            << QStringList{Q("A|z|3"), Q("B|w|4"), Q("A|x|9"), Q("C|c|1"),
                           Q("a|q|5"), Q("B|Y|7"), Q("c|d|2")}
            << QByteArray("[A]\nx=9\nz=3\nq=5\n\n[B]\ny=7\nw=4\n; tail\n\n[C]\nc=1\nd=2\n");
    }
    void writes() {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, writes);
        QFETCH(QByteArray, after);
        const QString path = fileWith(before);
        ProfileFile profile(Std(path));
        for (const QString& w : writes) {
            const QStringList parts = w.split(QLatin1Char('|'));
            QCOMPARE(parts.size(), 3);
            profile.writeString(Std(parts[0]), Std(parts[1]), Std(parts[2]));
        }
        QCOMPARE(QByteArray::fromStdString(profile.text()), after);
        std::string error;
        QVERIFY2(profile.save(&error), error.c_str());
        QCOMPARE(ReadFile(path), after);

        // The last value written to each key reads back (a line break as a blank).
        QMap<QString, QString> last;
        for (const QString& w : writes) {
            const QStringList parts = w.split(QLatin1Char('|'));
            QString value = parts[2];
            last[(parts[0] + QLatin1Char('|') + parts[1]).toLower()] =
                value.replace(QLatin1Char('\n'), QLatin1Char(' '));
        }
        const ProfileFile reread(Std(path));
        for (auto it = last.cbegin(); it != last.cend(); ++it) {
            const QStringList parts = it.key().split(QLatin1Char('|'));
            QCOMPARE(QString::fromStdString(reread.readString(Std(parts[0]), Std(parts[1]), "?")),
                     it.value());
        }
    }

    // Whatever is written reads back as it was, and the keys around it stay intact.
    void valuesReadBackAsWritten_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line");  // how the value is written
        QTest::newRow("plain") << Q("Work") << QByteArray("k=Work");
        QTest::newRow("double quoted") << Q("\"Team\"") << QByteArray("k=\"\"Team\"\"");
        QTest::newRow("single quoted") << Q("'Team'") << QByteArray("k=\"'Team'\"");
        QTest::newRow("only quotes") << Q("\"\"") << QByteArray("k=\"\"\"\"");
        QTest::newRow("lone quote") << Q("\"") << QByteArray("k=\"");
        QTest::newRow("quote at one end") << Q("\"Team") << QByteArray("k=\"Team");
        QTest::newRow("different quotes") << Q("'Team\"") << QByteArray("k='Team\"");
        QTest::newRow("quotes inside") << Q("Bob's \"day\"") << QByteArray("k=Bob's \"day\"");
        QTest::newRow("equals signs") << Q("=a=b=") << QByteArray("k==a=b=");
        QTest::newRow("brackets") << Q("[Options]") << QByteArray("k=[Options]");
        QTest::newRow("closing bracket") << Q("]") << QByteArray("k=]");
        QTest::newRow("semicolon") << Q(";not a comment") << QByteArray("k=;not a comment");
        QTest::newRow("leading and trailing blanks")
            << Q("  Team  ") << QByteArray("k=\"  Team  \"");
        QTest::newRow("tab at the end") << Q("Team\t") << QByteArray("k=\"Team\t\"");
        QTest::newRow("blanks and quotes") << Q(" \"Team\" ") << QByteArray("k=\" \"Team\" \"");
        QTest::newRow("blanks only") << Q("   ") << QByteArray("k=\"   \"");
        QTest::newRow("empty") << Q("") << QByteArray("k=");
    }
    void valuesReadBackAsWritten() {
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        const QString path = fileWith("[A]\nbefore=1\nk=old\nafter=2\n");
        ProfileFile profile(Std(path));
        profile.writeString("A", "k", Std(value));
        profile.writeString("B", "k", Std(value));
        QCOMPARE(profile.readString("A", "k", "?"), Std(value));
        QVERIFY(profile.save());
        QCOMPARE(ReadFile(path), "[A]\nbefore=1\n" + line + "\nafter=2\n\n[B]\n" + line + "\n");
        const ProfileFile reread(Std(path));
        QCOMPARE(QString::fromStdString(reread.readString("A", "k", "?")), value);
        QCOMPARE(QString::fromStdString(reread.readString("B", "k", "?")), value);
        QCOMPARE(reread.readString("A", "before", "?"), std::string("1"));
        QCOMPARE(reread.readString("A", "after", "?"), std::string("2"));
    }

    void integersAndBooleansAsWritten() {
        const QString path = fileWith(QByteArray());
        ProfileFile profile(Std(path));
        profile.writeBool("Options", "IsAlarmEnabled", true);
        profile.writeBool("Options", "IsAgainDisplay", false);
        profile.writeInteger("Options", "AgainHowLong", -30);
        profile.writeInteger("Color", "LayColor0", 0x1FFFFFFF);
        QCOMPARE(QByteArray::fromStdString(profile.text()),
                 QByteArray("[Options]\nIsAlarmEnabled=1\nIsAgainDisplay=0\nAgainHowLong=-30\n\n"
                            "[Color]\nLayColor0=536870911\n"));
        QVERIFY(profile.save());
        const ProfileFile reread(Std(path));
        QCOMPARE(reread.readBool("Options", "IsAlarmEnabled", false), true);
        QCOMPARE(reread.readBool("Options", "IsAgainDisplay", true), false);
        QCOMPARE(reread.readInteger("Options", "AgainHowLong", 10), -30);
        QCOMPARE(reread.readInteger("Color", "LayColor0", 0), 0x1FFFFFFF);
    }

    void readOnceAtConstruction() {
        const QString path = fileWith("[A]\nk=1\n");
        ProfileFile profile(Std(path));
        WriteFile(path, "[A]\nk=2\nj=3\n");  // another program changes the file meanwhile
        QCOMPARE(profile.readString("A", "k", "?"), std::string("1"));
        profile.writeString("A", "x", "4");
        QVERIFY(profile.save());
        QCOMPARE(ReadFile(path), QByteArray("[A]\nk=1\nx=4\n"));
    }

    void saveFailures_data() {
        QTest::addColumn<QString>("name");  // inside the temporary folder
        QTest::addColumn<bool>("makeFolder");
        QTest::newRow("missing folder") << Q("no/such/folder/setup.ini") << false;
        QTest::newRow("target is a folder") << Q("setup-folder") << true;
    }
    void saveFailures() {
        QFETCH(QString, name);
        QFETCH(bool, makeFolder);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (makeFolder)
            QVERIFY(QDir().mkpath(path));
        ProfileFile profile(Std(path));
        profile.writeString("Options", "IsAlarmEnabled", "1");
        std::string error;
        QVERIFY(!profile.save(&error));
        QVERIFY(!error.empty());
        QCOMPARE(QFileInfo(path).isDir(), makeFolder);
        // No temporary file is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 makeFolder ? QStringList{name} : QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "test_profilefile.moc"
