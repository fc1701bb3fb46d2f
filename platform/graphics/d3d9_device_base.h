// What both device implementations share: the state store with argument
// checks, the lost-device state machine, the argument checks of Reset,
// Present and Clear, the present parameters and the gamma ramp. The
// implementations add drawing (OpenGL) or recording.
#pragma once

#include <memory>

#include "platform/graphics/d3d9.h"
#include "platform/graphics/d3d9_geometry.h"
#include "platform/graphics/d3d9_query.h"
#include "platform/graphics/d3d9_state.h"
#include "platform/graphics/d3d9_texture.h"
#include "platform/graphics/d3d9_volume.h"

class DeviceBase : public IDirect3DDevice9 {
 public:
  HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
  HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
  HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
  HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
  HRESULT SetSoftwareVertexProcessing(BOOL software) override;
  BOOL GetSoftwareVertexProcessing() override;
  HRESULT SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP* ramp) override;
  void GetGammaRamp(UINT swapChain, D3DGAMMARAMP* ramp) override;
  HRESULT TestCooperativeLevel() override;
  void SimulateDeviceLoss(bool lost) override;
  // Checks the parameters and the lost-device rules, then lets the backend
  // make the new back buffer. Any failure leaves the device needing a reset.
  HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
  // D3DERR_DEVICELOST while lost or needing a reset, whatever the arguments.
  HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                  const void* dirtyRegion) override;
  // Refuses bad arguments always; does nothing (D3D_OK) while lost or
  // needing a reset.
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;

  // ---- Geometry, lights, material, clip planes (d3d9_device_geometry.cpp) ----
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                             void** sharedHandle) override;
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer9** buffer,
                            void** sharedHandle) override;
  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                  IDirect3DVertexDeclaration9** declaration) override;
  HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
  HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) override;
  HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, int baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                               UINT startIndex, UINT primitiveCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override;
  HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
  HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
  HRESULT SetMaterial(const D3DMATERIAL9* material) override;
  HRESULT GetMaterial(D3DMATERIAL9* material) override;
  HRESULT SetClipPlane(DWORD index, const float* plane) override;
  HRESULT GetClipPlane(DWORD index, float* plane) override;
  const GeometryState& geometry() const { return m_geometry; }
  // ---- end of geometry ----

  const DeviceState& state() const { return m_state; }

  // ---- Queries (d3d9_query.cpp) ----
  HRESULT CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) override;

 protected:
  // The backend's occlusion query; null when it cannot count.
  virtual IDirect3DQuery9* makeOcclusionQuery(std::shared_ptr<QueryHost> host) = 0;

 private:
  QueryHostHandle m_queries{[this] { return isLost(); }};

 public:
  // ---- end of queries ----

  // ---- Textures and render targets (platform/d3d9_texture.cpp) ----
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        IDirect3DTexture9** texture, void** sharedHandle) override;
  HRESULT CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DVolumeTexture9** texture, void** sharedHandle) override;
  HRESULT SetTexture(DWORD sampler, IDirect3DBaseTexture9* texture) override;
  HRESULT GetTexture(DWORD sampler, IDirect3DBaseTexture9** texture) override;
  HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, DWORD type, IDirect3DSurface9** surface) override;
  HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
  HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
  HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                    DWORD multisampleQuality, BOOL discard, IDirect3DSurface9** surface,
                                    void** sharedHandle) override;
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;
  // The texture bound to a sampler, or null (for the draw paths).
  IDirect3DBaseTexture9* boundTexture(DWORD sampler) const;
  // Size of the render target bound now (the back buffer or a texture level).
  UINT targetWidth() const;
  UINT targetHeight() const;

 protected:
  // Makes the texture object of this implementation (checks already done).
  virtual DeviceTexture* makeTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  virtual DeviceVolumeTexture* makeVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                                 D3DFORMAT format, D3DPOOL pool);
  // Called when target 0 changes (null surface: the back buffer); false
  // refuses the change.
  virtual bool renderTargetChanged(IDirect3DSurface9*) { return true; }
  // Back to the back buffer with no texture bound (after Reset).
  void resetTextureBindings();
  // Makes a depth-stencil surface of this implementation (checks done).
  virtual DepthStencilSurface* makeDepthStencil(UINT width, UINT height, D3DFORMAT format);
  // Called when the bound depth-stencil surface changes (null: none);
  // false refuses the change.
  virtual bool depthStencilChanged(DepthStencilSurface*) { return true; }
  // The bound depth-stencil surface, or null.
  DepthStencilSurface* boundDepthStencil() const;
  // A new surface for the device's own depth-stencil buffer (after a reset
  // too), bound; none without one.
  void resetDepthStencil();
  // Whether the caller still holds the device's own depth-stencil surface.
  bool automaticDepthStencilHeld() const;
  std::shared_ptr<int> m_defaultPoolTextures = std::make_shared<int>(0);

 private:
  ComPtr<IDirect3DBaseTexture9> m_textures[kMaxSamplers];
  ComPtr<IDirect3DSurface9> m_renderTarget;  // null: the back buffer
  ComPtr<IDirect3DSurface9> m_backBuffers[2];
  // The device's own depth-stencil surface, new and bound (none without
  // one); the implementation is not told.
  void bindAutomaticDepthStencil();
  ComPtr<IDirect3DSurface9> m_depthStencil;    // bound; null: none
  ComPtr<IDirect3DSurface9> m_automaticDepth;  // the device's own; null without

 public:
  // ---- end of textures and render targets ----

 protected:
  DeviceBase(const D3DCAPS9& caps, const D3DPRESENT_PARAMETERS& parameters);

  // Whether the window shows the device's output right now; the base turns
  // a false into "lost" and its return into "needs reset".
  virtual bool windowPresentable() { return true; }
  // Resources in D3DPOOL_DEFAULT that make Reset fail until released.
  virtual int defaultPoolResources() const { return *m_defaultPoolTextures; }
  // Called after a state changed, for implementations that mirror it.
  virtual void renderStateChanged(D3DRENDERSTATETYPE, DWORD) {}
  virtual void viewportChanged() {}

  // The backend's half of Reset, Present and Clear, called once the shared
  // checks passed and the device is operational. resetBackBuffer fills what
  // the parameters leave open (a window's size) and makes the new back
  // buffer; on failure the old one stays.
  virtual HRESULT resetBackBuffer(D3DPRESENT_PARAMETERS* parameters) = 0;
  virtual HRESULT presentBackBuffer(HWND destWindowOverride) = 0;
  virtual HRESULT clearTarget(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                              DWORD stencil) = 0;

  // Whether the device is lost right now (the window cannot show it).
  bool isLost();
  // Lost, or back but not yet reset: draws, clears and presents do nothing.
  bool needsReset();
  // Of the bound depth-stencil surface.
  bool hasDepthStencil() const { return m_depthStencil.get() != nullptr; }
  bool hasStencil() const;
  bool fullScreen() const { return m_parameters.Windowed == 0; }

  // ---- Geometry ----
  // A draw that passed every check; the backend draws it (or records it).
  virtual HRESULT executeDraw(const CheckedDraw& draw) = 0;
  GeometryState m_geometry;
  std::shared_ptr<DefaultPoolCounter> m_defaultPool = std::make_shared<DefaultPoolCounter>();
  // ---- end of geometry ----

  D3DCAPS9 m_caps;
  D3DPRESENT_PARAMETERS m_parameters;
  DeviceState m_state;
  D3DGAMMARAMP m_gamma;
  bool m_inScene = false;

 private:
  // Checks shared by both Reset implementations; D3D_OK when the reset may go on.
  HRESULT checkResetAllowed(const D3DPRESENT_PARAMETERS* parameters);
  // After a successful reset: states back to defaults, lost flags cleared.
  void finishReset(const D3DPRESENT_PARAMETERS& parameters);
  // Whether the caller still holds a back-buffer surface of this device.
  bool backBufferHeld() const;

  bool m_simulatedLoss = false;
  bool m_needsReset = false;
  unsigned m_displayChanges = 0;
};

// Identity gamma ramp (entry i = 257 * i).
D3DGAMMARAMP identityGammaRamp();
bool isIdentityGammaRamp(const D3DGAMMARAMP& ramp);
// The rules on present parameters that hold whatever draws them: D3D_OK, or
// D3DERR_INVALIDCALL for a combination Direct3D refuses.
HRESULT checkPresentParameters(const D3DPRESENT_PARAMETERS& parameters);
bool isDepthStencilFormat(D3DFORMAT format);
