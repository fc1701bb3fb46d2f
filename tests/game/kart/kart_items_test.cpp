#include "game/kart/kart_items.h"

#include <gtest/gtest.h>

#include "render/surface.h"
#include "scene/object_item.h"
#include "scene/particle_emitter.h"
#include "scene/particle_renderers.h"
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

TEST(KartItemsTest, SoundFilesSkipTheEmptySlot) {
  EXPECT_EQ(kartSoundFile(0, 2), "D:\\Tamberlok/soundfx/cart03.wav");
  EXPECT_EQ(kartSoundFile(5, 0), "");
  EXPECT_EQ(kartSoundFile(22, 0), "D:\\Tamberlok/soundfx/raketeflug3.wav");
  EXPECT_EQ(kartSoundFile(23, 0), "");
  EXPECT_EQ(kartSoundFile(0, 3), "");
}

}  // namespace
