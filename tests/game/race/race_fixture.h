// A small race written with the content writers: tracks 0 and 3 (six
// starts, two extra boxes, a stamper and a camp fire with their sounds, a
// camera), eight karts and six drivers of null objects, every kart sound,
// the countdown sounds and track 0's music. A race loads it on the
// recording device with recording sounds and GUI.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "content/lws_writer.h"
#include "content/ogg_vorbis_writer.h"
#include "content/wav_writer.h"
#include "game/kart/kart_items.h"
#include "game/kart/kart_load.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "net/net_control.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/support/memory_file.h"
#include "tests/support/race_gui_recorder.h"
#include "tests/support/recording_sound.h"
#include "tests/support/scratch_dir.h"

namespace race_fixture {

inline const char* const kTrack0 = "D:\\Tamberlok\\3dobjects_tracks\\track_01_steinzeit.lws";
inline const char* const kTrack3 = "D:\\Tamberlok\\3dobjects_tracks\\track_04_robinhood.lws";
inline const char* const kBox = "D:\\Tamberlok/3dobjects_extras/extra_addon.lwo";
inline const char* const kStamper = "D:\\Tamberlok\\soundfx\\stampfer.wav";
inline const char* const kFire = "D:\\Tamberlok\\soundfx\\lagerfeuer.wav";
inline const char* const kMusic0 = "D:\\Tamberlok\\musics\\track01.ogg";
constexpr int kKartSpace = 4, kComputerSpace = 9;

inline std::vector<unsigned char> wav() {
  return writeWav(WavDescription{}, pcm16Bytes(std::vector<std::int16_t>(64, 1000)));
}

inline std::string trackScene() {
  lws::SceneWriter w;
  w.timing(0, 60, 30);
  std::vector<lws::Space> spaces = {{"(default)", 1}, {"ground", 1},    {"reserved", 0}, {"kart rays", 0},
                                    {"karts", 0},     {"obstacles", 0}, {"rockets", 0},  {"weapons", 0},
                                    {"effects", 0},   {"walls", 1},     {"markers", 0},  {"fall zones", 0}};
  w.odeMaster(spaces);
  for (int i = 0; i < 2; ++i) {
    w.addNullObject(kBox);
    w.motion("ObjectMotion", lws::still(3.0f * i, 0.8f, 10.0f));
    w.geom({1, 13, 10, {1, 1, 1}, 0});
  }
  w.addNullObject("stampfer");
  w.motion("ObjectMotion", lws::still(0, 2, 30));
  w.sound(kStamper);
  w.addNullObject("lagerfeuer");
  w.motion("ObjectMotion", lws::still(10, 0, 30));
  w.sound(kFire);
  for (int slot = 0; slot < 6; ++slot) {
    w.addNullObject("start");
    w.motion("ObjectMotion", lws::still(slot % 2 == 0 ? -2.0f : 2.0f, 0.5f, -4.0f * (slot / 2 + 1)));
  }
  lws::Camera camera;
  camera.name = "TrackCamera";
  camera.motion = lws::still(1.0f, 3.0f, -20.0f);
  w.camera(camera);
  return w.text();
}

inline std::string kartScene() {
  lws::SceneWriter w;
  w.timing(0, 60, 30);
  w.addNullObject("Vehicle");
  w.motion("ObjectMotion", lws::still());
  w.addNullObject("Motor");
  w.motion("ObjectMotion", lws::still(0, 0.3f, -0.5f));
  w.itemId("ParentItem", lws::objectId(0));
  w.addNullObject("col");
  w.motion("ObjectMotion", lws::still());
  w.geom({1, 6, kKartSpace, {1.2f, 0.6f, 1.8f}, 0});
  lws::Camera camera;
  camera.name = "KartCamera";
  w.camera(camera);
  return w.text();
}

inline std::string characterScene() {
  lws::SceneWriter w;
  w.timing(0, 60, 30);
  w.addNullObject("Character");
  w.motion("ObjectMotion", lws::still());
  return w.text();
}

// Everything the race reads; track 3 has no music.
inline void putRaceFiles(MemoryFile& f) {
  f.put(kTrack0, trackScene());
  f.put(kTrack3, trackScene());
  for (int k = 0; k < kKartModels; ++k) f.put(kartSceneFile(k), kartScene());
  for (int c = 0; c < kCharacters; ++c) f.put(characterSceneFile(c), characterScene());
  for (int engine = 0; engine < 3; ++engine) f.put(kartSoundFile(kSoundEngine, engine), wav());
  for (int slot = 1; slot < KartItems::kSoundSlots; ++slot) {
    if (!kartSoundFile(slot, 0).empty()) f.put(kartSoundFile(slot, 0), wav());
  }
  for (const char* name :
       {"D:\\Tamberlok/soundfx/race_count01.wav", "D:\\Tamberlok/soundfx/race_start01.wav", kStamper, kFire})
    f.put(name, wav());
  const auto music = encodeOggVorbis(std::vector<std::int16_t>(2205, 0), 1, 22050);
  f.put(kMusic0, std::vector<unsigned char>(music.begin(), music.end()));
}

inline MemoryFile& raceFiles() {
  static MemoryFile files = [] {
    MemoryFile f;
    putRaceFiles(f);
    return f;
  }();
  return files;
}

inline std::map<int, std::string> raceTexts() {
  return {{100, "Quorrel"},         {200, "Affe"},         {300, "Alien"},
          {400, "Kroet"},           {500, "Pumpkin"},      {600, "Tod"},
          {9100, "Verbindung weg"}, {9110, "Spieler weg"}, {9140, "Host weg"}};
}

// Drivers 0 and, for a race, the others left to the computer.
inline void chooseRace(Config& config, int game, int track = 0) {
  config.m_game.set(game);
  config.m_track.set(track);
  config.m_ccm.set(0);
  config.m_playType = 0;
  config.m_isAuthority = 1;
  for (int i = 0; i < Config::kPlayerCount; ++i) {
    ConfigPlayer* r = config.m_player[i].modify();
    r->character = i == 0 ? 0 : -1;
    r->kart = i == 0 ? 0 : -1;
    r->startPosition = i;
    config.m_controlType[i] = 0;
  }
  config.m_musicVolume = 60;
  config.m_effectsVolume = 100;
}

}  // namespace race_fixture

// A race over the recording device, with the recorders wired in; each test
// runs in a scratch directory (the score file lands there).
class RaceTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    pipeline->soundDevice = &sound;
    pipeline->requestedWidth = 800;
    pipeline->requestedHeight = 600;
    gui.texts = race_fixture::raceTexts();
    race = std::make_unique<Race>(pipeline.get(), &gui, control);
  }
  void TearDown() override {
    race.reset();
    pipeline.reset();
    PipelineTest::TearDown();
  }
  bool load() { return race->load(&race_fixture::raceFiles(), &sound, config); }
  RecordingSoundBuffer* kartSound(int kart, int slot) {
    return recorded(race->m_karts[kart]->m_items.sounds[static_cast<std::size_t>(slot)].buffer.get());
  }

  ScratchDir scratch;
  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  RecordingSoundDevice sound;
  RecordingRaceGui gui;
  std::unique_ptr<Race> race;
};
