// The recording Direct3D object and device.
#include "platform/graphics/d3d9_recording.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <set>

#include "platform/graphics/d3d9_device_base.h"
#include "platform/graphics/ff_program_key.h"

namespace {

std::string hex(DWORD v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08x", static_cast<unsigned>(v));
  return buf;
}

std::string args(std::initializer_list<long long> values) {
  std::string s;
  for (long long v : values) {
    if (!s.empty()) s += ", ";
    s += std::to_string(v);
  }
  return s;
}

bool contains(const std::vector<DWORD>& list, DWORD value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// Windowed back buffers of size 0 take the window's client area; with no
// window (pure state tests) they are 640x480.
void fillWindowSize(D3DPRESENT_PARAMETERS* p, HWND fallbackWindow) {
  if (!p->Windowed) return;
  HWND window = p->hDeviceWindow ? p->hDeviceWindow : fallbackWindow;
  RECT rect{0, 0, 640, 480};
  if (!window || !GetClientRect(window, &rect)) rect = {0, 0, 640, 480};
  if (p->BackBufferWidth == 0) p->BackBufferWidth = static_cast<UINT>(std::max<LONG>(rect.right, 1));
  if (p->BackBufferHeight == 0) p->BackBufferHeight = static_cast<UINT>(std::max<LONG>(rect.bottom, 1));
}

}  // namespace

class RecordingDevice : public DeviceBase {
 public:
  RecordingDevice(const D3DCAPS9& caps, const D3DPRESENT_PARAMETERS& parameters, HWND focus,
                  std::shared_ptr<CallLog> log)
      : DeviceBase(caps, parameters), m_focus(focus), m_log(std::move(log)) {}

  int defaultPoolCount = 0;

  HRESULT TestCooperativeLevel() override {
    const HRESULT hr = DeviceBase::TestCooperativeLevel();
    m_log->add("TestCooperativeLevel() -> " + hex(static_cast<DWORD>(hr)));
    return hr;
  }
  HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override {
    const HRESULT hr = DeviceBase::Reset(parameters);
    if (SUCCEEDED(hr))
      m_log->add("Reset(" + std::to_string(parameters->BackBufferWidth) + "x" +
                 std::to_string(parameters->BackBufferHeight) + ")");
    else
      m_log->add("Reset() -> " + hex(static_cast<DWORD>(hr)));
    return hr;
  }
  HRESULT Present(const RECT* source, const RECT* dest, HWND override, const void* dirty) override {
    m_log->add("Present()");
    return DeviceBase::Present(source, dest, override, dirty);
  }
  HRESULT BeginScene() override {
    m_log->add("BeginScene()");
    return DeviceBase::BeginScene();
  }
  HRESULT EndScene() override {
    m_log->add("EndScene()");
    return DeviceBase::EndScene();
  }
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override {
    char zText[32];
    std::snprintf(zText, sizeof zText, "%g", static_cast<double>(z));
    m_log->add("Clear(" + std::to_string(count) + ", " + std::to_string(flags) + ", " + hex(color) + ", " + zText +
               ", " + std::to_string(stencil) + ")");
    return DeviceBase::Clear(count, rects, flags, color, z, stencil);
  }
  HRESULT SetViewport(const D3DVIEWPORT9* v) override {
    if (v) m_log->add("SetViewport(" + args({v->X, v->Y, v->Width, v->Height}) + ")");
    return DeviceBase::SetViewport(v);
  }
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
    m_log->add("SetRenderState(" + args({state, value}) + ")");
    return DeviceBase::SetRenderState(state, value);
  }
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override {
    m_log->add("SetTransform(" + std::to_string(state) + ")");
    return DeviceBase::SetTransform(state, matrix);
  }
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override {
    m_log->add("SetSamplerState(" + args({sampler, type, value}) + ")");
    return DeviceBase::SetSamplerState(sampler, type, value);
  }
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override {
    m_log->add("SetTextureStageState(" + args({stage, type, value}) + ")");
    return DeviceBase::SetTextureStageState(stage, type, value);
  }
  HRESULT SetSoftwareVertexProcessing(BOOL software) override {
    m_log->add("SetSoftwareVertexProcessing(" + std::to_string(software) + ")");
    return DeviceBase::SetSoftwareVertexProcessing(software);
  }
  HRESULT SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP* ramp) override {
    m_log->add("SetGammaRamp(" + args({swapChain, flags}) + ")");
    return DeviceBase::SetGammaRamp(swapChain, flags, ramp);
  }
  HRESULT ReadBackBuffer(UINT, UINT, UINT width, UINT height, DWORD* argb) override {
    if (!argb) return D3DERR_INVALIDCALL;
    std::fill(argb, argb + std::size_t{width} * height, 0u);
    return D3D_OK;
  }
  // ---- Textures and render targets ----
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        IDirect3DTexture9** texture, void** sharedHandle) override {
    const HRESULT hr = DeviceBase::CreateTexture(width, height, levels, usage, format, pool, texture, sharedHandle);
    m_log->add("CreateTexture(" + args({width, height, levels, usage, format, pool}) + ")" +
               (FAILED(hr) ? " -> " + hex(static_cast<DWORD>(hr)) : std::string()));
    return hr;
  }
  HRESULT SetTexture(DWORD sampler, IDirect3DBaseTexture9* texture) override {
    m_log->add("SetTexture(" + std::to_string(sampler) + (texture ? ", texture)" : ", null)"));
    return DeviceBase::SetTexture(sampler, texture);
  }
  HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, DWORD type, IDirect3DSurface9** surface) override {
    m_log->add("GetBackBuffer(" + args({swapChain, backBuffer, type}) + ")");
    return DeviceBase::GetBackBuffer(swapChain, backBuffer, type, surface);
  }
  HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override {
    const auto* back = dynamic_cast<BackBufferSurface*>(surface);
    m_log->add("SetRenderTarget(" + std::to_string(index) + ", " +
               (back ? "back buffer " + std::to_string(back->head()) : std::string(surface ? "texture" : "null")) +
               ")");
    return DeviceBase::SetRenderTarget(index, surface);
  }
  HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                    DWORD quality, BOOL discard, IDirect3DSurface9** surface,
                                    void** sharedHandle) override {
    const HRESULT hr = DeviceBase::CreateDepthStencilSurface(width, height, format, multiSample, quality, discard,
                                                             surface, sharedHandle);
    m_log->add("CreateDepthStencilSurface(" + args({width, height, format}) + ")" +
               (FAILED(hr) ? " -> " + hex(static_cast<DWORD>(hr)) : std::string()));
    return hr;
  }
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override {
    const auto* depth = dynamic_cast<DepthStencilSurface*>(surface);
    m_log->add(std::string("SetDepthStencilSurface(") +
               (depth && depth->automatic() ? "device's own"
                : surface                   ? "surface"
                                            : "null") +
               ")");
    return DeviceBase::SetDepthStencilSurface(surface);
  }
  // ---- end of textures and render targets ----

  void InvalidateStateShadow() override {}

  // ---- Queries ----
  // Queries log their Issue calls and count nothing: every result is ready at
  // once and is 0.
  class RecordingQuery : public OcclusionQuery {
   public:
    RecordingQuery(std::shared_ptr<QueryHost> host, std::shared_ptr<CallLog> log)
        : OcclusionQuery(std::move(host)), m_log(std::move(log)) {}

   protected:
    bool startCounting() override {
      m_log->add("Issue(occlusion, BEGIN)");
      return true;
    }
    void stopCounting() override { m_log->add("Issue(occlusion, END)"); }
    bool result(bool, DWORD* samples) override {
      *samples = 0;
      return true;
    }

   private:
    std::shared_ptr<CallLog> m_log;
  };
  IDirect3DQuery9* makeOcclusionQuery(std::shared_ptr<QueryHost> host) override {
    m_log->add("CreateQuery(occlusion)");
    return new RecordingQuery(std::move(host), m_log);
  }
  // ---- end of queries ----

  void SimulateDeviceLoss(bool lost) override {
    m_log->add(std::string("SimulateDeviceLoss(") + (lost ? "true" : "false") + ")");
    DeviceBase::SimulateDeviceLoss(lost);
  }

  // ---- Geometry, lights, material, clip planes ----
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                             void** sharedHandle) override {
    m_log->add("CreateVertexBuffer(" + args({length, usage, fvf, pool}) + ")");
    return DeviceBase::CreateVertexBuffer(length, usage, fvf, pool, buffer, sharedHandle);
  }
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer9** buffer,
                            void** sharedHandle) override {
    m_log->add("CreateIndexBuffer(" + args({length, usage, format, pool}) + ")");
    return DeviceBase::CreateIndexBuffer(length, usage, format, pool, buffer, sharedHandle);
  }
  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                  IDirect3DVertexDeclaration9** declaration) override {
    m_log->add("CreateVertexDeclaration()");
    return DeviceBase::CreateVertexDeclaration(elements, declaration);
  }
  HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override {
    m_log->add(std::string("SetVertexDeclaration(") + (declaration ? "decl" : "null") + ")");
    return DeviceBase::SetVertexDeclaration(declaration);
  }
  HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override {
    m_log->add("SetStreamSource(" + std::to_string(stream) + ", " + (buffer ? "vb" : "null") + ", " +
               args({offset, stride}) + ")");
    return DeviceBase::SetStreamSource(stream, buffer, offset, stride);
  }
  HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override {
    m_log->add(std::string("SetIndices(") + (buffer ? "ib" : "null") + ")");
    return DeviceBase::SetIndices(buffer);
  }
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, int base, UINT minIndex, UINT numVertices, UINT startIndex,
                               UINT primitiveCount) override {
    const HRESULT hr = DeviceBase::DrawIndexedPrimitive(type, base, minIndex, numVertices, startIndex, primitiveCount);
    m_log->add("DrawIndexedPrimitive(" + args({type, base, minIndex, numVertices, startIndex, primitiveCount}) + ")" +
               (FAILED(hr) ? " -> " + hex(static_cast<DWORD>(hr)) : ""));
    return hr;
  }
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override {
    const HRESULT hr = DeviceBase::DrawPrimitiveUP(type, primitiveCount, vertices, stride);
    m_log->add("DrawPrimitiveUP(" + args({type, primitiveCount, stride}) + ")" +
               (FAILED(hr) ? " -> " + hex(static_cast<DWORD>(hr)) : ""));
    return hr;
  }
  HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override {
    m_log->add("SetLight(" + std::to_string(index) + ")");
    return DeviceBase::SetLight(index, light);
  }
  HRESULT LightEnable(DWORD index, BOOL enable) override {
    m_log->add("LightEnable(" + args({index, enable}) + ")");
    return DeviceBase::LightEnable(index, enable);
  }
  HRESULT SetMaterial(const D3DMATERIAL9* material) override {
    m_log->add("SetMaterial()");
    return DeviceBase::SetMaterial(material);
  }
  HRESULT SetClipPlane(DWORD index, const float* plane) override {
    m_log->add("SetClipPlane(" + std::to_string(index) + ")");
    return DeviceBase::SetClipPlane(index, plane);
  }
  // Distinct fixed-function programs the draws so far would have needed.
  std::set<FixedFunctionKey> programs;
  // ---- end of geometry ----

 protected:
  HRESULT resetBackBuffer(D3DPRESENT_PARAMETERS* parameters) override {
    fillWindowSize(parameters, m_focus);
    return D3D_OK;
  }
  HRESULT presentBackBuffer(HWND) override { return D3D_OK; }
  HRESULT clearTarget(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return D3D_OK; }

  HRESULT executeDraw(const CheckedDraw& draw) override {
    unsigned textureMask = 0, volumeMask = 0;
    for (DWORD s = 0; s < kMaxTextureStages; ++s) {
      IDirect3DBaseTexture9* texture = boundTexture(s);
      if (texture) textureMask |= 1u << s;
      if (texture && texture->GetType() == D3DRTYPE_VOLUMETEXTURE) volumeMask |= 1u << s;
    }
    programs.insert(buildFixedFunctionKey(m_state, m_geometry, *draw.format, textureMask, volumeMask));
    return D3D_OK;
  }
  int defaultPoolResources() const override { return defaultPoolCount + DeviceBase::defaultPoolResources(); }

 private:
  HWND m_focus;
  std::shared_ptr<CallLog> m_log;
};

int CallLog::count(const std::string& prefix) const {
  return static_cast<int>(
      std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

D3DCAPS9 FakeAdapter::defaultCaps() {
  D3DCAPS9 caps{};
  caps.DeviceType = D3DDEVTYPE_HAL;
  caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
  caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
  caps.PixelShaderVersion = D3DPS_VERSION(2, 0);
  caps.MaxTextureBlendStages = 8;
  caps.MaxSimultaneousTextures = 8;
  caps.MaxActiveLights = 8;
  caps.MaxTextureWidth = caps.MaxTextureHeight = 4096;
  caps.TextureCaps |= D3DPTEXTURECAPS_VOLUMEMAP;
  caps.MaxVolumeExtent = 256;
  caps.MaxVertexIndex = 0x00FFFFFF;
  caps.NumberOfAdaptersInGroup = 1;
  return caps;
}

RecordingDirect3D9::RecordingDirect3D9(std::vector<FakeAdapter> adapters, std::shared_ptr<CallLog> log)
    : m_adapters(std::move(adapters)), m_log(log ? std::move(log) : std::make_shared<CallLog>()) {
  for (UINT i = 0; i < m_adapters.size(); ++i) m_adapters[i].caps.AdapterOrdinal = i;
}

const FakeAdapter* RecordingDirect3D9::adapter(UINT index) const {
  return index < m_adapters.size() ? &m_adapters[index] : nullptr;
}

UINT RecordingDirect3D9::GetAdapterCount() { return static_cast<UINT>(m_adapters.size()); }

HRESULT RecordingDirect3D9::GetAdapterIdentifier(UINT index, DWORD, D3DADAPTER_IDENTIFIER9* identifier) {
  const FakeAdapter* a = adapter(index);
  if (!a || !identifier) return D3DERR_INVALIDCALL;
  *identifier = D3DADAPTER_IDENTIFIER9{};
  std::snprintf(identifier->Description, sizeof identifier->Description, "%s", a->description.c_str());
  std::snprintf(identifier->Driver, sizeof identifier->Driver, "recording");
  identifier->DriverVersion = a->driverVersion;
  return D3D_OK;
}

UINT RecordingDirect3D9::GetAdapterModeCount(UINT index, D3DFORMAT format) {
  const FakeAdapter* a = adapter(index);
  return a && format == D3DFMT_X8R8G8B8 ? static_cast<UINT>(a->modes.size()) : 0;
}

HRESULT RecordingDirect3D9::EnumAdapterModes(UINT index, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) {
  const FakeAdapter* a = adapter(index);
  if (!a || !displayMode || format != D3DFMT_X8R8G8B8 || mode >= a->modes.size()) return D3DERR_INVALIDCALL;
  *displayMode = a->modes[mode];
  return D3D_OK;
}

HRESULT RecordingDirect3D9::GetAdapterDisplayMode(UINT index, D3DDISPLAYMODE* displayMode) {
  const FakeAdapter* a = adapter(index);
  if (!a || !displayMode) return D3DERR_INVALIDCALL;
  *displayMode = a->currentMode;
  return D3D_OK;
}

HRESULT RecordingDirect3D9::CheckDeviceType(UINT index, D3DDEVTYPE, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                                            BOOL) {
  const FakeAdapter* a = adapter(index);
  if (!a) return D3DERR_INVALIDCALL;
  return contains(a->displayFormats, adapterFormat) && contains(a->backBufferFormats, backBufferFormat)
             ? D3D_OK
             : D3DERR_NOTAVAILABLE;
}

HRESULT RecordingDirect3D9::CheckDeviceFormat(UINT index, D3DDEVTYPE, D3DFORMAT, DWORD usage,
                                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) {
  const FakeAdapter* a = adapter(index);
  if (!a) return D3DERR_INVALIDCALL;
  if (usage & D3DUSAGE_DMAP) return D3DERR_NOTAVAILABLE;
  if (usage & D3DUSAGE_DEPTHSTENCIL)
    return contains(a->depthStencilFormats, checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
  if (usage & D3DUSAGE_RENDERTARGET) {
    if (resourceType == D3DRTYPE_VOLUMETEXTURE) return D3DERR_NOTAVAILABLE;
    return contains(a->renderTargetFormats, checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
  }
  return contains(a->textureFormats, checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT RecordingDirect3D9::CheckDeviceMultiSampleType(UINT index, D3DDEVTYPE, D3DFORMAT, BOOL,
                                                       D3DMULTISAMPLE_TYPE type, DWORD* qualityLevels) {
  const FakeAdapter* a = adapter(index);
  if (!a) return D3DERR_INVALIDCALL;
  DWORD levels = 0;
  if (type == D3DMULTISAMPLE_NONE)
    levels = 1;
  else if (type == D3DMULTISAMPLE_NONMASKABLE)
    levels = a->nonmaskableQualityLevels;
  else if (contains(a->multisampleTypes, type))
    levels = 1;
  if (qualityLevels) *qualityLevels = levels;
  return levels > 0 ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT RecordingDirect3D9::CheckDepthStencilMatch(UINT index, D3DDEVTYPE, D3DFORMAT, D3DFORMAT,
                                                   D3DFORMAT depthStencilFormat) {
  const FakeAdapter* a = adapter(index);
  if (!a) return D3DERR_INVALIDCALL;
  return contains(a->depthStencilFormats, depthStencilFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT RecordingDirect3D9::GetDeviceCaps(UINT index, D3DDEVTYPE type, D3DCAPS9* caps) {
  const FakeAdapter* a = adapter(index);
  if (!a || !caps) return D3DERR_INVALIDCALL;
  *caps = a->caps;
  caps->DeviceType = type;
  return D3D_OK;
}

HMONITOR RecordingDirect3D9::GetAdapterMonitor(UINT) { return nullptr; }

HRESULT RecordingDirect3D9::CreateDevice(UINT index, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) {
  m_log->add("CreateDevice(" + args({index, type, behaviorFlags}) + ")");
  if (!device || !parameters) return D3DERR_INVALIDCALL;
  *device = nullptr;
  FakeAdapter* a = index < m_adapters.size() ? &m_adapters[index] : nullptr;
  if (!a) return D3DERR_INVALIDCALL;
  if (a->failingCreateDevices > 0) {
    --a->failingCreateDevices;
    return D3DERR_NOTAVAILABLE;
  }
  if (FAILED(checkPresentParameters(*parameters))) return D3DERR_INVALIDCALL;
  fillWindowSize(parameters, focusWindow);
  D3DCAPS9 caps = a->caps;
  caps.DeviceType = type;
  *device = new RecordingDevice(caps, *parameters, focusWindow, m_log);
  return D3D_OK;
}

void setRecordingDefaultPoolResources(IDirect3DDevice9* device, int count) {
  if (auto* recording = dynamic_cast<RecordingDevice*>(device)) recording->defaultPoolCount = count;
}

// ---- Geometry ----
int recordingProgramCount(IDirect3DDevice9* device) {
  auto* recording = dynamic_cast<RecordingDevice*>(device);
  return recording ? static_cast<int>(recording->programs.size()) : 0;
}
// ---- end of geometry ----
