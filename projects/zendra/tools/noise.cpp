// The noise volume: 128^3 bytes of smooth, tileable value noise in several octaves.

#include <cmath>
#include <vector>

#include "common.h"
#include "generator.h"

namespace datagen {

std::vector<uint8_t> MakeNoiseVolume(int size, uint32_t seed) {
    // Octaves of periodic value noise on lattices that divide the volume, so the sum tiles.
    const int lattices[] = {4, 8, 16, 32, 64};
    const double weights[] = {0.5, 0.25, 0.125, 0.0625, 0.0625};
    std::vector<double> sum(static_cast<size_t>(size) * size * size, 0.0);
    for (int o = 0; o < 5; ++o) {
        int n = lattices[o];
        Rng rng(seed * 31u + static_cast<uint32_t>(o));
        std::vector<double> lattice(static_cast<size_t>(n) * n * n);
        for (double& v : lattice)
            v = rng.Uniform();
        auto at = [&](int x, int y, int z) {
            return lattice[((static_cast<size_t>(z % n) * n) + (y % n)) * n + (x % n)];
        };
        auto smooth = [](double t) { return t * t * (3.0 - 2.0 * t); };
        double cell = static_cast<double>(size) / n;
        for (int z = 0; z < size; ++z)
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    double fx = x / cell, fy = y / cell, fz = z / cell;
                    int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
                    double tx = smooth(fx - ix), ty = smooth(fy - iy), tz = smooth(fz - iz);
                    double c = 0;
                    for (int k = 0; k < 8; ++k) {
                        int dx = k & 1, dy = (k >> 1) & 1, dz = (k >> 2) & 1;
                        double w = (dx ? tx : 1 - tx) * (dy ? ty : 1 - ty) * (dz ? tz : 1 - tz);
                        c += w * at(ix + dx, iy + dy, iz + dz);
                    }
                    sum[(static_cast<size_t>(z) * size + y) * size + x] += c * weights[o];
                }
    }
    // Stretch to the full byte range.
    double lo = 1e9, hi = -1e9;
    for (double v : sum) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    std::vector<uint8_t> bytes(sum.size());
    for (size_t i = 0; i < sum.size(); ++i)
        bytes[i] = static_cast<uint8_t>(std::lround((sum[i] - lo) / (hi - lo) * 255.0));
    return bytes;
}

}  // namespace datagen
