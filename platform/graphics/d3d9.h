// The Direct3D-shaped graphics service: the object that lists adapters and
// answers capability questions, and the device that draws. Two
// implementations exist: OpenGL 2.1 compatibility through SDL2
// (Direct3DCreate9) and a recorder for tests (platform/d3d9_recording.h).
//
// Conventions the OpenGL implementation keeps, so engine code never sees GL:
// matrices are Direct3D's row-vector ones and load unchanged; depth runs 0..1;
// front faces are clockwise; every render target, the back buffer included, is
// kept in Direct3D row order (row 0 at the top), so viewports and rectangles
// are used as given and Present turns the image upright for the window (the
// vertex stage applies glClipAdjustment from platform/gl_context.h); Clear
// touches only the viewport (and its rectangles) and ignores write masks.
#pragma once

#include <functional>
#include <utility>

#include "platform/com.h"
#include "platform/graphics/d3d9_types.h"

class IDirect3DDevice9;

// ---- Textures and surfaces --------------------------------------------------
// Every texture keeps a CPU copy of each level in its Direct3D format: a lock
// hands out that copy (top row first, rows Pitch bytes apart; compressed
// formats by rows of 4x4 blocks) and the unlock sends the level to the
// device. D3DPOOL_MANAGED and D3DPOOL_SYSTEMMEM textures therefore need
// nothing after a reset; D3DPOOL_DEFAULT ones make Reset fail until they are
// released, as Direct3D does; D3DPOOL_SCRATCH ones never reach the device.

struct D3DSURFACE_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  UINT Width;
  UINT Height;
};

struct D3DLOCKED_RECT {
  int Pitch;
  void* pBits;
};

inline constexpr DWORD D3DLOCK_READONLY = 0x10;
inline constexpr DWORD D3DLOCK_NOSYSLOCK = 0x800;
inline constexpr DWORD D3DLOCK_NOOVERWRITE = 0x1000;
inline constexpr DWORD D3DLOCK_DISCARD = 0x2000;
inline constexpr DWORD D3DLOCK_DONOTWAIT = 0x4000;
inline constexpr DWORD D3DLOCK_NO_DIRTY_UPDATE = 0x8000;

class IDirect3DResource9 : public D3DUnknown {
 public:
  virtual D3DRESOURCETYPE GetType() = 0;
  // Makes sure the resource is on the device (a managed texture's upload).
  virtual void PreLoad() = 0;
};

// One level of a texture, or the back buffer. A level surface holds a
// reference to its texture.
class IDirect3DSurface9 : public IDirect3DResource9 {
 public:
  virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
  // Null rect: the whole surface. Back buffers and render targets do not lock.
  virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect() = 0;
};

class IDirect3DBaseTexture9 : public IDirect3DResource9 {
 public:
  virtual DWORD GetLevelCount() = 0;
};

class IDirect3DTexture9 : public IDirect3DBaseTexture9 {
 public:
  virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
  // A new reference for the caller.
  virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
  virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
  virtual HRESULT UnlockRect(UINT level) = 0;
};

// A texture of width x height x depth texels; each level halves every axis
// down to 1. Uncompressed formats only. Locks hand out the level's CPU copy:
// rows RowPitch bytes apart, slices (front first) SlicePitch bytes apart.
struct D3DVOLUME_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  UINT Width;
  UINT Height;
  UINT Depth;
};

struct D3DLOCKED_BOX {
  int RowPitch;
  int SlicePitch;
  void* pBits;
};

// Exclusive right, bottom and back.
struct D3DBOX {
  UINT Left, Top, Right, Bottom, Front, Back;
};

class IDirect3DVolumeTexture9 : public IDirect3DBaseTexture9 {
 public:
  virtual HRESULT GetLevelDesc(UINT level, D3DVOLUME_DESC* desc) = 0;
  // Null box: the whole level.
  virtual HRESULT LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) = 0;
  virtual HRESULT UnlockBox(UINT level) = 0;
};
// ---- end of textures and surfaces -------------------------------------------

// ---- Vertex and index buffers, vertex declarations --------------------------
// Buffers keep their contents in memory on every backend: a lock hands out
// that memory and the draw reads it, so D3DPOOL_MANAGED buffers survive a
// reset untouched. D3DPOOL_DEFAULT buffers make Reset fail until they are
// released, as Direct3D does.

class IDirect3DVertexBuffer9 : public IDirect3DResource9 {
 public:
  virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
  // offset 0 and size 0 lock the whole buffer; a range past the end is refused.
  virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
  virtual HRESULT Unlock() = 0;
};

class IDirect3DIndexBuffer9 : public IDirect3DResource9 {
 public:
  virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;
  virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
  virtual HRESULT Unlock() = 0;
};

class IDirect3DVertexDeclaration9 : public D3DUnknown {
 public:
  // With elements null, *count receives the element count including the end
  // marker; otherwise the elements are copied too.
  virtual HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) = 0;
};
// ---- end of vertex and index buffers ----------------------------------------

// ---- Queries ----
// An occlusion query counts the samples that pass the depth and stencil
// tests between Issue(D3DISSUE_BEGIN) and Issue(D3DISSUE_END). Its result
// is a DWORD, read with GetData: S_FALSE while the device has not finished
// the draws (D3DGETDATA_FLUSH also sends them on), then S_OK with the count.
// Only one occlusion query counts at a time.
class IDirect3DQuery9 : public D3DUnknown {
 public:
  virtual D3DQUERYTYPE GetType() = 0;
  virtual DWORD GetDataSize() = 0;
  // BEGIN on a counting query starts it afresh; END without BEGIN, or BEGIN
  // while another query counts, is D3DERR_INVALIDCALL.
  virtual HRESULT Issue(DWORD flags) = 0;
  // Size 0 (data may be null) only asks whether the result is ready; other
  // sizes must hold a DWORD. D3DERR_INVALIDCALL before the first END or
  // while counting; D3DERR_DEVICELOST while the device is lost.
  virtual HRESULT GetData(void* data, DWORD size, DWORD flags) = 0;
};
// ---- end of queries ----

class IDirect3D9 : public D3DUnknown {
 public:
  virtual UINT GetAdapterCount() = 0;
  virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) = 0;
  virtual UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) = 0;
  virtual HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) = 0;
  virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) = 0;
  virtual HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                                  BOOL windowed) = 0;
  virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                    D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
  virtual HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL windowed,
                                             D3DMULTISAMPLE_TYPE multiSampleType, DWORD* qualityLevels) = 0;
  virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                         D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) = 0;
  virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
  virtual HMONITOR GetAdapterMonitor(UINT adapter) = 0;
  // Fills the zero sizes and unknown formats of `parameters` with what the
  // device got, as Direct3D does.
  virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                               D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) = 0;
};

class IDirect3DDevice9 : public D3DUnknown {
 public:
  // D3D_OK; D3DERR_DEVICELOST while the window is minimised or hidden after
  // having been shown; D3DERR_DEVICENOTRESET once it is back, after a
  // display change or after a refused Reset, until Reset succeeds. Until
  // then draws and clears do nothing and succeed.
  virtual HRESULT TestCooperativeLevel() = 0;
  // New back buffer (size 0 in a window: its client area), every state back
  // to its creation default, the viewport over the whole back buffer.
  // D3DERR_INVALIDCALL while the caller holds a D3DPOOL_DEFAULT resource
  // (the back buffer and render-target surfaces included) or for parameters
  // Direct3D refuses. A full-screen request that fails leaves the window and
  // the display mode as they were. Any failure leaves the device needing a
  // reset.
  virtual HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
  // Shows the back buffer; D3DERR_DEVICELOST while lost or needing a reset.
  // Only whole-surface presents (null rectangles) are supported.
  virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                          const void* dirtyRegion) = 0;
  virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
  virtual HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) = 0;

  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) = 0;

  virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
  virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
  virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
  virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
  virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
  virtual HRESULT SetSoftwareVertexProcessing(BOOL software) = 0;
  virtual BOOL GetSoftwareVertexProcessing() = 0;

  // ---- Geometry, lights, material, clip planes ----
  // Usage D3DUSAGE_DYNAMIC is allowed only in D3DPOOL_DEFAULT; the handle
  // must be null. Index formats are D3DFMT_INDEX16 and D3DFMT_INDEX32.
  virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                                     void** sharedHandle) = 0;
  virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                    IDirect3DIndexBuffer9** buffer, void** sharedHandle) = 0;
  // Stream 0 only; element types FLOAT1-4, D3DCOLOR and UBYTE4.
  virtual HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                          IDirect3DVertexDeclaration9** declaration) = 0;
  // The device holds a reference to what is bound; null unbinds.
  virtual HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) = 0;
  // A new reference to the bound declaration, or null.
  virtual HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) = 0;
  virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) = 0;
  virtual HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) = 0;
  // Every index is checked against the bound vertex buffer: a draw that
  // would read outside a buffer is refused with D3DERR_INVALIDCALL.
  virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, int baseVertexIndex, UINT minVertexIndex,
                                       UINT numVertices, UINT startIndex, UINT primitiveCount) = 0;
  // Vertices from memory in the bound declaration's layout; unbinds stream 0.
  virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) = 0;
  // Any index; LightEnable on an index never set creates Direct3D's default
  // white directional light. Eight lights at most may be enabled at once.
  virtual HRESULT SetLight(DWORD index, const D3DLIGHT9* light) = 0;
  virtual HRESULT GetLight(DWORD index, D3DLIGHT9* light) = 0;
  virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
  virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
  virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
  virtual HRESULT GetMaterial(D3DMATERIAL9* material) = 0;
  // Planes in world space: points with a.x + b.y + c.z + d >= 0 are kept.
  virtual HRESULT SetClipPlane(DWORD index, const float* plane) = 0;
  virtual HRESULT GetClipPlane(DWORD index, float* plane) = 0;
  // ---- end of geometry, lights, material, clip planes ----

  // The device's ramp, shown by Present while the device is full screen and
  // kept (GetGammaRamp returns it) but not shown while windowed, as
  // Direct3D does. The display's own ramp is never changed. Direct3D
  // returns nothing here; ours refuses a null ramp.
  virtual HRESULT SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP* ramp) = 0;
  virtual void GetGammaRamp(UINT swapChain, D3DGAMMARAMP* ramp) = 0;

  // Not Direct3D: reads a rectangle of the back buffer as 0xAARRGGBB,
  // top row first, for tests and screenshots.
  virtual HRESULT ReadBackBuffer(UINT x, UINT y, UINT width, UINT height, DWORD* argb) = 0;
  // Not Direct3D: test switch for the lost-device path. While on, the device
  // is lost; switched off, it needs a reset.
  virtual void SimulateDeviceLoss(bool lost) = 0;
  // Not Direct3D: call before issuing graphics-API calls of your own in the
  // device's context (a GUI renderer, a test helper). The device unbinds what
  // its draws leave bound, and sends its whole state again at its next draw
  // instead of trusting its copy of what the context holds.
  virtual void InvalidateStateShadow() = 0;

  // ---- Queries ----
  // D3DQUERYTYPE_OCCLUSION only (others: D3DERR_NOTAVAILABLE). A null `query`
  // asks whether the type is supported.
  virtual HRESULT CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) = 0;
  // ---- end of queries ----

  // ---- Textures and render targets ----
  // Levels 0: the full chain down to 1x1. Sizes are limited by the caps;
  // DXT sizes need not be multiples of 4. D3DUSAGE_RENDERTARGET only in
  // D3DPOOL_DEFAULT; D3DPOOL_SCRATCH takes any format the layer knows. The
  // shared handle must be null.
  virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                IDirect3DTexture9** texture, void** sharedHandle) = 0;
  // Levels 0: the full chain down to 1x1x1. Extents are limited by
  // MaxVolumeExtent; usage 0 or D3DUSAGE_DYNAMIC (D3DPOOL_DEFAULT only).
  virtual HRESULT CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                                      D3DPOOL pool, IDirect3DVolumeTexture9** texture, void** sharedHandle) = 0;
  // Binds a texture (plain or volume) to a sampler (the device holds a
  // reference); null unbinds. Scratch textures cannot be bound.
  virtual HRESULT SetTexture(DWORD sampler, IDirect3DBaseTexture9* texture) = 0;
  virtual HRESULT GetTexture(DWORD sampler, IDirect3DBaseTexture9** texture) = 0;
  // Only back buffer 0 of swap chain 0 (and of head 1 in a two-head group)
  // exists; a new reference for the caller.
  virtual HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, DWORD type, IDirect3DSurface9** surface) = 0;
  // Target 0 only: the back buffer, or level 0 of a D3DUSAGE_RENDERTARGET
  // texture. Setting a target also sets the viewport over all of it. The
  // depth-stencil surface stays bound; while that is the device's own, a
  // texture target of any size has depth and stencil (and Clear of them)
  // like the back buffer.
  virtual HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) = 0;
  virtual HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) = 0;
  // A depth-stencil surface of the caller's own, in D3DPOOL_DEFAULT (Reset
  // fails while one lives): D3DFMT_D16, D24X8 or D24S8, not multisampled,
  // no larger than a texture may be. The shared handle must be null.
  virtual HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                            DWORD multisampleQuality, BOOL discard, IDirect3DSurface9** surface,
                                            void** sharedHandle) = 0;
  // Binds a surface from CreateDepthStencilSurface, the device's own (as
  // GetDepthStencilSurface handed it out), or null: draws then neither test
  // nor write depth and stencil, and Clear of them is refused. A surface
  // smaller than render target 0 limits drawing to the part both cover
  // (Direct3D leaves that undefined). Refused for a multisampled back
  // buffer, which only the device's own surface matches. Reset binds the
  // device's own again.
  virtual HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) = 0;
  // A new reference to the bound surface; D3DERR_NOTFOUND with none bound.
  // Reset fails while the caller holds the device's own, as with the back
  // buffer.
  virtual HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) = 0;
  // ---- end of textures and render targets ----
};

// The Direct3D object on OpenGL: adapters are SDL displays. Accepts SDK
// versions 31 and 32; null when no video driver or GL context is available.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);

// Lets tests hand out another implementation (the recorder, with made-up
// adapters) from Direct3DCreate9. An empty function restores OpenGL.
using Direct3DFactory = std::function<IDirect3D9*(UINT sdkVersion)>;
Direct3DFactory setDirect3DFactory(Direct3DFactory factory);
