// Replays fuzz inputs without libFuzzer: every file named on the command line, and every
// file under every folder named, is given once to LLVMFuzzerTestOneInput in its own
// exactly sized buffer. Fails when a folder holds no file or a file cannot be read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace fs = std::filesystem;

// Under the address sanitizer an allocation above 2 GiB fails the replay, as it stops the
// fuzzer (its memory limit): an input that makes a reader ask for that much is a finding.
extern "C" const char* __asan_default_options() {
    return "max_allocation_size_mb=2048";
}

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        // Absolute: a harness may change the working directory.
        const fs::path arg = fs::absolute(argv[i]);
        if (!fs::is_directory(arg)) {
            files.push_back(arg);
            continue;
        }
        const size_t before = files.size();
        for (const auto& entry : fs::recursive_directory_iterator(arg))
            if (entry.is_regular_file())
                files.push_back(entry.path());
        if (files.size() == before) {
            std::fprintf(stderr, "no input under %s\n", arg.c_str());
            return 1;
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", file.c_str());
            return 1;
        }
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // A buffer of exactly the input's size, so that a read past its end is caught.
        std::unique_ptr<uint8_t[]> data(new uint8_t[bytes.size() ? bytes.size() : 1]);
        std::copy(bytes.begin(), bytes.end(), data.get());
        std::printf("%s\n", file.c_str());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(data.get(), bytes.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
