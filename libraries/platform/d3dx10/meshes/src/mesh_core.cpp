#include "mesh_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace d3dx10_mesh {

namespace {

constexpr UINT kNone = 0xFFFFFFFFu;

bool SameName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

}  // namespace

UINT ElementBytes(DXGI_FORMAT format) {
    switch (static_cast<UINT>(format)) {
    case 2: case 3: case 4:  // R32G32B32A32
        return 16;
    case 6: case 7: case 8:  // R32G32B32
        return 12;
    case 10: case 11: case 12: case 13: case 14: case 16: case 17: case 18:  // R16G16B16A16, R32G32
        return 8;
    case 24: case 25: case 26: case 28: case 29: case 30: case 31: case 32:  // 32-bit packed and RGBA8
    case 34: case 35: case 36: case 37: case 38: case 41: case 42: case 43:  // R16G16, R32
    case 87: case 88:
        return 4;
    case 49: case 50: case 51: case 52: case 54: case 56: case 57: case 58: case 59:  // R8G8, R16
        return 2;
    case 61: case 62: case 63: case 64:  // R8
        return 1;
    default:
        return 0;
    }
}

HRESULT MeshData::Init(const D3D10_INPUT_ELEMENT_DESC* declaration, UINT declCount, LPCSTR positionSemantic,
                       UINT vertexCount, UINT faceCount, UINT options) {
    if (!declaration || declCount == 0 || vertexCount == 0 || faceCount == 0)
        return E_INVALIDARG;
    if (!(options & D3DX10_MESH_32_BIT) && vertexCount > 0x10000)
        return E_INVALIDARG;
    if (faceCount > 0x7FFFFFFFu / 3 / 4 || vertexCount > 0x7FFFFFFFu / 256)
        return E_INVALIDARG;
    elements_.clear();
    UINT slots = 0;
    std::vector<UINT> next(D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT, 0);
    std::vector<UINT> stride(D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT, 0);
    for (UINT i = 0; i < declCount; ++i) {
        const D3D10_INPUT_ELEMENT_DESC& d = declaration[i];
        const UINT bytes = ElementBytes(d.Format);
        if (!d.SemanticName || bytes == 0 || d.InputSlot >= D3D10_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT)
            return E_INVALIDARG;
        Element e{d.SemanticName, d};
        if (e.desc.AlignedByteOffset == D3D10_APPEND_ALIGNED_ELEMENT)
            e.desc.AlignedByteOffset = next[d.InputSlot];
        if (e.desc.AlignedByteOffset > 2048)
            return E_INVALIDARG;
        next[d.InputSlot] = e.desc.AlignedByteOffset + bytes;
        stride[d.InputSlot] = std::max(stride[d.InputSlot], e.desc.AlignedByteOffset + bytes);
        slots = std::max(slots, d.InputSlot + 1);
        elements_.push_back(std::move(e));
    }
    declaration_.clear();
    positionElement_ = -1;
    for (size_t i = 0; i < elements_.size(); ++i) {
        D3D10_INPUT_ELEMENT_DESC d = elements_[i].desc;
        d.SemanticName = elements_[i].semantic.c_str();
        declaration_.push_back(d);
        const UINT fmt = static_cast<UINT>(d.Format);
        if (positionElement_ < 0 && positionSemantic && SameName(d.SemanticName, positionSemantic) &&
            d.SemanticIndex == 0 && (fmt == DXGI_FORMAT_R32G32B32_FLOAT || fmt == DXGI_FORMAT_R32G32B32A32_FLOAT))
            positionElement_ = int(i);
    }
    vertexCount_ = vertexCount;
    faceCount_ = faceCount;
    options_ = options;
    strides_.assign(stride.begin(), stride.begin() + slots);
    vertices_.clear();
    for (UINT s = 0; s < slots; ++s)
        vertices_.emplace_back(size_t(strides_[s]) * vertexCount, 0);
    indices_.assign(size_t(faceCount) * 3 * (Wide() ? 4 : 2), 0);
    attributes_.assign(faceCount, 0);
    adjacency_.clear();
    pointReps_.clear();
    table_.clear();
    haveAdjacency_ = false;
    return S_OK;
}

HRESULT MeshData::SetVertexData(UINT buffer, const void* data) {
    if (buffer >= vertices_.size() || !data)
        return E_INVALIDARG;
    std::memcpy(vertices_[buffer].data(), data, vertices_[buffer].size());
    return S_OK;
}

HRESULT MeshData::SetIndexData(const void* data, UINT indexCount) {
    if (!data)
        return E_INVALIDARG;
    const size_t width = Wide() ? 4 : 2;
    const size_t count = std::min<size_t>(indexCount, size_t(faceCount_) * 3);
    std::memcpy(indices_.data(), data, count * width);
    return S_OK;
}

HRESULT MeshData::SetAttributeData(const UINT* data) {
    if (!data)
        return E_INVALIDARG;
    std::memcpy(attributes_.data(), data, attributes_.size() * sizeof(UINT));
    return S_OK;
}

UINT MeshData::Index(UINT i) const {
    if (Wide()) {
        UINT v;
        std::memcpy(&v, &indices_[size_t(i) * 4], 4);
        return v;
    }
    uint16_t v;
    std::memcpy(&v, &indices_[size_t(i) * 2], 2);
    return v;
}

void MeshData::SetIndex(UINT i, UINT value) {
    if (Wide()) {
        std::memcpy(&indices_[size_t(i) * 4], &value, 4);
    } else {
        const uint16_t v = static_cast<uint16_t>(value);
        std::memcpy(&indices_[size_t(i) * 2], &v, 2);
    }
}

bool MeshData::IndicesValid() const {
    for (UINT i = 0; i < faceCount_ * 3; ++i)
        if (Index(i) >= vertexCount_)
            return false;
    return true;
}

bool MeshData::Position(UINT vertex, float out[3]) const {
    if (positionElement_ < 0)
        return false;
    const D3D10_INPUT_ELEMENT_DESC& d = declaration_[positionElement_];
    std::memcpy(out, vertices_[d.InputSlot].data() + size_t(vertex) * strides_[d.InputSlot] + d.AlignedByteOffset,
                12);
    return std::isfinite(out[0]) && std::isfinite(out[1]) && std::isfinite(out[2]);
}

HRESULT MeshData::GenerateAdjacencyAndPointReps(float epsilon) {
    if (!(epsilon >= 0.0f))
        return E_INVALIDARG;
    if (!IndicesValid())
        return D3DX10_ERR_INVALID_MESH;
    pointReps_.resize(vertexCount_);
    for (UINT v = 0; v < vertexCount_; ++v)
        pointReps_[v] = v;

    if (positionElement_ >= 0) {
        // Cells of size epsilon (exact positions when epsilon is 0); a close vertex lies in
        // one of the 27 cells around a vertex's own. Each vertex takes the representative of
        // the first earlier vertex that is close enough.
        struct Key {
            int64_t x, y, z;
            bool operator==(const Key& o) const { return x == o.x && y == o.y && z == o.z; }
            bool operator<(const Key& o) const {
                return x != o.x ? x < o.x : y != o.y ? y < o.y : z < o.z;
            }
        };
        const double cell = epsilon > 0.0f ? double(epsilon) : 0.0;
        auto keyOf = [&](const float p[3]) {
            if (cell == 0.0) {
                auto bits = [](float f) {
                    if (f == 0.0f)
                        f = 0.0f;  // -0 and 0 are one position
                    uint32_t b;
                    std::memcpy(&b, &f, 4);
                    return int64_t(b);
                };
                return Key{bits(p[0]), bits(p[1]), bits(p[2])};
            }
            return Key{int64_t(std::floor(p[0] / cell)), int64_t(std::floor(p[1] / cell)),
                       int64_t(std::floor(p[2] / cell))};
        };
        auto inRange = [&](const float p[3]) {
            return cell == 0.0 || (std::fabs(p[0] / cell) < 4e18 && std::fabs(p[1] / cell) < 4e18 &&
                                   std::fabs(p[2] / cell) < 4e18);
        };
        // Every usable vertex by cell, ascending within a cell; a cell is a run of that list.
        struct Entry {
            Key key;
            UINT vertex;
        };
        std::vector<Entry> sorted;
        std::vector<float> positions(size_t(vertexCount_) * 3);
        sorted.reserve(vertexCount_);
        for (UINT v = 0; v < vertexCount_; ++v) {
            float* p = &positions[size_t(v) * 3];
            if (Position(v, p) && inRange(p))
                sorted.push_back(Entry{keyOf(p), v});
        }
        std::sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) {
            return a.key < b.key || (a.key == b.key && a.vertex < b.vertex);
        });
        std::vector<UINT> cellEnd(sorted.size());  // one past the last entry of each entry's cell
        for (size_t i = sorted.size(); i-- > 0;)
            cellEnd[i] = i + 1 < sorted.size() && sorted[i + 1].key == sorted[i].key ? cellEnd[i + 1] : UINT(i + 1);
        // The cells (x + dx, y + dy, z - reach .. z + reach) lie side by side in the sorted list,
        // and their first entry only moves forward while the entries are visited in order.
        const int reach = cell == 0.0 ? 0 : 1;
        std::vector<size_t> cursor(size_t(2 * reach + 1) * (2 * reach + 1), 0);
        for (const Entry& entry : sorted) {
            const UINT v = entry.vertex;
            const float* p = &positions[size_t(v) * 3];
            const Key& k = entry.key;
            UINT best = v;  // only earlier vertices count
            size_t column = 0;
            for (int dx = -reach; dx <= reach; ++dx)
                for (int dy = -reach; dy <= reach; ++dy, ++column) {
                    const Key first{k.x + dx, k.y + dy, k.z - reach};
                    size_t& i0 = cursor[column];
                    while (i0 < sorted.size() && sorted[i0].key < first)
                        ++i0;
                    for (size_t i = i0; i < sorted.size();) {
                        const Key& at = sorted[i].key;
                        if (at.x != first.x || at.y != first.y || at.z > k.z + reach)
                            break;
                        // Within a cell the vertices ascend: the first close one is the cell's answer.
                        const size_t end = cellEnd[i];
                        for (size_t j = i; j < end; ++j) {
                            const UINT other = sorted[j].vertex;
                            if (other >= best)
                                break;
                            const float* q = &positions[size_t(other) * 3];
                            if (std::fabs(p[0] - q[0]) <= epsilon && std::fabs(p[1] - q[1]) <= epsilon &&
                                std::fabs(p[2] - q[2]) <= epsilon) {
                                best = other;
                                break;
                            }
                        }
                        i = end;
                    }
                }
            pointReps_[v] = best;
        }
        // Representatives in vertex order: an earlier vertex's is final when a later one takes it.
        for (UINT v = 0; v < vertexCount_; ++v)
            pointReps_[v] = pointReps_[pointReps_[v]];
    }

    // Each edge meets the first other face, in face and edge order, that has the same edge.
    adjacency_.assign(size_t(faceCount_) * 3, kNone);
    std::vector<std::pair<uint64_t, UINT>> edges;  // edge key, face * 3 + edge
    edges.reserve(size_t(faceCount_) * 3);
    for (UINT f = 0; f < faceCount_; ++f)
        for (UINT e = 0; e < 3; ++e) {
            UINT a = pointReps_[Index(f * 3 + e)], b = pointReps_[Index(f * 3 + (e + 1) % 3)];
            if (a == b)
                continue;
            if (a > b)
                std::swap(a, b);
            edges.emplace_back(uint64_t(a) << 32 | b, f * 3 + e);
        }
    std::sort(edges.begin(), edges.end());
    for (size_t i = 0; i < edges.size();) {
        size_t j = i + 1;
        while (j < edges.size() && edges[j].first == edges[i].first)
            ++j;
        for (size_t x = i; x < j; ++x)
            for (size_t y = i; y < j; ++y)
                if (edges[y].second / 3 != edges[x].second / 3) {
                    adjacency_[edges[x].second] = edges[y].second / 3;
                    break;
                }
        i = j;
    }
    haveAdjacency_ = true;
    epsilon_ = epsilon;
    return S_OK;
}

void MeshData::RangeVertices(D3DX10_ATTRIBUTE_RANGE& r) const {
    UINT lo = kNone, hi = 0;
    for (UINT i = r.FaceStart * 3; i < (r.FaceStart + r.FaceCount) * 3; ++i) {
        const UINT v = Index(i);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    r.VertexStart = r.FaceCount ? lo : 0;
    r.VertexCount = r.FaceCount ? hi - lo + 1 : 0;
}

HRESULT MeshData::Optimize(UINT flags, UINT* faceRemap) {
    if (!IndicesValid())
        return D3DX10_ERR_INVALID_MESH;
    std::vector<UINT> order(faceCount_);
    for (UINT f = 0; f < faceCount_; ++f)
        order[f] = f;
    const bool sort = (flags & D3DX10_MESHOPT_ATTR_SORT) != 0;
    if (sort)
        std::stable_sort(order.begin(), order.end(), [&](UINT a, UINT b) { return attributes_[a] < attributes_[b]; });

    std::vector<UINT> oldIndex(size_t(faceCount_) * 3);
    for (UINT i = 0; i < faceCount_ * 3; ++i)
        oldIndex[i] = Index(i);
    std::vector<UINT> oldAttributes = attributes_;
    for (UINT f = 0; f < faceCount_; ++f) {
        attributes_[f] = oldAttributes[order[f]];
        for (UINT c = 0; c < 3; ++c)
            SetIndex(f * 3 + c, oldIndex[order[f] * 3 + c]);
    }

    if (flags & D3DX10_MESHOPT_COMPACT) {
        std::vector<UINT> newNumber(vertexCount_, kNone);
        std::vector<UINT> oldOfNew;
        for (UINT i = 0; i < faceCount_ * 3; ++i) {
            const UINT v = Index(i);
            if (newNumber[v] == kNone) {
                newNumber[v] = UINT(oldOfNew.size());
                oldOfNew.push_back(v);
            }
            SetIndex(i, newNumber[v]);
        }
        for (UINT s = 0; s < vertices_.size(); ++s) {
            std::vector<uint8_t> moved(size_t(strides_[s]) * oldOfNew.size());
            for (size_t n = 0; n < oldOfNew.size(); ++n)
                std::memcpy(&moved[n * strides_[s]], &vertices_[s][size_t(oldOfNew[n]) * strides_[s]], strides_[s]);
            vertices_[s].swap(moved);
        }
        vertexCount_ = UINT(oldOfNew.size());
    }

    table_.clear();
    if (sort) {
        for (UINT f = 0; f < faceCount_; ++f) {
            if (table_.empty() || table_.back().AttribId != attributes_[f])
                table_.push_back(D3DX10_ATTRIBUTE_RANGE{attributes_[f], f, 0, 0, 0});
            ++table_.back().FaceCount;
        }
        for (auto& r : table_)
            RangeVertices(r);
    }
    if (faceRemap)
        std::copy(order.begin(), order.end(), faceRemap);
    if (haveAdjacency_)
        return GenerateAdjacencyAndPointReps(epsilon_);
    adjacency_.clear();
    pointReps_.clear();
    return S_OK;
}

std::vector<D3DX10_ATTRIBUTE_RANGE> MeshData::Ranges() const {
    if (!table_.empty())
        return table_;
    std::vector<D3DX10_ATTRIBUTE_RANGE> runs;
    for (UINT f = 0; f < faceCount_; ++f) {
        if (runs.empty() || runs.back().AttribId != attributes_[f])
            runs.push_back(D3DX10_ATTRIBUTE_RANGE{attributes_[f], f, 0, 0, 0});
        ++runs.back().FaceCount;
    }
    for (auto& r : runs)
        RangeVertices(r);
    return runs;
}

}  // namespace d3dx10_mesh
