#include "scene/scene_item.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "foundation/envelope.h"
#include "scene/item_math.h"
#include "tests/render/pipeline_fixture.h"

namespace {

constexpr float kQuarter = std::numbers::pi_v<float> / 2.0f;

class TestItem : public SceneItem {
 public:
  TestItem() : SceneItem(nullptr, ItemType::Object, 1) {}
  const float* projectionForDepthRange(double, float, float) override { return projection.m; }
  bool isPointOutsideClip(const float*) const override { return false; }
  bool isBoxOutsideClip(const float (*)[4]) const override { return false; }
  void computeProjection(double) override {}
};

void setPosition(SceneItem& item, float x, float y, float z) {
  const float p[3] = {x, y, z};
  item.setPosition(p);
}

// Sets the channels directly: heading, pitch, bank.
void setHPB(SceneItem& item, float h, float p, float b) {
  item.rotation[0].value = h;
  item.rotation[1].value = p;
  item.rotation[2].value = b;
}

// A channel going linearly from `from` at 0 s to `to` at 1 s.
std::unique_ptr<Envelope> ramp(float from, float to) {
  auto e = std::make_unique<Envelope>();
  e->addKeyLinear(from, 0);
  e->addKeyLinear(to, 1);
  return e;
}

Position3 worldPoint(SceneItem& item, Position3 p, double t = 0.0) {
  Matrix4x3 m;
  item.worldMatrix(m, t, false);
  transformPoint(p, m);
  return p;
}

#define EXPECT_POINT(p, ex, ey, ez) \
  do {                              \
    const Position3 q_ = (p);       \
    EXPECT_NEAR(q_.x, (ex), 1e-5f); \
    EXPECT_NEAR(q_.y, (ey), 1e-5f); \
    EXPECT_NEAR(q_.z, (ez), 1e-5f); \
  } while (0)

void expectMatrixNear(const Matrix4x3& a, const Matrix4x3& b, float tolerance = 1e-5f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
}

// ODE must be initialised around every use, one close per init.
class SimulatedItem : public ::testing::Test {
 protected:
  void SetUp() override {
    dInitODE2(0);
    m_world = dWorldCreate();
    item.body = dBodyCreate(m_world);
  }
  void TearDown() override {
    dWorldDestroy(m_world);
    dCloseODE();
  }
  TestItem item;

 private:
  dWorldID m_world = nullptr;
};

// The target line on the OpenGL device under Xvfb, with identity view and
// projection, so world positions are clip-space positions.
class TargetLineTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    buildOnGl();
    device = pipeline->currentDevice;
    ASSERT_NE(device, nullptr);
    device->GetViewport(&viewport);
  }
  // Whether one of the three pixels around clip-space (x, y) down the
  // column is `colour`: a one-pixel line may fall on either side of a row.
  bool drawnAt(float x, float y, DWORD colour) {
    const UINT px = static_cast<UINT>((x + 1) / 2 * static_cast<float>(viewport.Width));
    const UINT py = static_cast<UINT>((1 - y) / 2 * static_cast<float>(viewport.Height));
    DWORD argb[3] = {};
    EXPECT_EQ(device->ReadBackBuffer(px, py - 1, 1, 3, argb), D3D_OK);
    for (DWORD c : argb)
      if ((c & 0xFFFFFF) == colour) return true;
    return false;
  }
  IDirect3DDevice9* device = nullptr;
  D3DVIEWPORT9 viewport{};
};

TEST_F(TargetLineTest, DrawnFromPivotToTargetOnlyWithTheDebugGeometrySwitch) {
  TestItem item, aim;
  item.renderer = pipeline.get();
  // The world matrix moves the pivot to the origin first, so the pivot
  // lands on the position: the line runs (-0.5, 0.25) to (0.5, 0.25).
  item.pivot = {0.0f, 0.25f, 0.0f};
  setPosition(item, -0.5f, 0.25f, 0.5f);
  aim.pivot = {0.3f, 0.0f, 0.0f};
  setPosition(aim, 0.5f, 0.25f, 0.5f);
  item.target = &aim;
  // Lit surfaces before: the line must still show its own colour.
  device->SetRenderState(D3DRS_LIGHTING, 1);
  D3DMATRIX shifted{};
  shifted.m[0][0] = shifted.m[1][1] = shifted.m[2][2] = shifted.m[3][3] = 1.0f;
  shifted.m[3][0] = 5.0f;  // a world transform left by a mesh, off screen
  device->SetTransform(D3DTS_WORLD, &shifted);

  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  pipeline->debugGeometry() = false;
  item.drawDebug(0.0);
  EXPECT_FALSE(drawnAt(0.0f, 0.25f, 0xFFFF00));

  pipeline->debugGeometry() = true;
  item.drawDebug(0.0);
  EXPECT_TRUE(drawnAt(0.0f, 0.25f, 0xFFFF00));  // yellow along y = 0.25
  EXPECT_TRUE(drawnAt(-0.4f, 0.25f, 0xFFFF00));
  EXPECT_FALSE(drawnAt(0.7f, 0.25f, 0xFFFF00));  // past the target
  EXPECT_FALSE(drawnAt(0.0f, -0.25f, 0xFFFF00));
  D3DMATRIX after{};
  device->GetTransform(D3DTS_WORLD, &after);
  EXPECT_EQ(after.m[3][0], 5.0f);  // the world transform is given back
  DWORD lighting = 0;
  device->GetRenderState(D3DRS_LIGHTING, &lighting);
  EXPECT_EQ(lighting, 1u);

  // Without a target there is no line.
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  item.target = nullptr;
  item.drawDebug(0.0);
  EXPECT_FALSE(drawnAt(0.0f, 0.25f, 0xFFFF00));
}

}  // namespace

TEST(SceneItem, FreshItemHasTheDefaults) {
  TestItem item;
  Matrix4x3 m;
  for (double t : {0.0, 2.5}) {
    item.invalidate();
    item.worldMatrix(m, t, false);
    expectMatrixNear(m, g_identityMatrix, 0.0f);
    item.inverseWorldMatrix(m, t, false);
    expectMatrixNear(m, g_identityMatrix, 0.0f);
  }
  EXPECT_EQ(item.channel(4), &item.rotation[1]);
  EXPECT_EQ(item.channel(8), &item.scale[2]);
  EXPECT_EQ(item.channel(9), nullptr);
  EXPECT_EQ(item.channel(-1), nullptr);
}

TEST(SceneItem, RotationVectorRoundTrip) {
  TestItem item;
  const float r[3] = {0.3f, 1.0f, 0.2f};
  item.setRotation(r, false);
  EXPECT_FLOAT_EQ(item.rotation[0].value, 1.0f);   // heading
  EXPECT_FLOAT_EQ(item.rotation[1].value, -0.3f);  // pitch
  EXPECT_FLOAT_EQ(item.rotation[2].value, -0.2f);  // bank
  float out[3];
  item.getRotationAt(out, 4.0);
  EXPECT_FLOAT_EQ(out[0], 0.3f);
  EXPECT_FLOAT_EQ(out[1], 1.0f);
  EXPECT_FLOAT_EQ(out[2], 0.2f);
}

TEST(SceneItem, RotationLimitsClampOnlyTheLimitedComponents) {
  TestItem item;
  const float r[3] = {2.0f, 5.0f, 3.0f};
  item.setRotation(r, true);
  EXPECT_EQ(item.rotation[1].value, -1.5707964f);
  EXPECT_EQ(item.rotation[0].value, 5.0f);
  EXPECT_EQ(item.rotation[2].value, -3.0f);
  item.rotationLimitBits = 0b110;
  item.rotationMin[1] = -1.0f;
  item.rotationMax[1] = 1.0f;
  item.rotationMin[2] = 0.5f;
  item.rotationMax[2] = 0.75f;
  item.setRotation(r, true);
  EXPECT_EQ(item.rotation[1].value, -2.0f);
  EXPECT_EQ(item.rotation[0].value, 1.0f);
  EXPECT_EQ(item.rotation[2].value, -0.75f);
}

TEST(SceneItem, SingleAxisRotationsFollowTheSceneConvention) {
  TestItem item;
  setHPB(item, kQuarter, 0, 0);  // heading turns +Z toward +X
  EXPECT_POINT(worldPoint(item, {0, 0, 1}), 1, 0, 0);
  item.invalidate();
  setHPB(item, 0, kQuarter, 0);  // positive pitch lowers the nose
  EXPECT_POINT(worldPoint(item, {0, 0, 1}), 0, -1, 0);
  item.invalidate();
  setHPB(item, 0, 0, kQuarter);  // bank turns +X toward +Y
  EXPECT_POINT(worldPoint(item, {1, 0, 0}), 0, 1, 0);
}

TEST(SceneItem, RotationOrderDecidesWhichAxisTurnsFirst) {
  TestItem item;
  setHPB(item, kQuarter, kQuarter, kQuarter);
  // Default order: bank, then pitch, then heading.
  EXPECT_POINT(worldPoint(item, {0, 0, 1}), 0, -1, 0);
  // Heading, then pitch, then bank.
  item.invalidate();
  item.rotationOrder[0] = kAxisBank;
  item.rotationOrder[1] = kAxisPitch;
  item.rotationOrder[2] = kAxisHeading;
  EXPECT_POINT(worldPoint(item, {0, 0, 1}), 0, 1, 0);
  // An unknown code turns nothing: only heading and pitch remain.
  item.invalidate();
  item.rotationOrder[0] = 7;
  EXPECT_POINT(worldPoint(item, {0, 0, 1}), 1, 0, 0);
}

TEST(SceneItem, PivotScaleAndPivotRotation) {
  TestItem item;
  const float pivot[3] = {1, 0, 0};
  item.setPivotPosition(pivot);
  setPosition(item, 5, 0, 0);
  // The pivot lands on the position.
  EXPECT_POINT(worldPoint(item, {1, 0, 0}), 5, 0, 0);
  item.invalidate();
  setHPB(item, kQuarter, 0, 0);
  EXPECT_POINT(worldPoint(item, {1, 0, 1}), 6, 0, 0);

  // Scale applies before the rotation.
  TestItem scaled;
  const float s[3] = {2, 1, 1};
  scaled.setScale(s);
  setHPB(scaled, kQuarter, 0, 0);
  EXPECT_POINT(worldPoint(scaled, {1, 0, 0}), 0, 0, -2);

  // The pivot rotation follows the item's own rotation.
  TestItem pivoted;
  setHPB(pivoted, 0, 0, kQuarter);
  pivoted.pivotRotation[0] = kQuarter;  // pitch
  EXPECT_POINT(worldPoint(pivoted, {1, 0, 0}), 0, 0, 1);
  // Its own order is bank, pitch, heading.
  TestItem pivotOnly;
  pivotOnly.pivotRotation[0] = kQuarter;
  pivotOnly.pivotRotation[1] = kQuarter;
  pivotOnly.pivotRotation[2] = kQuarter;
  EXPECT_POINT(worldPoint(pivotOnly, {0, 0, 1}), 0, -1, 0);
}

TEST(SceneItem, ParentPlacesTheChild) {
  TestItem parent, child;
  child.parent = &parent;
  setPosition(parent, 10, 0, 0);
  setHPB(parent, kQuarter, 0, 0);
  setPosition(child, 0, 0, 1);
  EXPECT_POINT(worldPoint(child, {0, 0, 0}), 11, 0, 0);
  EXPECT_POINT(worldPoint(child, {0, 0, 1}), 12, 0, 0);
  // The inverse undoes the world matrix.
  Matrix4x3 world, inverse, product;
  child.worldMatrix(world, 0, false);
  child.inverseWorldMatrix(inverse, 0, false);
  multiplyMatrix(product, world, inverse);
  expectMatrixNear(product, g_identityMatrix);
  // World rotation combines both rotations and ignores positions.
  setHPB(child, kQuarter, 0, 0);
  child.worldRotationAt(world, 0);
  Position3 p{0, 0, 1};
  transformPoint(p, world);
  EXPECT_POINT(p, 0, 0, -1);
}

TEST(SceneItem, ChannelsAreEvaluatedAtTheTimeAsked) {
  TestItem item;
  item.position[0].channel = ramp(0, 10);
  EXPECT_POINT(worldPoint(item, {0, 0, 0}, 0.5), 5, 0, 0);
  EXPECT_FLOAT_EQ(item.position[0].value, 5.0f);
  Matrix4x3 m;
  item.translationAt(m, 0.25);
  EXPECT_FLOAT_EQ(m[12], 2.5f);
  item.localMatrixAt(m, 0.75);
  EXPECT_FLOAT_EQ(m[12], 7.5f);
}

TEST(SceneItem, FixedLocalMatrix) {
  TestItem parent, item;
  item.localMode = 1;
  item.bodyMatrix = translationMatrix(1, 2, 3);
  setPosition(item, 50, 50, 50);  // ignored in this mode
  item.parent = &parent;
  setPosition(parent, 10, 0, 0);
  EXPECT_POINT(worldPoint(item, {0, 0, 0}), 11, 2, 3);
}

TEST(SceneItem, PointingAtATarget) {
  TestItem item, target;
  item.target = &target;
  item.headingController = kControllerPointAtTarget;
  item.pitchController = kControllerPointAtTarget;
  setPosition(target, 1, std::sqrt(2.0f), 1);
  float r[3];
  item.getRotationAt(r, 0);
  EXPECT_FLOAT_EQ(r[1], std::numbers::pi_v<float> / 4);
  EXPECT_FLOAT_EQ(r[0], std::numbers::pi_v<float> / 4);  // -pitch: looking up
  // The target's pivot is what the item aims at.
  target.invalidate();
  const float pivot[3] = {3, 0, 0};
  target.setPivotPosition(pivot);
  setPosition(target, 0, 0, 5);
  item.getRotationAt(r, 0);
  EXPECT_FLOAT_EQ(r[1], 0.0f);
  EXPECT_FLOAT_EQ(r[0], 0.0f);
  // A rotation link answers with the leader's rotation.
  TestItem leader;
  setHPB(leader, 0.5f, 0, 0);
  item.linkedItem = &leader;
  item.rotationLinked = true;
  item.getRotationAt(r, 0);
  EXPECT_FLOAT_EQ(r[1], 0.5f);
  item.rotationLinked = false;
  // Without a target the channels rule.
  item.target = nullptr;
  setHPB(item, 0.5f, 0.25f, 0.125f);
  item.getRotationAt(r, 0);
  EXPECT_FLOAT_EQ(r[1], 0.5f);
  EXPECT_FLOAT_EQ(r[0], -0.25f);
  EXPECT_FLOAT_EQ(r[2], -0.125f);
}

TEST(SceneItem, TargetIsSeenFromTheParentsSpace) {
  TestItem parent, item, target;
  item.parent = &parent;
  item.target = &target;
  item.headingController = kControllerPointAtTarget;
  setPosition(parent, 0, 0, 10);
  setPosition(target, 10, 0, 10);
  float r[3];
  item.getRotationAt(r, 0);
  EXPECT_FLOAT_EQ(r[1], kQuarter);
  // And the line between the two pivots is drawn in world space.
  Position3 from, to;
  ASSERT_TRUE(item.targetLineEnds(0, from, to));
  EXPECT_POINT(from, 0, 0, 10);
  EXPECT_POINT(to, 10, 0, 10);
  item.target = nullptr;
  EXPECT_FALSE(item.targetLineEnds(0, from, to));
}

TEST(SceneItem, AlignToPathLooksAhead) {
  TestItem item;
  item.position[0].channel = ramp(0, 10);
  item.position[1].channel = ramp(0, 10);
  item.headingController = kControllerAlignToPath;
  item.pitchController = kControllerAlignToPath;
  item.pathLookAhead = 0.1f;
  float r[3];
  item.getRotationAt(r, 0.5);
  EXPECT_FLOAT_EQ(r[1], kQuarter);                       // moving along +X
  EXPECT_FLOAT_EQ(r[0], std::numbers::pi_v<float> / 4);  // and climbing
  EXPECT_FLOAT_EQ(item.position[0].value, 5.0f);         // values of t, not t + 0.1
}

TEST(SceneItem, CyclesInTheHierarchyEndInsteadOfRecursing) {
  TestItem a, b;
  a.parent = &b;
  b.parent = &a;
  a.target = &b;
  b.target = &a;
  a.headingController = b.headingController = kControllerPointAtTarget;
  a.linkedItem = &b;
  b.linkedItem = &a;
  a.rotationLinked = b.rotationLinked = true;
  Matrix4x3 m;
  a.worldMatrix(m, 0, false);
  a.inverseWorldMatrix(m, 0, false);
  a.worldRotationAt(m, 0);
  float r[3];
  a.getRotationAt(r, 0);
  EXPECT_TRUE(std::isfinite(r[1]));
}

TEST(SceneItem, MoveByWithinLimits) {
  TestItem item;
  const float up[3] = {3, 0, 0};
  setPosition(item, 8, 5, 5);
  ASSERT_TRUE(item.moveBy(up));  // no limits: anything goes
  EXPECT_EQ(item.position[0].value, 11.0f);

  item.positionLimited = true;
  for (int i = 0; i < 3; ++i) {
    item.positionMin[i] = 0;
    item.positionMax[i] = 10;
  }
  setPosition(item, 20, -4, 5);  // clamped into the box
  EXPECT_EQ(item.position[0].value, 10.0f);
  EXPECT_EQ(item.position[1].value, 0.0f);

  // 2 units to the face and 1 beyond: refused.
  setPosition(item, 8, 5, 5);
  EXPECT_FALSE(item.moveBy(up));
  EXPECT_EQ(item.position[0].value, 8.0f);
  // 4 units to the face and 1 beyond: accepted, ending on the face.
  setPosition(item, 6, 5, 5);
  const float far[3] = {5, 0, 0};
  EXPECT_TRUE(item.moveBy(far));
  EXPECT_EQ(item.position[0].value, 10.0f);
  // Sliding along the face moves the free axes.
  const float slide[3] = {0.1f, 2, 0};
  EXPECT_TRUE(item.moveBy(slide));
  EXPECT_EQ(item.position[0].value, 10.0f);
  EXPECT_EQ(item.position[1].value, 7.0f);
}

TEST_F(SimulatedItem, SetPositionPutsTheBodyThereAtRest) {
  dBodySetLinearVel(item.body, 1, 2, 3);
  dBodySetAngularVel(item.body, 4, 5, 6);
  dBodyAddForce(item.body, 7, 8, 9);
  dBodyAddTorque(item.body, 1, 1, 1);
  setPosition(item, 1, 2, 3);
  const dReal* p = dBodyGetPosition(item.body);
  EXPECT_DOUBLE_EQ(p[0], 1.0);
  EXPECT_DOUBLE_EQ(p[1], 2.0);
  EXPECT_DOUBLE_EQ(p[2], 3.0);
  for (const dReal* v : {dBodyGetLinearVel(item.body), dBodyGetAngularVel(item.body), dBodyGetForce(item.body),
                         dBodyGetTorque(item.body)})
    for (int i = 0; i < 3; ++i) EXPECT_EQ(v[i], 0.0);

  // An envelope wins over the stored value, and a parent moves the body.
  TestItem parent;
  setPosition(parent, 100, 0, 0);
  item.parent = &parent;
  item.position[2].channel = ramp(-5, 5);
  setPosition(item, 1, 2, 3);
  p = dBodyGetPosition(item.body);
  EXPECT_DOUBLE_EQ(p[0], 101.0);
  EXPECT_DOUBLE_EQ(p[2], -5.0);
}

TEST_F(SimulatedItem, WorldMatrixFollowsTheBody) {
  dMatrix3 R;
  dRFromEulerAngles(R, 0.3, -0.7, 1.1);
  dBodySetRotation(item.body, R);
  dBodySetPosition(item.body, 1, 2, 3);
  const float s[3] = {2, 2, 2};
  item.setScale(s);
  item.pivot = {0.5f, 0, 0};
  setPosition(item, 40, 40, 40);  // the body decides, not the channels
  dBodySetPosition(item.body, 1, 2, 3);
  TestItem parent;
  setPosition(parent, 100, 0, 0);
  item.parent = &parent;  // and a simulated item has no parent factor
  const Position3 local{0.25f, -1.5f, 2.0f};
  dVector3 expected;
  dBodyGetRelPointPos(item.body, (local.x - 0.5) * 2, local.y * 2, local.z * 2, expected);
  EXPECT_POINT(worldPoint(item, local), expected[0], expected[1], expected[2]);
}

TEST_F(SimulatedItem, SetRotationTurnsTheBodyLikeTheItem) {
  const float r[3] = {0.4f, -1.2f, 0.9f};
  item.setRotation(r, false);
  dMatrix3 R;
  item.getODERotation(R, 0);
  EXPECT_EQ(R[3], 0.0);
  EXPECT_EQ(R[7], 0.0);
  EXPECT_EQ(R[11], 0.0);
  // The body's pose now gives the same world rotation the channels give.
  Matrix4x3 fromChannels;
  item.worldRotationAt(fromChannels, 0);
  const Position3 p{1, 2, 3};
  Position3 expected = p;
  transformPoint(expected, fromChannels);
  dVector3 world;
  dBodyVectorToWorld(item.body, p.x, p.y, p.z, world);
  EXPECT_NEAR(world[0], expected.x, 1e-5);
  EXPECT_NEAR(world[1], expected.y, 1e-5);
  EXPECT_NEAR(world[2], expected.z, 1e-5);
}
