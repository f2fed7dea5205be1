#include "platform/regular_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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

}  // namespace
