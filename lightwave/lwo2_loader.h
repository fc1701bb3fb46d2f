// The LightWave object loader: an LWO2 file (big-endian IFF) becomes a model
// of the scene's root with one render object per layer, and the surfaces,
// textures and envelopes it names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class File;
class LWOModel;
class Scene;

// Opens `name` through a clone of `prototype`; null after the report
// "%s is not an LWO2 file!" when its form type is not LWO2.
std::unique_ptr<LWOModel> loadLWO2File(Scene& scene, File* prototype, const std::string& name);
// The object file's bytes from offset 0 (the form header is not checked
// here); null when a surface chunk names a surface the file did not list.
std::unique_ptr<LWOModel> loadLWO2(Scene& scene, File* prototype, const std::vector<std::uint8_t>& bytes,
                                   const std::string& name);

// Makes scenes load their scene files and object files through these loaders.
void installLightWaveLoaders();
