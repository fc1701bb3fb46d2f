// One race from load to unload: the track scene with its karts, drivers and
// controllers, the race's sounds, maps, score tables, texts and in-race
// displays, and the state its frames, progress, ranking and camera keep.
// The entry point owns one Race for the whole run; karts and surface kinds
// reach the race being played through Race::s_instance.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/kart/vehicle.h"
#include "game/race/race_displays.h"
#include "game/race/race_factory.h"
#include "game/race/race_gui.h"

class Clock;
class Config;
class File;
class HighscoreTables;
class InputDevice;
class NetControl;
class ObjectItem;
class ODESpacePair;
class RenderPipeline;
class ResetMap;
class Scene;
class SceneItem;
class SceneRoot;
class SoundBuffer;
class SoundChannel;
class SoundDevice;
class Timer;
class TrackLightMap;
class TrackPositionMap;
class TrackSurfaces;
struct ConfigPlayer;

class Race {
 public:
  static constexpr int kMaxKarts = Vehicle::kMaxKarts;
  static constexpr int kMaxViews = 2;

  // What each view's camera does (m_cameraMode).
  enum CameraMode : std::int32_t {
    kCameraChase = 1,       // the view's scene camera on a leash behind the kart
    kCameraStandStill = 2,  // the view's scene camera, no longer moved
    kCameraRear = 3,        // the kart's own camera, looking back
    kCameraFinish = 4,      // the kart's own camera, turned on the driver
  };
  // m_countdownState outside the countdown's own steps 0..4.
  static constexpr std::int32_t kCountdownWaiting = -1;
  static constexpr std::int32_t kCountdownRacing = -2;

  // The race being loaded or played; null between races.
  static Race* s_instance;

  // `clock` is what the race timer reads (tests move it by hand).
  Race(RenderPipeline* renderContext, RaceGui* gui, NetControl& control);
  Race(RenderPipeline* renderContext, RaceGui* gui, NetControl& control, const Clock& clock);
  ~Race();
  Race(const Race&) = delete;
  Race& operator=(const Race&) = delete;

  // Builds the race the settings describe from `archive`, its sounds on
  // `sound` (either may be null). False when a network race cannot be
  // joined (the host is gone or silent, the player quit, a received choice
  // is out of range) or a view has no kart: the loading window then says
  // why, the connection is left and nothing of the race remains.
  bool load(File* archive, SoundDevice* sound, Config& settings);
  // Takes the race down; safe after a failed load and when nothing is
  // loaded.
  bool unload();

  bool onDeviceLost();
  bool onDeviceReset();
  // The window went inactive or the device was lost: every race sound stops.
  bool stopSounds();
  // After a reset: the looping sounds start again.
  bool resumeSounds();
  // Silences every race sound but the stampers' while paused; restores the
  // settings' volumes when the race goes on.
  void setPaused(bool paused);

  // The factory the next load builds karts and controllers with.
  void setFactory(std::unique_ptr<RaceFactory> factory);

  // One pass of the race loop; always true.
  bool update(InputDevice& input);
  // Before view `view` (0 or 1) is drawn: places the camera its mode uses
  // (scene camera `view`, or in the rear and finish modes the kart's own,
  // camera m_viewKart[view] + 2) and sets the view's rectangle and angles in
  // the render pipeline. The keys that change the mode are the frame's.
  void updateCamera(int view, InputDevice& input);

  // The frame's steps, in the order update runs them (game/race_frame*.cpp);
  // tests run them one by one. "Now" is the race timer's game time.
  static constexpr int kMaxPhysicsSteps = 20;
  static constexpr double kPhysicsStep = 0.01;
  // Fixed steps up to now, at most 20 (the rest of the time is dropped);
  // none while paused. Returns the steps taken.
  int stepPhysics();
  // Boxes taken wait `steps` steps less; those whose wait is over come back.
  void runBoxTimers(int steps);
  // The flight sound of each rocket in the air near view 0's kart.
  void updateRocketFlightSounds();
  // Rockets, bubbles, shots, flashes, mines, magnets and weights of every
  // kart against every kart simulated here.
  void testHits();
  void spinBoxes();
  // Stampers near view 0's kart, the listener and the engines; not while
  // paused.
  void updateSounds();
  void runCountdown();
  // Progress and computer catch-up while racing; the results 2 s after the
  // race is over.
  void updateProgressOrResults();
  void updateRaceDisplays();
  void refreshNetworkResults();
  void updateKartVisuals();
  // Every view under the GUI, presented.
  void renderViews(InputDevice& input);
  // Time pulse, sound commit, frame count, timer tick, network exchange.
  void endFrame();
  // The lost-connection message of a network race.
  void checkConnection();
  // Space: ready, and the countdown once everybody is.
  void checkStart(InputDevice& input);
  void readRaceKeys(InputDevice& input);
  // Mouse to the GUI every frame, keys only while the name entry shows.
  void feedGui();
  // The engine sound's frequency in Hz at `speed` for a top speed of
  // `maxSpeed`: 22000 standing (or without a top speed), at most 90000.
  static std::uint32_t engineFrequency(float speed, float maxSpeed);
  // The scene camera view `view` draws from now, null when the scene has
  // none of that index.
  SceneItem* viewCamera(int view) const;

  // Race progress, ranking and race end.
  void resetProgress();
  // Every frame while the race is not over: ranks, laps and times, the
  // finish, the wrong-way flags and, in last man standing, who drops out.
  void updateRaceProgress();
  void updateRanks();
  // Whether view's kart has been driving backwards over four sectors.
  bool checkWrongWay(int view);
  void updateSectorMask(Vehicle& kart);
  int lastRankedActiveKart();
  int finishedCount();
  // Writes the finish into kart's player record (position, time, points,
  // totals and the next start position) and returns the record; null
  // without settings or for an index out of range.
  ConfigPlayer* recordFinish(int kart);
  // The authority's places for the karts still racing at the end: after
  // every real finisher by their estimated times, or in last man standing
  // ahead of every kart out, by their ranks.
  void computeRanking();
  // Pulls the computer drivers' speed limits toward the leading human
  // (none in network games).
  void adjustAiSpeeds();
  // The race end, once: the final ranking, the highscore hints and the
  // mode's result dialog.
  void showResults();

  // Every kart takes the light of the track under it.
  void applyTrackLight();
  // The per-frame refresh of the in-race displays.
  void updateHudDisplays();

  // Set up by the constructor.
  RenderPipeline* m_renderContext;
  RaceGui* m_gui;
  NetControl& m_control;
  const Clock& m_clock;

  // Set by load and cleared by unload. m_karts is the table the surface
  // kinds and the frame read (null where no kart was built); the karts are
  // owned by m_kartOwners.
  Vehicle* m_karts[kMaxKarts] = {};
  std::int32_t m_viewKart[kMaxViews] = {0, 1};
  std::int32_t m_cameraMode[kMaxViews] = {kCameraChase, kCameraChase};
  Config* m_config = nullptr;
  File* m_files = nullptr;  // the archive the race was loaded from
  SoundDevice* m_sound = nullptr;
  std::unique_ptr<ResetMap> m_resetMap;
  std::unique_ptr<TrackPositionMap> m_positionMap;
  // The track's point files, read once and shared by its karts and drivers.
  std::shared_ptr<const TrackPoints> m_trackPoints;
  std::uint8_t m_leave = 0;
  std::uint8_t m_isAuthority = 0;
  std::uint8_t m_paused = 0;
  std::unique_ptr<Timer> m_timer;
  double m_simTime = 0.0;
  std::unique_ptr<SceneRoot> m_root;
  Scene* m_scene = nullptr;  // the track scene, m_root's
  std::int32_t m_kartCount = 0;
  std::int32_t m_viewCount = 1;
  // Each channel outlives the buffer it feeds.
  std::unique_ptr<SoundChannel> m_musicChannel;
  std::unique_ptr<SoundBuffer> m_music;
  std::unique_ptr<SoundChannel> m_startSoundChannel;
  std::unique_ptr<SoundBuffer> m_startSound;
  std::unique_ptr<SoundChannel> m_beepSoundChannel;
  std::unique_ptr<SoundBuffer> m_beepSound;
  std::int32_t m_countdownState = kCountdownWaiting;
  std::unique_ptr<TrackLightMap> m_lightMap;
  std::unique_ptr<RaceDisplays> m_hud;
  // The track's extra boxes, and the stamper objects whose sounds the frame
  // plays (the scene's items).
  std::vector<SceneItem*> m_boxes;
  std::vector<ObjectItem*> m_soundObjects;
  std::unique_ptr<HighscoreTables> m_highscores;
  std::unique_ptr<RaceTexts> m_texts;
  std::unique_ptr<ODESpacePair> m_spacePair;
  std::unique_ptr<TrackSurfaces> m_surfaces;
  // The star, frost and shrink pictures, by m_explosionType (the root's).
  ExplosionTextures m_explosionTextures = {};
  // While the karts load: each kart sound file decoded once (null when it
  // could not be), every kart reading its own copy of the same data.
  std::map<std::string, std::shared_ptr<SoundChannel>> m_kartSoundSources;

  // Frame state.
  float m_countdownStart = 0.0f;  // game time the countdown began
  float m_raceStart = 0.0f;       // game time the karts were released; 0 until then
  std::uint32_t m_frame = 0;
  std::uint8_t m_raceOver = 0;
  float m_raceOverTime = 0.0f;
  std::uint8_t m_resultsShown = 0;
  // Started at 2.0 by the trigger surface when it stands at 0.0.
  float m_triggerTimer = 0.0f;

  // Progress state.
  float m_lapStart[kMaxKarts] = {};  // sum of each kart's completed lap times
  std::uint8_t m_wrongWay[kMaxViews] = {};
  float m_wrongWayTime[kMaxViews] = {};
  float m_eliminationTime = 0.0f;

  // How long a network load waits for the other players' records while
  // nothing arrives, in seconds.
  double m_networkIdleTimeout = 30.0;

 private:
  // The load's steps; a false one ends the load through fail().
  void fillPlayerRecords();
  bool checkChoice();
  // The choice taken from the host is final once the karts are built.
  void settleChoice();
  void loadTrack();
  bool loadKarts();
  // Until record i names a character and a kart, while the host is heard;
  // false when it leaves or falls silent, or the player quits.
  bool waitForRecord(int i);
  void loadKart(int i);
  void loadKartSounds(Vehicle& kart);
  void finishKarts();
  bool chooseViews();
  void collectBoxes();
  void collectStamperSounds();
  void installContactTables();
  void loadMaps();
  void joinKarts();
  void loadMusicAndCountdown();
  void loadHighscores();
  void placeListener();
  // The camera's steps for one view (game/race/race_camera.cpp). After a
  // respawn the view's camera starts right behind the kart.
  void resetChaseCamera(int view, Vehicle& kart, SceneItem& target);
  // The view's camera on a leash behind the kart, aimed at its target.
  void followKart(int view, Vehicle& kart, SceneItem& target);
  // The kart's own camera at its target, turned against the chassis.
  void lookBack(int kartIndex, SceneItem& target, const Position3& pivot);
  // The view's part of the screen and its angles in the render pipeline.
  void setViewRectangle(int view);
  // Shows text `textId` on the loading window, leaves the network game and
  // frees what was built; false.
  bool fail(int textId);
  // Frees everything the load built, in unload order, reporting progress
  // when asked.
  void release(bool reportProgress);
  void progress(float value);
  std::string text(int id) const;
  // The two ways computeRanking places the karts still racing.
  void placeSurvivors(std::vector<Vehicle*>& survivors);
  void placeByEstimatedTimes(std::vector<Vehicle*>& unfinished);

  std::unique_ptr<RaceFactory> m_factory;
  std::unique_ptr<Vehicle> m_kartOwners[kMaxKarts];
  // Each kart's character and model as loaded (-1 where none).
  std::int32_t m_kartCharacter[kMaxKarts] = {};
  std::int32_t m_kartModel[kMaxKarts] = {};
};

// The two stamper sounds: played by the frame, never silenced by a pause.
inline constexpr const char* kStamperSounds[2] = {"D:\\Tamberlok\\soundfx\\stampfer.wav",
                                                  "D:\\Tamberlok\\soundfx\\stampfer02.wav"};
bool isStamperSound(const ObjectItem& object);
// The volume of kart sound slot `slot` for the engine class (0..2) and the
// settings' effects volume (0..100).
float kartSoundVolume(int slot, int engineClass, int effectsVolume);
