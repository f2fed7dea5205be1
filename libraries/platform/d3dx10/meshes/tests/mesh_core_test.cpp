#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "../src/mesh_core.h"
#include "mesh_test_vertex.h"

using d3dx10_mesh::MeshData;

namespace {

using mesh_test::kLayout;
using mesh_test::Vertex;

Vertex V(float x, float y, float z, float n = 0.0f) {
    return Vertex{{x, y, z}, {n, 0, 1}, {x, y}};
}

std::vector<Vertex> VerticesOf(MeshData& m) {
    std::vector<Vertex> out(m.VertexCount());
    std::memcpy(out.data(), m.Vertices(0).data(), out.size() * sizeof(Vertex));
    return out;
}

// The corners of every face as vertex data, in face order.
std::vector<std::vector<uint8_t>> Corners(MeshData& m) {
    std::vector<std::vector<uint8_t>> out;
    for (UINT i = 0; i < m.FaceCount() * 3; ++i) {
        const uint8_t* p = m.Vertices(0).data() + size_t(m.Index(i)) * 32;
        out.emplace_back(p, p + 32);
    }
    return out;
}

MeshData Build(const std::vector<Vertex>& vertices, const std::vector<UINT>& indices,
               const std::vector<UINT>& attributes, UINT options = D3DX10_MESH_32_BIT) {
    MeshData m;
    EXPECT_EQ(m.Init(kLayout, 3, "POSITION", UINT(vertices.size()), UINT(indices.size() / 3), options), S_OK);
    EXPECT_EQ(m.SetVertexData(0, vertices.data()), S_OK);
    if (options & D3DX10_MESH_32_BIT) {
        EXPECT_EQ(m.SetIndexData(indices.data(), UINT(indices.size())), S_OK);
    } else {
        std::vector<uint16_t> narrow(indices.begin(), indices.end());
        EXPECT_EQ(m.SetIndexData(narrow.data(), UINT(narrow.size())), S_OK);
    }
    if (!attributes.empty()) {
        EXPECT_EQ(m.SetAttributeData(attributes.data()), S_OK);
    }
    return m;
}

}  // namespace

TEST(MeshDeclaration, StridesAndAppendedOffsets) {
    const D3D10_INPUT_ELEMENT_DESC appended[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, D3D10_APPEND_ALIGNED_ELEMENT, D3D10_INPUT_PER_VERTEX_DATA, 0},
        {"COLOR", 0, DXGI_FORMAT_R8G8B8A8_UNORM, 0, D3D10_APPEND_ALIGNED_ELEMENT, D3D10_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 1, D3D10_APPEND_ALIGNED_ELEMENT, D3D10_INPUT_PER_VERTEX_DATA, 0},
    };
    MeshData m;
    ASSERT_EQ(m.Init(appended, 3, "POSITION", 10, 4, 0), S_OK);
    EXPECT_EQ(m.BufferCount(), 2u);
    EXPECT_EQ(m.Stride(0), 16u);
    EXPECT_EQ(m.Stride(1), 8u);
    EXPECT_EQ(m.Declaration()[1].AlignedByteOffset, 12u);
    EXPECT_STREQ(m.Declaration()[2].SemanticName, "TEXCOORD");
    EXPECT_EQ(m.Vertices(0).size(), 160u);
    EXPECT_EQ(m.Indices().size(), 4u * 3 * 2);

    MeshData wide;
    ASSERT_EQ(wide.Init(kLayout, 3, "POSITION", 70000, 2, D3DX10_MESH_32_BIT), S_OK);
    EXPECT_EQ(wide.Stride(0), 32u);
    EXPECT_EQ(wide.Indices().size(), 24u);
}

TEST(MeshDeclaration, RefusesWhatCannotBeBuilt) {
    MeshData m;
    EXPECT_EQ(m.Init(kLayout, 3, "POSITION", 70000, 2, 0), E_INVALIDARG);  // 16-bit indices
    EXPECT_EQ(m.Init(kLayout, 3, "POSITION", 0, 2, 0), E_INVALIDARG);
    EXPECT_EQ(m.Init(kLayout, 3, "POSITION", 3, 0, 0), E_INVALIDARG);
    EXPECT_EQ(m.Init(nullptr, 3, "POSITION", 3, 1, 0), E_INVALIDARG);
    const D3D10_INPUT_ELEMENT_DESC bad[] = {
        {"POSITION", 0, DXGI_FORMAT_BC1_UNORM, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0}};
    EXPECT_EQ(m.Init(bad, 1, "POSITION", 3, 1, 0), E_INVALIDARG);
}

TEST(MeshOptimize, AttributeSortIsStableAndBuildsTheTable) {
    std::vector<Vertex> v;
    for (int i = 0; i < 15; ++i)
        v.push_back(V(float(i), 0, 0));
    std::vector<UINT> idx;
    for (UINT i = 0; i < 15; ++i)
        idx.push_back(i);
    MeshData m = Build(v, idx, {2, 0, 2, 1, 0});
    std::vector<UINT> remap(5);
    ASSERT_EQ(m.Optimize(D3DX10_MESHOPT_ATTR_SORT, remap.data()), S_OK);
    EXPECT_EQ(remap, (std::vector<UINT>{1, 4, 3, 0, 2}));
    EXPECT_EQ(m.Attributes(), (std::vector<UINT>{0, 0, 1, 2, 2}));
    ASSERT_EQ(m.Table().size(), 3u);
    const auto& t = m.Table();
    EXPECT_EQ(t[0].AttribId, 0u);
    EXPECT_EQ(t[0].FaceStart, 0u);
    EXPECT_EQ(t[0].FaceCount, 2u);
    EXPECT_EQ(t[0].VertexStart, 3u);  // faces 1 and 4 use vertices 3..5 and 12..14
    EXPECT_EQ(t[0].VertexCount, 12u);
    EXPECT_EQ(t[1].AttribId, 1u);
    EXPECT_EQ(t[1].FaceStart, 2u);
    EXPECT_EQ(t[2].AttribId, 2u);
    EXPECT_EQ(t[2].FaceStart, 3u);
    EXPECT_EQ(t[2].FaceCount, 2u);
    EXPECT_EQ(m.VertexCount(), 15u);  // no compaction asked
    EXPECT_EQ(m.Index(0), 3u);
}

TEST(MeshOptimize, CompactionRenumbersByFirstUseAndKeepsTheTriangles) {
    // Vertex 1 is unused; faces use the vertices out of order.
    std::vector<Vertex> v = {V(0, 0, 0), V(9, 9, 9), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0), V(2, 2, 0)};
    std::vector<UINT> idx = {4, 3, 2, 0, 2, 3, 5, 4, 3};
    MeshData m = Build(v, idx, {1, 0, 1});
    MeshData before = Build(v, idx, {1, 0, 1});
    std::vector<UINT> remap(3);
    ASSERT_EQ(m.Optimize(D3DX10_MESHOPT_COMPACT | D3DX10_MESHOPT_ATTR_SORT | D3DX10_MESHOPT_VERTEX_CACHE, remap.data()),
              S_OK);
    EXPECT_EQ(m.VertexCount(), 5u);
    EXPECT_EQ(m.Vertices(0).size(), 5u * 32);
    // Sorted faces: old 1 (0 2 3), old 0 (4 3 2), old 2 (5 4 3); numbered by first use.
    std::vector<UINT> now;
    for (UINT i = 0; i < 9; ++i)
        now.push_back(m.Index(i));
    EXPECT_EQ(now, (std::vector<UINT>{0, 1, 2, 3, 2, 1, 4, 3, 2}));
    auto oldCorners = Corners(before), newCorners = Corners(m);
    for (UINT f = 0; f < 3; ++f)
        for (UINT c = 0; c < 3; ++c)
            EXPECT_EQ(newCorners[f * 3 + c], oldCorners[remap[f] * 3 + c]) << f << " " << c;
    for (const auto& vert : VerticesOf(m))
        EXPECT_NE(vert.position[0], 9.0f);
    ASSERT_EQ(m.Table().size(), 2u);
    EXPECT_EQ(m.Table()[0].VertexStart, 0u);
    EXPECT_EQ(m.Table()[0].VertexCount, 3u);
    EXPECT_EQ(m.Table()[1].VertexStart, 1u);
    EXPECT_EQ(m.Table()[1].VertexCount, 4u);
}

TEST(MeshOptimize, SixteenBitIndicesAndInvalidIndices) {
    std::vector<Vertex> v = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(5, 5, 5)};
    MeshData m = Build(v, {3, 1, 2, 2, 1, 3}, {}, 0);
    ASSERT_EQ(m.Optimize(D3DX10_MESHOPT_COMPACT, nullptr), S_OK);
    EXPECT_EQ(m.VertexCount(), 3u);
    EXPECT_EQ(m.Indices().size(), 12u);
    EXPECT_EQ(m.Index(0), 0u);
    EXPECT_EQ(m.Index(3), 2u);
    EXPECT_FLOAT_EQ(VerticesOf(m)[0].position[0], 5.0f);

    MeshData bad = Build(v, {0, 1, 7}, {});
    EXPECT_EQ(bad.Optimize(D3DX10_MESHOPT_COMPACT, nullptr), D3DX10_ERR_INVALID_MESH);
    EXPECT_EQ(bad.GenerateAdjacencyAndPointReps(0.0f), D3DX10_ERR_INVALID_MESH);
}

TEST(MeshAdjacency, SplitVerticesShareAPointRepresentative) {
    // A quad of two triangles; the second triangle has its own copies of the shared corners
    // (different normals), one of them displaced by less than epsilon.
    std::vector<Vertex> v = {V(0, 0, 0, 0), V(1, 0, 0, 0), V(0, 1, 0, 0),
                             V(1, 0, 0, 1), V(1, 1, 0, 1), V(0, 1.0000001f, 0, 1)};
    MeshData m = Build(v, {0, 1, 2, 3, 4, 5}, {});
    ASSERT_EQ(m.GenerateAdjacencyAndPointReps(1e-6f), S_OK);
    EXPECT_EQ(m.PointReps(), (std::vector<UINT>{0, 1, 2, 1, 4, 2}));
    // Face 0 edge 1 (v1 v2) meets face 1 edge 2 (v5 v3).
    EXPECT_EQ(m.Adjacency(), (std::vector<UINT>{0xFFFFFFFFu, 1, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0}));

    ASSERT_EQ(m.GenerateAdjacencyAndPointReps(0.0f), S_OK);
    EXPECT_EQ(m.PointReps(), (std::vector<UINT>{0, 1, 2, 1, 4, 5}));
    EXPECT_EQ(m.Adjacency()[1], 0xFFFFFFFFu);
}

TEST(MeshAdjacency, RegeneratedAfterOptimize) {
    std::vector<Vertex> v = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0)};
    MeshData m = Build(v, {0, 1, 2, 2, 1, 3}, {1, 0});
    ASSERT_EQ(m.GenerateAdjacencyAndPointReps(1e-6f), S_OK);
    ASSERT_EQ(m.Optimize(D3DX10_MESHOPT_COMPACT | D3DX10_MESHOPT_ATTR_SORT, nullptr), S_OK);
    // Face order swapped: the shared edge is now edge 0 of face 0 (2 1 -> renumbered) and edge 1 of face 1.
    EXPECT_EQ(m.Adjacency().size(), 6u);
    EXPECT_EQ(m.Adjacency()[0], 1u);
    EXPECT_EQ(m.Adjacency()[4], 0u);
    EXPECT_EQ(m.PointReps().size(), 4u);
}

TEST(MeshRanges, RunsWithoutATable) {
    std::vector<Vertex> v = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)};
    MeshData m = Build(v, {0, 1, 2, 0, 1, 2, 0, 1, 2}, {3, 3, 1});
    auto r = m.Ranges();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].AttribId, 3u);
    EXPECT_EQ(r[0].FaceCount, 2u);
    EXPECT_EQ(r[1].AttribId, 1u);
    EXPECT_EQ(r[1].FaceStart, 2u);
    EXPECT_TRUE(m.Table().empty());
}

namespace {

// A UV sphere as a modeller writes it: the seam column and the pole rows repeat positions
// (equal to within rounding), three materials in bands, the faces shuffled.
struct Sphere {
    std::vector<Vertex> vertices;
    std::vector<UINT> indices, attributes;
};

Sphere MakeSphere(int slices, int stacks) {
    Sphere s;
    for (int j = 0; j <= stacks; ++j)
        for (int i = 0; i <= slices; ++i) {
            const double theta = 3.14159265358979 * j / stacks, phi = 2 * 3.14159265358979 * i / slices;
            const float x = float(std::sin(theta) * std::cos(phi)), y = float(std::cos(theta)),
                        z = float(std::sin(theta) * std::sin(phi));
            s.vertices.push_back(Vertex{{x, y, z}, {x, y, z}, {float(i) / slices, float(j) / stacks}});
        }
    const UINT row = UINT(slices + 1);
    std::vector<std::array<UINT, 4>> faces;  // three corners and the material
    for (UINT j = 0; j < UINT(stacks); ++j)
        for (UINT i = 0; i < UINT(slices); ++i) {
            const UINT a = j * row + i, b = a + 1, c = a + row, d = c + 1, m = (j * 3 / stacks + i) % 3;
            faces.push_back({a, b, d, m});
            faces.push_back({a, d, c, m});
        }
    uint32_t state = 12345;
    for (size_t k = faces.size(); k > 1; --k) {
        state = state * 1103515245u + 12345u;
        std::swap(faces[k - 1], faces[(state >> 8) % k]);
    }
    for (const auto& f : faces) {
        s.indices.insert(s.indices.end(), {f[0], f[1], f[2]});
        s.attributes.push_back(f[3]);
    }
    return s;
}

// Point representatives and adjacency as the interface defines them, the slow way.
void ExpectAdjacencyOf(MeshData& m, float epsilon) {
    std::vector<Vertex> v = VerticesOf(m);
    std::vector<UINT> reps(v.size());
    for (size_t a = 0; a < v.size(); ++a) {
        reps[a] = UINT(a);
        for (size_t b = 0; b < a; ++b)
            if (std::fabs(v[a].position[0] - v[b].position[0]) <= epsilon &&
                std::fabs(v[a].position[1] - v[b].position[1]) <= epsilon &&
                std::fabs(v[a].position[2] - v[b].position[2]) <= epsilon) {
                reps[a] = reps[b];
                break;
            }
    }
    ASSERT_EQ(m.PointReps(), reps);
    std::map<std::pair<UINT, UINT>, std::vector<UINT>> faces;  // edge -> faces, ascending
    auto edge = [&](UINT f, UINT e) {
        return std::minmax(reps[m.Index(f * 3 + e)], reps[m.Index(f * 3 + (e + 1) % 3)]);
    };
    for (UINT f = 0; f < m.FaceCount(); ++f)
        for (UINT e = 0; e < 3; ++e)
            faces[edge(f, e)].push_back(f);
    std::vector<UINT> adjacency;
    for (UINT f = 0; f < m.FaceCount(); ++f)
        for (UINT e = 0; e < 3; ++e) {
            const auto key = edge(f, e);
            UINT next = 0xFFFFFFFFu;
            if (key.first != key.second)
                for (UINT g : faces[key])
                    if (g != f) {
                        next = g;
                        break;
                    }
            adjacency.push_back(next);
        }
    EXPECT_EQ(m.Adjacency(), adjacency);
}

}  // namespace

TEST(MeshAdjacency, RealisticMeshMatchesTheDefinitionBeforeAndAfterOptimize) {
    const Sphere s = MakeSphere(64, 48);
    MeshData m = Build(s.vertices, s.indices, s.attributes);
    ASSERT_EQ(m.GenerateAdjacencyAndPointReps(1e-6f), S_OK);
    ExpectAdjacencyOf(m, 1e-6f);
    // The seam and the poles join their neighbours: every face has three neighbours on a closed
    // sphere except the pole triangles, whose pole edge is degenerate.
    size_t open = 0;
    for (UINT a : m.Adjacency())
        open += a == 0xFFFFFFFFu;
    EXPECT_EQ(open, 2u * 64);

    ASSERT_EQ(m.Optimize(D3DX10_MESHOPT_COMPACT | D3DX10_MESHOPT_ATTR_SORT | D3DX10_MESHOPT_VERTEX_CACHE, nullptr),
              S_OK);
    // Faces stably sorted by material, vertices numbered by first use, one range per material.
    std::vector<UINT> order(s.attributes.size());
    for (UINT f = 0; f < order.size(); ++f)
        order[f] = f;
    std::stable_sort(order.begin(), order.end(), [&](UINT a, UINT b) { return s.attributes[a] < s.attributes[b]; });
    std::vector<UINT> number(s.vertices.size(), 0xFFFFFFFFu), indices, attributes;
    UINT used = 0;
    for (UINT f : order) {
        attributes.push_back(s.attributes[f]);
        for (UINT c = 0; c < 3; ++c) {
            UINT& n = number[s.indices[f * 3 + c]];
            if (n == 0xFFFFFFFFu)
                n = used++;
            indices.push_back(n);
        }
    }
    std::vector<UINT> now;
    for (UINT i = 0; i < m.FaceCount() * 3; ++i)
        now.push_back(m.Index(i));
    EXPECT_EQ(now, indices);
    EXPECT_EQ(m.Attributes(), attributes);
    EXPECT_EQ(m.VertexCount(), used);
    for (UINT old = 0; old < s.vertices.size(); ++old) {
        if (number[old] != 0xFFFFFFFFu) {
            EXPECT_EQ(std::memcmp(&VerticesOf(m)[number[old]], &s.vertices[old], sizeof(Vertex)), 0) << old;
        }
    }
    ASSERT_EQ(m.Table().size(), 3u);
    UINT start = 0;
    for (UINT k = 0; k < 3; ++k) {
        const D3DX10_ATTRIBUTE_RANGE& r = m.Table()[k];
        EXPECT_EQ(r.AttribId, k);
        EXPECT_EQ(r.FaceStart, start);
        UINT lo = 0xFFFFFFFFu, hi = 0;
        for (UINT i = r.FaceStart * 3; i < (r.FaceStart + r.FaceCount) * 3; ++i) {
            lo = std::min(lo, indices[i]);
            hi = std::max(hi, indices[i]);
        }
        EXPECT_EQ(r.VertexStart, lo);
        EXPECT_EQ(r.VertexCount, hi - lo + 1);
        start += r.FaceCount;
    }
    EXPECT_EQ(start, m.FaceCount());
    ExpectAdjacencyOf(m, 1e-6f);  // regenerated on the optimised mesh
}

TEST(MeshAdjacency, CrowdedNeighbouringCellsMatchTheDefinition) {
    // 1200 vertices on a grid of 1/64 in [0, 0.75)^3: 27 cells of epsilon 0.25 with dozens of
    // vertices each, close across faces, edges and corners of the cells (exactly, at 0.25).
    uint32_t state = 7;
    auto next = [&](uint32_t n) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % n;
    };
    std::vector<Vertex> v;
    for (int i = 0; i < 1200; ++i)
        v.push_back(V(next(48) / 64.0f, next(48) / 64.0f, next(48) / 64.0f));
    std::vector<UINT> indices;
    for (int f = 0; f < 600; ++f)
        indices.insert(indices.end(), {next(1200), next(1200), next(1200)});
    MeshData m = Build(v, indices, {});
    ASSERT_EQ(m.GenerateAdjacencyAndPointReps(0.25f), S_OK);
    ExpectAdjacencyOf(m, 0.25f);
}

TEST(MeshRanges, RangesOfAnIdInTheirOrderWithinTheFaces) {
    std::vector<Vertex> v = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)};
    MeshData m = Build(v, {0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}, {2, 1, 2, 1});
    auto starts = [&](UINT id) {
        std::vector<UINT> out;
        for (auto r = m.RangesOf(id); r.first != r.second; ++r.first)
            out.push_back(r.first->FaceStart);
        return out;
    };
    EXPECT_EQ(starts(2), (std::vector<UINT>{0, 2}));
    const UINT same[4] = {5, 5, 5, 5};
    ASSERT_EQ(m.SetAttributeData(same), S_OK);
    EXPECT_EQ(starts(5), (std::vector<UINT>{0}));
    EXPECT_TRUE(starts(2).empty());
    // A table's ranges in table order; those past the faces are never drawn.
    const D3DX10_ATTRIBUTE_RANGE table[] = {
        {3, 2, 1, 0, 0}, {1, 0, 2, 0, 0}, {3, 0, 1, 0, 0}, {3, 3, 2, 0, 0}, {3, 0xFFFFFFFFu, 2, 0, 0}};
    m.SetTable(table, 5);
    EXPECT_EQ(starts(3), (std::vector<UINT>{2, 0}));
    EXPECT_EQ(starts(1), (std::vector<UINT>{0}));
}
