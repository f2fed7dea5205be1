#include "support/device_wait.h"

#include "d3d10_read_back.h"

namespace zendratest {

void WaitForTexture(ID3D10Texture2D* texture) {
    d3d10test::TextureCopy texel;
    d3d10test::ReadTexture(texture, texel, true);
}

}  // namespace zendratest
