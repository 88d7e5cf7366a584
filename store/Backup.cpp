#include "store/Backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/FolderLock.h"
#include "platform/SqliteMaintenance.h"
#include "platform/System.h"

namespace qcal {

namespace fs = std::filesystem;

namespace {

constexpr char kDatabaseName[] = "user.mdb";
constexpr char kSettingsName[] = "setup.ini";
constexpr char kMusicFolder[] = "music";
constexpr int kDeflateLevel = 6;

bool IsHidden(const std::string& name) {
    return !name.empty() && name.front() == '.';
}

bool HasWavExtension(std::string_view name) {
    if (name.size() <= 4)
        return false;
    std::string ext(name.substr(name.size() - 4));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return ext == ".wav";
}

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::string ZipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

std::string ZipErrorText(zip_t* za) {
    return zip_strerror(za);
}

struct ZipCloser {
    void operator()(zip_t* za) const { zip_discard(za); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

// A hidden folder of our own inside the program folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder(const std::string& parent, const char* prefix) {
        std::string pattern = platform::JoinPath(parent, prefix) + "XXXXXX";
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~ScratchFolder() {
        if (!path_.empty()) {
            std::error_code ignored;
            fs::remove_all(path_, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool ok() const { return !path_.empty(); }
    // Leaves the folder where it is (for a test that stops an operation as a kill would).
    void Keep() { path_.clear(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

using platform::SyncFolder;

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string RandomSuffix() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::minstd_rand random(device() ^ static_cast<unsigned>(::getpid()));
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string suffix(6, 'X');
    for (char& c : suffix)
        c = kLetters[pick(random)];
    return suffix;
}

std::string ParentFolder(const std::string& path) {
    const std::string parent = fs::path(path).parent_path().string();
    return parent.empty() ? std::string(".") : parent;
}

// Copies source to a new file dest (which must not exist) with mode and flushes it.
bool CopyFileSynced(const std::string& source, const std::string& dest, mode_t mode,
                    std::string& error) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = ErrnoText(source);
        return false;
    }
    const int out = ::open(dest.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (out < 0) {
        error = ErrnoText(dest);
        ::close(in);
        return false;
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = ErrnoText(source);
            ok = false;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer.data() + done, std::size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                error = ErrnoText(dest);
                ok = false;
            } else {
                done += w;
            }
        }
    }
    if (ok && (::fchmod(out, mode) != 0 || ::fsync(out) != 0)) {
        error = ErrnoText(dest);
        ok = false;
    }
    ::close(out);
    ::close(in);
    if (!ok)
        ::unlink(dest.c_str());
    return ok;
}

// The file in a backup's scratch folder that names the temporary archive being written
// beside the chosen one, so that a backup cut short can be tidied up.
constexpr char kPendingArchive[] = "pending-archive";
constexpr char kTemporaryArchiveMark[] = ".qcal-backup-";

}  // namespace

std::vector<std::string> BackupFileNames(const std::string& programFolder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const char* name : {kDatabaseName, kSettingsName}) {
        if (fs::is_regular_file(platform::JoinPath(programFolder, name), ec))
            names.emplace_back(name);
    }
    const fs::path music = fs::path(programFolder) / kMusicFolder;
    if (!fs::is_directory(music, ec))
        return names;
    std::vector<std::string> sounds;
    fs::recursive_directory_iterator it(music, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string leaf = it->path().filename().string();
        if (IsHidden(leaf)) {
            if (it->is_directory(ec))
                it.disable_recursion_pending();
            continue;
        }
        if (!HasWavExtension(leaf) || !it->is_regular_file(ec))
            continue;
        sounds.push_back(std::string(kMusicFolder) + "/" +
                         it->path().lexically_relative(music).generic_string());
    }
    std::sort(sounds.begin(), sounds.end());
    names.insert(names.end(), sounds.begin(), sounds.end());
    return names;
}

namespace {

// Adds the file at source to za as name, deflated, as a plain file readable by all.
bool AddFile(zip_t* za, const std::string& name, const std::string& source, std::string& error) {
    zip_source_t* src = zip_source_file(za, source.c_str(), 0, 0);
    if (!src) {
        error = source + ": " + ZipErrorText(za);
        return false;
    }
    const zip_int64_t index = zip_file_add(za, name.c_str(), src, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(src);
        error = name + ": " + ZipErrorText(za);
        return false;
    }
    if (zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_DEFLATE, kDeflateLevel) < 0 ||
        zip_file_set_external_attributes(za, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                         zip_uint32_t(S_IFREG | 0644) << 16) < 0) {
        error = name + ": " + ZipErrorText(za);
        return false;
    }
    return true;
}

// Copies entry index of old into za under its name and attributes.
bool KeepEntry(zip_t* za, zip_t* old, zip_uint64_t index, const std::string& name,
               std::string& error) {
    zip_source_t* src = zip_source_zip(za, old, index, 0, 0, -1);
    if (!src) {
        error = name + ": " + ZipErrorText(za);
        return false;
    }
    const zip_int64_t added = zip_file_add(za, name.c_str(), src, ZIP_FL_ENC_UTF_8);
    if (added < 0) {
        zip_source_free(src);
        error = name + ": " + ZipErrorText(za);
        return false;
    }
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(old, index, 0, &opsys, &attributes) == 0)
        zip_file_set_external_attributes(za, zip_uint64_t(added), 0, opsys, attributes);
    zip_set_file_compression(za, zip_uint64_t(added), ZIP_CM_DEFLATE, kDeflateLevel);
    return true;
}

// Whether the entry's stored file type is one a restore accepts (a plain file or a folder).
bool PlainOrFolder(zip_t* za, zip_uint64_t index, bool& folder) {
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    folder = false;
    if (zip_file_get_external_attributes(za, index, 0, &opsys, &attributes) < 0)
        return false;
    if (opsys == ZIP_OPSYS_UNIX) {
        const mode_t type = mode_t(attributes >> 16) & S_IFMT;
        folder = type == S_IFDIR;
        return type == 0 || type == S_IFREG || type == S_IFDIR;
    }
    folder = opsys == ZIP_OPSYS_DOS && (attributes & 0x10) != 0;
    return true;
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// Puts the finished archive built at built in the place of archivePath in one rename; across
// file systems through a copy beside archivePath, named in the scratch folder first.
bool PlaceArchive(const std::string& built, const std::string& archivePath,
                  const std::string& scratch, mode_t mode, std::string& error) {
    if (::chmod(built.c_str(), mode) != 0) {
        error = ErrnoText(built);
        return false;
    }
    if (::rename(built.c_str(), archivePath.c_str()) == 0) {
        SyncFolder(ParentFolder(archivePath));
        return true;
    }
    if (errno != EXDEV) {
        error = ErrnoText(archivePath);
        return false;
    }
    const std::string temp = archivePath + kTemporaryArchiveMark + RandomSuffix();
    if (!platform::WriteFileAtomically(platform::JoinPath(scratch, kPendingArchive), temp, &error))
        return false;
    if (!CopyFileSynced(built, temp, mode, error))
        return false;
    if (::rename(temp.c_str(), archivePath.c_str()) != 0) {
        error = ErrnoText(archivePath);
        ::unlink(temp.c_str());
        return false;
    }
    SyncFolder(ParentFolder(archivePath));
    return true;
}

}  // namespace

BackupReport WriteBackup(const std::string& folder, const std::string& archivePath,
                         const RestoreLimits& limits) {
    BackupReport report;
    const platform::FolderLock lock(folder, platform::FolderLock::Wait::Block);
    ScratchFolder scratch(folder, ".backup-");
    if (!scratch.ok()) {
        report.detail = ErrnoText(folder);
        return report;
    }

    // An existing archive is read, never written: the new one takes its place at the end.
    ZipHandle old;
    mode_t mode = NewFileMode();
    struct stat oldStat {};
    if (::stat(archivePath.c_str(), &oldStat) == 0) {
        int code = 0;
        old.reset(zip_open(archivePath.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
        if (!S_ISREG(oldStat.st_mode) || !old) {
            report.detail = archivePath + ": " + ZipErrorText(code ? code : ZIP_ER_NOZIP);
            return report;
        }
        mode = oldStat.st_mode & 07777;
    }

    const std::string built = platform::JoinPath(scratch.path(), "archive.zip");
    int code = 0;
    ZipHandle za(zip_open(built.c_str(), ZIP_CREATE | ZIP_EXCL, &code));
    if (!za) {
        report.detail = built + ": " + ZipErrorText(code);
        return report;
    }

    // The database goes in as a checked copy taken under the engine's lock; the copy has to
    // live until the archive is closed, when libzip reads its sources. A missing settings file
    // goes in empty: a backup always holds both files.
    std::vector<std::string> names = BackupFileNames(folder);
    if (std::find(names.begin(), names.end(), kDatabaseName) == names.end()) {
        report.detail = platform::JoinPath(folder, kDatabaseName) + ": missing";
        return report;
    }
    if (std::find(names.begin(), names.end(), kSettingsName) == names.end())
        names.insert(names.begin() + 1, kSettingsName);
    std::set<std::string> written;
    for (const std::string& name : names) {
        std::string source = platform::JoinPath(folder, name);
        if (name == kDatabaseName) {
            const std::string copy = platform::JoinPath(scratch.path(), kDatabaseName);
            if (!platform::CopyDatabaseFile(source, copy, report.detail) ||
                !platform::DatabaseHasTable(copy, "eventtable", report.detail))
                return report;
            source = copy;
        } else if (name == kSettingsName && !platform::FileExists(source)) {
            source = platform::JoinPath(scratch.path(), kSettingsName);
            if (!platform::WriteFileAtomically(source, {}, &report.detail))
                return report;
        } else if (name != kSettingsName) {
            struct stat st {};
            if (!IsRestorableName(name)) {
                report.skipped.push_back(name + ": a name a restore does not take back");
                continue;
            }
            if (::stat(source.c_str(), &st) == 0 &&
                std::uint64_t(st.st_size) > limits.maxEntryBytes) {
                report.skipped.push_back(name + ": larger than a restore takes back");
                continue;
            }
        }
        if (!AddFile(za.get(), name, source, report.detail))
            return report;
        written.insert(name);
        report.names.push_back(name);
    }

    // The entries of the old archive that this backup does not replace stay, as long as a
    // restore can live with them (it skips those it does not know).
    const zip_int64_t oldCount = old ? zip_get_num_entries(old.get(), 0) : 0;
    for (zip_uint64_t i = 0; i < zip_uint64_t(std::max<zip_int64_t>(oldCount, 0)); ++i) {
        const char* raw = zip_get_name(old.get(), i, 0);
        const std::string name = raw ? raw : "";
        bool folderEntry = false;
        if (!IsSafeEntryName(name) || !PlainOrFolder(old.get(), i, folderEntry)) {
            report.detail = archivePath + ": holds " + name + ", which a restore refuses";
            return report;
        }
        if (written.count(name))
            continue;
        if (!KeepEntry(za.get(), old.get(), i, name, report.detail))
            return report;
    }
    if (zip_set_archive_comment(za.get(), kBackupComment.data(),
                                zip_uint16_t(kBackupComment.size())) < 0) {
        report.detail = ZipErrorText(za.get());
        return report;
    }
    if (zip_close(za.get()) < 0) {
        report.detail = built + ": " + ZipErrorText(za.get());
        return report;
    }
    za.release();
    old.reset();

    // Never a success for an archive that the restore would refuse.
    const RestoreReport check = InspectBackup(built, limits);
    if (check.status != RestoreStatus::Done) {
        report.detail = "the archive would not restore: " + check.detail;
        return report;
    }
    if (!PlaceArchive(built, archivePath, scratch.path(), mode, report.detail))
        return report;
    report.ok = true;
    return report;
}

void RemoveInterruptedBackup(const std::string& scratchFolder) {
    std::string pending;
    if (platform::ReadWholeFile(platform::JoinPath(scratchFolder, kPendingArchive), pending) &&
        pending.find(kTemporaryArchiveMark) != std::string::npos &&
        pending.find('\n') == std::string::npos)
        ::unlink(pending.c_str());
    std::error_code ignored;
    fs::remove_all(scratchFolder, ignored);
}

bool IsRestorableName(std::string_view name) {
    if (name == kDatabaseName || name == kSettingsName)
        return true;
    const std::string_view prefix = "music/";
    if (name.size() > 1024 || name.substr(0, prefix.size()) != prefix)
        return false;
    std::string_view rest = name.substr(prefix.size());
    for (;;) {
        const std::size_t slash = rest.find('/');
        const std::string_view step = rest.substr(0, slash);
        if (step.empty() || step.size() > 255 || step.front() == '.')
            return false;
        for (char c : step) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || u == 0x7f || c == '\\' || c == ':')
                return false;
        }
        if (slash == std::string_view::npos)
            return HasWavExtension(step);
        rest = rest.substr(slash + 1);
    }
}

bool IsSafeEntryName(std::string_view name) {
    if (name.empty() || name.size() > 1024 || name.front() == '/')
        return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '\\')
            return false;
    }
    // Every step has a name; only a folder entry ends in "/".
    std::string_view rest = name;
    for (;;) {
        const std::size_t slash = rest.find('/');
        const std::string_view step = rest.substr(0, slash);
        if (step == "." || step == "..")
            return false;
        if (slash == std::string_view::npos)
            return true;
        if (step.empty())
            return false;
        rest = rest.substr(slash + 1);
        if (rest.empty())
            return true;
    }
}

namespace {

struct Entry {
    zip_uint64_t index = 0;
    std::string name;
    zip_uint64_t size = 0;
};

// Opens the archive and checks everything that can be checked without extracting: entries
// goes with what a restore takes back, skipped with the names it leaves in the archive.
RestoreReport OpenChecked(const std::string& archivePath, const RestoreLimits& limits,
                          ZipHandle& za, std::vector<Entry>& entries) {
    int code = 0;
    za.reset(zip_open(archivePath.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!za)
        return {RestoreStatus::Unreadable, archivePath + ": " + ZipErrorText(code), {}};

    int length = 0;
    const char* comment = zip_get_archive_comment(za.get(), &length, ZIP_FL_ENC_RAW);
    if (!comment || std::string_view(comment, std::size_t(std::max(length, 0))) != kBackupComment)
        return {RestoreStatus::NotABackup, "not a backup archive", {}};

    const zip_int64_t count = zip_get_num_entries(za.get(), 0);
    if (count < 0)
        return {RestoreStatus::Unreadable, ZipErrorText(za.get()), {}};
    if (zip_uint64_t(count) > limits.maxEntries)
        return {RestoreStatus::Refused, std::to_string(count) + " entries", {}};

    RestoreReport report{RestoreStatus::Done, {}, {}};
    std::set<std::string> seen;
    zip_uint64_t total = 0;
    for (zip_uint64_t i = 0; i < zip_uint64_t(count); ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za.get(), i, 0, &st) < 0 || !(st.valid & ZIP_STAT_NAME) ||
            !(st.valid & ZIP_STAT_SIZE))
            return {RestoreStatus::Unreadable, ZipErrorText(za.get()), {}};
        const std::string name = st.name;
        if (!IsSafeEntryName(name))
            return {RestoreStatus::Refused, "unsafe entry " + name, {}};
        if (!seen.insert(name).second)
            return {RestoreStatus::Refused, "duplicate entry " + name, {}};
        bool folder = false;
        if (!PlainOrFolder(za.get(), i, folder))
            return {RestoreStatus::Refused, "not a plain file: " + name, {}};
        if (folder || name.back() == '/' || !IsRestorableName(name)) {
            report.skipped.push_back(name);
            continue;
        }
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            return {RestoreStatus::Refused, "encrypted entry " + name, {}};
        if ((st.valid & ZIP_STAT_COMP_METHOD) &&
            !zip_compression_method_supported(st.comp_method, 0))
            return {RestoreStatus::Refused, "unsupported compression in " + name, {}};
        if (st.size > limits.maxEntryBytes)
            return {RestoreStatus::Refused, "entry too large: " + name, {}};
        total += st.size;
        if (total > limits.maxTotalBytes)
            return {RestoreStatus::Refused, "archive too large", {}};
        entries.push_back({i, name, st.size});
    }
    // An archive without the database and the settings is no backup, whatever its comment.
    if (!seen.count(kDatabaseName) || !seen.count(kSettingsName) ||
        std::count_if(entries.begin(), entries.end(), [](const Entry& e) {
            return e.name == kDatabaseName || e.name == kSettingsName;
        }) != 2)
        return {RestoreStatus::NotABackup, "no user.mdb and setup.ini in the archive", {}};
    return report;
}

// Creates the folders of relative below root as needed; the ones it made are appended to
// created (outermost first).
bool MakeParents(const std::string& root, const std::string& relative,
                 std::vector<std::string>* created, std::string& error) {
    std::string path = root;
    std::size_t from = 0;
    for (std::size_t slash; (slash = relative.find('/', from)) != std::string::npos;
         from = slash + 1) {
        path = platform::JoinPath(path, relative.substr(from, slash - from));
        if (::mkdir(path.c_str(), 0755) == 0) {
            if (created)
                created->push_back(path);
            continue;
        }
        struct stat st {};
        if (errno != EEXIST || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            error = path + ": cannot be made a folder";
            return false;
        }
    }
    return true;
}

// Extracts one entry to path, which must not exist, with the given permission bits.
bool ExtractEntry(zip_t* za, const Entry& entry, const std::string& path, mode_t mode,
                  std::string& error) {
    zip_file_t* zf = zip_fopen_index(za, entry.index, 0);
    if (!zf) {
        error = entry.name + ": " + ZipErrorText(za);
        return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        error = ErrnoText(path);
        zip_fclose(zf);
        return false;
    }
    std::vector<char> buffer(1 << 16);
    zip_uint64_t written = 0;
    bool ok = true;
    for (;;) {
        const zip_int64_t n = zip_fread(zf, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            error = entry.name + ": " + zip_file_strerror(zf);
            ok = false;
            break;
        }
        // Never more than the directory declared, whatever the compressed data holds.
        written += zip_uint64_t(n);
        if (written > entry.size) {
            error = entry.name + ": larger than declared";
            ok = false;
            break;
        }
        for (zip_int64_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(fd, buffer.data() + done, std::size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                error = ErrnoText(path);
                ok = false;
            } else {
                done += w;
            }
        }
        if (!ok)
            break;
    }
    if (ok && written != entry.size) {
        error = entry.name + ": shorter than declared";
        ok = false;
    }
    if (ok && (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)) {
        error = ErrnoText(path);
        ok = false;
    }
    ::close(fd);
    if (zip_fclose(zf) != 0 && ok) {
        error = entry.name + ": damaged data";
        ok = false;
    }
    return ok;
}

// The permission bits a restored file gets: those of the file it replaces, else the usual.
mode_t ModeFor(const std::string& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    return 0644;
}

// A name beside target (relative to the data folder) for the old file that no earlier
// restore left behind.
std::string AsideName(const std::string& folder, const std::string& target) {
    std::string aside = target + ".restore-old";
    for (int n = 1; Exists(platform::JoinPath(folder, aside)); ++n)
        aside = target + ".restore-old." + std::to_string(n);
    return aside;
}

// The journal of a restore: where the staged files are, the folders the restore makes, and
// per file its name (relative to the data folder) and the name the old file is kept under
// (empty when there was none). It is written before the first move and removed after the
// last; forward says whether the restore is going on or going back.
struct Journal {
    bool forward = true;
    std::string staging;
    std::vector<std::string> folders;
    struct Move {
        std::string name;
        std::string aside;
    };
    std::vector<Move> moves;
};

constexpr char kJournalHeader[] = "quenlaris-calendar restore journal 1";

std::string JournalPath(const std::string& folder) {
    return platform::JoinPath(folder, kRestoreJournal);
}

bool WriteJournal(const std::string& folder, const Journal& j, std::string& error) {
    std::string text = std::string(kJournalHeader) + "\n" + (j.forward ? "forward" : "back") +
                       "\nstaging\t" + j.staging + "\n";
    for (const std::string& f : j.folders)
        text += "folder\t" + f + "\n";
    for (const Journal::Move& m : j.moves)
        text += "move\t" + m.name + "\t" + m.aside + "\n";
    if (!platform::WriteFileAtomically(JournalPath(folder), text, &error))
        return false;
    SyncFolder(folder);
    return true;
}

bool IsAsideOf(const std::string& aside, const std::string& name) {
    const std::string base = name + ".restore-old";
    if (aside == base)
        return true;
    if (aside.size() <= base.size() + 1 || aside.compare(0, base.size() + 1, base + ".") != 0)
        return false;
    return std::all_of(aside.begin() + std::ptrdiff_t(base.size() + 1), aside.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// Reads a journal and accepts it only when every name in it is one a restore writes.
bool ReadJournal(const std::string& folder, Journal& j) {
    std::string text;
    if (!platform::ReadWholeFile(JournalPath(folder), text))
        return false;
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kJournalHeader || !std::getline(in, line) ||
        (line != "forward" && line != "back"))
        return false;
    j.forward = line == "forward";
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::size_t from = 0;
        for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
            fields.push_back(line.substr(from, tab - from));
        fields.push_back(line.substr(from));
        if (fields[0] == "staging" && fields.size() == 2 && fields[1].rfind(".restore-", 0) == 0 &&
            fields[1].find('/') == std::string::npos && fields[1] != kRestoreJournal) {
            j.staging = fields[1];
        } else if (fields[0] == "folder" && fields.size() == 2 &&
                   IsRestorableName(fields[1] + "/x.wav")) {
            j.folders.push_back(fields[1]);
        } else if (fields[0] == "move" && fields.size() == 3 && IsRestorableName(fields[1]) &&
                   (fields[2].empty() || IsAsideOf(fields[2], fields[1]))) {
            j.moves.push_back({fields[1], fields[2]});
        } else {
            return false;
        }
    }
    return !j.staging.empty();
}

// Moves the staged files into place, the old ones aside, as far as they have not been moved
// yet (a journal found at start may be half done).
bool MoveForward(const std::string& folder, const Journal& j,
                 const std::function<StepFault(std::size_t)>& atStep, StepFault& fault,
                 std::string& error) {
    auto allowed = [&](std::size_t step) {
        fault = atStep ? atStep(step) : StepFault::None;
        if (fault != StepFault::None)
            error = "interrupted";
        return fault == StepFault::None;
    };
    const std::string staging = platform::JoinPath(folder, j.staging);
    for (std::size_t k = 0; k < j.moves.size(); ++k) {
        const Journal::Move& m = j.moves[k];
        const std::string staged = platform::JoinPath(staging, m.name);
        const std::string target = platform::JoinPath(folder, m.name);
        if (!Exists(staged)) {
            if (Exists(target))
                continue;  // moved already
            error = staged + ": missing";
            return false;
        }
        if (!MakeParents(folder, m.name, nullptr, error))
            return false;
        struct stat st {};
        if (::lstat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            error = target + ": is a folder";
            return false;
        }
        const std::string aside = platform::JoinPath(folder, m.aside);
        if (!allowed(2 * k))
            return false;
        if (!m.aside.empty() && !Exists(aside) && Exists(target) &&
            ::rename(target.c_str(), aside.c_str()) != 0) {
            error = ErrnoText(target);
            return false;
        }
        if (!allowed(2 * k + 1))
            return false;
        if (::rename(staged.c_str(), target.c_str()) != 0) {
            error = ErrnoText(target);
            return false;
        }
    }
    SyncFolder(folder);
    return true;
}

// Puts every old file back where it was and takes away the new ones.
void MoveBack(const std::string& folder, const Journal& j) {
    const std::string staging = platform::JoinPath(folder, j.staging);
    for (auto it = j.moves.rbegin(); it != j.moves.rend(); ++it) {
        const std::string target = platform::JoinPath(folder, it->name);
        const std::string aside = platform::JoinPath(folder, it->aside);
        if (!it->aside.empty()) {
            if (Exists(aside))
                ::rename(aside.c_str(), target.c_str());
        } else if (!Exists(platform::JoinPath(staging, it->name))) {
            ::unlink(target.c_str());
        }
    }
    for (auto it = j.folders.rbegin(); it != j.folders.rend(); ++it)
        ::rmdir(platform::JoinPath(folder, *it).c_str());
    SyncFolder(folder);
}

// Ends a restore: the journal goes first (from then on the new set stands), then the old
// files kept aside and the staging folder.
void Conclude(const std::string& folder, const Journal& j, bool forward) {
    ::unlink(JournalPath(folder).c_str());
    SyncFolder(folder);
    if (forward) {
        for (const Journal::Move& m : j.moves) {
            if (!m.aside.empty())
                ::unlink(platform::JoinPath(folder, m.aside).c_str());
        }
    }
    std::error_code ignored;
    fs::remove_all(platform::JoinPath(folder, j.staging), ignored);
    SyncFolder(folder);
}

// Goes back from a restore that cannot go on: the journal says so first, so that a process
// cut short while going back goes on going back at the next start.
void Abandon(const std::string& folder, Journal& j) {
    j.forward = false;
    std::string ignored;
    WriteJournal(folder, j, ignored);
    MoveBack(folder, j);
    Conclude(folder, j, false);
}

}  // namespace

RestoreReport InspectBackup(const std::string& archivePath, const RestoreLimits& limits) {
    ZipHandle za;
    std::vector<Entry> entries;
    return OpenChecked(archivePath, limits, za, entries);
}

bool FinishInterruptedRestore(const std::string& folder, std::string& detail) {
    if (!Exists(JournalPath(folder)))
        return true;
    Journal j;
    if (!ReadJournal(folder, j)) {
        detail = JournalPath(folder) + ": not a journal of this program";
        return false;
    }
    StepFault ignored = StepFault::None;
    if (j.forward && MoveForward(folder, j, {}, ignored, detail)) {
        Conclude(folder, j, true);
        return true;
    }
    Abandon(folder, j);
    return true;
}

RestoreReport RestoreBackup(const std::string& folder, const std::string& archivePath,
                            const RestoreOptions& options) {
    const platform::FolderLock lock(folder, platform::FolderLock::Wait::Block);
    std::string error;
    if (!FinishInterruptedRestore(folder, error))
        return {RestoreStatus::Failed, error, {}};

    ZipHandle za;
    std::vector<Entry> entries;
    RestoreReport checked = OpenChecked(archivePath, options.limits, za, entries);
    if (checked.status != RestoreStatus::Done)
        return checked;

    zip_uint64_t total = 0;
    for (const Entry& e : entries)
        total += e.size;
    struct statvfs disk {};
    if (::statvfs(folder.c_str(), &disk) == 0 &&
        zip_uint64_t(disk.f_bavail) * disk.f_frsize < total + (zip_uint64_t(1) << 20))
        return {RestoreStatus::Failed, "not enough free space", {}};

    // Everything is extracted into a staging folder inside the data folder (so the moves
    // below stay on one file system) and checked there.
    ScratchFolder staging(folder, ".restore-");
    if (!staging.ok())
        return {RestoreStatus::Failed, ErrnoText(folder), {}};
    // The database first, so that it is in place before the settings that go with it.
    std::stable_partition(entries.begin(), entries.end(),
                          [](const Entry& e) { return e.name == kDatabaseName; });
    for (const Entry& e : entries) {
        const std::string staged = platform::JoinPath(staging.path(), e.name);
        if (!MakeParents(staging.path(), e.name, nullptr, error) ||
            !ExtractEntry(za.get(), e, staged, ModeFor(platform::JoinPath(folder, e.name)), error))
            return {RestoreStatus::Failed, error, {}};
        if (e.name == kDatabaseName && !platform::DatabaseHasTable(staged, "eventtable", error))
            return {RestoreStatus::Failed, error, {}};
    }
    za.reset();

    Journal j;
    j.staging = fs::path(staging.path()).filename().string();
    std::set<std::string> folders;
    for (const Entry& e : entries) {
        for (std::size_t slash = e.name.find('/'); slash != std::string::npos;
             slash = e.name.find('/', slash + 1)) {
            const std::string parent = e.name.substr(0, slash);
            if (!Exists(platform::JoinPath(folder, parent)) && folders.insert(parent).second)
                j.folders.push_back(parent);
        }
        const std::string target = platform::JoinPath(folder, e.name);
        struct stat st {};
        if (::lstat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return {RestoreStatus::Failed, target + ": is a folder", {}};
        j.moves.push_back({e.name, Exists(target) ? AsideName(folder, e.name) : std::string()});
    }
    // A journal of the old database must never meet the new one.
    const std::string dbJournal = platform::JoinPath(folder, kDatabaseName) + "-journal";
    if (Exists(dbJournal) &&
        !platform::SettleJournal(platform::JoinPath(folder, kDatabaseName), error))
        return {RestoreStatus::Failed, error, {}};
    if (!WriteJournal(folder, j, error))
        return {RestoreStatus::Failed, error, {}};
    StepFault fault = StepFault::None;
    if (!MoveForward(folder, j, options.atStep, fault, error)) {
        if (fault == StepFault::CutShort) {
            staging.Keep();
            return {RestoreStatus::Failed, "cut short", {}};
        }
        Abandon(folder, j);
        return {RestoreStatus::Failed, error, {}};
    }
    Conclude(folder, j, true);
    checked.status = RestoreStatus::Done;
    return checked;
}

}  // namespace qcal
