#include "font_face.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H

namespace d3dx10_font {

namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::mutex& FontconfigLock() {
    static std::mutex m;
    return m;
}

// 26.6 fixed point to whole pixels.
int Round26(FT_Pos v) {
    return int((v + 32) >> 6);
}
int Ceil26(FT_Pos v) {
    return int((v + 63) >> 6);
}

}  // namespace

uint32_t CodePointOf(uint8_t c) {
    static const uint16_t k80[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return (c >= 0x80 && c < 0xA0) ? k80[c - 0x80] : c;
}

std::vector<FamilyEntry> ListFamilies(const std::string& name) {
    std::lock_guard<std::mutex> guard(FontconfigLock());
    std::vector<FamilyEntry> out;
    if (!FcInit())
        return out;
    FcPattern* pattern =
        name.empty() ? FcPatternCreate()
                     : FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, reinterpret_cast<const FcChar8*>(name.c_str()),
                                      static_cast<char*>(nullptr));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_WEIGHT, FC_SLANT, static_cast<char*>(nullptr));
    FcFontSet* set = (pattern && objects) ? FcFontList(nullptr, pattern, objects) : nullptr;
    if (set) {
        for (int i = 0; i < set->nfont; ++i) {
            FcPattern* font = set->fonts[i];
            int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
            FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
            FcPatternGetInteger(font, FC_SLANT, 0, &slant);
            FcChar8* family = nullptr;
            for (int k = 0; FcPatternGetString(font, FC_FAMILY, k, &family) == FcResultMatch; ++k) {
                const std::string f = reinterpret_cast<const char*>(family);
                // fontconfig's own comparison also ignores spaces; face names do not.
                if (!name.empty() && !SameNoCase(f, name))
                    continue;
                FamilyEntry e{f, std::clamp(FcWeightToOpenType(weight), 1, 1000), slant != FC_SLANT_ROMAN};
                auto it = std::find_if(out.begin(), out.end(), [&](const FamilyEntry& x) { return x.family == f; });
                if (it == out.end())
                    out.push_back(e);
                else if (!e.italic && std::abs(e.weight - 400) < std::abs(it->weight - 400))
                    *it = e;  // describe a family by its most regular member
                if (name.empty())
                    break;  // a font's first family names it in the full list
            }
        }
        FcFontSetDestroy(set);
    }
    if (objects)
        FcObjectSetDestroy(objects);
    if (pattern)
        FcPatternDestroy(pattern);
    std::sort(out.begin(), out.end(), [](const FamilyEntry& a, const FamilyEntry& b) { return a.family < b.family; });
    return out;
}

struct Face::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Impl() {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

std::unique_ptr<Face> Face::Open(const std::string& family, int height, int weight, bool italic) {
    std::string file;
    int index = 0, matchedWeight = FC_WEIGHT_REGULAR, matchedSlant = FC_SLANT_ROMAN;
    {
        std::lock_guard<std::mutex> guard(FontconfigLock());
        if (!FcInit())
            return nullptr;
        FcPattern* p = FcPatternCreate();
        if (!p)
            return nullptr;
        FcPatternAddString(p, FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(family.empty() ? "sans-serif" : family.c_str()));
        FcPatternAddInteger(p, FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? std::clamp(weight, 1, 1000) : 400));
        FcPatternAddInteger(p, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(p, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, p, FcMatchPattern);
        FcDefaultSubstitute(p);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, p, &result);
        FcPatternDestroy(p);
        if (!match)
            return nullptr;
        FcChar8* s = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &s) == FcResultMatch)
            file = reinterpret_cast<const char*>(s);
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight);
        FcPatternGetInteger(match, FC_SLANT, 0, &matchedSlant);
        FcPatternDestroy(match);
    }
    if (file.empty())
        return nullptr;

    std::unique_ptr<Face> f(new Face());
    f->impl_ = std::make_unique<Impl>();
    if (FT_Init_FreeType(&f->impl_->library) != 0 ||
        FT_New_Face(f->impl_->library, file.c_str(), index, &f->impl_->face) != 0)
        return nullptr;
    FT_Face face = f->impl_->face;
    const int pixels = height == 0 ? 16 : std::min(std::abs(height), 4096);
    FT_Size_RequestRec req{};
    req.type = height < 0 ? FT_SIZE_REQUEST_TYPE_NOMINAL : FT_SIZE_REQUEST_TYPE_REAL_DIM;
    req.height = FT_Long(pixels) * 64;
    if (FT_Request_Size(face, &req) != 0)
        return nullptr;
    const FT_Size_Metrics& m = face->size->metrics;
    f->ascent_ = Ceil26(m.ascender);
    f->descent_ = std::max(0, Ceil26(-m.descender));
    if (height > 0) {  // the cell is exactly the height asked for
        f->ascent_ = std::min(f->ascent_, pixels);
        f->descent_ = pixels - f->ascent_;
    }
    f->maxAdvance_ = Round26(m.max_advance);
    f->glyphCount_ = uint32_t(std::max<FT_Long>(0, face->num_glyphs));
    f->file_ = file;
    f->bold_ = FcWeightToOpenType(matchedWeight) >= 600;
    f->italic_ = matchedSlant != FC_SLANT_ROMAN;
    return f;
}

Face::~Face() = default;

uint32_t Face::GlyphIndex(uint32_t codePoint) {
    std::lock_guard<std::mutex> guard(lock_);
    return FT_Get_Char_Index(impl_->face, codePoint);
}

int Face::Advance(uint32_t glyph) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = advances_.find(glyph);
    if (it != advances_.end())
        return it->second;
    int advance = 0;
    if (FT_Load_Glyph(impl_->face, glyph, FT_LOAD_DEFAULT) == 0)
        advance = Round26(impl_->face->glyph->advance.x);
    advances_[glyph] = advance;
    return advance;
}

bool Face::Render(uint32_t glyph, GlyphBitmap& out) {
    std::lock_guard<std::mutex> guard(lock_);
    out = GlyphBitmap{};
    FT_Face face = impl_->face;
    if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) != 0 || FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    const FT_Bitmap& b = face->glyph->bitmap;
    out.advance = Round26(face->glyph->advance.x);
    out.left = face->glyph->bitmap_left;
    out.top = face->glyph->bitmap_top;
    out.width = int(b.width);
    out.height = int(b.rows);
    out.coverage.resize(size_t(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        const unsigned char* row =
            b.pitch >= 0 ? b.buffer + size_t(y) * b.pitch : b.buffer + size_t(out.height - 1 - y) * size_t(-b.pitch);
        if (b.pixel_mode == FT_PIXEL_MODE_GRAY) {
            std::memcpy(&out.coverage[size_t(y) * out.width], row, out.width);
        } else if (b.pixel_mode == FT_PIXEL_MODE_MONO) {
            for (int x = 0; x < out.width; ++x)
                out.coverage[size_t(y) * out.width + x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        }
    }
    return true;
}

int Face::TextWidth(const char* text, size_t count) {
    int width = 0;
    for (size_t i = 0; i < count; ++i)
        width += Advance(GlyphIndex(CodePointOf(static_cast<uint8_t>(text[i]))));
    return width;
}

std::vector<KERNINGPAIR> Face::KerningPairs() {
    uint32_t glyphs[256] = {};
    for (int c = 32; c < 256; ++c)
        glyphs[c] = GlyphIndex(CodePointOf(uint8_t(c)));
    std::lock_guard<std::mutex> guard(lock_);
    if (kerningRead_)
        return kerning_;
    kerningRead_ = true;
    std::vector<KERNINGPAIR>& pairs = kerning_;
    FT_Face face = impl_->face;
    if (!FT_HAS_KERNING(face))
        return pairs;
    for (int a = 32; a < 256; ++a) {
        if (!glyphs[a])
            continue;
        for (int b = 32; b < 256; ++b) {
            if (!glyphs[b])
                continue;
            FT_Vector v{};
            if (FT_Get_Kerning(face, glyphs[a], glyphs[b], FT_KERNING_DEFAULT, &v) == 0 && v.x != 0) {
                const int amount = Round26(v.x);
                if (amount != 0)
                    pairs.push_back(KERNINGPAIR{WORD(a), WORD(b), amount});
            }
        }
    }
    return pairs;
}

Layout LayoutText(Face& face, const char* text, int count, const RECT& rect, UINT format) {
    Layout layout;
    layout.bounds = RECT{rect.left, rect.top, rect.left, rect.top};
    if (!text)
        return layout;
    const size_t n = count < 0 ? std::strlen(text) : size_t(count);
    if (n == 0)
        return layout;

    struct Line {
        size_t begin, end;
        int width;
    };
    std::vector<Line> lines;
    const bool single = (format & DT_SINGLELINE) != 0;
    const int tabWidth = 8 * std::max(1, face.Advance(face.GlyphIndex(' ')));
    auto measure = [&](size_t b, size_t e) {
        int w = 0;
        for (size_t i = b; i < e; ++i) {
            const uint8_t c = static_cast<uint8_t>(text[i]);
            if (c == '\r' || c == '\n')
                continue;
            if (c == '\t' && (format & DT_EXPANDTABS)) {
                w = (w / tabWidth + 1) * tabWidth;
                continue;
            }
            w += face.Advance(face.GlyphIndex(CodePointOf(c)));
        }
        return w;
    };
    size_t start = 0;
    for (size_t i = 0; i <= n; ++i) {
        if (i == n || (!single && text[i] == '\n')) {
            lines.push_back(Line{start, i, measure(start, i)});
            start = i + 1;
        }
    }

    const int lineHeight = face.LineHeight();
    const int total = int(lines.size()) * lineHeight;
    int y0 = rect.top;
    if (single && (format & DT_VCENTER))
        y0 = rect.top + (int(rect.bottom - rect.top) - total) / 2;
    else if (single && (format & DT_BOTTOM))
        y0 = rect.bottom - total;

    int minX = rect.left, maxX = rect.left;
    bool first = true;
    for (size_t li = 0; li < lines.size(); ++li) {
        const Line& line = lines[li];
        int x = rect.left;
        if (format & DT_CENTER)
            x = rect.left + (int(rect.right - rect.left) - line.width) / 2;
        else if (format & DT_RIGHT)
            x = rect.right - line.width;
        if (first || x < minX)
            minX = x;
        if (first || x + line.width > maxX)
            maxX = x + line.width;
        first = false;
        const int baseline = y0 + int(li) * lineHeight + face.Ascent();
        int pen = x;
        for (size_t i = line.begin; i < line.end; ++i) {
            const uint8_t c = static_cast<uint8_t>(text[i]);
            if (c == '\r' || c == '\n')
                continue;
            if (c == '\t' && (format & DT_EXPANDTABS)) {
                pen = x + ((pen - x) / tabWidth + 1) * tabWidth;
                continue;
            }
            const uint32_t g = face.GlyphIndex(CodePointOf(c));
            layout.glyphs.push_back(PlacedGlyph{g, pen, baseline});
            pen += face.Advance(g);
        }
    }
    if (format & (DT_CENTER | DT_RIGHT))
        layout.bounds = RECT{minX, y0, maxX, y0 + total};
    else
        layout.bounds = RECT{rect.left, y0, maxX, y0 + total};
    layout.height = (y0 - rect.top) + total;
    return layout;
}

}  // namespace d3dx10_font
