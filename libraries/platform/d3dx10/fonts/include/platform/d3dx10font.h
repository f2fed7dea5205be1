#pragma once
// The extension library's font: a FreeType face chosen through fontconfig, its glyphs
// kept in an atlas texture on the device and drawn as textured quads.
//
// - The face: the installed face that best matches FaceName, Weight and Italic (fontconfig's
//   match, so an absent family gives its substitute; use EnumFontFamiliesExA to learn
//   whether a family is installed). Height > 0 is the cell height (ascent + descent) in
//   pixels, < 0 the character (em) height, 0 gives 16.
// - Text is Windows-1252. DrawTextA lays out lines split at '\n' (not with DT_SINGLELINE),
//   aligned by DT_LEFT/DT_CENTER/DT_RIGHT and, for a single line, DT_TOP/DT_VCENTER/
//   DT_BOTTOM; DT_EXPANDTABS expands tabs to eight spaces; glyphs are clipped to the
//   rectangle unless DT_NOCLIP; no kerning is applied and DT_WORDBREAK does not wrap.
//   The result is the text's height (from the rectangle's top to the text's bottom).
//   With DT_CALCRECT nothing is drawn and the rectangle becomes the text's extent.
// - Drawing: into the bound render target, coordinates in pixels from the top-left of
//   viewport 0, alpha blended (source alpha = colour alpha x glyph coverage), no depth
//   test. The sprite argument is not used. The device's input layout, topology, blend,
//   depth and rasterizer states, program and pixel-shader resource slot 0 are restored
//   afterwards; vertex-buffer slot 0 and sampler slot 0 are left with the font's own.
// - GetDC gives a device context whose font is this one, for GetTextExtentPoint32A and
//   GetKerningPairsA (platform/gdi.h); it lives as long as the font.

#include "platform/d3d10.h"
#include "platform/d3dx10math.h"
#include "platform/gdi.h"
#include "platform/win32_types.h"

struct ID3DX10Sprite;

struct D3DX10_FONT_DESCA {
    INT Height;
    UINT Width;
    UINT Weight;
    UINT MipLevels;
    BOOL Italic;
    BYTE CharSet;
    BYTE OutputPrecision;
    BYTE Quality;
    BYTE PitchAndFamily;
    CHAR FaceName[LF_FACESIZE];
};

struct ID3DX10Font : IUnknown {
    virtual HRESULT GetDevice(ID3D10Device** device) = 0;
    virtual HRESULT GetDescA(D3DX10_FONT_DESCA* desc) = 0;
    virtual BOOL GetTextMetricsA(TEXTMETRICA* metrics) = 0;
    virtual HDC GetDC() = 0;
    virtual HRESULT PreloadCharacters(UINT first, UINT last) = 0;
    virtual HRESULT PreloadGlyphs(UINT first, UINT last) = 0;
    virtual HRESULT PreloadTextA(LPCSTR text, INT count) = 0;
    virtual INT DrawTextA(ID3DX10Sprite* sprite, LPCSTR text, INT count, LPRECT rect, UINT format, D3DXCOLOR color) = 0;

protected:
    ~ID3DX10Font() = default;
};

typedef ID3DX10Font* LPD3DX10FONT;

HRESULT D3DX10CreateFontIndirectA(ID3D10Device* device, const D3DX10_FONT_DESCA* desc, ID3DX10Font** font);
