// State store and lost-device rules shared by the device implementations.
#include "platform/graphics/d3d9_device_base.h"

D3DGAMMARAMP identityGammaRamp() {
  D3DGAMMARAMP ramp{};
  for (int i = 0; i < 256; ++i) {
    const WORD v = static_cast<WORD>(257 * i);
    ramp.red[i] = ramp.green[i] = ramp.blue[i] = v;
  }
  return ramp;
}

bool isIdentityGammaRamp(const D3DGAMMARAMP& ramp) {
  for (int i = 0; i < 256; ++i) {
    const WORD v = static_cast<WORD>(257 * i);
    if (ramp.red[i] != v || ramp.green[i] != v || ramp.blue[i] != v) return false;
  }
  return true;
}

bool isDepthStencilFormat(D3DFORMAT f) {
  switch (f) {
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D32:
    case D3DFMT_D15S1:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D16:
    case D3DFMT_D32F_LOCKABLE:
    case D3DFMT_D24FS8:
      return true;
    default:
      return false;
  }
}

HRESULT checkPresentParameters(const D3DPRESENT_PARAMETERS& p) {
  if (p.BackBufferCount > 3) return D3DERR_INVALIDCALL;
  if (p.MultiSampleType > 16) return D3DERR_INVALIDCALL;
  // Multisampled back buffers cannot be flipped or copied as they are.
  if (p.MultiSampleType != D3DMULTISAMPLE_NONE && p.SwapEffect != D3DSWAPEFFECT_DISCARD) return D3DERR_INVALIDCALL;
  if (p.EnableAutoDepthStencil && !isDepthStencilFormat(p.AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
  const DWORD interval = p.PresentationInterval;
  if (p.Windowed) {
    // A window runs at the desktop's rate and waits at most one refresh.
    if (p.FullScreen_RefreshRateInHz != 0) return D3DERR_INVALIDCALL;
    if (interval != D3DPRESENT_INTERVAL_DEFAULT && interval != D3DPRESENT_INTERVAL_ONE &&
        interval != D3DPRESENT_INTERVAL_IMMEDIATE)
      return D3DERR_INVALIDCALL;
  } else {
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0 || p.BackBufferFormat == D3DFMT_UNKNOWN)
      return D3DERR_INVALIDCALL;
    if (interval != D3DPRESENT_INTERVAL_DEFAULT && interval != D3DPRESENT_INTERVAL_ONE && interval != 2 &&
        interval != 4 && interval != 8 && interval != D3DPRESENT_INTERVAL_IMMEDIATE)
      return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

DeviceBase::DeviceBase(const D3DCAPS9& caps, const D3DPRESENT_PARAMETERS& parameters)
    : m_caps(caps), m_parameters(parameters), m_gamma(identityGammaRamp()), m_displayChanges(displayChangeCount()) {
  m_state.setDefaults(parameters.EnableAutoDepthStencil != 0, parameters.BackBufferWidth, parameters.BackBufferHeight);
  bindAutomaticDepthStencil();
}

HRESULT DeviceBase::GetDeviceCaps(D3DCAPS9* caps) {
  if (!caps) return D3DERR_INVALIDCALL;
  *caps = m_caps;
  return D3D_OK;
}

HRESULT DeviceBase::GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) {
  if (!parameters) return D3DERR_INVALIDCALL;
  *parameters = m_parameters;
  return D3D_OK;
}

HRESULT DeviceBase::BeginScene() {
  if (m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = true;
  return D3D_OK;
}

HRESULT DeviceBase::EndScene() {
  if (!m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = false;
  return D3D_OK;
}

HRESULT DeviceBase::GetViewport(D3DVIEWPORT9* viewport) {
  if (!viewport) return D3DERR_INVALIDCALL;
  *viewport = m_state.viewport;
  return D3D_OK;
}

HRESULT DeviceBase::SetViewport(const D3DVIEWPORT9* viewport) {
  if (!viewport) return D3DERR_INVALIDCALL;
  // A viewport reaching outside the render target is refused, as Direct3D does.
  const std::uint64_t right = std::uint64_t{viewport->X} + viewport->Width;
  const std::uint64_t bottom = std::uint64_t{viewport->Y} + viewport->Height;
  if (viewport->Width == 0 || viewport->Height == 0 || right > targetWidth() || bottom > targetHeight())
    return D3DERR_INVALIDCALL;
  m_state.viewport = *viewport;
  viewportChanged();
  return D3D_OK;
}

HRESULT DeviceBase::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  DWORD* slot = m_state.renderState(state);
  if (!slot) return D3DERR_INVALIDCALL;
  *slot = value;
  renderStateChanged(state, value);
  return D3D_OK;
}

HRESULT DeviceBase::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  DWORD* slot = m_state.renderState(state);
  if (!slot || !value) return D3DERR_INVALIDCALL;
  *value = *slot;
  return D3D_OK;
}

HRESULT DeviceBase::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  D3DMATRIX* slot = m_state.transform(state);
  if (!slot || !matrix) return D3DERR_INVALIDCALL;
  *slot = *matrix;
  m_state.touch(state == D3DTS_VIEW                                                     ? StateGroup::View
                : state == D3DTS_PROJECTION                                             ? StateGroup::Projection
                : state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + kMaxTextureStages ? StateGroup::TextureMatrices
                                                                                        : StateGroup::World);
  return D3D_OK;
}

HRESULT DeviceBase::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  D3DMATRIX* slot = m_state.transform(state);
  if (!slot || !matrix) return D3DERR_INVALIDCALL;
  *matrix = *slot;
  return D3D_OK;
}

HRESULT DeviceBase::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  DWORD* slot = m_state.samplerState(sampler, type);
  if (!slot) return D3DERR_INVALIDCALL;
  *slot = value;
  return D3D_OK;
}

HRESULT DeviceBase::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
  DWORD* slot = m_state.samplerState(sampler, type);
  if (!slot || !value) return D3DERR_INVALIDCALL;
  *value = *slot;
  return D3D_OK;
}

HRESULT DeviceBase::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  DWORD* slot = m_state.stageState(stage, type);
  if (!slot) return D3DERR_INVALIDCALL;
  *slot = value;
  return D3D_OK;
}

HRESULT DeviceBase::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  DWORD* slot = m_state.stageState(stage, type);
  if (!slot || !value) return D3DERR_INVALIDCALL;
  *value = *slot;
  return D3D_OK;
}

HRESULT DeviceBase::SetSoftwareVertexProcessing(BOOL software) {
  m_state.softwareVertexProcessing = software ? 1 : 0;
  return D3D_OK;
}

BOOL DeviceBase::GetSoftwareVertexProcessing() { return m_state.softwareVertexProcessing; }

// Kept per device and applied by the backend's Present in full screen only,
// as Direct3D does; the display's own ramp is never touched. There is no
// monitor calibrator, so D3DSGR_CALIBRATE passes the ramp on unchanged.
HRESULT DeviceBase::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP* ramp) {
  if (!ramp) return D3DERR_INVALIDCALL;
  m_gamma = *ramp;
  return D3D_OK;
}

void DeviceBase::GetGammaRamp(UINT, D3DGAMMARAMP* ramp) {
  if (ramp) *ramp = m_gamma;
}

bool DeviceBase::hasStencil() const { return hasDepthStencil() && boundDepthStencil()->hasStencil(); }

bool DeviceBase::isLost() {
  if (m_simulatedLoss || !windowPresentable()) {
    m_needsReset = true;
    return true;
  }
  const unsigned changes = displayChangeCount();
  if (changes != m_displayChanges) {
    m_displayChanges = changes;
    m_needsReset = true;
  }
  return false;
}

bool DeviceBase::needsReset() { return isLost() || m_needsReset; }

HRESULT DeviceBase::TestCooperativeLevel() {
  if (isLost()) return D3DERR_DEVICELOST;
  return m_needsReset ? D3DERR_DEVICENOTRESET : D3D_OK;
}

void DeviceBase::SimulateDeviceLoss(bool lost) {
  if (lost) m_needsReset = true;
  m_simulatedLoss = lost;
}

bool DeviceBase::backBufferHeld() const {
  for (const auto& surface : m_backBuffers)
    if (surface && surface->references() > 1) return true;
  return false;
}

HRESULT DeviceBase::checkResetAllowed(const D3DPRESENT_PARAMETERS* parameters) {
  if (!parameters) return D3DERR_INVALIDCALL;
  if (m_inScene) return D3DERR_INVALIDCALL;
  if (isLost()) return D3DERR_DEVICELOST;
  const HRESULT hr = checkPresentParameters(*parameters);
  if (FAILED(hr)) return hr;
  // Resources that die with the device, the back buffer included, must be
  // released first.
  if (defaultPoolResources() + m_defaultPool->live > 0 || backBufferHeld() || automaticDepthStencilHeld())
    return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT DeviceBase::Reset(D3DPRESENT_PARAMETERS* parameters) {
  HRESULT hr = checkResetAllowed(parameters);
  if (SUCCEEDED(hr)) {
    D3DPRESENT_PARAMETERS p = *parameters;
    hr = resetBackBuffer(&p);
    if (SUCCEEDED(hr)) {
      finishReset(p);
      *parameters = p;
      return D3D_OK;
    }
  }
  // A refused reset leaves the device waiting for one that succeeds.
  m_needsReset = true;
  return hr;
}

HRESULT DeviceBase::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride, const void*) {
  if (needsReset()) return D3DERR_DEVICELOST;
  if (sourceRect || destRect) return D3DERR_INVALIDCALL;
  return presentBackBuffer(destWindowOverride);
}

HRESULT DeviceBase::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  if (count > 0 && !rects) return D3DERR_INVALIDCALL;
  if (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) return D3DERR_INVALIDCALL;
  if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !hasDepthStencil()) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_STENCIL) && !hasStencil()) return D3DERR_INVALIDCALL;
  if (flags == 0 || needsReset()) return D3D_OK;  // a lost device draws nothing and says nothing
  return clearTarget(count, rects, flags, color, z, stencil);
}

void DeviceBase::finishReset(const D3DPRESENT_PARAMETERS& parameters) {
  m_parameters = parameters;
  m_state.setDefaults(parameters.EnableAutoDepthStencil != 0, parameters.BackBufferWidth, parameters.BackBufferHeight);
  m_geometry.setDefaults();  // streams, lights, material and clip planes too
  m_needsReset = false;
  m_displayChanges = displayChangeCount();
  resetTextureBindings();  // Reset unbinds textures and returns to the back buffer
  resetDepthStencil();     // and to the device's own depth-stencil buffer
}
