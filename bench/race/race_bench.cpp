// A race as the frame runs it, without drawing: six computer drivers on
// sample track 0, the recording graphics and sound devices, 60 s of race
// time at 60 frames a second after the countdown. Prints the drawing
// thread's CPU time per physics step (0.01 s of race) of
// - the physics: collision pass, world step, and emptying the contacts with
//   the transforms invalidated ("joints");
// - the six kart steps;
// - the rest of the undrawn frame (hits, sounds, progress, visuals, the
//   network exchange, keys), spread over the frame's steps;
// - and their sum. 20 steps must fit a 60 Hz frame beside the drawing.
// Apart from those, per frame: what a drawn view asks of the scene's items
// before any device call (the render pass's invalidation, then every
// object's and light's world matrix at the race time).
// Each part is taken between two reads of the thread's CPU clock, so the
// cost of one read (measured first) is taken off every part; the sum is
// also taken with one read before and one after each frame, and printed
// per frame and per step.
//
//   race_bench [seconds]   default 60
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "content/archive_writer.h"
#include "foundation/archive_file.h"
#include "foundation/file.h"
#include "foundation/timer.h"
#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "input/input_device.h"
#include "net/net_control.h"
#include "platform/graphics/d3d9_recording.h"
#include "platform/input/key_codes.h"
#include "platform/window/window.h"
#include "render/device_manager.h"
#include "render/display_settings.h"
#include "render/render_pipeline.h"
#include "scene/scene.h"
#include "tests/support/race_gui_recorder.h"
#include "tests/support/recording_sound.h"
#include "tests/support/stepped_clock.h"
#include "tools/sample_data/sample_sources.h"

namespace {

double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

LRESULT quietProc(HWND window, UINT message, WPARAM w, LPARAM l) { return DefWindowProcA(window, message, w, l); }

// What one read of the thread's CPU clock costs: the least of a few rounds
// of many reads, so that a round the machine interrupted does not count.
double clockReadCost() {
  constexpr int kReads = 20000;
  double best = 1.0;
  for (int round = 0; round < 5; ++round) {
    const double start = threadSeconds();
    double last = start;
    for (int i = 0; i < kReads; ++i) last = threadSeconds();
    best = std::min(best, (last - start) / kReads);
  }
  return best;
}

struct Costs {
  double collide = 0, world = 0, joints = 0, karts = 0, rest = 0;
  double frames = 0;  // whole undrawn frames, read once before and once after
  double views = 0;   // the item matrices of one view a frame
  long steps = 0;
  long frameCount = 0;
};

// Race::stepPhysics with a clock around each of its parts.
int timedPhysics(Race& race, Costs& c) {
  Scene& scene = *race.m_scene;
  const double now = race.m_timer->gameTime();
  int steps = 0;
  while (!race.m_paused && race.m_simTime < now && steps < Race::kMaxPhysicsSteps) {
    double t0 = threadSeconds();
    scene.physics().collide();
    double t1 = threadSeconds();
    c.collide += t1 - t0;
    scene.physics().stepWorld(Race::kPhysicsStep);
    t0 = threadSeconds();
    c.world += t0 - t1;
    scene.physics().emptyContacts();
    scene.invalidateTransforms(nullptr);
    t1 = threadSeconds();
    c.joints += t1 - t0;
    for (Vehicle* kart : race.m_karts) {
      if (kart) kart->step(race.m_simTime, Race::kPhysicsStep);
    }
    c.karts += threadSeconds() - t1;
    ++steps;
    race.m_simTime += Race::kPhysicsStep;
  }
  if (steps == Race::kMaxPhysicsSteps) race.m_simTime = now;
  c.steps += steps;
  return steps;
}

// Race::update without the views.
void undrawnFrame(Race& race, InputDevice& input, Costs& c) {
  const double frameStart = threadSeconds();
  const int steps = timedPhysics(race, c);
  const double t0 = threadSeconds();
  race.runBoxTimers(steps);
  race.updateRocketFlightSounds();
  race.testHits();
  race.spinBoxes();
  race.updateSounds();
  race.runCountdown();
  race.updateProgressOrResults();
  race.updateRaceDisplays();
  race.refreshNetworkResults();
  race.updateKartVisuals();
  race.endFrame();
  race.checkConnection();
  race.checkStart(input);
  race.readRaceKeys(input);
  race.feedGui();
  const double frameEnd = threadSeconds();
  c.rest += frameEnd - t0;
  c.frames += frameEnd - frameStart;
  ++c.frameCount;
}

// The matrices a view reads, as Scene::renderPass asks for them from the
// race's first camera.
void viewMatrices(Race& race, Costs& c) {
  Scene& scene = *race.m_scene;
  SceneItem* viewer = scene.cameras.empty() ? nullptr : scene.cameras.front().get();
  const double t0 = threadSeconds();
  scene.invalidateTransforms(viewer);
  Matrix4x3 world;
  for (auto& object : scene.objects) object->worldMatrix(world, race.m_simTime, true);
  for (auto& light : scene.lights) light->worldMatrix(world, race.m_simTime, true);
  c.views += threadSeconds() - t0;
}

// The parts with the cost of the clock reads between which they were taken
// taken off: one read per part and step (the rest once a frame), and the
// reads inside a frame from the frame's own figure.
void takeOffClockReads(Costs& c, double read) {
  const double steps = static_cast<double>(c.steps), frames = static_cast<double>(c.frameCount);
  c.collide = std::max(0.0, c.collide - read * steps);
  c.world = std::max(0.0, c.world - read * steps);
  c.joints = std::max(0.0, c.joints - read * steps);
  c.karts = std::max(0.0, c.karts - read * steps);
  c.rest = std::max(0.0, c.rest - read * frames);
  c.views = std::max(0.0, c.views - read * frames);
  // Inside a frame: five reads a step and one before the rest; the frame's
  // own pair adds one.
  c.frames = std::max(0.0, c.frames - read * (5.0 * steps + 2.0 * frames));
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;

  ArchiveWriter writer;
  for (const SampleSource& source : sampleSources()) {
    if (!source.add(writer)) {
      std::fprintf(stderr, "race_bench: could not make the %s\n", source.what);
      return 1;
    }
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("race_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string archivePath = (folder / "data.sar").string();
  setenv("TESSALINE_TEXTURE_CACHE", (folder / "cache").c_str(), 1);
  setenv("TESSALINE_REGISTRY", (folder / "registry.ini").c_str(), 1);
  if (!writer.write(archivePath.c_str())) return 1;
  // The score file lands in the working folder.
  std::filesystem::current_path(folder);

  // The recording graphics device: no drawing, no window system needed.
  auto log = std::make_shared<CallLog>();
  FakeAdapter adapter;
  adapter.modes = {{1024, 768, 60, D3DFMT_X8R8G8B8}};
  adapter.caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
  adapter.caps.PixelShaderVersion = D3DPS_VERSION(2, 0);
  setDirect3DFactory([adapter, log](UINT) { return new RecordingDirect3D9({adapter}, log); });
  WNDCLASSA wc{};
  wc.lpfnWndProc = quietProc;
  wc.lpszClassName = "RaceBench";
  RegisterClassA(&wc);
  auto manager = std::make_unique<DeviceManager>();
  manager->settings->windowed = true;
  if (!manager->enumerateAdapters("Error", "no d3d", "no tnl")) return 1;
  ::Setup setup(manager.get());
  setup.run();
  if (!manager->createRenderWindow("RaceBench", nullptr)) return 1;
  auto pipeline = std::make_unique<RenderPipeline>(*manager);
  pipeline->requestedWidth = 1024;
  pipeline->requestedHeight = 768;
  RecordingSoundDevice sound;
  pipeline->soundDevice = &sound;

  DiskFile disk;
  ArchiveFile archive(disk);
  if (!archive.mount(archivePath.c_str())) return 1;
  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  config.m_game.set(kModeRace);
  config.m_track.set(0);
  config.m_ccm.set(0);
  config.m_laps.set(1000);  // nobody finishes within the minute
  config.m_playType = kPlayOneLocal;
  config.m_isAuthority = 1;
  for (int i = 0; i < Config::kPlayerCount; ++i) {
    ConfigPlayer* r = config.m_player[i].modify();
    r->character = r->kart = -1;  // every record a computer driver
    r->startPosition = i;
  }
  RecordingRaceGui gui;
  SteppedClock clock{0};
  int result = 0;
  {
    Race race(pipeline.get(), &gui, control, clock);
    if (!race.load(&archive, &sound, config)) {
      std::fprintf(stderr, "race_bench: the race did not load\n");
      return 1;
    }
    log->calls.clear();
    InputDevice input;
    input.m_key[DIK_SPACE] = 0x80;
    constexpr std::int64_t kFrame = 1000000 / 60;
    Costs countdown;
    while (race.m_countdownState != Race::kCountdownRacing) {
      clock.advanceMicroseconds(kFrame);
      undrawnFrame(race, input, countdown);
    }
    Position3 start[Race::kMaxKarts] = {};
    for (int k = 0; k < Race::kMaxKarts; ++k)
      if (race.m_karts[k]) race.m_karts[k]->getPosition(start[k]);
    Costs c;
    for (int f = 0; f < seconds * 60; ++f) {
      clock.advanceMicroseconds(kFrame);
      undrawnFrame(race, input, c);
      viewMatrices(race, c);
    }
    // How far the karts got, as the crow flies, to show that they drove.
    double away = 0.0;
    for (int k = 0; k < Race::kMaxKarts; ++k) {
      if (!race.m_karts[k]) continue;
      Position3 at;
      race.m_karts[k]->getPosition(at);
      away = std::max(away, std::hypot(static_cast<double>(at.x - start[k].x), static_cast<double>(at.z - start[k].z)));
    }
    int lapped = 0;
    for (Vehicle* kart : race.m_karts) lapped += kart && kart->m_net.m_lap.get() >= 1 ? 1 : 0;
    const double read = clockReadCost();
    takeOffClockReads(c, read);
    const double n = static_cast<double>(std::max(1L, c.steps));
    const double us = 1e6 / n;
    std::printf(
        "%ld physics steps in %d s of race time (%d frames); %d of 6 karts past their first lap, one %.0f m from its "
        "start\n",
        c.steps, seconds, seconds * 60, lapped, away);
    std::printf("per step, thread CPU: collide %.1f us, world step %.1f us, joints %.1f us\n", c.collide * us,
                c.world * us, c.joints * us);
    std::printf("                      six kart steps %.1f us, rest of the undrawn frame %.1f us\n", c.karts * us,
                c.rest * us);
    const double sum = (c.collide + c.world + c.joints + c.karts + c.rest) * us;
    std::printf("                      sum %.1f us (target under 500)\n", sum);
    std::printf(
        "whole undrawn frames, thread CPU: %.1f us a step, %.1f us a frame (%.2f steps a frame); one clock "
        "read %.0f ns, taken off every figure\n",
        c.frames * us, 1e6 * c.frames / static_cast<double>(std::max(1L, c.frameCount)),
        n / static_cast<double>(std::max(1L, c.frameCount)), 1e9 * read);
    std::printf("a view's item matrices, thread CPU: %.1f us a frame (%zu objects, %zu lights)\n",
                1e6 * c.views / static_cast<double>(std::max(1L, c.frameCount)), race.m_scene->objects.size(),
                race.m_scene->lights.size());
    race.unload();
  }
  pipeline.reset();
  manager.reset();
  setDirect3DFactory(nullptr);
  std::filesystem::current_path(folder.parent_path());
  std::filesystem::remove_all(folder);
  return result;
}
