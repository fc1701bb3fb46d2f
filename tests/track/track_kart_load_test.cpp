// Six karts with their drivers from the sample archive, merged into track 0
// as the race loads them (karts 0-5 with drivers 0-5): every kart finds its
// chassis, collision box, engine, driver, wheels, weapons and both actors
// with all their motions; its own bubble stays out of the three the race
// adds; the parts stand where a kart and a driver have them; karts and
// drivers differ in colour; and the shield, ice block and bubble motions
// bring a visible part round the kart.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "foundation/channel_group.h"
#include "foundation/file_data.h"
#include "foundation/ref_counted.h"
#include "game/kart/kart_items.h"
#include "game/kart/kart_load.h"
#include "game/kart/kart_motions.h"
#include "game/kart/kart_tuning.h"
#include "render/surface.h"
#include "scene/surface_render_object.h"
#include "tests/track/track_fixture.h"

namespace {

constexpr int kKarts = 6;
const std::string kBubble = "D:\\Tamberlok/3dobjects_extras/bubble.lwo";

class TrackKarts : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    root = std::make_unique<SceneRoot>(pipeline.get(), "race");
    scene = loader.load(*root);
    ASSERT_NE(scene, nullptr);
    for (int i = 0; i < kKarts; ++i) {
      auto tuning = loadKartIntoScene(*scene, nullptr, trackArchive(), i, i, i, 1);
      ASSERT_NE(tuning, nullptr) << "kart " << i;
    }
  }
  void TearDown() override {
    root.reset();
    PipelineTest::TearDown();
  }
  SceneItem* item(const std::string& name, int layer, int instance) {
    return instance <= scene->countItems(name, layer) ? scene->findItem(name, layer, instance) : nullptr;
  }
  // The lowest point of an item's mesh in its parent's frame (the kart's
  // chassis frame for the parts it carries).
  float lowestPoint(SceneItem* part) {
    SurfaceRenderObject* mesh = dynamic_cast<SurfaceRenderObject*>(part->firstMesh());
    if (!mesh || mesh->points.empty()) return 1e9f;
    float low = 1e9f;
    for (const Position3& p : mesh->points) low = std::min(low, p.y - part->pivot.y + part->position[1].value);
    return low;
  }

  TrackLoader loader;
  std::unique_ptr<SceneRoot> root;
  Scene* scene = nullptr;
};

float colourGap(Surface* a, Surface* b) {
  return std::max({std::fabs(a->red.value - b->red.value), std::fabs(a->green.value - b->green.value),
                   std::fabs(a->blue.value - b->blue.value)});
}

TEST_F(TrackKarts, EveryKartFindsWhatTheRaceLooksUpAndHasItsOwnColours) {
  EXPECT_EQ(lastMessage(), "");
  EXPECT_EQ(scene->cameras.size(), 1u + kKarts) << "the karts bring a camera each, the drivers none";
  for (const char* name : {"Vehicle", "col", "Motor", "Character", "CameraTarget"})
    EXPECT_EQ(scene->countItems(name, -1), kKarts) << name;
  EXPECT_EQ(scene->countItems(kBubble, 0), 4 * kKarts);

  for (int k = 0; k < kKarts; ++k) {
    SCOPED_TRACE("kart " + std::to_string(k));
    SceneItem* vehicle = item("Vehicle", -1, k + 1);
    ASSERT_NE(vehicle, nullptr);
    auto* col = dynamic_cast<PhysicsObject*>(item("col", -1, k + 1));
    ASSERT_NE(col, nullptr);
    EXPECT_EQ(col->surfaceKind, 6);
    EXPECT_EQ(col->spaceIndex, kSpaceKarts);
    ASSERT_NE(item("Motor", -1, k + 1), nullptr);
    EXPECT_EQ(item("Motor", -1, k + 1)->parent, vehicle);
    SceneItem* driver = item("Character", -1, k + 1);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->parent, vehicle);

    // The model: its body and the four wheels, each once in the scene,
    // riding the chassis, turning about its hub at the corners, and
    // standing on the road under the body.
    const std::string model = kartObjectFile(k);
    SceneItem* body = item(model, 0, 1);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->parent, vehicle);
    const float bodyLow = lowestPoint(body);
    for (int wheel = 0; wheel < 4; ++wheel) {
      const int layer = 2 + wheel;
      ASSERT_EQ(scene->countItems(model, layer), 1) << "layer " << layer;
      SceneItem* w = scene->findItem(model, layer, 1);
      EXPECT_EQ(w->parent, vehicle);
      const float pivot[3] = {w->pivot.x, w->pivot.y, w->pivot.z};
      for (int a = 0; a < 3; ++a) EXPECT_FLOAT_EQ(w->position[a].value, pivot[a]) << "layer " << layer;
      EXPECT_EQ(w->pivot.x > 0, wheel % 2 == 1) << "left wheels on layers 2 and 4";
      EXPECT_EQ(w->pivot.z > 0, wheel < 2) << "front wheels on layers 2 and 3";
      EXPECT_GT(std::fabs(w->pivot.x), 0.3f);
      EXPECT_NEAR(lowestPoint(w), 0.0f, 0.01f) << "layer " << layer << " stands on the road";
      EXPECT_GT(bodyLow, lowestPoint(w) + 0.03f) << "the body rides above the road";
    }

    // The driver's object under its null, its head on it.
    const std::string figure = characterObjectFile(k);
    SceneItem* torso = item(figure, 0, 1);
    SceneItem* head = item(figure, 1, 1);
    ASSERT_NE(torso, nullptr);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(torso->parent, driver);
    EXPECT_EQ(head->parent, torso);

    // Both actors, every motion each moving something.
    KartMotions motions;
    motions.find(*scene, k);
    ASSERT_NE(motions.m_driver, nullptr);
    ASSERT_NE(motions.m_body, nullptr);
    EXPECT_EQ(motions.m_driver->motions.size(), static_cast<std::size_t>(KartMotions::kDriverMotions));
    EXPECT_EQ(motions.m_body->motions.size(), static_cast<std::size_t>(KartMotions::kBodyMotions));
    for (int m = 0; m < KartMotions::kDriverMotions; ++m) {
      ASSERT_NE(motions.driverMotion(static_cast<KartMotions::Driver>(m)), nullptr) << "driver motion " << m;
      EXPECT_FALSE(motions.driverMotion(static_cast<KartMotions::Driver>(m))->groups.empty()) << "driver motion " << m;
    }
    for (int m = 0; m < KartMotions::kBodyMotions; ++m) {
      ASSERT_NE(motions.bodyMotion(static_cast<KartMotions::Body>(m)), nullptr) << "kart motion " << m;
      EXPECT_FALSE(motions.bodyMotion(static_cast<KartMotions::Body>(m))->groups.empty()) << "kart motion " << m;
    }
    for (SceneItem* actorItem : motions.m_body->items) EXPECT_NE(actorItem->parent, nullptr) << "kart parts ride it";
    EXPECT_EQ(motions.m_driver->findItem("figur"), torso);

    // The weapons and effects, the bubbles the race added among them; the
    // kart's own bubble (shown round it when caught) is the one before.
    KartItems items;
    items.find(*scene, k);
    EXPECT_NE(items.cameraTarget, nullptr);
    EXPECT_NE(items.shadow, nullptr);
    EXPECT_NE(items.magnet, nullptr);
    EXPECT_NE(items.mine, nullptr);
    EXPECT_NE(items.weight, nullptr);
    for (SceneItem* p : items.rockets) EXPECT_NE(p, nullptr);
    for (SceneItem* p : items.lasers) EXPECT_NE(p, nullptr);
    for (SceneItem* p : items.explosionParts) EXPECT_NE(p, nullptr);
    for (SceneItem* p : items.smoke) EXPECT_NE(p, nullptr);
    for (int j = 0; j < KartItems::kBubbles; ++j) {
      EXPECT_EQ(items.bubbles[j], item(kBubble, 0, 4 * k + 2 + j));
      ASSERT_NE(items.bubbles[j], nullptr);
      EXPECT_EQ(items.bubbles[j]->parent, nullptr);
    }
    ASSERT_NE(item(kBubble, 0, 4 * k + 1), nullptr);
    EXPECT_EQ(item(kBubble, 0, 4 * k + 1)->parent, vehicle);

    for (const std::string& surface :
         {model + "@kart chassis", model + "@kart metall", model + "@reifen", figure + "@body"}) {
      Surface* s = root->findSurface(surface);
      ASSERT_NE(s, nullptr) << surface;
      EXPECT_TRUE(s->defined) << surface;
    }
  }

  for (int a = 0; a < kKarts; ++a)
    for (int b = a + 1; b < kKarts; ++b) {
      EXPECT_GT(colourGap(root->findSurface(kartObjectFile(a) + "@kart chassis"),
                          root->findSurface(kartObjectFile(b) + "@kart chassis")),
                0.2f)
          << "karts " << a << " and " << b;
      EXPECT_GT(colourGap(root->findSurface(characterObjectFile(a) + "@body"),
                          root->findSurface(characterObjectFile(b) + "@body")),
                0.2f)
          << "drivers " << a << " and " << b;
    }
}

// The explosion particles are drawn adding their picture: a bright shape
// (a yellow star, a pale blue crystal, a magenta spiral) on black.
TEST(KartPictures, ExplosionPicturesAreBrightShapesOnBlack) {
  struct Picture {
    const char* name;
    int strongest, weakest;  // colour channels: 0 red, 1 green, 2 blue
  };
  for (const Picture& p : {Picture{"stern.bmp", 0, 2}, Picture{"frost.bmp", 2, 0}, Picture{"shrink.bmp", 0, 1}}) {
    const std::string name = std::string("D:\\Tamberlok/textures_props/") + p.name;
    RefPtr<Image> image(loadImage(trackArchive(), name.c_str(), false));
    ASSERT_TRUE(image) << name;
    ASSERT_EQ(image->width(), 64);
    ASSERT_EQ(image->pixelCount(), 64 * 64);
    EXPECT_EQ(image->pixel(0, 0) & 0xFFFFFF, 0u) << name;
    EXPECT_EQ(image->pixel(63, 63) & 0xFFFFFF, 0u) << name;
    long sum[3] = {0, 0, 0};
    int bright = 0;
    for (int i = 0; i < image->pixelCount(); ++i) {
      const std::uint32_t c = image->pixels()[i];
      for (int channel = 0; channel < 3; ++channel) sum[channel] += (c >> (16 - 8 * channel)) & 0xFF;
      if (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) > 400) ++bright;
    }
    EXPECT_GT(bright, 64) << name << " shows a shape";
    EXPECT_LT(bright, 64 * 64 / 2) << name << " keeps its black";
    EXPECT_GT(sum[p.strongest], sum[p.weakest] * 3 / 2) << name;
  }
}

// How far an item's mesh reaches in the world from its place, and where
// that place is.
struct Pose {
  float reach;
  float x, y, z;
};

Pose poseOf(SceneItem* part, double t) {
  Matrix4x3 world;
  part->invalidate();
  part->worldMatrix(world, t, false);
  float scale = 0.0f, radius = 0.0f;
  for (int row = 0; row < 3; ++row)
    scale = std::max(scale, std::hypot(world.m[4 * row], world.m[4 * row + 1], world.m[4 * row + 2]));
  if (auto* mesh = dynamic_cast<SurfaceRenderObject*>(part->firstMesh()))
    for (const Position3& p : mesh->points)
      radius = std::max(radius, std::hypot(p.x - part->pivot.x, p.y - part->pivot.y, p.z - part->pivot.z));
  return {scale * radius, world.m[12], world.m[13], world.m[14]};
}

TEST_F(TrackKarts, ShieldIceAndBubbleEachBringAPartRoundTheKart) {
  constexpr int k = 3;
  KartMotions motions;
  motions.find(*scene, k);
  ASSERT_NE(motions.m_body, nullptr);
  SceneItem* vehicle = scene->findItem("Vehicle", -1, k + 1);
  const Pose kart = poseOf(vehicle, 0.0);
  // The parts the kart carries that have something to show.
  std::vector<SceneItem*> parts;
  for (const auto& object : scene->objects) {
    if (!object->firstMesh()) continue;
    for (SceneItem* up = object->parent; up; up = up->parent)
      if (up == vehicle) parts.push_back(object.get());
  }
  ASSERT_GT(parts.size(), 10u);

  for (KartMotions::Body which : {KartMotions::kBodyShield, KartMotions::kBodyIceBlock, KartMotions::kBodyBubble}) {
    SCOPED_TRACE("kart motion " + std::to_string(which));
    motions.startDriving();
    std::vector<Pose> before;
    for (SceneItem* p : parts) before.push_back(poseOf(p, 1.0));
    MixerMotion* motion = motions.bodyMotion(which);
    ASSERT_NE(motion, nullptr);
    motion->setOffset(0.0f);
    motion->setIntensity(1.0f);
    std::vector<SceneItem*> shown;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const Pose after = poseOf(parts[i], 1.0);
      if (before[i].reach > 0.01f || after.reach < 1.0f) continue;
      // Hidden in the kart before, now reaching round it.
      shown.push_back(parts[i]);
      EXPECT_LT(std::hypot(after.x - kart.x, after.z - kart.z), 0.3f);
      EXPECT_NEAR(after.y - kart.y, 0.45f, 0.15f);
    }
    ASSERT_EQ(shown.size(), 1u);
    motion->setIntensity(0.0f);
    EXPECT_LT(poseOf(shown[0], 1.0).reach, 0.01f) << "hidden again when it ends";
  }
}

}  // namespace
