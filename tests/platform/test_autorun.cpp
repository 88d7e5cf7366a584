// The login start entry.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <string>

#include "platform/Autorun.h"
#include "support/TestText.h"

using qcal::platform::Autorun;

using namespace qcal::test;

namespace {

// Sets or unsets an environment variable for one scope.
class EnvironmentValue {
public:
    EnvironmentValue(const char* name, const QByteArray& value) : name_(name) {
        had_ = qEnvironmentVariableIsSet(name);
        old_ = qgetenv(name);
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    ~EnvironmentValue() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }
    EnvironmentValue(const EnvironmentValue&) = delete;
    EnvironmentValue& operator=(const EnvironmentValue&) = delete;

private:
    const char* name_;
    bool had_ = false;
    QByteArray old_;
};

}  // namespace

class TestAutorun : public QObject {
    Q_OBJECT

private slots:
    void entryText() {
        QCOMPARE(QString::fromStdString(
                     Autorun::EntryText("/home/ann/.local/share/quenlaris-calendar/quenlaris")),
                 Q("[Desktop Entry]\n"
                   "Type=Application\n"
                   "Name=Quenlaris Calendar\n"
                   "Exec=\"/home/ann/.local/share/quenlaris-calendar/quenlaris\" autorun\n"
                   "X-GNOME-Autostart-enabled=true\n"));
    }

    void execQuoting_data() {
        // Exec is read as a desktop entry string first (where "\\" is one backslash) and
        // then as a quoted argument (where \" \` \$ \\ stand for the character).
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("exec");
        QTest::newRow("blanks") << Q("/opt/My Apps/cal") << Q("Exec=\"/opt/My Apps/cal\" autorun");
        QTest::newRow("double quote")
            << Q("/opt/a\"b/cal") << Q("Exec=\"/opt/a\\\\\"b/cal\" autorun");
        QTest::newRow("dollar") << Q("/opt/$HOME/cal") << Q("Exec=\"/opt/\\\\$HOME/cal\" autorun");
        QTest::newRow("backtick") << Q("/opt/`x`/cal")
                                  << Q("Exec=\"/opt/\\\\`x\\\\`/cal\" autorun");
        QTest::newRow("backslash")
            << Q("/opt/a\\b/cal") << Q("Exec=\"/opt/a\\\\\\\\b/cal\" autorun");
        QTest::newRow("percent") << Q("/opt/100%/cal") << Q("Exec=\"/opt/100%%/cal\" autorun");
        QTest::newRow("line break") << Q("/opt/a\nb/cal") << Q("Exec=\"/opt/a\\nb/cal\" autorun");
        QTest::newRow("single quote")
            << Q("/opt/Ann's/cal") << Q("Exec=\"/opt/Ann's/cal\" autorun");
        QTest::newRow("unicode") << Q("/opt/Zoë/cal") << Q("Exec=\"/opt/Zoë/cal\" autorun");
    }
    // A data folder given at the start goes with the entry, quoted the same way.
    void entryWithDataFolder() {
        const QStringList lines =
            QString::fromStdString(
                Autorun::EntryText("/usr/bin/quenlaris-calendar", "/srv/Our $cal"))
                .split(QLatin1Char('\n'));
        QCOMPARE(lines.at(3), Q("Exec=\"/usr/bin/quenlaris-calendar\" autorun --data-dir "
                                "\"/srv/Our \\\\$cal\""));
    }

    void execQuoting() {
        QFETCH(QString, executable);
        QFETCH(QString, exec);
        const QStringList lines =
            QString::fromStdString(Autorun::EntryText(Std(executable))).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 6);  // the value never breaks the entry into more lines
        QCOMPARE(lines.at(3), exec);
    }

    void writeAndRemove() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(Q("config/autostart"));
        const Autorun autorun(Std(folder));
        const QString entry = folder + Q("/quenlaris-calendar.desktop");
        QCOMPARE(QString::fromStdString(autorun.entryPath()), entry);
        QVERIFY(!autorun.exists());

        std::string error;
        QVERIFY2(autorun.write("/opt/cal/quenlaris", &error), error.c_str());  // creates folders
        QVERIFY(autorun.exists());
        QCOMPARE(ReadFile(entry),
                 QByteArray::fromStdString(Autorun::EntryText("/opt/cal/quenlaris")));
        QVERIFY(autorun.write("/opt/other/quenlaris", &error));  // replaces
        QCOMPARE(ReadFile(entry),
                 QByteArray::fromStdString(Autorun::EntryText("/opt/other/quenlaris")));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{Q("quenlaris-calendar.desktop")});

        QVERIFY2(autorun.remove(&error), error.c_str());
        QVERIFY(!autorun.exists());
        QVERIFY(!QFileInfo::exists(entry));
        QVERIFY2(autorun.remove(&error), error.c_str());  // absent: no error
        QVERIFY(QFileInfo(folder).isDir());
    }

    void failures() {
        QTemporaryDir dir;
        // The autostart "folder" is a file.
        const QString file = dir.filePath(Q("autostart"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a folder");
        f.close();
        std::string error;
        QVERIFY(!Autorun(Std(file)).write("/opt/cal/quenlaris", &error));
        QVERIFY(!error.empty());
        QCOMPARE(ReadFile(file), QByteArray("not a folder"));

        // The entry is a folder: removing it fails and says so.
        const QString folder = dir.filePath(Q("odd"));
        QVERIFY(QDir().mkpath(folder + Q("/quenlaris-calendar.desktop")));
        error.clear();
        QVERIFY(!Autorun(Std(folder)).remove(&error));
        QVERIFY(!error.empty());
        QVERIFY(!Autorun(Std(folder)).exists());
    }

    void defaultFolder_data() {
        QTest::addColumn<QByteArray>("configHome");  // null: unset
        QTest::addColumn<QString>("expected");
        QTest::newRow("config home") << QByteArray("/x/cfg") << Q("/x/cfg/autostart");
        QTest::newRow("unset") << QByteArray() << Q("/home/ann/.config/autostart");
        QTest::newRow("empty") << QByteArray("") << Q("/home/ann/.config/autostart");
        QTest::newRow("relative is ignored")
            << QByteArray("cfg") << Q("/home/ann/.config/autostart");
    }
    void defaultFolder() {
        QFETCH(QByteArray, configHome);
        QFETCH(QString, expected);
        const EnvironmentValue home("HOME", "/home/ann");
        const EnvironmentValue config("XDG_CONFIG_HOME", configHome);
        QCOMPARE(QString::fromStdString(Autorun().entryPath()),
                 expected + Q("/quenlaris-calendar.desktop"));
    }
};

QTEST_GUILESS_MAIN(TestAutorun)
#include "test_autorun.moc"
