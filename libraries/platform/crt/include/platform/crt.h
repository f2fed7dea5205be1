// The C runtime of the original platform where it differs from glibc's.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

// rand/srand: the original runtime's 15-bit generator, one sequence per thread
// (state = state * 214013 + 2531011, value = (state >> 16) & 0x7FFF, initial state 1 on
// every thread); srand seeds the calling thread's sequence only. Every executable that
// links platform_crt uses these in place of glibc's, including the modules it loads at
// run time.
extern "C" {
int rand(void) noexcept;
void srand(unsigned int seed) noexcept;
}
#undef RAND_MAX
#define RAND_MAX 0x7FFF

// Windows file-name semantics for files the system opens by name:
//  1. a path that exists is returned as it is;
//  2. otherwise '\' is read as a separator, and each component that does not exist is
//     replaced by an entry of its folder that equals it ignoring ASCII case (the first
//     such entry in byte order when several do);
//  3. when some component has no such match the path is returned unchanged.
std::string PlatformResolveFileName(const std::string& path);

// fopen through PlatformResolveFileName; a name that is only written ("w", "a") keeps the
// resolved folder and its own last component when that component does not exist yet. Only
// regular files are opened (a read never waits on a pipe); null for anything else.
std::FILE* PlatformOpenFile(const char* path, const char* mode);
