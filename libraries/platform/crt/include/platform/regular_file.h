// Bounded reads of files named by outside data, and the files that writers create to rename
// into place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class RegularFileRead {
    Ok,
    NotFound,    // cannot be opened
    NotRegular,  // a folder, a device, a pipe or a socket
    TooLarge,    // more than the caller's limit
    ReadFailed,
};

// Opens the regular file `path` for reading and returns its descriptor (the caller closes
// it), for readers that stream a file instead of holding it whole. Anything but a regular
// file is refused without blocking: -1, with `status` and `error` as ReadRegularFile sets them
// (errno as the failed open left it when the file cannot be opened).
// `size`, when given, receives the file's size as it was opened.
int OpenRegularFile(const std::string& path, RegularFileRead& status, std::string* error = nullptr,
                    uint64_t* size = nullptr);

// Reads the whole regular file `path` into `bytes` when it holds at most `maxBytes`. Anything
// but a regular file is refused without being read (opening never blocks on a pipe), and no
// more than maxBytes + 1 bytes are ever read, even from a file that grows meanwhile. On
// failure `bytes` is empty and `error`, when given, says why, naming the file (its control
// characters escaped, EscapeFileText).
RegularFileRead ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes,
                                std::string* error = nullptr);
RegularFileRead ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                                std::string* error = nullptr);

// As ReadRegularFile, for a reader that takes at most the first `maxBytes` of a file: a longer
// file is not refused, only its first maxBytes are read.
RegularFileRead ReadRegularFileStart(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                                     std::string* error = nullptr);

// Creates `path` anew as an empty regular file open for writing ("wb"), for a writer that
// renames it into place once it is whole. Whatever stood under the name before, except a
// folder, is removed first: the write never waits on a pipe nor goes through a link into
// another file. Null, with errno set, when it cannot.
std::FILE* CreateNewRegularFile(const std::string& path);
