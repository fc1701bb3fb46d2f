// Bringing one kart of a race into the track scene: its kart and character
// scenes, the driver seated on the chassis, the kart's weapon and effect
// objects, and its tuning record.
#pragma once

#include <memory>
#include <string>

class File;
class Scene;
struct KartTuning;
struct LoadingProgressDisplay;

inline constexpr int kKartModels = 8;
inline constexpr int kCharacters = 6;

// Scene and object files of kart model 0..7 and character 0..6; empty
// outside.
std::string kartSceneFile(int kart);
std::string kartObjectFile(int kart);
std::string characterSceneFile(int character);
std::string characterObjectFile(int character);

// Loads race slot i (0..5) with kart model `kart` and `character` into
// `scene` from `archive`, then reads the tuning of `engineClass` (0..2) for
// the character. Null after a report when an index is out of range or a
// scene file cannot be loaded; items made before that stay in the scene.
std::unique_ptr<KartTuning> loadKartIntoScene(Scene& scene, LoadingProgressDisplay* display, File& archive, int i,
                                              int kart, int character, int engineClass);
