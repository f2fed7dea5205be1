// ID3DX10Mesh over MeshData and the device's buffers.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "mesh_core.h"
#include "platform/d3d10_refcounted.h"

namespace {

using d3dx10_mesh::MeshData;

class Mesh;

// A view of one of the mesh's CPU arrays; keeps the mesh alive.
class MeshBuffer final : public d3d10gl::RefCounted<ID3DX10MeshBuffer> {
public:
    enum class Kind { Vertex, Index, Attribute, Adjacency, PointRep };
    MeshBuffer(Mesh* mesh, Kind kind, UINT slot);

    HRESULT QueryInterface(REFIID, void** object) override {
        if (object)
            *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT Map(void** data, SIZE_T* size) override;
    HRESULT Unmap() override;
    SIZE_T GetSize() override;

private:
    ~MeshBuffer() override;
    void* Bytes(SIZE_T* size);

    Mesh* mesh_;
    Kind kind_;
    UINT slot_;
};

class Mesh final : public d3d10gl::RefCounted<ID3DX10Mesh> {
public:
    explicit Mesh(ID3D10Device* device) : device_(device) { device_->AddRef(); }

    MeshData data;

    HRESULT QueryInterface(REFIID, void** object) override {
        if (object)
            *object = nullptr;
        return E_NOINTERFACE;
    }

    UINT GetFaceCount() override { return data.FaceCount(); }
    UINT GetVertexCount() override { return data.VertexCount(); }
    UINT GetVertexBufferCount() override { return data.BufferCount(); }
    UINT GetFlags() override { return data.Options(); }
    HRESULT GetVertexDescription(const D3D10_INPUT_ELEMENT_DESC** desc, UINT* count) override {
        if (desc)
            *desc = data.Declaration().data();
        if (count)
            *count = UINT(data.Declaration().size());
        return S_OK;
    }

    HRESULT SetVertexData(UINT buffer, const void* d) override { return data.SetVertexData(buffer, d); }
    HRESULT SetIndexData(const void* d, UINT count) override { return data.SetIndexData(d, count); }
    HRESULT SetAttributeData(const UINT* d) override { return data.SetAttributeData(d); }

    HRESULT GetVertexBuffer(UINT buffer, ID3DX10MeshBuffer** out) override {
        if (!out)
            return E_INVALIDARG;
        *out = nullptr;
        if (buffer >= data.BufferCount())
            return E_INVALIDARG;
        return Make(MeshBuffer::Kind::Vertex, buffer, out);
    }
    HRESULT GetIndexBuffer(ID3DX10MeshBuffer** out) override { return Make(MeshBuffer::Kind::Index, 0, out); }
    HRESULT GetAttributeBuffer(ID3DX10MeshBuffer** out) override { return Make(MeshBuffer::Kind::Attribute, 0, out); }
    HRESULT GetAdjacencyBuffer(ID3DX10MeshBuffer** out) override {
        if (out)
            *out = nullptr;
        if (data.Adjacency().empty())
            return E_FAIL;
        return Make(MeshBuffer::Kind::Adjacency, 0, out);
    }
    HRESULT GetPointRepBuffer(ID3DX10MeshBuffer** out) override {
        if (out)
            *out = nullptr;
        if (data.PointReps().empty())
            return E_FAIL;
        return Make(MeshBuffer::Kind::PointRep, 0, out);
    }

    HRESULT SetAttributeTable(const D3DX10_ATTRIBUTE_RANGE* table, UINT size) override {
        if (!table && size)
            return E_INVALIDARG;
        data.SetTable(table, size);
        return S_OK;
    }
    HRESULT GetAttributeTable(D3DX10_ATTRIBUTE_RANGE* table, UINT* size) override {
        if (!size)
            return E_INVALIDARG;
        const auto& t = data.Table();
        if (table) {
            const UINT n = std::min<UINT>(*size, UINT(t.size()));
            std::copy(t.begin(), t.begin() + n, table);
        }
        *size = UINT(t.size());
        return S_OK;
    }

    HRESULT GenerateAdjacencyAndPointReps(FLOAT epsilon) override {
        return data.GenerateAdjacencyAndPointReps(epsilon);
    }

    HRESULT Optimize(UINT flags, UINT* faceRemap, ID3D10Blob** vertexRemap) override {
        if (vertexRemap)
            *vertexRemap = nullptr;
        return data.Optimize(flags, faceRemap);
    }

    HRESULT CommitToDevice() override {
        if (!data.IndicesValid())
            return D3DX10_ERR_INVALID_MESH;
        std::vector<ID3D10Buffer*> fresh;
        for (UINT s = 0; s < data.BufferCount(); ++s) {
            ID3D10Buffer* b = CreateBuffer(data.Vertices(s), D3D10_BIND_VERTEX_BUFFER);
            if (!b) {
                for (auto* f : fresh)
                    f->Release();
                return E_FAIL;
            }
            fresh.push_back(b);
        }
        ID3D10Buffer* ib = CreateBuffer(data.Indices(), D3D10_BIND_INDEX_BUFFER);
        if (!ib) {
            for (auto* f : fresh)
                f->Release();
            return E_FAIL;
        }
        ReleaseDeviceBuffers();
        deviceVertices_ = std::move(fresh);
        deviceIndices_ = ib;
        return S_OK;
    }

    HRESULT DrawSubset(UINT attribId) override { return DrawSubsetInstanced(attribId, 1, 0); }

    HRESULT DrawSubsetInstanced(UINT attribId, UINT instanceCount, UINT startInstanceLocation) override {
        if (!deviceIndices_)
            return E_FAIL;
        std::vector<UINT> strides, offsets(deviceVertices_.size(), 0);
        for (UINT s = 0; s < deviceVertices_.size(); ++s)
            strides.push_back(data.Stride(s));
        device_->IASetVertexBuffers(0, UINT(deviceVertices_.size()), deviceVertices_.data(), strides.data(),
                                    offsets.data());
        device_->IASetIndexBuffer(deviceIndices_, data.Wide() ? DXGI_FORMAT_R32_UINT : DXGI_FORMAT_R16_UINT, 0);
        device_->IASetPrimitiveTopology(D3D10_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        const auto ranges = data.RangesOf(attribId);
        for (const D3DX10_ATTRIBUTE_RANGE* r = ranges.first; r != ranges.second; ++r)
            device_->DrawIndexedInstanced(r->FaceCount * 3, instanceCount, r->FaceStart * 3, 0, startInstanceLocation);
        return S_OK;
    }

    HRESULT GetDeviceVertexBuffer(UINT buffer, ID3D10Buffer** out) override {
        return HandOut(buffer < deviceVertices_.size() ? deviceVertices_[buffer] : nullptr, out);
    }
    HRESULT GetDeviceIndexBuffer(ID3D10Buffer** out) override { return HandOut(deviceIndices_, out); }

private:
    // A device buffer with a reference for the caller; E_FAIL before CommitToDevice.
    static HRESULT HandOut(ID3D10Buffer* buffer, ID3D10Buffer** out) {
        if (!out)
            return E_INVALIDARG;
        *out = buffer;
        if (!buffer)
            return E_FAIL;
        buffer->AddRef();
        return S_OK;
    }

    ~Mesh() override {
        ReleaseDeviceBuffers();
        device_->Release();
    }

    HRESULT Make(MeshBuffer::Kind kind, UINT slot, ID3DX10MeshBuffer** out) {
        if (!out)
            return E_INVALIDARG;
        *out = new (std::nothrow) MeshBuffer(this, kind, slot);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    ID3D10Buffer* CreateBuffer(const std::vector<uint8_t>& bytes, UINT bind) {
        D3D10_BUFFER_DESC d{};
        d.ByteWidth = UINT(bytes.size());
        d.Usage = D3D10_USAGE_DEFAULT;
        d.BindFlags = bind;
        D3D10_SUBRESOURCE_DATA init{bytes.data(), 0, 0};
        ID3D10Buffer* b = nullptr;
        if (FAILED(device_->CreateBuffer(&d, &init, &b)))
            return nullptr;
        return b;
    }

    void ReleaseDeviceBuffers() {
        for (auto* b : deviceVertices_)
            if (b)
                b->Release();
        deviceVertices_.clear();
        if (deviceIndices_)
            deviceIndices_->Release();
        deviceIndices_ = nullptr;
    }

    ID3D10Device* device_;
    std::vector<ID3D10Buffer*> deviceVertices_;
    ID3D10Buffer* deviceIndices_ = nullptr;
};

MeshBuffer::MeshBuffer(Mesh* mesh, Kind kind, UINT slot) : mesh_(mesh), kind_(kind), slot_(slot) {
    mesh_->AddRef();
}

MeshBuffer::~MeshBuffer() {
    mesh_->Release();
}

void* MeshBuffer::Bytes(SIZE_T* size) {
    MeshData& d = mesh_->data;
    switch (kind_) {
        case Kind::Vertex:
            *size = d.Vertices(slot_).size();
            return d.Vertices(slot_).data();
        case Kind::Index:
            *size = d.Indices().size();
            return d.Indices().data();
        case Kind::Attribute:
            d.AttributesChanged();  // the caller may write through the mapping, until Unmap
            *size = d.Attributes().size() * sizeof(UINT);
            return d.Attributes().data();
        case Kind::Adjacency:
            *size = d.Adjacency().size() * sizeof(UINT);
            return d.Adjacency().data();
        case Kind::PointRep:
            *size = d.PointReps().size() * sizeof(UINT);
            return d.PointReps().data();
    }
    *size = 0;
    return nullptr;
}

HRESULT MeshBuffer::Map(void** data, SIZE_T* size) {
    SIZE_T n = 0;
    void* p = Bytes(&n);
    if (data)
        *data = p;
    if (size)
        *size = n;
    return S_OK;
}

HRESULT MeshBuffer::Unmap() {
    if (kind_ == Kind::Attribute)
        mesh_->data.AttributesChanged();
    return S_OK;
}

SIZE_T MeshBuffer::GetSize() {
    SIZE_T n = 0;
    Bytes(&n);
    return n;
}

}  // namespace

HRESULT D3DX10CreateMesh(ID3D10Device* device, const D3D10_INPUT_ELEMENT_DESC* declaration, UINT declCount,
                         LPCSTR positionSemantic, UINT vertexCount, UINT faceCount, UINT options, ID3DX10Mesh** mesh) {
    if (!mesh)
        return E_INVALIDARG;
    *mesh = nullptr;
    if (!device)
        return E_INVALIDARG;
    auto* m = new (std::nothrow) Mesh(device);
    if (!m)
        return E_OUTOFMEMORY;
    const HRESULT hr = m->data.Init(declaration, declCount, positionSemantic, vertexCount, faceCount, options);
    if (FAILED(hr)) {
        m->Release();
        return hr;
    }
    *mesh = m;
    return S_OK;
}
