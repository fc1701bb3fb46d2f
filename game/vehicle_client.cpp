#include "game/vehicle_client.h"

#include "game/controller.h"
#include "game/kart_tuning.h"

VehicleClient::VehicleClient(Scene& scene, std::unique_ptr<Controller> controller, int k,
                             const ExplosionTextures* explosionTextures, std::unique_ptr<KartTuning> tuning,
                             int /*startPosition*/, const std::string& kartModelFile, NetControl& control)
    : Vehicle(scene, std::move(controller), k, explosionTextures, std::move(tuning), kartModelFile, control,
              VehicleNetValues::Side::Client) {}

VehicleClient::~VehicleClient() = default;

void VehicleClient::getPosition(Position3& out) { out = m_net.m_netPos.get(); }

const float* VehicleClient::getVelocity() { return &m_net.m_netDir.get().x; }

float VehicleClient::getSpeed() { return m_net.m_speed.get(); }

void VehicleClient::step(double /*time*/, double /*dt*/) {}

void VehicleClient::updateVisuals(double /*time*/) {}
