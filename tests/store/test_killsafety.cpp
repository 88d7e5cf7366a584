// Every write path killed at random moments: the child qcal_kill_child runs the path over and
// over on a copy of a prepared data folder until SIGKILL. The next start must find every
// acknowledged change, a database that passes the full integrity check, every event under a
// layer of setup.ini, and no leftovers. QCAL_KILLS sets the kills per path, QCAL_KILL_SEED
// repeats a run (scripts/kill-soak.sh).

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <functional>
#include <map>
#include <random>
#include <set>

#include "platform/SqliteMaintenance.h"
#include "store/Backup.h"
#include "support/StoreFixture.h"
#include "support/TestText.h"

using namespace qcal;
using namespace Qt::StringLiterals;
using test::ReadFile;

namespace {

using Acks = std::vector<long long>;

void WriteAll(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size());
}

// Every name below root, hidden ones included, or a copy of all of it to to.
QStringList Listing(const QString& root, const QString& copyTo = {}) {
    QStringList names;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QDir(root).relativeFilePath(it.next());
        names << name;
        if (!copyTo.isEmpty() && it.fileInfo().isDir())
            QDir().mkpath(copyTo + QLatin1Char('/') + name);
        else if (!copyTo.isEmpty())
            QFile::copy(it.filePath(), copyTo + QLatin1Char('/') + name);
    }
    names.sort();
    return names;
}

// Subject and archive time by id.
std::map<std::int64_t, std::pair<std::string, double>> Events(const QString& folder) {
    platform::Database db;
    db.open((folder + u"/user.mdb"_s).toStdString(), platform::OpenMode::ReadOnly);
    platform::Query q(db);
    q.setSql("select id, subject, lastFileTime from eventtable");
    q.open();
    std::map<std::int64_t, std::pair<std::string, double>> events;
    for (; !q.eof(); q.next())
        events[q.asInteger("id")] = {q.asString("subject"), q.asDouble("lastFileTime")};
    return events;
}

void Exec(const QString& folder, const std::string& sql) {
    platform::Database db;
    db.open((folder + u"/user.mdb"_s).toStdString());
    db.exec(sql);
}

// The delivered files, a sound and 300 events of the given name and layer.
void PrepareData(const QString& data, const std::string& name = "Event",
                 const QByteArray& layers = ReadFile(QStringLiteral(QCAL_DELIVERED_INI))) {
    QDir().mkpath(data);
    QFile::copy(QStringLiteral(QCAL_DELIVERED_DB), data + u"/user.mdb"_s);
    QFile::setPermissions(data + u"/user.mdb"_s, QFile::ReadOwner | QFile::WriteOwner);
    WriteAll(data + u"/setup.ini"_s, layers);
    WriteAll(data + u"/music/play.wav"_s, "RIFF" + QByteArray::fromStdString(name));
    Exec(data,
         "with recursive n(i) as (select 0 union all select i + 1 from n where i < 299) "
         "insert into eventtable (subject, content, layername, begindate, enddate, alert, "
         "repeatType) select '" +
             name + " ' || i, printf('%.200c', 'c'), '" + (name == "Event" ? "Personal" : "Work") +
             "', 46000, 46000, 0, 0 from n");
}

// The whole of a data folder: events, settings, sounds.
QByteArray Signature(const QString& data) {
    QByteArray out;
    for (const auto& [id, event] : Events(data))
        out += QByteArray::number(id) + QByteArray::fromStdString(event.first);
    for (const QString& name : Listing(data))
        out += name.toUtf8() +
               (name == u"user.mdb"_s ? QByteArray() : ReadFile(data + QLatin1Char('/') + name));
    return out;
}

struct WritePath {
    const char* name;
    // Makes root/data and what else the path needs; PrepareData alone when empty.
    std::function<void(const QString& root)> prepare;
    std::function<QStringList(const QString& root)> arguments;
    std::function<void(const QString& root, const QString& before, const Acks&)> check;
};

QString Archive(const QString& root, int k) {
    return root + QStringLiteral("/archives/%1.zip").arg(k);
}

const std::vector<WritePath> kPaths{
    {"edit",
     {},
     {},
     [](const QString& root, const QString&, const Acks& acks) {
         // The first event carries the last acknowledged edit or the one after it.
         const long long last = acks.empty() ? 0 : acks.back();
         const std::string subject = Events(root + u"/data"_s).begin()->second.first;
         QVERIFY2(subject == "edit " + std::to_string(last + 1) ||
                      subject == (last ? "edit " + std::to_string(last) : "Event 0"),
                  subject.c_str());
     }},
    {"delete",
     {},
     {},
     [](const QString& root, const QString&, const Acks& acks) {
         const auto now = Events(root + u"/data"_s);
         for (long long id : acks)
             QVERIFY2(!now.count(id), "an acknowledged delete is undone");
         QVERIFY(now.size() + acks.size() >= 299 && now.size() + acks.size() <= 300);
     }},
    {"archive",
     {},
     {},
     [](const QString& root, const QString&, const Acks& acks) {
         const auto now = Events(root + u"/data"_s);
         for (long long id : acks)
             QVERIFY2(now.at(id).second > 0, "an acknowledged archive is undone");
     }},
    {"backup",
     [](const QString& root) {
         // A backup with every event is there; the new ones hold two thirds of them.
         PrepareData(root + u"/data"_s);
         QDir().mkpath(root + u"/archives"_s);
         QVERIFY(WriteBackup((root + u"/data"_s).toStdString(), Archive(root, 0).toStdString()).ok);
         Exec(root + u"/data"_s, "delete from eventtable where id % 3 = 0");
     },
     [](const QString& root) { return QStringList{Archive(root, 0)}; },
     [](const QString& root, const QString& before, const Acks& acks) {
         QCOMPARE(Listing(root + u"/archives"_s), QStringList{QStringLiteral("0.zip")});
         QTemporaryDir out;
         Listing(before + u"/data"_s, out.path());
         QCOMPARE(
             int(RestoreBackup(out.path().toStdString(), Archive(root, 0).toStdString()).status),
             int(RestoreStatus::Done));
         const std::size_t rows = Events(out.path()).size();
         QVERIFY(rows == 200 || (acks.empty() && rows == 300));
     }},
    {"restore",
     [](const QString& root) {
         // Three sets, each in an archive; the data folder holds the last one.
         for (int k = 0; k < 3; ++k) {
             QDir(root + u"/data"_s).removeRecursively();
             PrepareData(root + u"/data"_s, "Set " + std::to_string(k),
                         "[Color]\nTotal=2\nLayerName0=Personal\nLayColor0=clTeal\nIsActived0=1\n"
                         "LayerName1=Work\nLayColor1=clRed\nIsActived1=" +
                             QByteArray::number(k % 2) + "\n");
             QDir().mkpath(root + u"/archives"_s);
             QVERIFY(
                 WriteBackup((root + u"/data"_s).toStdString(), Archive(root, k).toStdString()).ok);
             WriteAll(Archive(root, k) + u".set"_s, Signature(root + u"/data"_s));
         }
     },
     [](const QString& root) {
         return QStringList{Archive(root, 0), Archive(root, 1), Archive(root, 2)};
     },
     [](const QString& root, const QString& before, const Acks& acks) {
         // One whole set: the one last acknowledged, or the next one.
         const int last = acks.empty() ? 2 : int(acks.back() % 3);
         const QByteArray now = Signature(root + u"/data"_s);
         QVERIFY2(now == ReadFile(Archive(before, last) + u".set"_s) ||
                      now == ReadFile(Archive(before, (last + 1) % 3) + u".set"_s),
                  "the data folder holds no complete set");
     }},
    {"compaction",
     [](const QString& root) {
         PrepareData(root + u"/data"_s);
         Exec(root + u"/data"_s, "delete from eventtable where id % 3 <> 0");
     },
     {},
     [](const QString& root, const QString& before, const Acks&) {
         QCOMPARE(Events(root + u"/data"_s), Events(before + u"/data"_s));
     }},
};

// Starts the child on the data folder below root.
void Start(QProcess& child, const WritePath& path, const QString& root) {
    child.start(QStringLiteral(QCAL_KILL_CHILD),
                QStringList{QString::fromLatin1(path.name), root + u"/data"_s} +
                    (path.arguments ? path.arguments(root) : QStringList{}));
    QVERIFY(child.waitForStarted());
}

}  // namespace

class TestKillSafety : public QObject {
    Q_OBJECT

private slots:
    void killedAtRandomMoments_data() {
        QTest::addColumn<int>("path");
        for (std::size_t k = 0; k < kPaths.size(); ++k)
            QTest::newRow(kPaths[k].name) << int(k);
    }
    void killedAtRandomMoments() {
        QFETCH(int, path);
        const WritePath& wp = kPaths[std::size_t(path)];
        const int kills = qEnvironmentVariableIsSet("QCAL_KILLS")
                              ? qEnvironmentVariableIntValue("QCAL_KILLS")
                              : 20;
        const auto seed = qEnvironmentVariableIsSet("QCAL_KILL_SEED")
                              ? unsigned(qEnvironmentVariableIntValue("QCAL_KILL_SEED"))
                              : std::random_device()();
        QTemporaryDir prepared;
        wp.prepare ? wp.prepare(prepared.path()) : PrepareData(prepared.path() + u"/data"_s);
        const QStringList clean = Listing(prepared.path() + u"/data"_s);

        // Kills fall between the start and twice the time the first acknowledgement takes on
        // this machine and build: some before the path gets going, most while it works.
        QElapsedTimer timer;
        {
            QTemporaryDir work;
            Listing(prepared.path(), work.path());
            QProcess child;
            timer.start();
            Start(child, wp, work.path());
            while (!child.readAllStandardOutput().contains("ack") && timer.elapsed() < 20000)
                child.waitForReadyRead(100);
            child.kill();
            child.waitForFinished(-1);
        }
        qInfo("%s: first acknowledgement after %lld ms", wp.name, timer.elapsed());
        std::mt19937 random(seed);
        std::uniform_int_distribution<qint64> delay(0, 2 * timer.nsecsElapsed() / 1000);

        int acknowledged = 0;
        for (int kill = 0; kill < kills && !QTest::currentTestFailed(); ++kill) {
            const qint64 wait = delay(random);
            const QByteArray where = QByteArray(wp.name) + " killed after " +
                                     QByteArray::number(wait) + " us, seed " +
                                     QByteArray::number(seed) + ": ";
            QTemporaryDir work;
            Listing(prepared.path(), work.path());
            const QString data = work.path() + u"/data"_s;
            QProcess child;
            Start(child, wp, work.path());
            QThread::usleep(std::uint64_t(wait));
            child.kill();  // SIGKILL; never kill(0) on a child that has already ended
            child.waitForFinished(-1);
            QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                     (where + child.readAllStandardError()).constData());
            Acks acks;
            for (const QByteArray& line : child.readAllStandardOutput().split('\n'))
                if (line.startsWith("ack "))
                    acks.push_back(line.mid(4).toLongLong());
            acknowledged += int(!acks.empty());

            {  // The next start settles the folder, opens the database, loads the layers.
                test::RecordingErrorReporter errors;
                TDataMod dm(data.toStdString(), errors);
                QVERIFY2(dm.Connected() && errors.shown.empty(), where.constData());
                dm.LoadLayers();
                std::set<std::string> layers;
                for (const tlayinfo& layer : dm.Layers)
                    layers.insert(layer.name);
                platform::Query q(dm.ADOConnection);
                q.setSql("select distinct layername from eventtable");
                for (q.open(); !q.eof(); q.next())
                    QVERIFY2(layers.count(q.asString("layername")), where + "an event hidden");
            }
            std::string error;
            QVERIFY2(platform::DatabaseIsSound((data + u"/user.mdb"_s).toStdString(), "eventtable",
                                               error),
                     where + error.c_str());
            QCOMPARE(Listing(data).join(u", "_s), clean.join(u", "_s));
            wp.check(work.path(), prepared.path(), acks);
            if (QTest::currentTestFailed())
                qWarning("%s", where.constData());
        }
        QVERIFY2(acknowledged > 0, "no kill came after an acknowledged change");
    }
};

QTEST_GUILESS_MAIN(TestKillSafety)
#include "test_killsafety.moc"
