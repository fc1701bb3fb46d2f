// Which kart and which controller each player record of a race gets, by its
// control type and whether this machine decides the race. The race load
// builds every kart through one factory; tests hand the race a factory of
// their own to seat scripted drivers.
#pragma once

#include <memory>
#include <string>

#include "game/kart/controller.h"
#include "game/kart/kart_tuning.h"
#include "game/kart/vehicle.h"
#include "game/track/track_points.h"

class Config;
class File;
class NetControl;
class Scene;

// Control types of the settings' player records.
enum ControlType : int {
  kControlUserSingle = 0,  // the one local player
  kControlUser1 = 1,       // split screen, first player
  kControlUser2 = 2,       // split screen, second player
  kControlRemote = 3,      // a player on another machine
  kControlNetLocal = 4,    // this machine's player in a network game
  kControlAI = 5,          // a computer driver
};

// What the race load knows of one kart when it has it built.
struct KartOrder {
  Scene& scene;
  int index;  // 0..5: the kart's items are instance index + 1
  int controlType;
  bool authority;
  const ExplosionTextures* explosionTextures;
  std::unique_ptr<KartTuning> tuning;
  int startPosition;  // grid slot: the "start" item of instance startPosition + 1
  std::string modelFile;
  Config& config;
  NetControl& control;
  File* files;                                     // the archive the race was loaded from
  const double* simTime = nullptr;                 // the race's simulated time, the computer driver's clock
  std::shared_ptr<const TrackPoints> points = {};  // the track's rocket path, respawn points and lines
};

class RaceFactory {
 public:
  enum class KartKind { None, Simulated, Followed };

  virtual ~RaceFactory() = default;

  // The kind of kart a record gets: a control type outside the table gets
  // none.
  static KartKind kindFor(int controlType, bool authority);

  // The kart and its controller; null when the record gets no kart. A
  // computer driver learns its kart once it is built.
  std::unique_ptr<Vehicle> buildKart(KartOrder& order);

 protected:
  // The controller for a record that gets a kart.
  virtual std::unique_ptr<Controller> makeController(const KartOrder& order);
};
