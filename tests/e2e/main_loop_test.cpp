// One pass of the menu or race loop on the recording device: what a lost
// device, a device waiting for its reset, an inactive window, a display
// change and the quit message each make the loop do, and what the input
// probe says of each pass.
#include "app/main_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/input_probe.h"
#include "input/input_device.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/support/scratch_dir.h"

namespace {

// Records the hooks it is called through, in order.
class RecordingOwner : public LoopOwner {
 public:
  bool finished() const override { return frames >= framesToRun; }
  void deviceLost() override { calls.push_back("lost"); }
  void deviceReset() override { calls.push_back("reset"); }
  void silence() override { calls.push_back("silence"); }
  void resume() override { calls.push_back("resume"); }
  bool frame(InputDevice& input) override {
    calls.push_back("frame");
    ++frames;
    // As the race and the GUI take a key: its byte is cleared.
    if (takesKeys) std::fill(std::begin(input.m_key), std::end(input.m_key), 0);
    return frames != failingFrame;
  }
  std::vector<std::string> take() { return std::exchange(calls, {}); }

  std::vector<std::string> calls;
  int frames = 0;
  int framesToRun = 1000;
  int failingFrame = -1;
  bool takesKeys = false;
};

class MainLoopTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(0xFFFE0200, 0xFFFF0200);
    loop = std::make_unique<MainLoop>(*manager, *pipeline, input, active);
  }
  void TearDown() override {
    loop.reset();
    PipelineTest::TearDown();
  }
  IDirect3DDevice9* device() { return manager->devices[0]->device.get(); }
  // How long one pass took, in milliseconds.
  long timedPass(bool* goOn = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    const bool result = loop->pass(owner);
    if (goOn) *goOn = result;
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  }

  InputDevice input;
  std::uint8_t active = 1;
  RecordingOwner owner;
  std::unique_ptr<MainLoop> loop;
};

TEST_F(MainLoopTest, ALostDeviceSilencesAndWaitsAndOnlyTheResetBringsSoundBack) {
  device()->SimulateDeviceLoss(true);
  // Nothing comes to wake the pass: it waits its 100 ms and no longer.
  const long waited = timedPass();
  EXPECT_GE(waited, 90);
  EXPECT_LT(waited, 1000);
  EXPECT_EQ(owner.take(), (std::vector<std::string>{"silence"}));
  timedPass();
  EXPECT_EQ(owner.take(), (std::vector<std::string>{"silence"}));

  device()->SimulateDeviceLoss(false);
  ASSERT_EQ(device()->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_TRUE(loop->pass(owner));
  EXPECT_EQ(owner.take(), (std::vector<std::string>{"lost", "reset", "resume"}));
  EXPECT_EQ(device()->TestCooperativeLevel(), D3D_OK);
  EXPECT_TRUE(loop->pass(owner));
  EXPECT_EQ(owner.take(), (std::vector<std::string>{"frame"}));
}

TEST_F(MainLoopTest, AResetThatFailsLeavesTheOwnersLostUntilOneSucceeds) {
  // A default-pool texture still held makes the reset fail.
  ComPtr<IDirect3DTexture9> held;
  ASSERT_EQ(
      device()->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, held.put(), nullptr),
      D3D_OK);
  device()->SimulateDeviceLoss(true);
  device()->SimulateDeviceLoss(false);
  loop->pass(owner);
  EXPECT_EQ(owner.take(), (std::vector<std::string>{"lost"}));
  held.reset();
  loop->pass(owner);
  EXPECT_EQ(owner.take(), (std::vector<std::string>{"lost", "reset", "resume"}));
}

TEST_F(MainLoopTest, AnInactiveApplicationWaitsWithoutAFrameAndQuitEndsTheWait) {
  active = 0;
  timedPass();
  EXPECT_EQ(owner.take(), (std::vector<std::string>{"silence"}));
  PostQuitMessage(0);
  bool goOn = true;
  EXPECT_LT(timedPass(&goOn), 90);  // a message is there: no wait
  EXPECT_FALSE(goOn);
  active = 1;
  EXPECT_TRUE(loop->pass(owner));
  EXPECT_EQ(owner.take(), (std::vector<std::string>{"silence", "frame"}));
}

TEST_F(MainLoopTest, AQuitMessageStillLetsThatPassRunItsFrame) {
  PostQuitMessage(0);
  EXPECT_FALSE(loop->pass(owner));
  EXPECT_EQ(owner.take(), (std::vector<std::string>{"frame"}));
  // run() reports the quit that ended it.
  PostQuitMessage(0);
  EXPECT_TRUE(loop->run(owner));
  EXPECT_EQ(owner.frames, 2);
}

TEST_F(MainLoopTest, APendingDisplayChangeResetsToTheRequestedModeBeforeTheFrame) {
  pipeline->requestResize(800, 600, true);
  EXPECT_TRUE(loop->pass(owner));
  EXPECT_EQ(owner.take(), (std::vector<std::string>{"lost", "reset", "frame"}));
  EXPECT_EQ(manager->settings->width, 800);
  EXPECT_EQ(manager->settings->height, 600);
  EXPECT_TRUE(manager->settings->windowed);
  // Once only.
  loop->pass(owner);
  EXPECT_EQ(owner.take(), (std::vector<std::string>{"frame"}));
}

TEST_F(MainLoopTest, AFailedFrameIsNotedAndTheLoopGoesOnUntilTheOwnerIsDone) {
  owner.framesToRun = 5;
  owner.failingFrame = 2;
  int passes = 0;
  EXPECT_FALSE(loop->run(owner, [&] { ++passes; }));
  EXPECT_EQ(owner.frames, 5);
  EXPECT_EQ(passes, 5);
  EXPECT_TRUE(loop->m_frameFailed);
}

// The probe's file after each pass that ran a frame: its number, the
// cursor, the buttons, the keys the pass read down even where the frame
// took them, and the last pass that read each key down; passes without a
// frame leave it as it was.
TEST_F(MainLoopTest, TheProbeWritesWhatEachFramesInputHeld) {
  ScratchDir scratch;
  const std::filesystem::path file = scratch.m_root / "probe.txt";
  InputProbe probe(file.string());
  loop = std::make_unique<MainLoop>(*manager, *pipeline, input, active, &probe);
  const auto written = [&] {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
  };
  owner.takesKeys = true;
  input.m_mousePos[0] = 512, input.m_mousePos[1] = 384;
  input.m_mouseButton[0] = 1;
  input.m_key[0x11] = input.m_key[0x39] = 0x80;  // W, Space
  ASSERT_TRUE(loop->pass(owner));
  EXPECT_EQ(written(), "pass 1 cursor 512 384 buttons 1 0 0 keys 17 57 last 17:1 57:1");
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".part"));

  // The frame took both keys; W is read down again.
  input.m_mouseButton[0] = 0;
  input.m_mousePos[0] = 0;
  input.m_key[0x11] = 0x80;
  ASSERT_TRUE(loop->pass(owner));
  EXPECT_EQ(written(), "pass 2 cursor 0 384 buttons 0 0 0 keys 17 last 17:2 57:1");

  active = 0;
  loop->pass(owner);
  EXPECT_EQ(written(), "pass 2 cursor 0 384 buttons 0 0 0 keys 17 last 17:2 57:1");
  active = 1;
  loop->pass(owner);
  EXPECT_EQ(written(), "pass 3 cursor 0 384 buttons 0 0 0 keys last 17:2 57:1");
  EXPECT_EQ(probe.passes(), 3u);
}

}  // namespace
