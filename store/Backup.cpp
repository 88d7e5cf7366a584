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
#include <set>
#include <system_error>

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
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

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

BackupReport WriteBackup(const std::string& programFolder, const std::string& archivePath) {
    BackupReport report;
    const std::vector<std::string> names = BackupFileNames(programFolder);

    // The database goes in as a copy taken under the engine's lock; the copy has to live
    // until the archive is closed, when libzip reads its sources.
    ScratchFolder scratch(programFolder, ".backup-");
    if (!scratch.ok()) {
        report.detail = ErrnoText(programFolder);
        return report;
    }

    int code = 0;
    ZipHandle za(zip_open(archivePath.c_str(), ZIP_CREATE, &code));
    if (!za) {
        report.detail = archivePath + ": " + ZipErrorText(code);
        return report;
    }
    for (const std::string& name : names) {
        std::string source = platform::JoinPath(programFolder, name);
        if (name == kDatabaseName) {
            const std::string copy = platform::JoinPath(scratch.path(), kDatabaseName);
            if (!platform::CopyDatabaseFile(source, copy, report.detail))
                return report;
            source = copy;
        }
        zip_source_t* src = zip_source_file(za.get(), source.c_str(), 0, 0);
        if (!src) {
            report.detail = source + ": " + ZipErrorText(za.get());
            return report;
        }
        zip_int64_t index = zip_name_locate(za.get(), name.c_str(), ZIP_FL_ENC_GUESS);
        if (index >= 0) {
            if (zip_file_replace(za.get(), zip_uint64_t(index), src, 0) < 0)
                index = -1;
        } else {
            index = zip_file_add(za.get(), name.c_str(), src, ZIP_FL_ENC_UTF_8);
        }
        if (index < 0) {
            zip_source_free(src);
            report.detail = name + ": " + ZipErrorText(za.get());
            return report;
        }
        const auto entry = zip_uint64_t(index);
        if (zip_set_file_compression(za.get(), entry, ZIP_CM_DEFLATE, kDeflateLevel) < 0 ||
            zip_file_set_external_attributes(za.get(), entry, 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(S_IFREG | 0644) << 16) < 0) {
            report.detail = name + ": " + ZipErrorText(za.get());
            return report;
        }
    }
    if (zip_set_archive_comment(za.get(), kBackupComment.data(),
                                zip_uint16_t(kBackupComment.size())) < 0) {
        report.detail = ZipErrorText(za.get());
        return report;
    }
    // libzip writes a temporary file beside the archive and renames it over the old one.
    if (zip_close(za.get()) < 0) {
        report.detail = archivePath + ": " + ZipErrorText(za.get());
        return report;
    }
    za.release();
    report.ok = true;
    report.names = names;
    return report;
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

namespace {

struct Entry {
    zip_uint64_t index = 0;
    std::string name;
    zip_uint64_t size = 0;
};

// Opens the archive and checks everything that can be checked without extracting.
RestoreReport OpenChecked(const std::string& archivePath, const RestoreLimits& limits,
                          ZipHandle& za, std::vector<Entry>& entries) {
    int code = 0;
    za.reset(zip_open(archivePath.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!za)
        return {RestoreStatus::Unreadable, archivePath + ": " + ZipErrorText(code)};

    int length = 0;
    const char* comment = zip_get_archive_comment(za.get(), &length, ZIP_FL_ENC_RAW);
    if (!comment || std::string_view(comment, std::size_t(std::max(length, 0))) != kBackupComment)
        return {RestoreStatus::NotABackup, "not a backup archive"};

    const zip_int64_t count = zip_get_num_entries(za.get(), 0);
    if (count < 0)
        return {RestoreStatus::Unreadable, ZipErrorText(za.get())};
    if (zip_uint64_t(count) > limits.maxEntries)
        return {RestoreStatus::Refused, std::to_string(count) + " entries"};

    std::set<std::string> seen;
    zip_uint64_t total = 0;
    for (zip_uint64_t i = 0; i < zip_uint64_t(count); ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za.get(), i, 0, &st) < 0 || !(st.valid & ZIP_STAT_NAME) ||
            !(st.valid & ZIP_STAT_SIZE))
            return {RestoreStatus::Unreadable, ZipErrorText(za.get())};
        const std::string name = st.name;
        if (!IsRestorableName(name))
            return {RestoreStatus::Refused, "unexpected entry " + name};
        if (!seen.insert(name).second)
            return {RestoreStatus::Refused, "duplicate entry " + name};
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            return {RestoreStatus::Refused, "encrypted entry " + name};
        if ((st.valid & ZIP_STAT_COMP_METHOD) &&
            !zip_compression_method_supported(st.comp_method, 0))
            return {RestoreStatus::Refused, "unsupported compression in " + name};
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(za.get(), i, 0, &opsys, &attributes) < 0)
            return {RestoreStatus::Unreadable, ZipErrorText(za.get())};
        if (opsys == ZIP_OPSYS_UNIX) {
            const mode_t type = mode_t(attributes >> 16) & S_IFMT;
            if (type != 0 && type != S_IFREG)
                return {RestoreStatus::Refused, "not a plain file: " + name};
        } else if (opsys == ZIP_OPSYS_DOS && (attributes & 0x10) != 0) {
            return {RestoreStatus::Refused, "folder entry " + name};
        }
        if (st.size > limits.maxEntryBytes)
            return {RestoreStatus::Refused, "entry too large: " + name};
        total += st.size;
        if (total > limits.maxTotalBytes)
            return {RestoreStatus::Refused, "archive too large"};
        entries.push_back({i, name, st.size});
    }
    return {RestoreStatus::Done, {}};
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

// A name beside target for the old file that no earlier restore left behind.
std::string AsideName(const std::string& target) {
    std::string aside = target + ".restore-old";
    struct stat st {};
    for (int n = 1; ::lstat(aside.c_str(), &st) == 0; ++n)
        aside = target + ".restore-old." + std::to_string(n);
    return aside;
}

struct Move {
    std::string staged;
    std::string target;
    std::string aside;  // empty when no file was there
    bool done = false;
};

}  // namespace

RestoreReport InspectBackup(const std::string& archivePath, const RestoreLimits& limits) {
    ZipHandle za;
    std::vector<Entry> entries;
    return OpenChecked(archivePath, limits, za, entries);
}

RestoreReport RestoreBackup(const std::string& programFolder, const std::string& archivePath,
                            const RestoreOptions& options) {
    ZipHandle za;
    std::vector<Entry> entries;
    RestoreReport checked = OpenChecked(archivePath, options.limits, za, entries);
    if (checked.status != RestoreStatus::Done)
        return checked;

    zip_uint64_t total = 0;
    for (const Entry& e : entries)
        total += e.size;
    struct statvfs disk {};
    if (::statvfs(programFolder.c_str(), &disk) == 0 &&
        zip_uint64_t(disk.f_bavail) * disk.f_frsize < total + (zip_uint64_t(1) << 20))
        return {RestoreStatus::Failed, "not enough free space"};

    // Everything is extracted into a staging folder inside the program folder (so the moves
    // below stay on one file system) and checked there.
    ScratchFolder staging(programFolder, ".restore-");
    if (!staging.ok())
        return {RestoreStatus::Failed, ErrnoText(programFolder)};
    std::string error;
    // The database first, so that it is in place before the settings that go with it.
    std::stable_partition(entries.begin(), entries.end(),
                          [](const Entry& e) { return e.name == kDatabaseName; });
    for (const Entry& e : entries) {
        const std::string staged = platform::JoinPath(staging.path(), e.name);
        if (!MakeParents(staging.path(), e.name, nullptr, error) ||
            !ExtractEntry(za.get(), e, staged, ModeFor(platform::JoinPath(programFolder, e.name)),
                          error))
            return {RestoreStatus::Failed, error};
        if (e.name == kDatabaseName && !platform::DatabaseHasTable(staged, "eventtable", error))
            return {RestoreStatus::Failed, error};
    }
    za.reset();

    std::vector<Move> moves;
    for (const Entry& e : entries)
        moves.push_back({platform::JoinPath(staging.path(), e.name),
                         platform::JoinPath(programFolder, e.name),
                         {},
                         false});
    std::vector<std::string> createdFolders;
    bool ok = true;
    for (std::size_t k = 0; k < moves.size() && ok; ++k) {
        Move& m = moves[k];
        const std::string relative = entries[k].name;
        if (options.beforeMove && !options.beforeMove(k)) {
            error = "interrupted";
            ok = false;
            break;
        }
        if (!MakeParents(programFolder, relative, &createdFolders, error)) {
            ok = false;
            break;
        }
        struct stat st {};
        if (::lstat(m.target.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) {
                error = m.target + ": is a folder";
                ok = false;
                break;
            }
            m.aside = AsideName(m.target);
            if (::rename(m.target.c_str(), m.aside.c_str()) != 0) {
                error = ErrnoText(m.target);
                m.aside.clear();
                ok = false;
                break;
            }
        }
        if (::rename(m.staged.c_str(), m.target.c_str()) != 0) {
            error = ErrnoText(m.target);
            if (!m.aside.empty() && ::rename(m.aside.c_str(), m.target.c_str()) == 0)
                m.aside.clear();
            ok = false;
            break;
        }
        m.done = true;
    }

    if (!ok) {
        // Put every old file back where it was and take away the new ones.
        for (auto it = moves.rbegin(); it != moves.rend(); ++it) {
            if (it->done) {
                if (!it->aside.empty())
                    ::rename(it->aside.c_str(), it->target.c_str());
                else
                    ::unlink(it->target.c_str());
            } else if (!it->aside.empty()) {
                ::rename(it->aside.c_str(), it->target.c_str());
            }
        }
        for (auto it = createdFolders.rbegin(); it != createdFolders.rend(); ++it)
            ::rmdir(it->c_str());
        SyncFolder(programFolder);
        return {RestoreStatus::Failed, error};
    }
    for (const Move& m : moves) {
        if (!m.aside.empty())
            ::unlink(m.aside.c_str());
    }
    SyncFolder(programFolder);
    return {RestoreStatus::Done, {}};
}

}  // namespace qcal
