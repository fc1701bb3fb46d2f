#include "tests/e2e/network_race_machine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "foundation/byte_fields.h"
#include "game/kart/vehicle_client.h"
#include "game/kart/vehicle_master.h"
#include "platform/input/key_codes.h"
#include "platform/system/system.h"
#include "platform/window/window.h"
#include "render/render_pipeline.h"
#include "tests/support/quiet_window.h"

namespace {

constexpr DWORD kSeatTimeoutMs = 5000;

}  // namespace

// ---- the screen -------------------------------------------------------------

RecordingScreen::RecordingScreen() {
  resetWindowSystem();
  setenv("TESSALINE_REGISTRY", "/nonexistent/registry.ini", 1);
  // No dialog may wait for a click.
  setMessageBoxHook([](const char*, const char*, UINT) { return IDOK; });
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = quietWindowProc;
  windowClass.lpszClassName = "Orbivane";
  RegisterClassA(&windowClass);
  FakeAdapter adapter;
  adapter.modes = {{1024, 768, 60, D3DFMT_X8R8G8B8}};
  adapter.caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
  adapter.caps.PixelShaderVersion = D3DPS_VERSION(2, 0);
  setDirect3DFactory([adapter, log = m_log](UINT) { return new RecordingDirect3D9({adapter}, log); });
  m_manager = std::make_unique<DeviceManager>();
  m_manager->settings->windowed = true;
  if (!m_manager->enumerateAdapters("Error", "no d3d", "no tnl")) return;
  ::Setup setup(m_manager.get());
  if (!setup.run() || !m_manager->createRenderWindow("Orbivane", nullptr)) return;
  m_pipeline = std::make_unique<RenderPipeline>(*m_manager);
}

RecordingScreen::~RecordingScreen() {
  m_pipeline.reset();
  m_manager.reset();
  setDirect3DFactory(nullptr);
  setMessageBoxHook(nullptr);
  unsetenv("TESSALINE_REGISTRY");
  resetWindowSystem();
}

// ---- the frame marker ---------------------------------------------------------

FrameMarker::FrameMarker(NetControl& control, int id) : m_control(control), m_id(id) { m_control.addValue(this); }

FrameMarker::~FrameMarker() { m_control.removeValue(this); }

void FrameMarker::send(std::int32_t frame) {
  m_current = frame;
  m_dirty = true;
}

bool FrameMarker::setReceived(const std::uint8_t* data, int length) {
  if (!data || length != 4) return false;
  m_received = FieldReader(data, 4).i32();
  return true;
}

void FrameMarker::writeWire(std::uint8_t* out) const { FieldWriter(out, 4).i32(m_current); }

// ---- the machine ----------------------------------------------------------------

NetworkRaceMachine::NetworkRaceMachine(RenderPipeline* pipeline, const Clock& clock, bool isHost)
    : host(isHost), race(std::make_unique<Race>(pipeline, &gui, control, clock)) {
  // The names the race gives computer drivers and the lost-connection
  // texts, enough to tell them apart.
  gui.texts = {{100, "Quorrel"}, {200, "Affe"},  {300, "Alien"},        {400, "Kroet"},     {500, "Pumpkin"},
               {600, "Tod"},     {9100, "gone"}, {9110, "player left"}, {9140, "host left"}};
}

NetworkRaceMachine::~NetworkRaceMachine() {
  outMarker.reset();
  inMarker.reset();
  driver.reset();
  if (race) race->unload();
  race.reset();
  control.leave();
}

bool NetworkRaceMachine::seat(unsigned short port) {
  if (host) return control.hostGame("127.0.0.1", port, kSeatTimeoutMs) == NetControl::JoinResult::Accepted;
  return control.joinGame("127.0.0.1", port, kSeatTimeoutMs) == NetControl::JoinResult::Accepted &&
         control.requestValues(kSeatTimeoutMs);
}

void NetworkRaceMachine::choose(int choice) {
  Config& c = config;
  const int own = control.playerSlot();
  // As the lobby leaves the settings: the host owns the race's choice and
  // every machine its own record.
  const std::uint32_t ours = kNetSendChanges, theirs = kNetAcceptReceived;
  for (NetValue<int>* shared : {&c.m_game, &c.m_track, &c.m_ccm, &c.m_laps}) shared->setFlags(host ? ours : theirs);
  if (host) {
    c.m_game.set(1);
    c.m_track.set(kTrack);
    c.m_ccm.set(0);
    c.m_laps.set(kLaps);
    for (NetValue<int>* shared : {&c.m_game, &c.m_track, &c.m_ccm, &c.m_laps}) shared->modify();
  }
  c.m_playType = 2;
  c.m_isAuthority = host ? 1 : 0;
  for (int i = 0; i < Config::kPlayerCount; ++i) {
    c.m_player[i].setFlags(i == own ? ours : theirs);
    *c.m_player[i].modify() = ConfigPlayer();
    c.m_controlType[i] = i == own ? (host ? kControlUserSingle : kControlNetLocal) : kControlRemote;
  }
  ConfigPlayer& mine = *c.m_player[own].modify();
  std::strcpy(mine.name, host ? "Host" : "Guest");
  mine.character = mine.kart = choice;
  mine.ready = 1;
  mine.startPosition = Config::kPlayerCount - 1 - own;
  control.update();
}

bool NetworkRaceMachine::exchangeUntil(const std::function<bool()>& ready, unsigned timeoutMs) {
  return control.updateUntil(ready, timeoutMs);
}

bool NetworkRaceMachine::load(File& archive) {
  if (!race->load(&archive, &sound, config)) return false;
  driver = std::make_unique<ScriptedDriver>(input, config, *kart(ownKart()).getMaster());
  driver->pedal = ScriptedDriver::Pedal::None;
  return true;
}

void NetworkRaceMachine::startMarkers() {
  outMarker = std::make_unique<FrameMarker>(control, host ? kHostMarkerId : kClientMarkerId);
  inMarker = std::make_unique<FrameMarker>(control, host ? kClientMarkerId : kHostMarkerId);
}

void NetworkRaceMachine::frame(std::int32_t number) {
  if (driver) driver->press();
  if (outMarker) outMarker->send(number);
  race->update(input);
}

void NetworkRaceMachine::pressSpace() { input.m_key[DIK_SPACE] = 0x80; }

bool NetworkRaceMachine::waitForPeerFrame(std::int32_t number, unsigned timeoutMs) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (inMarker->received() < number) {
    if (std::chrono::steady_clock::now() >= end || !control.isConnected()) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return true;
}

Position3 NetworkRaceMachine::placeOf(int k) const {
  Vehicle& v = kart(k);
  if (VehicleClient* followed = v.getClient()) return followed->drawnPosition();
  return v.m_net.m_netPos.get();
}

float NetworkRaceMachine::speedOf(int k) const { return kart(k).getSpeed(); }

std::vector<int> NetworkRaceMachine::messageBoxTexts() const {
  std::vector<int> ids;
  if (!gui.displays) return ids;
  for (const std::string& call : gui.displays->calls)
    if (call.rfind("showMessageBox ", 0) == 0) ids.push_back(std::atoi(call.c_str() + 15));
  return ids;
}

bool NetworkRaceMachine::ownKartStopped() const {
  const KartDrive& drive = kart(ownKart()).getMaster()->m_drive;
  return drive.m_velocity == 0.0f || drive.m_reverse;
}

bool NetworkRaceMachine::ownKartsStand() const {
  for (int k = 0; k < race->m_kartCount; ++k) {
    if (race->m_karts[k] && race->m_karts[k]->getMaster() && speedOf(k) != 0.0f) return false;
  }
  return true;
}

void NetworkRaceMachine::stopComputerDrivers() {
  for (int k = 0; k < race->m_kartCount; ++k) {
    if (config.m_controlType[k] == kControlAI && race->m_karts[k]) race->m_karts[k]->m_net.m_active.set(false);
  }
}

bool NetworkRaceMachine::driveAndStop(SteppedClock& clock, double frameSeconds, std::string& why) {
  using Wall = std::chrono::steady_clock;
  std::int32_t number = 0;
  auto frameOn = [&] {
    clock.advance(frameSeconds);
    frame(++number);
  };
  // The countdown starts once the peer is ready too, which may take it a
  // while of the wall clock: a peer process on a busy machine loads slowly.
  pressSpace();
  const auto startBy = Wall::now() + std::chrono::seconds(180);
  while (race->m_countdownState != Race::kCountdownRacing) {
    if (Wall::now() > startBy || !control.isConnected()) {
      why = "the countdown never ended (countdown state " + std::to_string(race->m_countdownState) +
            (control.isConnected() ? ", connected" : ", disconnected") + " after " + std::to_string(number) +
            " frames)";
      return false;
    }
    frameOn();
    if (race->m_countdownState == Race::kCountdownWaiting) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Both past the countdown before either drives: its last second makes
  // every kart active, and a late one would start again the computer
  // drivers the host stops below.
  if (!control.barrier(kAfterCountdown, kBarrierTimeoutMs)) {
    why = "the peer never got past the countdown";
    return false;
  }
  driver->pedal = ScriptedDriver::Pedal::Throttle;
  const int drive = static_cast<int>(3.0 / frameSeconds + 0.5);
  for (int f = 0; f < drive; ++f) frameOn();
  driver->pedal = ScriptedDriver::Pedal::Brake;
  for (int f = 0; !ownKartStopped(); ++f) {
    if (f > static_cast<int>(5.0 / frameSeconds)) {
      why = "the own kart did not stop";
      return false;
    }
    frameOn();
  }
  // Held on, the brake would back the kart up.
  driver->pedal = ScriptedDriver::Pedal::None;
  if (host) stopComputerDrivers();
  int standing = 0;
  for (int f = 0; standing < 10; ++f) {
    if (f > static_cast<int>(20.0 / frameSeconds)) {
      why = "the karts did not come to a stand";
      return false;
    }
    frameOn();
    standing = ownKartsStand() ? standing + 1 : 0;
  }
  return true;
}

std::string NetworkRaceMachine::placesLine() const {
  std::string line;
  char buffer[64];
  for (int k = 0; k < race->m_kartCount; ++k) {
    const Position3 p = placeOf(k);
    std::snprintf(buffer, sizeof buffer, "%s%.5f %.5f %.5f", k ? " " : "", p.x, p.y, p.z);
    line += buffer;
  }
  return line;
}
