// The scene's invalidation pass after each physics step and before drawing:
// what may have moved is evaluated again, what cannot have moved keeps its
// matrices.
#include "scene/item_container.h"

#include <gtest/gtest.h>

#include <memory>

#include "foundation/channel_group.h"
#include "foundation/envelope.h"
#include "scene/item_math.h"
#include "scene/object_item.h"
#include "scene/scene.h"
#include "tests/scene/scene_test_items.h"

namespace {

// A mesh that counts the frames started on it.
class FrameCountingMesh : public TestMesh {
 public:
  FrameCountingMesh() : TestMesh(0) {}
  void beginFrame() override {
    TestMesh::beginFrame();
    ++frames;
  }
  int frames = 0;
};

// An object that counts how often its world matrix is computed.
class CountingObject : public ObjectItem {
 public:
  explicit CountingObject(Scene* scene) : ObjectItem(scene, 0) {}
  void evaluate(double t) override {
    ++evaluations;
    ObjectItem::evaluate(t);
  }
  SceneNode* firstMesh() override { return mesh.get(); }
  std::unique_ptr<FrameCountingMesh> mesh;
  int evaluations = 0;
};

CountingObject* addCounting(Scene& scene, float x = 0.0f, float y = 0.0f, float z = 0.0f) {
  scene.objects.push_back(std::make_unique<CountingObject>(&scene));
  auto* item = static_cast<CountingObject*>(scene.objects.back().get());
  const float p[3] = {x, y, z};
  item->setPosition(p);
  return item;
}

Position3 origin(SceneItem& item, double t) {
  Matrix4x3 m;
  item.worldMatrix(m, t, false);
  return {m[12], m[13], m[14]};
}

std::unique_ptr<Envelope> ramp(float from, float to) {
  auto e = std::make_unique<Envelope>();
  e->addKeyLinear(from, 0);
  e->addKeyLinear(to, 1);
  return e;
}

// Steps the scene's world once, which runs the pass, and reads every
// object's place at t.
void stepAndRead(Scene& scene, double t) {
  scene.physicsStep(0.01);
  for (auto& object : scene.objects) origin(*object, t);
}

TEST(ItemContainerPass, StillObjectsKeepTheirMatricesWhileMovedAnimatedCarriedAndSimulatedOnesFollow) {
  Scene scene(nullptr);
  CountingObject* still = addCounting(scene, 5, 0, 0);
  still->rotation[0].value = 0.5f;
  // Keyed once: the loaders' form of a value that never changes.
  still->scale[1].channel = std::make_unique<Envelope>();
  still->scale[1].channel->asEnvelope()->addKeyTCB(2.0f, 0.0f, 0, 0, 0);
  CountingObject* animated = addCounting(scene);
  animated->position[0].channel = ramp(0.0f, 10.0f);
  CountingObject* mover = addCounting(scene);
  CountingObject* carried = addCounting(scene, 0, 1, 0);
  carried->parent = mover;
  CountingObject* falling = addCounting(scene, 0, 100, 0);
  falling->body = dBodyCreate(scene.physics().world());
  dBodySetPosition(falling->body, 0, 100, 0);

  constexpr int kSteps = 10;
  for (int i = 1; i <= kSteps; ++i) {
    const double t = 0.1 * i;
    const float at[3] = {static_cast<float>(i), 0, 0};
    mover->setPosition(at);  // as the game moves things: no invalidate of its own
    stepAndRead(scene, t);
    EXPECT_NEAR(origin(*animated, t).x, 10.0f * t, 1e-4f) << "step " << i;
    EXPECT_EQ(origin(*carried, t).x, static_cast<float>(i)) << "step " << i;
    EXPECT_EQ(origin(*carried, t).y, 1.0f);
    EXPECT_FLOAT_EQ(origin(*falling, t).y, static_cast<float>(dBodyGetPosition(falling->body)[1])) << "step " << i;
  }
  EXPECT_LT(origin(*falling, 1.0).y, 100.0f);
  EXPECT_EQ(still->evaluations, 1);
  EXPECT_EQ(origin(*still, 1.0).x, 5.0f);
  EXPECT_EQ(animated->evaluations, kSteps);
  EXPECT_EQ(mover->evaluations, kSteps);
  EXPECT_EQ(carried->evaluations, kSteps);
  EXPECT_EQ(falling->evaluations, kSteps);
}

TEST(ItemContainerPass, AStillObjectIsEvaluatedAgainWhenAnythingThatPlacesItChanges) {
  Scene scene(nullptr);
  CountingObject* item = addCounting(scene);
  CountingObject* other = addCounting(scene, 0, 7, 0);
  stepAndRead(scene, 0.0);
  const int before = item->evaluations;
  struct Change {
    const char* what;
    void (*apply)(CountingObject&, CountingObject&);
  };
  const Change changes[] = {
      {"a position written directly", [](CountingObject& i, CountingObject&) { i.position[2].value = 3.0f; }},
      {"a rotation", [](CountingObject& i, CountingObject&) { i.rotation[1].value = 0.25f; }},
      {"a scale", [](CountingObject& i, CountingObject&) { i.scale[0].value = 2.0f; }},
      {"the pivot", [](CountingObject& i, CountingObject&) { i.pivot.y = 1.0f; }},
      {"the pivot rotation", [](CountingObject& i, CountingObject&) { i.pivotRotation[1] = 0.5f; }},
      {"the rotation order", [](CountingObject& i, CountingObject&) { i.rotationOrder[0] = kAxisBank; }},
      {"a parent", [](CountingObject& i, CountingObject& o) { i.parent = &o; }},
      {"the parent moved", [](CountingObject&, CountingObject& o) { o.position[1].value = 8.0f; }},
      // As the game places an item: invalidated and evaluated at once, so
      // that its own values match its cache again.
      {"the parent placed",
       [](CountingObject&, CountingObject& o) {
         o.position[1].value = 9.0f;
         o.invalidate();
         o.evaluate(0.0);
       }},
      {"a channel keyed once",
       [](CountingObject& i, CountingObject&) {
         i.position[0].channel = std::make_unique<Envelope>();
         i.position[0].channel->asEnvelope()->addKeyLinear(1.0f, 0.0f);
       }},
  };
  int expected = before;
  for (const Change& change : changes) {
    change.apply(*item, *other);
    stepAndRead(scene, 0.0);
    EXPECT_EQ(item->evaluations, ++expected) << change.what;
    stepAndRead(scene, 0.0);
    EXPECT_EQ(item->evaluations, expected) << change.what << ", then still";
  }
  // A value written under a channel changes nothing, but reading the item
  // leaves the channel's value there, as evaluating does.
  item->position[0].value = 5.0f;
  stepAndRead(scene, 0.0);
  EXPECT_EQ(item->evaluations, expected);
  EXPECT_EQ(item->position[0].value, 1.0f);

  item->position[0].channel->asEnvelope()->addKeyLinear(2.0f, 1.0f);
  stepAndRead(scene, 0.5);
  const float halfway = origin(*item, 0.5).x;
  stepAndRead(scene, 1.0);
  EXPECT_EQ(item->evaluations, expected + 2) << "two keys animate";
  EXPECT_NE(origin(*item, 1.0).x, halfway);

  // A matrix taken from a local matrix is not kept once the values place
  // the item again, as a kart's shadow switches between the two.
  item->position[0].channel.reset();
  item->position[0].value = 0.0f;
  item->pivot = {0.0f, 0.0f, 0.0f};
  item->localMode = 1;
  item->bodyMatrix = translationMatrix(4.0f, 0.0f, 0.0f);
  stepAndRead(scene, 0.0);
  EXPECT_EQ(origin(*item, 0.0).x, 4.0f);
  item->localMode = 0;
  stepAndRead(scene, 0.0);
  EXPECT_EQ(origin(*item, 0.0).x, 0.0f) << "the local matrix given up";

  // A mixer-driven channel may change whenever the mixer is told to.
  item->position[0].channel.reset();
  item->position[0].ensureChannelGroup();
  stepAndRead(scene, 0.0);
  expected = item->evaluations;
  stepAndRead(scene, 0.0);
  EXPECT_EQ(item->evaluations, expected + 1) << "a mixer channel";
}

TEST(ItemContainerPass, AStillObjectMovedBetweenThePassAndItsNextReadIsReadWhereItNowStands) {
  Scene scene(nullptr);
  CountingObject* base = addCounting(scene, 1, 0, 0);
  CountingObject* onBase = addCounting(scene, 0, 1, 0);
  onBase->parent = base;
  stepAndRead(scene, 0.0);
  // The race's step code moves items after the pass and reads them at once.
  scene.physicsStep(0.01);
  base->position[0].value = 2.0f;
  EXPECT_EQ(origin(*onBase, 0.0).x, 2.0f);
  EXPECT_EQ(origin(*base, 0.0).x, 2.0f);
  scene.physicsStep(0.01);
  onBase->position[1].value = 3.0f;
  EXPECT_EQ(origin(*onBase, 0.0).y, 3.0f);
}

TEST(ItemContainerPass, AHeldObjectStillStartsANewFrameAndLosesItsFittedProjection) {
  Scene scene(nullptr);
  CountingObject* item = addCounting(scene, 1, 2, 3);
  item->mesh = std::make_unique<FrameCountingMesh>();
  stepAndRead(scene, 0.0);
  item->projectionForDepthRange(0.0, 1.0f, 10.0f);
  ASSERT_TRUE(item->projectionFitted);
  const int frames = item->mesh->frames;
  stepAndRead(scene, 0.0);
  EXPECT_EQ(item->evaluations, 1);
  EXPECT_EQ(item->mesh->frames, frames + 1) << "its bones' poses must go stale";
  EXPECT_FALSE(item->projectionFitted) << "the next viewer fits its own depth range";
}

TEST(ItemContainerPass, ItemsThatReachThemselvesAndNonObjectsAreAlwaysEvaluatedAgain) {
  Scene scene(nullptr);
  CountingObject* a = addCounting(scene);
  CountingObject* b = addCounting(scene);
  a->parent = b;
  b->parent = a;
  TestItem* plain = addObject(scene, "plain");
  CountingObject* onPlain = addCounting(scene);
  onPlain->parent = plain;
  stepAndRead(scene, 0.0);
  const int evaluations = a->evaluations + b->evaluations;
  stepAndRead(scene, 0.0);
  EXPECT_GT(a->evaluations + b->evaluations, evaluations);
  EXPECT_EQ(onPlain->evaluations, 2) << "a parent that keeps nothing may have moved";
}

}  // namespace
