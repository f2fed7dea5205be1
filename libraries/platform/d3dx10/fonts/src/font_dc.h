#pragma once
// Device contexts of fonts: GetTextExtentPoint32A and GetKerningPairsA find a context's
// face here; any other context (a window's) measures with the default face.
#include <memory>

#include "font_face.h"

namespace d3dx10_font {

HDC NewFontDC(std::shared_ptr<Face> face);
void FreeFontDC(HDC dc);
// The face of the context; the default face for unknown contexts (null when none opens).
std::shared_ptr<Face> FaceOfDC(HDC dc);

}  // namespace d3dx10_font
