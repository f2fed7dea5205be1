// Fonts on the software device: face resolution against installed families, the missing-face
// alert, kerning, measuring, drawing and the font cache's release.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <tuple>

#include "fw_Font.h"
#include "fw_Log.h"
#include "fw_Release.h"
#include "resources_support.h"

using namespace restest;

namespace {

const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/";

// Families made for these tests: copies of installed files renamed by fontconfig when it
// scans them. Set up before anything in the process asks fontconfig for a font.
struct TestFamilies {
    fs::path root = fs::temp_directory_path() / fs::unique_path("fwfont-%%%%-%%%%");
    bool ready = false;
    TestFamilies() {
        const std::pair<const char*, const char*> faces[] = {
            {"DejaVuSans.ttf", "Zendra Test"},
            {"DejaVuSans-Bold.ttf", "Zendra Test-Bold"},
            {"DejaVuSans-Oblique.ttf", "Zendra Test-RegularItalic"},
            {"DejaVuSerif.ttf", "Zendra Solo-Regular"},
            {"DejaVuSerif-Bold.ttf", "Zendra Thirty One Characters Ab"},
        };
        boost::system::error_code ec;
        fs::create_directories(root / "fonts", ec);
        const char* base = std::getenv("FONTCONFIG_FILE");
        std::ofstream conf((root / "fonts.conf").string());
        conf << "<?xml version=\"1.0\"?>\n<fontconfig>\n<include ignore_missing=\"yes\">"
             << (base ? base : "/etc/fonts/fonts.conf") << "</include>\n<dir>" << (root / "fonts").string()
             << "</dir>\n<cachedir>" << (root / "cache").string() << "</cachedir>\n";
        int n = 0;
        for (const auto& [file, family] : faces) {
            const fs::path copy = root / "fonts" / (std::to_string(n++) + ".ttf");
            fs::copy_file(fs::path(kDejaVu) / file, copy, ec);
            conf << "<match target=\"scan\"><test name=\"file\"><string>" << copy.string()
                 << "</string></test><edit name=\"family\" mode=\"assign_replace\"><string>" << family
                 << "</string></edit></match>\n";
        }
        conf << "</fontconfig>\n";
        ready = conf.good() && !ec;
        setenv("FONTCONFIG_FILE", (root / "fonts.conf").c_str(), 1);
    }
    ~TestFamilies() {
        boost::system::error_code ec;
        fs::remove_all(root, ec);
    }
};
const TestFamilies gFamilies;

std::vector<std::string> gBoxes;
// Each name fails once per process: a name not used before (for repeated runs).
std::string Fresh(const std::string& name) {
    static int runs = 0;
    return name + " " + std::to_string(++runs);
}

int RecordingMessageBox(HWND, const char* text, const char*, UINT) {
    gBoxes.push_back(text);
    return IDOK;
}

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

class FontTest : public ResourceTest {
protected:
    void SetUp() override {
        ResourceTest::SetUp();
        ASSERT_TRUE(gFamilies.ready) << "the DejaVu fonts are not installed";
        fw_Log::SetAlertMode(1);
        fw_GetAlertPlatform().messageBox = RecordingMessageBox;
        gBoxes.clear();
    }
    void TearDown() override {
        ResourceTest::TearDown();
        fw_GetAlertPlatform() = fw_DefaultAlertPlatform();
        fw_Log::SetAlertMode(0);
    }
    struct Resolved {
        std::string face;
        bool italic;
        int32_t weight;
        bool operator==(const Resolved&) const = default;
    };
    static Resolved Resolve(const std::string& name, int32_t style, bool italic = false, int32_t weight = 400) {
        std::string face = ResolveFontFace(name, style, italic, weight);
        return {face, italic, weight};
    }
    // Lit pixels in rows [top, bottom) with their column range, and lit pixels elsewhere.
    struct Lit {
        int inside = 0, outside = 0, left = 1 << 30, right = -1;
    };
    static Lit Scan(const Picture& p, uint32_t top, uint32_t bottom) {
        Lit lit;
        for (uint32_t y = 0; y < p.height; ++y)
            for (uint32_t x = 0; x < p.width; ++x)
                if (p.At(x, y)[0] >= 0.25f && (y < top || y >= bottom))
                    ++lit.outside;
                else if (p.At(x, y)[0] >= 0.25f)
                    ++lit.inside, lit.left = std::min(lit.left, int(x)), lit.right = std::max(lit.right, int(x) + 1);
        return lit;
    }
    fw_Texture* Target() {
        auto* t = new fw_Texture(kTargetBindFlags, DXGI_FORMAT_R8G8B8A8_UNORM, 256, 64, 1, nullptr);
        t->ClearGrey(0.0f);
        device->OMSetRenderTargets(1, &t->mRenderTargetView, nullptr);
        device->RSSetViewports(1, &t->mViewport);
        return t;
    }
    static Picture Take(fw_Texture* t) {
        Picture p = ReadBack(t->mTexture2D);
        ReleaseAndDelete(t);
        return p;
    }
};

}  // namespace

TEST_F(FontTest, StylesResolveThroughTheSuffixedFamiliesBeforeThePlainFace) {
    EXPECT_TRUE(FontFamilyExists("Zendra Test-Bold"));
    EXPECT_TRUE(FontFamilyExists("zendra test"));
    EXPECT_FALSE(FontFamilyExists("Zendra Test-Italic"));
    EXPECT_FALSE(FontFamilyExists(""));

    EXPECT_EQ(Resolve("Zendra Test", Regular), (Resolved{"Zendra Test", false, 400}));
    EXPECT_EQ(Resolve("Zendra Test", Bold), (Resolved{"Zendra Test-Bold", false, 400}));
    EXPECT_EQ(Resolve("Zendra Test", Italic), (Resolved{"Zendra Test-RegularItalic", false, 400}));
    EXPECT_EQ(Resolve("Zendra Test", BoldItalic), (Resolved{"Zendra Test", false, 400}));
    EXPECT_EQ(Resolve("Zendra Solo", Regular), (Resolved{"Zendra Solo-Regular", false, 400}));
    // Without suffixed families the plain face carries the style.
    EXPECT_EQ(Resolve("DejaVu Sans", Bold), (Resolved{"DejaVu Sans", false, 700}));
    EXPECT_EQ(Resolve("DejaVu Sans", Italic), (Resolved{"DejaVu Sans", true, 400}));
    EXPECT_EQ(Resolve("DejaVu Sans", BoldItalic), (Resolved{"DejaVu Sans", false, 400}));
    // No candidate: the fallback, with the caller's flags untouched.
    EXPECT_EQ(Resolve("Zendra Solo", Bold, true, 123), (Resolved{"Verdana", true, 123}));

    ID3DX10Font* font = CreateD3DXFont("DejaVu Sans", 24, Bold);
    ASSERT_NE(font, nullptr);
    D3DX10_FONT_DESCA desc = {};
    font->GetDescA(&desc);
    font->Release();
    EXPECT_STREQ(desc.FaceName, "DejaVu Sans");
    EXPECT_EQ(std::make_tuple(desc.Height, desc.Weight, desc.Italic, desc.CharSet, desc.OutputPrecision, desc.Quality,
                              desc.PitchAndFamily),
              std::make_tuple(24, 700u, FALSE, BYTE(1), BYTE(9), BYTE(5), BYTE(16)));
}

TEST_F(FontTest, AMissingFaceIsReportedOncePerName) {
    const std::string name = Fresh("Zendra Missing");
    fw_Framework::GetFont(name, 20);
    fw_Framework::GetFont(name, 30);
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_EQ(gBoxes[0], "Could not find the requested font \"" + name +
                             "\", the application will use the Verdana font as a fallback.");
    EXPECT_EQ(Resolve(Fresh("Zendra Missing"), Italic).face, "Verdana");
    EXPECT_EQ(gBoxes.size(), 2u);
}

TEST_F(FontTest, NamesOfThirtyTwoCharactersOrMoreAreRefusedNotCut) {
    const std::string fits = "Zendra Thirty One Characters Ab";
    ASSERT_EQ(fits.size(), 31u);
    EXPECT_EQ(Resolve(fits, Regular).face, fits);
    const std::string longer = Fresh(fits);
    EXPECT_FALSE(FontFamilyExists(longer));
    EXPECT_EQ(Resolve(longer, Regular).face, "Verdana");
    EXPECT_EQ(gBoxes.size(), 1u);
}

TEST_F(FontTest, KerningPairsAreKeptPerStyleByUnsignedCharacters) {
    EXPECT_EQ(MakeKerningKey(Bold, 'A', 'V'), 0x024156);
    EXPECT_EQ(MakeKerningKey(Italic, '\xE9', '\xFF'), 0x01E9FF);
    fw_Font* font = fw_Framework::GetFont("DejaVu Sans", 32);
    for (int32_t style = 0; style < kFontStyleCount; ++style) {
        HDC dc = font->mFonts[style]->GetDC();
        std::vector<KERNINGPAIR> pairs(GetKerningPairsA(dc, 0, nullptr));
        ASSERT_FALSE(pairs.empty());
        GetKerningPairsA(dc, DWORD(pairs.size()), pairs.data());
        for (const KERNINGPAIR& pair : pairs)
            ASSERT_EQ(font->GetKerning(char(pair.wFirst), char(pair.wSecond), style), pair.iKernAmount);
    }
    EXPECT_LT(font->GetKerning('A', 'V', Regular), 0);
    EXPECT_EQ(font->GetKerning(0, 'A', Regular), 0);
    EXPECT_EQ(font->GetKerning('\x01', '\x02', Bold), 0);
}

TEST_F(FontTest, MeasuredWidthIsCharacterWidthsPlusKerning) {
    fw_Font* font = fw_Framework::GetFont("DejaVu Sans", 32);
    EXPECT_EQ(font->MeasureText("", Regular).cx, 0);
    EXPECT_EQ(font->GetCharWidth(0, Regular), 0);

    const std::string text = "AVATAR";
    int32_t sum = 0;
    for (size_t i = 0; i < text.size(); ++i)
        sum += font->GetCharWidth(text[i], Regular) + (i ? font->GetKerning(text[i - 1], text[i], Regular) : 0);
    SIZE unkerned = {};
    GetTextExtentPoint32A(font->mFonts[Regular]->GetDC(), text.c_str(), int(text.size()), &unkerned);
    const SIZE measured = font->MeasureText(text, Regular);
    EXPECT_EQ(measured.cx, sum);
    EXPECT_LT(measured.cx, unkerned.cx);
    EXPECT_EQ(measured.cy, 32);

    // The first character pairs with the character 0.
    font->mKerning[MakeKerningKey(Regular, 0, 'A')] = 5;
    EXPECT_EQ(font->MeasureText("A", Regular).cx, font->GetCharWidth('A', Regular) + 5);
    EXPECT_EQ(font->MeasureText("A", Bold).cx, font->GetCharWidth('A', Bold));
    EXPECT_EQ(font->MeasureText("A", 4).cx, 0);
}

TEST_F(FontTest, DrawnTextStaysInItsRectangleAndEachPairIsKernedAtItsSecondCharacter) {
    fw_Font* font = fw_Framework::GetFont("DejaVu Sans", 32);
    fw_Texture* target = Target();
    font->DrawText("Hello world", RECT{8, 16, 100, 64}, D3DXCOLOR(1, 1, 1, 1), Regular);
    const Lit lit = Scan(Take(target), 16, 48);
    EXPECT_GT(lit.inside, 100);
    EXPECT_EQ(lit.outside, 0);
    EXPECT_GE(lit.left, 8);
    EXPECT_LE(lit.right, 100);
    EXPECT_GT(lit.right, 90);

    // "AVA" matches its characters drawn one by one at the kerned pen positions.
    target = Target();
    font->DrawText("AVA", RECT{8, 16, 248, 64}, D3DXCOLOR(1, 1, 1, 1), Regular);
    const Picture drawn = Take(target);
    target = Target();
    RECT pen = {8, 16, 248, 64};
    char previous = 0;
    for (const char c : std::string("AVA")) {
        pen.left += font->GetKerning(previous, c, Regular);
        font->mFonts[Regular]->DrawTextA(nullptr, &c, 1, &pen, 0, D3DXCOLOR(1, 1, 1, 1));
        pen.left += font->GetCharWidth(c, Regular);
        previous = c;
    }
    ASSERT_NE(font->GetKerning('A', 'V', Regular), 0);
    EXPECT_EQ(drawn.rgba, Take(target).rgba);
}

TEST_F(FontTest, TheCacheKeepsOneFontPerNameAndHeightUntilTheSharedRelease) {
    const ULONG before = References(device);
    fw_Font* font = fw_Framework::GetFont("DejaVu Sans", 20);
    EXPECT_EQ(font->GetHeight(), 20);
    EXPECT_EQ(font->mName, "DejaVu Sans");
    EXPECT_EQ(fw_Framework::GetFont("DejaVu Sans", 20), font);
    fw_Font* taller = fw_Framework::GetFont("DejaVu Sans", 21);
    EXPECT_NE(taller, font);
    EXPECT_EQ(taller->GetHeight(), 21);
    EXPECT_EQ(fw_Framework::mFonts.size(), 2u);
    EXPECT_EQ(References(device), before + 2 * kFontStyleCount);

    // Fonts go with the shared resources, while the device still lives.
    gFramework->ReleaseSharedResources();
    EXPECT_TRUE(fw_Framework::mFonts.empty());
    EXPECT_EQ(References(device), before);
    fw_Framework::GetFont("DejaVu Sans", 20);
    fw_Framework::ReleaseFonts();
    EXPECT_TRUE(fw_Framework::mFonts.empty());
    EXPECT_EQ(References(device), before);
}
