// Feeds arbitrary bytes to the scene loader as the scene file "fuzz.lws",
// on a scene without an engine root (so no model, clip or sound loads),
// then merges the same text into the scene a second time.
#include <cstdint>

#include "fuzz/byte_file.h"
#include "lightwave/lws_loader.h"
#include "scene/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  FuzzByteFile file(data, size);
  Scene scene(nullptr);
  if (loadLWS(scene, nullptr, &file, "fuzz.lws", 0.0, 1.0)) loadLWS(scene, nullptr, &file, "fuzz.lws", 0.0, 1.0);
  return 0;
}
