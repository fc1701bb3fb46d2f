#include "game/race/race_factory.h"

#include "game/kart/controller_ai.h"
#include "game/kart/vehicle_client.h"
#include "game/kart/vehicle_master.h"
#include "game/saves/config.h"

RaceFactory::KartKind RaceFactory::kindFor(int controlType, bool authority) {
  switch (controlType) {
    case kControlUserSingle:
    case kControlUser1:
    case kControlUser2:
    case kControlAI:
      // Only the machine that decides the race simulates its own players
      // and the computer drivers.
      return authority ? KartKind::Simulated : KartKind::None;
    case kControlRemote:
      return KartKind::Followed;
    case kControlNetLocal:
      // A network player's own kart is simulated where it is driven.
      return authority ? KartKind::Followed : KartKind::Simulated;
    default:
      return KartKind::None;
  }
}

std::unique_ptr<Controller> RaceFactory::makeController(const KartOrder& order) {
  switch (order.controlType) {
    case kControlUserSingle:
      return std::make_unique<ControllerUserSingle>(&order.config);
    case kControlUser1:
      return std::make_unique<ControllerUser1>(&order.config);
    case kControlUser2:
      return std::make_unique<ControllerUser2>(&order.config);
    case kControlRemote:
      return std::make_unique<ControllerNet>();
    case kControlNetLocal:
      if (order.authority) return std::make_unique<ControllerNet>();
      return std::make_unique<ControllerUserSingle>(&order.config);
    case kControlAI:
      return std::make_unique<ControllerAI>(order.points, order.config, order.index);
    default:
      return nullptr;
  }
}

std::unique_ptr<Vehicle> RaceFactory::buildKart(KartOrder& order) {
  const KartKind kind = kindFor(order.controlType, order.authority);
  if (kind == KartKind::None) return nullptr;
  std::unique_ptr<Controller> controller = makeController(order);
  auto* driver = dynamic_cast<ControllerAI*>(controller.get());
  std::unique_ptr<Vehicle> kart;
  if (kind == KartKind::Simulated) {
    kart = std::make_unique<VehicleMaster>(order.scene, std::move(controller), order.index, order.explosionTextures,
                                           std::move(order.tuning), order.startPosition, order.modelFile, order.config,
                                           order.control, order.points.get());
  } else {
    kart =
        std::make_unique<VehicleClient>(order.scene, std::move(controller), order.index, order.explosionTextures,
                                        std::move(order.tuning), order.startPosition, order.modelFile, order.control);
  }
  if (driver) {
    driver->setKart(kart.get());
    driver->setClock(order.simTime);
  }
  return kart;
}
