// The two tables every shader variant depends on: the integer permutation
// flags (whose values are a variant's key) and the named float constants
// with the matrices and the 1024-bone palette. Scene, light, object and
// surface code fill them before drawing; the passes read them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/matrix.h"

class RenderPipeline;

// One named entry: `count` values.
template <typename T>
struct ShaderTableEntry {
  const char* name;
  int count;
  std::unique_ptr<T[]> values;
};

// Name and count of every flag, in table order (the order of the variant
// key, of uploads and of the compiler's parameters).
#define TESSALINE_SHADER_FLAGS(X)                                                                                     \
  X(bake, 1)                                                                                                          \
  X(specularEnabled, 1)                                                                                               \
  X(isFogEnabled, 1)                                                                                                  \
  X(isLocalViewer, 1)                                                                                                 \
  X(isCylindricalViewer, 1)                                                                                           \
  X(numActiveDistantLights, 1) X(numActivePointLights, 1) X(numActiveSpotLights, 1) X(pointLightFalloffType, 8)       \
      X(spotLightFalloffType, 8) X(numTexCOLR, 1) X(numTexLUMI, 1) X(numTexDIFF, 1) X(numTexREFL, 1) X(numTexSPEC, 1) \
          X(numTexTRAN, 1) X(numTexTRNL, 1) X(numTexBUMP, 1) X(numShadows, 1) X(metaTexCOLRFullOpacity, 4)            \
              X(metaTexLUMIFullOpacity, 4) X(metaTexDIFFFullOpacity, 4) X(metaTexREFLFullOpacity, 4)                  \
                  X(metaTexSPECFullOpacity, 4) X(metaTexTRANFullOpacity, 4) X(metaTexBUMPFullOpacity, 4)              \
                      X(metaTexCOLRInvert, 4) X(metaTexLUMIInvert, 4) X(metaTexDIFFInvert, 4) X(metaTexREFLInvert, 4) \
                          X(metaTexSPECInvert, 4) X(metaTexTRANInvert, 4) X(metaTexBUMPInvert, 4)                     \
                              X(metaTexCOLRBlendop, 4) X(metaTexLUMIBlendop, 4) X(metaTexDIFFBlendop, 4)              \
                                  X(metaTexREFLBlendop, 4) X(metaTexSPECBlendop, 4) X(metaTexTRANBlendop, 4)          \
                                      X(metaTexBUMPBlendop, 4) X(metaTexCOLRgInput, 4) X(metaTexLUMIgInput, 4)        \
                                          X(metaTexDIFFgInput, 4) X(metaTexREFLgInput, 4) X(metaTexSPECgInput, 4)     \
                                              X(metaTexTRANgInput, 4) X(metaTexBUMPgInput, 4)                         \
                                                  X(sphericalEnvmapAvailable, 1) X(cubemapAvailable, 1)               \
                                                      X(numBoneWeights, 1) X(displacement, 1)

#define TESSALINE_SHADER_CONSTANTS(X)                                                                                \
  X(matWorldViewProj, 16)                                                                                            \
  X(matWorldView, 12)                                                                                                \
  X(matWorldViewNormalized, 9)                                                                                       \
  X(matWorldWT, 12)                                                                                                  \
  X(matWorldLightviewLightprojShadowbias, 16) X(matBone, 12288) X(time, 1) X(cylindricalScale, 1)                    \
      X(ambientLightColor, 3) X(distantLightColor, 24) X(distantLightDir, 24) X(pointLightColor, 24)                 \
          X(pointLightPos, 24) X(pointLightAttenuation, 24) X(spotLightColor, 24) X(spotLightPos, 24)                \
              X(spotLightDir, 24) X(spotLightCosTheta, 8) X(spotLightCosThetaMinusCosPhi, 8)                         \
                  X(spotLightAttenuation, 24) X(cameraPos, 3) X(srfColor, 4) X(srfLighting, 4) X(srfReflectivity, 3) \
                      X(srfAddTransparency, 1) X(metaTexCOLROpacity, 12) X(metaTexLUMIOpacity, 4)                    \
                          X(metaTexDIFFOpacity, 4) X(metaTexREFLOpacity, 4) X(metaTexSPECOpacity, 4)                 \
                              X(metaTexTRANOpacity, 4) X(metaTexBUMPOpacity, 4) X(metaTexCOLRgParam, 16)             \
                                  X(metaTexLUMIgParam, 16) X(metaTexDIFFgParam, 16) X(metaTexREFLgParam, 16)         \
                                      X(metaTexSPECgParam, 16) X(metaTexTRANgParam, 16) X(metaTexBUMPgParam, 16)

class ShaderFlagTable {
 public:
  explicit ShaderFlagTable(RenderPipeline* owner);
  ShaderFlagTable(const ShaderFlagTable&) = delete;
  ShaderFlagTable& operator=(const ShaderFlagTable&) = delete;

  // The entry named so, or null.
  const ShaderTableEntry<std::int32_t>* find(const char* name) const;
  // Every value of every entry in order: the key of a compiled variant.
  std::vector<std::int32_t> key() const;

  std::vector<ShaderTableEntry<std::int32_t>> entries;
  RenderPipeline* pipeline;
#define TESSALINE_DECLARE(name, count) std::int32_t* name;
  TESSALINE_SHADER_FLAGS(TESSALINE_DECLARE)
#undef TESSALINE_DECLARE
};

inline constexpr int kBonePaletteSize = 1024;
inline constexpr int kTextureMatrixCount = 8;

class ShaderConstantTable {
 public:
  explicit ShaderConstantTable(RenderPipeline* owner);
  ShaderConstantTable(const ShaderConstantTable&) = delete;
  ShaderConstantTable& operator=(const ShaderConstantTable&) = delete;

  const ShaderTableEntry<float>* find(const char* name) const;

  // Bone i of the palette and its 12 "matBone" floats (rows 0-3, columns
  // 0-2). Indices outside the palette are ignored.
  void setBoneMatrix(int index, const Matrix4x3& m);
  // World x view, world x view x projection, the normalised 3x3 part and
  // the world's 4x3 part; nothing while `derivedValid` is set. Whoever
  // changes world, view or projection clears it.
  void updateDerivedMatrices();

  std::vector<ShaderTableEntry<float>> entries;
  RenderPipeline* pipeline;
  Matrix4x3 world;
  Matrix4x3 view;
  Matrix4x3 projection;
  Matrix4x3 textureMatrices[kTextureMatrixCount];
  std::unique_ptr<Matrix4x3[]> bonePalette;  // kBonePaletteSize entries
  bool derivedValid = false;
#define TESSALINE_DECLARE(name, count) float* name;
  TESSALINE_SHADER_CONSTANTS(TESSALINE_DECLARE)
#undef TESSALINE_DECLARE
};
