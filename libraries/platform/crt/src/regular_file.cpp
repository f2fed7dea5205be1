#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

namespace {

template <typename Buffer>
RegularFileRead Read(const std::string& path, size_t maxBytes, Buffer& bytes, std::string* error) {
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
    const std::string tooLarge = path + " is larger than " + std::to_string(maxBytes) + " bytes";
    if (size > maxBytes)
        return fail(RegularFileRead::TooLarge, tooLarge);
    // The size read may be stale: read until the end, but never more than one byte beyond the
    // limit, which tells a file that grew past it.
    size_t filled = 0;
    bytes.resize(static_cast<size_t>(size) + 1);
    for (;;) {
        const ssize_t n = ::read(fd, &bytes[filled], bytes.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(RegularFileRead::ReadFailed, "cannot read " + path + ": " + std::strerror(errno));
        filled += static_cast<size_t>(n);
        if (n == 0 || filled > maxBytes)
            break;
        if (filled == bytes.size())
            bytes.resize(filled + std::min<size_t>(filled, maxBytes + 1 - filled));
    }
    if (filled > maxBytes)
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
    if (fd < 0)
        return fail(RegularFileRead::NotFound, "cannot open " + path + ": " + std::strerror(errno));
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        return fail(RegularFileRead::ReadFailed, "cannot read " + path + ": " + why);
    }
    if (!S_ISREG(info.st_mode) || info.st_size < 0) {
        ::close(fd);
        return fail(RegularFileRead::NotRegular, path + " is not a regular file");
    }
    if (size)
        *size = static_cast<uint64_t>(info.st_size);
    status = RegularFileRead::Ok;
    return fd;
}

RegularFileRead ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes, std::string* error) {
    return Read(path, maxBytes, bytes, error);
}

RegularFileRead ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                                std::string* error) {
    return Read(path, maxBytes, bytes, error);
}
