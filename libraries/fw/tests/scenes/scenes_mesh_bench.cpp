// Reading a 100,000-triangle .obj: a grid of quads with normals and texture coordinates.
#include <benchmark/benchmark.h>

#include <fstream>

#include <boost/filesystem.hpp>

#include "fw_Framework.h"
#include "fw_Mesh.h"

namespace fs = boost::filesystem;

namespace {

fs::path WriteGrid(int quadsX, int quadsY) {
    fs::path dir = fs::temp_directory_path() / fs::unique_path("meshbench-%%%%%%");
    fs::create_directories(dir);
    std::ofstream out((dir / "grid.obj").string());
    out << "mtllib grid.mtl\n";
    for (int y = 0; y <= quadsY; ++y)
        for (int x = 0; x <= quadsX; ++x) {
            out << "v " << x * 0.01f << ' ' << y * 0.01f << ' ' << ((x * 7 + y * 3) % 11) * 0.001f << '\n';
            out << "vt " << float(x) / quadsX << ' ' << float(y) / quadsY << '\n';
        }
    out << "vn 0 0 1\n";
    const int row = quadsX + 1;
    for (int y = 0; y < quadsY; ++y) {
        out << "usemtl m" << (y * 4 / quadsY) << '\n';
        for (int x = 0; x < quadsX; ++x) {
            const int a = y * row + x + 1, b = a + 1, c = a + row, d = c + 1;
            out << "f " << a << '/' << a << "/1 " << b << '/' << b << "/1 " << d << '/' << d << "/1\n";
            out << "f " << a << '/' << a << "/1 " << d << '/' << d << "/1 " << c << '/' << c << "/1\n";
        }
    }
    std::ofstream((dir / "grid.mtl").string()) << "newmtl m0\nKd 1 0 0\nnewmtl m1\nKd 0 1 0\n";
    return dir;
}

void BM_LoadObj100kTriangles(benchmark::State& state) {
    fw_Framework::mDevice = nullptr;  // the file reading and vertex merging alone
    const fs::path dir = WriteGrid(250, 200);
    for (auto _ : state) {
        fw_Mesh mesh(dir.string(), "grid.obj", nullptr);
        benchmark::DoNotOptimize(mesh.mMaterials.size());
    }
    state.counters["triangles"] = 250 * 200 * 2;
    fs::remove_all(dir);
}
BENCHMARK(BM_LoadObj100kTriangles)->Unit(benchmark::kMillisecond);

// The whole load on the software device: reading, then building, optimising and
// committing the device mesh.
void BM_LoadObj100kTrianglesOnDevice(benchmark::State& state) {
    static int marker;
    ID3D10Device* device = nullptr;
    if (FAILED(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, reinterpret_cast<HMODULE>(&marker), 0,
                                 D3D10_SDK_VERSION, &device))) {
        state.SkipWithError("no software device");
        return;
    }
    fw_Framework::mDevice = device;
    const fs::path dir = WriteGrid(250, 200);
    for (auto _ : state) {
        fw_Mesh mesh(dir.string(), "grid.obj", nullptr);
        benchmark::DoNotOptimize(mesh.mAttributeCount);
    }
    state.counters["triangles"] = 250 * 200 * 2;
    fw_Framework::mDevice = nullptr;
    device->Release();
    fs::remove_all(dir);
}
BENCHMARK(BM_LoadObj100kTrianglesOnDevice)->Unit(benchmark::kMillisecond);

}  // namespace
