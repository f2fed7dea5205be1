#include "platform/crt.h"
#include "platform/regular_file.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// The entry of `folder` that matches `name` ignoring case; empty when there is none.
std::string FindInFolder(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return {};
    std::string best;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view candidate(entry->d_name);
        if (EqualIgnoringCase(candidate, name) && (best.empty() || candidate < best))
            best = candidate;
    }
    ::closedir(dir);
    return best;
}

// Resolves every component; `lastMayBeMissing` keeps an absent last component as written.
bool Resolve(const std::string& original, bool lastMayBeMissing, std::string& result) {
    std::string path = original;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    if (Exists(path)) {
        result = path;
        return true;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    std::string built;
    bool absolute = !path.empty() && path[0] == '/';
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (i == 0 && absolute) {
            built.assign(1, '/');
            continue;
        }
        std::string prefix = built;
        if (!prefix.empty() && prefix.back() != '/')
            prefix += '/';
        if (part.empty() || part == "." || part == "..") {
            built = prefix + part;
            continue;
        }
        if (Exists(prefix + part)) {
            built = prefix + part;
            continue;
        }
        std::string match = FindInFolder(built, part);
        if (match.empty()) {
            if (lastMayBeMissing && i + 1 == parts.size()) {
                built = prefix + part;
                break;
            }
            return false;
        }
        built = prefix + match;
    }
    result = built;
    return true;
}

}  // namespace

std::string PlatformResolveFileName(const std::string& path) {
    if (path.empty() || Exists(path))
        return path;
    std::string resolved;
    return Resolve(path, false, resolved) ? resolved : path;
}

std::FILE* PlatformOpenFile(const char* path, const char* mode) {
    if (!path || !mode)
        return nullptr;
    std::string name(path);
    if (!Exists(name)) {
        bool creates = mode[0] == 'w' || mode[0] == 'a';
        std::string resolved;
        if (Resolve(name, creates, resolved))
            name = resolved;
    }
    // Only regular files: a read opens through OpenRegularFile, which never waits on a pipe,
    // and a write refuses a name that stands for anything else.
    if (mode[0] == 'r' && !std::strchr(mode, '+')) {
        RegularFileRead status;
        const int fd = OpenRegularFile(name, status);
        std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, mode);
        if (fd >= 0 && !file)
            ::close(fd);
        return file;
    }
    struct stat info;
    if (::stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return nullptr;
    }
    return std::fopen(name.c_str(), mode);
}
