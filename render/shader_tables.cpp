// The shader flag and constant tables and the derived matrices.
#include "render/shader_tables.h"

#include <cmath>
#include <cstring>

namespace {

template <typename T>
T* addEntry(std::vector<ShaderTableEntry<T>>& entries, const char* name, int count) {
  entries.push_back({name, count, std::make_unique<T[]>(static_cast<std::size_t>(count))});
  return entries.back().values.get();
}

template <typename T>
const ShaderTableEntry<T>* findEntry(const std::vector<ShaderTableEntry<T>>& entries, const char* name) {
  for (const auto& e : entries)
    if (std::strcmp(e.name, name) == 0) return &e;
  return nullptr;
}

}  // namespace

ShaderFlagTable::ShaderFlagTable(RenderPipeline* owner) : pipeline(owner) {
  entries.reserve(51);
#define TESSALINE_ADD(n, c) n = addEntry(entries, #n, c);
  TESSALINE_SHADER_FLAGS(TESSALINE_ADD)
#undef TESSALINE_ADD
}

const ShaderTableEntry<std::int32_t>* ShaderFlagTable::find(const char* name) const { return findEntry(entries, name); }

std::vector<std::int32_t> ShaderFlagTable::key() const {
  std::vector<std::int32_t> key;
  key.reserve(149);
  for (const auto& e : entries) key.insert(key.end(), e.values.get(), e.values.get() + e.count);
  return key;
}

ShaderConstantTable::ShaderConstantTable(RenderPipeline* owner)
    : pipeline(owner),
      world(g_identityMatrix),
      view(g_identityMatrix),
      projection(g_identityMatrix),
      bonePalette(std::make_unique<Matrix4x3[]>(kBonePaletteSize)) {
  for (Matrix4x3& m : textureMatrices) m = g_identityMatrix;
  for (int i = 0; i < kBonePaletteSize; ++i) bonePalette[i] = g_identityMatrix;
  entries.reserve(39);
#define TESSALINE_ADD(n, c) n = addEntry(entries, #n, c);
  TESSALINE_SHADER_CONSTANTS(TESSALINE_ADD)
#undef TESSALINE_ADD
}

const ShaderTableEntry<float>* ShaderConstantTable::find(const char* name) const { return findEntry(entries, name); }

void ShaderConstantTable::setBoneMatrix(int index, const Matrix4x3& m) {
  if (index < 0 || index >= kBonePaletteSize) return;
  bonePalette[index] = m;
  float* out = matBone + 12 * index;
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 3; ++column) *out++ = m[4 * row + column];
}

void ShaderConstantTable::updateDerivedMatrices() {
  if (derivedValid) return;
  Matrix4x3 wv;
  world.multiplyAffine(&wv, view);
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 3; ++column) matWorldView[3 * row + column] = wv[4 * row + column];
  Matrix4x3 wvp;
  multiplyAffineFull(wvp, wv, projection);
  std::memcpy(matWorldViewProj, wvp.m, sizeof wvp.m);
  Matrix4x3 inverse = g_identityMatrix;
  invertAffine(&inverse, wv);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const float v = wv[4 * i + j];
      const float magnitude = std::sqrt(std::fabs(v * inverse[4 * j + i]));
      matWorldViewNormalized[3 * i + j] = v < 0 ? -magnitude : (v > 0 ? magnitude : 0.0f);
    }
  }
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 3; ++column) matWorldWT[3 * row + column] = world[4 * row + column];
  derivedValid = true;
}
