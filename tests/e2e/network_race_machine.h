// One machine of a network race on the sample archive, for tests that run
// two in one process and for the peer program a test starts: its own
// control, settings, keys, sounds, in-race displays and race, on a relay
// the test runs. The settings are written as the lobby hands them to the
// race; the race clock is the test's.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/timer.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "input/input_device.h"
#include "net/net_control.h"
#include "platform/graphics/d3d9_recording.h"
#include "tests/support/race_gui_recorder.h"
#include "tests/support/recording_sound.h"
#include "tests/support/scripted_driver.h"
#include "tests/support/stepped_clock.h"

class DeviceManager;
class File;
class RenderPipeline;

// Devices on the recording Direct3D and a pipeline over them: the race
// draws every frame without a graphics card or an X server's time.
class RecordingScreen {
 public:
  RecordingScreen();
  ~RecordingScreen();
  RecordingScreen(const RecordingScreen&) = delete;
  RecordingScreen& operator=(const RecordingScreen&) = delete;

  RenderPipeline* pipeline() const { return m_pipeline.get(); }
  // The device's record of calls grows with every frame; a long race
  // forgets it now and then.
  void forgetCalls() { m_log->calls.clear(); }

 private:
  std::shared_ptr<CallLog> m_log = std::make_shared<CallLog>();
  std::unique_ptr<DeviceManager> m_manager;
  std::unique_ptr<RenderPipeline> m_pipeline;
};

// A value a machine sends last each frame (it registers after the race's):
// once the peer has received it, the whole frame has arrived, since the
// relay keeps each sender's order.
class FrameMarker : public NetValueBase {
 public:
  FrameMarker(NetControl& control, int id);
  ~FrameMarker();
  FrameMarker(const FrameMarker&) = delete;
  FrameMarker& operator=(const FrameMarker&) = delete;

  // The frame number this machine sends next.
  void send(std::int32_t frame);
  // The last frame number received from the peer (on the receive thread).
  std::int32_t received() const { return m_received.load(); }

  const void* getData() const override { return &m_current; }
  int size() const override { return 4; }
  bool isDirty() const override { return m_dirty; }
  bool setReceived(const std::uint8_t* data, int length) override;
  void commit() override { m_dirty = false; }
  int getId() const override { return m_id; }
  std::uint32_t getFlags() const override { return kNetSendChanges; }
  const std::string& getName() const override { return m_name; }
  void setName(const char*) override {}
  void writeWire(std::uint8_t* out) const override;

 private:
  NetControl& m_control;
  int m_id;
  std::string m_name = "frame marker";
  std::int32_t m_current = 0;
  bool m_dirty = false;
  std::atomic<std::int32_t> m_received{-1};
};

class NetworkRaceMachine {
 public:
  // Frame markers: the host sends under the first id, the client under the
  // second; ids no kart or setting uses.
  static constexpr int kHostMarkerId = 1990, kClientMarkerId = 1991;
  static constexpr int kTrack = 0;
  static constexpr int kLaps = 3;
  // Relay barrier tokens of the race each machine runs on its own clock.
  static constexpr std::uint32_t kAfterCountdown = 1, kAllStand = 2, kPlacesWritten = 3;
  // Long enough for the slower machine under the sanitizers, short enough
  // that a lost peer never holds a test.
  static constexpr unsigned kBarrierTimeoutMs = 60000;

  NetworkRaceMachine(RenderPipeline* pipeline, const Clock& clock, bool host);
  ~NetworkRaceMachine();

  // Takes a seat on the relay at 127.0.0.1:port: slot 0 as the host, the
  // next free one as a client, which then reads the host's stored choice.
  bool seat(unsigned short port);
  // This machine's part of the lobby's hand-over: a race on track 0, its
  // own record (character and kart `choice`, its grid slot from its seat)
  // sent, every other record left to its owner or, on the host, to the
  // race load's computer drivers.
  void choose(int choice);
  // Exchanges values until `ready` holds (at most `timeoutMs`).
  bool exchangeUntil(const std::function<bool()>& ready, unsigned timeoutMs);
  // Loads the race from `archive`; the host then has locked the relay.
  bool load(File& archive);
  // After the load: the markers go after every value of the race.
  void startMarkers();
  // One frame: the driver's keys, then Race::update with the frame number
  // sent last.
  void frame(std::int32_t number);
  // Waits for the peer's frame `number` (bounded).
  bool waitForPeerFrame(std::int32_t number, unsigned timeoutMs) const;
  void pressSpace();

  // The race each machine runs on its own clock in frames of
  // `frameSeconds`: Space, the countdown (however long the peer takes to
  // get there), its own kart 3 s on the throttle, then the brake until it
  // stands; the host then stops its computer drivers. The machines meet at
  // the relay's barrier once both are past the countdown. Returns once
  // every kart this machine simulates has stood still for a while; false,
  // with the reason, when something does not happen in time.
  bool driveAndStop(SteppedClock& clock, double frameSeconds, std::string& why);
  // Whether the own kart, braked, has come to a stand: once at 0 the brake
  // backs it up, so a kart going backwards has stood in between.
  bool ownKartStopped() const;
  // Whether every kart this machine simulates stands.
  bool ownKartsStand() const;
  // Stops the computer drivers as a lost connection does: they roll to a
  // stand, and their copies stop where last reported.
  void stopComputerDrivers();
  // Every kart's place, "x y z" each, kart 0 first.
  std::string placesLine() const;

  int ownKart() const { return race->m_viewKart[0]; }
  Vehicle& kart(int k) const { return *race->m_karts[k]; }
  // Where kart k is on this machine: a simulated kart where it sends itself
  // from, a followed one where it is drawn.
  Position3 placeOf(int k) const;
  float speedOf(int k) const;
  // The messages the in-race displays were asked to show, by text id.
  std::vector<int> messageBoxTexts() const;

  bool host;
  NetControl control;
  InputDevice input;
  Config config{&input, control, Config::SavedFile::Ignore};
  RecordingSoundDevice sound;
  RecordingRaceGui gui;
  std::unique_ptr<Race> race;
  std::unique_ptr<ScriptedDriver> driver;
  std::unique_ptr<FrameMarker> outMarker, inMarker;
};
