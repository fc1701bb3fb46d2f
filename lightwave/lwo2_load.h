// The state of one object-file load, shared by the chunk handlers: the
// layers read so far, the surface table, and the envelopes and clips by the
// file's own index.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/envelope.h"
#include "foundation/matrix.h"
#include "lightwave/lwo2_cursor.h"
#include "render/vertex_map.h"
#include "scene/surface_render_object.h"

class File;
class Scene;
class SceneRoot;
class Surface;
class Texture;
class TextureLayer;
struct AnimatedFloat;

// One LAYR chunk and what follows it, until the model is built.
struct Lwo2Layer {
  int number = 0;
  std::string name;
  Position3 pivot;
  std::vector<SurfacePolygon> polygons;
  std::vector<Position3> points;
  bool hasTransparent = false;
  // One reference each, the loader's.
  std::vector<UVMap*> uvMaps;
  std::vector<ColorMap*> colorMaps;
  std::vector<WeightMap*> weightMaps;

  UVMap* findUVMap(const std::string& mapName) const;
  ColorMap* findColorMap(const std::string& mapName) const;
};

struct Lwo2Load {
  // Indices at or above this name no envelope or clip.
  static constexpr std::uint32_t kTableSize = 32768;

  Lwo2Load(Scene& scene, File* prototype, std::string modelName);
  ~Lwo2Load();  // drops the loader's references to the vertex maps left

  // The envelope of index `index` as a copy of the caller's own, or null
  // when the file defined none there.
  std::unique_ptr<Envelope> envelopeCopy(std::uint32_t index) const;
  // value plus the envelope of `index`: a U2 value pair as surfaces use it.
  void readAnimated(Lwo2Cursor& in, AnimatedFloat& target);
  Texture* clip(std::uint32_t index) const;
  Surface* surfaceByKey(const std::string& surfaceName, bool create);

  Scene& scene;
  SceneRoot& root;
  File* prototype;
  std::string modelName;
  std::map<std::uint32_t, std::unique_ptr<Envelope>> envelopes;
  std::map<std::uint32_t, Texture*> clips;  // the root owns the textures
  std::vector<std::unique_ptr<Lwo2Layer>> layers;
  Lwo2Layer* current = nullptr;
  int highestLayer = -1;
  std::vector<Surface*> surfaces;  // the root owns them
  bool haveTags = false;
  bool failed = false;
};

// The chunk handlers, each given its chunk's bytes.
void readSurface(Lwo2Load& load, Lwo2Cursor chunk);
void readVertexMap(Lwo2Load& load, Lwo2Cursor chunk);
void readDiscontinuousVertexMap(Lwo2Load& load, Lwo2Cursor chunk);
void readEnvelope(Lwo2Load& load, Lwo2Cursor chunk);
void readClip(Lwo2Load& load, Lwo2Cursor chunk);
// Binds the maps of that name of every layer read so far, by layer number.
void bindUVMaps(Lwo2Load& load, TextureLayer& layer, const std::string& mapName);
void bindColorMaps(Lwo2Load& load, TextureLayer& layer, const std::string& mapName);
