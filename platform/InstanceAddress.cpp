#include "platform/InstanceAddress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace qcal::platform {

namespace {

bool IsFolder(const char* path) {
    struct stat s {};
    return path != nullptr && *path != '\0' && ::stat(path, &s) == 0 && S_ISDIR(s.st_mode);
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string CanonicalFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path canonical = fs::canonical(folder, ec);
    if (ec) {
        canonical = fs::absolute(folder, ec).lexically_normal();
    }
    return WithoutTrailingSlash(canonical.string());
}

// FNV-1a, 64 bits: the folder needs a short, stable name, not a secret.
std::uint64_t Hash(const std::string& text) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

std::string RuntimeFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); IsFolder(runtime)) {
        return WithoutTrailingSlash(runtime);
    }
    if (const char* temp = std::getenv("TMPDIR"); temp != nullptr && *temp != '\0') {
        return WithoutTrailingSlash(std::filesystem::path(temp).lexically_normal().string());
    }
    return "/tmp";
}

std::string InstanceSocketPath(const std::string& folder) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(Hash(CanonicalFolder(folder))));
    return RuntimeFolder() + "/quenlaris-calendar-" + std::to_string(::getuid()) + "-" + hex;
}

std::string InstanceLockPath(const std::string& folder) {
    return InstanceSocketPath(folder) + ".lock";
}

}  // namespace qcal::platform
