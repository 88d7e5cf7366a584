// Every write path killed at random moments: a child process (qcal_kill_child) runs the path
// over and over on a copy of a prepared data folder and is killed with SIGKILL after a random
// delay. The next start must then find every acknowledged change, a database that passes the
// full integrity check, every event under a layer of setup.ini, and no leftovers.
//
// QCAL_KILLS sets the number of kills per path (scripts/kill-soak.sh runs many);
// QCAL_KILL_SEED repeats a run.

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <signal.h>

#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/Sqlite.h"
#include "platform/SqliteMaintenance.h"
#include "store/Backup.h"
#include "store/DataModule.h"
#include "support/StoreFixture.h"

using namespace qcal;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

void CopyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(path);
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else
            QFile::copy(path, target);
    }
}

// Every name below root, hidden ones included.
QStringList Listing(const QString& root) {
    QStringList names;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(root).relativeFilePath(it.next());
    names.sort();
    return names;
}

// id, subject and archive time of every event, in order of id.
std::map<std::int64_t, std::pair<std::string, double>> Events(const QString& db) {
    platform::Database connection;
    connection.open(db.toStdString(), platform::OpenMode::ReadOnly);
    platform::Query q(connection);
    q.setSql("select id, subject, lastFileTime from eventtable order by id");
    q.open();
    std::map<std::int64_t, std::pair<std::string, double>> events;
    for (; !q.eof(); q.next())
        events[q.asInteger("id")] = {q.asString("subject"), q.asDouble("lastFileTime")};
    return events;
}

void Exec(const QString& db, const std::vector<std::string>& statements) {
    platform::Database connection;
    connection.open(db.toStdString());
    for (const std::string& sql : statements)
        connection.exec(sql);
}

std::vector<std::string> Inserts(const std::string& prefix, int count, const char* layer) {
    std::vector<std::string> statements{"begin"};
    for (int i = 0; i < count; ++i)
        statements.push_back(
            "insert into eventtable (subject, content, layername, begindate, enddate, alert, "
            "repeatType) values ('" +
            prefix + " " + std::to_string(i) + "', '" + std::string(200, 'c') + "', '" + layer +
            "', 46000, 46000, 0, 0)");
    statements.push_back("commit");
    return statements;
}

// What a data folder holds, for comparing whole sets: the events, the settings and the sounds.
QByteArray Signature(const QString& folder) {
    QByteArray out;
    for (const auto& [id, event] : Events(folder + QStringLiteral("/user.mdb")))
        out += QByteArray::number(id) + ' ' + QByteArray::fromStdString(event.first) + '\n';
    out += ReadAll(folder + QStringLiteral("/setup.ini"));
    for (const QString& name : Listing(folder + QStringLiteral("/music")))
        out += name.toUtf8() + ':' + ReadAll(folder + QStringLiteral("/music/") + name);
    return out;
}

// A prepared data folder ("data") with whatever else a path needs beside it.
struct Scene {
    QString root;
    QString data() const { return root + QStringLiteral("/data"); }
    QString file(const char* name) const { return data() + QLatin1Char('/') + QLatin1String(name); }
    QString archives() const { return root + QStringLiteral("/archives"); }
    std::vector<QByteArray> sets;  // the signatures of the restore's archives, in their order
};

struct WritePath {
    QString name;
    std::function<void(Scene&)> prepare;
    std::function<QStringList(const Scene&)> arguments;
    // Checks what the next start found; acks are the acknowledged numbers, in order.
    std::function<void(const Scene&, const Scene& before, const std::vector<long long>& acks)>
        check;
};

void PrepareData(Scene& s) {
    QDir().mkpath(s.data() + QStringLiteral("/music"));
    QFile::copy(QStringLiteral(QCAL_DELIVERED_DB), s.file("user.mdb"));
    QFile::setPermissions(s.file("user.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    QFile::copy(QStringLiteral(QCAL_DELIVERED_INI), s.file("setup.ini"));
    QFile::setPermissions(s.file("setup.ini"), QFile::ReadOwner | QFile::WriteOwner);
    WriteAll(s.file("music/play.wav"), "RIFF" + QByteArray(5000, 'p'));
    Exec(s.file("user.mdb"), Inserts("Event", 300, "Personal"));
}

QStringList NoArguments(const Scene&) {
    return {};
}

const std::vector<WritePath>& Paths() {
    static const std::vector<WritePath> paths{
        {QStringLiteral("edit"), PrepareData, NoArguments,
         [](const Scene& s, const Scene&, const std::vector<long long>& acks) {
             const std::string subject = Events(s.file("user.mdb")).begin()->second.first;
             const long long last = acks.empty() ? 0 : acks.back();
             // The last acknowledged edit, or the one after it.
             QVERIFY2(subject == "edit " + std::to_string(last + 1) ||
                          (last > 0 && subject == "edit " + std::to_string(last)) ||
                          (last == 0 && subject == "Event 0"),
                      subject.c_str());
         }},
        {QStringLiteral("delete"), PrepareData, NoArguments,
         [](const Scene& s, const Scene& before, const std::vector<long long>& acks) {
             const auto was = Events(before.file("user.mdb"));
             const auto now = Events(s.file("user.mdb"));
             for (long long id : acks)
                 QVERIFY2(!now.count(id), "an acknowledged delete is undone");
             // Nothing else is gone but the one delete that was under way.
             QVERIFY(now.size() + acks.size() == was.size() ||
                     now.size() + acks.size() + 1 == was.size());
         }},
        {QStringLiteral("archive"), PrepareData, NoArguments,
         [](const Scene& s, const Scene&, const std::vector<long long>& acks) {
             const auto now = Events(s.file("user.mdb"));
             for (long long id : acks)
                 QVERIFY2(now.at(id).second > 0, "an acknowledged archive is undone");
             QCOMPARE(now.size(), std::size_t(300));
         }},
        {QStringLiteral("backup"),
         [](Scene& s) {
             PrepareData(s);
             QDir().mkpath(s.archives());
             // A backup updates the archive that is there.
             QVERIFY(WriteBackup(s.data().toStdString(),
                                 (s.archives() + QStringLiteral("/backup.zip")).toStdString())
                         .ok);
             Exec(s.file("user.mdb"), {"delete from eventtable where id % 3 = 0"});
         },
         [](const Scene& s) { return QStringList{s.archives() + QStringLiteral("/backup.zip")}; },
         [](const Scene& s, const Scene& before, const std::vector<long long>& acks) {
             // The archive is the old one or a new one, whole either way, and nothing else
             // lies beside it.
             QCOMPARE(Listing(s.archives()).join(QStringLiteral(", ")),
                      QStringLiteral("backup.zip"));
             QTemporaryDir out;
             CopyTree(before.data(), out.path());
             const RestoreReport restored =
                 RestoreBackup(out.path().toStdString(),
                               (s.archives() + QStringLiteral("/backup.zip")).toStdString());
             QCOMPARE(int(restored.status), int(RestoreStatus::Done));
             const std::size_t rows = Events(out.path() + QStringLiteral("/user.mdb")).size();
             if (!acks.empty())
                 QCOMPARE(rows, std::size_t(200));
             else
                 QVERIFY(rows == 200 || rows == 300);
         }},
        {QStringLiteral("restore"),
         [](Scene& s) {
             QDir().mkpath(s.archives());
             // Three different sets; the data folder holds the last one to begin with.
             for (int k = 0; k < 3; ++k) {
                 PrepareData(s);
                 const std::string name = "Set " + std::to_string(k);
                 Exec(s.file("user.mdb"), Inserts(name, 20 * (k + 1), "Work"));
                 WriteAll(s.file("setup.ini"),
                          "[Color]\nTotal=2\nLayerName0=Personal\nLayColor0=clTeal\nIsActived0=1\n"
                          "LayerName1=Work\nLayColor1=clRed\nIsActived1=" +
                              QByteArray::number(k % 2) + "\n");
                 WriteAll(s.file("music/play.wav"),
                          "RIFF" + QByteArray(3000 * (k + 1), char('a' + k)));
                 s.sets.push_back(Signature(s.data()));
                 QVERIFY(
                     WriteBackup(s.data().toStdString(),
                                 (s.archives() + QStringLiteral("/set%1.zip").arg(k)).toStdString())
                         .ok);
                 if (k < 2)
                     QDir(s.data()).removeRecursively();
             }
         },
         [](const Scene& s) {
             return QStringList{s.archives() + QStringLiteral("/set0.zip"),
                                s.archives() + QStringLiteral("/set1.zip"),
                                s.archives() + QStringLiteral("/set2.zip")};
         },
         [](const Scene& s, const Scene& before, const std::vector<long long>& acks) {
             // One whole set: the one last acknowledged, or the next one.
             const std::size_t last = acks.empty() ? 2 : std::size_t(acks.back() % 3);
             const QByteArray now = Signature(s.data());
             QVERIFY2(now == before.sets[last] || now == before.sets[(last + 1) % 3],
                      "the data folder holds no complete set");
         }},
        {QStringLiteral("compaction"),
         [](Scene& s) {
             PrepareData(s);
             Exec(s.file("user.mdb"), {"delete from eventtable where id % 3 <> 0"});
         },
         NoArguments,
         [](const Scene& s, const Scene& before, const std::vector<long long>&) {
             QCOMPARE(Events(s.file("user.mdb")), Events(before.file("user.mdb")));
         }},
    };
    return paths;
}

const QString kChild = QStringLiteral(QCAL_KILL_CHILD);

}  // namespace

class TestKillSafety : public QObject {
    Q_OBJECT

private slots:
    void killedAtRandomMoments_data() {
        QTest::addColumn<int>("path");
        for (std::size_t k = 0; k < Paths().size(); ++k)
            QTest::newRow(Paths()[k].name.toUtf8().constData()) << int(k);
    }
    void killedAtRandomMoments() {
        QFETCH(int, path);
        const WritePath& wp = Paths()[std::size_t(path)];
        const int kills = qEnvironmentVariableIsSet("QCAL_KILLS")
                              ? qEnvironmentVariableIntValue("QCAL_KILLS")
                              : 24;
        const unsigned seed = qEnvironmentVariableIsSet("QCAL_KILL_SEED")
                                  ? unsigned(qEnvironmentVariableIntValue("QCAL_KILL_SEED"))
                                  : std::random_device()();
        std::mt19937 random(seed);

        QTemporaryDir prepared;
        Scene before{prepared.path(), {}};
        wp.prepare(before);
        if (QTest::currentTestFailed())
            return;
        const QStringList cleanListing = Listing(before.data());

        // The kills fall between the start and twice the time the first acknowledgement
        // takes on this machine (whatever the build), so some come before the path gets going,
        // most while it works.
        qint64 firstAck = 0;
        {
            QTemporaryDir work;
            CopyTree(prepared.path(), work.path());
            const Scene s{work.path(), {}};
            QProcess child;
            QElapsedTimer timer;
            timer.start();
            child.start(kChild, QStringList{wp.name, s.data()} + wp.arguments(s));
            while (!child.readAllStandardOutput().contains("ack") && timer.elapsed() < 20000)
                child.waitForReadyRead(100);
            firstAck = timer.nsecsElapsed() / 1000;
            child.kill();
            child.waitForFinished(-1);
        }
        std::uniform_int_distribution<qint64> delay(0, 2 * firstAck);  // microseconds

        int acknowledged = 0;
        for (int kill = 0; kill < kills; ++kill) {
            const qint64 wait = delay(random);
            const QByteArray where = wp.name.toUtf8() + " kill " + QByteArray::number(kill) +
                                     " after " + QByteArray::number(wait) + " us, seed " +
                                     QByteArray::number(seed);
            QTemporaryDir work;
            CopyTree(prepared.path(), work.path());
            const Scene s{work.path(), {}};

            QProcess child;
            child.start(kChild, QStringList{wp.name, s.data()} + wp.arguments(s));
            QVERIFY2(child.waitForStarted(), where.constData());
            QThread::usleep(unsigned(wait));
            ::kill(pid_t(child.processId()), SIGKILL);
            child.waitForFinished(-1);
            QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                     (where + ": " + child.readAllStandardError()).constData());
            std::vector<long long> acks;
            for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
                if (line.startsWith("ack "))
                    acks.push_back(line.mid(4).toLongLong());
            }
            acknowledged += int(!acks.empty());

            // The next start: it settles the folder, opens the database and loads the layers.
            {
                test::RecordingErrorReporter errors;
                TDataMod dm(s.data().toStdString(), errors);
                QVERIFY2(dm.Connected() && errors.shown.empty(), where.constData());
                dm.LoadLayers();
                std::set<std::string> layers;
                for (const tlayinfo& layer : dm.Layers)
                    layers.insert(layer.name);
                platform::Query q(dm.ADOConnection);
                q.setSql("select distinct layername from eventtable");
                q.open();
                for (; !q.eof(); q.next())
                    QVERIFY2(layers.count(q.asString("layername")),
                             (where + ": events without their layer").constData());
            }
            std::string error;
            QVERIFY2(
                platform::DatabaseIsSound(s.file("user.mdb").toStdString(), "eventtable", error),
                (where + ": " + QByteArray::fromStdString(error)).constData());
            QCOMPARE(Listing(s.data()).join(QStringLiteral(", ")),
                     cleanListing.join(QStringLiteral(", ")));
            wp.check(s, before, acks);
            if (QTest::currentTestFailed())
                qWarning("%s", where.constData());
        }
        // The delays are meant to hit the path while it works, not only before it starts.
        QVERIFY2(acknowledged > 0, "no kill came after an acknowledged change");
    }
};

QTEST_GUILESS_MAIN(TestKillSafety)
#include "test_killsafety.moc"
