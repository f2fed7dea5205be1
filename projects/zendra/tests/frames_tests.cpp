// The headless renderer's pictures of the show against the reference pictures, drawn small
// after stepping the show from row 0.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
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
    p.rgba[2] = 17;  // blue above 16
    p.rgba[5] = 16;  // green at the level: not lit
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

namespace {

// The rows of the reference pictures (tests/reference/rows.txt: a row and a label a line).
std::vector<std::pair<float, std::string>> ReferenceRows(const fs::path& folder) {
    std::vector<std::pair<float, std::string>> rows;
    std::ifstream file((folder / "rows.txt").string());
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string row, label;
        if (words >> row >> label)
            rows.emplace_back(std::stof(row), row);
    }
    return rows;
}

}  // namespace

// The show drawn small at the reference rows (one in every section and each transition),
// compared with the committed pictures. llvmpipe draws them bit for bit alike from run to
// run; the tolerance leaves room for builds that round the scene's arithmetic otherwise,
// and no more: a 5 % change of the light's fall-off fails it.
// tools/update-reference-pictures.sh draws them anew.
constexpr double kMeanDifference = 0.0005;  // of the colour channels, 0 to 1
constexpr int kChangedLevel = 8;            // a pixel counts as changed above this (of 255)
constexpr double kChangedShare = 0.001;     // of the pixels
TEST(FramesShow, ReferencePicturesMatchAndSectionsAreLitFiniteAndDistinct) {
    const fs::path project(ZENDRA_PROJECT_DIR);
    const fs::path references = project / "tests" / "reference";
    const auto rows = ReferenceRows(references);
    ASSERT_GE(rows.size(), 10u) << references;
    const auto sections = zendra_frames::ReadSections((project / "content" / "demo.timeline").string());
    ASSERT_GE(sections.size(), 2u);
    const fs::path root = zendratest::MakeShippedFolder("zendra-frames-test");
    const fs::path previous = fs::current_path();
    fs::current_path(root);

    std::vector<Picture> pictures;
    std::vector<size_t> nonFinite;
    {
        zendra_frames::ShowRenderer renderer;
        std::string error;
        ASSERT_TRUE(renderer.Open(256, 160, error)) << error;
        for (const auto& row : rows) {
            renderer.RenderAt(row.first);
            EXPECT_NEAR(renderer.Row(), row.first, 0.01f);
            pictures.push_back(renderer.ReadPicture());
            nonFinite.push_back(renderer.CountNonFinite());
        }
    }
    fs::current_path(previous);

    // Pictures that differ stay beside the shipped folder, to look at.
    bool keep = false;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string name = "row_" + rows[i].second + ".png";
        SCOPED_TRACE(name);
        const Picture& p = pictures[i];
        ASSERT_EQ(p.width, 256u);
        ASSERT_EQ(p.height, 160u);
        EXPECT_EQ(nonFinite[i], 0u);
        Picture reference;
        ASSERT_TRUE(zendra_frames::ReadPng((references / name).string(), reference)) << references / name;
        const double mean = zendra_frames::MeanDifference(p, reference);
        const double changed = zendra_frames::ChangedShare(p, reference, kChangedLevel);
        EXPECT_LT(mean, kMeanDifference);
        EXPECT_LT(changed, kChangedShare) << "mean difference " << mean;
        if (mean >= kMeanDifference || changed >= kChangedShare) {
            keep = true;
            zendra_frames::WritePng(p, (root / name).string());
        }
    }
    // The middle of every section: lit and unlike every other section.
    std::vector<size_t> middles;
    for (const auto& section : sections)
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].first == section.MiddleRow())
                middles.push_back(i);
    EXPECT_EQ(middles.size(), sections.size()) << "a section without a reference row in its middle";
    for (size_t m = 0; m < middles.size(); ++m) {
        const Picture& p = pictures[middles[m]];
        SCOPED_TRACE(rows[middles[m]].second);
        EXPECT_GT(zendra_frames::MeanBrightness(p), 0.01);
        EXPECT_GT(zendra_frames::LitShare(p, 24), 0.02);
        for (size_t j = 0; j < m; ++j)
            EXPECT_GT(zendra_frames::MeanDifference(pictures[middles[j]], p), 0.01)
                << "same as row " << rows[middles[j]].second;
    }
    boost::system::error_code ec;
    if (keep)
        std::printf("pictures that differ are kept in %s\n", root.string().c_str());
    else
        fs::remove_all(root, ec);
}
