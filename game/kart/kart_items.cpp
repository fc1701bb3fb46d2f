#include "game/kart/kart_items.h"

#include "game/kart/kart_extras.h"
#include "render/texture_layer.h"
#include "scene/particle_emitter.h"
#include "scene/particle_renderers.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"

namespace {

constexpr const char* kCarFolder = "D:\\Tamberlok/3dobjects_cars/";
constexpr const char* kExtraFolder = "D:\\Tamberlok/3dobjects_extras/";
constexpr const char* kSoundFolder = "D:\\Tamberlok/soundfx/";
constexpr int kMaxKarts = 6;

void park(SceneItem* item) {
  if (!item) return;
  const float away[3] = {0.0f, -100.0f, 0.0f};
  item->setPosition(away);
}

void setOwner(SceneItem* item, int k) {
  if (auto* physics = dynamic_cast<PhysicsObject*>(item)) physics->ownerIndex = k;
}

// Whether the item's placement follows from its own stored values alone: no
// body, parent, target, link, local matrix, aiming controller or animation
// channel. Evaluated again with the same values, it gives the same matrix
// at any time.
bool placedByValuesAlone(SceneItem& item) {
  if (item.body || item.parent || item.target || item.linkedItem || item.rotationLinked || item.localMode != 0)
    return false;
  for (std::int32_t controller : {item.headingController, item.pitchController, item.bankController})
    if (controller != kControllerKeyframed) return false;
  for (const AnimatedFloat* values : {item.position, item.rotation, item.scale})
    for (int i = 0; i < 3; ++i)
      if (values[i].channel) return false;
  return true;
}

// Whether placing the item at `at`, turned to `r` (null: as it is turned),
// would change nothing because it stands parked there already and its geom,
// if it has one, with it. Every step places each kart's unused weapons
// under the track again; those that already wait there need no new matrix.
bool standsParked(SceneItem& item, const Position3& at, const float* r) {
  if (at.x != kParked.x || at.y != kParked.y || at.z != kParked.z || !placedByValuesAlone(item)) return false;
  if (item.position[0].value != at.x || item.position[1].value != at.y || item.position[2].value != at.z) return false;
  // Stored as setRotation stores them: heading, then pitch and bank negated.
  if (r && (item.rotation[0].value != r[1] || item.rotation[1].value != -r[0] || item.rotation[2].value != -r[2]))
    return false;
  auto* physics = dynamic_cast<PhysicsObject*>(&item);
  if (!physics || !physics->geom || physics->transformGeom || physics->geomType == kGeomRay) return true;
  const dReal* p = dGeomGetPosition(physics->geom);
  return p[0] == at.x && p[1] == at.y && p[2] == at.z;
}

}  // namespace

void placeKartItem(SceneItem* item, const Position3& at) {
  if (!item) return;
  const float p[3] = {at.x, at.y, at.z};
  item->setPosition(p);
  item->invalidate();
}

void placeKartItem(SceneItem* item, const Position3& at, double time) {
  if (!item || standsParked(*item, at, nullptr)) return;
  placeKartItem(item, at);
  item->evaluate(time);
}

void placeKartItem(SceneItem* item, const Position3& at, float heading, float pitch, double time) {
  if (!item) return;
  const float r[3] = {pitch, heading, 0.0f};
  if (standsParked(*item, at, r)) return;
  item->setRotation(r, false);
  // The new turn needs a new matrix even where the place is the same.
  placeKartItem(item, at);
  item->evaluate(time);
}

void addColourLayer(Surface& surface, Texture* texture) {
  auto layer = std::make_unique<TextureLayer>();
  layer->blockType = fourCC("IMAP");
  layer->channel = fourCC("COLR");
  layer->enabled = true;
  layer->texture = texture;
  surface.addTextureLayer(std::move(layer));
}

SceneItem* findKartItem(Scene& scene, const std::string& name, int layer, int instance) {
  if (instance < 1 || instance > scene.countItems(name, layer)) return nullptr;
  return scene.findItem(name, layer, instance);
}

KartItems::KartItems() = default;
KartItems::~KartItems() = default;

void KartItems::find(Scene& scene, int k) {
  if (k < 0 || k >= kMaxKarts) return;
  const int n = k + 1;
  const std::string cars = kCarFolder;
  const std::string extras = kExtraFolder;
  cameraTarget = findKartItem(scene, "CameraTarget", -1, n);
  shadow = findKartItem(scene, cars + "kart_shadow.lwo", 0, n);
  magnet = findKartItem(scene, extras + "magnet.lwo", 0, n);
  mine = findKartItem(scene, extras + "miene_02.lwo", 0, n);
  park(magnet);
  park(mine);
  rockets[0] = findKartItem(scene, extras + "rakete_2.lwo", 0, n);
  rockets[1] = findKartItem(scene, extras + "rakete_1.lwo", 0, n);
  for (SceneItem* rocket : rockets) {
    park(rocket);
    setOwner(rocket, k);
  }
  for (int j = 0; j < kBubbles; ++j) {
    bubbles[j] = findKartItem(scene, extras + "bubble.lwo", 0, 4 * k + 2 + j);
    if (!bubbles[j]) continue;
    park(bubbles[j]);
    const float small[3] = {0.2f, 0.2f, 0.2f};
    bubbles[j]->setScale(small);
  }
  weight = findKartItem(scene, extras + "16_tonnen.lwo", 0, n);
  park(weight);
  lasers[0] = findKartItem(scene, cars + "laserstrahl1.lwo", 0, n);
  lasers[1] = findKartItem(scene, cars + "laserstrahl2.lwo", 0, n);
  for (SceneItem* laser : lasers) {
    park(laser);
    setOwner(laser, k);
  }
  for (int layer = 0; layer < 4; ++layer) {
    explosionParts[layer] = findKartItem(scene, cars + "explosion.lwo", layer, n);
    explosionParts[4 + layer] = findKartItem(scene, cars + "explosion2.lwo", layer, n);
  }
  for (int j = 0; j < kSmoke; ++j)
    smoke[j] = findKartItem(scene, cars + "rauch" + std::to_string(j + 2) + ".lwo", 0, n);
}

void KartItems::createRocketParticles(Scene& scene, Texture* explosionTexture) {
  rocketParticles = scene.createObject("rocketParticles");
  auto emitter = std::make_unique<FXEmitter>(rocketParticles);
  emitter->birthRate.value = 0.0f;  // off until a rocket flies
  emitter->lifetime.value = 0.3f;
  emitter->lifetimeVariation.value = 1.0f / 3.0f;
  emitter->explosion.value = 5.0f;
  emitter->swirlBase.value = 0.05f;
  emitter->extraVariation.value = 0.0085f;
  for (float& size : emitter->generatorSize) size = 0.023f;
  emitter->inheritFactor = 1.0f;
  rocketEmitter = emitter.get();
  scene.emitters.push_back(std::move(emitter));

  auto material = std::make_unique<ParticleMaterial>(scene.pipeline);
  material->particleSize.value = 0.22f;
  material->surface = std::make_unique<Surface>(scene.root, "fxSurface");
  material->surface->additiveTransparency.value = 1.0f;
  material->surface->luminosity.value = 1.0f;
  addColourLayer(*material->surface, explosionTexture);
  // Without a device there is nothing to draw into yet.
  if (scene.pipeline) material->createBuffers();
  rocketParticles->particleRenderer = std::move(material);
}

std::string kartSoundFile(int slot, int engineClass) {
  static constexpr const char* kFiles[KartItems::kSoundSlots] = {nullptr,
                                                                 "grenade02.wav",
                                                                 "kart_hit_rakete.wav",
                                                                 "lachen04.wav",
                                                                 "kart_extra.wav",
                                                                 nullptr,
                                                                 "fallen01.wav",
                                                                 "kart_repos.wav",
                                                                 "kanone_schrumpfen01.wav",
                                                                 "turbooil.wav",
                                                                 "shield04.wav",
                                                                 "rakete.wav",
                                                                 "kart_speedup.wav",
                                                                 "kart_hit_objekt.wav",
                                                                 "kanone_seife01.wav",
                                                                 "laser_shot.wav",
                                                                 "magnet.wav",
                                                                 "werfen01.wav",
                                                                 "carhit06.wav",
                                                                 "gewicht.wav",
                                                                 "kart_hit_wand.wav",
                                                                 "shrink1.wav",
                                                                 "raketeflug3.wav"};
  if (slot < 0 || slot >= KartItems::kSoundSlots) return {};
  if (slot == kSoundEngine) {
    if (engineClass < 0 || engineClass > 2) return {};
    return std::string(kSoundFolder) + "cart0" + std::to_string(engineClass + 1) + ".wav";
  }
  return kFiles[slot] ? std::string(kSoundFolder) + kFiles[slot] : std::string();
}
