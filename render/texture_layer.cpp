// Texture layers: mapping matrices and texture-coordinate generation.
#include "render/texture_layer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "render/stage_plan.h"
#include "render/vertex_layout.h"

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;
constexpr float kPi = std::numbers::pi_v<float>;

template <typename Map>
void setSlot(std::vector<Map*>& slots, std::size_t index, Map* map) {
  if (slots.size() <= index) slots.resize(index + 1, nullptr);
  if (map) map->addRef();
  if (slots[index]) slots[index]->release();
  slots[index] = map;
}

template <typename Map>
void dropSlots(std::vector<Map*>& slots) {
  for (Map* map : slots)
    if (map) map->release();
  slots.clear();
}

// Rows 0-2: the rotation R; row 3: -c R (before scaling and the 0.5 shift).
struct Mapping {
  float r[3][3];
  float t[3];
};

Mapping rotation(float cx, float cy, float cz, float h, float p, float b) {
  const float ch = std::cos(h), sh = std::sin(h), cp = std::cos(p), sp = std::sin(p), cb = std::cos(b),
              sb = std::sin(b);
  const float e1 = sh * cx - ch * cz, e2 = -sh * cz - ch * cx, e3 = e1 * sp - cp * cy;
  Mapping m{};
  m.r[0][0] = cb * ch - sb * sp * sh;
  m.r[0][1] = -cb * sp * sh - sb * ch;
  m.r[0][2] = -cp * sh;
  m.r[1][0] = cp * sb;
  m.r[1][1] = cp * cb;
  m.r[1][2] = -sp;
  m.r[2][0] = sp * sb * ch + cb * sh;
  m.r[2][1] = cb * sp * ch - sb * sh;
  m.r[2][2] = cp * ch;
  m.t[0] = e2 * cb + e3 * sb;
  m.t[1] = e3 * cb - e2 * sb;
  m.t[2] = e1 * cp + cy * sp;
  return m;
}

MappingMatrix toMatrix(const Mapping& m, const float scale[3], float shift) {
  MappingMatrix out{};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) out.m[4 * row + col] = scale[col] * m.r[row][col];
    out.m[4 * row + 3] = 0.0f;
  }
  for (int col = 0; col < 3; ++col) out.m[12 + col] = scale[col] * m.t[col] + shift;
  out.m[15] = 1.0f;
  return out;
}

void transform(const MappingMatrix& m, const float p[3], float q[3]) {
  for (int c = 0; c < 3; ++c) q[c] = p[0] * m.m[c] + p[1] * m.m[4 + c] + p[2] * m.m[8 + c] + m.m[12 + c];
}

void planar(int axis, const float q[3], float out[3]) {
  switch (axis) {
    case 0:
      out[0] = q[2], out[1] = q[1];
      break;
    case 1:
      out[0] = q[0], out[1] = q[2];
      break;
    default:
      out[0] = q[0], out[1] = q[1];
      break;
  }
  out[2] = 0.0f;
}

// Keeps neighbouring u values within half a turn of each other across the
// polygon; vertex 0 is compared with the last vertex before that is repaired.
void repairSeam(SourceVertex* vertices, int first, int count, int set) {
  if (count <= 0) return;
  for (int i = 0; i < count; ++i) {
    const int previous = (i - 1 + count) % count;
    float& u = vertices[first + i].texcoord[set][0];
    const float d = u - vertices[first + previous].texcoord[set][0];
    if (d < -0.5f)
      u += 1.0f;
    else if (d > 0.5f)
      u -= 1.0f;
  }
}

}  // namespace

TextureLayer::TextureLayer() = default;

TextureLayer::~TextureLayer() { release(); }

void TextureLayer::release() {
  dropSlots(uvMaps);
  dropSlots(colorMaps);
  for (AnimatedFloat* v :
       {&amplitude, &centerX, &centerY, &centerZ, &heading, &pitch, &bank, &sizeX, &sizeY, &sizeZ, &opacity,
        &gradientChannels[0], &gradientChannels[1], &gradientChannels[2], &gradientChannels[3]})
    v->release();
  name.clear();
  gradientKeys.clear();
}

void TextureLayer::setUVMap(std::size_t objectLayer, UVMap* map) { setSlot(uvMaps, objectLayer, map); }
void TextureLayer::setColorMap(std::size_t objectLayer, ColorMap* map) { setSlot(colorMaps, objectLayer, map); }

UVMap* TextureLayer::uvMap(std::int32_t objectLayer) const {
  return objectLayer >= 0 && static_cast<std::size_t>(objectLayer) < uvMaps.size() ? uvMaps[objectLayer] : nullptr;
}

ColorMap* TextureLayer::colorMap(std::int32_t objectLayer) const {
  return objectLayer >= 0 && static_cast<std::size_t>(objectLayer) < colorMaps.size() ? colorMaps[objectLayer]
                                                                                      : nullptr;
}

bool TextureLayer::hasAnimatedMapping() const {
  for (const AnimatedFloat* v : {&centerX, &centerY, &centerZ, &heading, &pitch, &bank, &sizeX, &sizeY, &sizeZ})
    if (v->channel) return true;
  return false;
}

MappingMatrix TextureLayer::getMappingMatrixAt(double t) {
  const float cx = centerX.evaluate(t), cy = centerY.evaluate(t), cz = centerZ.evaluate(t);
  const float h = heading.evaluate(t), p = pitch.evaluate(t), b = bank.evaluate(t);
  // A size of 0 is not guarded: it gives infinities, as the data asks.
  const float scale[3] = {1.0f / sizeX.evaluate(t), 1.0f / sizeY.evaluate(t), 1.0f / sizeZ.evaluate(t)};
  return toMatrix(rotation(cx, cy, cz, h, p, b), scale, 0.5f);
}

const MappingMatrix& TextureLayer::getStaticMappingMatrix() {
  if (matrixValid) return mappingMatrix;
  if (projection == kProjectionCylindrical || projection == kProjectionSpherical) {
    const float one[3] = {1.0f, 1.0f, 1.0f};
    mappingMatrix = toMatrix(
        rotation(centerX.value, centerY.value, centerZ.value, heading.value, pitch.value, bank.value), one, 0.0f);
  } else {
    mappingMatrix = getMappingMatrixAt(0.0);
  }
  matrixValid = true;
  return mappingMatrix;
}

void generateTextureCoords(SurfaceStagePlan& plan, SourceVertex* vertices, int first, const MappedPolygon& polygon,
                           const float faceNormal[3], std::int32_t objectLayer) {
  const int count = polygon.cornerCount;
  const int stages = std::min(plan.stageCount, static_cast<std::int32_t>(kMaxPlanStages));
  for (int k = 0; k < stages; ++k) {
    TextureLayer* layer = plan.stages[k];
    if (!layer) continue;
    if (layer->hasAnimatedMapping()) {
      for (int i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) vertices[first + i].texcoord[k][c] = vertices[first + i].position[c];
      return;
    }
    const MappingMatrix& m = layer->getStaticMappingMatrix();
    auto pointOf = [&](int i) { return polygon.points ? polygon.points[i] : -1; };
    switch (layer->projection) {
      case kProjectionPlanar:
      case kProjectionCubic: {
        int axis = layer->axis;
        if (layer->projection == kProjectionCubic) {
          const float ax = std::fabs(faceNormal[0]), ay = std::fabs(faceNormal[1]), az = std::fabs(faceNormal[2]);
          axis = 0;
          float best = ax;
          if (ay > ax && !(az > ay)) axis = 1, best = ay;
          if (az > best) axis = 2;
        }
        for (int i = 0; i < count; ++i) {
          float q[3];
          transform(m, vertices[first + i].position, q);
          planar(axis, q, vertices[first + i].texcoord[k]);
        }
        break;
      }
      case kProjectionCylindrical:
      case kProjectionSpherical: {
        const bool spherical = layer->projection == kProjectionSpherical;
        for (int i = 0; i < count; ++i) {
          float q[3];
          transform(m, vertices[first + i].position, q);
          float* uvw = vertices[first + i].texcoord[k];
          float u = 0, v = 0;
          switch (layer->axis) {
            case 0:
              u = std::atan2(q[2], q[1]) / kTwoPi;
              v = spherical ? std::atan2(q[0], std::sqrt(q[1] * q[1] + q[2] * q[2])) / kPi + 0.5f
                            : q[0] / layer->sizeX.value + 0.5f;
              break;
            case 1:
              u = std::atan2(-q[0], q[2]) / kTwoPi;
              v = spherical ? std::atan2(q[1], std::sqrt(q[0] * q[0] + q[2] * q[2])) / kPi + 0.5f
                            : q[1] / layer->sizeY.value + 0.5f;
              break;
            default:
              u = std::atan2(-q[0], q[1]) / kTwoPi;
              v = spherical ? std::atan2(q[2], std::sqrt(q[0] * q[0] + q[1] * q[1])) / kPi + 0.5f
                            : q[2] / layer->sizeZ.value + 0.5f;
              break;
          }
          uvw[0] = u, uvw[1] = v, uvw[2] = 0.0f;
        }
        repairSeam(vertices, first, count, k);
        for (int i = 0; i < count; ++i) {
          vertices[first + i].texcoord[k][0] *= layer->widthRepeat;
          if (spherical) vertices[first + i].texcoord[k][1] *= layer->heightRepeat;
        }
        break;
      }
      case kProjectionUV:
      case kProjectionVertexMapSolid: {
        const UVMap* map = layer->uvMap(objectLayer);
        for (int i = 0; i < count; ++i) {
          float* uvw = vertices[first + i].texcoord[k];
          const std::array<float, 3>* value = map ? map->valueFor(pointOf(i), polygon.index) : nullptr;
          if (layer->projection == kProjectionUV) {
            uvw[0] = value ? (*value)[0] : 0.0f;
            uvw[1] = value ? (*value)[1] : 0.0f;
            uvw[2] = value ? (*value)[2] : 0.0f;
          } else {
            // Solid mapping of the map's value in place of the position.
            const float p[3] = {value ? (*value)[0] : 0.0f, value ? (*value)[1] : 0.0f, value ? (*value)[2] : 0.0f};
            transform(m, p, uvw);
          }
        }
        break;
      }
      case kProjectionSolid:
        for (int i = 0; i < count; ++i) transform(m, vertices[first + i].position, vertices[first + i].texcoord[k]);
        break;
      default:  // front projection and unknown values
        for (int i = 0; i < count; ++i)
          for (int c = 0; c < 3; ++c) vertices[first + i].texcoord[k][c] = 0.0f;
        break;
    }
  }
}
