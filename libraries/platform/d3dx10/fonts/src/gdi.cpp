// GDI font calls and the font device contexts.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "font_dc.h"
#include "platform/gdi.h"

namespace d3dx10_font {

namespace {

struct FontDC {
    std::shared_ptr<Face> face;
};

std::mutex& Lock() {
    static std::mutex m;
    return m;
}

std::map<HDC, std::shared_ptr<Face>>& Contexts() {
    static std::map<HDC, std::shared_ptr<Face>> m;
    return m;
}

}  // namespace

HDC NewFontDC(std::shared_ptr<Face> face) {
    auto* token = new FontDC{face};
    HDC dc = reinterpret_cast<HDC>(token);
    std::lock_guard<std::mutex> guard(Lock());
    Contexts()[dc] = std::move(face);
    return dc;
}

void FreeFontDC(HDC dc) {
    std::lock_guard<std::mutex> guard(Lock());
    if (Contexts().erase(dc))
        delete reinterpret_cast<FontDC*>(dc);
}

std::shared_ptr<Face> FaceOfDC(HDC dc) {
    {
        std::lock_guard<std::mutex> guard(Lock());
        auto it = Contexts().find(dc);
        if (it != Contexts().end())
            return it->second;
    }
    static std::shared_ptr<Face> fallback = Face::Open("sans-serif", 16, FW_NORMAL, false);
    return fallback;
}

}  // namespace d3dx10_font

using namespace d3dx10_font;

int EnumFontFamiliesExA(HDC, LPLOGFONTA logFont, FONTENUMPROCA proc, LPARAM lParam, DWORD) {
    if (!logFont || !proc)
        return 0;
    const std::string name(logFont->lfFaceName, strnlen(logFont->lfFaceName, LF_FACESIZE));
    int result = 1;
    for (const FamilyEntry& family : ListFamilies(name)) {
        if (family.family.size() >= LF_FACESIZE)
            continue;  // not expressible as a face name
        LOGFONTA lf{};
        lf.lfHeight = 16;
        lf.lfWeight = family.weight;
        lf.lfItalic = family.italic ? 1 : 0;
        lf.lfCharSet = logFont->lfCharSet;
        lf.lfOutPrecision = OUT_TT_PRECIS;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = VARIABLE_PITCH;
        std::memcpy(lf.lfFaceName, family.family.c_str(), family.family.size() + 1);
        TEXTMETRICA tm{};
        tm.tmHeight = 16;
        tm.tmWeight = family.weight;
        tm.tmItalic = lf.lfItalic;
        tm.tmCharSet = lf.lfCharSet;
        tm.tmFirstChar = 32;
        tm.tmLastChar = 255;
        tm.tmDefaultChar = '?';
        tm.tmBreakChar = ' ';
        tm.tmPitchAndFamily = VARIABLE_PITCH | TRUETYPE_FONTTYPE;
        result = proc(&lf, &tm, TRUETYPE_FONTTYPE, lParam);
        if (result == 0)
            break;
    }
    return result;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, LPSIZE size) {
    if (!size || count < 0 || (!text && count > 0))
        return FALSE;
    std::shared_ptr<Face> face = FaceOfDC(dc);
    if (!face)
        return FALSE;
    size->cx = face->TextWidth(text, size_t(count));
    size->cy = face->LineHeight();
    return TRUE;
}

DWORD GetKerningPairsA(HDC dc, DWORD nPairs, LPKERNINGPAIR pairs) {
    std::shared_ptr<Face> face = FaceOfDC(dc);
    if (!face)
        return 0;
    const std::vector<KERNINGPAIR> all = face->KerningPairs();
    if (!pairs)
        return DWORD(all.size());
    const DWORD n = std::min<DWORD>(nPairs, DWORD(all.size()));
    std::copy(all.begin(), all.begin() + n, pairs);
    return n;
}
