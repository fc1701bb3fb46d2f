// The scene loader against scene texts written out by hand and by the scene
// writer, on a scene over the recording device.
#include "lightwave/lws_loader.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <numbers>

#include "content/lwo2_writer.h"
#include "content/lws_writer.h"
#include "content/wav_writer.h"
#include "foundation/channel_group.h"
#include "foundation/envelope.h"
#include "lightwave/lwo2_loader.h"
#include "lightwave/lws_load.h"
#include "render/texture.h"
#include "scene/bone_item.h"
#include "scene/camera_item.h"
#include "scene/culling_plane.h"
#include "scene/joint_object.h"
#include "scene/light_item.h"
#include "scene/lwo_model.h"
#include "scene/particle_forces.h"
#include "scene/particle_renderers.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "scene/surface_render_object.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"
#include "sound/sound_system.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/support/audio_driver.h"
#include "tests/support/memory_file.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Tokens of a text, for the block readers.
struct Text {
  explicit Text(const std::string& text) : tokens(text.data(), text.size()) {}
  LwsTokens tokens;
};

TEST(LwsTokens, SplitsAtBlanksKeepsQuotedBlanksAndNeverReadsPastTheEnd) {
  Text t("LWSC\t3\r\n  AddNullObject \"Big Rock\"x \xE9t\xE9 \x80 {\n\"open quote");
  LwsTokens& k = t.tokens;
  ASSERT_EQ(k.count(), 8);
  EXPECT_STREQ(k.at(3), "Big Rock") << "quotes are not part of the token";
  EXPECT_STREQ(k.at(4), "x") << "the closing quote ends the token";
  EXPECT_STREQ(k.at(5), "t\xE9") << "a high byte starts no token but belongs to one";
  EXPECT_STREQ(k.at(6), "{") << "a lone high byte is passed over";
  EXPECT_STREQ(k.at(7), "open quote") << "an unterminated quote runs to the end";
  k.seek(8);
  EXPECT_TRUE(k.atEnd());
  EXPECT_STREQ(k.next(), "");
  EXPECT_EQ(k.nextInt(), 0);
  EXPECT_EQ(k.cursor(), 8);
}

TEST(LwsTokens, NumbersReadTheSameInEveryLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  // A locale with a decimal comma, when the machine has one.
  const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
  EXPECT_DOUBLE_EQ(parseLwsFloat("1.25"), 1.25);
  EXPECT_DOUBLE_EQ(parseLwsFloat("-2.5e2x"), -250.0);
  EXPECT_EQ(parseLwsFloat("abc"), 0.0);
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!comma) GTEST_LOG_(INFO) << "no decimal-comma locale installed; checked in the C locale only";

  EXPECT_EQ(parseLwsInt("42abc"), 42);
  EXPECT_EQ(parseLwsInt("-7"), -7);
  EXPECT_EQ(parseLwsInt("99999999999"), 2147483647) << "saturates instead of overflowing";
  EXPECT_EQ(parseLwsHex("10000002"), 0x10000002u);
  EXPECT_EQ(parseLwsHex("0x4003000A"), 0x4003000Au);
  EXPECT_EQ(parseLwsHex("123456789"), 0xFFFFFFFFu) << "too long for an id: names nothing";
}

TEST(LwsTokens, SkipBlockLeavesNestedBlocksWhole) {
  Text t("{ a { b { c } } d } next");
  LwsTokens& k = t.tokens;
  k.seek(1);
  k.skipBlock();
  EXPECT_STREQ(k.next(), "next");

  Text cut("{ a { b");
  cut.tokens.seek(1);
  cut.tokens.skipBlock();
  EXPECT_TRUE(cut.tokens.atEnd());
}

// Every skipped block ends past its own "}", also when its first token is
// a "{" or when blocks follow one another; a keyword without a block never
// takes the end of the block it stands in.
TEST(LwsTokens, EntriesAndSkipsKeepToTheirOwnBlocks) {
  Text t("{ a { b } { c { d } } } next");
  t.tokens.seek(1);
  t.tokens.skipBlock();
  EXPECT_STREQ(t.tokens.next(), "next");
  t.tokens.seek(2);  // on the "{" of b
  t.tokens.skipBlock();
  EXPECT_STREQ(t.tokens.next(), "next") << "the block under the cursor is nested";

  Text e("Known 1 Unknown 2 { } { Other { x } y } { { z } } Last 3 } after");
  LwsTokens& k = e.tokens;
  std::vector<std::string> read;
  while (const char* entry = k.nextEntry()) {
    read.push_back(entry);
    if (read.back() == "Known" || read.back() == "Last") {
      EXPECT_FALSE(k.entryOpenedBlock());
      k.next();
    } else {
      k.skipEntry();
    }
  }
  EXPECT_EQ(read, (std::vector<std::string>{"Known", "Unknown", "2", "Other", "{", "Last"}))
      << "an empty block is passed over";
  EXPECT_STREQ(k.next(), "after");
}

TEST(LwsEnvelopes, ChannelsKeepTheirEndPositionsAndMendBadBlocks) {
  // One key: the constant, the cursor after the "}".
  Text one("{ Envelope 1 Key 2.5 0 0 0 0 0 0 0 0 Behaviors 1 1 } after");
  AnimatedFloat v;
  readLwsChannel(one.tokens, v, false);
  EXPECT_EQ(v.channel, nullptr);
  EXPECT_FLOAT_EQ(v.value, 2.5f);
  EXPECT_STREQ(one.tokens.next(), "after");

  // No key: 0, and the cursor after this block's own "}".
  Text none("{ Envelope 0 Behaviors 1 1 } after");
  AnimatedFloat zero(7.0f);
  readLwsChannel(none.tokens, zero, false);
  EXPECT_EQ(zero.value, 0.0f);
  EXPECT_STREQ(none.tokens.next(), "after");

  // Two keys of shapes 0 and 3; an unknown shape 9 between them takes its
  // ten tokens with it.
  Text two(
      "{ Envelope 3 Key 1 0 0 0.5 0 0 0 0 0 Key 5 1 9 1 2 3 4 5 6 Key 3 2 3 0 0 0 0 0 0 "
      "Behaviors 2 4 } after");
  AnimatedFloat e;
  readLwsChannel(two.tokens, e, true);
  ASSERT_NE(e.channel, nullptr);
  const Envelope& env = *e.channel->asEnvelope();
  ASSERT_EQ(env.keys().size(), 2u);
  EXPECT_EQ(env.keys().front().shape, kShapeTCB);
  EXPECT_FLOAT_EQ(env.keys().front().tension, 0.5f);
  EXPECT_EQ(env.keys().back().shape, kShapeLinear);
  EXPECT_FLOAT_EQ(env.keys().back().time, 2.0f);
  EXPECT_FLOAT_EQ(env.keys().back().value, 3.0f * kPi / 180.0f);
  EXPECT_EQ(env.preBehavior, 2);
  EXPECT_EQ(env.postBehavior, 4);
  EXPECT_STREQ(two.tokens.next(), "after");

  Text degrees("{ Envelope 2 Key 180 0 3 0 0 0 0 0 0 Key 90 1 3 0 0 0 0 0 0 Behaviors 1 1 }");
  EXPECT_FLOAT_EQ(readLwsEnvelope(degrees.tokens, true)->keys().front().value, kPi);
  EXPECT_STREQ(degrees.tokens.next(), "}") << "readEnvelope ends on the block's brace";
}

TEST(LwsEnvelopes, AnimatedValuesEndWhereTheirCallersStepFrom) {
  Text one("(envelope) { Envelope 1 Key 4 0 0 0 0 0 0 0 0 Behaviors 1 1 } after");
  AnimatedFloat v;
  readLwsAnimatedFloat(one.tokens, v, false);
  EXPECT_FLOAT_EQ(v.value, 4.0f);
  EXPECT_STREQ(one.tokens.next(), "}");

  Text two("(envelope) { Envelope 2 Key 1 0 0 0 0 0 0 0 0 Key 2 1 4 0 0 0 0 0 0 Behaviors 1 3 } after");
  readLwsAnimatedFloat(two.tokens, v, false);
  ASSERT_NE(v.channel, nullptr);
  EXPECT_EQ(v.channel->asEnvelope()->keys().back().shape, kShapeStepped);
  EXPECT_STREQ(two.tokens.next(), "3") << "on the post-behaviour";

  Text cut("(envelope) { Envelope 2000000000 Key 1");
  readLwsAnimatedFloat(cut.tokens, v, false);
  EXPECT_TRUE(cut.tokens.atEnd()) << "a huge key count stops at the end of the text";
}

TEST(LwsEnvelopes, MotionChannelsOutsideTheItemSkipTheirBlocks) {
  Text t(
      "NumChannels 2 Channel 9 { Envelope 1 Key 7 0 0 0 0 0 0 0 0 Behaviors 1 1 } "
      "Channel 1 { Envelope 1 Key 3 0 0 0 0 0 0 0 0 Behaviors 1 1 } after");
  SceneItem item(nullptr, ItemType::Object, 0);
  readLwsMotion(t.tokens, &item);
  EXPECT_FLOAT_EQ(item.position[1].value, 3.0f);
  for (int i = 0; i < 9; ++i) {
    if (i != 1) {
      EXPECT_NE(item.channel(i)->value, 7.0f) << "channel " << i;
    }
  }
  EXPECT_STREQ(t.tokens.next(), "after");
}

class LwsLoaderTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    installLightWaveLoaders();
    root = std::make_unique<SceneRoot>(pipeline.get(), "test");
    scene = std::make_unique<Scene>(root.get());
  }
  void TearDown() override {
    scene.reset();
    root.reset();
    PipelineTest::TearDown();
  }
  bool load(const std::string& text, const std::string& name = "scene.lws") {
    files.put(name, text);
    return loadLWS(*scene, nullptr, &files, name, 0.0, 1.0);
  }
  // A unit quad in layer 0, and a second layer named `secondLayer`.
  void putModel(const std::string& name, const std::string& secondLayer = "") {
    lwo2::Writer w;
    w.tags({"Body"});
    w.layer(0, {0.5f, 0, 0});
    w.points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    w.polygons({{0, 1, 2, 3}});
    if (!secondLayer.empty()) {
      w.layer(1, {0, 0, 0}, secondLayer);
      w.points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
      w.polygons({{0, 1, 2}});
    }
    const auto bytes = w.bytes();
    files.put(name, std::vector<unsigned char>(bytes.begin(), bytes.end()));
  }
  template <typename T>
  T* object(std::size_t i) {
    return i < scene->objects.size() ? dynamic_cast<T*>(scene->objects[i].get()) : nullptr;
  }
  LightItem* light(std::size_t i) { return dynamic_cast<LightItem*>(scene->lights.at(i).get()); }
  CameraItem* camera(std::size_t i) { return dynamic_cast<CameraItem*>(scene->cameras.at(i).get()); }

  MemoryFile files;
  std::unique_ptr<SceneRoot> root;
  std::unique_ptr<Scene> scene;
};

const char* const kCamera = "AddCamera\nCameraMotion\nNumChannels 0\n";

TEST_F(LwsLoaderTest, HeaderAndCameraChecks) {
  EXPECT_FALSE(load(std::string("LWSC\n2\n") + kCamera));
  EXPECT_EQ(takeMessage(), "Invalid scene file (wrong version or file type)!");
  EXPECT_FALSE(load(std::string("LWSX\n3\n") + kCamera));
  EXPECT_EQ(takeMessage(), "Invalid scene file (wrong version or file type)!");
  EXPECT_FALSE(loadLWS(*scene, nullptr, &files, "missing.lws", 0, 1));
  EXPECT_FALSE(load(""));

  EXPECT_FALSE(load("LWSC 3 AddNullObject a AddCamera CameraName c"));
  EXPECT_EQ(takeMessage(), "There must be at least one camera in the scene.");
}

TEST_F(LwsLoaderTest, ObjectsWithoutAnyLightKeepTheirCameraAndGetADefaultLight) {
  // The objects' section ends at the camera: it does not swallow the
  // camera motion after it.
  ASSERT_TRUE(load("LWSC 3 AddNullObject a AddNullObject b AddCamera CameraName Cam CameraMotion NumChannels 0"));
  ASSERT_EQ(scene->objects.size(), 2u);
  ASSERT_EQ(scene->cameras.size(), 1u);
  ASSERT_EQ(scene->lights.size(), 1u);
  EXPECT_EQ(light(0)->lightKind, 1);
  EXPECT_EQ(light(0)->red.value, 1.0f);
  EXPECT_EQ(light(0)->intensity.value, 1.0f);
  EXPECT_EQ(light(0)->parent, scene->cameras[0].get());
  EXPECT_EQ(camera(0)->name, "Cam");
  EXPECT_EQ(scene->followed, scene->cameras[0].get());
}

// A scene written out by hand, pinning the keyword layout the loader reads.
TEST_F(LwsLoaderTest, HandWrittenSceneFillsItemsAndSceneSettings) {
  putModel("Objects/Big Rock.lwo", "Legs");
  const std::string text = R"(LWSC
3

FirstFrame 1
LastFrame 60
FramesPerSecond 25
AmbientColor 0.5 0.25 0.125
AmbientIntensity (envelope)
{ Envelope
  2
  Key 0.5 0 3 0 0 0 0 0 0
  Key 1 2 3 0 0 0 0 0 0
  Behaviors 1 1
}

LoadObjectLayer 2 Objects/Big Rock.lwo
ObjectMotion
NumChannels 1
Channel 0
{ Envelope
  1
  Key 1.5 0 0 0 0 0 0 0 0
  Behaviors 1 1
}
PivotRotation 90 0 0
UnaffectedByFog 1
tls_ViewAxis 0
BoneFalloffType 3
AddBone
BoneName Hip
BoneRestDirection 0 90 0
AddBone
BoneName Knee
ParentItem 40000000
ShadowOptions 3

AddNullObject "TL_CameraTarget Main"
ParentItem 10000000
UnaffectedByFog 0
MatteColor 0.5 0.5 0.5

AddLight
LightName Sun
LightColor (envelope)
{ Envelope
  1
  Key 0.25 0 0 0 0 0 0 0 0
  Behaviors 1 1
}
(envelope)
{ Envelope
  1
  Key 0.5 0 0 0 0 0 0 0 0
  Behaviors 1 1
}
(envelope)
{ Envelope
  1
  Key 0.75 0 0 0 0 0 0 0 0
  Behaviors 1 1
}
LightIntensity 0.8
LightConeAngle 45
ShadowFuzziness 1
tls_ViewAxis 1
AffectDiffuse 0

AddCamera
CameraName "Main Camera"
CameraMotion
NumChannels 0
TargetItem 10000001
ZoomFactor 1.5

BackdropColor 0.1 0.2 0.3
FogType 1
FogColor 1 1 1
BackdropFog 1
GridNumber 12
)";
  ASSERT_TRUE(load(text)) << lastMessage();
  EXPECT_EQ(scene->firstFrame, 1.0);
  EXPECT_EQ(scene->lastFrame, 60.0);
  EXPECT_EQ(scene->framesPerSecond, 25.0);
  EXPECT_FLOAT_EQ(scene->ambientColor[2].value, 0.125f);
  ASSERT_NE(scene->ambientIntensity.channel, nullptr);
  EXPECT_FLOAT_EQ(scene->ambientIntensity.evaluate(2.0), 1.0f);

  ASSERT_EQ(scene->objects.size(), 2u);
  ObjectItem* rock = object<ObjectItem>(0);
  EXPECT_EQ(rock->name, "Objects/Big Rock.lwo") << "the name split at its blank is joined again";
  ASSERT_EQ(rock->meshes.size(), 1u);
  EXPECT_EQ(rock->meshes[0].mesh->index, 1) << "layer 2 of the file is layer 1 of the model";
  EXPECT_FLOAT_EQ(rock->position[0].value, 1.5f);
  EXPECT_FLOAT_EQ(rock->pivotRotation[0], 0.0f);
  EXPECT_FLOAT_EQ(rock->pivotRotation[1], kPi / 2) << "heading, stored second";
  EXPECT_FALSE(rock->affectedByFog);
  EXPECT_EQ(rock->shadowOptions, 3) << "object keywords after the bones still reach the object";

  SurfaceRenderObject& mesh = *rock->meshes[0].mesh;
  EXPECT_EQ(mesh.boneFalloffType, 3);
  ASSERT_EQ(mesh.bones.size(), 2u);
  BoneItem& hip = *mesh.bones[0];
  BoneItem& knee = *mesh.bones[1];
  EXPECT_EQ(hip.name, "Hip");
  EXPECT_FLOAT_EQ(hip.restPitch, kPi / 2);
  EXPECT_EQ(hip.parent, rock) << "a bone without ParentItem hangs from its object";
  EXPECT_EQ(knee.parentBone, &hip) << "bone 1 of object 0 by its id";
  EXPECT_EQ(knee.parent, &hip);
  LwsTokens none("", 0);
  const LwsLoad ids(*scene, &files, none, 0);
  EXPECT_EQ(ids.resolve(0x40010000), &knee) << "bone number in the high half, object in the low";
  EXPECT_EQ(ids.resolve(0x40020000), nullptr);
  EXPECT_EQ(ids.resolve(0x40000001), nullptr) << "object 1 has no mesh";
  EXPECT_EQ(ids.resolve(0x10000005), nullptr);
  EXPECT_EQ(ids.resolve(0x50000000), nullptr);

  ObjectItem* target = object<ObjectItem>(1);
  EXPECT_EQ(target->name, "TL_CameraTarget Main");
  EXPECT_EQ(scene->cameraTarget, target);
  EXPECT_EQ(target->parent, rock);
  EXPECT_TRUE(target->affectedByFog);
  EXPECT_FLOAT_EQ(target->objectColor.r, 0.5f);

  ASSERT_EQ(scene->lights.size(), 1u);
  LightItem& sun = *light(0);
  EXPECT_EQ(sun.name, "Sun");
  EXPECT_FLOAT_EQ(sun.red.value, 0.25f);
  EXPECT_FLOAT_EQ(sun.green.value, 0.5f);
  EXPECT_FLOAT_EQ(sun.blue.value, 0.75f);
  EXPECT_FLOAT_EQ(sun.intensity.value, 0.8f) << "the keyword after the colour envelopes is found";
  EXPECT_FLOAT_EQ(sun.coneAngle.value, kPi / 4);
  EXPECT_FLOAT_EQ(sun.shadowBias, -0.5f);
  EXPECT_EQ(sun.axisMode, 1);
  EXPECT_TRUE(sun.noDiffuse);

  CameraItem& cam = *camera(0);
  EXPECT_EQ(cam.name, "Main Camera");
  EXPECT_EQ(cam.target, target);
  EXPECT_FLOAT_EQ(cam.zoomFactor.value, 1.5f);
  EXPECT_EQ(cam.axisMode, 2) << "tls_ViewAxis after an object changed nothing";

  EXPECT_EQ(scene->fogMode, 3);
  EXPECT_FLOAT_EQ(scene->fogColor[1], 0.2f) << "BackdropFog takes the backdrop colour";
  EXPECT_EQ(scene->gridNumber, 12);
}

TEST_F(LwsLoaderTest, SmallKeywordMappings) {
  const auto fogMode = [&](int type) {
    scene = std::make_unique<Scene>(root.get());
    EXPECT_TRUE(load("LWSC 3 FogType " + std::to_string(type) + " " + kCamera));
    return scene->fogMode;
  };
  EXPECT_EQ(fogMode(0), 0);
  EXPECT_EQ(fogMode(1), 3);
  EXPECT_EQ(fogMode(2), 1);
  EXPECT_EQ(fogMode(3), 2);
  EXPECT_EQ(fogMode(7), 0);
  EXPECT_EQ(fogMode(-1), 0);

  scene = std::make_unique<Scene>(root.get());
  ASSERT_TRUE(load(std::string("LWSC 3 AddLight ShadowFuzziness 0 ") + kCamera));
  EXPECT_FLOAT_EQ(light(0)->shadowBias, -1.0f);

  scene = std::make_unique<Scene>(root.get());
  ASSERT_TRUE(load(std::string("LWSC 3 AddNullObject n ExcludeLight 20000001 ExcludeLight 21000000 ") + kCamera));
  EXPECT_EQ(object<ObjectItem>(0)->excludedLights, (std::vector<std::int32_t>{1}));

  // Keywords whose item does not exist yet are read and ignored.
  scene = std::make_unique<Scene>(root.get());
  ASSERT_TRUE(load(std::string("LWSC 3 LightName x BoneName y CameraName z AddBone BoneRestLength 5 "
                               "AddNullObject n ") +
                   kCamera));
  EXPECT_EQ(object<ObjectItem>(0)->name, "n");
  EXPECT_EQ(light(0)->name, "") << "the default light";
}

TEST_F(LwsLoaderTest, LightsPastTheBoundAreIgnoredAndReported) {
  // Each light costs a spot picture of its own when the scene is prepared:
  // a file of many "AddLight" lines must not become gigabytes.
  std::string text = "LWSC 3 AddNullObject watcher ParentItem 20000045 ";
  for (int i = 0; i < 70; ++i) text += "AddLight LightName L" + std::to_string(i) + " LightType 2 ";
  ASSERT_TRUE(load(text + kCamera));
  ASSERT_EQ(scene->lights.size(), 64u);
  EXPECT_EQ(light(0)->name, "L0");
  EXPECT_EQ(light(63)->name, "L63") << "a light past the bound names no earlier light";
  EXPECT_EQ(object<ObjectItem>(0)->parent, nullptr) << "a reference to an ignored light resolves to nothing";
  EXPECT_EQ(takeMessage(), "loadLWS: scene.lws has more than 64 lights; the rest are ignored\n");
}

TEST_F(LwsLoaderTest, AMergeLoadAppendsOnlyItsObjectsWithOffsetIds) {
  for (int i = 0; i < 40; ++i) scene->createObject("earlier");
  const std::size_t lights = scene->lights.size();
  const std::string text =
      "LWSC 3 FirstFrame 99 AddNullObject first ParentItem 10000002 AddNullObject second "
      "AddNullObject third AddLight LightName l " +
      std::string(kCamera);
  ASSERT_TRUE(load(text));
  ASSERT_EQ(scene->objects.size(), 43u);
  EXPECT_EQ(scene->objects[40]->name, "first");
  EXPECT_EQ(scene->objects[40]->parent, scene->objects[42].get());
  EXPECT_EQ(scene->objects[42]->name, "third");
  EXPECT_EQ(scene->firstFrame, 0.0) << "no scene-wide keyword in a merge load";
  EXPECT_EQ(scene->lights.size(), lights + (lights == 0 ? 1u : 0u)) << "a merge load makes no lights";
}

TEST_F(LwsLoaderTest, PhysicsAndCullingObjectsComeFromTheirSections) {
  putModel("CullingPlane.lwo");
  const std::string text =
      "LWSC 3 AddNullObject a Plugin CustomObjHandler 1 TessalineODEGeom 1 { Type 1 Surface 60 Space 2 } "
      "Plugin CustomObjHandler 2 TessalineODEGeom 1 { Type 0 } "
      "AddNullObject j Plugin CustomObjHandler 1 TessalineODEJoint 1 { Type 2 Body1 10000000 Body2 0 } "
      "LoadObjectLayer 1 CullingPlane.lwo " +
      std::string(kCamera);
  ASSERT_TRUE(load(text));
  ASSERT_EQ(scene->objects.size(), 4u) << "two geoms in one section make two physics objects";
  PhysicsObject* a = object<PhysicsObject>(0);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->geomType, 0) << "both blocks act on the section's object, the second last";
  EXPECT_EQ(a->surfaceKind, 0) << "kind 60 is outside the tables";
  EXPECT_NE(takeMessage().find("surface kind 60"), std::string::npos);
  EXPECT_EQ(a->spaceIndex, 2) << "a block sets only what it names";
  // The second physics object takes the next section's keywords: the
  // joint block lands on it and is dropped, and every later object is
  // one place off.
  EXPECT_NE(object<PhysicsObject>(1), nullptr);
  EXPECT_EQ(scene->objects[1]->name, "j");
  EXPECT_NE(object<CullingPlaneObject>(2), nullptr);
  EXPECT_EQ(scene->objects[2]->name, "CullingPlane.lwo");
  EXPECT_EQ(scene->cullingPlanes.size(), 1u);
}

TEST_F(LwsLoaderTest, EffectBlocksFollowTheirPositionalLayout) {
  // Gravity with "g0" where the pair stands takes one token fewer.
  const std::string gravity =
      "AddNullObject o Plugin CustomObjHandler 1 FX_Gravity V 1 W 1 2.5 3.5 2 0 g0 0 -1 0 X EndPlugin "
      "Plugin CustomObjHandler 2 FX_Gravity V 1 W 0 1 1 0 0 q r 4 5 6 X EndPlugin PluginEnabled 1 ";
  // An emitter followed by PluginEnabled is switched off.
  lws::SceneWriter w;
  w.addNullObject("e");
  FXEmitter emitter(nullptr);
  w.emitter(emitter);
  std::string text = "LWSC 3 " + gravity + w.text().substr(8) + "PluginEnabled 1\n" + kCamera;
  ASSERT_TRUE(load(text));
  ASSERT_EQ(scene->forces.size(), 1u);
  auto* g = dynamic_cast<FXGravity*>(scene->forces[0].get());
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->type, 1);
  EXPECT_FLOAT_EQ(g->radius.value, 2.5f);
  EXPECT_FLOAT_EQ(g->strength.value, 3.5f);
  EXPECT_EQ(g->falloff, 2);
  EXPECT_FLOAT_EQ(g->direction[1], -1.0f);
  EXPECT_EQ(g->owner, scene->objects[0].get());
  EXPECT_TRUE(scene->emitters.empty());
}

// Emitter and collision blocks written out by hand, value by value, so that
// the field tables the loader and the writer share are checked against the
// layout itself.
TEST_F(LwsLoaderTest, HandWrittenEmitterAndCollisionBlocks) {
  const std::string text =
      "LWSC 3 AddNullObject o "
      "Plugin CustomObjHandler 1 FX_Emitter V 1 W "
      "1 2 3 p1 extra 0 0 0 77 0 T 4 5 6 0.5 0 0 T 7 8 9 0 T 0 10 4.9 0 3.7 60 15 11 0 2 "
      "0 0 0 0 0 0 0 0 0 T 12 13 14 15 0 0 0 16 17 0 0 18 0 0 0 "
      "VariantParameter 0 0 B 20 1 { Envelope 2 Key 20 0 0 0 0 0 0 0 0 Key 30 1 3 0 0 0 0 0 0 "
      "Behaviors 1 1 } X Y EndPlugin "
      "Plugin CustomObjHandler 2 FX_Collision V 1 W 0 2.5 0.75 2 1 0 0 collision 0.3 0 0 0 0 0 0 0 "
      "EndPlugin PluginEnabled 1 " +
      std::string(kCamera);
  ASSERT_TRUE(load(text));
  ASSERT_EQ(scene->emitters.size(), 1u);
  FXEmitter& e = *scene->emitters[0];
  EXPECT_FLOAT_EQ(e.generatorSize[2], 3.0f);
  EXPECT_EQ(e.maxParticles, 77) << "a pair other than p0 takes two tokens";
  EXPECT_FLOAT_EQ(e.velocity[0].value, 4.0f);
  EXPECT_FLOAT_EQ(e.velocity[2].value, 6.0f);
  EXPECT_FLOAT_EQ(e.inheritFactor, 0.5f);
  EXPECT_FLOAT_EQ(e.acceleration[1], 8.0f);
  EXPECT_EQ(e.generatorShape, 4) << "truncated";
  EXPECT_EQ(e.rateMode, 3);
  EXPECT_FLOAT_EQ(e.lifetime.value, 2.0f) << "60 frames at 30 per second";
  EXPECT_FLOAT_EQ(e.lifetimeVariation.value, 0.5f);
  EXPECT_FLOAT_EQ(e.explosion.value, 11.0f);
  EXPECT_EQ(e.triggerMode, 2);
  EXPECT_FLOAT_EQ(e.weightBase.value, 12.0f);
  EXPECT_FLOAT_EQ(e.swirlBase.value, 13.0f);
  EXPECT_FLOAT_EQ(e.weightVariation.value, 14.0f);
  EXPECT_FLOAT_EQ(e.swirlVariation.value, 15.0f);
  EXPECT_FLOAT_EQ(e.extraBase.value, 16.0f);
  EXPECT_FLOAT_EQ(e.extraVariation.value, 17.0f);
  EXPECT_FLOAT_EQ(e.speedLimit, 18.0f);
  ASSERT_NE(e.birthRate.channel, nullptr) << "the variant parameter's envelope";
  EXPECT_FLOAT_EQ(e.birthRate.evaluate(1.0), 30.0f);

  ASSERT_EQ(scene->forces.size(), 1u) << "a collision is kept whatever follows it";
  auto* c = dynamic_cast<FXCollision*>(scene->forces[0].get());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->kind, 0);
  EXPECT_FLOAT_EQ(c->radius.value, 2.5f);
  EXPECT_FLOAT_EQ(c->bounce.value, 0.75f);
  EXPECT_EQ(c->shape, 2);
  EXPECT_FLOAT_EQ(c->scatter, 0.3f);
}

TEST_F(LwsLoaderTest, ReplacementModelsJoinTheMeshListByDistance) {
  putModel("far.lwo");
  putModel("D:\\near.lwo");
  const std::string text =
      "LWSC 3 AddNullObject o Plugin ObjReplacementHandler 1 x 1 3 "
      "50 far.lwo 0 D:\\\\near.lwo 20 \"\" " +
      std::string(kCamera);
  ASSERT_TRUE(load(text));
  ObjectItem* o = object<ObjectItem>(0);
  ASSERT_EQ(o->meshes.size(), 2u) << "an empty name is left out";
  ASSERT_NE(root->findModel("D:\\near.lwo"), nullptr) << "doubled backslashes collapse";
  EXPECT_EQ(o->meshes[0].mesh, root->findModel("D:\\near.lwo")->layers[0].get());
  EXPECT_EQ(o->meshes[0].key, 0.0f);
  EXPECT_EQ(o->meshes[1].mesh, root->findModel("far.lwo")->layers[0].get());
  EXPECT_EQ(o->meshes[1].key, 50.0f);
}

TEST_F(LwsLoaderTest, ModelNamesOnADriveStartAtItsRootFolder) {
  putModel("D:\\rock.lwo");
  ASSERT_TRUE(load("LWSC 3 LoadObjectLayer 1 D:rock.lwo " + std::string(kCamera)));
  ObjectItem* rock = object<ObjectItem>(0);
  ASSERT_NE(rock, nullptr);
  EXPECT_EQ(rock->name, "D:\\rock.lwo");
  ASSERT_EQ(rock->meshes.size(), 1u);
  EXPECT_EQ(rock->meshes[0].mesh, root->findModel("D:\\rock.lwo")->layers[0].get());
}

TEST_F(LwsLoaderTest, SpacesBeyondTheTablesAndUnknownSpaceTypesAreReported) {
  lws::SceneWriter w;
  std::vector<lws::Space> spaces(51, lws::Space{"s", 0});
  spaces[0] = {"(default)", 7};
  w.odeMaster(spaces);
  w.camera({});
  ASSERT_TRUE(load(w.text()));
  ASSERT_EQ(scene->physics().spaceCount(), 50);
  EXPECT_EQ(dSpaceGetClass(scene->physics().space(0)), dSimpleSpaceClass);
  EXPECT_NE(takeMessage().find("more than 50 collision spaces"), std::string::npos);
}

TEST_F(LwsLoaderTest, ClipsCorrectDriveNamesAndKeepNodxtUncompressed) {
  const std::string text = std::string("LWSC 3 ") + kCamera +
                           "AddLight LightProjImage { Clip { Still \"D:Images/sky_nodxt.png\" } "
                           "Times 0 0 12 0 0 Negative 0 } LightName after";
  ASSERT_TRUE(load(text));
  Texture* clip = root->findTexture("D:/Images/sky_nodxt.png", 0);
  ASSERT_NE(clip, nullptr);
  EXPECT_EQ(clip->flags & 3u, 2u);
  EXPECT_FLOAT_EQ(clip->frameRate, 12.0f);
  EXPECT_EQ(light(0)->name, "after");
}

TEST_F(LwsLoaderTest, SoundCommentsGiveObjectsAMutedThreeDimensionalBuffer) {
  AudioDriver driver("dummy");
  SoundSystem system(nullptr);
  pipeline->soundDevice = system.openDevice(kDefaultSoundDeviceGuid);
  ASSERT_NE(pipeline->soundDevice, nullptr);
  files.put("hum.wav", writeWav(WavDescription{}, std::vector<std::uint8_t>(400, 0)));
  lws::SceneWriter w;
  w.addNullObject("a");
  w.sound("hum.wav");
  w.addNullObject("b");
  w.sound("missing.wav");
  w.camera({});
  ASSERT_TRUE(load(w.text()));
  ObjectItem* a = object<ObjectItem>(0);
  ASSERT_NE(a->sound, nullptr);
  ASSERT_NE(a->soundSource, nullptr);
  EXPECT_EQ(a->soundSource->fileName, "hum.wav");
  EXPECT_EQ(a->sound->source(), a->soundSource->channel.get()) << "the source lives as long as its buffer";
  EXPECT_EQ(a->sound->device(), pipeline->soundDevice);
  EXPECT_EQ(object<ObjectItem>(1)->sound, nullptr);
  scene.reset();  // the buffers go before their device
  pipeline->soundDevice = nullptr;
}

// A scene from the writer: every written field comes back, and the
// physics it describes runs.
TEST_F(LwsLoaderTest, AWrittenSceneLoadsBackAndSteps) {
  putModel("ground.lwo");
  lws::SceneWriter w;
  w.timing(0, 120, 30);
  w.ambient({0.2f, 0.3f, 0.4f}, 0.5f);
  w.odeMaster({{"(default)", 1}, {"Balls", 0}});

  w.loadObjectLayer(1, "ground.lwo");
  w.motion("ObjectMotion", lws::still(0, -1, 0));
  w.geom({kGeomBox, 3, 0, {20, 1, 20}, 0});

  w.addNullObject("Ball");
  lws::Motion ball = lws::still(2, 0, 0);
  ball[1] = lws::Envelope{{{0, 0, 0}, {0.5f, 1, 3}}, 1, 1};
  w.motion("ObjectMotion", ball);
  w.geom({kGeomSphere, 4, 1, {0.5f, 0.5f, 0.5f}, 0});
  w.body({0, 2.0, {0.5f, 1, 1}, 1});
  FXEmitter emitter(nullptr);
  emitter.maxParticles = 120;
  emitter.generatorSize[2] = 3.0f;
  emitter.velocity[1].value = 4.5f;
  emitter.inheritFactor = 0.25f;
  emitter.acceleration[1] = -9.5f;
  emitter.generatorShape = 0;
  emitter.rateMode = 0;
  emitter.lifetime.value = 2.0f;
  emitter.lifetimeVariation.value = 0.5f;
  emitter.explosion.value = 1.25f;
  emitter.triggerMode = 2;
  emitter.weightBase.value = 1.5f;
  emitter.weightVariation.value = 0.125f;
  emitter.swirlBase.value = 3.0f;
  emitter.swirlVariation.value = 0.75f;
  emitter.extraBase.value = 40.0f;
  emitter.extraVariation.value = 2.0f;
  emitter.speedLimit = 0.375f;
  w.emitter(emitter, nullptr);
  FXWind wind(nullptr);
  wind.mode = 2;
  wind.radius.value = 6.0f;
  wind.direction[2].value = -0.5f;
  w.wind(wind);
  FXCollision collision(nullptr);
  collision.shape = 2;
  collision.bounce.value = 0.5f;
  collision.scatter = 0.1f;
  w.collision(collision);

  w.addNullObject("Hinge");
  w.motion("ObjectMotion", lws::still(0, 0, 0));
  w.joint({kJointHinge, lws::objectId(1), 0});

  lws::Light sun;
  sun.name = "Sun";
  sun.type = 0;
  sun.colour = {1.0f, 0.9f, 0.8f};
  sun.intensity = lws::Envelope{{{0.5f, 0}, {1, 2}}, 1, 1};
  sun.coneDegrees = 60.0f;
  sun.shadowFuzziness = 2.0f;
  w.light(sun);
  lws::Light lamp;
  lamp.name = "Lamp";
  lamp.type = 1;
  lamp.parent = lws::objectId(1);
  w.light(lamp);
  lws::Camera cam;
  cam.name = "Chase";
  cam.zoom = 1.5f;
  cam.target = lws::objectId(1);
  w.camera(cam);
  lws::Camera second;
  second.name = "Top";
  second.motion = lws::still(0, 10, 0);
  w.camera(second);

  ASSERT_TRUE(load(w.text())) << lastMessage() << "\n" << w.text();

  EXPECT_EQ(scene->lastFrame, 120.0);
  EXPECT_FLOAT_EQ(scene->ambientColor[1].value, 0.3f);
  ASSERT_EQ(scene->physics().spaceCount(), 2);
  EXPECT_EQ(dSpaceGetClass(scene->physics().space(0)), dHashSpaceClass);
  EXPECT_EQ(dSpaceGetClass(scene->physics().space(1)), dSimpleSpaceClass);
  EXPECT_EQ(dGeomGetSpace(reinterpret_cast<dGeomID>(scene->physics().space(1))), scene->physics().space(0));
  EXPECT_EQ(dGeomGetData(reinterpret_cast<dGeomID>(scene->physics().space(1))), reinterpret_cast<void*>(1));

  ASSERT_EQ(scene->objects.size(), 3u);
  PhysicsObject* ground = object<PhysicsObject>(0);
  PhysicsObject* ballItem = object<PhysicsObject>(1);
  ODEJointObject* hinge = object<ODEJointObject>(2);
  ASSERT_TRUE(ground && ballItem && hinge);
  EXPECT_EQ(ground->name, "ground.lwo");
  EXPECT_EQ(ground->geomType, kGeomBox);
  EXPECT_EQ(ground->surfaceKind, 3);
  EXPECT_FLOAT_EQ(ground->geomSize[0], 20.0f);
  EXPECT_FLOAT_EQ(ground->position[1].value, -1.0f);
  EXPECT_EQ(ballItem->spaceIndex, 1);
  EXPECT_EQ(ballItem->surfaceKind, 4);
  ASSERT_NE(ballItem->position[1].channel, nullptr);
  EXPECT_FLOAT_EQ(ballItem->position[1].evaluate(1.0), 0.5f);
  ASSERT_NE(ballItem->body, nullptr);
  dMass mass;
  dBodyGetMass(ballItem->body, &mass);
  EXPECT_DOUBLE_EQ(mass.mass, 2.0);
  EXPECT_NEAR(mass.I[0], 0.4 * 2.0 * 0.25, 1e-9) << "a sphere of radius 0.5";
  EXPECT_EQ(dBodyGetAutoDisableFlag(ballItem->body), 1);
  EXPECT_EQ(hinge->jointType, kJointHinge);
  EXPECT_EQ(hinge->item1, ballItem);
  EXPECT_EQ(hinge->item2, nullptr);

  ASSERT_EQ(scene->emitters.size(), 1u);
  const FXEmitter& e = *scene->emitters[0];
  EXPECT_EQ(e.owner, ballItem);
  EXPECT_EQ(e.maxParticles, 120);
  EXPECT_FLOAT_EQ(e.generatorSize[2], 3.0f);
  EXPECT_FLOAT_EQ(e.velocity[1].value, 4.5f);
  EXPECT_FLOAT_EQ(e.inheritFactor, 0.25f);
  EXPECT_FLOAT_EQ(e.acceleration[1], -9.5f);
  EXPECT_EQ(e.generatorShape, 0);
  EXPECT_EQ(e.rateMode, 0);
  EXPECT_FLOAT_EQ(e.lifetime.value, 2.0f);
  EXPECT_FLOAT_EQ(e.lifetimeVariation.value, 0.5f);
  EXPECT_FLOAT_EQ(e.explosion.value, 1.25f);
  EXPECT_EQ(e.triggerMode, 2);
  EXPECT_FLOAT_EQ(e.weightBase.value, 1.5f);
  EXPECT_FLOAT_EQ(e.weightVariation.value, 0.125f);
  EXPECT_FLOAT_EQ(e.swirlBase.value, 3.0f);
  EXPECT_FLOAT_EQ(e.swirlVariation.value, 0.75f);
  EXPECT_FLOAT_EQ(e.extraBase.value, 40.0f);
  EXPECT_FLOAT_EQ(e.extraVariation.value, 2.0f);
  EXPECT_FLOAT_EQ(e.speedLimit, 0.375f);
  ASSERT_EQ(scene->forces.size(), 2u);
  auto* windBack = dynamic_cast<FXWind*>(scene->forces[0].get());
  auto* collisionBack = dynamic_cast<FXCollision*>(scene->forces[1].get());
  ASSERT_TRUE(windBack && collisionBack);
  EXPECT_EQ(windBack->mode, 2);
  EXPECT_FLOAT_EQ(windBack->radius.value, 6.0f);
  EXPECT_FLOAT_EQ(windBack->direction[2].value, -0.5f);
  EXPECT_EQ(collisionBack->shape, 2);
  EXPECT_FLOAT_EQ(collisionBack->bounce.value, 0.5f);
  EXPECT_FLOAT_EQ(collisionBack->scatter, 0.1f);

  ASSERT_EQ(scene->lights.size(), 2u);
  EXPECT_EQ(light(0)->name, "Sun");
  EXPECT_FLOAT_EQ(light(0)->blue.value, 0.8f);
  ASSERT_NE(light(0)->intensity.channel, nullptr);
  EXPECT_FLOAT_EQ(light(0)->intensity.evaluate(2.0), 1.0f);
  EXPECT_FLOAT_EQ(light(0)->coneAngle.value, kPi / 3);
  EXPECT_FLOAT_EQ(light(0)->shadowBias, -0.25f);
  EXPECT_EQ(light(1)->lightKind, 1);
  EXPECT_EQ(light(1)->parent, ballItem);
  ASSERT_EQ(scene->cameras.size(), 2u);
  EXPECT_EQ(camera(0)->name, "Chase");
  EXPECT_FLOAT_EQ(camera(0)->zoomFactor.value, 1.5f);
  EXPECT_EQ(camera(0)->target, ballItem);
  EXPECT_FLOAT_EQ(camera(1)->position[1].value, 10.0f);

  // The ball swings on its hinge: it moves, and keeps its distance from
  // the anchor at the origin.
  scene->prepare(nullptr, 0.0, 0.0);
  ASSERT_NE(hinge->joint, nullptr);
  const dReal* start = dBodyGetPosition(ballItem->body);
  const double x0 = start[0], y0 = start[1], r0 = std::hypot(start[0], start[1], start[2]);
  for (int i = 0; i < 50; ++i) scene->physicsStep(0.01);
  const dReal* now = dBodyGetPosition(ballItem->body);
  EXPECT_LT(now[1], y0 - 0.01);
  EXPECT_NE(now[0], x0);
  EXPECT_NEAR(std::hypot(now[0], now[1], now[2]), r0, 1e-3);
}

// The mixer block's layout by hand: channel names lose the item names in
// front, motions of no actor or of unknown items change nothing, and two
// motions on one channel share its group.
TEST_F(LwsLoaderTest, HandWrittenMixerBlockBuildsActorsAndChannelGroups) {
  const std::string key = " 0 0 0 0 0 0 ";
  const std::string text =
      "LWSC 3 AddNullObject Body AddNullObject Wheel "
      "Plugin MasterHandler 1 MotionMixer Prefs 2 "
      "{ Actor { ActorMotions { AddMotion MotionName Orphan } } AddActor Character ActorState 1 ActorPoseFrame 3 "
      "{ ActorItems ItemName Body ItemAdd 10000000 ItemLock 0 ItemName Ghost ItemAdd 0 "
      "ItemName Wheel ItemAdd 10000001 } "
      "{ ActorMotions { AddMotion MotionName Walk MotionActor Character MotionRange 0 30 "
      "NumberOfItems 2 { Item ItemName Body ItemState 1 ItemChannels 2 "
      "{ Channel ChannelName Character.Body.Position.X ChannelType 0 ChannelState 1 "
      "{ Envelope 2 Key 0 0 3" +
      key + "Key 10 1 3" + key +
      "Behaviors 1 1 } } "
      "{ Channel ChannelName Body.Color.R { Envelope 1 Key 5 0 0" +
      key +
      "Behaviors 1 1 } } } "
      "{ Item ItemName Nobody { Channel ChannelName Position.Y "
      "{ Envelope 1 Key 5 0 0" +
      key +
      "Behaviors 1 1 } } } } "
      "{ AddMotion MotionName Run { Item ItemName Body { Channel ChannelName Position.X "
      "{ Envelope 1 Key 20 0 0" +
      key +
      "Behaviors 1 1 } } } } } "
      "{ ActorTracks { AddTrack TrackState 1 { TrackMotions { AddTrackMotion "
      "TrackMotionName Walk { TrackMotionTimeWarp TrackMotionTimeWarpState 0 "
      "{ Envelope 0 Behaviors 1 1 } } } } } } } } EndPlugin " +
      kCamera;
  ASSERT_TRUE(load(text));
  ASSERT_EQ(scene->actors.size(), 1u);
  MixerActor& actor = *scene->actors[0];
  EXPECT_EQ(actor.name, "Character");
  EXPECT_EQ(actor.itemNames, (std::vector<std::string>{"Body", "Wheel"})) << "an id of 0 adds nothing";
  ASSERT_EQ(scene->motions.size(), 2u) << "a motion before any actor is not kept";
  MixerMotion& walk = *scene->motions[0];
  MixerMotion& run = *scene->motions[1];
  EXPECT_EQ(walk.name, "Walk");
  EXPECT_EQ(run.name, "Run");
  EXPECT_EQ(actor.motions, (std::vector<MixerMotion*>{&walk, &run}));

  SceneItem* body = object<SceneItem>(0);
  ChannelGroup* group = body->position[0].channel ? body->position[0].channel->asChannelGroup() : nullptr;
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->envelopeCount(), 3);
  EXPECT_EQ(group->intensity(0), 0.0f);
  EXPECT_EQ(walk.groups, std::vector<ChannelGroup*>{group}) << "Color.R and an unknown item drive nothing";
  EXPECT_EQ(walk.envelopeIndex, std::vector<std::int32_t>{1});
  EXPECT_EQ(run.groups, std::vector<ChannelGroup*>{group});
  EXPECT_EQ(run.envelopeIndex, std::vector<std::int32_t>{2});
  EXPECT_EQ(body->position[1].channel, nullptr);
  EXPECT_EQ(object<SceneItem>(1)->position[1].channel, nullptr);
  EXPECT_EQ(scene->findActor("Character", 0), &actor);
}

// Karts merge their own "Character" into one scene: each is found by its
// occurrence and blends its own items' motions.
TEST_F(LwsLoaderTest, MergedActorsOfOneNameAreFoundByOccurrenceAndBlend) {
  auto kart = [](float height) {
    lws::SceneWriter w;
    w.addNullObject("kart");
    w.motion("ObjectMotion", lws::still(0, height, 0));
    lws::Actor actor{"Character", {{"kart", lws::objectId(0)}}, {}};
    const lws::Envelope rise{{{0, 0, 3}, {10, 1, 3}}, 1, 1};
    const lws::Envelope jump{{{100, 0, 3}, {200, 1, 3}}, 1, 1};
    actor.motions.push_back({"rise", {{"kart", {{"kart.Position.Y", rise}}}}});
    actor.motions.push_back({"jump", {{"kart", {{"Position.Y", jump}}}}});
    w.motionMixer({actor});
    w.camera({});
    return w.text();
  };
  ASSERT_TRUE(load(kart(3), "first.lws"));
  ASSERT_TRUE(load(kart(4), "second.lws"));
  ASSERT_EQ(scene->objects.size(), 2u);
  MixerActor* first = scene->findActor("Character", 0);
  MixerActor* second = scene->findActor("Character", 1);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(scene->findActor("Character", 2), nullptr);
  EXPECT_EQ(first->items, std::vector<SceneItem*>{object<SceneItem>(0)});
  EXPECT_EQ(second->items, std::vector<SceneItem*>{object<SceneItem>(1)}) << "ids count from the merged file";
  ASSERT_EQ(second->motions.size(), 2u);

  AnimatedFloat& y = object<SceneItem>(1)->position[1];
  EXPECT_FLOAT_EQ(y.evaluate(0.5), 4.0f) << "with every motion off the item keeps its own motion";
  second->motions[0]->setIntensity(1.0f);
  second->motions[1]->setIntensity(3.0f);
  second->motions[1]->setOffset(0.5f);
  // rise(t) = 10 t, jump(t) = 100 + 100 (t - 0.5), weighted 1 : 3.
  EXPECT_FLOAT_EQ(y.evaluate(0.5), (5.0f + 3 * 100.0f) / 4);
  EXPECT_FLOAT_EQ(y.evaluate(1.0), (10.0f + 3 * 150.0f) / 4);
  EXPECT_FLOAT_EQ(object<SceneItem>(0)->position[1].evaluate(1.0), 3.0f) << "the first kart is not driven";
}

// Actors as the mixer writes them, with the "ActorTracks" blocks the game
// reads over: every actor and motion after them is there; an actor with a
// brace too many or too few takes nothing after it.
TEST_F(LwsLoaderTest, ActorTracksAndUnbalancedActorsKeepTheActorsAfterThem) {
  const std::string key = " 0 0 0 0 0 0 ";
  auto motion = [&](const std::string& name, const std::string& item, float value) {
    return "{ AddMotion MotionName " + name + " { Item ItemName " + item + " { Channel ChannelName Position.Y " +
           "{ Envelope 1 Key " + std::to_string(value) + " 0 0" + key + "Behaviors 1 1 } } } } ";
  };
  const std::string tracks =
      "{ ActorTracks { AddTrack TrackState 1 { TrackMotions { AddTrackMotion TrackMotionName Walk "
      "TrackMotionState 1 TrackMotionInOut 0 0 { TrackMotionStates TrackMotionItemName Body "
      "TrackMotionItemState 1 } { TrackMotionWeight TrackMotionWeightState 0 { Envelope 0 Behaviors 1 1 } } } "
      "{ AddTrackMotion TrackMotionName Run } } { TrackTransitions } } { AddTrack TrackState 0 } } ";
  auto actor = [&](const std::string& name, const std::string& item, const std::string& id, const std::string& motions,
                   const std::string& closers) {
    return "{ Actor AddActor " + name + " { ActorItems ItemName " + item + " ItemAdd " + id + " } " +
           "{ ActorMotions " + motions + "} " + tracks + closers;
  };
  struct Case {
    const char* what;
    std::string firstActorMotions, firstCloser;
    std::size_t firstMotions;
  };
  const Case cases[] = {
      {"balanced", motion("Walk", "Body", 1) + motion("Run", "Body", 2), "} ", 2},
      {"a brace too many", motion("Walk", "Body", 1) + "} " + motion("Run", "Body", 2), "} ", 1},
      {"a brace too few", motion("Walk", "Body", 1) + motion("Run", "Body", 2), "", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    scene = std::make_unique<Scene>(root.get());
    const std::string text =
        "LWSC 3 AddNullObject Body AddNullObject Wheel "
        "Plugin MasterHandler 1 MotionMixer Prefs 0 " +
        actor("Character", "Body", "10000000", c.firstActorMotions, c.firstCloser) +
        actor("Kart", "Wheel", "10000001", motion("Roll", "Wheel", 3) + motion("Hop", "Wheel", 4), "} ") +
        "} EndPlugin AddNullObject After ObjectMotion NumChannels 1 Channel 1 "
        "{ Envelope 1 Key 6 0 0" +
        key + "Behaviors 1 1 } " + kCamera;
    ASSERT_TRUE(load(text));
    ASSERT_EQ(scene->actors.size(), 2u);
    EXPECT_EQ(scene->actors[0]->motions.size(), c.firstMotions);
    MixerActor* kart = scene->findActor("Kart", 0);
    ASSERT_NE(kart, nullptr);
    ASSERT_EQ(kart->motions.size(), 2u);
    EXPECT_EQ(kart->motions[0]->name, "Roll");
    EXPECT_EQ(kart->motions[1]->name, "Hop");
    EXPECT_EQ(kart->items, std::vector<SceneItem*>{object<SceneItem>(1)});
    ChannelGroup* group = object<SceneItem>(1)->position[1].channel->asChannelGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->envelopeCount(), 3);
    ASSERT_NE(object<SceneItem>(2), nullptr);
    EXPECT_FLOAT_EQ(object<SceneItem>(2)->position[1].value, 6.0f) << "the object after the plug-in is read";
  }
}

// The flags of a hyper-voxel object by hand: an unknown type is reported
// and its entries are passed over; the next object still gets its look.
TEST_F(LwsLoaderTest, HandWrittenHyperVoxelFlagsAndUnknownTypes) {
  const std::string key = " 0 0 0 0 0 0 0 0 ";
  const std::string text = std::string("LWSC 3 AddNullObject bad AddNullObject smoke ") +
                           "Plugin VolumetricHandler 1 HyperVoxelsFilter { HyperVoxelData HVFlags 0 0 0 0 "
                           "{ HVObject { HVFlags bad 0 0 0 7 0 0 0 } { HVChannels Slices 9 } } "
                           "HVBlendingGroups -5 "
                           "{ HVObject { HVFlags smoke 0 0 0 1 0 0 0 } { HVChannels UseAllLights 0 AlignToPath x "
                           "VOpacity 0.25 0 Luminosity 0.5 x Color 1 1 1 3 { Envelope 1 Key 1" +
                           key + "Behaviors 1 1 } { Envelope 0 Behaviors 1 1 } { Envelope 1 Key 1" + key +
                           "Behaviors 1 1 } VColor 0.1 0.2 0.3 3 { Envelope 1 Key 0.4" + key +
                           "Behaviors 1 1 } { Envelope 0 Behaviors 1 1 } { Envelope 2 Key 0 0 3 0 0 0 0 0 0 "
                           "Key 1 1 3 0 0 0 0 0 0 Behaviors 1 1 } Slices 12 } } } EndPlugin " +
                           kCamera;
  ASSERT_TRUE(load(text));
  EXPECT_EQ(takeMessage(), "unknown hypervoxel type");
  EXPECT_EQ(object<ObjectItem>(0)->particleRenderer, nullptr);
  auto* smoke = dynamic_cast<HyperVoxelParticles*>(object<ObjectItem>(1)->particleRenderer.get());
  ASSERT_NE(smoke, nullptr);
  EXPECT_FALSE(smoke->useAllLights);
  EXPECT_TRUE(smoke->alignToPath) << "any token but 0 is true";
  EXPECT_FLOAT_EQ(smoke->opacity.value, 0.25f);
  EXPECT_EQ(smoke->opacity.channel, nullptr);
  EXPECT_FLOAT_EQ(smoke->colour[0].value, 0.4f) << "a one-key envelope replaces the number";
  EXPECT_FLOAT_EQ(smoke->colour[1].value, 0.0f);
  ASSERT_NE(smoke->colour[2].channel, nullptr);
  EXPECT_FLOAT_EQ(smoke->colour[2].evaluate(0.5), 0.5f);
  EXPECT_EQ(smoke->slices, 12) << "the dropped colour's envelopes are read past";
}

// A texture block with a brace too many or too few takes neither the
// objects after it in the block nor the scene's objects after the plug-in;
// an antialiasing strength is kept as the file gives it.
TEST_F(LwsLoaderTest, UnbalancedHyperVoxelBlocksKeepWhatFollowsThem) {
  const std::string key = " 0 0 0 0 0 0 0 0 ";
  const char* closers[] = {"} } } ", "} } } } ", "} } "};
  for (const char* texturesEnd : closers) {
    SCOPED_TRACE(texturesEnd);
    scene = std::make_unique<Scene>(root.get());
    const std::string text =
        std::string("LWSC 3 AddNullObject smoke AddNullObject sparks ") +
        "Plugin VolumetricHandler 1 HyperVoxelsFilter { HyperVoxelData HVFlags 0 0 0 0 "
        "{ HVObject { HVFlags smoke 0 0 0 1 0 0 0 } { HVChannels Slices 3 } { HVTextures TextureBlock 0 "
        "{ { Texture { ImageMap Projection 1 AntiAliasing 1 1.5 PixelBlending 1 " +
        texturesEnd + "TextureBlock 0 { Axis 2 AntiAliasing 0 Enable 0 } } } " +
        "{ HVObject { HVFlags sparks 0 0 0 2 0 0 0 } { HVChannels Slices 7 } } } EndPlugin " +
        "AddNullObject after ObjectMotion NumChannels 1 Channel 1 { Envelope 1 Key 6" + key + "Behaviors 1 1 } " +
        kCamera;
    ASSERT_TRUE(load(text));
    auto* smoke = dynamic_cast<HyperVoxelParticles*>(object<ObjectItem>(0)->particleRenderer.get());
    ASSERT_NE(smoke, nullptr);
    EXPECT_EQ(smoke->slices, 3);
    ASSERT_GE(smoke->textureLayers.size(), 1u);
    const TextureLayer& first = *smoke->textureLayers[0];
    EXPECT_TRUE(first.antialiasing);
    EXPECT_EQ(first.maxAnisotropy, 1.5f) << "not the object files' level table";
    EXPECT_EQ(first.projection, 1);
    EXPECT_TRUE(first.pixelBlending);
    auto* sparks = dynamic_cast<ParticleMaterial*>(object<ObjectItem>(1)->particleRenderer.get());
    ASSERT_NE(sparks, nullptr) << "the next object of the block";
    EXPECT_EQ(sparks->slices, 7);
    ASSERT_NE(object<SceneItem>(2), nullptr);
    EXPECT_FLOAT_EQ(object<SceneItem>(2)->position[1].value, 6.0f) << "the object after the plug-in";
  }
}

TEST_F(LwsLoaderTest, HyperVoxelBlocksRoundTripThroughTheWriter) {
  lws::SceneWriter w;
  w.addNullObject("smoke");
  w.addNullObject("sparks");
  lws::HyperVoxelObject smoke;
  smoke.object = "smoke";
  smoke.opacity = 0.75f;
  smoke.useAllLights = false;
  smoke.maintainVolume = true;
  smoke.particleSize = lws::Envelope{{{0.5f, 0, 3}, {1.5f, 1, 3}}, 1, 1};
  smoke.colour = {0.25f, 0.5f, 1.0f};
  smoke.blendingMode = 2;
  smoke.stretchDirection = 3;
  lws::HyperVoxelTexture texture;
  texture.image = "puff.png";
  texture.center = {1.0f, lws::Envelope{{{0, 0, 3}, {4, 2, 3}}, 1, 1}, 3.0f};
  texture.projection = 2;
  texture.widthWrap = 0;
  texture.widthRepeat = 2.0f;
  texture.antialiasing = true;
  texture.antialiasStrength = 4.0f;
  texture.opacityMode = 1;
  texture.opacity = lws::Envelope{{{0, 0, 3}, {1, 1, 3}}, 1, 1};
  texture.negative = true;
  smoke.textures = {texture, lws::HyperVoxelTexture{}};
  lws::HyperVoxelObject sparks;
  sparks.object = "sparks";
  sparks.type = 2;
  sparks.useAllLights = true;
  w.hyperVoxels({smoke, sparks});
  w.camera({});
  ASSERT_TRUE(load(w.text()));

  auto* s = dynamic_cast<HyperVoxelParticles*>(object<ObjectItem>(0)->particleRenderer.get());
  ASSERT_NE(s, nullptr);
  EXPECT_FALSE(s->useAllLights);
  EXPECT_TRUE(s->maintainVolume);
  EXPECT_FLOAT_EQ(s->opacity.value, 0.75f);
  EXPECT_EQ(s->opacity.channel, nullptr);
  EXPECT_FLOAT_EQ(s->particleSize.evaluate(0.5), 1.0f);
  EXPECT_FLOAT_EQ(s->colour[1].value, 0.5f);
  EXPECT_EQ(s->blendingMode, 2);
  EXPECT_EQ(s->stretchDirection, 3);
  ASSERT_EQ(s->textureLayers.size(), 2u);
  TextureLayer& layer = *s->textureLayers[0];
  EXPECT_EQ(layer.texture, root->findTexture("puff.png", 0));
  ASSERT_NE(layer.texture, nullptr);
  EXPECT_FLOAT_EQ(layer.centerX.value, 1.0f);
  EXPECT_FLOAT_EQ(layer.centerY.evaluate(1.0), 2.0f);
  EXPECT_FLOAT_EQ(layer.centerZ.value, 3.0f);
  EXPECT_EQ(layer.projection, 2);
  EXPECT_EQ(layer.wrapU, 1) << "a spherical map repeats across";
  EXPECT_EQ(layer.wrapV, 1);
  EXPECT_FLOAT_EQ(layer.widthRepeat, 2.0f);
  EXPECT_TRUE(layer.antialiasing);
  EXPECT_EQ(layer.maxAnisotropy, 4.0f);
  EXPECT_EQ(layer.opacityType, 1);
  EXPECT_FLOAT_EQ(layer.opacity.evaluate(0.5), 0.5f);
  EXPECT_TRUE(layer.enabled);
  EXPECT_TRUE(layer.negative);
  EXPECT_EQ(s->textureLayers[1]->texture, nullptr);
  EXPECT_FALSE(s->textureLayers[1]->antialiasing);

  auto* p = dynamic_cast<ParticleMaterial*>(object<ObjectItem>(1)->particleRenderer.get());
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->useAllLights);
  EXPECT_EQ(p->surface, nullptr) << "nothing in the block gives a particle material its surface";
}

}  // namespace
