// The one pair of device-loss hooks. Everything that holds device resources
// (textures, mesh batches, scene nodes, items, scenes and scene roots) takes
// them from here, so a loss and a reset reach each of them under one name.
#pragma once

class DeviceOwner {
 public:
  virtual ~DeviceOwner() = default;
  // Before a reset: release what lives in the default pool.
  virtual void onDeviceLost() {}
  // After a reset: make it again and restore what the owner relies on.
  virtual void onDeviceReset() {}
};
