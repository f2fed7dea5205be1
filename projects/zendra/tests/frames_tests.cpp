// The headless renderer's pictures of the show: one row in the middle of every section of
// the timeline, drawn small after stepping the show from row 0.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "frames_renderer.h"
#include "support/shipped_folder.h"

namespace fs = boost::filesystem;
using zendra_frames::Picture;

namespace {

Picture Filled(uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b) {
    Picture p;
    p.width = w;
    p.height = h;
    for (uint32_t i = 0; i < w * h; ++i)
        p.rgba.insert(p.rgba.end(), {r, g, b, 0});
    return p;
}

}  // namespace

TEST(FramesPictures, BrightnessCountsEveryChannelOfEveryPixel) {
    Picture p = Filled(2, 1, 255, 0, 0);
    EXPECT_NEAR(zendra_frames::MeanBrightness(p), 1.0 / 3.0, 1e-9);
    p.rgba[4] = p.rgba[5] = p.rgba[6] = 255;
    EXPECT_NEAR(zendra_frames::MeanBrightness(p), 4.0 / 6.0, 1e-9);
    EXPECT_EQ(zendra_frames::MeanBrightness(Picture{}), 0.0);
}

TEST(FramesPictures, LitShareTakesTheBrightestChannelAboveTheLevel) {
    Picture p = Filled(4, 1, 0, 0, 0);
    p.rgba[2] = 17;   // blue above 16
    p.rgba[5] = 16;   // green at the level: not lit
    p.rgba[12] = 200;
    EXPECT_DOUBLE_EQ(zendra_frames::LitShare(p, 16), 0.5);
}

TEST(FramesPictures, DifferenceIgnoresAlphaAndRefusesOtherSizes) {
    const Picture a = Filled(2, 2, 10, 20, 30);
    Picture b = a;
    for (size_t i = 3; i < b.rgba.size(); i += 4)
        b.rgba[i] = 255;
    EXPECT_EQ(zendra_frames::MeanDifference(a, b), 0.0);
    b.rgba[0] = 10 + 51;
    EXPECT_NEAR(zendra_frames::MeanDifference(a, b), 51.0 / (3 * 255 * 4), 1e-12);
    EXPECT_EQ(zendra_frames::MeanDifference(a, Filled(4, 1, 10, 20, 30)), 1.0);
}

TEST(FramesTimeline, SectionsAreReadWithTheirMiddleRows) {
    const fs::path file = fs::temp_directory_path() / fs::unique_path("timeline-%%%%.txt");
    std::ofstream(file.string()) << "# comment\nsection intro 0 16  # pads\nsection  drop 16 8\n"
                                    "track Obj_MainType\n  intro 4\nsection broken x 2\nend 24\n";
    const auto sections = zendra_frames::ReadSections(file.string());
    fs::remove(file);
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].name, "intro");
    EXPECT_EQ(sections[0].MiddleRow(), 256.0f);
    EXPECT_EQ(sections[1].name, "drop");
    EXPECT_EQ(sections[1].firstBar, 16);
    EXPECT_EQ(sections[1].MiddleRow(), 16 * 32 + 4 * 32);
}

TEST(FramesShow, EverySectionIsLitFiniteAndUnlikeTheOthers) {
    const auto sections = zendra_frames::ReadSections(std::string(ZENDRA_PROJECT_DIR) + "/content/demo.timeline");
    ASSERT_GE(sections.size(), 2u);
    const fs::path root = zendratest::MakeShippedFolder("zendra-frames-test");
    const fs::path previous = fs::current_path();
    fs::current_path(root);

    // ZENDRA_KEEP_FRAMES=1 keeps the folder with a PNG file a section, to look at.
    const bool keep = std::getenv("ZENDRA_KEEP_FRAMES") != nullptr;
    std::vector<Picture> pictures;
    std::vector<size_t> nonFinite;
    {
        zendra_frames::ShowRenderer renderer;
        std::string error;
        ASSERT_TRUE(renderer.Open(256, 160, error)) << error;
        for (const auto& section : sections) {
            renderer.RenderAt(section.MiddleRow());
            EXPECT_NEAR(renderer.Row(), section.MiddleRow(), 0.01f);
            pictures.push_back(renderer.ReadPicture());
            nonFinite.push_back(renderer.CountNonFinite());
            if (keep)
                zendra_frames::WritePng(pictures.back(), (root / (section.name + ".png")).string());
        }
    }
    fs::current_path(previous);
    if (keep)
        std::printf("pictures kept in %s\n", root.string().c_str());

    for (size_t i = 0; i < sections.size(); ++i) {
        SCOPED_TRACE(sections[i].name);
        const Picture& p = pictures[i];
        ASSERT_EQ(p.width, 256u);
        ASSERT_EQ(p.height, 160u);
        EXPECT_GT(zendra_frames::MeanBrightness(p), 0.01);
        EXPECT_GT(zendra_frames::LitShare(p, 24), 0.02);
        EXPECT_EQ(nonFinite[i], 0u);
        for (size_t j = 0; j < i; ++j)
            EXPECT_GT(zendra_frames::MeanDifference(pictures[j], p), 0.01) << "same as " << sections[j].name;
    }
    boost::system::error_code ec;
    if (!keep)
        fs::remove_all(root, ec);
}
