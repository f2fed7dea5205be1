#include "platform/regular_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

namespace fs = std::filesystem;

TEST(RegularFile, ReadsWithinTheLimitAndRefusesTheRestWithoutReadingIt) {
    const fs::path dir = fs::temp_directory_path() / ("crt_regular_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "eight.bin").string(), fifo = (dir / "pipe").string();
    std::ofstream(file, std::ios::binary) << "12345678";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));

    std::string text, error;
    EXPECT_EQ(RegularFileRead::Ok, ReadRegularFile(file, 8, text, &error));
    EXPECT_EQ("12345678", text);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(RegularFileRead::TooLarge, ReadRegularFile(file, 7, bytes, &error));
    EXPECT_TRUE(bytes.empty());
    EXPECT_NE(std::string::npos, error.find("eight.bin"));
    // A pipe with no writer would block an ordinary open; devices never end.
    EXPECT_EQ(RegularFileRead::NotRegular, ReadRegularFile(fifo, 1 << 20, text, &error));
    EXPECT_EQ(RegularFileRead::NotRegular, ReadRegularFile("/dev/zero", 1 << 20, text, &error));
    EXPECT_EQ(RegularFileRead::NotRegular, ReadRegularFile(dir.string(), 1 << 20, text, &error));
    EXPECT_EQ(RegularFileRead::NotFound, ReadRegularFile((dir / "none").string(), 1 << 20, text, &error));
    EXPECT_NE(std::string::npos, error.find("none"));
    EXPECT_EQ(RegularFileRead::NotFound, ReadRegularFile((dir / "a\x1b[2Jb").string(), 1, text, &error));
    EXPECT_NE(std::string::npos, error.find("a\\x1b[2Jb")) << error;

    // A reader of the start of a file takes what fits, and the same files only.
    EXPECT_EQ(RegularFileRead::Ok, ReadRegularFileStart(file, 5, bytes, &error));
    EXPECT_EQ("12345", std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(RegularFileRead::Ok, ReadRegularFileStart(file, 100, bytes, &error));
    EXPECT_EQ(8u, bytes.size());
    for (const std::string& other : {fifo, std::string("/dev/zero")}) {
        EXPECT_EQ(RegularFileRead::NotRegular, ReadRegularFileStart(other, 1 << 20, bytes, &error)) << other;
        EXPECT_TRUE(bytes.empty());
    }

    RegularFileRead status = RegularFileRead::ReadFailed;
    const int fd = OpenRegularFile(file, status, &error);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(RegularFileRead::Ok, status);
    ::close(fd);
    EXPECT_EQ(-1, OpenRegularFile(fifo, status, &error));
    EXPECT_EQ(RegularFileRead::NotRegular, status);
    EXPECT_NE(std::string::npos, error.find("pipe"));
    fs::remove_all(dir);
}

TEST(RegularFile, ANewFileForWritingReplacesWhatStoodThereWithoutWritingThroughIt) {
    const fs::path dir = fs::temp_directory_path() / ("crt_create_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string kept = (dir / "kept.txt").string(), name = (dir / "out.tmp").string();
    std::ofstream(kept) << "kept";
    const std::function<int()> standing[] = {
        [&] { return ::mkfifo(name.c_str(), 0600); },           // a write would wait for a reader
        [&] { return ::symlink(kept.c_str(), name.c_str()); },  // a write would go into kept.txt
        [&] { return std::ofstream(name) << "old" ? 0 : -1; },
    };
    for (const std::function<int()>& before : standing) {
        ASSERT_EQ(0, before());
        std::FILE* out = CreateNewRegularFile(name);
        ASSERT_NE(nullptr, out);
        EXPECT_EQ(1u, std::fwrite("new", 3, 1, out));
        EXPECT_EQ(0, std::fclose(out));
        std::string text;
        EXPECT_EQ(RegularFileRead::Ok, ReadRegularFile(name, 16, text));
        EXPECT_EQ("new", text);
        EXPECT_EQ(RegularFileRead::Ok, ReadRegularFile(kept, 16, text));
        EXPECT_EQ("kept", text);
        fs::remove(name);
    }
    fs::create_directory(name);
    EXPECT_EQ(nullptr, CreateNewRegularFile(name));
    fs::remove_all(dir);
}

}  // namespace
