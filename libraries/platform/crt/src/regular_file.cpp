#include "platform/regular_file.h"

#include "platform/file_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

// The whole file (`whole`: refused when larger than maxBytes) or its first maxBytes.
template <typename Buffer>
RegularFileRead Read(const std::string& path, size_t maxBytes, bool whole, Buffer& bytes, std::string* error) {
    bytes.clear();
    auto fail = [&](RegularFileRead status, const std::string& why) {
        bytes.clear();
        bytes.shrink_to_fit();
        if (error)
            *error = why;
        return status;
    };
    RegularFileRead status = RegularFileRead::Ok;
    uint64_t size = 0;
    const int fd = OpenRegularFile(path, status, error, &size);
    if (fd < 0)
        return fail(status, error ? *error : std::string());
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    const std::string tooLarge = EscapeFileText(path) + " is larger than " + std::to_string(maxBytes) + " bytes";
    if (whole && size > maxBytes)
        return fail(RegularFileRead::TooLarge, tooLarge);
    // The size read may be stale: read until the end, but never more than `most` bytes; for a
    // whole file that is one byte beyond the limit, which tells a file that grew past it.
    const size_t most = whole && maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes;
    size_t filled = 0;
    bytes.resize(static_cast<size_t>(std::min<uint64_t>(size + 1, most)));
    while (filled < most) {
        if (filled == bytes.size())
            bytes.resize(filled + std::min(filled, most - filled));
        const ssize_t n = ::read(fd, &bytes[filled], bytes.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(RegularFileRead::ReadFailed,
                        "cannot read " + EscapeFileText(path) + ": " + std::strerror(errno));
        if (n == 0)
            break;
        filled += static_cast<size_t>(n);
    }
    if (whole && filled > maxBytes)
        return fail(RegularFileRead::TooLarge, tooLarge);
    bytes.resize(filled);
    return RegularFileRead::Ok;
}

}  // namespace

int OpenRegularFile(const std::string& path, RegularFileRead& status, std::string* error, uint64_t* size) {
    auto fail = [&](RegularFileRead why, const std::string& text) {
        status = why;
        if (error)
            *error = text;
        return -1;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int why = errno;
        fail(RegularFileRead::NotFound, "cannot open " + EscapeFileText(path) + ": " + std::strerror(why));
        errno = why;
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        return fail(RegularFileRead::ReadFailed, "cannot read " + EscapeFileText(path) + ": " + why);
    }
    if (!S_ISREG(info.st_mode) || info.st_size < 0) {
        ::close(fd);
        return fail(RegularFileRead::NotRegular, EscapeFileText(path) + " is not a regular file");
    }
    if (size)
        *size = static_cast<uint64_t>(info.st_size);
    status = RegularFileRead::Ok;
    return fd;
}

RegularFileRead ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes, std::string* error) {
    return Read(path, maxBytes, true, bytes, error);
}

RegularFileRead ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                                std::string* error) {
    return Read(path, maxBytes, true, bytes, error);
}

RegularFileRead ReadRegularFileStart(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                                     std::string* error) {
    return Read(path, maxBytes, false, bytes, error);
}

std::FILE* CreateNewRegularFile(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && ::unlink(path.c_str()) != 0)
        return nullptr;
    // O_EXCL: a name that came back meanwhile fails the open instead of being followed.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return nullptr;
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        const int why = errno;
        ::close(fd);
        errno = why;
    }
    return file;
}
