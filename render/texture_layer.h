// One texture block of a surface (image, procedural, gradient or vertex
// colour on one shading channel) with its texture mapping, and the
// generation of texture coordinates into vertices by projection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/anim_channel.h"
#include "render/vertex_map.h"

class Texture;
class SurfaceStagePlan;
struct SourceVertex;

// A four-character code as a 32-bit word whose bytes are the characters in
// file order ("TRAN" is T, R, A, N).
constexpr std::uint32_t fourCC(const char (&code)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

enum TextureProjection : std::int32_t {
  kProjectionPlanar = 0,
  kProjectionCylindrical = 1,
  kProjectionSpherical = 2,
  kProjectionCubic = 3,
  kProjectionFront = 4,
  kProjectionUV = 5,
  kProjectionSolid = 13156,
  kProjectionVertexMapSolid = 28024,
};

struct GradientKey {
  float input = 0, red = 0, green = 0, blue = 0, alpha = 0;
  std::int32_t interpolation = 1;
};

// 4 x 4 floats for row vectors; m[4 r + c] is row r, column c.
struct MappingMatrix {
  float m[16];
};

class TextureLayer {
 public:
  TextureLayer();
  ~TextureLayer();
  TextureLayer(const TextureLayer&) = delete;
  TextureLayer& operator=(const TextureLayer&) = delete;

  // Drops the vertex-map references and deletes the envelopes; the layer
  // may be destroyed or reused afterwards.
  void release();

  bool hasAnimatedMapping() const;
  MappingMatrix getMappingMatrixAt(double t);
  // Cached: computed once unless the m4x3 matrix was given.
  const MappingMatrix& getStaticMappingMatrix();

  // Slots by object layer number; each slot holds one reference.
  void setUVMap(std::size_t objectLayer, UVMap* map);
  void setColorMap(std::size_t objectLayer, ColorMap* map);
  UVMap* uvMap(std::int32_t objectLayer) const;
  ColorMap* colorMap(std::int32_t objectLayer) const;

  std::uint32_t blockType = 0xFFFFFFFFu;  // none
  std::uint32_t channel = 0;
  std::int32_t opacityType = 0;
  AnimatedFloat opacity{1.0f};
  float rgbLevel = 1.0f;
  float rgbOffset = 0.0f;
  bool enabled = true;
  bool negative = false;
  bool clamp = false;
  Texture* texture = nullptr;  // not owned: textures belong to the scene root
  AnimatedFloat gradientChannels[4];
  std::vector<GradientKey> gradientKeys;
  float gradientStart = 0.0f, gradientEnd = 0.0f;
  std::int32_t proceduralIndex = -1;
  std::string name;
  AnimatedFloat centerX, centerY, centerZ;
  AnimatedFloat heading, pitch, bank;
  AnimatedFloat sizeX{1.0f}, sizeY{1.0f}, sizeZ{1.0f};
  float widthRepeat = 1.0f, heightRepeat = 1.0f;
  std::int32_t axis = 0;
  std::int32_t projection = -1;
  std::int32_t wrapU = 1, wrapV = 1;  // device address modes
  float maxAnisotropy = 1.0f;
  bool antialiasing = false;
  bool pixelBlending = true;
  AnimatedFloat amplitude;
  bool matrixValid = false;
  MappingMatrix mappingMatrix{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
  std::vector<UVMap*> uvMaps;        // one reference per non-null slot
  std::vector<ColorMap*> colorMaps;  // one reference per non-null slot
  std::int32_t ordinal = 0;
};

// A polygon being mapped: its index in the object layer (for per-polygon
// vertex-map values) and the points of its corners in vertex order.
struct MappedPolygon {
  std::int32_t index = -1;
  std::int32_t cornerCount = 0;
  const std::int32_t* points = nullptr;
};

// Fills texture-coordinate set k of vertices first .. first + cornerCount - 1
// for every stage k of the plan. Stage layers with an animated mapping get
// raw positions (the passes transform them) and end the walk.
void generateTextureCoords(SurfaceStagePlan& plan, SourceVertex* vertices, int first, const MappedPolygon& polygon,
                           const float faceNormal[3], std::int32_t objectLayer);
