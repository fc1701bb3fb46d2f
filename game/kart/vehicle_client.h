// The kart of a player who drives on another machine: it runs no physics of
// its own and is placed from the kart's replicated values, carried on along
// its last heading between updates. It pushes the obstacles it runs into,
// plays the sounds its machine announces, and poses its driver, body and
// weapons as its machine publishes them.
#pragma once

#include <memory>
#include <string>

#include "game/kart/vehicle.h"

class VehicleClient : public Vehicle {
 public:
  // An obstacle is pushed with its contact's depth times this.
  static constexpr float kObstaclePush = 1000.0f;

  // Kart k of the race; `startPosition` is its grid slot (the "start" item
  // of instance startPosition + 1), where it stands until its machine
  // reports otherwise. Without that item the kart stays where the scene
  // put it.
  VehicleClient(Scene& scene, std::unique_ptr<Controller> controller, int k, const ExplosionTextures* explosionTextures,
                std::unique_ptr<KartTuning> tuning, int startPosition, const std::string& kartModelFile,
                NetControl& control);
  ~VehicleClient() override;

  VehicleClient* getClient() override { return this; }
  // Where its machine last reported it (not where it is drawn).
  void getPosition(Position3& out) override;
  const float* getVelocity() override;
  float getSpeed() override;
  void step(double time, double dt) override;
  void updateVisuals(double time) override;

  // Where the kart is drawn: the last reported position, carried on by the
  // reported speed along the reported direction for every step that brought
  // no new one while the kart is active.
  const Position3& drawnPosition() const { return m_extrapolated; }

 private:
  void placeAtStart(int startPosition);
  void spinWheels();
  void followReportedPosition();
  void placeChassisAndShadow();
  void showExplosion(double time);
  void pushObstacle();
  void playAnnouncedSounds();
  void poseMotions();
  void poseWeapons(double time);

  bool m_havePrevious = false;
  Position3 m_extrapolated{};
  Position3 m_lastReceived{};
};
