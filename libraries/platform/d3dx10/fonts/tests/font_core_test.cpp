#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../src/font_face.h"
#include "platform/gdi.h"

using namespace d3dx10_font;

namespace {

struct Found {
    int calls = 0;
    std::vector<std::string> names;
    std::vector<LONG> weights;
    int stopAfter = 1000;
};

int CALLBACK Collect(const LOGFONTA* lf, const TEXTMETRICA*, DWORD type, LPARAM lParam) {
    auto* f = reinterpret_cast<Found*>(lParam);
    ++f->calls;
    f->names.push_back(lf->lfFaceName);
    f->weights.push_back(lf->lfWeight);
    EXPECT_EQ(type, DWORD(TRUETYPE_FONTTYPE));
    return f->calls < f->stopAfter ? 1 : 0;
}

Found Enumerate(const char* face, int stopAfter = 1000) {
    LOGFONTA lf{};
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    Found f;
    f.stopAfter = stopAfter;
    EnumFontFamiliesExA(nullptr, &lf, Collect, reinterpret_cast<LPARAM>(&f), 0);
    return f;
}

}  // namespace

TEST(FontFamilies, InstalledFaceIsFoundIgnoringCase) {
    Found f = Enumerate("DejaVu Sans");
    ASSERT_EQ(f.calls, 1);
    EXPECT_EQ(f.names[0], "DejaVu Sans");
    EXPECT_EQ(f.weights[0], 400);
    EXPECT_EQ(Enumerate("dejavu sans").calls, 1);
}

TEST(FontFamilies, AbsentFacesAreReportedAbsent) {
    EXPECT_EQ(Enumerate("Verdana").calls, 0);  // no substitutes
    EXPECT_EQ(Enumerate("DejaVu Sans-Bold").calls, 0);
    EXPECT_EQ(Enumerate("DejaVu Sans-RegularItalic").calls, 0);
    EXPECT_EQ(Enumerate("DejaVuSans").calls, 0);  // spacing matters in face names
}

TEST(FontFamilies, EmptyNameListsEveryFamilyAndStopsOnZero) {
    Found all = Enumerate("");
    EXPECT_GT(all.calls, 1);
    EXPECT_NE(std::find(all.names.begin(), all.names.end(), "DejaVu Sans"), all.names.end());
    Found one = Enumerate("", 1);
    EXPECT_EQ(one.calls, 1);
    LOGFONTA lf{};
    Found none;
    EXPECT_EQ(EnumFontFamiliesExA(nullptr, &lf, nullptr, 0, 0), 0);
    std::strcpy(lf.lfFaceName, "No Such Face Anywhere");
    EXPECT_EQ(EnumFontFamiliesExA(nullptr, &lf, Collect, reinterpret_cast<LPARAM>(&none), 0), 1);
}

TEST(FontFace, CellHeightAndStyles) {
    auto regular = Face::Open("DejaVu Sans", 24, FW_NORMAL, false);
    ASSERT_TRUE(regular);
    EXPECT_EQ(regular->LineHeight(), 24);
    EXPECT_GT(regular->Ascent(), regular->Descent());
    EXPECT_FALSE(regular->Bold());
    EXPECT_NE(regular->File().find("DejaVuSans"), std::string::npos);

    auto bold = Face::Open("DejaVu Sans", 24, FW_BOLD, false);
    ASSERT_TRUE(bold);
    EXPECT_TRUE(bold->Bold());
    EXPECT_NE(bold->File(), regular->File());
    auto italic = Face::Open("DejaVu Sans", 24, FW_NORMAL, true);
    ASSERT_TRUE(italic);
    EXPECT_TRUE(italic->Italic());

    auto em = Face::Open("DejaVu Sans", -24, FW_NORMAL, false);
    ASSERT_TRUE(em);
    EXPECT_GT(em->LineHeight(), 24);  // the em is smaller than the cell
}

TEST(FontFace, AdvancesAndGlyphs) {
    auto face = Face::Open("DejaVu Sans", 32, FW_NORMAL, false);
    ASSERT_TRUE(face);
    const int w = face->TextWidth("W", 1), i = face->TextWidth("i", 1);
    EXPECT_GT(w, i);
    EXPECT_GT(i, 0);
    EXPECT_EQ(face->TextWidth("Wi", 2), w + i);
    EXPECT_EQ(face->TextWidth("", 0), 0);
    GlyphBitmap bm;
    ASSERT_TRUE(face->Render(face->GlyphIndex('A'), bm));
    EXPECT_GT(bm.width, 10);
    EXPECT_GT(bm.height, 15);
    EXPECT_LE(bm.top, face->Ascent());
    int lit = 0;
    for (uint8_t c : bm.coverage)
        lit += c > 128;
    EXPECT_GT(lit, 20);
    ASSERT_TRUE(face->Render(face->GlyphIndex(' '), bm));
    EXPECT_EQ(bm.width * bm.height, 0);
    EXPECT_GT(bm.advance, 0);
    // Windows-1252: 0x80 is the euro sign.
    EXPECT_EQ(CodePointOf(0x80), 0x20ACu);
    EXPECT_EQ(CodePointOf(0xE9), 0xE9u);
    EXPECT_NE(face->GlyphIndex(CodePointOf(0x80)), 0u);
}

TEST(GdiMeasure, ExtentOfTheDefaultContext) {
    SIZE one{}, two{};
    ASSERT_TRUE(GetTextExtentPoint32A(nullptr, "Hello", 5, &one));
    ASSERT_TRUE(GetTextExtentPoint32A(nullptr, "HelloHello", 10, &two));
    EXPECT_GT(one.cx, 0);
    EXPECT_EQ(two.cx, 2 * one.cx);
    EXPECT_EQ(one.cy, 16);
    SIZE empty{5, 5};
    ASSERT_TRUE(GetTextExtentPoint32A(nullptr, "", 0, &empty));
    EXPECT_EQ(empty.cx, 0);
    EXPECT_FALSE(GetTextExtentPoint32A(nullptr, "x", 1, nullptr));
    EXPECT_FALSE(GetTextExtentPoint32A(nullptr, nullptr, 3, &one));
}

TEST(GdiMeasure, KerningPairsCountThenFill) {
    const DWORD n = GetKerningPairsA(nullptr, 0, nullptr);
    std::vector<KERNINGPAIR> pairs(n + 1);
    const DWORD got = GetKerningPairsA(nullptr, n + 1, pairs.data());
    EXPECT_EQ(got, n);
    for (DWORD i = 0; i < got; ++i) {
        EXPECT_NE(pairs[i].iKernAmount, 0);
        EXPECT_GE(pairs[i].wFirst, 32);
        EXPECT_LE(pairs[i].wSecond, 255);
    }
    if (n > 1) {
        KERNINGPAIR few[1];
        EXPECT_EQ(GetKerningPairsA(nullptr, 1, few), 1u);
    }
}

TEST(TextLayout, LinesAlignmentAndCalcRect) {
    auto face = Face::Open("DejaVu Sans", 20, FW_NORMAL, false);
    ASSERT_TRUE(face);
    const int ab = face->TextWidth("ab", 2), abcd = face->TextWidth("abcd", 4);
    RECT r{10, 20, 510, 420};
    Layout one = LayoutText(*face, "ab", -1, r, 0);
    EXPECT_EQ(one.height, 20);
    EXPECT_EQ(one.bounds.left, 10);
    EXPECT_EQ(one.bounds.top, 20);
    EXPECT_EQ(one.bounds.right, 10 + ab);
    EXPECT_EQ(one.bounds.bottom, 40);
    ASSERT_EQ(one.glyphs.size(), 2u);
    EXPECT_EQ(one.glyphs[0].x, 10);
    EXPECT_EQ(one.glyphs[0].y, 20 + face->Ascent());
    EXPECT_EQ(one.glyphs[1].x, 10 + face->TextWidth("a", 1));

    Layout two = LayoutText(*face, "ab\nabcd", -1, r, 0);
    EXPECT_EQ(two.height, 40);
    EXPECT_EQ(two.bounds.right, 10 + abcd);
    EXPECT_EQ(two.glyphs.size(), 6u);
    EXPECT_EQ(two.glyphs[2].y, 40 + face->Ascent());

    Layout single = LayoutText(*face, "ab\nabcd", -1, r, DT_SINGLELINE);
    EXPECT_EQ(single.height, 20);
    EXPECT_EQ(single.glyphs.size(), 6u);

    Layout right = LayoutText(*face, "ab", 2, r, DT_RIGHT);
    EXPECT_EQ(right.glyphs[0].x, 510 - ab);
    Layout centred = LayoutText(*face, "ab", 1, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EXPECT_EQ(centred.glyphs.size(), 1u);  // the count limits the text
    EXPECT_EQ(centred.bounds.top, 20 + (400 - 20) / 2);

    Layout empty = LayoutText(*face, "", -1, r, 0);
    EXPECT_EQ(empty.height, 0);
    EXPECT_EQ(empty.bounds.right, 10);
}
