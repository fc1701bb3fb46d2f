#include "game/kart/kart_load.h"

#include <gtest/gtest.h>

#include <cstring>

#include "content/lws_writer.h"
#include "game/kart/kart_tuning.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "tests/support/memory_file.h"

namespace {

std::string nullScene(const std::string& object) {
  lws::SceneWriter w;
  w.timing(0, 60, 30);
  w.addNullObject(object);
  w.motion("ObjectMotion", lws::still());
  lws::Camera camera;
  camera.name = "Camera";
  w.camera(camera);
  return w.text();
}

TEST(KartLoad, SeatsTheSlotsDriverOnItsOwnChassisAndReadsTheTuning) {
  MemoryFile files;
  files.put("D:\\Tamberlok\\3dobjects_cars\\kart_3.lws", nullScene("Vehicle"));
  files.put("D:\\Tamberlok\\3dobjects_cars\\Affe.lws", nullScene("Character"));
  std::vector<unsigned char> tuning(4, 0);
  const float maxSpeed = 0.4f;
  std::memcpy(tuning.data(), &maxSpeed, 4);  // only the first value
  files.put(KartTuning::fileNameFor(1, 1), tuning);
  SceneRoot root(nullptr, "race");
  Scene scene(&root);

  ASSERT_NE(loadKartIntoScene(scene, nullptr, files, 0, 2, 1, 1), nullptr);
  auto loaded = loadKartIntoScene(scene, nullptr, files, 1, 2, 1, 1);
  ASSERT_NE(loaded, nullptr);
  EXPECT_FLOAT_EQ(loaded->maxSpeed, 0.4f);
  EXPECT_FLOAT_EQ(loaded->turboMaxSpeed, 0.5f);
  EXPECT_FLOAT_EQ(loaded->gravity, -0.0016f);  // missing from the short file
  // Slot 1's driver rides slot 1's chassis, not the first one.
  EXPECT_EQ(scene.findItem("Character", -1, 2)->parent, scene.findItem("Vehicle", -1, 2));
  EXPECT_EQ(scene.countItems("CameraTarget", -1), 2);

  EXPECT_EQ(loadKartIntoScene(scene, nullptr, files, 6, 2, 1, 1), nullptr);
  EXPECT_EQ(loadKartIntoScene(scene, nullptr, files, 0, 8, 1, 1), nullptr);
  EXPECT_EQ(loadKartIntoScene(scene, nullptr, files, 0, 2, 0, 1), nullptr);  // no Quorrel.lws
}

}  // namespace
