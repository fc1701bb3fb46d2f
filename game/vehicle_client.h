// The kart of a player who drives on another machine: it runs no physics of
// its own and is placed from the kart's replicated values.
#pragma once

#include <memory>
#include <string>

#include "game/vehicle.h"

class VehicleClient : public Vehicle {
 public:
  // Kart k of the race; `startPosition` is its grid slot (the "start" item
  // of instance startPosition + 1).
  VehicleClient(Scene& scene, std::unique_ptr<Controller> controller, int k, const ExplosionTextures* explosionTextures,
                std::unique_ptr<KartTuning> tuning, int startPosition, const std::string& kartModelFile,
                NetControl& control);
  ~VehicleClient() override;

  VehicleClient* getClient() override { return this; }
  void getPosition(Position3& out) override;
  const float* getVelocity() override;
  float getSpeed() override;
  void step(double time, double dt) override;
  void updateVisuals(double time) override;
};
