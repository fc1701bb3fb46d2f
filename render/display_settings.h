// What the devices are created with (resolution, window, device options,
// formats, multisampling, adapter, caption) and `Setup`, the chain of steps
// that fits these settings to the chosen adapter and fills its format lists
// before any device exists.
#pragma once

#include <string>

#include "platform/graphics/d3d9_types.h"

// Registry key (under HKEY_LOCAL_MACHINE) of the four overridable values.
inline constexpr const char* kDisplaySettingsKey = "Software\\Marrowgate Software\\Tessaline";

struct DisplaySettings {
  int width = 1024;  // full-screen back buffer; "ResolutionWidth"
  int height = 768;  // "ResolutionHeight"
  bool windowed = false;
  int windowWidth = 960;  // client size of each render window
  int windowHeight = 720;
  bool softwareVertexProcessing = false;
  bool pureDevice = false;
  bool referenceDevice = false;
  bool fixedFunction = true;
  D3DFORMAT displayFormat = 0;     // fitted by Setup
  D3DFORMAT backBufferFormat = 0;  // fitted by Setup
  DWORD multisampleType = 0;       // "MultisampleType"; fitted by Setup
  DWORD multisampleQuality = 0;    // "MultisampleQuality"; fitted by Setup
  int adapter = 0;
  std::string caption = "Orbivane 3D Realtime Technology by Marrowgate Software";

  // Compiled-in defaults, then the registry values.
  DisplaySettings();
  // Takes each of the four values only when it exists as a DWORD; a
  // resolution of 0 or above 16384 is ignored as well (no device takes it).
  void readRegistry();
};

class DeviceManager;

// Each step is virtual so that a front end can hook into the chain.
class Setup {
 public:
  explicit Setup(DeviceManager* manager) : m_manager(manager) {}
  virtual ~Setup() = default;

  // chooseAdapter, then finish. Always true.
  virtual bool run();
  virtual void finish() {}
  virtual void chooseAdapter();
  virtual void chooseFormats();
  virtual void chooseDisplayMode();
  virtual void chooseSurfaces();
  virtual void selectDisplayFormat(D3DFORMAT) {}
  virtual void collectDisplayFormats();
  virtual void checkDeviceFormats(D3DDEVTYPE type, D3DFORMAT modeFormat, bool windowed);
  virtual void checkMultisampleTypes(D3DDEVTYPE type, D3DFORMAT backBufferFormat, bool windowed);
  virtual void checkDepthStencilFormats(D3DDEVTYPE type, D3DFORMAT modeFormat, D3DFORMAT backBufferFormat);

 protected:
  D3DDEVTYPE deviceType() const;
  // The adapter's desktop format when windowed, else the fitted display format.
  D3DFORMAT modeFormat() const;

  DeviceManager* m_manager;
};

// The fitting rule for a configured display or back-buffer format against
// the six candidates (`supported[i]` for kDisplayFormatCandidates[i]).
D3DFORMAT fitCandidateFormat(D3DFORMAT configured, const bool supported[6]);
