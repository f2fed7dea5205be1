#pragma once
// Installed faces (fontconfig), one face at one pixel size (FreeType): metrics, glyph
// bitmaps, kerning and the line layout that DrawText uses.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi.h"

namespace d3dx10_font {

// Families installed under exactly this name (ignoring ASCII case); all of them when empty.
struct FamilyEntry {
    std::string family;
    int weight;  // 100..900
    bool italic;
};
std::vector<FamilyEntry> ListFamilies(const std::string& name);

// The Unicode code point of a Windows-1252 byte.
uint32_t CodePointOf(uint8_t c);

struct GlyphBitmap {
    int width = 0, height = 0;      // pixels
    int left = 0, top = 0;          // bitmap origin relative to the pen (top: above the baseline)
    int advance = 0;                // pixels
    std::vector<uint8_t> coverage;  // width * height, rows top first
};

class Face {
public:
    // height > 0: cell height (ascent + descent) in pixels; < 0: character height (em);
    // 0: 16. weight as LOGFONT. Null when no face file can be opened.
    static std::unique_ptr<Face> Open(const std::string& family, int height, int weight, bool italic);
    ~Face();

    const std::string& File() const { return file_; }
    int Ascent() const { return ascent_; }
    int Descent() const { return descent_; }
    int LineHeight() const { return ascent_ + descent_; }
    int MaxAdvance() const { return maxAdvance_; }
    bool Bold() const { return bold_; }
    bool Italic() const { return italic_; }

    uint32_t GlyphIndex(uint32_t codePoint);
    uint32_t GlyphCount() const { return glyphCount_; }
    int Advance(uint32_t glyph);
    bool Render(uint32_t glyph, GlyphBitmap& out);
    // Width of the text (Windows-1252 bytes), no kerning.
    int TextWidth(const char* text, size_t count);
    std::vector<KERNINGPAIR> KerningPairs();

private:
    Face() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string file_;
    int ascent_ = 0, descent_ = 0, maxAdvance_ = 0;
    uint32_t glyphCount_ = 0;
    bool kerningRead_ = false;
    std::vector<KERNINGPAIR> kerning_;
    bool bold_ = false, italic_ = false;
    std::unordered_map<uint32_t, int> advances_;
    std::mutex lock_;
};

// DrawText's layout: lines split at '\n' (unless single-line), each line positioned in
// the rectangle by the format. Glyph positions are pen positions on the baseline.
struct PlacedGlyph {
    uint32_t glyph;
    int x, y;  // pen position, y is the baseline
};
struct Layout {
    RECT bounds{};   // the text's rectangle (DT_CALCRECT's answer)
    int height = 0;  // DrawText's result
    std::vector<PlacedGlyph> glyphs;
};
Layout LayoutText(Face& face, const char* text, int count, const RECT& rect, UINT format);

}  // namespace d3dx10_font
