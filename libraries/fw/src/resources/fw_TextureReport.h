#pragma once
// The texture statistics report: its columns and the cell formatters, which read the row
// being built (fw_Texture::mReportTexture and mReportEntry).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class fw_Texture;

struct ReportColumn {
    std::string name;                     // header
    std::function<std::string()> format;  // the cell of the current row
    std::string defaultValue;             // a Misc pair is shown only when the cell differs
};

// Empties both lists and fills them; the address columns only withAddresses.
void BuildTextureReportColumns(std::vector<ReportColumn>& mainColumns, std::vector<ReportColumn>& miscColumns,
                               bool withAddresses);

// Bytes of every mip level (and array slice) of a texture, as a 32-bit count.
uint32_t TextureMemorySize(const fw_Texture* texture);
// A volume always; a 2D texture with sample count 1 and quality 0.
bool IsTextureSingleSampled(const fw_Texture* texture);

std::string TextureReportSizeInBytes();
std::string TextureReportAddress();
std::string TextureReportDataPointer();
std::string TextureReportFilename();
std::string TextureReportSampleDescCount();
std::string TextureReportSampleDescQuality();
std::string TextureReportCpuAccessFlags();
std::string TextureReportMiscFlags();

const std::string& TextureReportCurrentCreator();
const std::string& TextureReportCurrentFilename();
const void* TextureReportCurrentDataPointer();
