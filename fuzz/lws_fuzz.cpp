// Feeds arbitrary bytes to the scene loader as the scene file "fuzz.lws".
// The input is a file set (fuzz/file_set.h): the scene is its first part.
// First on a scene without an engine root (so no model, clip or sound
// loads), merging the same text into the scene a second time; then on a
// scene of a root over the recording device, where the objects, pictures
// and sounds the scene names are the parts after it, and what loaded is
// prepared as the root prepares its scenes.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "foundation/file_data.h"
#include "foundation/report.h"
#include "fuzz/file_set.h"
#include "fuzz/recording_pipeline.h"
#include "lightwave/lwo2_loader.h"
#include "lightwave/lws_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  g_messageLevel = 0;
  {
    FuzzFileSet file(data, size, "fuzz.lws");
    Scene scene(nullptr);
    if (loadLWS(scene, nullptr, &file, "fuzz.lws", 0.0, 1.0)) loadLWS(scene, nullptr, &file, "fuzz.lws", 0.0, 1.0);
  }

  setenv("TESSALINE_TEXTURE_CACHE", "/proc/self/no-texture-cache", 1);
  setImagePixelLimit(256 * 256);
  RecordingPipeline& harness = RecordingPipeline::instance();
  if (!harness.pipeline()) return 0;
  static const bool installed = (installLightWaveLoaders(), true);
  (void)installed;
  SceneRoot& root = harness.root();
  FuzzFileSet files(data, size, "fuzz.lws");
  root.addScene(std::make_unique<Scene>(&root));
  Scene& scene = *root.scenes.back();
  if (loadLWS(scene, nullptr, &files, "fuzz.lws", 0.0, 1.0)) {
    // What SceneRoot::prepareScenes does, for this scene alone.
    for (auto& texture : root.textures) {
      if (!texture->loaded) texture->load();
      texture->preload();
    }
    for (auto& model : root.models) model->prepared = true;
    scene.prepare(nullptr, 0.0, 1.0);
  }
  root.scenes.pop_back();
  harness.emptyRoot();
  return 0;
}
