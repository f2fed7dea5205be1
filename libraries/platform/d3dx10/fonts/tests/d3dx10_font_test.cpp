// Text drawn with an installed face and measured.
#include <algorithm>
#include <cstring>

#include "../../images/tests/d3dx10_device_fixture.h"
#include "platform/d3dx10font.h"

namespace {

class Fonts : public d3dx10test::DeviceFixture {
protected:
    ID3DX10Font* Create(const char* face, INT height, UINT weight = FW_NORMAL) {
        D3DX10_FONT_DESCA d{};
        d.Height = height;
        d.Weight = weight;
        d.CharSet = DEFAULT_CHARSET;
        d.OutputPrecision = OUT_SCREEN_OUTLINE_PRECIS;
        d.Quality = CLEARTYPE_QUALITY;
        d.PitchAndFamily = 16;
        std::strncpy(d.FaceName, face, LF_FACESIZE - 1);
        ID3DX10Font* font = nullptr;
        EXPECT_EQ(S_OK, D3DX10CreateFontIndirectA(device, &d, &font));
        return Own(font);
    }

    struct Lit {
        int count = 0;
        LONG left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
        bool onlyRed = true;
    };
    static Lit Scan(const std::vector<uint32_t>& px, UINT width) {
        Lit l;
        for (size_t i = 0; i < px.size(); ++i) {
            const uint32_t r = px[i] & 0xFF, g = (px[i] >> 8) & 0xFF, b = (px[i] >> 16) & 0xFF;
            if (r < 64 && g < 64 && b < 64)
                continue;
            if (g > 8 || b > 8)
                l.onlyRed = false;
            const LONG x = LONG(i % width), y = LONG(i / width);
            ++l.count;
            l.left = std::min(l.left, x);
            l.right = std::max(l.right, x + 1);
            l.top = std::min(l.top, y);
            l.bottom = std::max(l.bottom, y + 1);
        }
        return l;
    }
};

}  // namespace

TEST_F(Fonts, MeasuredTextMatchesTheDeviceContext) {
    ID3DX10Font* font = Create("DejaVu Sans", 32);
    ASSERT_TRUE(font);
    EXPECT_EQ(S_OK, font->PreloadCharacters(0, 500));
    EXPECT_EQ(S_OK, font->PreloadGlyphs(0, 500));
    RECT r{0, 0, 65536, 65536};
    const INT height = font->DrawTextA(nullptr, "Hello", -1, &r, DT_CALCRECT, D3DXCOLOR(0, 0, 0, 0));
    EXPECT_EQ(32, height);
    SIZE extent{};
    ASSERT_TRUE(GetTextExtentPoint32A(font->GetDC(), "Hello", 5, &extent));
    EXPECT_EQ(extent.cx, r.right);
    EXPECT_EQ(32, extent.cy);
    EXPECT_EQ(32, r.bottom);
    SIZE w{}, i{};
    GetTextExtentPoint32A(font->GetDC(), "W", 1, &w);
    GetTextExtentPoint32A(font->GetDC(), "i", 1, &i);
    EXPECT_GT(w.cx, i.cx);

    // The face's kerning table through the font's context.
    const DWORD n = GetKerningPairsA(font->GetDC(), 0, nullptr);
    ASSERT_GT(n, 0u);
    std::vector<KERNINGPAIR> pairs(n);
    ASSERT_EQ(n, GetKerningPairsA(font->GetDC(), n, pairs.data()));
    auto av = std::find_if(pairs.begin(), pairs.end(),
                           [](const KERNINGPAIR& p) { return p.wFirst == 'A' && p.wSecond == 'V'; });
    ASSERT_NE(av, pairs.end());
    EXPECT_LT(av->iKernAmount, 0);

    D3DX10_FONT_DESCA desc{};
    ASSERT_EQ(S_OK, font->GetDescA(&desc));
    EXPECT_STREQ("DejaVu Sans", desc.FaceName);
}

TEST_F(Fonts, DrawnTextLiesInsideItsMeasuredRectangle) {
    ID3DX10Font* font = Create("DejaVu Sans", 32);
    ASSERT_TRUE(font);
    const float black[4] = {0, 0, 0, 1};
    ID3D10Texture2D* target = Target(256, 64, black);
    ASSERT_TRUE(target);
    RECT measure{8, 16, 248, 60};
    font->DrawTextA(nullptr, "Hello", -1, &measure, DT_CALCRECT, D3DXCOLOR(0, 0, 0, 0));

    D3D10GL_SetProgram(device, 0);
    device->OMSetBlendState(nullptr, nullptr, 0xFFFFFFFFu);
    RECT r{8, 16, 248, 60};
    EXPECT_EQ(32, font->DrawTextA(nullptr, "Hello", -1, &r, 0, D3DXCOLOR(1, 0, 0, 1)));
    const Lit lit = Scan(ReadRGBA8(target), 256);
    EXPECT_GT(lit.count, 150);
    EXPECT_TRUE(lit.onlyRed);
    EXPECT_GE(lit.left, measure.left - 1);
    EXPECT_LE(lit.right, measure.right + 1);
    EXPECT_GE(lit.top, measure.top);
    EXPECT_LE(lit.bottom, measure.bottom);
    EXPECT_LT(lit.left, measure.left + 6);    // starts at the pen
    EXPECT_GT(lit.right, measure.right - 6);  // ends at the last advance

    // The caller's state is back.
    EXPECT_EQ(0u, D3D10GL_GetProgram(device));
    ID3D10BlendState* blend = reinterpret_cast<ID3D10BlendState*>(1);
    FLOAT factor[4];
    UINT mask = 0;
    device->OMGetBlendState(&blend, factor, &mask);
    EXPECT_EQ(nullptr, blend);
}

TEST_F(Fonts, TextIsClippedToTheRectangleUnlessNoClip) {
    ID3DX10Font* font = Create("DejaVu Sans", 32);
    ASSERT_TRUE(font);
    const float black[4] = {0, 0, 0, 1};
    ID3D10Texture2D* target = Target(256, 64, black);
    ASSERT_TRUE(target);
    RECT r{8, 16, 40, 60};
    font->DrawTextA(nullptr, "Hello world", -1, &r, 0, D3DXCOLOR(1, 1, 1, 1));
    Lit lit = Scan(ReadRGBA8(target), 256);
    EXPECT_GT(lit.count, 20);
    EXPECT_LE(lit.right, 40);

    font->DrawTextA(nullptr, "Hello world", -1, &r, DT_NOCLIP, D3DXCOLOR(1, 1, 1, 1));
    lit = Scan(ReadRGBA8(target), 256);
    EXPECT_GT(lit.right, 100);
}

TEST_F(Fonts, CharacterByCharacterPenAdvance) {
    // Drawing one character at a time, moving the pen by each character's width, covers
    // the same columns as drawing the whole word.
    ID3DX10Font* font = Create("DejaVu Sans", 24, FW_BOLD);
    ASSERT_TRUE(font);
    const float black[4] = {0, 0, 0, 1};
    ID3D10Texture2D* target = Target(200, 40, black);
    ASSERT_TRUE(target);
    RECT whole{4, 4, 200, 40};
    font->DrawTextA(nullptr, "Tiny", -1, &whole, 0, D3DXCOLOR(1, 1, 1, 1));
    const std::vector<uint32_t> once = ReadRGBA8(target);

    ID3D10Texture2D* second = Target(200, 40, black);
    ASSERT_TRUE(second);
    RECT pen{4, 4, 200, 40};
    for (const char* c = "Tiny"; *c; ++c) {
        font->DrawTextA(nullptr, c, 1, &pen, 0, D3DXCOLOR(1, 1, 1, 1));
        SIZE s{};
        GetTextExtentPoint32A(font->GetDC(), c, 1, &s);
        pen.left += s.cx;
    }
    EXPECT_EQ(once, ReadRGBA8(second));
}

TEST_F(Fonts, RefusesBadArguments) {
    ID3DX10Font* font = nullptr;
    D3DX10_FONT_DESCA d{};
    EXPECT_EQ(E_INVALIDARG, D3DX10CreateFontIndirectA(nullptr, &d, &font));
    EXPECT_EQ(E_INVALIDARG, D3DX10CreateFontIndirectA(device, nullptr, &font));
    EXPECT_EQ(nullptr, font);
    ID3DX10Font* f = Create("DejaVu Sans", 16);
    ASSERT_TRUE(f);
    EXPECT_EQ(0, f->DrawTextA(nullptr, "x", -1, nullptr, 0, D3DXCOLOR(1, 1, 1, 1)));
    RECT r{0, 0, 10, 10};
    EXPECT_EQ(0, f->DrawTextA(nullptr, "", -1, &r, 0, D3DXCOLOR(1, 1, 1, 1)));
}
