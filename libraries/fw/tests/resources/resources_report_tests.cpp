// The texture statistics report: registry, columns, rows, the whole text and its lock.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "fw_TextureReport.h"
#include "fw_Release.h"
#include "resources_support.h"

using namespace restest;

namespace {

class ReportTest : public ResourceTest {
protected:
    void SetUp() override {
        ResourceTest::SetUp();
        fw_Texture::mRegistry.clear();
        fw_Texture::mReleased.clear();
    }
    void TearDown() override {
        fw_Texture::mRegistry.clear();
        fw_Texture::mReleased.clear();
        for (fw_Texture* t : made)
            ReleaseAndDelete(t);
        ResourceTest::TearDown();
    }
    fw_Texture* Make(uint32_t w, uint32_t h, uint32_t d, DXGI_FORMAT format,
                     uint32_t bind = D3D10_BIND_SHADER_RESOURCE) {
        made.push_back(new fw_Texture(bind, format, w, h, d, nullptr));
        return made.back();
    }
    std::string Report(bool withAddresses) {
        std::ostringstream out;
        fw_Texture::ReportStatistics(out, withAddresses);
        return out.str();
    }
    // The report's rows (the lines after the header line, without the indent).
    std::vector<std::string> Rows(bool withAddresses) {
        std::istringstream in(Report(withAddresses));
        std::vector<std::string> rows;
        std::string line;
        bool header = false;
        while (std::getline(in, line)) {
            if (header && line.size() > 2)
                rows.push_back(line.substr(2));
            header = header || line.find("Size in bytes  ") == 2;
        }
        return rows;
    }
    std::vector<fw_Texture*> made;
};

TEST_F(ReportTest, AnEmptyRegistryReportsZeroTexturesTheNotesAndTheHeader) {
    const std::string expected =
        "\n"
        "fw_Texture statistics report:\n"
        "-----------------------------\n"
        "  Number of textures:  0\n"
        "  Total size in bytes: 0\n"
        "    - Textures are sorted by size.\n"
        "    - sampleDescCount and sampleDescQuality are listed in the Misc column\n"
        "      if their values are not 1 and 0, respectively.\n"
        "    - cpuAccessFlags is listed in the Misc column if its value is not 0.\n"
        "    - miscFlags is listed in the Misc column if its value is not 0.\n"
        "    - The Misc column always ends with the caller that caused the texture to\n"
        "      be created, and (*) at the end means it is registered with the framework.\n"
        "  Size in bytes  width  height  depth  mips  format  bindFlags  Misc\n"
        "\n";
    EXPECT_EQ(expected, Report(false));
    EXPECT_NE(std::string::npos, Report(true).find("  bindFlags   Address  Misc\n"));
}

TEST_F(ReportTest, RowsAreRightAlignedUnderTheirHeadersLargestFirst) {
    fw_Texture* flat = Make(1024, 1024, 1, DXGI_FORMAT_R32G32_FLOAT);
    fw_Texture* volume = Make(128, 128, 128, DXGI_FORMAT_R8_UNORM);
    fw_Texture::Register(volume, nullptr, "");
    fw_Texture::Register(flat, nullptr, "");
    const std::string report = Report(false);
    EXPECT_NE(std::string::npos, report.find("  Number of textures:  2\n"));
    EXPECT_NE(std::string::npos, report.find("  Total size in bytes: 10,485,760\n"));
    const std::vector<std::string> rows = Rows(false);
    ASSERT_EQ(2u, rows.size());
    const std::string creator = fw_Texture::mRegistry[flat].creator;
    EXPECT_EQ("    8,388,608   1024    1024      1     1      16       0x08    " + creator, rows[0]);
    EXPECT_EQ("    2,097,152    128     128    128     1      61       0x08    " + creator, rows[1]);
}

TEST_F(ReportTest, MiscPairsAppearInColumnOrderOnlyWhereTheyDifferFromTheirDefaults) {
    D3D10_TEXTURE2D_DESC desc = TextureDesc(16, 8, DXGI_FORMAT_R8G8B8A8_UNORM, 0, 2);
    desc.Usage = D3D10_USAGE_STAGING;
    desc.CPUAccessFlags = D3D10_CPU_ACCESS_READ;
    ID3D10Texture2D* resource = nullptr;
    ASSERT_EQ(S_OK, device->CreateTexture2D(&desc, nullptr, &resource));
    made.push_back(new fw_Texture(resource, 0));
    fw_Texture* staging = made.back();
    fw_Texture::Register(staging, nullptr, "cards/one.png");
    const std::vector<std::string> rows = Rows(false);
    ASSERT_EQ(1u, rows.size());
    const std::string misc = "  filename=cards/one.png, arraySize=2, usage=3, cpuAccessFlags=R, ";
    EXPECT_NE(std::string::npos, rows[0].find("        1,024     16       8      1     1      28       0x00" + misc))
        << rows[0];
}

TEST_F(ReportTest, OwnedTexturesEndWithAStarAndAddressesKeepAllTheirDigits) {
    fw_Texture* t = Make(4, 4, 1, DXGI_FORMAT_R8G8B8A8_UNORM);
    const void* data = reinterpret_cast<const void*>(uintptr_t{0x7f1234567abc});
    fw_Texture::Register(t, data, "");
    gFramework->mOwnedTextures.insert(t);
    const std::vector<std::string> rows = Rows(true);
    gFramework->mOwnedTextures.erase(t);
    ASSERT_EQ(1u, rows.size());
    std::ostringstream address;
    address << std::hex << reinterpret_cast<uintptr_t>(t);
    EXPECT_NE(std::string::npos, rows[0].find("0x" + address.str() + "  pData=0x7f1234567abc, ")) << rows[0];
    EXPECT_EQ(" (*)", rows[0].substr(rows[0].size() - 4));
    EXPECT_EQ(std::string::npos, Rows(true)[0].find("(*)"));
}

TEST_F(ReportTest, RegisteringTwiceReplacesAndUnregisteringMovesTheEntry) {
    fw_Texture* t = Make(4, 4, 1, DXGI_FORMAT_R8G8B8A8_UNORM);
    fw_Texture::Register(t, nullptr, "first.png");
    fw_Texture::Register(t, nullptr, "second.png");
    ASSERT_EQ(1u, fw_Texture::mRegistry.size());
    EXPECT_EQ("second.png", fw_Texture::mRegistry[t].filename);

    fw_Texture* unknown = Make(2, 2, 1, DXGI_FORMAT_R8G8B8A8_UNORM);
    fw_Texture::Unregister(unknown);
    EXPECT_EQ(1u, fw_Texture::mRegistry.size());
    EXPECT_TRUE(fw_Texture::mReleased.empty());

    fw_Texture::Unregister(t);
    EXPECT_TRUE(fw_Texture::mRegistry.empty());
    ASSERT_EQ(1u, fw_Texture::mReleased.size());
    EXPECT_EQ("second.png", fw_Texture::mReleased[t].filename);
    EXPECT_NE(std::string::npos, Report(false).find("Number of textures:  0\n"));

    fw_Texture::Register(t, nullptr, "again.png");  // a reused address is live again
    EXPECT_TRUE(fw_Texture::mReleased.empty());
    EXPECT_EQ(1u, fw_Texture::mRegistry.size());
}

TEST_F(ReportTest, ConcurrentReportsDoNotMixTheirRows) {
    for (uint32_t i = 1; i <= 12; ++i)
        fw_Texture::Register(Make(4 * i, 2 * i, 1, DXGI_FORMAT_R8G8B8A8_UNORM), nullptr,
                             "t" + std::to_string(i) + ".png");
    const std::string reference = Report(true);
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (std::string& result : results)
        threads.emplace_back([&result] {
            for (int i = 0; i < 50 && (result.empty() || result.find("mixed") == std::string::npos); ++i) {
                std::ostringstream out;
                fw_Texture::ReportStatistics(out, true);
                if (!result.empty() && result != out.str())
                    result += "mixed";
                else
                    result = out.str();
            }
        });
    for (std::thread& t : threads)
        t.join();
    for (const std::string& result : results)
        EXPECT_EQ(reference, result);
    EXPECT_EQ(nullptr, fw_Texture::mReportTexture);
}

}  // namespace
