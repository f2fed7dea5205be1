#pragma once
// The GDI font calls over fontconfig and FreeType.
//
// - EnumFontFamiliesExA lists installed families (fontconfig's list, no aliases or
//   substitutes): one callback per family whose name equals lfFaceName ignoring ASCII case,
//   or per installed family when lfFaceName is empty; a face that is not installed gives no
//   callback. The callback returning 0 stops the enumeration; the result is the last value
//   the callback returned, 1 when it was never called.
// - GetTextExtentPoint32A and GetKerningPairsA measure with the font of the device context:
//   the font of an ID3DX10Font for the context of its GetDC, otherwise the system's default
//   sans-serif face at 16 pixels. Text is Windows-1252. The extent is the sum of the
//   advance widths (no kerning) by the line height. Kerning pairs come from the face's
//   kerning table, for the characters 32 to 255, in pixels.
// GetDC and ReleaseDC are the window stand-in's (platform/win32.h).

#include "platform/win32_types.h"

#define LF_FACESIZE 32

#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_HEAVY 900

#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1

#define OUT_DEFAULT_PRECIS 0
#define OUT_TT_PRECIS 4
#define OUT_SCREEN_OUTLINE_PRECIS 9

#define DEFAULT_QUALITY 0
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5

#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30

#define RASTER_FONTTYPE 0x0001
#define DEVICE_FONTTYPE 0x0002
#define TRUETYPE_FONTTYPE 0x0004

// DrawText formats.
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400

struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};
typedef LOGFONTA* LPLOGFONTA;

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

struct KERNINGPAIR {
    WORD wFirst;
    WORD wSecond;
    int iKernAmount;
};
typedef KERNINGPAIR* LPKERNINGPAIR;

typedef int(CALLBACK* FONTENUMPROCA)(const LOGFONTA* logFont, const TEXTMETRICA* metrics, DWORD fontType,
                                     LPARAM lParam);

int EnumFontFamiliesExA(HDC dc, LPLOGFONTA logFont, FONTENUMPROCA proc, LPARAM lParam, DWORD flags);
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, LPSIZE size);
// With pairs null: the number of pairs. Otherwise fills at most nPairs and returns how many.
DWORD GetKerningPairsA(HDC dc, DWORD nPairs, LPKERNINGPAIR pairs);
