// The two motion-mixer actors of a kart, its driver ("Character") and its
// body ("gfd"), with the indices of the motions the race plays on them, and
// the motion state as the kart replicates it.
#pragma once

class MixerActor;
class MixerMotion;
class Scene;
class VehicleNetValues;

class KartMotions {
 public:
  enum Driver {
    kSteerRight,
    kSteerLeft,
    kDrive,
    kReverse,
    kFall,
    kSpawn,
    kStamper,
    kHit,
    kWinner,
    kLoser,
    kCrash,
    kDriverMotions
  };
  enum Body {
    kBodyDrive,
    kBodyStamper,
    kBodyHit,
    kBodyShield,
    kBodyThrow,
    kBodyShrinker,
    kBodyFroster,
    kBodyRocketLauncher,
    kBodyBubble,
    kBodyIceBlock,
    kBodySteerLeft,
    kBodySteerRight,
    kBodyFall,
    kBodyMotions
  };

  // Finds the actors of kart `k` (its own, the k-th of each name) and the
  // motions by name; a missing actor or motion has index -1.
  void find(Scene& scene, int k);
  // Every motion silent, then driving on both actors at full intensity.
  void startDriving();
  // Entry i of the replicated motion values from the i-th motion, the body's
  // first and the driver's after them, at most 40 in all.
  void publish(VehicleNetValues& values) const;

  // The motion of an index, null when the actor or the motion is missing.
  MixerMotion* driverMotion(Driver which) const;
  MixerMotion* bodyMotion(Body which) const;
  // The same by motion index in the actor (-1 and indices past the actor's
  // motions give null).
  MixerMotion* driverMotionAt(int index) const;
  MixerMotion* bodyMotionAt(int index) const;
  // The intensity a motion plays at now; 0 for none.
  static float intensityOf(const MixerMotion* motion);

  MixerActor* m_driver = nullptr;  // not owned: the scene's
  MixerActor* m_body = nullptr;
  int m_driverIndex[kDriverMotions] = {};
  int m_bodyIndex[kBodyMotions] = {};
};
