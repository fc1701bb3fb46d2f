// The sample archive as the tool writes it, mounted from memory, and its
// tracks loaded from it through the scene root with the race's collision
// pairs.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "foundation/archive_file.h"
#include "game/track/collision_space.h"
#include "lightwave/lwo2_loader.h"
#include "scene/contact_tables.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "sound/sound_system.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/support/audio_driver.h"
#include "tests/support/doctored_archive.h"
#include "tests/support/memory_file.h"
#include "tests/support/sample_archive.h"
#include "tools/sample_data/sample_sources.h"
#include "tools/sample_data/track_pieces.h"
#include "tools/sample_data/track_samples.h"

// The archive tessaline-sample-data wrote for the tests.
inline ArchiveFile& trackArchive() { return builtSampleArchive(); }

// The same with the test ring in place of track 1, its files written by the
// tool's own writer for it; made once per test program.
inline ArchiveFile& testRingArchive() {
  static const std::unique_ptr<DoctoredArchive> doctored = [] {
    ArchiveWriter ring;
    EXPECT_TRUE(addTestRingTrack(ring));
    return std::make_unique<DoctoredArchive>(DoctoredArchive::entriesOf(ring));
  }();
  return doctored->archive();
}

// Loads a track (track 0 unless named) into a root: the LightWave loaders
// installed, a dummy sound device on the pipeline (so that object sounds
// load) and a texture cache folder of its own. Outlives the root it loads
// into.
class TrackLoader {
 public:
  TrackLoader()
      : m_cacheFolder(std::filesystem::path(::testing::TempDir()) / ("track_cache_" + std::to_string(::getpid()))) {
    setenv("TESSALINE_TEXTURE_CACHE", m_cacheFolder.c_str(), 1);
  }
  ~TrackLoader() {
    unsetenv("TESSALINE_TEXTURE_CACHE");
    std::filesystem::remove_all(m_cacheFolder);
  }
  Scene* load(SceneRoot& root, const char* sceneFile = track0::kSceneFile, ArchiveFile& archive = trackArchive()) {
    installLightWaveLoaders();
    m_sound = std::make_unique<SoundSystem>(nullptr);
    root.pipeline->soundDevice = m_sound->openDevice(kDefaultSoundDeviceGuid);
    return root.loadScene(nullptr, &archive, sceneFile);
  }

 private:
  AudioDriver m_driver{"dummy"};
  std::filesystem::path m_cacheFolder;
  std::unique_ptr<SoundSystem> m_sound;
};

// The race's space pairs, and one plain contact surface for every pair of
// surface kinds (the race's own kinds are sensors; a plain one lets a body
// rest and collide).
struct RaceTables {
  void install(Scene& scene) {
    for (const auto& pair : kRaceSpacePairs)
      scene.physics().spacePairTable[pair[0]][pair[1]] = scene.physics().spacePairTable[pair[1]][pair[0]] = &collide;
    for (auto& row : scene.physics().surfaceTable) row.fill(&plain);
  }
  ODESpacePair collide{true};
  ODEJointSurface plain;
};
