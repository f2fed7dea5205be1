// The kaleidoscope scene: lit objects (station, cubes, diamond, pearl sphere, crystals,
// small pyramids), the background lattice, their six-segment mirrored forms, and the depth
// moments of the variance shadow map.
#include "fw_Globals.fxi"

sampler_state LinearClamp { Filter = MIN_MAG_MIP_LINEAR; AddressU = CLAMP; AddressV = CLAMP; };
sampler_state ProbeSampler { Filter = MIN_MAG_MIP_LINEAR; AddressU = CLAMP; AddressV = CLAMP; AddressW = CLAMP; };
blend_state Opaque { BlendEnable[0] = FALSE; };
depth_stencil_state DepthWrite { DepthEnable = TRUE; DepthWriteMask = ALL; DepthFunc = LESS_EQUAL; };
// A mirrored copy turns the winding over: its front faces are the counter-clockwise ones.
rasterizer_state CullBack { CullMode = BACK; };
rasterizer_state CullBackMirrored { CullMode = BACK; FrontCounterClockwise = TRUE; };
rasterizer_state NoCull { CullMode = NONE; };

// Distortion of the kaleidoscope: twist, ripple and fold (x, y, z).
uniform vec4 gPenrose;
uniform float gBackgroundMeshFade = 1.0;
// The object's translation, put back after mirroring.
uniform vec4 gPostTranslation;
// Normals of the two mirror planes that bound a segment's wedge.
uniform vec4 gPlane1;
uniform vec4 gPlane2;
// The reflections that make the segment from the first one (orthogonal).
uniform mat4 gMirror = mat4(1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0);
// Meshes drawn without materials (rings, lattice) take their own: ambient, diffuse and
// specular (power in w) of the first attribute range, then of the second, which begins
// at the vertex gOwnSecondVertex.
uniform vec4 gOwnMaterials[6];
uniform int gOwnSecondVertex = 2147483647;
uniform samplerCube gLightProbeTex : ProbeSampler;
uniform sampler2D gDepthVarianceTexture : LinearClamp;

const vec3 kLightColour = vec3(1.0, 0.93, 0.82);
const float kBeatsPerSecond = 2.1333334;

// --- lighting -------------------------------------------------------------------------

// The shadow map holds the distance from the light and its square.
float LightDistance(vec3 p) { return length(p - gLightPositionWorldSpace.xyz); }

// Fraction of the light's cone that reaches p: the spot's soft edge times the variance
// shadow (Chebyshev's bound on the stored depth moments, with light bleeding cut away).
float LightVisibility(vec3 p)
{
    vec4 lp = gLightViewProjection * vec4(p, 1.0);
    if (lp.w <= 0.01)
        return 0.0;
    vec2 ndc = lp.xy / lp.w;
    float spot = 1.0 - smoothstep(0.55, 1.05, length(ndc));
    if (spot <= 0.0)
        return 0.0;
    vec2 uv = vec2(ndc.x * 0.5 + 0.5, 0.5 - ndc.y * 0.5);
    vec2 moments = texture(gDepthVarianceTexture, uv).xy;
    float depth = LightDistance(p) - 0.15;
    if (depth <= moments.x)
        return spot;
    float variance = max(moments.y - moments.x * moments.x, 0.004);
    float d = depth - moments.x;
    float pMax = variance / (variance + d * d);
    return spot * smoothstep(0.3, 1.0, pMax);
}

vec3 Environment(vec3 dir, float blur)
{
    return textureLod(gLightProbeTex, dir, blur).rgb;
}

float Fresnel(float ndv, float f0) { return f0 + (1.0 - f0) * pow(1.0 - ndv, 5.0); }

// The material of the draw. The vertex stage passes it on unchanged, so that a new
// material from one draw to the next changes vertex constants only: a CPU rasteriser
// stores its pixel-stage state anew whenever a pixel-stage constant changes.
struct MaterialColours {
    vec3 ambient;
    vec3 diffuse;
    vec3 specular;
    float power;
};

struct Surface {
    vec3 ambient;       // the material's ambient colour
    vec3 albedo;
    vec3 specular;
    float power;
    float reflectivity; // share of the environment in the reflection
    vec3 emissive;
};

vec3 Shade(Surface s, vec3 p, vec3 n, vec3 v)
{
    vec3 toLight = gLightPositionWorldSpace.xyz - p;
    float distance = length(toLight);
    vec3 l = toLight / max(distance, 1e-4);
    float visibility = LightVisibility(p);
    float falloff = 900.0 / (900.0 + distance * distance);
    float ndl = max(dot(n, l), 0.0);
    vec3 h = normalize(l + v);
    float ndv = clamp(dot(n, v), 0.0, 1.0);
    float spec = pow(max(dot(n, h), 0.0), max(s.power, 1.0)) * (s.power + 8.0) / 25.0;

    vec3 direct = (s.albedo * ndl + s.specular * spec * ndl * 0.5) * kLightColour * (visibility * falloff * 1.3);
    vec3 ambient = s.albedo * (Environment(n, 5.0) * 0.3 + s.ambient * 0.4 + vec3(0.015, 0.02, 0.035));
    vec3 reflection = Environment(reflect(-v, n), 0.5) * s.specular * (s.reflectivity * Fresnel(ndv, 0.04) * 0.6);
    // A cool rim from behind keeps silhouettes apart from the dark.
    vec3 rim = vec3(0.25, 0.4, 0.8) * pow(1.0 - ndv, 3.0) * 0.35;
    return direct + ambient + reflection + rim + s.emissive;
}

float BeatPulse() { return exp(-fract(Time * kBeatsPerSecond) * 5.0); }

// Linear depth from the eye, for the depth-of-field passes that read the alpha.
float EyeDistance(vec3 p) { return length(p - EyePositionWorld.xyz); }

// --- surfaces by technique ------------------------------------------------------------

Surface Material(MaterialColours m)
{
    Surface s;
    s.ambient = m.ambient;
    s.albedo = m.diffuse;
    s.specular = m.specular;
    s.power = m.power;
    s.reflectivity = 0.6;
    s.emissive = vec3(0.0);
    return s;
}

// Nearness to a cube's edges in object space (1 on an edge).
float CubeEdges(vec3 o)
{
    vec3 a = abs(o);
    float hi = max(max(a.x, a.y), a.z);
    float mid = a.x + a.y + a.z - hi - min(min(a.x, a.y), a.z);
    return smoothstep(hi * 0.9, hi * 0.985, mid);
}

vec3 ShadePlain(MaterialColours m, vec3 p, vec3 n, vec3 v, vec3 o)
{
    return Shade(Material(m), p, n, v);
}

vec3 ShadeCube(MaterialColours m, vec3 p, vec3 n, vec3 v, vec3 o, float glow)
{
    Surface s = Material(m);
    s.albedo *= 0.35;
    s.specular = mix(m.specular, m.diffuse, 0.5);
    s.reflectivity = 1.6;
    float edges = CubeEdges(o);
    s.emissive = vec3(0.35, 0.75, 1.6) * edges * glow * (0.35 + 1.4 * BeatPulse());
    return Shade(s, p, n, v);
}

vec3 ShadeDiamond(MaterialColours m, vec3 p, vec3 n, vec3 v)
{
    Surface s = Material(m);
    s.albedo *= 0.25;
    s.reflectivity = 1.8;
    vec3 base = Shade(s, p, n, v);
    // Dispersion: each channel refracted apart through the stone.
    vec3 refracted;
    refracted.r = Environment(refract(-v, n, 1.0 / 2.30), 0.0).r;
    refracted.g = Environment(refract(-v, n, 1.0 / 2.42), 0.0).g;
    refracted.b = Environment(refract(-v, n, 1.0 / 2.56), 0.0).b;
    float ndv = clamp(dot(n, v), 0.0, 1.0);
    vec3 fire = refracted * m.diffuse * (1.0 - Fresnel(ndv, 0.17)) * 1.4;
    // Sparkles on facets that catch the light.
    vec3 l = normalize(gLightPositionWorldSpace.xyz - p);
    float glint = pow(max(dot(reflect(-l, n), v), 0.0), 180.0) * 6.0 * LightVisibility(p);
    return base + fire + vec3(glint);
}

vec3 ShadeSphere(MaterialColours m, vec3 p, vec3 n, vec3 v)
{
    Surface s = Material(m);
    float ndv = clamp(dot(n, v), 0.0, 1.0);
    // Thin-film iridescence, shifting with the angle.
    vec3 film = 0.5 + 0.5 * cos(6.2831853 * (ndv * 1.7 + vec3(0.0, 0.33, 0.67) + Time * 0.05));
    s.albedo = mix(m.diffuse, film, 0.35);
    s.specular = mix(m.specular, film, 0.6);
    s.reflectivity = 1.0;
    return Shade(s, p, n, v);
}

vec3 ShadeSmall(MaterialColours m, vec3 p, vec3 n, vec3 v)
{
    Surface s = Material(m);
    float ndv = clamp(dot(n, v), 0.0, 1.0);
    s.emissive = m.diffuse * pow(1.0 - ndv, 2.0) * (0.25 + 0.6 * BeatPulse());
    return Shade(s, p, n, v);
}

// --- vertex stages --------------------------------------------------------------------

// The material's colours, passed from the vertex to the pixel stage.
#define MATERIAL_OUT                                                                        \
    out flat vec4 matAmbient : TEXCOORD4, out flat vec4 matDiffuse : TEXCOORD5,             \
        out flat vec4 matSpecular : TEXCOORD6
#define PASS_MATERIAL                                                                       \
    matAmbient = Ambient;                                                                   \
    matDiffuse = Diffuse;                                                                   \
    matSpecular = vec4(Specular.rgb, SpecularPower)
#define PASS_OWN_MATERIAL                                                                   \
    int own = gl_VertexID >= gOwnSecondVertex ? 3 : 0;                                      \
    matAmbient = gOwnMaterials[own];                                                        \
    matDiffuse = gOwnMaterials[own + 1];                                                    \
    matSpecular = gOwnMaterials[own + 2]
#define MATERIAL_IN                                                                         \
    in vec4 matAmbient : TEXCOORD4, in vec4 matDiffuse : TEXCOORD5, in vec4 matSpecular : TEXCOORD6
#define MATERIAL MaterialColours(matAmbient.rgb, matDiffuse.rgb, matSpecular.rgb, matSpecular.w)

// The kaleidoscope's distortion of a position in the first segment's frame: a twist about
// the vertical axis, a ripple along the radius and a fold with the angle.
vec3 Distort(vec3 p)
{
    float twist = gPenrose.x * p.y * 0.12;
    float c = cos(twist), s = sin(twist);
    p.xz = mat2(c, s, -s, c) * p.xz;
    float r = length(p);
    if (r > 1e-4)
        p += (p / r) * gPenrose.y * 1.5 * sin(r * 0.9 - Time * 2.0);
    p.y += gPenrose.z * 2.0 * sin(atan(p.z, p.x) * 6.0 + Time);
    return p;
}

// A segment's position distorted in the first segment's frame and mirrored back: every
// segment stays the mirror image of its neighbours, so that they meet at their seams.
vec3 MirroredDistort(vec3 p)
{
    mat3 mirror = mat3(gMirror);
    return mirror * Distort(transpose(mirror) * p);
}

// An object's stages for its world matrix: World, or a crystal's own.
void ObjectOutputs(mat4 world, vec3 pos, vec3 nrm, out vec4 hpos, out vec3 wpos, out vec3 wnrm, out vec3 opos)
{
    vec4 w = world * vec4(pos, 1.0);
    wpos = w.xyz;
    wnrm = mat3(world) * nrm;
    opos = pos;
    hpos = ViewProjection * w;
}

// The shadow pass's stages for a world matrix.
void DepthOutputs(mat4 world, vec3 pos, out vec4 hpos, out float depth)
{
    vec4 w = world * vec4(pos, 1.0);
    hpos = gLightViewProjection * w;
    depth = LightDistance(w.xyz);
}

void ObjectVS(in vec3 pos : POSITION, in vec3 nrm : NORMAL, in vec2 tex : TEXCOORD0,
              out vec4 hpos : SV_Position, out vec3 wpos : TEXCOORD0, out vec3 wnrm : TEXCOORD1,
              out vec3 opos : TEXCOORD2, MATERIAL_OUT)
{
    PASS_MATERIAL;
    ObjectOutputs(World, pos, nrm, hpos, wpos, wnrm, opos);
}

// The wedge's two planes clip a segment's copy (clip), and the pixel stage reads them too
// (planes): clipped geometry costs no pixel work, where a pixel discarded would.
void MirroredVS(in vec3 pos : POSITION, in vec3 nrm : NORMAL, in vec2 tex : TEXCOORD0,
                out vec4 hpos : SV_Position, out vec3 wpos : TEXCOORD0, out vec3 wnrm : TEXCOORD1,
                out vec3 opos : TEXCOORD2, out vec2 planes : TEXCOORD3, out vec2 clip : SV_ClipDistance0,
                MATERIAL_OUT)
{
    PASS_MATERIAL;
    vec3 p = MirroredDistort((World * vec4(pos, 1.0)).xyz);
    planes = vec2(dot(p, gPlane1.xyz), dot(p, gPlane2.xyz));
    clip = planes;
    wpos = p + gPostTranslation.xyz;
    wnrm = mat3(World) * nrm;
    opos = pos;
    hpos = ViewProjection * vec4(wpos, 1.0);
}

// The crystals: one draw per shape, each crystal's world matrix from its instance, as the
// columns of World (the fourth row 0 0 0 1).
mat4 InstanceWorld(vec3 x, vec3 y, vec3 z, vec3 w)
{
    return mat4(vec4(x, 0.0), vec4(y, 0.0), vec4(z, 0.0), vec4(w, 1.0));
}

void InstancedObjectVS(in vec3 pos : POSITION, in vec3 nrm : NORMAL, in vec2 tex : TEXCOORD0,
                       in vec3 worldX : WORLD0, in vec3 worldY : WORLD1, in vec3 worldZ : WORLD2,
                       in vec3 worldW : WORLD3, out vec4 hpos : SV_Position, out vec3 wpos : TEXCOORD0,
                       out vec3 wnrm : TEXCOORD1, out vec3 opos : TEXCOORD2, MATERIAL_OUT)
{
    PASS_MATERIAL;
    ObjectOutputs(InstanceWorld(worldX, worldY, worldZ, worldW), pos, nrm, hpos, wpos, wnrm, opos);
}

void InstancedDepthVS(in vec3 pos : POSITION, in vec3 worldX : WORLD0, in vec3 worldY : WORLD1,
                      in vec3 worldZ : WORLD2, in vec3 worldW : WORLD3, out vec4 hpos : SV_Position,
                      out float depth : TEXCOORD0)
{
    DepthOutputs(InstanceWorld(worldX, worldY, worldZ, worldW), pos, hpos, depth);
}

void DepthVS(in vec3 pos : POSITION, out vec4 hpos : SV_Position, out float depth : TEXCOORD0)
{
    DepthOutputs(World, pos, hpos, depth);
}

void MirroredDepthVS(in vec3 pos : POSITION, out vec4 hpos : SV_Position, out float depth : TEXCOORD0,
                     out vec2 planes : TEXCOORD3, out vec2 clip : SV_ClipDistance0)
{
    vec3 p = MirroredDistort((World * vec4(pos, 1.0)).xyz);
    planes = vec2(dot(p, gPlane1.xyz), dot(p, gPlane2.xyz));
    clip = planes;
    hpos = gLightViewProjection * vec4(p + gPostTranslation.xyz, 1.0);
    depth = LightDistance(p + gPostTranslation.xyz);
}

void OwnMaterialVS(in vec3 pos : POSITION, in vec3 nrm : NORMAL, in vec2 tex : TEXCOORD0,
                   out vec4 hpos : SV_Position, out vec3 wpos : TEXCOORD0, out vec3 wnrm : TEXCOORD1,
                   out vec3 opos : TEXCOORD2, MATERIAL_OUT)
{
    PASS_OWN_MATERIAL;
    ObjectOutputs(World, pos, nrm, hpos, wpos, wnrm, opos);
}

// --- pixel stages ---------------------------------------------------------------------

vec3 Normal(vec3 wnrm, vec3 v)
{
    vec3 n = normalize(wnrm);
    // Faces seen from behind (open meshes, mirrored copies) are lit from the viewer's side.
    return dot(n, v) < 0.0 ? -n : n;
}

vec4 Finish(vec3 colour, vec3 p) { return vec4(colour, EyeDistance(p)); }

#define OBJECT_PS(NAME, SHADE)                                                              \
    void NAME(in vec3 wpos : TEXCOORD0, in vec3 wnrm : TEXCOORD1, in vec3 opos : TEXCOORD2, \
              MATERIAL_IN, out vec4 colour : SV_Target0)                                    \
    {                                                                                       \
        MaterialColours m = MATERIAL;                                                       \
        vec3 v = normalize(EyePositionWorld.xyz - wpos);                                    \
        vec3 n = Normal(wnrm, v);                                                    \
        colour = Finish(SHADE, wpos);                                                       \
    }

OBJECT_PS(PlainPS, ShadePlain(m, wpos, n, v, opos))
OBJECT_PS(MainCubePS, ShadeCube(m, wpos, n, v, opos, 1.0))
OBJECT_PS(CubePS, ShadeCube(m, wpos, n, v, opos, 0.45))
OBJECT_PS(DiamondPS, ShadeDiamond(m, wpos, n, v))
OBJECT_PS(SpherePS, ShadeSphere(m, wpos, n, v))
OBJECT_PS(SmallPS, ShadeSmall(m, wpos, n, v))

void MirroredPS(in vec3 wpos : TEXCOORD0, in vec3 wnrm : TEXCOORD1, in vec3 opos : TEXCOORD2,
                in vec2 planes : TEXCOORD3, MATERIAL_IN, out vec4 colour : SV_Target0)
{
    MaterialColours m = MATERIAL;
    if (min(planes.x, planes.y) < 0.0)
        discard;
    vec3 v = normalize(EyePositionWorld.xyz - wpos);
    vec3 n = Normal(wnrm, v);
    Surface s = Material(m);
    s.reflectivity = 1.1;
    // The seams of the mirrors catch a little light.
    float seam = exp(-min(planes.x, planes.y) * 3.0);
    s.emissive = mix(m.diffuse, vec3(0.6, 0.8, 1.0), 0.5) * seam * (0.15 + 0.5 * BeatPulse());
    colour = Finish(Shade(s, wpos, n, v), wpos);
}

void LatticePS(in vec3 wpos : TEXCOORD0, in vec3 wnrm : TEXCOORD1, in vec3 opos : TEXCOORD2, MATERIAL_IN,
               out vec4 colour : SV_Target0)
{
    vec3 v = normalize(EyePositionWorld.xyz - wpos);
    vec3 n = normalize(wnrm);
    float facing = abs(dot(n, v));
    // Glowing struts that fade into the distance, brighter at their silhouettes.
    float distance = EyeDistance(wpos);
    float fog = exp(-distance * 0.006);
    float shimmer = 0.75 + 0.25 * sin(opos.y * 0.15 + Time * 1.3) * sin(opos.x * 0.11 - Time * 0.7);
    vec3 glow = matDiffuse.rgb * (0.5 + 1.6 * pow(1.0 - facing, 2.0)) * shimmer + matAmbient.rgb * 2.0;
    colour = vec4(glow * fog * gBackgroundMeshFade, distance);
}

void DepthPS(in float depth : TEXCOORD0, out vec4 moments : SV_Target0)
{
    moments = vec4(depth, depth * depth, 0.0, 0.0);
}

void MirroredDepthPS(in float depth : TEXCOORD0, in vec2 planes : TEXCOORD3, out vec4 moments : SV_Target0)
{
    if (min(planes.x, planes.y) < 0.0)
        discard;
    moments = vec4(depth, depth * depth, 0.0, 0.0);
}

// --- techniques -----------------------------------------------------------------------

#define OBJECT_TECHNIQUE(NAME, VS, PS, RASTER)                                                      \
    technique NAME { pass P0 { VertexShader = VS; PixelShader = PS; BlendState = Opaque;           \
                               DepthStencilState = DepthWrite; RasterizerState = RASTER; } }

OBJECT_TECHNIQUE(plain, ObjectVS, PlainPS, CullBack)
OBJECT_TECHNIQUE(mainCube, ObjectVS, MainCubePS, CullBack)
OBJECT_TECHNIQUE(cube, ObjectVS, CubePS, CullBack)
OBJECT_TECHNIQUE(diamond, ObjectVS, DiamondPS, CullBack)
OBJECT_TECHNIQUE(sphere, ObjectVS, SpherePS, CullBack)
OBJECT_TECHNIQUE(smallObject, OwnMaterialVS, SmallPS, CullBack)
OBJECT_TECHNIQUE(wireframe, OwnMaterialVS, LatticePS, NoCull)
OBJECT_TECHNIQUE(caleidoscope, MirroredVS, MirroredPS, CullBack)
OBJECT_TECHNIQUE(caleidoscope_cull_back, MirroredVS, MirroredPS, CullBackMirrored)
OBJECT_TECHNIQUE(varianceDepth, DepthVS, DepthPS, NoCull)
OBJECT_TECHNIQUE(plainInstanced, InstancedObjectVS, PlainPS, CullBack)
OBJECT_TECHNIQUE(varianceDepthInstanced, InstancedDepthVS, DepthPS, NoCull)
OBJECT_TECHNIQUE(varianceDepthCaleidoscope, MirroredDepthVS, MirroredDepthPS, NoCull)
OBJECT_TECHNIQUE(varianceDepthCaleidoscope_cull_back, MirroredDepthVS, MirroredDepthPS, NoCull)
