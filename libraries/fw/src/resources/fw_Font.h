#pragma once
// The framework's text: one face name at one pixel height, as four extension-library
// fonts (one a style), with the kerning pairs of every style. Text is measured and drawn
// one character at a time with kerning. Fonts come from fw_Framework::GetFont, which
// owns them.
//
// Face names: an installed family is looked up by its exact name (ignoring ASCII case).
// Face names hold at most 31 characters (LF_FACESIZE - 1); a longer name, or a style
// candidate that grows longer with its suffix, is never looked up or cut: it counts as
// not installed, so such a name falls back to "Verdana" like any missing face.

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/d3dx10font.h"
#include "platform/win32_types.h"

// Indexes the font and kerning tables.
enum fw_FontStyle : int32_t {
    Regular = 0,
    Italic = 1,
    Bold = 2,
    BoldItalic = 3,
};

constexpr int32_t kFontStyleCount = 4;

// (style & 0xFF) << 16 | (first & 0xFF) << 8 | (second & 0xFF), characters as unsigned bytes.
int32_t MakeKerningKey(int32_t style, char first, char second);

// The family to create for name in style. Candidates, in order:
//   Regular:    name, name-Regular
//   Italic:     name-Italic, name-RegularItalic, name (then italic := true)
//   Bold:       name-Bold, name-RegularBold, name (then weight := 700)
//   BoldItalic: name-BoldItalic, name-RegularBoldItalic, name (unchanged)
// The first installed one wins. When none is, "Verdana" with italic and weight untouched;
// the first failure of each name in the process shows an alert.
std::string ResolveFontFace(const std::string& name, int32_t style, bool& italic, int32_t& weight);

// A font of the resolved face on the framework's device, characters and glyphs 0 to 500
// preloaded; null when the device refuses it.
ID3DX10Font* CreateD3DXFont(const std::string& name, int32_t height, int32_t style);

// Whether a font family of exactly that name is installed (names of 32 characters or
// more never are).
bool FontFamilyExists(const std::string& name);

class fw_Font {
public:
    // All four styles are created and their kerning pairs loaded.
    fw_Font(const std::string& name, int32_t height);
    ~fw_Font();
    fw_Font(const fw_Font&) = delete;
    fw_Font& operator=(const fw_Font&) = delete;

    int32_t GetHeight() const { return mHeight; }
    // The advance of one character; 0 for the character 0, a style outside 0 to 3 or a
    // font the device refused.
    int32_t GetCharWidth(char c, int32_t style) const;
    // The kerning of the pair, 0 when the style does not list it.
    int32_t GetKerning(char first, char second, int32_t style) const;
    // Width: the sum of every character's width and of the kerning of each character with
    // the one before it (the first with the character 0). Height: the text's height as the
    // font lays it out.
    SIZE MeasureText(const std::string& text, int32_t style) const;
    // Draws text into the bound render target, from the rectangle's top-left, one
    // character at a time: each character is moved by the kerning of the pair it ends and
    // followed by its own width. Glyphs are clipped to the rectangle.
    void DrawText(const std::string& text, const RECT& rect, const D3DXCOLOR& colour, int32_t style) const;

    std::string mName;
    int32_t mHeight;
    ID3DX10Font* mFonts[kFontStyleCount] = {};
    std::unordered_map<int32_t, int32_t> mKerning;

private:
    void LoadKerningPairs(int32_t style);
    ID3DX10Font* FontOf(int32_t style) const;
};
