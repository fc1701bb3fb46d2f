// Track 0 of the sample data as the race uses it. Prints:
// - mounting the archive (from a file on disk) and loading and preparing
//   the track scene, in milliseconds;
// - the track camera's frame at 1024 x 768 over 300 frames: wall time per
//   frame (Present and a read-back included, so the rasteriser's work is in
//   it), the drawing thread's CPU time with GL calls discarded before they
//   reach GL (our code alone: scene walk, states, batches), and the rest,
//   which is GL's;
// - one physics step of the track with six box bodies driving on it, in
//   microseconds.
//
//   track_bench [frames]   default 300; run under xvfb-run.
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "content/archive_writer.h"
#include "foundation/archive_file.h"
#include "foundation/file.h"
#include "game/track/collision_space.h"
#include "lightwave/lwo2_loader.h"
#include "platform/graphics/d3d9.h"
#include "platform/graphics/gl_draw_functions.h"
#include "platform/window/window.h"
#include "render/device_manager.h"
#include "render/display_settings.h"
#include "render/render_pipeline.h"
#include "scene/contact_tables.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "tools/sample_data/sample_sources.h"
#include "tools/sample_data/track_samples.h"

namespace {

double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

LRESULT quietProc(HWND window, UINT message, WPARAM w, LPARAM l) { return DefWindowProcA(window, message, w, l); }

struct FrameCost {
  double wall = 0.0, submitCpu = 0.0;
};

FrameCost drawFrames(Scene& scene, IDirect3DDevice9* device, int frames) {
  FrameCost cost;
  DWORD pixel = 0;
  const double wall0 = wallSeconds();
  for (int f = 0; f < frames; ++f) {
    const double cpu0 = threadSeconds();
    device->BeginScene();
    scene.render(0.0, true);
    device->EndScene();
    cost.submitCpu += threadSeconds() - cpu0;
    device->Present(nullptr, nullptr, nullptr, nullptr);
  }
  device->ReadBackBuffer(0, 0, 1, 1, &pixel);  // waits for the last frame
  cost.wall = wallSeconds() - wall0;
  cost.wall /= frames;
  cost.submitCpu /= frames;
  return cost;
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;

  // The archive as the tool writes it, on disk.
  ArchiveWriter writer;
  for (const SampleSource& source : sampleSources()) {
    if (!source.add(writer)) {
      std::fprintf(stderr, "track_bench: could not make the %s\n", source.what);
      return 1;
    }
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("track_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string archivePath = (folder / "data.sar").string();
  setenv("TESSALINE_TEXTURE_CACHE", (folder / "cache").c_str(), 1);
  if (!writer.write(archivePath.c_str())) return 1;

  WNDCLASSA wc{};
  wc.lpfnWndProc = quietProc;
  wc.lpszClassName = "TrackBench";
  RegisterClassA(&wc);
  DeviceManager manager;
  manager.settings->windowed = true;
  manager.settings->windowWidth = 1024;
  manager.settings->windowHeight = 768;
  if (!manager.enumerateAdapters("Error", "no d3d", "no tnl")) {
    std::fprintf(stderr, "track_bench: no OpenGL adapter (run under xvfb-run)\n");
    return 1;
  }
  ::Setup setup(&manager);
  setup.run();
  if (!manager.createRenderWindow("TrackBench", nullptr)) return 1;
  auto pipeline = std::make_unique<RenderPipeline>(manager);
  IDirect3DDevice9* device = pipeline->currentDevice;
  D3DPRESENT_PARAMETERS p{};
  device->GetPresentParameters(&p);
  pipeline->requestedWidth = pipeline->targetWidth = static_cast<int>(p.BackBufferWidth);
  pipeline->requestedHeight = pipeline->targetHeight = static_cast<int>(p.BackBufferHeight);
  installLightWaveLoaders();

  // Mount, load and prepare, once cold (the texture cache is empty) and once
  // more with the cache the first load wrote.
  double loadMs[2] = {0, 0};
  std::unique_ptr<DiskFile> disk;
  std::unique_ptr<ArchiveFile> archive;
  std::unique_ptr<SceneRoot> root;
  Scene* scene = nullptr;
  for (double& ms : loadMs) {
    root.reset();
    archive.reset();
    const double t0 = wallSeconds();
    disk = std::make_unique<DiskFile>();
    archive = std::make_unique<ArchiveFile>(*disk);
    if (!archive->mount(archivePath.c_str())) return 1;
    root = std::make_unique<SceneRoot>(pipeline.get(), "race");
    scene = root->loadScene(nullptr, archive.get(), track0::kSceneFile);
    ms = 1e3 * (wallSeconds() - t0);
  }
  std::printf("mount + load + prepare: %.1f ms (empty texture cache), %.1f ms (cache filled)\n", loadMs[0], loadMs[1]);

  drawFrames(*scene, device, 20);  // warm-up
  const FrameCost full = drawFrames(*scene, device, frames);
  setGlCallsDiscarded(true);
  const FrameCost own = drawFrames(*scene, device, frames);
  setGlCallsDiscarded(false);
  std::printf("frame at %ux%u over %d frames: %.3f ms wall, our CPU %.3f ms (GL calls discarded), GL %.3f ms\n",
              p.BackBufferWidth, p.BackBufferHeight, frames, 1e3 * full.wall, 1e3 * own.submitCpu,
              1e3 * (full.wall - own.submitCpu));
  std::printf("  (submit CPU with GL calls made: %.3f ms)\n", 1e3 * full.submitCpu);

  // Physics: the race's space pairs, plain contacts, six crates on the road.
  ODESpacePair collide(true);
  ODEJointSurface plain;
  plain.m_surface.mu = plain.m_surface.mu2 = 0.5;
  for (const auto& pair : kRaceSpacePairs)
    scene->physics().spacePairTable[pair[0]][pair[1]] = scene->physics().spacePairTable[pair[1]][pair[0]] = &collide;
  for (auto& row : scene->physics().surfaceTable) row.fill(&plain);
  for (int k = 0; k < 6; ++k) {
    auto item = std::make_unique<PhysicsObject>(scene, static_cast<std::int32_t>(scene->objects.size()));
    item->name = "kart";
    item->geomType = kGeomBox;
    item->surfaceKind = kSurfaceObstacle;
    item->spaceIndex = kSpaceObstacles;
    item->geomSize[0] = 1.2f, item->geomSize[1] = 0.6f, item->geomSize[2] = 1.8f;
    const double f = track0::fractionAlong(0.0, -4.0 * (k / 2 + 1));
    const track0::Point2 c = track0::centreAt(f), d = track0::directionAt(f);
    const float side = k % 2 == 0 ? -2.5f : 2.5f;
    item->position[0].value = c.x + d.z * side;
    item->position[1].value = 0.5f;
    item->position[2].value = c.z - d.x * side;
    item->body = dBodyCreate(scene->physics().world());
    dMassSetBoxTotal(&item->mass, 150.0, 1.2, 0.6, 1.8);
    dBodySetMass(item->body, &item->mass);
    item->prepareOnce();
    dBodySetLinearVel(item->body, d.x * 15.0, 0.0, d.z * 15.0);
    scene->objects.push_back(std::move(item));
  }
  constexpr int kSteps = 2000;
  for (int i = 0; i < 100; ++i) scene->physicsStep(0.01);
  const double s0 = threadSeconds();
  for (int i = 0; i < kSteps; ++i) scene->physicsStep(0.01);
  std::printf("physics step, six bodies: %.1f us\n", 1e6 * (threadSeconds() - s0) / kSteps);

  root.reset();
  std::filesystem::remove_all(folder);
  return 0;
}
