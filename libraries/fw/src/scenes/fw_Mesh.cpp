#include "fw_Mesh.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <random>
#include <string_view>

#include "fw_Framework.h"
#include "fw_ReadReport.h"
#include "fw_Release.h"
#include "platform/regular_file.h"

namespace {

// Whitespace-separated words over a whole text, with whole-line skips.
class WordReader {
public:
    explicit WordReader(const std::string& text) : mPos(text.data()), mEnd(text.data() + text.size()) {}

    bool Next(std::string_view& word) {
        while (mPos < mEnd && IsSpace(*mPos))
            ++mPos;
        if (mPos == mEnd)
            return false;
        const char* start = mPos;
        while (mPos < mEnd && !IsSpace(*mPos))
            ++mPos;
        word = std::string_view(start, size_t(mPos - start));
        return true;
    }

    // The rest of the current line, whatever its length, and its line break.
    void SkipLine() {
        const void* nl = std::memchr(mPos, '\n', size_t(mEnd - mPos));
        mPos = nl ? static_cast<const char*>(nl) + 1 : mEnd;
    }

private:
    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

    const char* mPos;
    const char* mEnd;
};

// A whole word as a finite decimal number in the "C" locale.
bool ParseFloat(std::string_view w, float& out) {
    const char* first = w.data();
    const char* last = first + w.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return false;
    }
    auto [ptr, ec] = std::from_chars(first, last, out, std::chars_format::general);
    return ec == std::errc() && ptr == last && std::isfinite(out);
}

bool ReadFloats(WordReader& in, float* out, int count) {
    std::string_view w;
    for (int i = 0; i < count; ++i)
        if (!in.Next(w) || !ParseFloat(w, out[i]))
            return false;
    return true;
}

// The integer at the start of a word ("32.5" gives 32); the rest goes with the line.
bool ReadIntPrefix(WordReader& in, int32_t& out) {
    std::string_view w;
    if (!in.Next(w))
        return false;
    const char* first = w.data();
    const char* last = first + w.size();
    if (first != last && *first == '+')
        ++first;
    auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr != first;
}

// An unsigned 1-based index at p; advances p. False for no digits, a sign or overflow.
bool ParseIndex(const char*& p, const char* end, uint64_t& out) {
    const char* start = p;
    out = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        out = out * 10 + uint64_t(*p - '0');
        if (out > 0xFFFFFFFFull)
            return false;
        ++p;
    }
    return p != start;
}

struct Corner {
    uint64_t p = 0, t = 0, n = 0;
    bool hasT = false, hasN = false;
};

// "p", "p/t", "p/t/n" or "p//n". A written index is kept even when it is 0.
bool ParseCorner(std::string_view w, Corner& c) {
    const char* p = w.data();
    const char* end = p + w.size();
    if (!ParseIndex(p, end, c.p))
        return false;
    if (p == end)
        return true;
    if (*p++ != '/')
        return false;
    if (p < end && *p != '/') {
        if (!ParseIndex(p, end, c.t))
            return false;
        c.hasT = true;
    }
    if (p == end)
        return true;
    if (*p++ != '/')
        return false;
    if (!ParseIndex(p, end, c.n))
        return false;
    c.hasN = true;
    return p == end;
}

// Every written index is 1-based and names data read so far.
bool CornerInRange(const Corner& c, size_t positions, size_t texcoords, size_t normals) {
    if (c.p == 0 || c.p > positions)
        return false;
    if (c.hasT && (c.t == 0 || c.t > texcoords))
        return false;
    if (c.hasN && (c.n == 0 || c.n > normals))
        return false;
    return true;
}

// The whole named .obj or .mtl. Nothing for a missing file; a warning naming the file for
// one that is not a regular file, is too large or cannot be read.
bool ReadMeshFile(const std::string& path, std::string& text, bool& refused) {
    std::string error;
    const RegularFileRead read = ReadRegularFile(path, fw_Mesh::kMaxFileBytes, text, &error);
    refused = read != RegularFileRead::Ok && read != RegularFileRead::NotFound;
    if (refused)
        fw_ReadReport(path).Warn("Mesh file not read: " + error);
    return read == RegularFileRead::Ok;
}

// Materials by name, the first of each name; the names stay with the materials.
using MaterialIndex = std::map<std::string_view, uint32_t>;
MaterialIndex IndexMaterials(const std::vector<fw_Material*>& materials) {
    MaterialIndex index;
    for (uint32_t i = 0; i < materials.size(); ++i)
        index.emplace(materials[i]->mName, i);
    return index;
}

// A vertex under its position index, hashed with a seed of the process so that no file can
// choose vertices that share a slot.
uint64_t HashVertex(uint32_t p, const fw_MeshVertex& vertex) {
    static const uint64_t seed = (uint64_t(std::random_device{}()) << 32 | std::random_device{}()) | 1;
    auto mix = [](uint64_t x) {
        x ^= x >> 30;
        x *= 0xbf58476d1ce4e5b9ull;
        x ^= x >> 27;
        x *= 0x94d049bb133111ebull;
        return x ^ (x >> 31);
    };
    uint32_t words[8];
    std::memcpy(words, &vertex, sizeof words);
    uint64_t h = mix(seed ^ p);
    for (uint32_t w : words)
        h = mix(h ^ w);
    return h;
}

}  // namespace

const D3D10_INPUT_ELEMENT_DESC fw_Mesh::kVertexElements[3] = {
    {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D10_INPUT_PER_VERTEX_DATA, 0},
    {"NORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 12, D3D10_INPUT_PER_VERTEX_DATA, 0},
    {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 24, D3D10_INPUT_PER_VERTEX_DATA, 0},
};

fw_MeshServices& GetMeshServices() {
    static fw_MeshServices services;
    return services;
}

void fw_Material::SetDefaults() {
    const float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f},
                specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    std::copy(ambient, ambient + 4, mAmbient);
    std::copy(diffuse, diffuse + 4, mDiffuse);
    std::copy(specular, specular + 4, mSpecular);
    mSpecularExponent = 0;
    mAlpha = 1.0f;
    mIllumSpecular = false;
    mTechnique = nullptr;
}

void fw_Material::Apply(const MaterialConstants& constants) {
    fw_Framework* fw = gFramework;
    if (!fw)
        return;
    MaterialConstants c = constants;  // the setters take their values by mutable pointer
    if (fw->mAmbientVar)
        fw->mAmbientVar->SetFloatVector(c.Ambient);
    if (fw->mDiffuseVar)
        fw->mDiffuseVar->SetFloatVector(c.Diffuse);
    if (fw->mSpecularVar)
        fw->mSpecularVar->SetFloatVector(c.Specular);
    if (fw->mSpecularPowerVar)
        fw->mSpecularPowerVar->SetFloat(c.SpecularPower);
}

namespace {

// The shared pool's "MeshTextures" and the number of views its declaration holds; no
// variable without a pool that declares it.
struct MeshTextureSlots {
    ID3D10EffectShaderResourceVariable* variable = nullptr;
    UINT count = 0;
};

MeshTextureSlots FindMeshTextures() {
    ID3D10EffectPool* pool = fw_Framework::mEffectPool;
    ID3D10Effect* effect = pool ? pool->AsEffect() : nullptr;
    if (!effect)
        return {};
    ID3D10EffectShaderResourceVariable* textures = effect->GetVariableByName("MeshTextures")->AsShaderResource();
    D3D10_EFFECT_TYPE_DESC type = {};
    if (!textures->IsValid() || FAILED(textures->GetType()->GetDesc(&type)))
        return {};
    return {textures, std::max<UINT>(type.Elements, 1)};  // a single texture declares no elements
}

// The material's textures, as many as the pool's array holds, then its colours.
void ApplyMaterial(const fw_Material& material, const MeshTextureSlots& textures) {
    const UINT count = std::min(UINT(material.mTextureViews.size()), textures.count);
    if (count > 0)
        textures.variable->SetResourceArray(const_cast<ID3D10ShaderResourceView**>(material.mTextureViews.data()), 0,
                                            count);
    MaterialConstants constants = {};
    std::copy_n(material.mAmbient, 4, constants.Ambient);
    std::copy_n(material.mDiffuse, 4, constants.Diffuse);
    std::copy_n(material.mSpecular, 4, constants.Specular);
    constants.SpecularPower = fw_Material::kSpecularPower;
    fw_Material::Apply(constants);
}

}  // namespace

// --- construction -------------------------------------------------------------------

fw_Mesh::fw_Mesh(const std::string& directory, const std::string& fileName, fw_Effect* effect)
    : mName(fileName), mEffect(effect) {
    InitLayouts();
    Load(directory, fileName);
}

fw_Mesh::fw_Mesh(const uint32_t* indices, uint32_t indexCount, const fw_MeshVertex* vertices, uint32_t vertexCount,
                 fw_Effect* effect)
    : mEffect(effect) {
    InitLayouts();
    auto* material = new fw_Material();
    material->mName = "Default";
    material->SetDefaults();
    if (effect && GetMeshServices().getTechnique)
        material->mTechnique = GetMeshServices().getTechnique(effect, "Default");
    mMaterials.push_back(material);
    CreateD3DXMesh(indexCount, vertexCount, indices, vertices);
}

fw_Mesh::~fw_Mesh() {
    ReleaseAll();
}

void fw_Mesh::InitLayouts() {
    for (int k = 0; k < 10; ++k)
        mLayouts[k] = nullptr;
}

bool fw_Mesh::Read(const std::string& directory, const std::string& fileName) {
    const bool wellFormed = LoadObj(directory + "/" + fileName);
    ClearVertexHash();
    if (!mMaterialLibraries.empty())
        LoadMtl(directory + "/" + mMaterialLibraries.front());
    return wellFormed;
}

void fw_Mesh::Load(const std::string& directory, const std::string& fileName) {
    ReleaseAll();
    Read(directory, fileName);

    if (auto find = GetMeshServices().findOrLoadTexture) {
        for (fw_Material* material : mMaterials)
            for (const std::string& name : material->mTextureNames)
                material->mTextureViews.push_back(find(name));  // one per name, in order, even when null
    }
    if (!mMaterials.empty() && mMaterials.front()->mTechnique && fw_Framework::mDevice) {
        D3D10_PASS_DESC pass = {};
        if (SUCCEEDED(mMaterials.front()->mTechnique->GetPassByIndex(0)->GetDesc(&pass)))
            fw_Framework::mDevice->CreateInputLayout(kVertexElements, 3, pass.pIAInputSignature,
                                                     pass.IAInputSignatureSize, &mInputLayout);
    }
    CreateD3DXMesh(uint32_t(mIndices.size()), uint32_t(mVertices.size()), mIndices.data(), mVertices.data());
    mIndices.clear();
    mVertices.clear();
}

// --- .obj and .mtl ------------------------------------------------------------------

bool fw_Mesh::LoadObj(const std::string& path) {
    std::string text;
    bool refused = false;
    if (!ReadMeshFile(path, text, refused))
        return !refused;  // a missing file reads as empty
    return LoadObjText(text);
}

bool fw_Mesh::LoadObjText(const std::string& text) {
    std::vector<std::array<float, 3>> positions, normals;
    std::vector<std::array<float, 2>> texcoords;
    uint32_t currentMaterial = 0;
    MaterialIndex materialIndex = IndexMaterials(mMaterials);
    bool wellFormed = true;
    WordReader in(text);
    std::string_view word;
    while (wellFormed && in.Next(word)) {
        if (word == "v" || word == "vn") {
            std::array<float, 3> v;
            if (!ReadFloats(in, v.data(), 3)) {
                wellFormed = false;
                break;
            }
            (word == "v" ? positions : normals).push_back(v);
        } else if (word == "vt") {
            std::array<float, 2> t;
            if (!ReadFloats(in, t.data(), 2)) {
                wellFormed = false;
                break;
            }
            texcoords.push_back(t);
        } else if (word == "f") {
            Corner corners[3];
            for (Corner& c : corners) {
                std::string_view w;
                if (!in.Next(w) || !ParseCorner(w, c) ||
                    !CornerInRange(c, positions.size(), texcoords.size(), normals.size())) {
                    wellFormed = false;
                    break;
                }
            }
            if (!wellFormed)
                break;
            for (const Corner& c : corners) {
                fw_MeshVertex v = {};
                std::copy_n(positions[c.p - 1].data(), 3, v.position);
                if (c.hasT)
                    std::copy_n(texcoords[c.t - 1].data(), 2, v.texcoord);
                if (c.hasN)
                    std::copy_n(normals[c.n - 1].data(), 3, v.normal);
                mIndices.push_back(AddUniqueVertex(uint32_t(c.p - 1), v));
            }
            mAttributes.push_back(currentMaterial);
        } else if (word == "mtllib" || word == "usemtl") {
            const bool library = word == "mtllib";
            std::string_view name;
            if (!in.Next(name)) {
                wellFormed = false;
                break;
            }  // the name is missing
            if (library) {
                if (mMaterialLibraries.empty())
                    mMaterialLibraries.emplace_back(name);
            } else {
                auto it = materialIndex.find(name);
                if (it == materialIndex.end()) {
                    auto* material = new fw_Material();
                    material->SetDefaults();
                    material->mName = name;
                    mMaterials.push_back(material);
                    it = materialIndex.emplace(material->mName, uint32_t(mMaterials.size() - 1)).first;
                }
                currentMaterial = it->second;
            }
        }
        in.SkipLine();
    }
    // Faces that no "usemtl" reached still get a material.
    if (mMaterials.empty() && !mAttributes.empty()) {
        auto* material = new fw_Material();
        material->SetDefaults();
        material->mName = "Default";
        mMaterials.push_back(material);
    }
    return wellFormed;
}

void fw_Mesh::LoadMtl(const std::string& path) {
    std::string text;
    bool refused = false;
    if (ReadMeshFile(path, text, refused))
        LoadMtlText(text);
}

void fw_Mesh::LoadMtlText(const std::string& text) {
    const MaterialIndex materialIndex = IndexMaterials(mMaterials);
    fw_Material* current = nullptr;
    WordReader in(text);
    std::string_view word;
    while (in.Next(word)) {
        if (word == "newmtl") {
            std::string_view name;
            if (!in.Next(name))
                return;
            auto it = materialIndex.find(name);
            current = it == materialIndex.end() ? nullptr : mMaterials[it->second];
            if (current && mEffect && GetMeshServices().getTechnique)
                current->mTechnique = GetMeshServices().getTechnique(mEffect, current->mName);
            if (current)
                in.SkipLine();
            continue;
        }
        if (!current)
            continue;  // word by word until a known material begins
        if (word == "Ka" || word == "Kd" || word == "Ks") {
            float c[3];
            if (!ReadFloats(in, c, 3))
                return;
            float* target = word == "Ka" ? current->mAmbient : word == "Kd" ? current->mDiffuse : current->mSpecular;
            target[0] = c[0];
            target[1] = c[1];
            target[2] = c[2];
            target[3] = 1.0f;
        } else if (word == "d" || word == "Tr") {
            if (!ReadFloats(in, &current->mAlpha, 1))
                return;
        } else if (word == "Ns") {
            if (!ReadIntPrefix(in, current->mSpecularExponent))
                return;
        } else if (word == "illum") {
            int32_t illum = 0;
            if (!ReadIntPrefix(in, illum))
                return;
            current->mIllumSpecular = illum == 2;
        } else if (word == "map_Kd") {
            std::string_view name;
            if (!in.Next(name))
                return;
            if (current->mTextureNames.size() < kMaxMaterialTextures)
                current->mTextureNames.emplace_back(name);
        }
        in.SkipLine();
    }
}

uint32_t fw_Mesh::AddUniqueVertex(uint32_t p, const fw_MeshVertex& vertex) {
    // At most half full (every vertex may be in it): doubled, the entries moved over.
    if ((mVertices.size() + 1) * 2 > mVertexHash.size()) {
        size_t size = std::max<size_t>(64, mVertexHash.size() * 2);
        while (size < (mVertices.size() + 1) * 2)
            size *= 2;
        std::vector<uint64_t> old(size, kNoVertex);
        old.swap(mVertexHash);
        const size_t mask = mVertexHash.size() - 1;
        for (uint64_t entry : old) {
            if (entry == kNoVertex)
                continue;
            size_t slot = HashVertex(uint32_t(entry >> 32), mVertices[uint32_t(entry)]) & mask;
            while (mVertexHash[slot] != kNoVertex)
                slot = (slot + 1) & mask;
            mVertexHash[slot] = entry;
        }
    }
    const size_t mask = mVertexHash.size() - 1;
    for (size_t slot = HashVertex(p, vertex) & mask;; slot = (slot + 1) & mask) {
        const uint64_t entry = mVertexHash[slot];
        if (entry == kNoVertex) {
            const uint32_t index = uint32_t(mVertices.size());
            mVertices.push_back(vertex);
            mVertexHash[slot] = uint64_t(p) << 32 | index;
            return index;
        }
        if (uint32_t(entry >> 32) == p && std::memcmp(&mVertices[uint32_t(entry)], &vertex, sizeof vertex) == 0)
            return uint32_t(entry);
    }
}

void fw_Mesh::ClearVertexHash() {
    mVertexHash.clear();
    mVertexHash.shrink_to_fit();
}

// --- the device mesh ----------------------------------------------------------------

void fw_Mesh::CreateD3DXMesh(uint32_t indexCount, uint32_t vertexCount, const uint32_t* indices,
                             const fw_MeshVertex* vertices) {
    // A mesh built again gives up the one it had.
    SafeRelease(mMesh);
    delete[] mAttributeTable;
    mAttributeTable = nullptr;
    mAttributeCount = 0;
    const uint32_t faceCount = indexCount / 3;
    ID3D10Device* device = fw_Framework::mDevice;
    if (faceCount == 0 || vertexCount == 0 || !device) {
        mAttributes.clear();
        return;
    }
    ID3DX10Mesh* mesh = nullptr;
    if (FAILED(D3DX10CreateMesh(device, kVertexElements, 3, "POSITION", vertexCount, faceCount, D3DX10_MESH_32_BIT,
                                &mesh)) ||
        !mesh) {
        mAttributes.clear();
        return;
    }
    mesh->SetVertexData(0, vertices);
    mesh->SetIndexData(indices, faceCount * 3);
    if (!mAttributes.empty()) {
        mAttributes.resize(faceCount, mAttributes.empty() ? 0 : mAttributes.back());
        mesh->SetAttributeData(mAttributes.data());
        mAttributes.clear();
    }
    mesh->GenerateAdjacencyAndPointReps(1e-6f);
    mesh->Optimize(D3DX10_MESHOPT_COMPACT | D3DX10_MESHOPT_ATTR_SORT | D3DX10_MESHOPT_VERTEX_CACHE, nullptr, nullptr);
    mMesh = mesh;
    UINT count = 0;
    mesh->GetAttributeTable(nullptr, &count);
    mAttributeCount = count;
    mAttributeTable = count ? new D3DX10_ATTRIBUTE_RANGE[count] : nullptr;
    if (count)
        mesh->GetAttributeTable(mAttributeTable, &count);
    mesh->CommitToDevice();
}

void fw_Mesh::CreateLayoutSlot9(ID3D10EffectTechnique* technique) {
    if (!technique || !fw_Framework::mDevice)
        return;
    D3D10_PASS_DESC pass = {};
    technique->GetPassByIndex(0)->GetDesc(&pass);
    SafeRelease(mLayouts[9]);
    fw_Framework::mDevice->CreateInputLayout(kVertexElements, 3, pass.pIAInputSignature, pass.IAInputSignatureSize,
                                             &mLayouts[9]);
}

void fw_Mesh::DrawRange(ID3D10EffectTechnique* technique, int first, int last, bool withMaterials) {
    if (!mMesh || !technique || !fw_Framework::mDevice || mAttributeCount == 0)
        return;
    first = std::max(first, 0);
    last = std::min(last, int(mAttributeCount) - 1);
    fw_Framework::mDevice->IASetInputLayout(mLayouts[9]);
    D3D10_TECHNIQUE_DESC desc = {};
    technique->GetDesc(&desc);
    if (!withMaterials) {
        for (UINT p = 0; p < desc.Passes; ++p) {
            technique->GetPassByIndex(p)->Apply(0);
            for (int k = first; k <= last; ++k)
                mMesh->DrawSubset(mAttributeTable[k].AttribId);
        }
        return;
    }
    const MeshTextureSlots textures = FindMeshTextures();
    for (int k = first; k <= last; ++k) {
        const UINT id = mAttributeTable[k].AttribId;
        if (id < mMaterials.size())
            ApplyMaterial(*mMaterials[id], textures);
        for (UINT p = 0; p < desc.Passes; ++p) {
            technique->GetPassByIndex(p)->Apply(0);
            mMesh->DrawSubset(id);
        }
    }
}

void fw_Mesh::DrawRangeInstanced(ID3D10EffectTechnique* technique, int k, ID3D10InputLayout* layout,
                                 ID3D10Buffer* instances, UINT stride, UINT firstInstance, UINT instanceCount) {
    ID3D10Device* device = fw_Framework::mDevice;
    if (!mMesh || !technique || !layout || !instances || !device || k < 0 || k >= int(mAttributeCount) ||
        instanceCount == 0)
        return;
    const UINT id = mAttributeTable[k].AttribId;
    if (id < mMaterials.size())
        ApplyMaterial(*mMaterials[id], FindMeshTextures());
    const UINT offset = 0;
    device->IASetInputLayout(layout);
    device->IASetVertexBuffers(1, 1, &instances, &stride, &offset);  // the mesh binds slot 0
    D3D10_TECHNIQUE_DESC desc = {};
    technique->GetDesc(&desc);
    for (UINT p = 0; p < desc.Passes; ++p) {
        technique->GetPassByIndex(p)->Apply(0);
        mMesh->DrawSubsetInstanced(id, instanceCount, firstInstance);
    }
}

ID3D10InputLayout* fw_Mesh::CreateInstancedLayout(ID3D10EffectTechnique* technique,
                                                  const D3D10_INPUT_ELEMENT_DESC* elements, UINT count) {
    if (!technique || !fw_Framework::mDevice)
        return nullptr;
    std::vector<D3D10_INPUT_ELEMENT_DESC> all(std::begin(kVertexElements), std::end(kVertexElements));
    all.insert(all.end(), elements, elements + count);
    D3D10_PASS_DESC pass = {};
    if (FAILED(technique->GetPassByIndex(0)->GetDesc(&pass)))
        return nullptr;
    ID3D10InputLayout* layout = nullptr;
    fw_Framework::mDevice->CreateInputLayout(all.data(), UINT(all.size()), pass.pIAInputSignature,
                                             pass.IAInputSignatureSize, &layout);
    return layout;
}

void fw_Mesh::Draw(ID3D10EffectTechnique* technique, bool withMaterials) {
    DrawRange(technique, 0, int(mAttributeCount) - 1, withMaterials);
}

void fw_Mesh::DrawSubsets(int last) {
    if (!mMesh || !fw_Framework::mDevice)
        return;
    last = std::min(last, int(mAttributeCount) - 1);
    fw_Framework::mDevice->IASetInputLayout(mInputLayout);
    const MeshTextureSlots textures = FindMeshTextures();
    for (int k = 0; k <= last; ++k) {
        const UINT id = mAttributeTable[k].AttribId;
        if (id >= mMaterials.size())
            continue;
        const fw_Material& material = *mMaterials[id];
        if (!material.mTechnique)
            continue;  // nothing to draw it with
        ApplyMaterial(material, textures);
        D3D10_TECHNIQUE_DESC desc = {};
        material.mTechnique->GetDesc(&desc);
        for (UINT p = 0; p < desc.Passes; ++p) {
            material.mTechnique->GetPassByIndex(p)->Apply(0);
            mMesh->DrawSubset(id);
        }
    }
}

void fw_Mesh::DrawAllSubsets() {
    DrawSubsets(int(mAttributeCount) - 1);
}

// --- read-back ----------------------------------------------------------------------

void fw_Mesh::ReadVertexBuffer(const std::function<void(const fw_MeshVertex&)>& sink) {
    if (!mMesh)
        return;
    ID3DX10MeshBuffer* buffer = nullptr;
    if (FAILED(mMesh->GetVertexBuffer(0, &buffer)) || !buffer)
        return;
    void* data = nullptr;
    SIZE_T size = 0;
    if (SUCCEEDED(buffer->Map(&data, &size)) && data) {
        const size_t count = std::min<size_t>(mMesh->GetVertexCount(), size / sizeof(fw_MeshVertex));
        for (size_t i = 0; i < count; ++i) {
            fw_MeshVertex v;
            std::memcpy(&v, static_cast<const char*>(data) + i * sizeof v, sizeof v);
            sink(v);
        }
        buffer->Unmap();
    }
    buffer->Release();
}

void fw_Mesh::ReadPositions(std::vector<fw_Vector3>& out) {
    ReadVertexBuffer([&](const fw_MeshVertex& v) { out.emplace_back(v.position[0], v.position[1], v.position[2]); });
}

void fw_Mesh::ReadNormals(std::vector<fw_Vector3>& out) {
    ReadVertexBuffer([&](const fw_MeshVertex& v) { out.emplace_back(v.normal[0], v.normal[1], v.normal[2]); });
}

void fw_Mesh::ReadVertices(std::vector<fw_MeshVertex>& out) {
    ReadVertexBuffer([&](const fw_MeshVertex& v) { out.push_back(v); });
}

void fw_Mesh::ReadIndices(std::vector<uint32_t>& out) {
    if (!mMesh)
        return;
    ID3DX10MeshBuffer* buffer = nullptr;
    if (FAILED(mMesh->GetIndexBuffer(&buffer)) || !buffer)
        return;
    void* data = nullptr;
    SIZE_T size = 0;
    if (SUCCEEDED(buffer->Map(&data, &size)) && data) {
        const uint32_t* indices = static_cast<const uint32_t*>(data);
        out.insert(out.end(), indices, indices + size / 4);
        buffer->Unmap();
    }
    buffer->Release();
}

uint32_t fw_Mesh::GetVertexCount() {
    return mMesh ? mMesh->GetVertexCount() : 0;
}

void fw_Mesh::ReleaseAll() {
    for (fw_Material* m : mMaterials)
        delete m;
    mMaterials.clear();
    mVertices.clear();
    mIndices.clear();
    mAttributes.clear();
    mMaterialLibraries.clear();
    ClearVertexHash();
    delete[] mAttributeTable;
    mAttributeTable = nullptr;
    mAttributeCount = 0;
    SafeRelease(mMesh);
    SafeRelease(mInputLayout);
    for (auto& entry : mLayouts)
        SafeRelease(entry.second);
}
