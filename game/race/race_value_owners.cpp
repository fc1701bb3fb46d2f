#include "game/race/race_value_owners.h"

#include "game/kart/vehicle_net_values.h"
#include "game/saves/config.h"

GameDaemon::ValueOwners raceValueOwners() {
  GameDaemon::ValueOwners owners;
  owners.fill(GameDaemon::kAnySeat);
  // The values are read off the objects that register them, with a control
  // of their own, so the table cannot drift from the ids the race uses.
  NetControl scratch;
  auto own = [&](const NetValueBase& value, int seat) {
    const int id = value.getId();
    if (id >= 0 && id < static_cast<int>(owners.size()))
      owners[static_cast<std::size_t>(id)] = static_cast<std::int8_t>(seat);
  };
  const Config settings(nullptr, scratch, Config::SavedFile::Ignore);
  for (const NetValueBase* choice : {&settings.m_game, &settings.m_track, &settings.m_ccm, &settings.m_laps})
    own(*choice, 0);
  for (int s = 0; s < Config::kPlayerCount; ++s) own(settings.m_player[s], s);
  for (int k = 0; k < VehicleNetValues::kMaxKarts; ++k) {
    // A follower's flags say what it sends: the rest is the simulating
    // machine's alone.
    VehicleNetValues kart(scratch, k, VehicleNetValues::Side::Client);
    kart.forEach([&](NetValueBase& value) {
      if (!(value.getFlags() & kNetSendChanges)) own(value, k);
    });
  }
  return owners;
}
