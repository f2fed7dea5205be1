#include "mesh_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace d3dx10_mesh {

namespace {

constexpr UINT kNone = 0xFFFFFFFFu;

bool SameName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// Lowers each vertex's representative to the lowest close vertex of a neighbouring cell.
// Vertices of one cell differ by at most epsilon on every axis where their keys agree, and on
// an axis where the cells' keys differ the nearer ones are close to a vertex and the farther
// ones not: ordered nearest first, the close ones are a prefix. So the close vertices of the
// neighbour are those within a prefix of each such order, a dominance query.
class NeighbourSearch {
public:
    NeighbourSearch(const std::vector<float>& positions, float epsilon, std::vector<UINT>& best)
        : positions_(positions), epsilon_(epsilon), best_(best) {}

    // Cell a (ascending vertices) lies at offset from cell b.
    void Lower(const UINT* a, UINT na, const UINT* b, UINT nb, const int offset[3]) {
        if (std::min(na, nb) <= kScan) {
            for (UINT i = 0; i < nb; ++i) {
                const UINT v = b[i];
                for (UINT j = 0; j < na && a[j] < best_[v]; ++j)
                    if (Close(a[j], v)) {
                        best_[v] = a[j];
                        break;
                    }
            }
            return;
        }
        a_ = a;
        int m = 0;
        for (int axis = 0; axis < 3; ++axis) {
            if (offset[axis] == 0)
                continue;
            byCoordinate_.resize(na);
            for (UINT j = 0; j < na; ++j)
                byCoordinate_[j] = {At(a[j])[axis], j};
            if (offset[axis] < 0)
                std::sort(byCoordinate_.begin(), byCoordinate_.end(),
                          [](const auto& x, const auto& y) { return x.first > y.first; });
            else
                std::sort(byCoordinate_.begin(), byCoordinate_.end(),
                          [](const auto& x, const auto& y) { return x.first < y.first; });
            order_[m].resize(na);
            coordinate_[m].resize(na);
            rank_[m].resize(na);
            for (UINT r = 0; r < na; ++r) {
                coordinate_[m][r] = byCoordinate_[r].first;
                order_[m][r] = byCoordinate_[r].second;
                rank_[m][byCoordinate_[r].second] = r;
            }
            axis_[m++] = axis;
        }
        queries_.clear();
        for (UINT i = 0; i < nb; ++i) {
            const UINT v = b[i];
            if (best_[v] <= a[0])
                continue;  // nothing in a is lower
            Query q{v, {1, 1, 1}};
            for (int k = 0; k < m; ++k) {
                const float p = At(v)[axis_[k]];
                q.bound[k] = UINT(std::partition_point(coordinate_[k].begin(), coordinate_[k].end(),
                                                       [&](float c) { return std::fabs(p - c) <= epsilon_; }) -
                                  coordinate_[k].begin());
            }
            queries_.push_back(q);
        }
        tree_.assign(size_t(na) + 1, kNone);
        if (m < 3) {
            points_ = order_[0];
            Sweep(points_, queries_, m > 0 ? &rank_[0] : nullptr, m > 1 ? &rank_[1] : nullptr, 0, 1);
            return;
        }
        // The prefix of the first order splits into at most log2(na) aligned blocks; each
        // block answers its queries over the other two orders.
        blocks_.clear();
        for (UINT qi = 0; qi < queries_.size(); ++qi) {
            UINT start = 0;
            for (UINT len = 1u << 31; len; len >>= 1)
                if (queries_[qi].bound[0] & len) {
                    blocks_.push_back(Block{len, start, qi});
                    start += len;
                }
        }
        std::sort(blocks_.begin(), blocks_.end(),
                  [](const Block& x, const Block& y) { return x.len != y.len ? x.len < y.len : x.start < y.start; });
        for (size_t i = 0; i < blocks_.size();) {
            size_t j = i;
            blockQueries_.clear();
            for (; j < blocks_.size() && blocks_[j].len == blocks_[i].len && blocks_[j].start == blocks_[i].start; ++j)
                blockQueries_.push_back(queries_[blocks_[j].query]);
            points_.assign(order_[0].begin() + blocks_[i].start, order_[0].begin() + blocks_[i].start + blocks_[i].len);
            std::sort(points_.begin(), points_.end(), [&](UINT p, UINT q) { return rank_[1][p] < rank_[1][q]; });
            Sweep(points_, blockQueries_, &rank_[1], &rank_[2], 1, 2);
            i = j;
        }
    }

private:
    static constexpr UINT kScan = 32;  // neighbours this small are scanned vertex by vertex
    struct Query {
        UINT vertex;
        UINT bound[3];  // ranks below these on each order
    };
    struct Block {
        UINT len, start, query;
    };

    const float* At(UINT v) const { return &positions_[size_t(v) * 3]; }
    bool Close(UINT u, UINT v) const {
        const float *p = At(v), *q = At(u);
        return std::fabs(p[0] - q[0]) <= epsilon_ && std::fabs(p[1] - q[1]) <= epsilon_ &&
               std::fabs(p[2] - q[2]) <= epsilon_;
    }

    // Lowers each query's vertex to the lowest point below both of its bounds (on ranks x and
    // y; a missing rank is 0): the points, in order of x, into a prefix minimum over y.
    void Sweep(const std::vector<UINT>& points, std::vector<Query>& queries, const std::vector<UINT>* x,
               const std::vector<UINT>* y, int bx, int by) {
        auto rx = [&](UINT j) { return x ? (*x)[j] : 0u; };
        auto ry = [&](UINT j) { return y ? (*y)[j] : 0u; };
        std::sort(queries.begin(), queries.end(),
                  [&](const Query& p, const Query& q) { return p.bound[bx] < q.bound[bx]; });
        const size_t n = tree_.size() - 1;
        size_t next = 0;
        for (const Query& q : queries) {
            for (; next < points.size() && rx(points[next]) < q.bound[bx]; ++next)
                for (size_t i = ry(points[next]) + 1; i <= n; i += i & (~i + 1))
                    tree_[i] = std::min(tree_[i], a_[points[next]]);
            UINT low = kNone;
            for (size_t i = std::min<size_t>(q.bound[by], n); i > 0; i -= i & (~i + 1))
                low = std::min(low, tree_[i]);
            best_[q.vertex] = std::min(best_[q.vertex], low);
        }
        for (size_t k = 0; k < next; ++k)
            for (size_t i = ry(points[k]) + 1; i <= n; i += i & (~i + 1))
                tree_[i] = kNone;
    }

    const std::vector<float>& positions_;
    const float epsilon_;
    std::vector<UINT>& best_;
    const UINT* a_ = nullptr;
    int axis_[3] = {0, 0, 0};
    std::vector<std::pair<float, UINT>> byCoordinate_;
    std::vector<float> coordinate_[3];  // of each order's vertices
    std::vector<UINT> order_[3], rank_[3], tree_, points_;
    std::vector<Query> queries_, blockQueries_;
    std::vector<Block> blocks_;
};

}  // namespace

UINT ElementBytes(DXGI_FORMAT format) {
    switch (static_cast<UINT>(format)) {
        case 2:
        case 3:
        case 4:  // R32G32B32A32
            return 16;
        case 6:
        case 7:
        case 8:  // R32G32B32
            return 12;
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
        case 16:
        case 17:
        case 18:  // R16G16B16A16, R32G32
            return 8;
        case 24:
        case 25:
        case 26:
        case 28:
        case 29:
        case 30:
        case 31:
        case 32:  // 32-bit packed and RGBA8
        case 34:
        case 35:
        case 36:
        case 37:
        case 38:
        case 41:
        case 42:
        case 43:  // R16G16, R32
        case 87:
        case 88:
            return 4;
        case 49:
        case 50:
        case 51:
        case 52:
        case 54:
        case 56:
        case 57:
        case 58:
        case 59:  // R8G8, R16
            return 2;
        case 61:
        case 62:
        case 63:
        case 64:  // R8
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
    byAttribute_.reset();
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
    byAttribute_.reset();
    return S_OK;
}

void MeshData::SetTable(const D3DX10_ATTRIBUTE_RANGE* table, UINT size) {
    table_.assign(table, table + size);
    byAttribute_.reset();
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
    std::memcpy(out, vertices_[d.InputSlot].data() + size_t(vertex) * strides_[d.InputSlot] + d.AlignedByteOffset, 12);
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
            bool operator<(const Key& o) const { return x != o.x ? x < o.x : y != o.y ? y < o.y : z < o.z; }
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
            return cell == 0.0 ||
                   (std::fabs(p[0] / cell) < 4e18 && std::fabs(p[1] / cell) < 4e18 && std::fabs(p[2] / cell) < 4e18);
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
        // Within a cell every pair is close: equal keys on an axis bound the difference there
        // by epsilon. So each vertex starts from its cell's first (lowest) vertex and lowers
        // that by the lowest close vertex of each of the 26 cells around.
        std::vector<UINT> cellVertices(sorted.size());
        for (size_t b = 0; b < sorted.size(); b = cellEnd[b])
            for (size_t i = b; i < cellEnd[b]; ++i) {
                cellVertices[i] = sorted[i].vertex;
                pointReps_[sorted[i].vertex] = sorted[b].vertex;
            }
        // The cells (x + dx, y + dy, z - reach .. z + reach) lie side by side in the sorted list,
        // and their first entry only moves forward while the cells are visited in order.
        const int reach = cell == 0.0 ? 0 : 1;
        std::vector<size_t> cursor(size_t(2 * reach + 1) * (2 * reach + 1), 0);
        NeighbourSearch search(positions, epsilon, pointReps_);
        for (size_t b = 0; b < sorted.size(); b = cellEnd[b]) {
            const Key& k = sorted[b].key;
            size_t column = 0;
            for (int dx = -reach; dx <= reach; ++dx)
                for (int dy = -reach; dy <= reach; ++dy, ++column) {
                    const Key first{k.x + dx, k.y + dy, k.z - reach};
                    size_t& i0 = cursor[column];
                    while (i0 < sorted.size() && sorted[i0].key < first)
                        i0 = cellEnd[i0];
                    for (size_t a = i0; a < sorted.size(); a = cellEnd[a]) {
                        const Key& at = sorted[a].key;
                        if (at.x != first.x || at.y != first.y || at.z > k.z + reach)
                            break;
                        const int offset[3] = {dx, dy, int(at.z - k.z)};
                        if (a != b)
                            search.Lower(&cellVertices[a], cellEnd[a] - a, &cellVertices[b], cellEnd[b] - b, offset);
                    }
                }
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
    byAttribute_.reset();
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

std::pair<const D3DX10_ATTRIBUTE_RANGE*, const D3DX10_ATTRIBUTE_RANGE*> MeshData::RangesOf(UINT attribId) {
    if (!byAttribute_) {
        std::vector<D3DX10_ATTRIBUTE_RANGE> ranges = Ranges();
        ranges.erase(std::remove_if(ranges.begin(), ranges.end(),
                                    [&](const D3DX10_ATTRIBUTE_RANGE& r) {
                                        return r.FaceCount == 0 || r.FaceStart > faceCount_ ||
                                               r.FaceCount > faceCount_ - r.FaceStart;
                                    }),
                     ranges.end());
        std::stable_sort(
            ranges.begin(), ranges.end(),
            [](const D3DX10_ATTRIBUTE_RANGE& a, const D3DX10_ATTRIBUTE_RANGE& b) { return a.AttribId < b.AttribId; });
        byAttribute_ = std::make_unique<std::vector<D3DX10_ATTRIBUTE_RANGE>>(std::move(ranges));
    }
    const auto& all = *byAttribute_;
    const auto first = std::lower_bound(all.begin(), all.end(), attribId,
                                        [](const D3DX10_ATTRIBUTE_RANGE& r, UINT id) { return r.AttribId < id; });
    const auto last = std::upper_bound(first, all.end(), attribId,
                                       [](UINT id, const D3DX10_ATTRIBUTE_RANGE& r) { return id < r.AttribId; });
    return {all.data() + (first - all.begin()), all.data() + (last - all.begin())};
}

}  // namespace d3dx10_mesh
