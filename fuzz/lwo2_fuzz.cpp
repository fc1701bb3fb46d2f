// Feeds arbitrary bytes to the LightWave object loader as "object.lwo" of a
// scene over the recording device, then prepares every layer it made, so
// the geometry build sees whatever polygons, points and maps got through.
// The input is a file set (fuzz/file_set.h): the files the object names
// (a clip's ".dds", else its picture) are the parts after the object, so
// the input decides which exist and pictures reach their decoders.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "foundation/file_data.h"
#include "foundation/report.h"
#include "fuzz/file_set.h"
#include "fuzz/recording_pipeline.h"
#include "lightwave/lwo2_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  g_messageLevel = 0;
  // No ".dds" cache: a folder that cannot be made, so no run reads what an
  // earlier one wrote.
  setenv("TESSALINE_TEXTURE_CACHE", "/proc/self/no-texture-cache", 1);
  // Pictures the object names decode from the input: keep them small.
  setImagePixelLimit(256 * 256);
  RecordingPipeline& harness = RecordingPipeline::instance();
  if (!harness.pipeline()) return 0;
  FuzzFileSet files(data, size, "object.lwo");
  std::unique_ptr<LWOModel> model = loadLWO2File(harness.scene(), &files, "object.lwo");
  if (model) {
    for (auto& layer : model->layers) {
      if (layer) layer->prepare(true);
    }
    // The textures it made load as the scene root would load them.
    for (auto& texture : harness.root().textures) texture->load();
    harness.root().models.push_back(std::move(model));
  }
  harness.emptyRoot();
  return 0;
}
