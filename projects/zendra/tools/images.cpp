// Images: procedural pictures from content/images.txt, written through the extension
// library's image codec (PNG, JPG, DDS: the cube-map light probe and simulation states).

#include <ft2build.h>
#include FT_FREETYPE_H

#include <platform/image_codec.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <numbers>

#include "common.h"
#include "generator.h"

namespace datagen {

namespace {

constexpr double kPi = std::numbers::pi;

struct Rgba {
    double r = 0, g = 0, b = 0, a = 1;
};
Rgba Mix(Rgba x, Rgba y, double t) {
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}
double Smoothstep(double a, double b, double x) {
    double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// A floating-point RGBA canvas, converted on saving.
struct Canvas {
    int width, height;
    std::vector<Rgba> pixels;
    Canvas(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h) {}
    Rgba& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    template <class F>
    void Each(F f) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                f(x, y, At(x, y));
    }
};

// Periodic value noise in [0, 1], tileable over `period` lattice cells.
class Noise2 {
public:
    Noise2(uint32_t seed, int period) : mPeriod(period), mValues(static_cast<size_t>(period) * period) {
        Rng rng(seed);
        for (double& v : mValues)
            v = rng.Uniform();
    }
    double At(double x, double y) const {
        int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
        double fx = x - ix, fy = y - iy;
        fx = fx * fx * (3 - 2 * fx);
        fy = fy * fy * (3 - 2 * fy);
        auto v = [&](int a, int b) {
            a = ((a % mPeriod) + mPeriod) % mPeriod;
            b = ((b % mPeriod) + mPeriod) % mPeriod;
            return mValues[static_cast<size_t>(b) * mPeriod + a];
        };
        return (v(ix, iy) * (1 - fx) + v(ix + 1, iy) * fx) * (1 - fy) +
               (v(ix, iy + 1) * (1 - fx) + v(ix + 1, iy + 1) * fx) * fy;
    }
    // Octaves doubling the frequency; tileable over [0, period) in x and y.
    double Fbm(double x, double y, int octaves) const {
        double sum = 0, amp = 0.5, norm = 0;
        for (int o = 0; o < octaves; ++o) {
            double f = 1 << o;
            sum += amp * At(x * f, y * f);
            norm += amp;
            amp *= 0.5;
        }
        return sum / norm;
    }

private:
    int mPeriod;
    std::vector<double> mValues;
};

using Params = std::map<std::string, std::string>;

double Num(const Params& p, const std::string& key, double fallback) {
    auto it = p.find(key);
    return it == p.end() ? fallback : std::stod(it->second);
}
std::string Text(const Params& p, const std::string& key, const std::string& fallback = "") {
    auto it = p.find(key);
    return it == p.end() ? fallback : it->second;
}
Rgba Colour(const Params& p, const std::string& key, Rgba fallback) {
    auto it = p.find(key);
    if (it == p.end())
        return fallback;
    unsigned v = static_cast<unsigned>(std::stoul(it->second, nullptr, 16));
    return {((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0, 1.0};
}

// The code points of UTF-8 text (malformed bytes are taken as they are).
std::vector<unsigned long> CodePoints(const std::string& text) {
    std::vector<unsigned long> out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        unsigned long cp = extra ? (c & (0x3F >> extra)) : c;
        size_t j = 1;
        for (; j <= static_cast<size_t>(extra) && i + j < text.size(); ++j) {
            unsigned char d = static_cast<unsigned char>(text[i + j]);
            if ((d & 0xC0) != 0x80)
                break;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (j != static_cast<size_t>(extra) + 1) {
            cp = c;
            j = 1;
        }
        out.push_back(cp);
        i += j;
    }
    return out;
}

// Text through FreeType, blended over the canvas in a colour.
class Font {
public:
    Font(const std::string& path, int pixels) {
        if (FT_Init_FreeType(&mLibrary) != 0)
            throw Error("FreeType does not start");
        if (FT_New_Face(mLibrary, path.c_str(), 0, &mFace) != 0)
            throw Error("cannot open the font " + path);
        FT_Set_Pixel_Sizes(mFace, 0, static_cast<FT_UInt>(pixels));
    }
    ~Font() {
        if (mFace)
            FT_Done_Face(mFace);
        FT_Done_FreeType(mLibrary);
    }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    int Width(const std::string& text, int tracking) {
        int w = 0;
        for (unsigned long c : CodePoints(text)) {
            if (FT_Load_Char(mFace, c, FT_LOAD_DEFAULT) == 0)
                w += static_cast<int>(mFace->glyph->advance.x >> 6) + tracking;
        }
        return w - tracking;
    }

    // Baseline at y; x is the left edge.
    void Draw(Canvas& canvas, const std::string& text, int x, int y, Rgba colour, int tracking) {
        for (unsigned long c : CodePoints(text)) {
            if (FT_Load_Char(mFace, c, FT_LOAD_RENDER) != 0)
                continue;
            FT_GlyphSlot g = mFace->glyph;
            for (unsigned row = 0; row < g->bitmap.rows; ++row)
                for (unsigned col = 0; col < g->bitmap.width; ++col) {
                    int px = x + g->bitmap_left + static_cast<int>(col), py = y - g->bitmap_top + static_cast<int>(row);
                    if (px < 0 || py < 0 || px >= canvas.width || py >= canvas.height)
                        continue;
                    double cov = g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.0;
                    Rgba& d = canvas.At(px, py);
                    d = Mix(d, {colour.r, colour.g, colour.b, 1.0}, cov * colour.a);
                }
            x += static_cast<int>(g->advance.x >> 6) + tracking;
        }
    }

private:
    FT_Library mLibrary = nullptr;
    FT_Face mFace = nullptr;
};

const char* const kFontRegular = "/usr/share/fonts/truetype/dejavu/DejaVuSans-ExtraLight.ttf";
const char* const kFontBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

void CenteredText(Canvas& c, const std::string& text, const char* font, int size, double yFraction, Rgba colour,
                  int tracking) {
    if (text.empty())
        return;
    Font f(font, size);
    int w = f.Width(text, tracking);
    f.Draw(c, text, (c.width - w) / 2, static_cast<int>(c.height * yFraction), colour, tracking);
}

// A flip card: night gradient, mist, a kaleidoscopic star of thin lines, and lettering.
Canvas Card(const Params& p) {
    Canvas c(static_cast<int>(Num(p, "width", 1280)), static_cast<int>(Num(p, "height", 800)));
    Rgba top = Colour(p, "top", {0.02, 0.03, 0.08}), bottom = Colour(p, "bottom", {0.10, 0.05, 0.14});
    Rgba accent = Colour(p, "accent", {0.55, 0.80, 1.0});
    Noise2 noise(static_cast<uint32_t>(Num(p, "seed", 1)), 16);
    const double cx = c.width * 0.5, cy = c.height * 0.42;
    const int arms = static_cast<int>(Num(p, "arms", 12));
    c.Each([&](int x, int y, Rgba& px) {
        double u = static_cast<double>(x) / c.width, v = static_cast<double>(y) / c.height;
        px = Mix(top, bottom, v);
        double mist = noise.Fbm(u * 4, v * 4, 5);
        px = Mix(px, accent, 0.12 * Smoothstep(0.45, 0.9, mist));
        double dx = x - cx, dy = y - cy, r = std::sqrt(dx * dx + dy * dy), a = std::atan2(dy, dx);
        // Mirror the angle into one wedge, as a kaleidoscope does.
        double wedge = 2 * kPi / arms;
        double m = std::fmod(a + 10 * kPi, wedge);
        m = std::min(m, wedge - m);
        double line = std::exp(-std::pow(m * r / 1.2, 2)) * Smoothstep(420, 60, r) * Smoothstep(20, 90, r);
        double ring = 0;
        for (double rr : {110.0, 180.0, 290.0})
            ring += std::exp(-std::pow((r - rr) / 1.1, 2)) * 0.6;
        double glow = std::exp(-r / 160.0) * 0.35;
        px = Mix(px, accent, std::clamp(line * 0.55 + ring * 0.35 + glow, 0.0, 1.0));
        double vignette = Smoothstep(1.1, 0.35, std::hypot(u - 0.5, (v - 0.5) * 0.8) * 1.6);
        px.r *= vignette;
        px.g *= vignette;
        px.b *= vignette;
    });
    Rgba ink{0.95, 0.97, 1.0, 1.0};
    CenteredText(c, Text(p, "title"), kFontRegular, static_cast<int>(Num(p, "titleSize", 120)), 0.72, ink,
                 static_cast<int>(Num(p, "tracking", 14)));
    CenteredText(c, Text(p, "subtitle"), kFontBold, 30, 0.84, {accent.r, accent.g, accent.b, 0.9}, 10);
    CenteredText(c, Text(p, "footer"), kFontRegular, 22, 0.93, {0.7, 0.72, 0.8, 0.8}, 6);
    return c;
}

Canvas Vignette(const Params& p) {
    Canvas c(static_cast<int>(Num(p, "width", 1024)), static_cast<int>(Num(p, "height", 640)));
    Noise2 noise(7, 8);
    double aspect = static_cast<double>(c.width) / c.height;
    c.Each([&](int x, int y, Rgba& px) {
        double u = (x + 0.5) / c.width * 2 - 1, v = (y + 0.5) / c.height * 2 - 1;
        double d = std::sqrt(u * u * aspect / 1.6 + v * v) / std::sqrt(2.0);
        double k = 1.0 - Smoothstep(0.35, 1.0, d) * 0.85;
        k *= 0.96 + 0.04 * noise.Fbm((u + 1) * 2, (v + 1) * 2, 4);
        px = {k, k * 0.98, k * 0.96, 1.0};
    });
    return c;
}

Canvas Dust(const Params& p) {
    int size = static_cast<int>(Num(p, "size", 256));
    Canvas c(size, size);
    Noise2 big(11, 8), fine(12, 32);
    Rng rng(13);
    c.Each([&](int x, int y, Rgba& px) {
        double u = static_cast<double>(x) / size, v = static_cast<double>(y) / size;
        double cloud = Smoothstep(0.35, 0.85, big.Fbm(u * 8, v * 8, 5));
        double grain = fine.At(u * 32, v * 32);
        double k = cloud * (0.6 + 0.4 * grain);
        px = {k, k, k * 0.95, k};
    });
    // Specks, wrapped around the edges so the texture tiles.
    for (int i = 0; i < 240; ++i) {
        double sx = rng.Uniform() * size, sy = rng.Uniform() * size, rad = 0.6 + rng.Uniform() * 1.8,
               b = 0.4 + rng.Uniform() * 0.6;
        for (int dy = -4; dy <= 4; ++dy)
            for (int dx = -4; dx <= 4; ++dx) {
                int x = (static_cast<int>(sx) + dx + size) % size, y = (static_cast<int>(sy) + dy + size) % size;
                double w = b * std::exp(-(dx * dx + dy * dy) / (rad * rad));
                Rgba& px = c.At(x, y);
                px.r = std::min(1.0, px.r + w);
                px.g = std::min(1.0, px.g + w);
                px.b = std::min(1.0, px.b + w * 0.95);
                px.a = std::min(1.0, px.a + w);
            }
    }
    return c;
}

// Soft round sprite with a faint rim: dust particles and bokeh-like specks.
Canvas Particle(const Params& p) {
    int size = static_cast<int>(Num(p, "size", 64));
    Canvas c(size, size);
    c.Each([&](int x, int y, Rgba& px) {
        double r = std::hypot(x + 0.5 - size / 2.0, y + 0.5 - size / 2.0) / (size / 2.0);
        double body = Smoothstep(1.0, 0.0, r);
        double rim = std::exp(-std::pow((r - 0.8) / 0.08, 2)) * 0.35;
        double a = std::clamp(body * body * 0.9 + rim, 0.0, 1.0) * Smoothstep(1.0, 0.95, r);
        px = {1.0, 0.97, 0.92, a};
    });
    return c;
}

// Lens flare elements: a glow with streaks, a halo ring, a hexagonal ghost, a soft disc.
Canvas Flare(const Params& p) {
    int size = static_cast<int>(Num(p, "size", 256));
    std::string kind = Text(p, "kind", "glow");
    Rgba tint = Colour(p, "tint", {1.0, 0.9, 0.75});
    Canvas c(size, size);
    c.Each([&](int x, int y, Rgba& px) {
        double u = (x + 0.5) / size * 2 - 1, v = (y + 0.5) / size * 2 - 1;
        double r = std::hypot(u, v), a = std::atan2(v, u);
        double k = 0;
        Rgba col = tint;
        if (kind == "glow") {
            k = std::exp(-r * 5.0) + 0.25 * std::exp(-r * 1.8);
            double streaks = std::pow(std::fabs(std::cos(a * 3)), 60) * std::exp(-r * 2.2) * 0.8 +
                             std::pow(std::fabs(std::cos(a)), 400) * std::exp(-r * 1.2) * 0.7;
            k += streaks;
        } else if (kind == "ring") {
            double hue = (r - 0.7) / 0.12;
            k = std::exp(-std::pow((r - 0.72) / 0.07, 2)) * 0.8;
            col = {tint.r * (1.0 + 0.3 * hue), tint.g, tint.b * (1.0 - 0.3 * hue), 1.0};
        } else if (kind == "hexagon") {
            double wedge = kPi / 3;
            double m = std::fmod(a + 10 * kPi, wedge) - wedge / 2;
            double hex = r * std::cos(m) / std::cos(wedge / 2);
            k = Smoothstep(0.82, 0.76, hex) * (0.35 + 0.4 * Smoothstep(0.4, 0.8, hex));
        } else {
            k = Smoothstep(0.9, 0.2, r) * 0.6 + std::exp(-std::pow((r - 0.85) / 0.05, 2)) * 0.3;
        }
        k = std::clamp(k, 0.0, 1.0) * Smoothstep(1.0, 0.92, r);
        px = {std::min(1.0, col.r * k), std::min(1.0, col.g * k), std::min(1.0, col.b * k), k};
    });
    return c;
}

// The replacement for unreadable images: an unmistakable magenta checker with a frame.
Canvas Missing(const Params& p) {
    int size = static_cast<int>(Num(p, "size", 256));
    Canvas c(size, size);
    int cell = size / 8;
    c.Each([&](int x, int y, Rgba& px) {
        bool odd = ((x / cell) + (y / cell)) % 2;
        px = odd ? Rgba{1.0, 0.0, 0.85, 1.0} : Rgba{0.08, 0.0, 0.1, 1.0};
        if (x < 4 || y < 4 || x >= size - 4 || y >= size - 4)
            px = {1, 1, 1, 1};
    });
    CenteredText(c, "?", kFontBold, size / 2, 0.68, {1, 1, 1, 1}, 0);
    return c;
}

image_codec::Image ToRgba8(const Canvas& c) {
    image_codec::Image img;
    img.Allocate(image_codec::kR8G8B8A8_UNORM, static_cast<uint32_t>(c.width), static_cast<uint32_t>(c.height));
    for (size_t i = 0; i < c.pixels.size(); ++i) {
        const Rgba& p = c.pixels[i];
        const double ch[4] = {p.r, p.g, p.b, p.a};
        for (int k = 0; k < 4; ++k)
            img.data[i * 4 + k] = static_cast<uint8_t>(std::lround(std::clamp(ch[k], 0.0, 1.0) * 255.0));
    }
    return img;
}

// The light probe: a cube map of a night sky over a dark floor, a warm sun and two cool
// soft boxes, in half floats with a full mip chain.
image_codec::Image LightProbe(const Params& p) {
    const uint32_t size = static_cast<uint32_t>(Num(p, "size", 128));
    image_codec::Image img;
    std::string error;
    if (!img.Allocate(image_codec::kR16G16B16A16_FLOAT, size, size, 1, 6, 1, true, &error))
        throw Error("light probe: " + error);
    Noise2 clouds(21, 8);
    auto direction = [&](int face, double u, double v) {
        // u, v in [-1, 1], v downwards; the Direct3D cube face orientation.
        switch (face) {
            case 0:
                return std::array<double, 3>{1, -v, -u};
            case 1:
                return std::array<double, 3>{-1, -v, u};
            case 2:
                return std::array<double, 3>{u, 1, v};
            case 3:
                return std::array<double, 3>{u, -1, -v};
            case 4:
                return std::array<double, 3>{u, -v, 1};
            default:
                return std::array<double, 3>{-u, -v, -1};
        }
    };
    auto light = [&](std::array<double, 3> d) {
        double l = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        double x = d[0] / l, y = d[1] / l, z = d[2] / l;
        Rgba sky = Mix({0.9, 0.55, 0.35}, {0.08, 0.12, 0.35}, Smoothstep(0.0, 0.6, y));
        Rgba ground = Mix({0.25, 0.18, 0.16}, {0.03, 0.03, 0.04}, Smoothstep(0.0, -0.5, y));
        Rgba c = y >= 0 ? sky : ground;
        double az = std::atan2(z, x);
        double cl = clouds.Fbm((az / (2 * kPi) + 0.5) * 8, std::max(0.0, y) * 6, 4);
        c = Mix(c, {0.6, 0.5, 0.6}, 0.25 * Smoothstep(0.5, 0.8, cl) * Smoothstep(0.0, 0.15, y));
        // Sun, warm, low in the sky.
        double sx = 0.55, sy = 0.35, sz = 0.76, sl = std::sqrt(sx * sx + sy * sy + sz * sz);
        double sun = x * sx / sl + y * sy / sl + z * sz / sl;
        double s = std::pow(std::max(0.0, sun), 600) * 30.0 + std::pow(std::max(0.0, sun), 12) * 0.8;
        c.r += s;
        c.g += s * 0.85;
        c.b += s * 0.65;
        // Two soft boxes: rectangles of cool light, good for reflections on facets.
        auto box = [&](double cx, double cy, double cz, double w, double h) {
            double dotp = x * cx + y * cy + z * cz;
            if (dotp < 0.9)
                return 0.0;
            double px = x / dotp - cx, py = y / dotp - cy;
            return Smoothstep(w, w * 0.8, std::fabs(px)) * Smoothstep(h, h * 0.8, std::fabs(py + (cz - z / dotp)));
        };
        double b = box(-0.6, 0.5, -0.62, 0.25, 0.12) * 6.0 + box(0.0, 0.8, 0.6, 0.2, 0.2) * 4.0;
        c.r += b * 0.7;
        c.g += b * 0.85;
        c.b += b;
        return c;
    };
    for (uint32_t face = 0; face < 6; ++face) {
        uint16_t* texels = reinterpret_cast<uint16_t*>(img.Subresource(img.SubresourceIndex(0, face)));
        for (uint32_t y = 0; y < size; ++y)
            for (uint32_t x = 0; x < size; ++x) {
                double u = (x + 0.5) / size * 2 - 1, v = (y + 0.5) / size * 2 - 1;
                Rgba c = light(direction(static_cast<int>(face), u, v));
                uint16_t* t = texels + (static_cast<size_t>(y) * size + x) * 4;
                t[0] = image_codec::FloatToHalf(static_cast<float>(c.r));
                t[1] = image_codec::FloatToHalf(static_cast<float>(c.g));
                t[2] = image_codec::FloatToHalf(static_cast<float>(c.b));
                t[3] = image_codec::FloatToHalf(1.0f);
            }
    }
    if (!image_codec::GenerateMipChain(img, &error))
        throw Error("light probe: " + error);
    return img;
}

// A stored state pair of the tetra simulation: 180 x 180 tetrahedra, three textures a
// state, texel (c_i.xyz, c3[i]) for texture i. Scenario 2 puts them on a twisted torus,
// shrunk and turned each its own way; the newer state is the older one turned a little
// about the vertical axis, so the simulation starts with a swirl.
void Scenario(const Params& p, const std::filesystem::path& dataDir, int scenario) {
    const int n = 180;
    const double base[4][3] = {{-5.479541, -3.894634, -9.490854},
                               {-5.479542, -3.894634, 9.490853},
                               {10.959098, -3.894634, 0},
                               {0.000005, 11.603864, 0}};
    const double major = Num(p, "major", 16), minor = Num(p, "minor", 5), shrink = Num(p, "shrink", 0.18);
    const double swirl = Num(p, "swirl", 0.01);
    Rng rng(static_cast<uint64_t>(scenario) * 977);
    std::vector<std::array<std::array<double, 3>, 4>> corners(n * n);
    for (int k = 0; k < n * n; ++k) {
        double a = 2 * kPi * (k % n) / n, b = 2 * kPi * (k / n) / n + 3 * a;
        double jitter = 1.0 + 0.08 * rng.Signed();
        double cx = (major + minor * std::cos(b) * jitter) * std::cos(a);
        double cy = minor * std::sin(b) * jitter;
        double cz = (major + minor * std::cos(b) * jitter) * std::sin(a);
        double ry = rng.Uniform() * 2 * kPi, rx = rng.Uniform() * 2 * kPi;
        for (int c = 0; c < 4; ++c) {
            double x = base[c][0] * shrink, y = base[c][1] * shrink, z = base[c][2] * shrink;
            double x1 = x * std::cos(ry) + z * std::sin(ry), z1 = -x * std::sin(ry) + z * std::cos(ry);
            double y2 = y * std::cos(rx) - z1 * std::sin(rx), z2 = y * std::sin(rx) + z1 * std::cos(rx);
            corners[k][c] = {cx + x1, cy + y2, cz + z2};
        }
    }
    for (int j = 0; j < 2; ++j) {
        double turn = j * swirl;
        for (int i = 0; i < 3; ++i) {
            image_codec::Image img;
            img.Allocate(image_codec::kR32G32B32A32_FLOAT, n, n);
            float* t = reinterpret_cast<float*>(img.data.data());
            for (int k = 0; k < n * n; ++k) {
                auto rotate = [&](std::array<double, 3> q) {
                    return std::array<double, 3>{q[0] * std::cos(turn) + q[2] * std::sin(turn), q[1],
                                                 -q[0] * std::sin(turn) + q[2] * std::cos(turn)};
                };
                std::array<double, 3> ci = rotate(corners[k][i]), c3 = rotate(corners[k][3]);
                t[k * 4 + 0] = static_cast<float>(ci[0]);
                t[k * 4 + 1] = static_cast<float>(ci[1]);
                t[k * 4 + 2] = static_cast<float>(ci[2]);
                t[k * 4 + 3] = static_cast<float>(c3[i]);
            }
            std::string name =
                "fucrr_" + std::to_string(scenario) + "_" + std::to_string(i) + "_" + std::to_string(j) + ".dds";
            std::vector<uint8_t> bytes;
            std::string error;
            if (!image_codec::EncodeDDS(img, bytes, &error))
                throw Error(name + ": " + error);
            WriteFile(dataDir / name, bytes.data(), bytes.size());
        }
    }
}

// Splits a recipe line into words; "quoted text" is one word without its quotes.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string current;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
            if (any)
                words.push_back(current);
            current.clear();
            any = false;
        } else if (!quoted && c == '#' && !any) {
            break;
        } else {
            current.push_back(c);
            any = true;
        }
    }
    if (any)
        words.push_back(current);
    return words;
}

void Save(const std::filesystem::path& path, const image_codec::Image& img, int quality) {
    std::vector<uint8_t> bytes;
    std::string error, ext = path.extension().string();
    bool ok = ext == ".png"   ? image_codec::EncodePNG(img, bytes, &error)
              : ext == ".jpg" ? image_codec::EncodeJPG(img, bytes, quality, &error)
              : ext == ".dds" ? image_codec::EncodeDDS(img, bytes, &error)
                              : (error = "unknown image extension '" + ext + "'", false);
    if (!ok)
        throw Error(path.string() + ": " + error);
    WriteFile(path, bytes.data(), bytes.size());
}

}  // namespace

void WriteImages(const std::filesystem::path& recipes, const std::filesystem::path& dataDir) {
    const std::string file = recipes.string();
    std::vector<std::string> lines = SplitLines(ReadTextFile(recipes));
    const std::map<std::string, std::function<Canvas(const Params&)>> pictures = {
        {"card", Card},         {"vignette", Vignette}, {"dust", Dust},
        {"particle", Particle}, {"flare", Flare},       {"missing", Missing},
    };
    int images = 0;
    for (size_t n = 0; n < lines.size(); ++n) {
        int line = static_cast<int>(n) + 1;
        std::vector<std::string> t = Words(lines[n]);
        if (t.empty())
            continue;
        // image <file>[,<file>...] <kind> [key=value]...
        if (t[0] != "image" || t.size() < 3)
            Fail(file, line, "image <file>[,<file>...] <kind> [key=value]...");
        Params params;
        for (size_t i = 3; i < t.size(); ++i) {
            size_t eq = t[i].find('=');
            if (eq == std::string::npos)
                Fail(file, line, "expected key=value, got '" + t[i] + "'");
            params[t[i].substr(0, eq)] = t[i].substr(eq + 1);
        }
        std::vector<std::string> names;
        {
            std::string item;
            for (char c : t[1] + ",") {
                if (c == ',') {
                    if (!item.empty())
                        names.push_back(item);
                    item.clear();
                } else {
                    item.push_back(c);
                }
            }
        }
        try {
            if (t[2] == "probe") {
                image_codec::Image img = LightProbe(params);
                for (const std::string& name : names)
                    Save(dataDir / name, img, 90);
            } else if (t[2] == "scenario") {
                Scenario(params, dataDir, static_cast<int>(Num(params, "number", 2)));
            } else {
                auto kind = pictures.find(t[2]);
                if (kind == pictures.end())
                    Fail(file, line, "unknown image kind '" + t[2] + "'");
                image_codec::Image img = ToRgba8(kind->second(params));
                for (const std::string& name : names)
                    Save(dataDir / name, img, static_cast<int>(Num(params, "quality", 92)));
            }
        } catch (const std::invalid_argument&) {
            Fail(file, line, "a value is not a number");
        }
        images += static_cast<int>(names.size());
    }
    if (images == 0)
        Fail(file, static_cast<int>(lines.size()), "no images");
}

}  // namespace datagen
