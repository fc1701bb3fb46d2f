#include "game/kart/kart_load.h"

#include "foundation/report.h"
#include "game/kart/kart_tuning.h"
#include "game/track/collision_space.h"
#include "game/track/surface_kind.h"
#include "lightwave/lws_loader.h"
#include "scene/scene.h"

namespace {

constexpr const char* kCharacterNames[kCharacters] = {"Quorrel", "Affe", "Alien", "Kroet", "Pumpkin", "Tod"};
constexpr const char* kCharacterObjects[kCharacters] = {"quorrel", "affe", "alien", "kroet", "pumpkin", "Tod"};
constexpr int kMaxKarts = 6;

// Weapons the contact surfaces see, in the obstacles' collision space, are
// a third of their modelled size.
constexpr float kWeaponScale = 0.3f;

}  // namespace

std::string kartSceneFile(int kart) {
  if (kart < 0 || kart >= kKartModels) return {};
  return "D:\\Tamberlok\\3dobjects_cars\\kart_" + std::to_string(kart + 1) + ".lws";
}

std::string kartObjectFile(int kart) {
  if (kart < 0 || kart >= kKartModels) return {};
  return "D:\\Tamberlok/3dobjects_cars/kart_0" + std::to_string(kart + 1) + ".lwo";
}

std::string characterSceneFile(int character) {
  if (character < 0 || character >= kCharacters) return {};
  return std::string("D:\\Tamberlok\\3dobjects_cars\\") + kCharacterNames[character] + ".lws";
}

std::string characterObjectFile(int character) {
  if (character < 0 || character >= kCharacters) return {};
  return std::string("D:\\Tamberlok/3dobjects_cars/") + kCharacterObjects[character] + ".lwo";
}

bool loadKartScenes(Scene& scene, LoadingProgressDisplay* display, File& archive, int i, int kart, int character) {
  const bool kartLoaded = loadLWS(scene, display, &archive, kartSceneFile(kart), 0.0, 0.7);
  const bool driverLoaded = loadLWS(scene, display, &archive, characterSceneFile(character), 0.0, 0.7);

  // The driver rides on the chassis of its own slot.
  const int n = i + 1;
  SceneItem* vehicle = n <= scene.countItems("Vehicle", -1) ? scene.findItem("Vehicle", -1, n) : nullptr;
  SceneItem* driver = n <= scene.countItems("Character", -1) ? scene.findItem("Character", -1, n) : nullptr;
  if (vehicle && driver) {
    driver->parent = vehicle;
    driver->invalidate();
  }
  return kartLoaded && driverLoaded;
}

void addKartObjects(Scene& scene, File& archive) {
  const float weaponScale[3] = {kWeaponScale, kWeaponScale, kWeaponScale};
  for (const char* name :
       {"D:\\Tamberlok/3dobjects_extras/rakete_1.lwo", "D:\\Tamberlok/3dobjects_cars/laserstrahl1.lwo",
        "D:\\Tamberlok/3dobjects_cars/laserstrahl2.lwo"})
    scene.createPhysicsObject(&archive, name, 0, kSurfaceRocket, kSpaceObstacles, weaponScale);
  for (const char* name : {"D:\\Tamberlok/3dobjects_extras/rakete_2.lwo", "D:\\Tamberlok/3dobjects_extras/bubble.lwo",
                           "D:\\Tamberlok/3dobjects_extras/bubble.lwo", "D:\\Tamberlok/3dobjects_extras/bubble.lwo",
                           "D:\\Tamberlok/3dobjects_extras/magnet.lwo", "D:\\Tamberlok/3dobjects_extras/miene_02.lwo",
                           "D:\\Tamberlok/3dobjects_cars/kart_shadow.lwo"})
    scene.loadObject(&archive, name, 0);
  scene.createObject("CameraTarget");
}

std::unique_ptr<KartTuning> loadKartTuning(File& archive, int engineClass, int character) {
  auto tuning = std::make_unique<KartTuning>();
  tuning->fileName = KartTuning::fileNameFor(engineClass, character);
  tuning->load(archive);  // a missing file keeps the defaults
  return tuning;
}

std::unique_ptr<KartTuning> loadKartIntoScene(Scene& scene, LoadingProgressDisplay* display, File& archive, int i,
                                              int kart, int character, int engineClass) {
  if (i < 0 || i >= kMaxKarts || kart < 0 || kart >= kKartModels || character < 0 || character >= kCharacters ||
      engineClass < 0 || engineClass > 2) {
    reportError("race slot %d: kart %d, character %d or engine class %d out of range\n", i, kart, character,
                engineClass);
    return nullptr;
  }
  if (!loadKartScenes(scene, display, archive, i, kart, character)) return nullptr;
  addKartObjects(scene, archive);
  return loadKartTuning(archive, engineClass, character);
}
