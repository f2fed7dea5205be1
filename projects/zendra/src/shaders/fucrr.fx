// The tetrahedron swarm's simulation: one texel per tetrahedron in three 180 x 180 float
// textures, texel i = (corner i, coordinate i of corner 3). "step" integrates the next
// state from the two latest ones (Verlet with damping), "init" copies a given state.

sampler_state PointClamp { Filter = MIN_MAG_MIP_POINT; AddressU = CLAMP; AddressV = CLAMP; };
blend_state Opaque { BlendEnable[0] = FALSE; };
depth_stencil_state NoDepth { DepthEnable = FALSE; DepthWriteMask = ZERO; };
rasterizer_state NoCull { CullMode = NONE; };

// The older state.
uniform sampler2D gMatrixTexture00 : PointClamp;
uniform sampler2D gMatrixTexture01 : PointClamp;
uniform sampler2D gMatrixTexture02 : PointClamp;
// The newer state.
uniform sampler2D gMatrixTexture10 : PointClamp;
uniform sampler2D gMatrixTexture11 : PointClamp;
uniform sampler2D gMatrixTexture12 : PointClamp;

// Spectrum: bins 0-3, then bins 4-6 and 27.
uniform vec4 gFFT0;
uniform vec4 gFFT1;
// Four slowly wandering unit directions.
uniform vec4 gForceVector0 = vec4(1.0, 0.0, 0.0, 0.0);
uniform vec4 gForceVector1 = vec4(0.0, 1.0, 0.0, 0.0);
uniform vec4 gForceVector2 = vec4(0.0, 0.0, 1.0, 0.0);
uniform vec4 gForceVector3 = vec4(0.577, 0.577, 0.577, 0.0);
uniform float gFFTScale = 0.25;
uniform float gBaseSphereRadius = 15.0;

const float kDt = 1.0 / 120.0;
const float kDamping = 0.975;        // velocity kept per step
const float kSphereSpring = 60.0;    // 1/s^2, pulls the centre back to the sphere
const float kLobePush = 2600.0;      // outward push where the sphere faces a force direction
const float kSwirl = 900.0;          // flow of the shell around a force direction
const float kSpin = 260.0;           // angular acceleration per unit of spectrum
const float kMaxStep = 1.2;          // largest move of a centre in one step
const float kMaxTurn = 0.1;          // largest turn of a corner about the centre in one step (radians)
const int kRigidIterations = 8;

void QuadVS(in vec3 pos : POSITION, out vec4 hpos : SV_Position) { hpos = vec4(pos, 1.0); }

float Hash(vec2 p) { return fract(sin(dot(p, vec2(12.9898, 78.233))) * 43758.5453); }

void StepPS(in vec4 fragCoord : SV_Position, out vec4 out0 : SV_Target0, out vec4 out1 : SV_Target1,
            out vec4 out2 : SV_Target2) {
    ivec2 cell = ivec2(fragCoord.xy);
    vec4 a0 = texelFetch(gMatrixTexture00, cell, 0), a1 = texelFetch(gMatrixTexture01, cell, 0),
         a2 = texelFetch(gMatrixTexture02, cell, 0);
    vec4 b0 = texelFetch(gMatrixTexture10, cell, 0), b1 = texelFetch(gMatrixTexture11, cell, 0),
         b2 = texelFetch(gMatrixTexture12, cell, 0);
    vec3 prev[4] = vec3[4](a0.xyz, a1.xyz, a2.xyz, vec3(a0.w, a1.w, a2.w));
    vec3 cur[4] = vec3[4](b0.xyz, b1.xyz, b2.xyz, vec3(b0.w, b1.w, b2.w));

    vec3 centre = (cur[0] + cur[1] + cur[2] + cur[3]) * 0.25;
    vec3 prevCentre = (prev[0] + prev[1] + prev[2] + prev[3]) * 0.25;
    float radius = length(centre);
    vec3 n = radius > 1e-4 ? centre / radius : vec3(0.0, 1.0, 0.0);

    // Kick, bass, low mids and the hi-hat band, each on its own direction.
    float scale = gFFTScale;
    vec4 band = vec4(gFFT0.x + gFFT0.y, gFFT0.z + gFFT0.w, gFFT1.x + gFFT1.y + gFFT1.z, gFFT1.w * 3.0) * scale;
    vec3 dirs[4] = vec3[4](gForceVector0.xyz, gForceVector1.xyz, gForceVector2.xyz, gForceVector3.xyz);

    float h0 = Hash(vec2(cell)), h1 = Hash(vec2(cell) + vec2(17.0, 31.0)), h2 = Hash(vec2(cell) + vec2(5.0, 71.0));
    float response = 0.55 + 0.9 * h0;

    vec3 acc = -n * (radius - gBaseSphereRadius) * kSphereSpring;
    vec3 spinAxis = vec3(0.0);
    for (int k = 0; k < 4; ++k) {
        float d = dot(n, dirs[k]);
        acc += n * band[k] * d * d * kLobePush * response;
        acc += cross(dirs[k], n) * band[k] * d * kSwirl;
        spinAxis += dirs[k] * band[k];
    }
    // Each tetrahedron tumbles about its own tilt of the spectrum's axis.
    spinAxis = spinAxis + vec3(h1 - 0.5, h2 - 0.5, h0 - 0.5) * length(spinAxis) * 1.6;
    spinAxis *= kSpin;

    // Verlet with damping; the centre's move is limited so a loud frame cannot fling it away.
    vec3 centreMove = (centre - prevCentre) * kDamping + acc * kDt * kDt;
    float moveLength = length(centreMove);
    if (moveLength > kMaxStep)
        centreMove *= kMaxStep / moveLength;
    vec3 next[4];
    for (int i = 0; i < 4; ++i) {
        vec3 arm = cur[i] - centre;
        vec3 spinMove = ((cur[i] - prev[i]) - (centre - prevCentre)) * kDamping + cross(spinAxis, arm) * kDt * kDt;
        // Tumbling faster than the constraint can follow would shear the body.
        float spinLength = length(spinMove), spinLimit = kMaxTurn * length(arm);
        if (spinLength > spinLimit)
            spinMove *= spinLimit / spinLength;
        next[i] = cur[i] + centreMove + spinMove;
    }

    // Rigidity: every edge back to the tetrahedron's rest length (the reference shape at the
    // size it has), Gauss-Seidel over the six edges; moves in pairs keep the centre.
    float rest = (distance(cur[0], cur[1]) + distance(cur[0], cur[2]) + distance(cur[0], cur[3]) +
                  distance(cur[1], cur[2]) + distance(cur[1], cur[3]) + distance(cur[2], cur[3])) / 6.0;
    for (int it = 0; it < kRigidIterations; ++it) {
        for (int e = 0; e < 6; ++e) {
            int i = e < 3 ? 0 : (e < 5 ? 1 : 2);
            int j = e < 3 ? e + 1 : (e < 5 ? e - 1 : 3);
            vec3 d = next[j] - next[i];
            float len = max(length(d), 1e-6);
            vec3 corr = d * (0.5 * (len - rest) / len);
            next[i] += corr;
            next[j] -= corr;
        }
    }

    out0 = vec4(next[0], next[3].x);
    out1 = vec4(next[1], next[3].y);
    out2 = vec4(next[2], next[3].z);
}

void InitPS(in vec4 fragCoord : SV_Position, out vec4 out0 : SV_Target0, out vec4 out1 : SV_Target1,
            out vec4 out2 : SV_Target2) {
    ivec2 cell = ivec2(fragCoord.xy);
    out0 = texelFetch(gMatrixTexture00, cell, 0);
    out1 = texelFetch(gMatrixTexture01, cell, 0);
    out2 = texelFetch(gMatrixTexture02, cell, 0);
}

technique step {
    pass P0 { VertexShader = QuadVS; PixelShader = StepPS; BlendState = Opaque; DepthStencilState = NoDepth;
              RasterizerState = NoCull; }
}

technique init {
    pass P0 { VertexShader = QuadVS; PixelShader = InitPS; BlendState = Opaque; DepthStencilState = NoDepth;
              RasterizerState = NoCull; }
}
