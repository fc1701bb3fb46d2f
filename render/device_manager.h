// The one owner of the Direct3D object for the process: a record per adapter
// (identity, capabilities, display modes and the format lists the set-up
// chooser fills), the render devices with their windows, and the display
// settings.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics/d3d9.h"
#include "render/device_owner.h"
#include "render/display_settings.h"
#include "render/format_table.h"

struct AdapterInfo {
  D3DADAPTER_IDENTIFIER9 identifier{};
  HMONITOR monitor = nullptr;
  D3DCAPS9 caps{};
  std::vector<D3DDISPLAYMODE> modes;  // X8R8G8B8 modes in enumeration order
  D3DDISPLAYMODE currentMode{};
  AdapterInfo* master = nullptr;       // group master of a secondary head
  std::vector<int> displayFormats;     // indices into kDisplayFormatCandidates
  std::vector<int> backBufferFormats;  // indices into kDisplayFormatCandidates
  std::vector<int> multisampleTypes;   // supported types 2..16
  DWORD maxNonmaskableQuality = 0;
  std::vector<const FormatDesc*> textureFormats;
  std::vector<const FormatDesc*> renderTargetFormats;  // depth rows: as depth-stencil textures
  std::vector<const FormatDesc*> displacementFormats;
  std::vector<const FormatDesc*> cubeFormats;
  std::vector<const FormatDesc*> renderTargetCubeFormats;
  std::vector<const FormatDesc*> volumeFormats;
  std::vector<const FormatDesc*> depthStencilFormats;  // matching the chosen display and back-buffer formats

  UINT modeCount() const { return static_cast<UINT>(modes.size()); }
};

class RenderDevice;

inline constexpr int kStereoNone = 0;
inline constexpr int kStereoDualHead = 3;
inline constexpr int kStereoTwoAdapters = 4;

class DeviceManager {
 public:
  DeviceManager();  // creates the settings, which read the registry
  ~DeviceManager();
  DeviceManager(const DeviceManager&) = delete;
  DeviceManager& operator=(const DeviceManager&) = delete;

  // Creates the Direct3D object and the adapter records; false (after a
  // message box with the caller's texts) when Direct3D is missing or no
  // adapter has hardware transform and lighting.
  bool enumerateAdapters(const char* caption, const char* noDirect3DText, const char* noHardwareTnLText);
  void setCaption(const std::string& text);
  void hideWindows();
  // Destroys the devices (and their windows) and the adapter records and
  // releases the Direct3D object.
  void release();

  // The list builders the set-up chooser runs for one adapter; an adapter
  // ordinal without a record changes nothing.
  void collectDisplayFormats(int adapter);
  void checkDeviceFormats(int adapter, D3DDEVTYPE type, D3DFORMAT modeFormat, bool windowed);
  void checkMultisampleTypes(int adapter, D3DDEVTYPE type, D3DFORMAT backBufferFormat, bool windowed);
  void checkDepthStencilFormats(int adapter, D3DDEVTYPE type, D3DFORMAT modeFormat, D3DFORMAT backBufferFormat);

  // Creates the (hidden) render windows of the registered class and one
  // device per record; false after a message box on failure.
  bool createRenderWindow(const char* windowClass, HINSTANCE instance);
  // Resizes the windows and resets every device to the settings' current
  // size and mode; the result of the last Reset.
  HRESULT resetDevices();

  // The first device result that is not D3D_OK (lost before needs-reset),
  // or D3D_OK.
  HRESULT testCooperativeLevel();
  // The lost-device path: every owner's lost hook in order, the reset, then
  // (when it succeeded) every owner's reset hook in order.
  HRESULT restoreDevices(std::span<DeviceOwner* const> owners);

  AdapterInfo* adapterInfo(int adapter);
  int adapterCount() const { return static_cast<int>(adapters.size()); }
  int deviceCount() const { return static_cast<int>(devices.size()); }

  ComPtr<IDirect3D9> direct3D;
  std::vector<std::unique_ptr<AdapterInfo>> adapters;
  std::vector<std::unique_ptr<RenderDevice>> devices;
  std::unique_ptr<DisplaySettings> settings;
  int stereoMode = kStereoNone;
};

// The manager of the running program, for the GUI and the game.
extern DeviceManager* g_deviceManager;
