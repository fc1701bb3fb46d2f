#include "game/kart/kart_items.h"

#include <gtest/gtest.h>

#include "foundation/envelope.h"
#include "game/kart/kart_extras.h"
#include "render/surface.h"
#include "scene/object_item.h"
#include "scene/particle_emitter.h"
#include "scene/particle_renderers.h"
#include "scene/physics_object.h"
#include "scene/scene.h"

namespace {

TEST(KartItemsTest, EachKartFindsItsOwnInstanceAndMissingItemsStayNull) {
  Scene scene{nullptr};
  SceneItem* first = scene.createObject("CameraTarget");
  SceneItem* second = scene.createObject("CameraTarget");
  KartItems kart1;
  kart1.find(scene, 1);
  EXPECT_EQ(kart1.cameraTarget, second);
  EXPECT_EQ(kart1.shadow, nullptr);
  EXPECT_EQ(kart1.bubbles[2], nullptr);
  KartItems kart4;  // the scene holds two targets only
  kart4.find(scene, 4);
  EXPECT_EQ(kart4.cameraTarget, nullptr);
  for (int k : {-1, 6}) {
    KartItems outside;
    outside.find(scene, k);
    EXPECT_EQ(outside.cameraTarget, nullptr) << k;
  }
  EXPECT_NE(first, nullptr);
}

TEST(KartItemsTest, RocketParticlesStartSilentWithTheExplosionTexture) {
  Scene scene{nullptr};
  KartItems items;
  items.createRocketParticles(scene, nullptr);
  ASSERT_NE(items.rocketParticles, nullptr);
  EXPECT_EQ(items.rocketParticles->name, "rocketParticles");
  ASSERT_EQ(scene.emitters.size(), 1u);
  const FXEmitter& e = *scene.emitters[0];
  EXPECT_EQ(items.rocketEmitter, &e);
  EXPECT_EQ(e.birthRate.value, 0.0f);
  EXPECT_FLOAT_EQ(e.lifetime.value, 0.3f);
  EXPECT_FLOAT_EQ(e.lifetimeVariation.value, 1.0f / 3.0f);
  EXPECT_FLOAT_EQ(e.explosion.value, 5.0f);
  EXPECT_FLOAT_EQ(e.swirlBase.value, 0.05f);
  EXPECT_FLOAT_EQ(e.extraVariation.value, 0.0085f);
  EXPECT_FLOAT_EQ(e.generatorSize[2], 0.023f);
  EXPECT_EQ(e.inheritFactor, 1.0f);
  auto* material = dynamic_cast<ParticleMaterial*>(items.rocketParticles->particleRenderer.get());
  ASSERT_NE(material, nullptr);
  EXPECT_FLOAT_EQ(material->particleSize.value, 0.22f);
  ASSERT_NE(material->surface, nullptr);
  EXPECT_EQ(material->surface->name, "fxSurface");
  EXPECT_EQ(material->surface->additiveTransparency.value, 1.0f);
  EXPECT_TRUE(material->surface->imageLayers.empty());  // no texture, no layer
}

TEST(KartItemsTest, AParkedItemIsPlacedAgainOnlyWhenThatChangesSomething) {
  Scene scene{nullptr};
  scene.physics().addCollisionSpace(dHashSpaceCreate(nullptr), "top");
  auto owned = std::make_unique<PhysicsObject>(&scene, 0);
  PhysicsObject* box = owned.get();
  box->geomType = kGeomBox;
  scene.objects.push_back(std::move(owned));
  box->prepareOnce();
  auto geomAt = [&] {
    const dReal* p = dGeomGetPosition(box->geom);
    return Position3{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
  };

  // The first park takes the geom under the track.
  placeKartItem(box, kParked, 0.0);
  EXPECT_FLOAT_EQ(geomAt().y, kParked.y);
  EXPECT_TRUE(box->worldValid);
  // Parked again after a step made its matrices stale: nothing to do.
  box->invalidate();
  placeKartItem(box, kParked, 0.5);
  EXPECT_FALSE(box->worldValid);
  // A geom moved away meanwhile is brought back.
  dGeomSetPosition(box->geom, 1, 2, 3);
  placeKartItem(box, kParked, 0.5);
  EXPECT_FLOAT_EQ(geomAt().y, kParked.y);
  EXPECT_FLOAT_EQ(geomAt().x, kParked.x);

  // Turned while parked: turned; then nothing again.
  const dReal before = dGeomGetRotation(box->geom)[0];
  box->invalidate();
  placeKartItem(box, kParked, 0.7f, 0.0f, 1.0);
  EXPECT_TRUE(box->worldValid);
  EXPECT_NE(dGeomGetRotation(box->geom)[0], before);
  box->invalidate();
  placeKartItem(box, kParked, 0.7f, 0.0f, 1.0);
  EXPECT_FALSE(box->worldValid);

  // An item animated by an envelope follows it while parked.
  Envelope* swing = box->rotation[0].ensureEnvelope();
  ASSERT_NE(swing, nullptr);
  box->invalidate();
  placeKartItem(box, kParked, 0.7f, 0.0f, 1.0);
  EXPECT_TRUE(box->worldValid);
  box->rotation[0].release();

  // Anywhere but the parking place, every placement counts.
  const Position3 road{5.0f, 1.0f, 5.0f};
  placeKartItem(box, road, 2.0);
  box->invalidate();
  placeKartItem(box, road, 2.0);
  EXPECT_TRUE(box->worldValid);
  EXPECT_FLOAT_EQ(geomAt().x, 5.0f);
}

TEST(KartItemsTest, SoundFilesSkipTheEmptySlot) {
  EXPECT_EQ(kartSoundFile(0, 2), "D:\\Tamberlok/soundfx/cart03.wav");
  EXPECT_EQ(kartSoundFile(5, 0), "");
  EXPECT_EQ(kartSoundFile(22, 0), "D:\\Tamberlok/soundfx/raketeflug3.wav");
  EXPECT_EQ(kartSoundFile(23, 0), "");
  EXPECT_EQ(kartSoundFile(0, 3), "");
}

}  // namespace
