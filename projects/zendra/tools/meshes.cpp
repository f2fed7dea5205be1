#include "generator.h"
namespace datagen {
void WriteMeshes(const std::filesystem::path&, const std::filesystem::path&) {}
}
