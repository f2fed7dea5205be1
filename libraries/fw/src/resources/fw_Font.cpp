// Fonts: face resolution, the four styles of one face and height, kerned text, and the
// framework's font cache.
#include "fw_Font.h"

#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Release.h"
#include "platform/gdi.h"
#include "platform/win32.h"

namespace {

const char* const kFallbackFace = "Verdana";

// The style suffixes tried for a face, in order; an empty suffix is the plain name.
struct StyleCandidates {
    const char* suffixes[3];
};
const StyleCandidates kCandidates[kFontStyleCount] = {
    {{"", "-Regular", nullptr}},
    {{"-Italic", "-RegularItalic", ""}},
    {{"-Bold", "-RegularBold", ""}},
    {{"-BoldItalic", "-RegularBoldItalic", ""}},
};

int CALLBACK StopAtFirstFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// True the first time name is reported in this process.
bool FirstFailureOf(const std::string& name) {
    static std::mutex lock;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> guard(lock);
    return reported.insert(name).second;
}

}  // namespace

int32_t MakeKerningKey(int32_t style, char first, char second) {
    return (style & 0xFF) << 16 | (static_cast<unsigned char>(first) & 0xFF) << 8 |
           (static_cast<unsigned char>(second) & 0xFF);
}

bool FontFamilyExists(const std::string& name) {
    if (name.empty() || name.size() >= LF_FACESIZE || name.find('\0') != std::string::npos)
        return false;
    LOGFONTA logFont = {};
    std::memcpy(logFont.lfFaceName, name.c_str(), name.size() + 1);
    logFont.lfCharSet = ANSI_CHARSET;
    HDC dc = GetDC(fw_Framework::mWindow);
    bool found = false;
    EnumFontFamiliesExA(dc, &logFont, StopAtFirstFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(fw_Framework::mWindow, dc);
    return found;
}

std::string ResolveFontFace(const std::string& name, int32_t style, bool& italic, int32_t& weight) {
    if (style >= 0 && style < kFontStyleCount) {
        for (const char* suffix : kCandidates[style].suffixes) {
            if (!suffix)
                break;
            const std::string candidate = name + suffix;
            if (!FontFamilyExists(candidate))
                continue;
            if (*suffix == '\0') {
                if (style == Italic)
                    italic = true;
                else if (style == Bold)
                    weight = FW_BOLD;
            }
            return candidate;
        }
    }
    if (FirstFailureOf(name))
        fw_Log::Alertf("Could not find the requested font \"%s\", the application will use the %s font as a fallback.",
                       name.c_str(), kFallbackFace);
    return kFallbackFace;
}

ID3DX10Font* CreateD3DXFont(const std::string& name, int32_t height, int32_t style) {
    bool italic = false;
    int32_t weight = FW_NORMAL;
    const std::string face = ResolveFontFace(name, style, italic, weight);

    D3DX10_FONT_DESCA desc = {};
    desc.Height = height;
    desc.Width = 0;
    desc.Weight = static_cast<UINT>(weight);
    desc.MipLevels = 0;
    desc.Italic = italic ? TRUE : FALSE;
    desc.CharSet = DEFAULT_CHARSET;
    desc.OutputPrecision = OUT_SCREEN_OUTLINE_PRECIS;
    desc.Quality = CLEARTYPE_QUALITY;
    desc.PitchAndFamily = 16;
    std::strncpy(desc.FaceName, face.c_str(), LF_FACESIZE - 1);  // resolved faces always fit

    ID3DX10Font* font = nullptr;
    if (!fw_Framework::mDevice || FAILED(D3DX10CreateFontIndirectA(fw_Framework::mDevice, &desc, &font)) || !font)
        return nullptr;
    font->PreloadCharacters(0, 500);
    font->PreloadGlyphs(0, 500);
    return font;
}

fw_Font::fw_Font(const std::string& name, int32_t height) : mName(name), mHeight(height) {
    for (int32_t style = 0; style < kFontStyleCount; ++style) {
        mFonts[style] = CreateD3DXFont(name, height, style);
        LoadKerningPairs(style);
    }
}

fw_Font::~fw_Font() {
    for (ID3DX10Font*& font : mFonts)
        SafeRelease(font);
}

ID3DX10Font* fw_Font::FontOf(int32_t style) const {
    return style >= 0 && style < kFontStyleCount ? mFonts[style] : nullptr;
}

void fw_Font::LoadKerningPairs(int32_t style) {
    ID3DX10Font* font = FontOf(style);
    if (!font)
        return;
    HDC dc = font->GetDC();
    const DWORD count = GetKerningPairsA(dc, 0, nullptr);
    if (count == 0)
        return;
    std::vector<KERNINGPAIR> pairs(count);
    const DWORD filled = GetKerningPairsA(dc, count, pairs.data());
    for (DWORD i = 0; i < filled && i < count; ++i) {
        const KERNINGPAIR& pair = pairs[i];
        mKerning[MakeKerningKey(style, static_cast<char>(pair.wFirst), static_cast<char>(pair.wSecond))] =
            pair.iKernAmount;
    }
}

int32_t fw_Font::GetCharWidth(char c, int32_t style) const {
    ID3DX10Font* font = FontOf(style);
    if (c == 0 || !font)
        return 0;
    SIZE size = {};
    if (!GetTextExtentPoint32A(font->GetDC(), &c, 1, &size))
        return 0;
    return size.cx;
}

int32_t fw_Font::GetKerning(char first, char second, int32_t style) const {
    const auto it = mKerning.find(MakeKerningKey(style, first, second));
    return it == mKerning.end() ? 0 : it->second;
}

SIZE fw_Font::MeasureText(const std::string& text, int32_t style) const {
    SIZE size = {};
    ID3DX10Font* font = FontOf(style);
    if (!font)
        return size;
    RECT bounds = {0, 0, 65536, 65536};
    size.cy = font->DrawTextA(nullptr, text.c_str(), -1, &bounds, DT_CALCRECT, D3DXCOLOR(0, 0, 0, 0));
    char previous = 0;
    for (const char c : text) {
        size.cx += GetCharWidth(c, style) + GetKerning(previous, c, style);
        previous = c;
    }
    return size;
}

void fw_Font::DrawText(const std::string& text, const RECT& rect, const D3DXCOLOR& colour, int32_t style) const {
    ID3DX10Font* font = FontOf(style);
    if (!font)
        return;
    RECT pen = rect;
    char previous = 0;
    for (const char c : text) {
        pen.left += GetKerning(previous, c, style);
        font->DrawTextA(nullptr, &c, 1, &pen, 0, colour);
        pen.left += GetCharWidth(c, style);
        previous = c;
    }
}

fw_Font* fw_Framework::GetFont(const std::string& faceName, int32_t height) {
    const auto key = std::make_pair(faceName, height);
    const auto it = mFonts.find(key);
    if (it != mFonts.end())
        return it->second;
    fw_Font* font = new fw_Font(faceName, height);
    mFonts[key] = font;
    return font;
}

void fw_Framework::ReleaseFonts() {
    for (auto& entry : mFonts)
        delete entry.second;
    mFonts.clear();
}
