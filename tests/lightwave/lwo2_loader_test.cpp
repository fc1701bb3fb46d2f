// The object loader against files from the writer and bytes written out by
// hand, on a scene over the recording device.
#include "lightwave/lwo2_loader.h"

#include <gtest/gtest.h>

#include <cmath>

#include "content/lwo2_writer.h"
#include "foundation/envelope.h"
#include "lightwave/lwo2_cursor.h"
#include "render/file_texture.h"
#include "render/sequence_texture.h"
#include "render/surface.h"
#include "render/texture_layer.h"
#include "scene/camera_item.h"
#include "scene/lwo_model.h"
#include "scene/object_item.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/support/memory_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Lwo2Cursor, ReadsBigEndianFieldsAndNeverPastItsBytes) {
  const Bytes bytes = {0xFF, 0x01, 0x23, 0x45, 0x12, 0x34, 'a', 'b', 'c', 0, 0x3F, 0x80, 0x00, 0x00, 0xAB};
  Lwo2Cursor in(bytes.data(), bytes.size());
  EXPECT_EQ(in.vx(), 0x012345u);
  EXPECT_EQ(in.vx(), 0x1234u);
  std::size_t used = 0;
  EXPECT_EQ(in.s0(&used), "abc");
  EXPECT_EQ(used, 4u);
  EXPECT_EQ(in.f4(), 1.0f);
  EXPECT_FALSE(in.overrun());
  EXPECT_EQ(in.u4(), 0xAB000000u) << "bytes past the end read as zero";
  EXPECT_TRUE(in.overrun());
}

class Lwo2LoaderTest : public PipelineTest {
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
  std::unique_ptr<LWOModel> load(const Bytes& bytes, const std::string& name = "obj.lwo") {
    files.put(name, bytes);
    return loadLWO2File(*scene, &files, name);
  }
  // A unit quad in layer 0 on surface 0 of the given tags.
  static lwo2::Writer quad(const std::vector<std::string>& tags = {"Body"}) {
    lwo2::Writer w;
    w.tags(tags);
    w.layer(0);
    w.points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    w.polygons({{0, 1, 2, 3}});
    return w;
  }
  Surface* surface(const std::string& name) { return root->findSurface("obj.lwo@" + name); }

  MemoryFile files;
  std::unique_ptr<SceneRoot> root;
  std::unique_ptr<Scene> scene;
};

TEST_F(Lwo2LoaderTest, TheFormHeaderAndAHandWrittenLayerAreReadByteForByte) {
  const Bytes file = {'F', 'O', 'R', 'M', 0, 0, 0, 54, 'L', 'W', 'O', '2',
                      // LAYR 2, flags 0, pivot (1, 0, 0), name "Wheels"
                      'L', 'A', 'Y', 'R', 0, 0, 0, 24, 0, 2, 0, 0, 0x3F, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'W', 'h',
                      'e', 'e', 'l', 's', 0, 0,
                      // PNTS: one point (0, 2, 0)
                      'P', 'N', 'T', 'S', 0, 0, 0, 12, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0};
  auto model = load(file);
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->layers.size(), 3u);
  EXPECT_EQ(model->layers[0], nullptr);
  ASSERT_NE(model->layers[2], nullptr);
  EXPECT_EQ(model->layers[2]->name, "obj.lwo:3 Wheels");
  EXPECT_EQ(model->layers[2]->pivot.x, 1.0f);
  ASSERT_EQ(model->layers[2]->points.size(), 1u);
  EXPECT_EQ(model->layers[2]->points[0].y, 2.0f);

  Bytes other = file;
  other[8] = 'L', other[9] = 'W', other[10] = 'O', other[11] = 'B';
  EXPECT_EQ(load(other, "other.lwo"), nullptr);
  EXPECT_NE(takeMessage().find("other.lwo is not an LWO2 file!"), std::string::npos);
}

TEST_F(Lwo2LoaderTest, LayersPolygonsAndTagsBuildOneRenderObjectPerLayer) {
  lwo2::Writer w;
  w.tags({"Body", "Glass"});
  w.layer(0);
  w.points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}});
  w.polygons({{0, 1, 2, 3}, {1, 4, 2}});
  w.polygons({{0, 1, 2, 3}}, "PTCH");   // patches are not drawn: the faces stay
  w.polygonSurfaces({{1, 1}, {7, 1}});  // polygon 7 does not exist
  w.layer(2, {0, 0, 0}, "");
  w.points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  // A corner flag in the count's upper bits, and a corner past the points.
  std::vector<std::uint8_t> pols;
  lwo2::putID4(pols, "FACE");
  lwo2::putU2(pols, 0x0400 | 3);
  for (std::uint32_t p : {0u, 1u, 2u}) lwo2::putVX(pols, p);
  lwo2::putU2(pols, 3);
  for (std::uint32_t p : {0u, 1u, 9u}) lwo2::putVX(pols, p);
  w.chunk("POLS", pols);
  auto model = load(w.bytes());
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->layers.size(), 3u);
  EXPECT_EQ(model->layers[0]->name, "obj.lwo:1");
  EXPECT_EQ(model->layers[1], nullptr);
  EXPECT_EQ(model->layers[2]->name, "obj.lwo:3");
  ASSERT_EQ(model->surfaces.size(), 2u);
  EXPECT_EQ(model->surfaces[1], surface("Glass"));

  SurfaceRenderObject& first = *model->layers[0];
  ASSERT_EQ(first.polygons.size(), 2u);
  EXPECT_EQ(first.polygons[0].surface, 0u);
  EXPECT_EQ(first.polygons[1].surface, 1u);
  ASSERT_TRUE(first.prepare(true));
  EXPECT_EQ(first.batches.size(), 2u);

  SurfaceRenderObject& third = *model->layers[2];
  ASSERT_EQ(third.polygons.size(), 2u);
  EXPECT_EQ(third.polygons[0].points.size(), 3u) << "only the low ten bits count corners";
  ASSERT_TRUE(third.prepare(true));
  EXPECT_EQ(third.polygons.size(), 1u) << "the polygon naming point 9 is dropped";
}

TEST_F(Lwo2LoaderTest, ASurfaceTheTagsDidNotListFailsTheLoad) {
  lwo2::Writer w = quad();
  w.surface(lwo2::Surface("Missing"));
  EXPECT_EQ(load(w.bytes()), nullptr);
  EXPECT_NE(takeMessage().find("surface obj.lwo@Missing not found in obj.lwo!"), std::string::npos);
}

TEST_F(Lwo2LoaderTest, SurfaceParametersMapAsTheEngineReadsThem) {
  lwo2::Writer w = quad({"Smooth", "Flat", "Clear", "Faded", "Mirror", "Hole"});
  w.envelope(5, {{0, 0.1f, "TCB ", {0, 0, 0}}, {1, 0.2f, "LINE", {}}});
  w.envelope(6, {{0, 0.3f, "TCB ", {0, 0, 0}}});
  w.envelope(7, {{0, 0.4f, "STEP", {}}});
  w.surface(lwo2::Surface("Smooth").smoothing(0.5f).colour(0.1f, 0.2f, 0.3f, 5).u2("SIDE", 3));
  w.surface(lwo2::Surface("Flat").smoothing(0.0349066f).u2("SIDE", 1));
  w.surface(lwo2::Surface("Clear").value("TRAN", 0.0f).u2("RFOP", 3));
  w.surface(lwo2::Surface("Faded").value("TRAN", 0.0f, 6));
  w.surface(lwo2::Surface("Mirror").u2("RFOP", 0));
  auto model = load(w.bytes());
  ASSERT_NE(model, nullptr);

  Surface& smooth = *surface("Smooth");
  EXPECT_TRUE(smooth.smoothing);
  EXPECT_NEAR(smooth.smoothingCosine, std::cos(0.5f) - 1e-6f, 1e-7f);
  EXPECT_TRUE(smooth.doubleSided);
  EXPECT_FLOAT_EQ(smooth.red.evaluate(1.0), 0.2f) << "COLR envelope 5 drives red";
  EXPECT_FLOAT_EQ(smooth.blue.evaluate(0.0), 0.4f) << "and 7 blue";
  EXPECT_TRUE(smooth.defined);

  EXPECT_FALSE(surface("Flat")->smoothing) << "2 degrees is not more than 2 degrees";
  EXPECT_FALSE(surface("Flat")->doubleSided);
  EXPECT_FALSE(surface("Clear")->transparent);
  EXPECT_EQ(surface("Clear")->reflectionOptions, 1);
  EXPECT_TRUE(surface("Faded")->transparent) << "an envelope can raise it";
  EXPECT_EQ(surface("Mirror")->reflectionOptions, 0);
  EXPECT_TRUE(surface("Mirror")->transparent);
  EXPECT_FALSE(surface("Hole")->defined) << "listed but never defined";
}

TEST_F(Lwo2LoaderTest, TextureBlocksMapWrapAntialiasingBumpAndTheirOrder) {
  pipeline->caps.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER;
  lwo2::Writer w = quad({"Road"});
  w.stillClip(1, "C:images/road.bmp");
  w.stillClip(2, "images/bump_noscale.bmp");
  w.stillClip(3, "images/sky_nodxt.bmp");
  lwo2::Block colour;
  colour.ordinal = "\x90";
  colour.clip = 1;
  colour.wrapWidth = 2, colour.wrapHeight = 0;  // mirror it cannot do, reset to the border
  std::vector<std::uint8_t> aast;
  lwo2::putU2(aast, 1);
  lwo2::putF4(aast, 3.0f);
  lwo2::putSubChunk(colour.extra, "AAST", aast);
  lwo2::Block bump;
  bump.ordinal = "\x80";  // stacked first although written second
  std::strcpy(bump.channel, "BUMP");
  bump.clip = 2;
  bump.wrapWidth = 1, bump.wrapHeight = 1;
  std::vector<std::uint8_t> tamp;
  lwo2::putF4(tamp, 2.0f);
  lwo2::putU2(tamp, 0);
  lwo2::putSubChunk(bump.extra, "TAMP", tamp);
  w.surface(lwo2::Surface("Road").value("BUMP", 0.5f).block(colour).block(bump));
  auto model = load(w.bytes());
  ASSERT_NE(model, nullptr);

  Surface& road = *surface("Road");
  ASSERT_EQ(road.imageLayers.size(), 2u);
  const TextureLayer& first = *road.imageLayers[0];
  const TextureLayer& second = *road.imageLayers[1];
  EXPECT_EQ(first.channel, fourCC("BUMP"));
  EXPECT_EQ(first.wrapU, 3) << "a texture that keeps its size clamps";
  EXPECT_FLOAT_EQ(first.texture->factor, 1.0f) << "surface bump 0.5 x amplitude 2";
  EXPECT_EQ(first.texture->flags & (kTextureConvertFormat | kTextureNormalMap | kTextureAllowNonPow2),
            std::uint32_t{kTextureNormalMap | kTextureAllowNonPow2});

  EXPECT_EQ(second.texture->name, "C:/images/road.bmp");
  EXPECT_EQ(second.wrapV, 4);
  EXPECT_EQ(second.wrapU, 4) << "without independent axes the width takes the height's mode";
  EXPECT_TRUE(second.antialiasing);
  EXPECT_EQ(second.maxAnisotropy, 4.0f);
  EXPECT_TRUE(second.texture->flags & kTextureKeepColour);

  Texture* sky = root->findTexture("images/sky_nodxt.bmp", 0);
  ASSERT_NE(sky, nullptr);
  EXPECT_EQ(sky->flags, std::uint32_t{kTextureMipChain});
}

TEST_F(Lwo2LoaderTest, VertexMapsFillTheirPointsAndBindToBlocksByLayer) {
  lwo2::Writer w;
  w.tags({"Paint"});
  for (int layer : {0, 2}) {
    w.layer(layer);
    w.points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    w.polygons({{0, 1, 2}});
    w.vertexMap("TXUV", "uv", {{0, {0.5f, 0.25f}}, {2, {1.0f, 1.0f}}, {40, {9, 9}}});
    w.vertexMap("max ", "tint", {{1, {0.2f, 0.4f, 0.6f}}});
    w.vertexMap("WGHT", "arm", {{1, {0.75f}}});
    w.polygonVertexMap("TXUV", "uv", {{1, 0, {0.9f, 0.8f}}, {1, 7, {1, 1}}});
  }
  lwo2::Block block;
  block.vertexMap = "uv";
  w.stillClip(1, "paint.bmp");
  block.clip = 1;
  w.surface(lwo2::Surface("Paint").block(block).vertexColours(1.0f, "max ", "tint"));
  auto model = load(w.bytes());
  ASSERT_NE(model, nullptr);

  Surface& paint = *surface("Paint");
  ASSERT_EQ(paint.imageLayers.size(), 1u);
  const TextureLayer& layer = *paint.imageLayers[0];
  ASSERT_EQ(layer.uvMaps.size(), 3u);
  EXPECT_EQ(layer.uvMaps[1], nullptr);
  const UVMap* uv = layer.uvMap(2);
  ASSERT_NE(uv, nullptr);
  EXPECT_EQ(*uv->valueFor(1, -1), (std::array<float, 3>{0, 0, 0})) << "points the map leaves out are zero";
  EXPECT_EQ(*uv->valueFor(2, -1), (std::array<float, 3>{1, 1, 0}));
  EXPECT_EQ(*uv->valueFor(1, 0), (std::array<float, 3>{0.9f, 0.8f, 0})) << "the polygon's own value";

  ASSERT_EQ(paint.vertexColorLayers.size(), 1u);
  const ColorMap* tint = paint.vertexColorLayers[0]->colorMap(0);
  ASSERT_NE(tint, nullptr);
  EXPECT_EQ(*tint->valueFor(1, -1), (std::array<float, 4>{0.2f, 0.4f, 0.6f, 1.0f}));

  SurfaceRenderObject& mesh = *model->layers[0];
  auto* arm = dynamic_cast<WeightMap*>(mesh.findVertexMap("arm"));
  ASSERT_NE(arm, nullptr);
  EXPECT_EQ(arm->values[1][0], 0.75f);
  EXPECT_EQ(mesh.findVertexMap("uv"), nullptr) << "render objects take the weight maps only";
  ASSERT_TRUE(mesh.prepare(false));
}

// Weight and morph entries beyond the layer's points are dropped and
// reported once per map as a check without words; the point just past the
// last is dropped silently, as in the other maps.
TEST_F(Lwo2LoaderTest, WeightAndMorphEntriesPastThePointsAreReported) {
  g_logMessages = false;  // the report shows as a box
  auto loadWith = [&](const char(&type)[5], std::vector<std::pair<std::uint32_t, std::vector<float>>> entries) {
    lwo2::Writer w = quad();
    w.vertexMap(type, "arm", entries);
    boxes.clear();
    return load(w.bytes());
  };
  auto model = loadWith("WGHT", {{1, {0.5f}}, {9, {2.0f}}, {70000, {3.0f}}, {3, {0.25f}}});
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(boxes, std::vector<std::string>{"Assertion failed: - internal error -"});
  auto* arm = dynamic_cast<WeightMap*>(model->layers[0]->findVertexMap("arm"));
  ASSERT_NE(arm, nullptr);
  EXPECT_EQ(arm->values[1][0], 0.5f);
  EXPECT_EQ(arm->values[3][0], 0.25f) << "entries after a bad one are still read";

  EXPECT_NE(loadWith("WGHT", {{4, {1.0f}}, {0, {1.0f}}}), nullptr);
  EXPECT_TRUE(boxes.empty());
  EXPECT_NE(loadWith("MORF", {{0, {1, 2, 3}}, {5, {1, 2, 3}}}), nullptr);
  EXPECT_EQ(boxes, std::vector<std::string>{"Assertion failed: - internal error -"});
}

TEST_F(Lwo2LoaderTest, ClipsKeepTheirFlagsAndSequencesShareOneTexture) {
  files.put("anim/frame001.bmp", Bytes{1});
  files.put("anim/frame003.bmp.dds", Bytes{1});
  lwo2::Writer w = quad();
  w.sequenceClip(1, 3, 0, 1, 3, "anim/frame", ".bmp");
  w.sequenceClip(2, 3, 0, 1, 3, "anim/frame", ".bmp");
  // A clip with FLAG 0x5 after its still picture: the mode of the last bit.
  std::vector<std::uint8_t> clip, field;
  lwo2::putU4(clip, 4);
  lwo2::putS0(field, "wall.bmp");
  lwo2::putSubChunk(clip, "STIL", field);
  field.clear();
  lwo2::putU4(field, 0x5);
  lwo2::putSubChunk(clip, "FLAG", field);
  w.chunk("CLIP", clip);
  auto model = load(w.bytes());
  ASSERT_NE(model, nullptr);

  int sequences = 0;
  SequenceTexture* sequence = nullptr;
  for (auto& t : root->textures) {
    if (auto* s = dynamic_cast<SequenceTexture*>(t.get())) ++sequences, sequence = s;
  }
  EXPECT_EQ(sequences, 1);
  ASSERT_EQ(sequence->frames.size(), 3u);
  EXPECT_NE(sequence->frames[0], nullptr);
  EXPECT_EQ(sequence->frames[1], nullptr) << "frame 2 does not exist";
  EXPECT_NE(sequence->frames[2], nullptr) << "found as .dds";
  EXPECT_EQ(scene->framesPerSecond, 30.0);

  Texture* wall = root->findTexture("wall.bmp", 0);
  ASSERT_NE(wall, nullptr);
  EXPECT_EQ(wall->flags, std::uint32_t{kTextureConvertFormat | kTextureMipChain});
  EXPECT_EQ(wall->frameMode, 4);
}

TEST_F(Lwo2LoaderTest, DamagedFilesAreReadOnlyAsFarAsTheirBytesGo) {
  // A chunk claiming more than the file holds, points of a cut size, a VMAD
  // naming a point past the layer, and a back surface with no surface list.
  lwo2::Writer w;
  w.layer(0);
  w.chunk("PNTS", Bytes(12 + 7, 0));
  w.polygons({{0, 0, 0}});
  w.vertexMap("TXUV", "uv", {{0, {0, 0}}});
  w.polygonVertexMap("TXUV", "uv", {{0x12345, 0, {1, 1}}});
  Bytes bytes = w.bytes();
  const Bytes cut = {'S', 'U', 'R', 'F', 0x7F, 0xFF, 0xFF, 0xFF, 'x', 0};
  bytes.insert(bytes.end(), cut.begin(), cut.end());
  auto model = load(bytes);
  EXPECT_EQ(model, nullptr) << "the cut surface names no listed surface";

  lwo2::Writer again;
  again.layer(0);
  again.points({{0, 0, 0}});
  again.surface(lwo2::Surface("a").back("b"));
  again.tags({std::string(1500, 'n')});
  auto second = load(again.bytes(), "again.lwo");
  EXPECT_EQ(second, nullptr) << "'a' was not listed before its definition";
  EXPECT_NE(takeMessage().find("surface again.lwo@a not found"), std::string::npos);
  Surface* longName = root->findSurface("again.lwo@" + std::string(Lwo2Cursor::kMaxString - 1, 'n'));
  EXPECT_EQ(longName, nullptr) << "the load stopped at the surface, before the list";
}

TEST_F(Lwo2LoaderTest, ModelsAreLookedUpByNameAndLoadedOnce) {
  installLightWaveLoaders();
  files.put("kart.lwo", quad().bytes());
  LWOModel* model = scene->getModel(&files, "kart.lwo");
  ASSERT_NE(model, nullptr);
  files.put("kart.lwo", Bytes{});  // a second read would now fail
  EXPECT_EQ(scene->getModel(&files, "kart.lwo"), model);
  EXPECT_EQ(scene->getModelLayer(&files, "kart.lwo", 0), model->layers[0].get());
  EXPECT_EQ(scene->getModelLayer(&files, "kart.lwo", 1), nullptr);
  EXPECT_NE(takeMessage().find("1 is not a valid layer number for kart.lwo!"), std::string::npos);
  setModelLoader(nullptr);
}

TEST_F(Lwo2LoaderTest, ItemsMadeAtRunTimeAreNumberedInTheirListsAndShareTheModel) {
  installLightWaveLoaders();
  lwo2::Writer w;
  w.tags({"Body"});
  for (int layer : {0, 2}) {
    w.layer(layer, {static_cast<float>(layer), 1, 0});
    w.points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    w.polygons({{0, 1, 2}});
  }
  files.put("rocket.lwo", w.bytes());
  scene->createObject("CameraTarget");
  const float scale[3] = {0.3f, 0.3f, 0.3f};
  LWOModel* model = scene->createPhysicsObject(&files, "rocket.lwo", 1, 18, 0, scale);
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(scene->objects.size(), 3u) << "the empty layer 1 makes nothing";
  for (int i : {1, 2}) {
    SceneItem& object = *scene->objects[i];
    EXPECT_EQ(object.id, i);
    EXPECT_EQ(object.name, "rocket.lwo");
    EXPECT_EQ(object.position[0].value, i == 1 ? 0.0f : 2.0f) << "at its layer's pivot";
    EXPECT_EQ(object.scale[2].value, 0.3f);
  }
  EXPECT_EQ(scene->createPhysicsObject(&files, "missing.lwo", 1, 18, 0, scale), nullptr);
  EXPECT_EQ(scene->objects.size(), 3u);

  ObjectItem* a = scene->loadObject(&files, "rocket.lwo", 0);
  ObjectItem* b = scene->loadObject(&files, "rocket.lwo", 0);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->firstMesh(), b->firstMesh());
  EXPECT_EQ(b->id, 4);
  EXPECT_EQ(scene->loadObject(&files, "rocket.lwo", 3), nullptr);
  EXPECT_EQ(scene->objects.size(), 5u);

  EXPECT_EQ(scene->createRay(5, 0, scale)->name, "ray");
  CameraItem* current = scene->createCamera(true);
  scene->createCamera(false);
  EXPECT_EQ(scene->followed, current);
  EXPECT_EQ(scene->cameras.size(), 2u);
  setModelLoader(nullptr);
}

}  // namespace
