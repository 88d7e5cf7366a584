// Backup to a ZIP archive, restore from one, and compaction of the database.

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <zip.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/FolderLock.h"
#include "platform/Sqlite.h"
#include "platform/SqliteMaintenance.h"
#include "store/Backup.h"
#include "store/Compaction.h"
#include "store/DataFolderRepair.h"
#include "store/EventLists.h"

using namespace qcal;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// Every file and folder below root with its contents: what a restore must not change.
std::map<QString, QByteArray> Snapshot(const QString& root) {
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = QDir(root).relativeFilePath(path);
        if (info.isSymLink())
            files[name] = "<link " + info.symLinkTarget().toUtf8() + ">";
        else if (info.isDir())
            files[name] = "<folder>";
        else
            files[name] = ReadAll(path);
    }
    return files;
}

QStringList Names(const std::map<QString, QByteArray>& files) {
    QStringList names;
    for (const auto& [name, data] : files)
        names << name;
    return names;
}

// A WAV file's worth of bytes.
QByteArray Sound(char fill, int size = 20000) {
    return QByteArray("RIFF") + QByteArray(size, fill);
}

void Exec(const std::string& dbPath, const std::vector<std::string>& statements) {
    platform::Database db;
    db.open(dbPath);
    for (const std::string& sql : statements)
        db.exec(sql);
}

std::vector<std::string> Rows(const std::string& dbPath) {
    platform::Database db;
    db.open(dbPath);
    platform::Query q(db);
    q.setSql("select id, subject, content from eventtable order by id");
    q.open();
    std::vector<std::string> rows;
    for (; !q.eof(); q.next())
        rows.push_back(std::to_string(q.asInteger("id")) + "|" + q.asString("subject") + "|" +
                       q.asString("content"));
    return rows;
}

std::string Insert(const std::string& subject, const std::string& content = "text") {
    return "insert into eventtable (subject, content, layername, begindate, enddate, alert, "
           "repeatType) values (" +
           platform::SqlLiteral(subject) + ", " + platform::SqlLiteral(content) +
           ", 'Personal', 46000, 46000, 0, 0)";
}

struct ZipEntry {
    std::string name;
    QByteArray data;
    mode_t unixMode = S_IFREG | 0644;
    bool stored = false;  // no compression
};

// Writes an archive with libzip; comment may be empty for none.
void MakeZip(const QString& path, const std::string& comment,
             const std::vector<ZipEntry>& entries) {
    int code = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    QVERIFY(za);
    for (const ZipEntry& e : entries) {
        zip_source_t* src =
            zip_source_buffer(za, e.data.constData(), zip_uint64_t(e.data.size()), 0);
        QVERIFY(src);
        const zip_int64_t index = zip_file_add(za, e.name.c_str(), src, ZIP_FL_ENC_UTF_8);
        QVERIFY2(index >= 0, zip_strerror(za));
        zip_set_file_compression(za, zip_uint64_t(index), e.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 0);
        zip_file_set_external_attributes(za, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                         zip_uint32_t(e.unixMode) << 16);
    }
    if (!comment.empty())
        zip_set_archive_comment(za, comment.data(), zip_uint16_t(comment.size()));
    QVERIFY2(zip_close(za) == 0, zip_strerror(za));
}

// The entries of an archive and their contents, read with libzip.
std::map<std::string, QByteArray> ZipContents(const QString& path) {
    std::map<std::string, QByteArray> out;
    int code = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!za)
        return out;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(za, zip_uint64_t(i), 0, &st);
        QByteArray data(qsizetype(st.size), '\0');
        zip_file_t* f = zip_fopen_index(za, zip_uint64_t(i), 0);
        zip_fread(f, data.data(), st.size);
        zip_fclose(f);
        out[st.name] = data;
    }
    zip_discard(za);
    return out;
}

// Replaces every occurrence of from by to (same length) in the file at path.
void Patch(const QString& path, const QByteArray& from, const QByteArray& to) {
    QByteArray data = ReadAll(path);
    QVERIFY(data.contains(from));
    data.replace(from, to);
    WriteAll(path, data);
}

// Sets the declared uncompressed size of every entry (local and central headers) to size.
void DeclareSize(const QString& path, quint32 size) {
    QByteArray data = ReadAll(path);
    auto put = [&](qsizetype at) {
        for (int k = 0; k < 4; ++k)
            data[at + k] = char((size >> (8 * k)) & 0xff);
    };
    for (qsizetype at = 0; (at = data.indexOf(QByteArray("PK\x03\x04", 4), at)) >= 0; at += 4)
        put(at + 22);
    for (qsizetype at = 0; (at = data.indexOf(QByteArray("PK\x01\x02", 4), at)) >= 0; at += 4)
        put(at + 24);
    WriteAll(path, data);
}

// A program folder prog/ inside a root folder that a restore must leave alone as well,
// and a separate folder for the archives.
struct Folders {
    Folders() {
        QDir(root.path()).mkpath(QStringLiteral("prog/music/Sub"));
        QFile::copy(QStringLiteral(QCAL_DELIVERED_DB), file("user.mdb"));
        QFile::setPermissions(file("user.mdb"), QFile::ReadOwner | QFile::WriteOwner);
        QFile::copy(QStringLiteral(QCAL_DELIVERED_INI), file("setup.ini"));
        QFile::setPermissions(file("setup.ini"), QFile::ReadOwner | QFile::WriteOwner);
        WriteAll(file("music/play.wav"), Sound('p'));
        WriteAll(file("music/Sub/Chime.WAV"), Sound('c', 3000));
        WriteAll(root.filePath(QStringLiteral("neighbour.txt")), "not ours");
        Exec(db(), {Insert("Dentist"), Insert("Meeting", "it's at 'noon'")});
    }
    QString prog() const { return root.filePath(QStringLiteral("prog")); }
    QString file(const char* name) const { return prog() + QLatin1Char('/') + QLatin1String(name); }
    std::string folder() const { return prog().toStdString(); }
    std::string db() const { return file("user.mdb").toStdString(); }
    QString archive(const char* name = "backup.zip") const {
        return archives.filePath(QLatin1String(name));
    }
    std::string archivePath(const char* name = "backup.zip") const {
        return archive(name).toStdString();
    }

    QTemporaryDir root;
    QTemporaryDir archives;
};

// zipinfo's listing of an archive: the comment lines and, per entry, its method and name.
struct ZipInfo {
    QStringList lines;
    QStringList methods;
    QStringList names;
};

ZipInfo RunZipInfo(const QString& archive) {
    QProcess p;
    p.start(QStringLiteral("zipinfo"), {QStringLiteral("-z"), archive});
    p.waitForFinished(-1);
    ZipInfo info;
    info.lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : info.lines) {
        const QStringList columns = line.simplified().split(QLatin1Char(' '));
        if (line.startsWith(QLatin1Char('-')) && columns.size() >= 9) {
            info.methods << columns[5];
            info.names << columns.last();
        }
    }
    return info;
}

}  // namespace

class TestBackup : public QObject {
    Q_OBJECT

private slots:
    void backupHoldsTheDataFiles_data() {
        QTest::addColumn<QString>("music");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("music folder missing")
            << "missing" << QStringList{QStringLiteral("setup.ini"), QStringLiteral("user.mdb")};
        QTest::newRow("music folder empty")
            << "empty" << QStringList{QStringLiteral("setup.ini"), QStringLiteral("user.mdb")};
        QTest::newRow("wav in any case, below folders; hidden and other files skipped")
            << "mixed"
            << QStringList{QStringLiteral("music/Sub/Chime.WAV"),
                           QStringLiteral("music/Sub/deep/x.Wav"), QStringLiteral("music/play.wav"),
                           QStringLiteral("setup.ini"), QStringLiteral("user.mdb")};
    }
    void backupHoldsTheDataFiles() {
        QFETCH(QString, music);
        QFETCH(QStringList, names);
        Folders f;
        QDir musicDir(f.file("music"));
        if (music != QStringLiteral("mixed"))
            QVERIFY(musicDir.removeRecursively());
        if (music == QStringLiteral("empty"))
            QVERIFY(QDir().mkpath(f.file("music")));
        if (music == QStringLiteral("mixed")) {
            WriteAll(f.file("music/Sub/deep/x.Wav"), Sound('x', 10));
            WriteAll(f.file("music/.hidden.wav"), Sound('h', 10));
            WriteAll(f.file("music/.cache/y.wav"), Sound('y', 10));
            WriteAll(f.file("music/readme.txt"), "read me");
            WriteAll(f.file("music/wav"), "no extension");
        }
        // Read-only files are stored too.
        QFile::setPermissions(f.file("setup.ini"), QFile::ReadOwner);

        const BackupReport report = WriteBackup(f.folder(), f.archivePath());
        QVERIFY2(report.ok, report.detail.c_str());

        const ZipInfo info = RunZipInfo(f.archive());
        QVERIFY2(info.lines.contains(QStringLiteral("quenlariscalendar_backup")),
                 qPrintable(info.lines.join(QLatin1Char('\n'))));
        QStringList sorted = info.names;
        sorted.sort();
        QCOMPARE(sorted, names);
        QCOMPARE(info.methods, QStringList(QList<QString>(names.size(), QStringLiteral("defN"))));
        const auto contents = ZipContents(f.archive());
        for (const QString& name : names)
            QCOMPARE(contents.at(name.toStdString()), ReadAll(f.prog() + QLatin1Char('/') + name));
    }

    void backupHoldsOnlyCommittedRows() {
        // A writer stopped in the middle of a large transaction: its changed pages are already
        // in the file, the originals in the journal beside it.
        Folders f;
        const std::vector<std::string> committed = Rows(f.db());
        QTemporaryDir elsewhere;
        const QString db = elsewhere.filePath(QStringLiteral("user.mdb"));
        QVERIFY(QFile::copy(f.file("user.mdb"), db));
        {
            platform::Database writer;
            writer.open(db.toStdString());
            writer.exec("PRAGMA cache_size=2");
            writer.exec("begin");
            for (int i = 0; i < 300; ++i)
                writer.exec(Insert("Uncommitted " + std::to_string(i), std::string(2000, 'u')));
            QVERIFY(QFile::exists(db + QStringLiteral("-journal")));
            QVERIFY(QFile::remove(f.file("user.mdb")));
            QVERIFY(QFile::copy(db, f.file("user.mdb")));
            QVERIFY(QFile::copy(db + QStringLiteral("-journal"), f.file("user.mdb-journal")));
            writer.exec("rollback");
        }

        QVERIFY(WriteBackup(f.folder(), f.archivePath()).ok);
        const QString copy = elsewhere.filePath(QStringLiteral("archived.mdb"));
        WriteAll(copy, ZipContents(f.archive()).at("user.mdb"));
        QCOMPARE(Rows(copy.toStdString()), committed);
        QCOMPARE(Rows(f.db()), committed);
    }

    void backupUpdatesAnExistingArchive() {
        Folders f;
        MakeZip(f.archive(), "",
                {{"notes.txt", "kept", S_IFREG | 0644, false},
                 {"setup.ini", "[Old]", S_IFREG | 0644, false}});
        const BackupReport report = WriteBackup(f.folder(), f.archivePath());
        QVERIFY2(report.ok, report.detail.c_str());
        auto contents = ZipContents(f.archive());
        QCOMPARE(contents.at("notes.txt"), QByteArray("kept"));
        QCOMPARE(contents.at("setup.ini"), ReadAll(f.file("setup.ini")));
        QCOMPARE(contents.count("music/play.wav"), std::size_t(1));

        // A second backup adds a new sound and refreshes the changed one.
        WriteAll(f.file("music/new.wav"), Sound('n', 99));
        WriteAll(f.file("music/play.wav"), Sound('q', 77));
        QVERIFY(WriteBackup(f.folder(), f.archivePath()).ok);
        contents = ZipContents(f.archive());
        QCOMPARE(contents.at("music/new.wav"), Sound('n', 99));
        QCOMPARE(contents.at("music/play.wav"), Sound('q', 77));
        QCOMPARE(contents.size(), std::size_t(6));
        QVERIFY(RunZipInfo(f.archive()).lines.contains(QStringLiteral("quenlariscalendar_backup")));
    }

    void backupThatCannotBeWrittenFails_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("a text file of that name") << "text";
        QTest::newRow("a folder that does not exist") << "nofolder";
    }
    void backupThatCannotBeWrittenFails() {
        QFETCH(QString, target);
        Folders f;
        QString path = f.archive();
        if (target == QStringLiteral("text"))
            WriteAll(path, "just text");
        else
            path = f.archive("missing/backup.zip");
        const QByteArray before = ReadAll(path);
        QVERIFY(!WriteBackup(f.folder(), path.toStdString()).ok);
        QCOMPARE(ReadAll(path), before);
        // No scratch copy of the database is left in the program folder.
        QCOMPARE(
            Names(Snapshot(f.prog())),
            (QStringList{QStringLiteral("music"), QStringLiteral("music/Sub"),
                         QStringLiteral("music/Sub/Chime.WAV"), QStringLiteral("music/play.wav"),
                         QStringLiteral("setup.ini"), QStringLiteral("user.mdb")}));
    }

    void backupThenRestoreGivesTheSameFiles() {
        Folders f;
        const auto backedUp = Snapshot(f.prog());
        QVERIFY(WriteBackup(f.folder(), f.archivePath()).ok);

        // Everything changes after the backup; a sound that is not in it is kept.
        Exec(f.db(), {Insert("After"), "delete from eventtable where subject='Dentist'"});
        WriteAll(f.file("setup.ini"), "[Color]\nTotal=0\n");
        WriteAll(f.file("music/play.wav"), Sound('z'));
        QVERIFY(QFile::remove(f.file("music/Sub/Chime.WAV")));
        WriteAll(f.file("music/extra.wav"), Sound('e', 5));

        const RestoreReport report = RestoreBackup(f.folder(), f.archivePath());
        QVERIFY2(report.status == RestoreStatus::Done, report.detail.c_str());
        auto expected = backedUp;
        expected[QStringLiteral("music/extra.wav")] = Sound('e', 5);
        QCOMPARE(Snapshot(f.prog()), expected);
        QCOMPARE(Rows(f.db()).size(), std::size_t(2));
    }

    void refusedArchivesChangeNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("seenBeforeExtracting");
        const int unreadable = int(RestoreStatus::Unreadable);
        const int notABackup = int(RestoreStatus::NotABackup);
        const int refused = int(RestoreStatus::Refused);
        const int failed = int(RestoreStatus::Failed);
        QTest::newRow("made by zip, no comment") << "zip tool" << notABackup << true;
        QTest::newRow("another comment") << "other comment" << notABackup << true;
        QTest::newRow("comment in other letter case") << "case comment" << notABackup << true;
        QTest::newRow("no comment") << "no comment" << notABackup << true;
        QTest::newRow("../x") << "../x" << refused << true;
        QTest::newRow("/etc/x") << "/etc/x" << refused << true;
        QTest::newRow("music/../../x") << "music/../../x" << refused << true;
        QTest::newRow("music/../../x.wav") << "music/../../x.wav" << refused << true;
        QTest::newRow("music/./x.wav") << "music/./x.wav" << refused << true;
        QTest::newRow("backslash") << "music\\..\\x.wav" << refused << true;
        QTest::newRow("symlink entry") << "symlink" << refused << true;
        QTest::newRow("duplicate names") << "duplicate" << unreadable << true;
        QTest::newRow("truncated archive") << "truncated" << unreadable << true;
        QTest::newRow("text file named .zip") << "text" << unreadable << true;
        QTest::newRow("empty file named .zip") << "empty" << unreadable << true;
        QTest::newRow("10,000 entries") << "many" << refused << true;
        QTest::newRow("1 GB entry declared in a small archive") << "huge" << refused << true;
        QTest::newRow("damaged entry data") << "crc" << failed << false;
        QTest::newRow("user.mdb not a database") << "junk db" << failed << false;
        QTest::newRow("user.mdb without eventtable") << "other db" << failed << false;
        QTest::newRow("no entries at all") << "entry-less" << notABackup << true;
        QTest::newRow("no setup.ini") << "no ini" << notABackup << true;
        QTest::newRow("no user.mdb") << "no db" << notABackup << true;
        QTest::newRow("user.mdb only as a folder entry") << "db folder" << notABackup << true;
    }
    void refusedArchivesChangeNothing() {
        QFETCH(QString, kind);
        QFETCH(int, status);
        QFETCH(bool, seenBeforeExtracting);
        Folders f;
        const QString archive = f.archive();
        const std::string comment(kBackupComment);
        const QByteArray ini = ReadAll(f.file("setup.ini"));
        const QByteArray db = ReadAll(f.file("user.mdb"));
        auto backupWith = [&](std::vector<ZipEntry> extra) {
            std::vector<ZipEntry> entries{{"user.mdb", db}, {"setup.ini", ini}};
            entries.insert(entries.end(), extra.begin(), extra.end());
            MakeZip(archive, comment, entries);
        };

        if (kind == QStringLiteral("zip tool")) {
            QProcess zip;
            zip.setWorkingDirectory(f.prog());
            zip.start(QStringLiteral("zip"),
                      {QStringLiteral("-q"), archive, QStringLiteral("user.mdb"),
                       QStringLiteral("setup.ini")});
            QVERIFY(zip.waitForFinished(-1));
            QCOMPARE(zip.exitCode(), 0);
        } else if (kind == QStringLiteral("other comment")) {
            MakeZip(archive, "some other archive", {{"user.mdb", db}});
        } else if (kind == QStringLiteral("case comment")) {
            MakeZip(archive, "QuenlarisCalendar_Backup", {{"user.mdb", db}});
        } else if (kind == QStringLiteral("no comment")) {
            MakeZip(archive, "", {{"user.mdb", db}});
        } else if (kind == QStringLiteral("symlink")) {
            backupWith({{"music/link.wav", "../user.mdb", S_IFLNK | 0777}});
        } else if (kind == QStringLiteral("entry-less")) {
            // libzip writes no file for an archive without entries: the end record alone.
            QByteArray end("PK\x05\x06", 4);
            end += QByteArray(16, '\0');
            end += char(comment.size());
            end += '\0';
            end += QByteArray::fromStdString(comment);
            WriteAll(archive, end);
        } else if (kind == QStringLiteral("no ini")) {
            MakeZip(archive, comment, {{"user.mdb", db}, {"music/a.wav", Sound('a', 10)}});
        } else if (kind == QStringLiteral("no db")) {
            MakeZip(archive, comment, {{"setup.ini", ini}});
        } else if (kind == QStringLiteral("db folder")) {
            MakeZip(archive, comment, {{"user.mdb/", "", S_IFDIR | 0755}, {"setup.ini", ini}});
        } else if (kind == QStringLiteral("duplicate")) {
            backupWith({{"setup.inX", "[Other]"}});
            Patch(archive, "setup.inX", "setup.ini");
        } else if (kind == QStringLiteral("truncated")) {
            QVERIFY(WriteBackup(f.folder(), f.archivePath()).ok);
            QByteArray data = ReadAll(archive);
            WriteAll(archive, data.left(data.size() * 2 / 3));
        } else if (kind == QStringLiteral("text")) {
            WriteAll(archive, "This is a plain text file.\nquenlariscalendar_backup\n");
        } else if (kind == QStringLiteral("empty")) {
            WriteAll(archive, "");
        } else if (kind == QStringLiteral("many")) {
            std::vector<ZipEntry> entries;
            for (int i = 0; i < 10000; ++i)
                entries.push_back({"music/" + std::to_string(i) + ".wav", "RIFF"});
            backupWith(entries);
        } else if (kind == QStringLiteral("huge")) {
            backupWith({{"music/big.wav", Sound('b', 1000)}});
            DeclareSize(archive, 1u << 30);
        } else if (kind == QStringLiteral("crc")) {
            backupWith({{"music/stored.wav", Sound('s', 1000), S_IFREG | 0644, true}});
            Patch(archive, QByteArray(100, 's'), QByteArray(100, 't'));
        } else if (kind == QStringLiteral("junk db")) {
            MakeZip(archive, comment, {{"user.mdb", QByteArray(8192, 'j')}, {"setup.ini", "[X]"}});
        } else if (kind == QStringLiteral("other db")) {
            {
                platform::Database scratch;
                QFile::copy(QStringLiteral(QCAL_DELIVERED_DB), f.archive("tmp.db"));
                scratch.open(f.archive("tmp.db").toStdString());
                scratch.exec("drop table eventtable");
                scratch.exec("create table other (x)");
            }
            MakeZip(archive, comment,
                    {{"user.mdb", ReadAll(f.archive("tmp.db"))}, {"setup.ini", ini}});
        } else {
            // An entry of this name beside the usual ones.
            backupWith({{kind.toStdString(), Sound('h', 10)}});
        }

        const QString outside = QStringLiteral("/etc/x");
        const bool outsideExisted = QFile::exists(outside);
        const auto before = Snapshot(f.root.path());
        const RestoreReport inspected = InspectBackup(archive.toStdString());
        QCOMPARE(int(inspected.status), seenBeforeExtracting ? status : int(RestoreStatus::Done));
        const RestoreReport report = RestoreBackup(f.folder(), archive.toStdString());
        QCOMPARE(int(report.status), status);
        QVERIFY(!report.detail.empty());
        QCOMPARE(Snapshot(f.root.path()), before);
        QCOMPARE(QFile::exists(outside), outsideExisted);
    }

    void interruptedRestoreLeavesACompleteSet_data() {
        QTest::addColumn<int>("step");  // 2k: before move k puts the old file aside; 2k+1: after
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("goingBack");  // the journal says the moves were being undone
        QTest::addColumn<bool>("newSet");
        const int fail = int(StepFault::Fail);
        const int cut = int(StepFault::CutShort);
        QTest::newRow("fails before the first move") << 0 << fail << false << false;
        QTest::newRow("fails after the first move") << 2 << fail << false << false;
        QTest::newRow("fails before the last move") << 6 << fail << false << false;
        QTest::newRow("not interrupted") << -1 << fail << false << true;
        // Killed: the next start finishes the restore, or undoes it when it was going back.
        for (int step = 0; step < 8; ++step)
            QTest::addRow("killed at step %d", step) << step << cut << false << true;
        for (int step : {1, 4, 7})
            QTest::addRow("killed at step %d going back", step) << step << cut << true << false;
    }
    void interruptedRestoreLeavesACompleteSet() {
        QFETCH(int, step);
        QFETCH(int, fault);
        QFETCH(bool, goingBack);
        QFETCH(bool, newSet);
        Folders f;
        // The backup holds four files, one of them in a folder the program folder lacks now.
        WriteAll(f.file("music/New/fresh.wav"), Sound('f', 10));
        QVERIFY(QFile::remove(f.file("music/Sub/Chime.WAV")));
        auto backedUp = Snapshot(f.prog());
        QVERIFY(WriteBackup(f.folder(), f.archivePath()).ok);

        QVERIFY(QDir(f.file("music/New")).removeRecursively());
        WriteAll(f.file("music/Sub/Chime.WAV"), Sound('c', 3000));
        Exec(f.db(), {Insert("Later")});
        WriteAll(f.file("setup.ini"), "[Color]\nTotal=0\n");
        WriteAll(f.file("music/play.wav"), Sound('o'));
        const auto current = Snapshot(f.prog());
        backedUp[QStringLiteral("music/Sub/Chime.WAV")] = Sound('c', 3000);

        RestoreOptions options;
        options.atStep = [&](std::size_t at) {
            return int(at) == step ? StepFault(fault) : StepFault::None;
        };
        const RestoreReport report = RestoreBackup(f.folder(), f.archivePath(), options);
        QCOMPARE(int(report.status), int(step < 0 ? RestoreStatus::Done : RestoreStatus::Failed));
        if (fault == int(StepFault::CutShort)) {
            QVERIFY(QFile::exists(f.file(kRestoreJournal)));
            if (goingBack)  // as a restore leaves it when it is killed while putting back
                Patch(f.file(kRestoreJournal), "\nforward\n", "\nback\n");
            const RepairReport repair = RepairDataFolder(f.folder());
            QVERIFY(repair.ran && repair.problems.empty());
        }
        QCOMPARE(Snapshot(f.prog()), newSet ? backedUp : current);
    }

    void unknownEntriesAreSkipped_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("another file") << "help/index.htm";
        QTest::newRow("not a wav under music") << "music/notes.txt";
        QTest::newRow("hidden wav") << "music/.hidden.wav";
        QTest::newRow("wav with a colon") << "music/10:00.wav";
        QTest::newRow("folder entry") << "music/Sub/";
    }
    void unknownEntriesAreSkipped() {
        QFETCH(QString, name);
        Folders f;
        const auto before = Snapshot(f.prog());
        const bool folder = name.endsWith(QLatin1Char('/'));
        MakeZip(f.archive(), std::string(kBackupComment),
                {{"user.mdb", ReadAll(f.file("user.mdb"))},
                 {"setup.ini", "[Color]"},
                 {name.toStdString(), "", mode_t(folder ? S_IFDIR | 0755 : S_IFREG | 0644)}});
        const RestoreReport report = RestoreBackup(f.folder(), f.archivePath());
        QCOMPARE(int(report.status), int(RestoreStatus::Done));
        QCOMPARE(report.skipped, std::vector<std::string>{name.toStdString()});
        auto expected = before;
        expected[QStringLiteral("setup.ini")] = "[Color]";
        QCOMPARE(Snapshot(f.prog()), expected);
    }

    void backupIsOneThatRestoreTakes_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("backupSkips");
        QTest::addColumn<QStringList>("restoreSkips");
        QTest::newRow("old archive with a file of its own")
            << "foreign" << true << 0 << QStringList{QStringLiteral("notes.txt")};
        QTest::newRow("old archive with ../ entry") << "unsafe" << false << 0 << QStringList{};
        QTest::newRow("old archive with a link") << "link" << false << 0 << QStringList{};
        QTest::newRow("sound with a colon") << "colon" << true << 1 << QStringList{};
        QTest::newRow("sound beyond the entry limit") << "big" << true << 1 << QStringList{};
        QTest::newRow("sounds beyond the total limit") << "total" << false << 0 << QStringList{};
        QTest::newRow("no setup.ini") << "no ini" << true << 0 << QStringList{};
    }
    void backupIsOneThatRestoreTakes() {
        QFETCH(QString, situation);
        QFETCH(bool, ok);
        QFETCH(int, backupSkips);
        QFETCH(QStringList, restoreSkips);
        Folders f;
        RestoreLimits limits;
        if (situation == QStringLiteral("foreign"))
            MakeZip(f.archive(), "", {{"notes.txt", "kept"}});
        else if (situation == QStringLiteral("unsafe"))
            MakeZip(f.archive(), "", {{"music/../../evil.wav", "x"}});
        else if (situation == QStringLiteral("link"))
            MakeZip(f.archive(), "", {{"music/link.wav", "/etc/passwd", S_IFLNK | 0777}});
        else if (situation == QStringLiteral("colon"))
            WriteAll(f.file("music/10:00.wav"), Sound('t', 10));
        else if (situation == QStringLiteral("big"))
            WriteAll(f.file("music/play.wav"), Sound('p', 100000));
        if (situation == QStringLiteral("big"))
            limits.maxEntryBytes = 60000;  // play.wav is larger, the rest smaller
        else if (situation == QStringLiteral("total"))
            limits.maxTotalBytes = 20000;
        else if (situation == QStringLiteral("no ini"))
            QVERIFY(QFile::remove(f.file("setup.ini")));
        const QByteArray archiveBefore = ReadAll(f.archive());
        const QStringList namesBefore = Names(Snapshot(f.prog()));

        const BackupReport report = WriteBackup(f.folder(), f.archivePath(), limits);
        QCOMPARE(report.ok, ok);
        QCOMPARE(Names(Snapshot(f.prog())), namesBefore);
        if (!ok) {
            QCOMPARE(ReadAll(f.archive()), archiveBefore);
            return;
        }
        QCOMPARE(int(report.skipped.size()), backupSkips);
        const RestoreReport restored = RestoreBackup(f.folder(), f.archivePath(), {limits, {}});
        QCOMPARE(int(restored.status), int(RestoreStatus::Done));
        QCOMPARE(QString::fromStdString(restored.skipped.empty() ? "" : restored.skipped[0]),
                 restoreSkips.value(0));
    }

    void compactionCutShortKeepsTheDatabase_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("status");
        const char* names[] = {"copy",        "verify",  "remove old backup",
                               "keep backup", "replace", "remove backup"};
        for (int step = 0; step < 6; ++step) {
            const auto at = CompactStep(step);
            const CompactStatus onFail = at == CompactStep::RemoveOldBackup
                                             ? CompactStatus::MoveAsideFailed
                                         : at == CompactStep::RemoveBackup ? CompactStatus::Done
                                                                           : CompactStatus::Failed;
            QTest::addRow("%s fails", names[step]) << step << int(StepFault::Fail) << int(onFail);
            QTest::addRow("killed before %s", names[step])
                << step << int(StepFault::CutShort)
                << int(at == CompactStep::RemoveBackup ? CompactStatus::Done
                                                       : CompactStatus::Failed);
        }
    }
    void compactionCutShortKeepsTheDatabase() {
        QFETCH(int, step);
        QFETCH(int, fault);
        QFETCH(int, status);
        Folders f;
        Exec(f.db(), {"delete from eventtable where subject='Dentist'"});
        const std::vector<std::string> rows = Rows(f.db());
        const QStringList names = Names(Snapshot(f.prog()));
        CompactOptions options;
        options.atStep = [&](CompactStep at) {
            return int(at) == step ? StepFault(fault) : StepFault::None;
        };
        QCOMPARE(int(CompactDatabaseFile(f.folder(), options).status), status);
        // Until the next start too, user.mdb is whole.
        std::string error;
        QVERIFY2(platform::DatabaseIsSound(f.db(), "eventtable", error), error.c_str());
        QCOMPARE(Rows(f.db()), rows);
        QVERIFY(RepairDataFolder(f.folder()).problems.empty());
        QCOMPARE(Names(Snapshot(f.prog())), names);
    }

    void userBakLeftByAnEarlierCompaction_data() {
        QTest::addColumn<QString>("db");
        QTest::newRow("user.mdb missing: user_bak.mdb comes back") << "missing";
        QTest::newRow("user.mdb empty: user_bak.mdb comes back") << "empty";
        QTest::newRow("user.mdb cut in half: kept aside, user_bak.mdb comes back") << "half";
        QTest::newRow("user.mdb the compacted copy: user_bak.mdb goes") << "copy";
        QTest::newRow("user.mdb with fewer events: both stay") << "fresh";
    }
    void userBakLeftByAnEarlierCompaction() {
        QFETCH(QString, db);
        Folders f;
        const std::vector<std::string> rows = Rows(f.db());
        const QByteArray whole = ReadAll(f.file("user.mdb"));
        QVERIFY(QFile::rename(f.file("user.mdb"), f.file("user_bak.mdb")));
        std::string error;
        if (db == QStringLiteral("empty") || db == QStringLiteral("half"))
            WriteAll(f.file("user.mdb"),
                     whole.left(db == QStringLiteral("half") ? whole.size() / 2 : 0));
        else if (db == QStringLiteral("copy"))
            QVERIFY(platform::VacuumInto(f.file("user_bak.mdb").toStdString(), f.db(), error));
        else if (db == QStringLiteral("fresh"))
            QFile::copy(QStringLiteral(QCAL_DELIVERED_DB), f.file("user.mdb"));
        const auto before = Snapshot(f.prog());

        RepairDataFolder(f.folder());
        if (db == QStringLiteral("fresh")) {
            // user_bak.mdb holds events that user.mdb lacks: nothing may delete it.
            QCOMPARE(int(CompactDatabaseFile(f.folder()).status),
                     int(CompactStatus::MoveAsideFailed));
            QCOMPARE(Snapshot(f.prog()), before);
            return;
        }
        QVERIFY(!QFile::exists(f.file("user_bak.mdb")));
        QCOMPARE(Rows(f.db()), rows);
        QCOMPARE(QFile::exists(f.file("user.mdb.damaged")), db == QStringLiteral("half"));
    }

    void leftoversAreRemovedAtStart_data() {
        QTest::addColumn<QString>("situation");
        QTest::newRow("nothing else running") << "alone";
        QTest::newRow("another process holds the folder") << "held";
        QTest::newRow("a journal that is not ours") << "forged";
    }
    void leftoversAreRemovedAtStart() {
        QFETCH(QString, situation);
        Folders f;
        auto expected = Snapshot(f.prog());
        // What backups, restores and compactions cut short leave behind.
        const QString temporaryArchive = f.archive("backup.zip.qcal-backup-Ab12Cd");
        WriteAll(temporaryArchive, "half an archive");
        WriteAll(f.file(".backup-Xy12Zz/pending-archive"), temporaryArchive.toUtf8());
        const std::vector<const char*> restoreLeftovers{
            ".restore-Qw34Er", ".restore-Qw34Er/music", ".restore-Qw34Er/music/play.wav",
            "setup.ini.restore-old", "music/Sub/Chime.WAV.restore-old.2"};
        for (const char* name :
             {restoreLeftovers[2], restoreLeftovers[3], restoreLeftovers[4], ".compact-Zx56Cv",
              "..restore-journal.Rt78Yu", ".setup.ini.Ui90Op"})
            WriteAll(f.file(name), "left over");
        QFile stale(f.file(".setup.ini.Ui90Op"));
        QVERIFY(stale.open(QIODevice::ReadWrite) &&
                stale.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                  QFileDevice::FileModificationTime));
        // A settings write of the running program under way: not a leftover yet.
        WriteAll(f.file(".setup.ini.As12Df"), "[Options]");
        expected[QStringLiteral(".setup.ini.As12Df")] = "[Options]";
        if (situation == QStringLiteral("forged"))
            WriteAll(f.file(kRestoreJournal),
                     "quenlaris-calendar restore journal 1\nforward\n"
                     "staging\t.restore-Qw34Er\nmove\t../neighbour.txt\t\n");
        const auto before = Snapshot(f.prog());
        platform::FolderLock other(
            situation == QStringLiteral("held") ? f.folder() : "/nonexistent",
            platform::FolderLock::Wait::Block);

        const RepairReport report = RepairDataFolder(f.folder());
        QCOMPARE(report.ran, situation != QStringLiteral("held"));
        if (situation != QStringLiteral("alone"))  // what the journal names stays as it is
            for (const char* kept : restoreLeftovers)
                expected[QLatin1String(kept)] = before.at(QLatin1String(kept));
        if (situation == QStringLiteral("held"))
            expected = before;
        else if (situation == QStringLiteral("forged"))
            expected[QLatin1String(kRestoreJournal)] = before.at(QLatin1String(kRestoreJournal));
        QCOMPARE(Snapshot(f.prog()), expected);
        QCOMPARE(QFile::exists(temporaryArchive), situation == QStringLiteral("held"));
    }

    // The columns added to the event table later go through a backup and its restore, and
    // through a compaction, with their values.
    void laterColumnsAreCarried_data() {
        QTest::addColumn<bool>("compact");
        QTest::newRow("backup, then restore") << false;
        QTest::newRow("compaction") << true;
    }
    void laterColumnsAreCarried() {
        QFETCH(bool, compact);
        Folders f;
        const auto later = [](const std::string& path) {
            platform::Database db;
            db.open(path);
            platform::Query q(db);
            q.setSql("select * from eventtable order by id");
            std::vector<std::string> rows;
            for (q.open(); !q.eof(); q.next()) {
                for (const char* column : EventColumns::ExtraColumnNames())
                    rows.push_back(q.asString(column));
            }
            return rows;
        };
        Exec(f.db(), {"update eventtable set exceptDays='46400,46407', seriesId=7, "
                      "seriesDay=46400, remindBefore=15, allDay=1, openEnd=1, "
                      "location='Room 4' where subject='Dentist'"});
        const std::vector<std::string> before = later(f.db());
        QCOMPARE(before.size(), std::size_t(14));
        QCOMPARE(before[6], std::string("Room 4"));
        if (compact) {
            QCOMPARE(int(CompactDatabaseFile(f.folder()).status), int(CompactStatus::Done));
        } else {
            QVERIFY(WriteBackup(f.folder(), f.archivePath()).ok);
            Exec(f.db(), {"update eventtable set exceptDays='', remindBefore=0, location=''"});
            const RestoreReport report = RestoreBackup(f.folder(), f.archivePath());
            QVERIFY2(report.status == RestoreStatus::Done, report.detail.c_str());
        }
        QCOMPARE(later(f.db()), before);
    }

    void compaction_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("status");
        QTest::newRow("10,000 deleted rows") << "deleted rows" << int(CompactStatus::Done);
        QTest::newRow("old user_bak.mdb left over") << "old bak" << int(CompactStatus::Done);
        QTest::newRow("user_bak.mdb cannot be deleted")
            << "bak folder" << int(CompactStatus::MoveAsideFailed);
        QTest::newRow("user.mdb missing") << "missing" << int(CompactStatus::MoveAsideFailed);
        QTest::newRow("user.mdb damaged") << "damaged" << int(CompactStatus::Failed);
    }
    void compaction() {
        QFETCH(QString, situation);
        QFETCH(int, status);
        Folders f;
        if (situation == QStringLiteral("deleted rows")) {
            std::vector<std::string> statements{"begin"};
            for (int i = 0; i < 12000; ++i)
                statements.push_back(Insert("Row " + std::to_string(i), std::string(200, 'c')));
            statements.push_back("commit");
            statements.push_back("delete from eventtable where id % 6 <> 0");
            Exec(f.db(), statements);
        } else if (situation == QStringLiteral("old bak")) {
            WriteAll(f.file("user_bak.mdb"), "an old copy");
        } else if (situation == QStringLiteral("bak folder")) {
            WriteAll(f.file("user_bak.mdb/keep.txt"), "keep");
        } else if (situation == QStringLiteral("missing")) {
            QVERIFY(QFile::remove(f.file("user.mdb")));
        } else if (situation == QStringLiteral("damaged")) {
            WriteAll(f.file("user.mdb"), QByteArray(8192, 'd'));
        }
        const auto before = Snapshot(f.prog());
        const std::vector<std::string> rows =
            situation == QStringLiteral("deleted rows") || situation == QStringLiteral("old bak")
                ? Rows(f.db())
                : std::vector<std::string>{};

        QVERIFY(CompactionAvailable());
        const CompactReport report = CompactDatabaseFile(f.folder());
        QCOMPARE(int(report.status), status);
        if (status == int(CompactStatus::Done)) {
            QVERIFY(!QFile::exists(f.file("user_bak.mdb")));
            QCOMPARE(Rows(f.db()), rows);
            if (situation == QStringLiteral("deleted rows")) {
                QCOMPARE(rows.size(), std::size_t(2000));
                QVERIFY2(QFileInfo(f.file("user.mdb")).size() * 2 <
                             before.at(QStringLiteral("user.mdb")).size(),
                         "the file did not shrink");
            }
        } else {
            // Nothing lost: the folder is as it was, user.mdb byte for byte.
            QCOMPARE(Snapshot(f.prog()), before);
        }
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
