#pragma once
// The stages of the data generator.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace datagen {

std::vector<uint8_t> MakeNoiseVolume(int size, uint32_t seed);

// Reads content/meshes.txt and writes every .obj and .mtl it describes.
void WriteMeshes(const std::filesystem::path& recipes, const std::filesystem::path& dataDir);

// Reads content/images.txt and writes every image it describes.
void WriteImages(const std::filesystem::path& recipes, const std::filesystem::path& dataDir);

}  // namespace datagen
