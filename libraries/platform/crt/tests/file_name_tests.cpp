#include "platform/crt.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class FileNames : public testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("crt_names_" + std::to_string(::getpid()) + "_" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "Data" / "Images");
        std::ofstream(root / "Data" / "Images" / "FlipCard1.png") << "one";
        std::ofstream(root / "Data" / "exact.txt") << "exact";
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(FileNames, ExistingPathComesBackUnchanged) {
    std::string path = (root / "Data" / "exact.txt").string();
    EXPECT_EQ(path, PlatformResolveFileName(path));
}

TEST_F(FileNames, EveryComponentFallsBackToACaseInsensitiveMatch) {
    std::string asked = (root / "data" / "IMAGES" / "flipcard1.PNG").string();
    EXPECT_EQ((root / "Data" / "Images" / "FlipCard1.png").string(), PlatformResolveFileName(asked));
}

TEST_F(FileNames, BackslashesAreSeparators) {
    std::string asked = root.string() + "\\data\\images\\flipcard1.png";
    EXPECT_EQ((root / "Data" / "Images" / "FlipCard1.png").string(), PlatformResolveFileName(asked));
}

TEST_F(FileNames, RelativePathsResolveAgainstTheWorkingDirectory) {
    fs::path previous = fs::current_path();
    fs::current_path(root);
    EXPECT_EQ("./Data/Images/FlipCard1.png", PlatformResolveFileName("./data/images/flipcard1.png"));
    EXPECT_EQ("Data/exact.txt", PlatformResolveFileName("DATA/EXACT.TXT"));
    fs::current_path(previous);
}

TEST_F(FileNames, MissingNameComesBackUnchanged) {
    std::string asked = (root / "data" / "images" / "flipcard2.png").string();
    EXPECT_EQ(asked, PlatformResolveFileName(asked));
    std::string noFolder = (root / "nothing" / "exact.txt").string();
    EXPECT_EQ(noFolder, PlatformResolveFileName(noFolder));
}

TEST_F(FileNames, SeveralMatchesPickTheFirstInByteOrder) {
    std::ofstream(root / "Data" / "Twice.txt") << "upper";
    std::ofstream(root / "Data" / "twice.TXT") << "lower";
    EXPECT_EQ((root / "Data" / "Twice.txt").string(), PlatformResolveFileName((root / "data" / "TWICE.txt").string()));
}

TEST_F(FileNames, OpenFileReadsThroughTheFallbackAndCreatesInResolvedFolder) {
    std::FILE* file = PlatformOpenFile((root / "DATA" / "Images" / "flipcard1.png").c_str(), "rb");
    ASSERT_NE(nullptr, file);
    char text[4] = {};
    EXPECT_EQ(3u, std::fread(text, 1, 3, file));
    EXPECT_STREQ("one", text);
    std::fclose(file);

    std::FILE* created = PlatformOpenFile((root / "data" / "New.txt").c_str(), "wb");
    ASSERT_NE(nullptr, created);
    std::fclose(created);
    EXPECT_TRUE(fs::exists(root / "Data" / "New.txt"));
    EXPECT_EQ(nullptr, PlatformOpenFile((root / "data" / "absent.txt").c_str(), "rb"));

    // Neither a read nor a write waits on a pipe or reads a device.
    const std::string pipe = (root / "Data" / "pipe").string();
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    for (const std::string& other : {pipe, std::string("/dev/zero")})
        for (const char* mode : {"rb", "wb", "ab"})
            EXPECT_EQ(nullptr, PlatformOpenFile(other.c_str(), mode)) << other << " " << mode;
}

}  // namespace
