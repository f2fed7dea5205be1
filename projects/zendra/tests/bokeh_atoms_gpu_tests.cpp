// Bokeh and atoms on the software device, with pixels read back: discs from bright pixels,
// the atoms transition at its ends and in flight, and pictures of both for people to see.
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "AtomsEffect.h"
#include "BokehEffect.h"
#include "bokeh_atoms_support.h"
#include "fw_Effect.h"

namespace bokehatoms {
namespace {

constexpr uint32_t kW = 160, kH = 100;

float Luminance(const float* c) {
    return 0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2];
}

// Pixels of the picture whose light exceeds the level.
int LitCount(const restest::Picture& p, float level) {
    int n = 0;
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x)
            n += Luminance(p.At(x, y)) > level;
    return n;
}

// ---- bokeh ---------------------------------------------------------------------------------

class BokehPixels : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        source.assign(kW * kH * 4, 0.0f);
    }
    void Set(uint32_t x, uint32_t y, float r, float g, float b, float distance) {
        float* t = &source[(y * kW + x) * 4];
        t[0] = r, t[1] = g, t[2] = b, t[3] = distance;
    }
    restest::Picture Draw(float fill = 0.0f) {
        BokehEffect bokeh(kW, kH);
        auto texture = FloatSource(kW, kH, source);
        Target target(kW, kH, DXGI_FORMAT_R32G32B32A32_FLOAT);
        target.texture->ClearColor(fill, fill, fill, 0.0f);
        target.Bind();
        bokeh.Draw(texture.get());
        return target.Read();
    }
    std::vector<float> source;
};

TEST_F(BokehPixels, ABrightPixelOutOfFocusBecomesARoundDiscAndTheDarkStaysBlack) {
    Set(80, 50, 6.0f, 5.0f, 4.0f, 60.0f);
    const restest::Picture p = Draw();
    // The largest disc at 100 rows is 3 pixels; out of focus it is near that size.
    const float maxRadius = 24.0f * kH / 800.0f;
    int lit = 0;
    for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x) {
            const float d = std::hypot(float(x) - 80.0f, float(y) - 50.0f);
            const float l = Luminance(p.At(x, y));
            if (d > maxRadius + 1.5f) {
                ASSERT_EQ(0.0f, l) << x << "," << y;
            }
            lit += l > 0.01f;
        }
    EXPECT_GT(lit, 12);
    // Round: as far lit to the left, right, up and down.
    for (auto [dx, dy] : {std::pair{2, 0}, {-2, 0}, {0, 2}, {0, -2}})
        EXPECT_GT(Luminance(p.At(80 + dx, 50 + dy)), 0.05f) << dx << "," << dy;
}

TEST_F(BokehPixels, OutOfFocusDiscsAreLargerThanInFocusOnes) {
    // A taller grid so that the discs are many pixels wide.
    Set(40, 50, 6.0f, 6.0f, 6.0f, 20.0f);   // at the focus distance
    Set(120, 50, 6.0f, 6.0f, 6.0f, 80.0f);  // far behind it
    BokehEffect bokeh(kW, kH);
    auto texture = FloatSource(kW, kH, source);
    Target target(kW * 4, kH * 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
    target.Bind();
    bokeh.Draw(texture.get());
    const restest::Picture p = target.Read();
    auto litAround = [&](uint32_t cx) {
        int n = 0;
        for (uint32_t y = 0; y < p.height; ++y)
            for (uint32_t x = cx - 80; x < cx + 80; ++x)
                n += Luminance(p.At(x, y)) > 0.005f;
        return n;
    };
    const int sharp = litAround(160), blurred = litAround(480);
    EXPECT_GT(sharp, 20);
    EXPECT_GT(blurred, 3 * sharp);
}

TEST_F(BokehPixels, DimPixelsPassThroughSharpWithoutDiscs) {
    Set(30, 30, 0.5f, 0.25f, 0.125f, 60.0f);
    Set(31, 30, 0.2f, 0.6f, 0.1f, 60.0f);
    const restest::Picture p = Draw();
    for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(source[(y * kW + x) * 4 + c], p.At(x, y)[c]) << x << "," << y;
}

TEST_F(BokehPixels, AddsToWhatTheTargetHoldsAndRestoresTheViewport) {
    Set(10, 10, 0.5f, 0.5f, 0.5f, 20.0f);
    BokehEffect bokeh(kW, kH);
    auto texture = FloatSource(kW, kH, source);
    Target target(kW, kH, DXGI_FORMAT_R32G32B32A32_FLOAT);
    target.texture->ClearColor(0.25f, 0.25f, 0.25f, 0.0f);
    target.Bind();
    bokeh.Draw(texture.get());
    const restest::Picture p = target.Read();
    EXPECT_EQ(0.75f, p.At(10, 10)[0]);
    EXPECT_EQ(0.25f, p.At(100, 70)[1]);
    UINT count = 1;
    D3D10_VIEWPORT viewport = {};
    device->RSGetViewports(&count, &viewport);
    EXPECT_EQ(0, viewport.TopLeftX);
    EXPECT_EQ(kW, viewport.Width);
    EXPECT_EQ(kH, viewport.Height);
}

TEST_F(BokehPixels, AFlatBrightAreaGlowsEvenlyWithoutHoles) {
    for (uint32_t y = 40; y < 60; ++y)
        for (uint32_t x = 60; x < 100; ++x)
            Set(x, y, 3.0f, 3.0f, 3.0f, 60.0f);
    const restest::Picture p = Draw();
    // Inside: every pixel brighter than its own light; outside the glow: black.
    for (uint32_t y = 42; y < 58; ++y)
        for (uint32_t x = 62; x < 98; ++x)
            ASSERT_GT(p.At(x, y)[0], 3.0f) << x << "," << y;
    EXPECT_EQ(0.0f, Luminance(p.At(20, 20)));
    EXPECT_GT(Luminance(p.At(80, 38)), 0.0f);
}

TEST_F(BokehPixels, PictureOfASceneWithBrightSpots) {
    const uint32_t w = 640, h = 400;
    std::vector<float> scene(w * h * 4);
    uint32_t state = 7;
    auto random = [&] { return (state = state * 1664525u + 1013904223u) / 4294967296.0f; };
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            float* t = &scene[(y * w + x) * 4];
            const float u = float(x) / w, v = float(y) / h;
            t[0] = 0.05f + 0.10f * v, t[1] = 0.04f + 0.06f * u, t[2] = 0.12f + 0.15f * (1.0f - v);
            t[3] = 10.0f + 60.0f * u;  // near on the left, far on the right
        }
    for (int k = 0; k < 90; ++k) {
        const uint32_t x = uint32_t(random() * (w - 4)) + 2, y = uint32_t(random() * (h - 4)) + 2;
        const float warm = random(), power = 1.5f + 6.0f * random();
        float* t = &scene[(y * w + x) * 4];
        t[0] = power * (0.6f + 0.4f * warm), t[1] = power * 0.7f, t[2] = power * (1.0f - 0.5f * warm);
    }
    BokehEffect bokeh(w, h);
    auto texture = FloatSource(w, h, scene);
    Target target(w, h, DXGI_FORMAT_R32G32B32A32_FLOAT);
    target.Bind();
    bokeh.Draw(texture.get());
    const restest::Picture p = target.Read();
    EXPECT_FALSE(SavePng("bokeh_spots.png", p).empty());
    EXPECT_GT(LitCount(p, 0.6f), 90 * 20);
}

// ---- atoms ---------------------------------------------------------------------------------

class AtomsPixels : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        std::vector<uint32_t> a(kW * kH), b(kW * kH);
        uint32_t state = 11;
        for (auto& t : a)
            t = 0xFF000000u | ((state = state * 1664525u + 1013904223u) >> 8);
        for (uint32_t y = 0; y < kH; ++y)
            for (uint32_t x = 0; x < kW; ++x)
                b[y * kW + x] = 0xFF000000u | (x * 255 / kW) << 16 | (y * 255 / kH) << 8 | 0x40;
        first = ByteSource(kW, kH, a);
        second = ByteSource(kW, kH, b);
        SetRenderSize(kW * 8, kH * 8);
    }
    restest::Picture Draw(float parameter, int type) {
        sync.SetConstant("Atoms_Param", parameter);
        sync.SetConstant("Atoms_TransType", float(type));
        AtomsEffect atoms(kW, kH);
        Target target(kW, kH, DXGI_FORMAT_R8G8B8A8_UNORM);
        target.Bind();
        atoms.Draw(first.get(), second.get());
        return target.Read();
    }
    // Largest difference of a colour channel between the picture and an image.
    static float Difference(const restest::Picture& p, const restest::Picture& image) {
        float worst = 0.0f;
        for (size_t i = 0; i < p.rgba.size(); ++i)
            if (i % 4 != 3)
                worst = std::max(worst, std::abs(p.rgba[i] - image.rgba[i]));
        return worst;
    }
    TexturePtr first, second;
};

TEST_F(AtomsPixels, AtZeroEveryTypeShowsTheFirstImage) {
    const restest::Picture image = restest::ReadBack(first->mTexture2D);
    for (int type = 0; type < 3; ++type)
        EXPECT_EQ(0.0f, Difference(Draw(0.0f, type), image)) << "type " << type;
}

TEST_F(AtomsPixels, AtOneEveryTypeShowsTheSecondImage) {
    const restest::Picture image = restest::ReadBack(second->mTexture2D);
    for (int type = 0; type < 3; ++type)
        EXPECT_EQ(0.0f, Difference(Draw(1.0f, type), image)) << "type " << type;
}

TEST_F(AtomsPixels, ParametersBeyondTheEndsHoldTheImages) {
    EXPECT_EQ(0.0f, Difference(Draw(-0.5f, 1), restest::ReadBack(first->mTexture2D)));
    EXPECT_EQ(0.0f, Difference(Draw(3.0f, 2), restest::ReadBack(second->mTexture2D)));
}

TEST_F(AtomsPixels, InBetweenThePixelsFlyAsStreaksDifferentForEachType) {
    const restest::Picture a = restest::ReadBack(first->mTexture2D), b = restest::ReadBack(second->mTexture2D);
    std::vector<restest::Picture> middle;
    for (int type = 0; type < 3; ++type) {
        middle.push_back(Draw(0.5f, type));
        EXPECT_GT(Difference(middle.back(), a), 0.5f) << "type " << type;
        EXPECT_GT(Difference(middle.back(), b), 0.5f) << "type " << type;
        EXPECT_GT(LitCount(middle.back(), 0.05f), int(kW * kH / 10)) << "type " << type;
    }
    EXPECT_GT(Difference(middle[0], middle[1]), 0.5f);
    EXPECT_GT(Difference(middle[1], middle[2]), 0.5f);
}

TEST_F(AtomsPixels, TheFirstImageIsCroppedToTheAspectOfTheShow) {
    // A first image with a bright band in its top and bottom eighth only.
    std::vector<uint32_t> banded(kW * kH);
    for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x)
            banded[y * kW + x] = y < kH / 8 || y >= kH - kH / 8 ? 0xFFFFFFFFu : 0xFF000000u;
    first = ByteSource(kW, kH, banded);
    SetRenderSize(1280, 500);  // wider than 1.6: the middle 0.625 of the height is shown
    const restest::Picture p = Draw(0.0f, 0);
    EXPECT_EQ(0, LitCount(p, 0.5f));
    SetRenderSize(1280, 800);
    EXPECT_EQ(int(kW * (kH / 8) * 2), LitCount(Draw(0.0f, 0), 0.5f));
}

TEST_F(AtomsPixels, PicturesBetweenTwoFlipCards) {
    const uint32_t w = 640, h = 400;
    SetRenderSize(w, h);
    fw_Texture* cardA = framework->FindOrLoadTexture("flipcard1.png");
    fw_Texture* cardB = framework->FindOrLoadTexture("flipcard2.png");
    ASSERT_EQ(1280u, cardA->GetWidth());
    AtomsEffect atoms(w, h);
    Target target(w, h, DXGI_FORMAT_R8G8B8A8_UNORM);
    const float parameters[] = {0.0f, 0.2f, 0.4f, 0.6f, 0.8f, 1.0f};
    for (int type = 0; type < 3; ++type) {
        for (float parameter : parameters) {
            sync.SetConstant("Atoms_Param", parameter);
            sync.SetConstant("Atoms_TransType", float(type));
            target.texture->ClearColor(0.0f, 0.0f, 0.0f, 0.0f);
            target.Bind();
            atoms.Draw(cardA, cardB);
            const restest::Picture p = target.Read();
            const std::string name =
                "atoms_type" + std::to_string(type) + "_" + std::to_string(int(parameter * 100 + 0.5f)) + ".png";
            EXPECT_FALSE(SavePng(name, p).empty());
            EXPECT_GT(LitCount(p, 0.02f), int(w * h / 4)) << name;
        }
    }
}

}  // namespace
}  // namespace bokehatoms
