#include "game/track/track_surfaces.h"

#include <utility>

#include "game/kart/kart_surfaces.h"
#include "game/track/track_surface_kinds.h"
#include "scene/contact_tables.h"
#include "scene/scene.h"

TrackSurfaces::TrackSurfaces(Vehicle* const* karts, float& triggerTimer) {
  auto add = [this](std::unique_ptr<ODEJointSurface> surface, std::initializer_list<KindPair> pairs) {
    for (const KindPair& pair : pairs) m_entries.push_back({pair, surface.get()});
    m_surfaces.push_back(std::move(surface));
  };
  add(std::make_unique<ODEJointSurfaceRay>(karts), {{kSurfaceKartRay, kSurfaceRoad},
                                                    {kSurfaceKartRay, kSurfaceSlidingGround},
                                                    {kSurfaceKartRay, kSurfaceSlowGround}});
  add(std::make_unique<ODEJointSurfaceFall>(karts), {{kSurfaceKartRay, kSurfaceFallZone}});
  add(std::make_unique<ODEJointSurfaceCollision>(karts), {{kSurfaceKartBody, kSurfaceWall}});
  add(std::make_unique<ODEJointSurfaceVehicle>(karts), {{kSurfaceKartBody, kSurfaceKartBody}});
  add(std::make_unique<ODEJointSurfaceObstacle>(karts), {{kSurfaceKartBody, kSurfaceObstacle}});

  // Obstacles are real bodies: they rest on the ground and stop at walls,
  // and one that ODE has put to rest is left out until a kart wakes it.
  auto obstacleContacts = std::make_unique<ODEJointSurface>();
  obstacleContacts->m_requireEnabledBodies = true;
  add(std::move(obstacleContacts), {{kSurfaceObstacle, kSurfaceRoad}, {kSurfaceObstacle, kSurfaceWall}});

  add(std::make_unique<ODEJointSurfaceExtra>(karts), {{kSurfaceKartBody, kSurfaceExtraBox}});
  add(std::make_unique<ODEJointSurfaceCrusher>(karts), {{kSurfaceKartBody, kSurfaceCrusher}});
  add(std::make_unique<ODEJointSurfaceSpeedup>(karts), {{kSurfaceKartBody, kSurfaceSpeedUp}});
  add(std::make_unique<ODEJointSurfaceStampfer>(karts), {{kSurfaceKartBody, kSurfaceStamper}});
  add(std::make_unique<ODEJointSurfaceCheck>(karts), {{kSurfaceKartBody, kSurfaceCheckpoint}});
  add(std::make_unique<ODEJointSurfaceWind>(karts), {{kSurfaceKartBody, kSurfaceWind}});
  add(std::make_unique<ODEJointSurfaceRutsch>(karts), {{kSurfaceKartBody, kSurfaceSlide}});
  add(std::make_unique<ODEJointSurfaceBand>(karts), {{kSurfaceKartBody, kSurfaceBand}});
  add(std::make_unique<ODEJointSurfaceTrigger>(karts, triggerTimer), {{kSurfaceKartBody, kSurfaceTrigger}});
  add(std::make_unique<ODEJointSurfaceReset>(karts), {{kSurfaceKartBody, kSurfaceResetZone}});
  add(std::make_unique<ODEJointSurfaceRocketWall>(karts), {{kSurfaceRocket, kSurfaceRoad},
                                                           {kSurfaceRocket, kSurfaceSlidingGround},
                                                           {kSurfaceRocket, kSurfaceSlowGround},
                                                           {kSurfaceRocket, kSurfaceWall},
                                                           {kSurfaceRocket, kSurfaceObstacle},
                                                           {kSurfaceRocket, kSurfaceStamper},
                                                           {kSurfaceRocket, kSurfaceCrusher}});
}

TrackSurfaces::~TrackSurfaces() = default;

void TrackSurfaces::install(Scene& scene) const {
  for (const auto& [pair, surface] : m_entries) {
    scene.physics().surfaceTable[pair.first][pair.second] = surface;
    scene.physics().surfaceTable[pair.second][pair.first] = surface;
  }
}
