#pragma once
// The framework's one texture class: a 2D or 3D resource with the views through which it
// is used and, for a render target, the viewport that covers it.

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

#include "platform/d3d10.h"

class fw_Texture {
public:
    // Description fields by number (GetDescField).
    enum _DescFieldName : uint32_t {
        width = 0,
        height = 1,
        depth = 2,
        mips = 3,
        arraySize = 4,
        format = 5,
        sampleDescCount = 6,
        sampleDescQuality = 7,
        usage = 8,
        bindFlags = 9,
        cpuAccessFlags = 10,
        miscFlags = 11,
    };

    // An empty texture: no resource, no views.
    fw_Texture();
    // A new resource; depth 1 makes a 2D texture, any other depth a volume. Views follow
    // the bind flags (shader resource, render target, depth stencil). data, when not
    // null, is the initial content of subresource 0, tightly packed.
    fw_Texture(uint32_t bindFlags, DXGI_FORMAT format, uint32_t width, uint32_t height, uint32_t depth,
               const void* data);
    // Takes over the caller's reference to texture; only the shader-resource and
    // render-target flags are looked at.
    fw_Texture(ID3D10Texture2D* texture, uint32_t bindFlags);
    fw_Texture(const fw_Texture&) = delete;
    fw_Texture& operator=(const fw_Texture&) = delete;

    // A new texture from an image file (the name resolved under the project's data
    // folder). An unreadable file gives "./data/missing.png", and when that cannot be read
    // either, a built-in error image: the result always has a shader-resource view.
    static fw_Texture* LoadFromFile(const std::string& name);

    // Writes the texture under the project's data folder; the format follows the name's
    // extension (".bmp", ".jpg", ".png", ".dds", ".tiff", ".gif", ".wmp"). A volume goes to
    // one file per slice ("vol.png" -> "vol0000.png", ...) unless saved as ".dds". A name
    // with none of the extensions saves nothing (logged as a warning). Returns whether
    // every file was written.
    bool SaveToFile(const std::string& name);

    void CopyFrom(const fw_Texture& other);
    void CopyTo(ID3D10Resource* destination);
    // Into the framework's screenshot texture at (x, 0, 0).
    void CopyToStagingAt(uint32_t x);

    HRESULT Map2D(UINT subresource, D3D10_MAP mapType, UINT mapFlags, D3D10_MAPPED_TEXTURE2D* mapped);
    HRESULT Map3D(UINT subresource, D3D10_MAP mapType, UINT mapFlags, D3D10_MAPPED_TEXTURE3D* mapped);
    void Unmap(UINT subresource);

    uint32_t GetWidth() const;
    uint32_t GetHeight() const;
    uint32_t GetDepth() const;
    uint32_t GetFormat() const;
    uint32_t GetDescField(_DescFieldName field) const;

    void Clear(const float colour[4]);
    void ClearColor(float r, float g, float b, float a);
    void ClearColor3(float r, float g, float b);
    void ClearColor2(float r, float g);
    void ClearGrey(float v);
    void ClearDepth(float depth);

    // Gives up every view and the resource (unregistering it from CUDA first when it is
    // registered); safe to call twice.
    void Release();
    // Registers the resource with the CUDA runtime and sets its map flags; results are not
    // checked. Loading the runtime ends the process when it is missing.
    void RegisterWithCuda(unsigned int registerFlags, unsigned int mapFlags);
    // Unregisters a registered texture that has a resource; clears the registered flag.
    void UnregisterFromCuda();

    // The resource: the 2D one when set, else the 3D one (may be null).
    ID3D10Resource* GetResource() const;
    // mViewport with rows taken off its top and bottom (signed: a negative count moves it
    // up and grows it); more than half the height leaves it empty instead of wrapping.
    D3D10_VIEWPORT InsetViewport(int64_t rows) const;

    // --- statistics report (fw_TextureReport.cpp); nothing registers by default --------
    struct RegistryEntry {
        const void* pData;     // a data address, shown when not null
        std::string filename;  // shown when not empty
        std::string creator;   // the function that called the constructor
    };
    // Records a live texture (a second registration replaces the entry).
    static void Register(fw_Texture* texture, const void* pData, const std::string& filename);
    // Moves a registered texture's entry to mReleased; an unknown texture is ignored.
    static void Unregister(fw_Texture* texture);
    // Every registered texture, largest first, with its description fields and creator.
    static void ReportStatistics(std::ostream& stream, bool withAddresses);
    static void BuildStatisticsReport(std::ostream& stream, bool withAddresses);
    static void WriteStatisticsReport(std::ostream& stream, uint64_t totalBytes, const std::string& header,
                                      const std::vector<std::string>& rows);
    static std::map<fw_Texture*, RegistryEntry> mRegistry;
    static std::map<fw_Texture*, RegistryEntry> mReleased;
    // The texture and entry whose row is being built (read by the cell formatters).
    static fw_Texture* mReportTexture;
    static RegistryEntry* mReportEntry;

    ID3D10RenderTargetView* mRenderTargetView;
    ID3D10ShaderResourceView* mShaderResourceView;
    ID3D10DepthStencilView* mDepthStencilView;
    D3D10_VIEWPORT mViewport;
    bool mCudaRegistered;
    ID3D10Texture2D* mTexture2D;
    ID3D10Texture3D* mTexture3D;
};

// The size of one texel of a format, by ranges of the format's number (4 outside them).
uint32_t BytesPerPixel(DXGI_FORMAT format);

// The size of one row of texels of a format: exact for every uncompressed format, the
// block row for block-compressed formats.
uint32_t RowPitchOf(DXGI_FORMAT format, uint32_t width);
// The number of rows of a subresource in pitch units (block rows for compressed formats).
uint32_t RowCountOf(DXGI_FORMAT format, uint32_t height);

// The one factory function of the texture table: a new 2D texture without initial data.
fw_Texture* NewRenderTexture(D3D10_BIND_FLAG bindFlags, DXGI_FORMAT format, uint32_t width, uint32_t height);
