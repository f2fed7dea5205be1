#include "AtomsEffect.h"

#include <vector>

#include "DrawHelpers.h"
#include "fw_Convert.h"
#include "fw_Effect.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Texture.h"

namespace {

// Pixels of guard band around the viewport; streaks are clipped to one pixel beyond it.
constexpr int32_t kGuard = 4;

}  // namespace

AtomsEffect::AtomsEffect(int width, int height)
    : VertexEffect("atoms.fx", true, "atoms",
                   {"POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0}, kVertexSize),
      mStreakCount(0),
      mWidth(width),
      mHeight(height) {
    CreateStreaks();
    LoadEffect();
}

void AtomsEffect::CreateStreaks() {
    std::vector<float> vertices;
    const uint64_t points =
        mWidth > 0 && mHeight > 0 ? static_cast<uint64_t>(mWidth) * static_cast<uint64_t>(mHeight) : 0;
    if (points * 2 * kVertexSize <= UINT32_MAX) {
        vertices.reserve(points * 4);
        const double w = static_cast<float>(mWidth), h = static_cast<float>(mHeight);
        for (int32_t i = 0; i < mHeight && points; ++i) {
            const float y = static_cast<float>(static_cast<double>(static_cast<float>(i)) * 2.0 / h - 1.0);
            for (int32_t j = 0; j < mWidth; ++j) {
                const float x = static_cast<float>(static_cast<double>(static_cast<float>(j)) * 2.0 / w - 1.0);
                for (int copy = 0; copy < 2; ++copy) {
                    vertices.push_back(x);
                    vertices.push_back(y);
                }
            }
        }
    }
    const size_t vertexCount = vertices.size() / 2;
    mStreakCount = static_cast<int32_t>(vertexCount / 2);
    fw_Log::Write(fw_Log::kPlain, "Atoms: Created %d light streaks for your transitions, Sir.", mStreakCount);
    // An empty grid has no buffer (one of zero bytes cannot be created).
    SetVertices(vertices.data(), vertexCount * kVertexSize);
}

void AtomsEffect::Draw(fw_Texture* first, fw_Texture* second) {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!mEffect)
        return;
    const float aspect = static_cast<float>(static_cast<double>(static_cast<float>(fw_Framework::GetWidth())) /
                                            static_cast<double>(static_cast<float>(fw_Framework::GetHeight())));
    mEffect->SetTexture("gSourceTexture1", first);
    mEffect->SetFloat4("gOverlayUVscale", 1.0f, static_cast<float>(static_cast<double>(1.6f) / aspect), 0.0f, 0.0f);
    mEffect->SetTexture("gSourceTexture2", second);
    mEffect->SetFloat("gTransitionParameter", fw_Framework::GetSyncValueNow("Atoms_Param", 0.0f));
    mEffect->SetInt("gTransitionType", fw_FloatToInt(fw_Framework::GetSyncValueNow("Atoms_TransType", 0.0f)));
    if (!device || !mVertexBuffer)
        return;

    // Guard band: every streak is clipped in the shader to one pixel beyond the viewport,
    // and the viewport grows by a few pixels so that no vertex leaves the clip volume.
    const GuardBand guard(kGuard);
    if (guard.Active())
        mEffect->SetFloat4("gViewport", static_cast<float>(guard.Viewport().Width),
                           static_cast<float>(guard.Viewport().Height), static_cast<float>(guard.Wide().Width),
                           static_cast<float>(guard.Wide().Height));
    DrawVertices(D3D10_PRIMITIVE_TOPOLOGY_LINELIST, static_cast<UINT>(mStreakCount) * 2u);
}
