// Cameras, the item projection and clip tests, bones, level of detail,
// attached sounds and culling planes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "render/render_pipeline.h"
#include "scene/bone_item.h"
#include "scene/camera_item.h"
#include "scene/culling_plane.h"
#include "scene/item_math.h"
#include "scene/lwo_model.h"
#include "scene/object_item.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "scene/surface_render_object.h"
#include "sound/sound_buffer.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/scene/scene_test_items.h"

namespace {

class ItemsTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    root = std::make_unique<SceneRoot>(pipeline.get(), "test");
    scene = std::make_unique<Scene>(root.get());
  }
  void TearDown() override {
    scene.reset();
    root.reset();
    PipelineTest::TearDown();
  }
  std::unique_ptr<SceneRoot> root;
  std::unique_ptr<Scene> scene;
};

TEST_F(ItemsTest, ACameraOfZoom3Point2HasFocal100AndItsAxisModesTurnTheFrame) {
  CameraItem camera(scene.get(), 0);
  pipeline->horizontalFov = 90.0f;  // tan(45 degrees) = 1
  pipeline->verticalFov = 60.0f;
  camera.computeProjection(0.0);
  EXPECT_FLOAT_EQ(pipeline->focalValue, 100.0f);
  EXPECT_NEAR(camera.projection[0], 1.0f, 1e-6f);
  EXPECT_NEAR(camera.projection[5], 1.0f / std::tan(std::numbers::pi_v<float> / 6), 1e-5f);
  EXPECT_EQ(camera.projection[8], 0.0f) << "mono: no eye shift";
  EXPECT_EQ(camera.projection[11], 1.0f);

  const float at[3] = {1, 2, 3};
  camera.setPosition(at);
  Matrix4x3 plain, withAxis;
  camera.worldMatrix(plain, 0.0, false);
  camera.worldMatrix(withAxis, 0.0, true);
  EXPECT_EQ(std::memcmp(plain.m, withAxis.m, sizeof plain.m), 0) << "mode 2 keeps the item's frame";

  camera.axisMode = 0;
  camera.axisValid = false;
  camera.worldMatrix(withAxis, 0.0, true);
  // Mode 0 takes the viewing x axis onto the item's -z and z onto +x.
  float x[3] = {1, 0, 0};
  transformPoint(x, withAxis);
  EXPECT_NEAR(x[0], 1.0f, 1e-6f);
  EXPECT_NEAR(x[1], 2.0f, 1e-6f);
  EXPECT_NEAR(x[2], 2.0f, 1e-6f);

  pipeline->eye = 1;  // right eye: shifted by half the scaled separation
  camera.computeProjection(0.0);
  EXPECT_NEAR(camera.projection[8], 1.0f * 0.06f * camera.projection[0] * 0.5f, 1e-7f);
}

TEST_F(ItemsTest, DepthFittingClampsToTheItemsRangeAndClipTestsAreInclusive) {
  ObjectItem item(scene.get(), 1);
  item.farClip = 100.0f;
  const float* p = item.projectionForDepthRange(0.0, 0.0f, 1000.0f);
  const float n = 0.01f, f2 = 100.0001f;
  EXPECT_NEAR(p[10], f2 / (f2 - n), 1e-5f);
  EXPECT_NEAR(p[14], -(f2 / (f2 - n)) * n, 1e-7f);
  EXPECT_FLOAT_EQ(pipeline->fittedNear, n);

  const float onNear[4] = {0, 0, 0, 0.01f}, beyondSide[4] = {0.6f, 0, 0, 0.5f}, nan[4] = {NAN, 0, 0, 1};
  EXPECT_FALSE(item.isPointOutsideClip(onNear));
  EXPECT_TRUE(item.isPointOutsideClip(beyondSide));
  EXPECT_TRUE(item.isPointOutsideClip(nan));

  float straddling[8][4], tooNear[8][4];
  for (int k = 0; k < 8; ++k) {
    const float w = 1.0f;
    straddling[k][0] = (k & 4) ? -2.0f : 0.0f, straddling[k][1] = 0, straddling[k][2] = 0, straddling[k][3] = w;
    tooNear[k][0] = 0, tooNear[k][1] = 0, tooNear[k][2] = 0, tooNear[k][3] = 0.001f;
  }
  EXPECT_FALSE(item.isBoxOutsideClip(straddling));
  EXPECT_TRUE(item.isBoxOutsideClip(tooNear));
}

TEST_F(ItemsTest, BoneChainsComputeRestMatricesParentsFirstAndThePaletteFollowsThePose) {
  BoneItem a(scene.get(), 0, 0), b(scene.get(), 0, 1), c(scene.get(), 0, 2);
  a.restPosition = {1, 0, 0};
  b.restPosition = {0, 2, 0};
  c.restPosition = {0, 0, 3};
  b.parentBone = &a;
  c.parentBone = &b;
  const Matrix4x3& rest = c.computeRestMatrix(0.0);
  EXPECT_TRUE(a.restValid && b.restValid);
  EXPECT_FLOAT_EQ(rest[12], 1.0f);
  EXPECT_FLOAT_EQ(rest[13], 2.0f);
  EXPECT_FLOAT_EQ(rest[14], 3.0f);

  // A quarter turn in bank turns the child's offset: x -> y.
  BoneItem turned(scene.get(), 0, 3);
  turned.restBank = std::numbers::pi_v<float> / 2;
  BoneItem child(scene.get(), 0, 4);
  child.restPosition = {1, 0, 0};
  child.parentBone = &turned;
  const Matrix4x3& r = child.computeRestMatrix(0.0);
  EXPECT_NEAR(r[12], 0.0f, 1e-6f);
  EXPECT_NEAR(r[13], 1.0f, 1e-6f);

  // Skinning: the palette entry carries a vertex from the rest pose to the
  // posed bone, so a vertex at the bone moves with it.
  ObjectItem object(scene.get(), 5);
  BoneItem moving(scene.get(), 0, 5);
  moving.restPosition = {0, 1, 0};
  const float posed[3] = {2, 1, 0};
  moving.setPosition(posed);
  Matrix4x3 inverseRest, palette;
  invertAffine(&inverseRest, moving.computeRestMatrix(0.0));
  multiplyMatrix(palette, inverseRest, object.boneMatrixAt(moving, 0.0));
  float vertex[3] = {0, 1, 0};  // at the bone's rest position
  transformPoint(vertex, palette);
  EXPECT_NEAR(vertex[0], 2.0f, 1e-6f);
  EXPECT_NEAR(vertex[1], 1.0f, 1e-6f);
}

TEST_F(ItemsTest, LevelOfDetailPicksByDistanceAndBias) {
  ObjectItem item(scene.get(), 1);
  LWOModel model(root.get(), "m");
  auto node = [&] {
    return std::make_unique<SurfaceRenderObject>(pipeline.get(), &model, std::vector<SurfacePolygon>{},
                                                 std::vector<Position3>{}, std::vector<VertexMap*>{});
  };
  auto near = node(), middle = node(), far = node();
  item.addMesh(far.get(), 100.0f);
  item.addMesh(near.get(), 0.0f);
  item.addMesh(middle.get(), 50.0f);
  EXPECT_EQ(item.selectMesh(30.0f), near.get());
  EXPECT_EQ(item.selectMesh(70.0f), middle.get());
  EXPECT_EQ(item.selectMesh(200.0f), far.get());
  pipeline->modelLodBias = 1;
  EXPECT_EQ(item.selectMesh(200.0f), middle.get());
  EXPECT_EQ(item.selectMesh(30.0f), near.get());

  // Equal keys keep the newest first.
  ObjectItem other(scene.get(), 2);
  other.addMesh(near.get(), 10.0f);
  other.addMesh(middle.get(), 5.0f);
  other.addMesh(far.get(), 10.0f);
  ASSERT_EQ(other.meshes.size(), 3u);
  EXPECT_EQ(other.meshes[0].mesh, middle.get());
  EXPECT_EQ(other.meshes[1].mesh, far.get());
}

TEST_F(ItemsTest, AnAttachedSoundPlaysWithinHalfItsSquaredScaleAndStopsBeyond) {
  ObjectItem item(scene.get(), 1);
  item.sound = std::make_unique<NotingSound>();
  auto* sound = static_cast<NotingSound*>(item.sound.get());
  item.scale[1].value = 10.0f;  // range 10 x 10 x 0.5 = 50
  item.prepare();
  EXPECT_TRUE(sound->isPlaying());
  EXPECT_EQ(sound->volume, 0.0f) << "started muted";

  ObjectItem listener(scene.get(), 2);
  const float farAway[3] = {51, 0, 0}, near[3] = {40, 0, 0};
  listener.setPosition(farAway);
  item.updateSound(&listener, 0.0);
  EXPECT_FALSE(sound->isPlaying());
  listener.setPosition(near);
  listener.invalidate();
  item.updateSound(&listener, 0.0);
  EXPECT_TRUE(sound->isPlaying());
  EXPECT_FLOAT_EQ(sound->volume, 10.0f);

  item.soundSource = std::make_unique<ObjectSoundSource>();
  item.soundSource->fileName = "D:\\Quillfen\\soundfx\\wurst.wav";
  listener.setPosition(farAway);
  listener.invalidate();
  item.updateSound(&listener, 0.0);
  EXPECT_TRUE(sound->isPlaying()) << "event sounds are the game's to stop";
}

TEST_F(ItemsTest, ACullingPlaneHidesBoxesWhollyBehindItFromItsFrontOnly) {
  Surface surface(nullptr, "plane");
  LWOModel model(root.get(), "plane.lwo");
  model.surfaces.push_back(&surface);
  // A 2 x 2 square at z = 5 facing -z, towards an eye at the origin.
  SurfacePolygon square;
  square.points = {0, 1, 2, 3};
  SurfaceRenderObject mesh(pipeline.get(), &model, {square}, {{-1, -1, 5}, {-1, 1, 5}, {1, 1, 5}, {1, -1, 5}}, {});
  CullingPlaneObject plane(scene.get(), 1);
  plane.addMesh(&mesh, 0.0f);
  plane.prepare();

  // Clip space of a plain perspective: (x, y, z, w = z).
  Matrix4x3 toClip{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0}};
  ASSERT_TRUE(plane.buildOccluder(toClip));
  auto box = [](float x, float half, float z) {
    std::array<Vector4, 8> c;
    for (int k = 0; k < 8; ++k) {
      const float px = x + ((k & 4) ? half : -half), py = (k & 2) ? half : -half, pz = z + ((k & 1) ? half : -half);
      c[k] = {px, py, pz, pz};
    }
    return c;
  };
  EXPECT_TRUE(plane.boxOccluded(box(0, 0.5f, 10).data()));
  EXPECT_FALSE(plane.boxOccluded(box(0, 0.5f, 3).data())) << "in front of the plane";
  EXPECT_FALSE(plane.boxOccluded(box(1.5f, 0.5f, 10).data())) << "one side sticks out";

  // Seen from behind (the eye past the plane) nothing is hidden.
  Matrix4x3 fromBehind = toClip;
  fromBehind[14] = -10.0f, fromBehind[15] = -10.0f;  // z and w lose 10
  EXPECT_FALSE(plane.buildOccluder(fromBehind));
}

}  // namespace
