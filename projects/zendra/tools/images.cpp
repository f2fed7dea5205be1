#include "generator.h"
namespace datagen {
void WriteImages(const std::filesystem::path&, const std::filesystem::path&) {}
}
