// The race's surface kinds: one object per game surface class, installed at
// its pairs of surface kinds (both orders) in the track scene's table. None
// makes a contact joint but the obstacles' ground and wall contacts; the
// rest write what they found into the kart, the item or the race.
#pragma once

#include <memory>
#include <utility>
#include <vector>

class ODEJointSurface;
class Scene;
class Vehicle;

class TrackSurfaces {
 public:
  // `karts` is the race's array of six kart slots (null where no kart is);
  // `triggerTimer` the race's trigger timer, which the trigger surface starts.
  TrackSurfaces(Vehicle* const* karts, float& triggerTimer);
  ~TrackSurfaces();
  TrackSurfaces(const TrackSurfaces&) = delete;
  TrackSurfaces& operator=(const TrackSurfaces&) = delete;

  // Every surface at its pairs of kinds, both orders; other pairs keep the
  // scene's defaults.
  void install(Scene& scene) const;

 private:
  using KindPair = std::pair<int, int>;

  std::vector<std::unique_ptr<ODEJointSurface>> m_surfaces;
  // Each pair of kinds with its surface (one of m_surfaces).
  std::vector<std::pair<KindPair, ODEJointSurface*>> m_entries;
};
