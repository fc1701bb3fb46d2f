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

DeviceBase::DeviceBase(const D3DCAPS9& caps, const D3DPRESENT_PARAMETERS& parameters)
    : m_caps(caps), m_parameters(parameters), m_gamma(identityGammaRamp()), m_displayChanges(displayChangeCount()) {
  m_state.setDefaults(parameters.EnableAutoDepthStencil != 0, parameters.BackBufferWidth, parameters.BackBufferHeight);
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

void DeviceBase::GetGammaRamp(UINT, D3DGAMMARAMP* ramp) {
  if (ramp) *ramp = m_gamma;
}

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

HRESULT DeviceBase::TestCooperativeLevel() {
  if (isLost()) return D3DERR_DEVICELOST;
  return m_needsReset ? D3DERR_DEVICENOTRESET : D3D_OK;
}

void DeviceBase::SimulateDeviceLoss(bool lost) {
  if (lost) m_needsReset = true;
  m_simulatedLoss = lost;
}

HRESULT DeviceBase::checkResetAllowed(const D3DPRESENT_PARAMETERS* parameters) {
  if (!parameters) return D3DERR_INVALIDCALL;
  if (m_inScene) return D3DERR_INVALIDCALL;
  if (isLost()) return D3DERR_DEVICELOST;
  // Resources that die with the device must be released first; the device
  // stays lost until they are.
  if (defaultPoolResources() + m_defaultPool->live > 0) {
    m_needsReset = true;
    return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

void DeviceBase::finishReset(const D3DPRESENT_PARAMETERS& parameters) {
  m_parameters = parameters;
  m_state.setDefaults(parameters.EnableAutoDepthStencil != 0, parameters.BackBufferWidth, parameters.BackBufferHeight);
  m_geometry.setDefaults();  // streams, lights, material and clip planes too
  m_needsReset = false;
  m_displayChanges = displayChangeCount();
  resetTextureBindings();  // Reset unbinds textures and returns to the back buffer
}
