// The generated data folders: every file the production opens is there and reads back
// with the project's own readers (sync tracks, image codec) or a strict parse.

#include <gtest/gtest.h>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <platform/image_codec.h>
#include <sync/sync.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "timeline.h"
#include "track_names.h"

namespace fs = std::filesystem;

namespace {

struct DataSet {
    const char* name;
    const char* dir;
    uint32_t endRow;
};

void PrintTo(const DataSet& set, std::ostream* out) {
    *out << set.name << " (" << set.dir << ")";
}

const DataSet kSets[] = {
    {"show", ZENDRA_DATA_DIR, 128 * 32},
    {"test", ZENDRA_TESTDATA_DIR, 3 * 32},
};

class DataFolder : public ::testing::TestWithParam<DataSet> {
protected:
    fs::path Dir() const { return GetParam().dir; }
};

class NullTimer : public sync::Timer {
public:
    void Pause() override {}
    void Play() override {}
    float GetRow() override { return 0.0f; }
    void SetRow(float) override {}
    bool IsPlaying() override { return false; }
};

TEST_P(DataFolder, EveryTrackFileLoadsThroughTheSyncDevice) {
    NullTimer timer;
    // The framework's base name, relative to the project folder.
    std::unique_ptr<sync::PlayerDevice> device(sync::CreatePlayerDevice((Dir() / "sync" / "sync").string(), &timer));
    for (const datagen::KnownTrack& known : datagen::kKnownTracks) {
        std::string name(known.name);
        fs::path file = Dir() / "sync" / ("sync_" + name + ".track");
        ASSERT_TRUE(fs::is_regular_file(file)) << file;
        sync::Track probe(name);
        EXPECT_TRUE(sync::LoadTrackFile(probe, file.string())) << file;
        EXPECT_EQ(fs::file_size(file), 4 + 9 * probe.KeyCount()) << file << ": a complete file, nothing after it";
        sync::Track* track = device->GetTrack(name);
        EXPECT_EQ(track->KeyCount(), probe.KeyCount()) << name;
        for (const auto& [row, key] : track->keys) {
            EXPECT_LE(row, GetParam().endRow) << name;
            EXPECT_GE(key.type, 0) << name;
            EXPECT_LE(key.type, 4) << name;
        }
    }
}

TEST_P(DataFolder, GotoRowPlaysOnUntilTheEndMarkAndThenStops) {
    sync::Track track("GotoRow");
    ASSERT_TRUE(sync::LoadTrackFile(track, (Dir() / "sync" / "sync_GotoRow.track").string()));
    ASSERT_TRUE(track.HasKeys());
    const float end = static_cast<float>(GetParam().endRow);
    EXPECT_EQ(track.GetValue(0.0f), -1.0f);
    EXPECT_EQ(track.GetValue(end * 0.5f), -1.0f);
    EXPECT_EQ(track.GetValue(end - 0.01f), -1.0f);
    EXPECT_EQ(track.GetValue(end), 0.0f);
}

TEST_P(DataFolder, TheShowStartsFromItsFirstPartAndReachesEveryObjectType) {
    sync::Track type("Obj_MainType");
    ASSERT_TRUE(sync::LoadTrackFile(type, (Dir() / "sync" / "sync_Obj_MainType.track").string()));
    ASSERT_TRUE(type.HasKeys());
    EXPECT_EQ(type.keys.begin()->first, 0u) << "the main object is chosen from row 0";
    std::set<int> seen;
    for (const auto& [row, key] : type.keys)
        seen.insert(static_cast<int>(key.value));
    EXPECT_TRUE(seen.count(3)) << "the tetra simulation runs in every data set";
    if (std::string(GetParam().name) == "show") {
        for (int t = 0; t <= 5; ++t)
            EXPECT_TRUE(seen.count(t)) << "object type " << t;
    }
}

TEST_P(DataFolder, TheSceneDescriptionHasTransformsAndACameraOnOne) {
    boost::property_tree::ptree tree;
    ASSERT_NO_THROW(boost::property_tree::read_xml((Dir() / "caleidoscope.xml").string(), tree));
    auto scene = tree.get_child_optional("scene");
    ASSERT_TRUE(scene);
    std::set<std::string> transforms;
    for (const auto& [element, trans] : scene->get_child("transforms")) {
        if (element != "trans")
            continue;
        std::string name = trans.get<std::string>("<xmlattr>.name");
        transforms.insert(name);
        for (const char* channel : {"translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ", "scaleX",
                                    "scaleY", "scaleZ"}) {
            std::string text = trans.get<std::string>(std::string("<xmlattr>.") + channel, "");
            std::istringstream in(text);
            std::vector<double> numbers;
            double v;
            while (in >> v)
                numbers.push_back(v);
            EXPECT_TRUE(in.eof()) << name << "." << channel << ": only numbers";
            EXPECT_FALSE(numbers.empty()) << name << "." << channel;
            EXPECT_EQ(numbers.size() % 4, 0u) << name << "." << channel << ": groups of time, value, tangents";
        }
    }
    int cameras = 0;
    for (const auto& [element, camera] : scene->get_child("cameras")) {
        if (element == "<xmlcomment>")
            continue;
        ++cameras;
        EXPECT_TRUE(transforms.count(camera.get<std::string>("<xmlattr>.name"))) << "a camera rides on a transform";
        for (const char* attribute : {"nearz", "farz", "nearfocus", "farfocus", "vFOV", "aspect"})
            EXPECT_GT(camera.get<float>(std::string("<xmlattr>.") + attribute), 0.0f) << attribute;
        EXPECT_LT(camera.get<float>("<xmlattr>.nearz"), camera.get<float>("<xmlattr>.farz"));
    }
    EXPECT_GE(cameras, 1);
}

struct ObjStats {
    size_t positions = 0, normals = 0, faces = 0;
    std::vector<std::string> materialsUsed;
    std::string mtllib;
    std::string error;
    double extent = 0;
};

// Reads the .obj subset the framework's mesh reader knows, strictly.
ObjStats ReadObj(const fs::path& path) {
    ObjStats s;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        if (!(words >> key) || key[0] == '#')
            continue;
        if (key == "v") {
            double x, y, z;
            if (!(words >> x >> y >> z))
                s.error = "bad position: " + line;
            s.extent = std::max({s.extent, std::fabs(x), std::fabs(y), std::fabs(z)});
            ++s.positions;
        } else if (key == "vn") {
            double x, y, z;
            if (!(words >> x >> y >> z) || std::fabs(std::sqrt(x * x + y * y + z * z) - 1.0) > 1e-3)
                s.error = "bad normal: " + line;
            ++s.normals;
        } else if (key == "f") {
            std::string corner;
            int corners = 0;
            while (words >> corner) {
                unsigned p = 0, n = 0;
                if (std::sscanf(corner.c_str(), "%u//%u", &p, &n) != 2 || p == 0 || p > s.positions || n == 0 ||
                    n > s.normals)
                    s.error = "bad corner '" + corner + "'";
                ++corners;
            }
            if (corners != 3)
                s.error = "not a triangle: " + line;
            if (s.materialsUsed.empty())
                s.error = "a face before the first usemtl";
            ++s.faces;
        } else if (key == "usemtl") {
            std::string name;
            words >> name;
            s.materialsUsed.push_back(name);
        } else if (key == "mtllib") {
            words >> s.mtllib;
        } else {
            s.error = "unexpected line: " + line;
        }
    }
    return s;
}

TEST_P(DataFolder, EveryMeshIsATriangulatedObjWithNormalsAndItsMaterials) {
    // file, largest coordinate expected (at the scale the scene draws it)
    const std::pair<const char*, double> meshes[] = {
        {"diamond.obj", 12},  {"kuben.obj", 12},        {"romstasjon.obj", 14}, {"sphere.obj", 12},
        {"crystal6.obj", 16}, {"smallCrystals.obj", 4}, {"smallPyr.obj", 3},    {"wireframe1.obj", 200},
        {"fucrr.obj", 2.5},  // the shard inside the simulation's reference frame
    };
    for (const auto& [file, extent] : meshes) {
        ObjStats s = ReadObj(Dir() / file);
        EXPECT_EQ(s.error, "") << file;
        EXPECT_GT(s.faces, 3u) << file;
        EXPECT_GT(s.normals, 0u) << file;
        EXPECT_LE(s.extent, extent) << file;
        EXPECT_GT(s.extent, extent / 5) << file;
        ASSERT_FALSE(s.mtllib.empty()) << file;
        std::ifstream mtl(Dir() / s.mtllib);
        ASSERT_TRUE(mtl) << s.mtllib;
        std::string text((std::istreambuf_iterator<char>(mtl)), std::istreambuf_iterator<char>());
        for (const std::string& m : s.materialsUsed)
            EXPECT_NE(text.find("newmtl " + m + "\n"), std::string::npos) << file << ": " << m;
    }
    // The crystals are drawn one shape per attribute range: several materials.
    EXPECT_GE(ReadObj(Dir() / "smallCrystals.obj").materialsUsed.size(), 3u);
}

image_codec::Image LoadImage(const fs::path& path) {
    image_codec::Image image;
    std::string error;
    EXPECT_TRUE(image_codec::LoadImageFile(path.string(), image, &error)) << path << ": " << error;
    return image;
}

// Standard deviation of luminance times alpha of the first surface: a designed picture
// varies.
double Contrast(const image_codec::Image& image) {
    std::vector<uint8_t> rgba;
    if (!image_codec::ConvertToRGBA8(image, 0, 0, 0, rgba))
        return 0;
    double sum = 0, sq = 0;
    size_t n = rgba.size() / 4;
    for (size_t i = 0; i < n; ++i) {
        double l = (0.3 * rgba[i * 4] + 0.59 * rgba[i * 4 + 1] + 0.11 * rgba[i * 4 + 2]) * rgba[i * 4 + 3] / 255.0;
        sum += l;
        sq += l * l;
    }
    return std::sqrt(std::max(0.0, sq / n - (sum / n) * (sum / n)));
}

TEST_P(DataFolder, EveryImageTheProgramAsksForLoadsThroughTheImageCodec) {
    const char* images[] = {
        "flipCard1.png",
        "flipCard2.png",
        "flipcard1.png",
        "flipcard2.png",
        "flipcard3.png",
        "dust.png",
        "dustParticle.png",
        "vignette.jpg",
        "flare1.png",
        "prism-depot-lens-flares/02_quell.png",
        "prism-depot-lens-flares/48_quell.png",
        "prism-depot-lens-flares/49_quell.png",
        "missing.png",
    };
    for (const char* name : images) {
        image_codec::Image image = LoadImage(Dir() / name);
        EXPECT_GE(image.width, 64u) << name;
        EXPECT_GT(Contrast(image), 8.0) << name << " is not a flat card";
    }
    image_codec::Image card = LoadImage(Dir() / "flipcard1.png");
    EXPECT_EQ(card.width * 10, card.height * 16) << "flip cards have the show's aspect of 1.6";
}

TEST_P(DataFolder, TheLightProbeIsACubeMapWithAMipChain) {
    image_codec::Image probe = LoadImage(Dir() / "350.dds");
    EXPECT_TRUE(probe.cube);
    EXPECT_EQ(probe.arraySize, 6u);
    EXPECT_EQ(probe.width, probe.height);
    EXPECT_EQ(probe.mipLevels, image_codec::FullMipCount(probe.width, probe.height));
}

TEST_P(DataFolder, TheStoredScenarioHoldsTwoStatesOfTetrahedra) {
    std::vector<image_codec::Image> states[2];
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 3; ++i) {
            std::string name = "fucrr_2_" + std::to_string(i) + "_" + std::to_string(j) + ".dds";
            image_codec::Image image = LoadImage(Dir() / name);
            EXPECT_EQ(image.dxgiFormat, image_codec::kR32G32B32A32_FLOAT) << name;
            EXPECT_EQ(image.width, 180u) << name;
            EXPECT_EQ(image.height, 180u) << name;
            EXPECT_EQ(image.mipLevels, 1u) << name;
            states[j].push_back(std::move(image));
        }
    ASSERT_EQ(states[0][0].data.size(), 180u * 180 * 16);
    // Texel k of textures 0..2 holds corners 0..2 and one coordinate of corner 3: every
    // tetrahedron keeps the reference shape's edge length, scaled alike for all.
    auto corner = [&](int state, int k, int c) {
        std::array<float, 3> p;
        for (int axis = 0; axis < 3; ++axis) {
            const float* t = reinterpret_cast<const float*>(states[state][c < 3 ? c : axis].data.data()) + k * 4;
            p[axis] = c < 3 ? t[axis] : t[3];
        }
        return p;
    };
    auto distance = [](std::array<float, 3> a, std::array<float, 3> b) {
        return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
    };
    const float edge0 = distance(corner(0, 0, 0), corner(0, 0, 3));
    EXPECT_GT(edge0, 0.5f);
    bool moved = false;
    for (int k = 0; k < 180 * 180; k += 997) {
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(distance(corner(0, k, c), corner(0, k, 3)), edge0, edge0 * 1e-3) << k;
        moved = moved || distance(corner(0, k, 0), corner(1, k, 0)) > 1e-4f;
    }
    EXPECT_TRUE(moved) << "the newer state differs from the older one";
}

TEST_P(DataFolder, TheNoiseVolumeFillsTheWholeVolumeWithVaryingBytes) {
    fs::path path = Dir() / "noise.bin";
    ASSERT_EQ(fs::file_size(path), 2097152u);
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes(2097152);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::set<unsigned char> values(bytes.begin(), bytes.end());
    EXPECT_GT(values.size(), 200u);
    // Tileable: the last slice, row and column run on smoothly into the first.
    auto at = [&](int x, int y, int z) {
        return static_cast<int>(bytes[(static_cast<size_t>(z) * 128 + y) * 128 + x]);
    };
    double seam = 0, inner = 0;
    for (int y = 0; y < 128; ++y)
        for (int z = 0; z < 128; ++z) {
            seam += std::abs(at(127, y, z) - at(0, y, z));
            inner += std::abs(at(64, y, z) - at(65, y, z));
        }
    EXPECT_LT(seam, inner * 2.0 + 128 * 128);
}

TEST_P(DataFolder, TheMusicIsThere) {
    fs::path path = Dir() / "demo.mp3";
    ASSERT_TRUE(fs::is_regular_file(path));
    std::ifstream in(path, std::ios::binary);
    unsigned char head[2] = {};
    in.read(reinterpret_cast<char*>(head), 2);
    EXPECT_EQ(head[0], 0xFF) << "starts with an MPEG frame, no tag";
    EXPECT_EQ(head[1] & 0xE0, 0xE0);
}

INSTANTIATE_TEST_SUITE_P(Generated, DataFolder, ::testing::ValuesIn(kSets),
                         [](const ::testing::TestParamInfo<DataSet>& info) { return std::string(info.param.name); });

}  // namespace
