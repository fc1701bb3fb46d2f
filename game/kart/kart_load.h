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

// The steps of bringing race slot i into the scene, which the race load
// takes one by one (it goes on without a scene that is missing):
// The kart's and the driver's scenes, the driver seated on the slot's
// chassis; false after a report when either scene file cannot be loaded
// (the other is loaded all the same).
bool loadKartScenes(Scene& scene, LoadingProgressDisplay* display, File& archive, int i, int kart, int character);
// The weapon and effect objects every kart brings, and its camera target.
void addKartObjects(Scene& scene, File& archive);
// The tuning of `engineClass` (0..2) for the character; a missing file
// keeps the defaults.
std::unique_ptr<KartTuning> loadKartTuning(File& archive, int engineClass, int character);

// Loads race slot i (0..5) with kart model `kart` and `character` into
// `scene` from `archive`, then reads the tuning of `engineClass` (0..2) for
// the character. Null after a report when an index is out of range or a
// scene file cannot be loaded; items made before that stay in the scene.
std::unique_ptr<KartTuning> loadKartIntoScene(Scene& scene, LoadingProgressDisplay* display, File& archive, int i,
                                              int kart, int character, int engineClass);
