// A Direct3D object and device that draw nothing and record every call, for
// tests that check exact call and state sequences without a GPU. Adapters
// are described by the test: modes, capabilities, which formats and
// multisample types each check accepts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/d3d9.h"

// Calls in the order they were made, one line each, e.g.
// "SetRenderState(22, 3)", "Clear(0, 1, 0xff000000, 1, 0)", "Reset(640x480)".
struct CallLog {
  std::vector<std::string> calls;
  void add(std::string line) { calls.push_back(std::move(line)); }
  // Number of lines starting with `prefix`.
  int count(const std::string& prefix) const;
};

struct FakeAdapter {
  std::string description = "Recording adapter";
  LARGE_INTEGER driverVersion{};
  D3DCAPS9 caps = defaultCaps();
  std::vector<D3DDISPLAYMODE> modes;  // the X8R8G8B8 modes
  D3DDISPLAYMODE currentMode{1024, 768, 60, 22};
  std::vector<D3DFORMAT> displayFormats{22};               // adapter formats CheckDeviceType accepts
  std::vector<D3DFORMAT> backBufferFormats{21, 22};        // back-buffer formats CheckDeviceType accepts
  std::vector<D3DFORMAT> textureFormats{21, 22};           // usage 0 (plain, cube, volume)
  std::vector<D3DFORMAT> renderTargetFormats{21, 22};      // D3DUSAGE_RENDERTARGET
  std::vector<D3DFORMAT> depthStencilFormats{75, 77, 80};  // D3DUSAGE_DEPTHSTENCIL and the depth match
  std::vector<DWORD> multisampleTypes;                     // supported types 2..16
  DWORD nonmaskableQualityLevels = 0;                      // 0: NONMASKABLE unsupported
  int failingCreateDevices = 0;                            // CreateDevice calls that fail before one succeeds

  // Hardware transform and lighting, shader model 2.0, 8 stages.
  static D3DCAPS9 defaultCaps();
};

class RecordingDirect3D9 : public IDirect3D9 {
 public:
  RecordingDirect3D9(std::vector<FakeAdapter> adapters, std::shared_ptr<CallLog> log);

  UINT GetAdapterCount() override;
  HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) override;
  UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
  HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) override;
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) override;
  HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                          BOOL windowed) override;
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
  HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL windowed,
                                     D3DMULTISAMPLE_TYPE multiSampleType, DWORD* qualityLevels) override;
  HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT renderTargetFormat,
                                 D3DFORMAT depthStencilFormat) override;
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
  HMONITOR GetAdapterMonitor(UINT adapter) override;
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override;

 private:
  const FakeAdapter* adapter(UINT index) const;

  std::vector<FakeAdapter> m_adapters;
  std::shared_ptr<CallLog> m_log;
};

// The recording device's own checks for tests: how many default-pool
// resources pretend to exist (Reset fails while any do), and the window size
// a zero-sized windowed back buffer takes.
class RecordingDevice;
void setRecordingDefaultPoolResources(IDirect3DDevice9* device, int count);

// ---- Geometry ----
// The number of distinct fixed-function programs the device's draws needed
// (one per state key, as the GL backend compiles them).
int recordingProgramCount(IDirect3DDevice9* device);
// ---- end of geometry ----
