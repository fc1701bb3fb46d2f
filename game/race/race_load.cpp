// Race::load: from the settings' choice to a race standing at the start,
// in the order the pieces depend on each other: records, track, karts with
// their sounds, scene preparation, boxes and stampers, contact tables,
// maps, displays, music and scores.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "foundation/timer.h"
#include "game/kart/kart_items.h"
#include "game/kart/kart_load.h"
#include "game/kart/vehicle_master.h"
#include "game/race/game_mode.h"
#include "game/race/network_messages.h"
#include "game/race/play_type.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "game/saves/highscore.h"
#include "game/track/collision_space.h"
#include "game/track/track_maps.h"
#include "game/track/track_numbers.h"
#include "game/track/track_surfaces.h"
#include "lightwave/lwo2_loader.h"
#include "render/render_pipeline.h"
#include "render/surface.h"
#include "scene/camera_item.h"
#include "scene/contact_tables.h"
#include "scene/object_item.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"
#include "sound/sound_system.h"

namespace {

constexpr const char* kTextFile = "D:\\Tamberlok/menu/IngameTexts.xml";
constexpr const char* kTrackScenes[kTrackCount] = {"D:\\Tamberlok\\3dobjects_tracks\\track_01_steinzeit.lws",
                                                   "D:\\Tamberlok\\3dobjects_tracks\\track_05_aegypten.lws",
                                                   "D:\\Tamberlok\\3dobjects_tracks\\track_03_rom.lws",
                                                   "D:\\Tamberlok\\3dobjects_tracks\\track_04_robinhood.lws",
                                                   "D:\\Tamberlok\\3dobjects_tracks\\track_02_pirateninsel.lws",
                                                   "D:\\Tamberlok\\3dobjects_tracks\\track_06_wilderwesten.lws",
                                                   "D:\\Tamberlok\\3dobjects_tracks\\track_08_shimalaya.lws",
                                                   "D:\\Tamberlok\\3dobjects_tracks\\track_07_ufo.lws"};
constexpr const char* kTrackMusic[kTrackCount] = {
    "D:\\Tamberlok\\musics\\track01.ogg", "D:\\Tamberlok\\musics\\track05.ogg", "D:\\Tamberlok\\musics\\track03.ogg",
    "D:\\Tamberlok\\musics\\track04.ogg", "D:\\Tamberlok\\musics\\track02.ogg", "D:\\Tamberlok\\musics\\track06.ogg",
    "D:\\Tamberlok\\musics\\track08.ogg", "D:\\Tamberlok\\musics\\track07.ogg"};
// The star, frost and shrink pictures of the explosions, by m_explosionType.
constexpr const char* kExplosionPictures[3] = {"D:\\Tamberlok/textures_props/stern.bmp",
                                               "D:\\Tamberlok/textures_props/frost.bmp",
                                               "D:\\Tamberlok/textures_props/shrink.bmp"};
constexpr const char* kBeepSound = "D:\\Tamberlok/soundfx/race_count01.wav";
constexpr const char* kStartSound = "D:\\Tamberlok/soundfx/race_start01.wav";
constexpr const char* kExtraBox = "D:\\Tamberlok/3dobjects_extras/extra_addon.lwo";

// From how near each kart sound plays at full volume, by slot.
constexpr float kKartSoundNear[KartItems::kSoundSlots] = {5,  15, 15, 15, 15, 0,  15, 15, 15, 5,  15, 20,
                                                          10, 10, 15, 15, 20, 20, 15, 20, 10, 15, 20};
constexpr float kKartSoundFar = 100000.0f;
constexpr float kStamperNear = 4.0f, kStamperFar = 1000000.0f;
constexpr float kEngineScale[Config::kClassCount] = {0.5f, 0.75f, 1.0f};
constexpr float kMusicVolumeFactor = 0.01f;
constexpr float kCountdownVolumeFactor = 0.009f;
constexpr float kAmbientVolumeFactor = 0.0075f;
constexpr float kStamperVolumeFactor = 0.9f;
constexpr float kKartCameraZoom = 1.5f;
// The model detail setting 1 draws every object this many meshes coarser.
constexpr int kCoarseModelBias = 10;

// Computer drivers are named by text 100 x (character + 1).
constexpr int kDriverNameText = 100;
// The laps a network race may have: the lobby's choices, each with a lap
// time of its own.
constexpr int kMaxNetworkLaps = 5;

// A network race waits for records in slices this long, so that the
// loading window stays responsive.
constexpr DWORD kWaitSliceMs = 100;

bool validCharacter(int c) { return c >= 0 && c < kCharacters; }
bool validKart(int k) { return k >= 0 && k < kKartModels; }

// Copies UTF-8 text into a record's name, cut at a character boundary.
void setName(char (&name)[ConfigPlayer::kNameSize], const std::string& text) {
  std::size_t length = std::min(text.size(), sizeof name - 1);
  while (length > 0 && length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  std::memcpy(name, text.data(), length);
  std::memset(name + length, 0, sizeof name - length);
}

}  // namespace

bool Race::load(File* archive, SoundDevice* sound, Config& settings) {
  release(false);
  m_config = &settings;
  m_files = archive;
  m_sound = sound;

  progress(0.0f);
  m_isAuthority = settings.m_isAuthority;
  s_instance = this;
  if (m_renderContext) {
    m_renderContext->textureDetail = settings.m_textureDetail;
    m_renderContext->modelLodBias = settings.m_modelDetail == 0 ? 0 : kCoarseModelBias;
  }
  m_simTime = 0.0;
  m_leave = m_paused = 0;
  m_cameraMode[0] = m_cameraMode[1] = kCameraChase;
  m_boxes.clear();
  m_soundObjects.clear();
  settings.m_skipMenu = 0;
  m_highscores.reset();

  const int language = settings.m_language >= 0 && settings.m_language <= 4 ? settings.m_language : 0;
  if (m_gui) m_texts = m_gui->loadTexts(archive, kTextFile, language);

  // A network race needs this machine's seat: its slot is its record, and
  // its grid slot comes with it.
  if (settings.m_playType == kPlayNetwork) {
    const int slot = m_control.playerSlot();
    if (!m_control.seated() || slot < 0 || slot > 4) return fail(kTextConnectionLost);
    settings.m_player[slot].modify()->startPosition = Config::gridSlotOfSeat(slot);
  }

  m_kartCount = settings.m_game.get() == kModeTimeTrial ? 1 : kMaxKarts;
  m_viewCount = settings.m_playType == kPlaySplitScreen ? 2 : 1;
  for (int i = 0; i < m_kartCount; ++i) {
    ConfigPlayer* r = settings.m_player[i].modify();
    r->raceTime = 0.0f;
    r->position = r->startPosition;
    r->racePoints = 0;
    std::fill(std::begin(r->lapTimes), std::end(r->lapTimes), 0.0f);
    r->bestLap = 0.0f;
  }
  if (m_isAuthority) fillPlayerRecords();
  m_control.update();
  if (!checkChoice()) return fail(networkEndText(m_control.getState()));

  progress(10.0f);
  if (m_renderContext) {
    m_renderContext->viewportX = m_renderContext->viewportY = 0;
    m_renderContext->targetWidth = m_renderContext->requestedWidth;
    m_renderContext->targetHeight = m_renderContext->requestedHeight;
  }
  loadTrack();
  if (m_files) m_trackPoints = readTrackPoints(*m_files, m_config->m_track.get());
  if (!loadKarts()) return fail(networkEndText(m_control.getState()));
  settleChoice();

  progress(70.0f);
  m_root->prepareScenes(nullptr);
  finishKarts();
  if (!chooseViews()) return fail(networkEndText(m_control.getState()));

  progress(75.0f);
  collectBoxes();
  collectStamperSounds();
  progress(80.0f);
  installContactTables();
  progress(85.0f);
  if (SoundDevice* listener = m_renderContext && m_renderContext->soundDevice ? m_renderContext->soundDevice : m_sound)
    listener->setListenerFactors(1.0f, 1.0f, 2.0f);
  loadMaps();
  joinKarts();

  std::fill(std::begin(m_lapStart), std::end(m_lapStart), 0.0f);
  std::fill(std::begin(m_wrongWay), std::end(m_wrongWay), 0);
  m_countdownStart = m_raceStart = m_raceOverTime = 0.0f;
  m_frame = 0;
  m_resultsShown = 0;
  m_triggerTimer = 0.0f;
  resetProgress();

  if (m_gui) m_hud = m_gui->createDisplays(settings, *this);
  if (m_hud) {
    for (int view = 0; view < m_viewCount; ++view) {
      m_hud->updateExtraIcon(view, 0);
      m_hud->setMinimapMarkerColour(view, m_viewKart[view], RaceDisplays::kMarkerGreen);
    }
  }
  progress(95.0f);
  for (int view = 0; view < m_viewCount && view < static_cast<int>(m_scene->cameras.size()); ++view) {
    if (auto* camera = dynamic_cast<CameraItem*>(m_scene->cameras[view].get()))
      camera->zoomFactor.value = kKartCameraZoom;
  }
  loadMusicAndCountdown();
  loadHighscores();

  ConfigPlayer* own = settings.m_player[m_viewKart[0]].modify();
  own->raceReady[0] = own->raceReady[1] = 0;
  placeListener();

  m_scene->soundVolume = static_cast<float>(settings.m_effectsVolume) * kAmbientVolumeFactor;
  if (m_music) m_music->play(true);
  for (Vehicle* kart : m_karts) {
    if (kart && !kart->m_items.sounds[kSoundEngine].empty()) kart->m_items.sounds[kSoundEngine].buffer->play(true);
  }
  m_control.update();
  // From here on nobody joins, and the relay tells everyone when a player
  // leaves: unlocked, it would not, and the others would wait at the start
  // (and for the finish) for a kart that is gone.
  if (settings.m_playType == kPlayNetwork && m_isAuthority && m_control.isConnected()) m_control.setLocked(true);
  m_timer = std::make_unique<Timer>(m_clock);
  return true;
}

void Race::fillPlayerRecords() {
  Config& settings = *m_config;
  bool characterTaken[kCharacters] = {}, kartTaken[kKartModels] = {};
  for (int i = 0; i < m_kartCount; ++i) {
    const ConfigPlayer& r = settings.m_player[i].get();
    if (validCharacter(r.character)) characterTaken[r.character] = true;
    if (validKart(r.kart)) kartTaken[r.kart] = true;
  }
  // A record nobody has chosen for (a value out of range counts as none)
  // gets the first free choice and a computer driver.
  bool computer[kMaxKarts] = {};
  for (int i = 0; i < m_kartCount; ++i) {
    if (validCharacter(settings.m_player[i].get().character)) continue;
    const int free = static_cast<int>(std::find(characterTaken, characterTaken + kCharacters, false) - characterTaken);
    ConfigPlayer* r = settings.m_player[i].modify();
    r->character = free < kCharacters ? free : -1;
    if (free < kCharacters) characterTaken[free] = true;
    settings.m_controlType[i] = kControlAI;
    computer[i] = true;
  }
  for (int i = 0; i < m_kartCount; ++i) {
    if (validKart(settings.m_player[i].get().kart)) continue;
    const int free = static_cast<int>(std::find(kartTaken, kartTaken + kKartModels, false) - kartTaken);
    ConfigPlayer* r = settings.m_player[i].modify();
    r->kart = free < kKartModels ? free : -1;
    if (free < kKartModels) kartTaken[free] = true;
    settings.m_controlType[i] = kControlAI;
    computer[i] = true;
  }
  // In a network race each player's grid slot is its seat's, whatever its
  // record says (a record claiming another's slot would put two karts on
  // one start); the computer drivers take the slots left.
  if (settings.m_playType == kPlayNetwork) {
    bool slotTaken[kMaxKarts] = {};
    for (int i = 0; i < m_kartCount; ++i) {
      if (computer[i]) continue;
      const int slot = Config::gridSlotOfSeat(i);
      ConfigPlayer* r = settings.m_player[i].modify();
      r->startPosition = r->position = slot;
      slotTaken[slot] = true;
    }
    for (int i = 0; i < m_kartCount; ++i) {
      if (!computer[i]) continue;
      const int free = static_cast<int>(std::find(slotTaken, slotTaken + kMaxKarts, false) - slotTaken);
      if (free >= kMaxKarts) break;
      slotTaken[free] = true;
      ConfigPlayer* r = settings.m_player[i].modify();
      r->startPosition = r->position = free;
    }
  }
  for (int i = 0; i < m_kartCount; ++i) {
    if (settings.m_controlType[i] != kControlAI) continue;
    settings.m_player[i].setFlags(kNetSendChanges);
    const int character = settings.m_player[i].get().character;
    setName(settings.m_player[i].modify()->name, character < 0 ? "--" : text(kDriverNameText * (character + 1)));
  }
}

bool Race::checkChoice() {
  // Both index file tables; a value from a peer out of range would load
  // something else than the host chose.
  const int track = m_config->m_track.get(), engineClass = m_config->m_ccm.get();
  return track >= 0 && track < kTrackCount && engineClass >= 0 && engineClass < Config::kClassCount;
}

void Race::settleChoice() {
  if (m_config->m_playType != kPlayNetwork || m_isAuthority) return;
  // Taken on in mid-race, a change would switch the mode, the laps or the
  // track's tables under the running race. An honest host changes nothing
  // once the lobby has ended.
  for (NetValue<int>* shared : {&m_config->m_game, &m_config->m_track, &m_config->m_ccm, &m_config->m_laps})
    shared->setFlags(shared->getFlags() & ~kNetAcceptReceived);
  // A race keeps the times of five laps; more from a peer would never end.
  m_config->m_laps.set(std::clamp(m_config->m_laps.get(), 1, kMaxNetworkLaps));
}

void Race::loadTrack() {
  installLightWaveLoaders();
  m_root = std::make_unique<SceneRoot>(m_renderContext, "metascene");
  m_scene = m_root->loadScene(nullptr, m_files, kTrackScenes[m_config->m_track.get()]);
  m_scene->createCamera(false);
  m_scene->soundVolume = 0.0f;
  progress(30.0f);
  for (int i = 0; i < 3; ++i)
    m_explosionTextures[i] = m_files ? m_root->getTexture(m_files, kExplosionPictures[i]) : nullptr;
}

bool Race::loadKarts() {
  for (int i = 0; i < m_kartCount; ++i) {
    // What arrives while waiting may change the choice too.
    if (!waitForRecord(i) || !checkChoice()) {
      m_kartSoundSources.clear();
      return false;
    }
    loadKart(i);
    progress(30.0f + 40.0f * static_cast<float>(i + 1) / static_cast<float>(m_kartCount));
  }
  m_kartSoundSources.clear();
  return true;
}

bool Race::waitForRecord(int i) {
  const NetValue<ConfigPlayer>& record = m_config->m_player[i];
  // A kart of -1 would index the file tables as much as a character of -1.
  // A choice going out of range ends the wait as well; the caller tells
  // the two apart.
  auto settled = [&] {
    return (validCharacter(record.get().character) && validKart(record.get().kart)) || !checkChoice();
  };
  if (settled()) return true;
  using Clock = std::chrono::steady_clock;
  const auto idleLimit = std::chrono::duration<double>(m_networkIdleTimeout);
  auto idleSince = Clock::now();
  std::uint64_t seen = m_control.messagesRead();
  for (;;) {
    if (m_gui && !m_gui->pumpLoadingMessages()) return false;
    // Slices no longer than what is left of the idle time.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(idleLimit - (Clock::now() - idleSince));
    const DWORD slice = static_cast<DWORD>(std::clamp<std::int64_t>(left.count(), 0, kWaitSliceMs));
    if (m_control.updateUntil(settled, slice)) return true;
    if (!m_control.isConnected()) return false;
    // Whatever arrives shows the host is still there.
    if (m_control.messagesRead() != seen) {
      seen = m_control.messagesRead();
      idleSince = Clock::now();
    } else if (Clock::now() - idleSince >= idleLimit) {
      return false;
    }
  }
}

void Race::loadKart(int i) {
  const ConfigPlayer& r = m_config->m_player[i].get();
  const int engineClass = m_config->m_ccm.get();
  m_kartCharacter[i] = r.character;
  m_kartModel[i] = r.kart;
  std::unique_ptr<KartTuning> tuning;
  if (m_files) {
    // A scene that cannot be loaded leaves its kart without items; the
    // race goes on without them.
    loadKartScenes(*m_scene, nullptr, *m_files, i, r.kart, r.character);
    addKartObjects(*m_scene, *m_files);
    tuning = loadKartTuning(*m_files, engineClass, r.character);
  }
  KartOrder order{*m_scene,
                  i,
                  m_config->m_controlType[i],
                  m_isAuthority != 0,
                  &m_explosionTextures,
                  std::move(tuning),
                  r.startPosition,
                  kartObjectFile(r.kart),
                  *m_config,
                  m_control,
                  m_files,
                  &m_simTime,
                  m_trackPoints};
  m_kartOwners[i] = m_factory->buildKart(order);
  m_karts[i] = m_kartOwners[i].get();

  if (SceneItem* engine = findKartItem(*m_scene, "Motor", -1, i + 1)) {
    const float s = kEngineScale[engineClass];
    const float scale[3] = {s, s, s};
    engine->setScale(scale);
  }
  if (m_karts[i]) loadKartSounds(*m_karts[i]);
}

void Race::loadKartSounds(Vehicle& kart) {
  if (!m_sound || !m_files) return;
  const int engineClass = m_config->m_ccm.get();
  for (int slot = 0; slot < KartItems::kSoundSlots; ++slot) {
    const std::string file = kartSoundFile(slot, engineClass);
    if (file.empty()) continue;
    auto [source, added] = m_kartSoundSources.try_emplace(file);
    if (added) source->second = loadSoundChannel(m_files, file.c_str());
    if (!source->second) continue;
    // Every kart needs a read position of its own; a kind of source that
    // cannot share its data is read from the file again.
    std::unique_ptr<SoundChannel> channel = source->second->openReader();
    if (!channel) channel = loadSoundChannel(m_files, file.c_str());
    if (!channel) continue;
    std::unique_ptr<SoundBuffer> buffer = m_sound->createSound(channel.get(), kSound3D | kSoundStatic);
    if (!buffer) continue;
    buffer->setVolume(kartSoundVolume(slot, engineClass, m_config->m_effectsVolume));
    buffer->setDistances(kKartSoundNear[slot], kKartSoundFar);
    KartSoundSlot& target = kart.m_items.sounds[static_cast<std::size_t>(slot)];
    target.buffer.reset();
    target.channel = std::move(channel);
    target.buffer = std::move(buffer);
  }
}

void Race::finishKarts() {
  for (int i = 0; i < m_kartCount; ++i) {
    Vehicle* kart = m_karts[i];
    if (!kart) continue;
    const std::string model = kartObjectFile(m_kartModel[i]), driver = characterObjectFile(m_kartCharacter[i]);
    kart->m_characterModel[Vehicle::kChassisSurface] = m_root->findSurface(model + "@kart chassis");
    kart->m_characterModel[Vehicle::kMetalSurface] = m_root->findSurface(model + "@kart metall");
    kart->m_characterModel[Vehicle::kTyreSurface] = m_root->findSurface(model + "@reifen");
    kart->m_characterModel[Vehicle::kBodySurface] = m_root->findSurface(driver + "@body");

    if (m_config->m_controlType[i] != kControlAI) continue;
    auto* col = dynamic_cast<PhysicsObject*>(findKartItem(*m_scene, "col", -1, i + 1));
    // A computer driver's collision item leaves the karts' space for the
    // one that meets walls, karts and the stampers alike.
    if (!col || m_scene->physics().spaceCount() <= kSpaceWalls) continue;
    col->removeFromSpace(m_scene->physics().space(kSpaceKarts));
    col->addToSpace(m_scene->physics().space(kSpaceWalls));
    col->spaceIndex = kSpaceWalls;
  }
}

bool Race::chooseViews() {
  if (m_config->m_playType == kPlayNetwork) {
    m_viewKart[0] = m_control.playerSlot();
  } else {
    m_viewKart[0] = 0;
    m_viewKart[1] = 1;
  }
  // Every view shows a kart that exists.
  for (int view = 0; view < m_viewCount; ++view) {
    const int k = m_viewKart[view];
    if (k < 0 || k >= m_kartCount || !m_karts[k]) return false;
  }
  return true;
}

void Race::collectBoxes() {
  const bool timeTrial = m_config->m_game.get() == kModeTimeTrial;
  for (const auto& item : m_scene->objects) {
    if (item->name != kExtraBox) continue;
    m_boxes.push_back(item.get());
    if (!timeTrial) continue;
    // A time trial has no extras: the boxes wait below the track.
    Matrix4x3 world;
    item->worldMatrix(world, 0.0, true);
    const float below[3] = {world.m[12], world.m[13] - VehicleMaster::kBoxParkDepth, world.m[14]};
    item->setPosition(below);
    item->evaluate(0.0);
  }
}

void Race::collectStamperSounds() {
  for (const auto& item : m_scene->objects) {
    auto* object = dynamic_cast<ObjectItem*>(item.get());
    if (!object || !object->sound || !isStamperSound(*object)) continue;
    object->sound->stop();
    object->sound->setDistances(kStamperNear, kStamperFar);
    object->sound->setVolume(m_scene->soundVolume * kStamperVolumeFactor);
    m_soundObjects.push_back(object);
  }
}

void Race::installContactTables() {
  m_surfaces = std::make_unique<TrackSurfaces>(m_karts, m_triggerTimer);
  m_surfaces->install(*m_scene);
  m_spacePair = std::make_unique<ODESpacePair>(true);
  for (const auto& pair : kRaceSpacePairs) {
    m_scene->physics().spacePairTable[pair[0]][pair[1]] = m_spacePair.get();
    m_scene->physics().spacePairTable[pair[1]][pair[0]] = m_spacePair.get();
  }
  m_scene->physics().useSimpleSpacesUpTo(kMostMembersOfASimpleSpace);
}

void Race::loadMaps() {
  const int track = m_config->m_track.get();
  m_lightMap = std::make_unique<TrackLightMap>();
  loadTrackLightMap(*m_lightMap, m_files, track);
  progress(88.0f);
  m_positionMap = std::make_unique<TrackPositionMap>(m_files, track);
  progress(89.0f);
  m_resetMap = std::make_unique<ResetMap>(m_files, track);
  progress(90.0f);
}

void Race::joinKarts() {
  const TrackPositionMap* positions = m_positionMap.get();
  for (int i = 0; i < m_kartCount; ++i) {
    Vehicle* kart = m_karts[i];
    if (!kart) continue;
    // Every kart sees the others (hits, respawn spacing, the rocket's
    // target); a homing rocket and a computer driver read track sectors
    // through the map, when the track has one.
    kart->joinRace(m_karts, m_kartCount);
    VehicleMaster* master = kart->getMaster();
    if (master && positions && positions->loaded())
      master->setTrackSectors([positions](const Position3& p) { return positions->valueAt(p); });
  }
}

void Race::loadMusicAndCountdown() {
  auto load = [&](const char* file, std::unique_ptr<SoundChannel>& channel, std::unique_ptr<SoundBuffer>& buffer,
                  float volume) {
    if (!m_sound || !m_files) return;
    channel = loadSoundChannel(m_files, file);
    if (channel) buffer = m_sound->createSound(channel.get(), kSoundStatic);
    if (buffer) buffer->setVolume(volume);
  };
  load(kTrackMusic[m_config->m_track.get()], m_musicChannel, m_music,
       static_cast<float>(m_config->m_musicVolume) * kMusicVolumeFactor);
  progress(100.0f);
  m_countdownState = kCountdownWaiting;
  const float countdownVolume = static_cast<float>(m_config->m_effectsVolume) * kCountdownVolumeFactor;
  load(kBeepSound, m_beepSoundChannel, m_beepSound, countdownVolume);
  load(kStartSound, m_startSoundChannel, m_startSound, countdownVolume);
}

void Race::loadHighscores() {
  m_highscores = std::make_unique<HighscoreTables>();
  if (m_highscores->load(HighscoreTables::kFileName)) return;
  m_highscores->reset();
  m_highscores->save(HighscoreTables::kFileName);
}

void Race::placeListener() {
  SoundDevice* device = m_renderContext && m_renderContext->soundDevice ? m_renderContext->soundDevice : m_sound;
  Vehicle* own = m_karts[m_viewKart[0]];
  const std::size_t camera = m_viewCount == 2 && own->m_net.m_trackFinished.get() ? 1 : 0;
  if (!device || camera >= m_scene->cameras.size()) return;
  Matrix4x3 world;
  m_scene->cameras[camera]->worldMatrix(world, 0.0, true);
  const float* m = world.m;
  device->setListener(m[12], m[13], m[14], m[8], m[9], m[10], m[4], m[5], m[6], 0.0f, 0.0f, 0.0f);
}
