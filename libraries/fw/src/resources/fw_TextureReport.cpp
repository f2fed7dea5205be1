#include "fw_TextureReport.h"

#include <algorithm>
#include <ostream>

#include "fw_CallStack.h"
#include "fw_Framework.h"
#include "fw_Lock.h"
#include "fw_StringUtils.h"
#include "fw_Texture.h"

std::map<fw_Texture*, fw_Texture::RegistryEntry> fw_Texture::mRegistry;
std::map<fw_Texture*, fw_Texture::RegistryEntry> fw_Texture::mReleased;
fw_Texture* fw_Texture::mReportTexture = nullptr;
fw_Texture::RegistryEntry* fw_Texture::mReportEntry = nullptr;

namespace {

fw_CriticalSection& ReportLock() {
    static fw_CriticalSection lock;
    return lock;
}

const std::string kEmpty;

uint32_t Field(fw_Texture::_DescFieldName field) {
    return fw_Texture::mReportTexture ? fw_Texture::mReportTexture->GetDescField(field) : 0;
}

std::string Decimal(fw_Texture::_DescFieldName field) {
    return ToDecimalString(Field(field), 0);
}

std::string Address(const void* address) {
    return ToHexString(static_cast<int64_t>(reinterpret_cast<uintptr_t>(address)), 8);
}

}  // namespace

void fw_Texture::Register(fw_Texture* texture, const void* pData, const std::string& filename) {
    const std::string creator = FindCallerName("fw_Texture::fw_Texture", "fw_Framework::FindOrCreateTexture");
    mRegistry[texture] = RegistryEntry{pData, filename, creator};
    mReleased.erase(texture);
}

void fw_Texture::Unregister(fw_Texture* texture) {
    auto it = mRegistry.find(texture);
    if (it == mRegistry.end())
        return;
    mReleased.emplace(texture, it->second);
    mRegistry.erase(it);
}

uint32_t TextureMemorySize(const fw_Texture* texture) {
    if (!texture)
        return 0;
    uint32_t w = texture->GetDescField(fw_Texture::width), h = texture->GetDescField(fw_Texture::height);
    uint32_t d = texture->GetDescField(fw_Texture::depth);
    const uint32_t mips = texture->GetDescField(fw_Texture::mips);
    uint32_t texels = 0;
    for (uint32_t level = 0; level < mips; ++level) {
        texels += w * h * d;
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
        d = std::max(1u, d / 2);
    }
    uint32_t bytes = texels * BytesPerPixel(static_cast<DXGI_FORMAT>(texture->GetDescField(fw_Texture::format)));
    if (texture->mTexture2D)
        bytes *= texture->GetDescField(fw_Texture::arraySize);
    return bytes;
}

bool IsTextureSingleSampled(const fw_Texture* texture) {
    if (!texture || !texture->mTexture2D)
        return true;
    return texture->GetDescField(fw_Texture::sampleDescCount) == 1 &&
           texture->GetDescField(fw_Texture::sampleDescQuality) == 0;
}

const std::string& TextureReportCurrentCreator() {
    return fw_Texture::mReportEntry ? fw_Texture::mReportEntry->creator : kEmpty;
}

const std::string& TextureReportCurrentFilename() {
    return fw_Texture::mReportEntry ? fw_Texture::mReportEntry->filename : kEmpty;
}

const void* TextureReportCurrentDataPointer() {
    return fw_Texture::mReportEntry ? fw_Texture::mReportEntry->pData : nullptr;
}

std::string TextureReportSizeInBytes() {
    return ToDecimalString(TextureMemorySize(fw_Texture::mReportTexture), ',');
}

std::string TextureReportAddress() {
    return Address(fw_Texture::mReportTexture);
}

std::string TextureReportDataPointer() {
    const void* data = TextureReportCurrentDataPointer();
    return data ? Address(data) : std::string();
}

std::string TextureReportFilename() {
    return TextureReportCurrentFilename();
}

std::string TextureReportSampleDescCount() {
    return IsTextureSingleSampled(fw_Texture::mReportTexture) ? std::string() : Decimal(fw_Texture::sampleDescCount);
}

std::string TextureReportSampleDescQuality() {
    return IsTextureSingleSampled(fw_Texture::mReportTexture) ? std::string() : Decimal(fw_Texture::sampleDescQuality);
}

std::string TextureReportCpuAccessFlags() {
    switch (const uint32_t flags = Field(fw_Texture::cpuAccessFlags)) {
        case 0:
            return "";
        case D3D10_CPU_ACCESS_WRITE:
            return "W";
        case D3D10_CPU_ACCESS_READ:
            return "R";
        case D3D10_CPU_ACCESS_READ | D3D10_CPU_ACCESS_WRITE:
            return "RW";
        default:
            return ToHexString(flags, 8);
    }
}

std::string TextureReportMiscFlags() {
    const uint32_t flags = Field(fw_Texture::miscFlags);
    return flags ? ToHexString(flags, 8) : std::string();
}

void BuildTextureReportColumns(std::vector<ReportColumn>& mainColumns, std::vector<ReportColumn>& miscColumns,
                               bool withAddresses) {
    mainColumns.clear();
    miscColumns.clear();
    auto decimal = [](fw_Texture::_DescFieldName field) { return [field] { return Decimal(field); }; };
    mainColumns.push_back({"Size in bytes", TextureReportSizeInBytes, ""});
    mainColumns.push_back({"width", decimal(fw_Texture::width), ""});
    mainColumns.push_back({"height", decimal(fw_Texture::height), ""});
    mainColumns.push_back({"depth", decimal(fw_Texture::depth), ""});
    mainColumns.push_back({"mips", decimal(fw_Texture::mips), ""});
    mainColumns.push_back({"format", decimal(fw_Texture::format), ""});
    mainColumns.push_back({"bindFlags", [] { return ToHexString(Field(fw_Texture::bindFlags), 2); }, ""});
    if (withAddresses) {
        mainColumns.push_back({" Address", TextureReportAddress, ""});
        miscColumns.push_back({"pData", TextureReportDataPointer, ""});
    }
    miscColumns.push_back({"filename", TextureReportFilename, ""});
    miscColumns.push_back({"arraySize", decimal(fw_Texture::arraySize), "1"});
    miscColumns.push_back({"usage", decimal(fw_Texture::usage), "0"});
    miscColumns.push_back({"sampleDescCount", TextureReportSampleDescCount, ""});
    miscColumns.push_back({"sampleDescQuality", TextureReportSampleDescQuality, ""});
    miscColumns.push_back({"cpuAccessFlags", TextureReportCpuAccessFlags, ""});
    miscColumns.push_back({"miscFlags", TextureReportMiscFlags, ""});
}

void fw_Texture::ReportStatistics(std::ostream& stream, bool withAddresses) {
    BuildStatisticsReport(stream, withAddresses);
}

void fw_Texture::BuildStatisticsReport(std::ostream& stream, bool withAddresses) {
    fw_ScopedLock lock(&ReportLock());
    std::vector<ReportColumn> mainColumns, miscColumns;
    BuildTextureReportColumns(mainColumns, miscColumns, withAddresses);

    uint64_t total = 0;
    std::vector<std::string> rows;
    for (auto& [texture, entry] : mRegistry) {
        mReportTexture = texture;
        mReportEntry = &entry;
        total += TextureMemorySize(texture);
        std::string row;
        for (size_t i = 0; i < mainColumns.size(); ++i) {
            const std::string cell = mainColumns[i].format();
            const size_t width = mainColumns[i].name.size() + (i == 0 ? 0 : 2);
            if (cell.size() < width)
                row.append(width - cell.size(), ' ');
            row += cell;
        }
        std::string separator = "  ";
        bool anyPair = false;
        for (const ReportColumn& column : miscColumns) {
            const std::string cell = column.format();
            if (cell == column.defaultValue)
                continue;
            row += separator + column.name + "=" + cell;
            separator = ", ";
            anyPair = true;
        }
        row += (anyPair ? ", " : "    ") + entry.creator;
        if (gFramework && gFramework->mOwnedTextures.count(texture))  // owned by the framework
            row += " (*)";
        rows.push_back(row);
    }
    mReportTexture = nullptr;
    mReportEntry = nullptr;
    std::stable_sort(rows.begin(), rows.end());

    std::string header;
    for (const ReportColumn& column : mainColumns)
        header += column.name + "  ";
    header += "Misc";
    WriteStatisticsReport(stream, total, header, rows);
}

void fw_Texture::WriteStatisticsReport(std::ostream& stream, uint64_t totalBytes, const std::string& header,
                                       const std::vector<std::string>& rows) {
    const char* indent = "  ";
    stream << "\n";
    stream << "fw_Texture statistics report:\n";
    stream << std::string(29, '-') << "\n";
    stream << indent << "Number of textures:  " << ToDecimalString(static_cast<int64_t>(mRegistry.size()), ',') << "\n";
    stream << indent << "Total size in bytes: " << ToDecimalString(static_cast<int64_t>(totalBytes), ',') << "\n";
    for (const char* note :
         {"- Textures are sorted by size.", "- sampleDescCount and sampleDescQuality are listed in the Misc column",
          "  if their values are not 1 and 0, respectively.",
          "- cpuAccessFlags is listed in the Misc column if its value is not 0.",
          "- miscFlags is listed in the Misc column if its value is not 0.",
          "- The Misc column always ends with the caller that caused the texture to",
          "  be created, and (*) at the end means it is registered with the framework."})
        stream << indent << indent << note << "\n";
    stream << indent << header << "\n";
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        stream << indent << *it << "\n";
    stream << "\n";
}
