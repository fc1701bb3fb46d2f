// Textures, level surfaces, back buffers and render targets shared by both
// device implementations.
#include "platform/d3d9_device_base.h"

HRESULT DeviceBase::CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9** texture, void**) {
  if (texture) *texture = nullptr;
  return D3DERR_NOTAVAILABLE;
}

HRESULT DeviceBase::SetTexture(DWORD, IDirect3DBaseTexture9*) { return D3DERR_INVALIDCALL; }

HRESULT DeviceBase::GetTexture(DWORD, IDirect3DBaseTexture9** texture) {
  if (texture) *texture = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT DeviceBase::GetBackBuffer(UINT, UINT, DWORD, IDirect3DSurface9** surface) {
  if (surface) *surface = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT DeviceBase::SetRenderTarget(DWORD, IDirect3DSurface9*) { return D3DERR_INVALIDCALL; }

HRESULT DeviceBase::GetRenderTarget(DWORD, IDirect3DSurface9** surface) {
  if (surface) *surface = nullptr;
  return D3DERR_INVALIDCALL;
}

IDirect3DBaseTexture9* DeviceBase::boundTexture(DWORD) const { return nullptr; }
