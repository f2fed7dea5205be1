// Packed at build time; the test loads only the compiled form.
#include "packed_inc.fxi"
uniform vec4 gTint;
void PackedPS(in vec2 uv : TEXCOORD0, out vec4 color : SV_Target0) { color = gBase + gTint; }
technique Packed { pass P0 { VertexShader = QuadVS; PixelShader = PackedPS; } }
