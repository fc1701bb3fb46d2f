// Direct3D-shaped value types and constants: our own declarations with the
// numeric values files and engine code depend on. The interfaces that use
// them are in platform/d3d9.h.
#pragma once

#include "platform/win32_types.h"
#include "platform/window/window.h"

using D3DFORMAT = DWORD;
using D3DCOLOR = DWORD;

constexpr D3DFORMAT makeFourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<BYTE>(a)) | static_cast<DWORD>(static_cast<BYTE>(b)) << 8 |
         static_cast<DWORD>(static_cast<BYTE>(c)) << 16 | static_cast<DWORD>(static_cast<BYTE>(d)) << 24;
}

inline constexpr D3DFORMAT D3DFMT_UNKNOWN = 0;
inline constexpr D3DFORMAT D3DFMT_R8G8B8 = 20;
inline constexpr D3DFORMAT D3DFMT_A8R8G8B8 = 21;
inline constexpr D3DFORMAT D3DFMT_X8R8G8B8 = 22;
inline constexpr D3DFORMAT D3DFMT_R5G6B5 = 23;
inline constexpr D3DFORMAT D3DFMT_X1R5G5B5 = 24;
inline constexpr D3DFORMAT D3DFMT_A1R5G5B5 = 25;
inline constexpr D3DFORMAT D3DFMT_A4R4G4B4 = 26;
inline constexpr D3DFORMAT D3DFMT_A8 = 28;
inline constexpr D3DFORMAT D3DFMT_X4R4G4B4 = 30;
inline constexpr D3DFORMAT D3DFMT_A2B10G10R10 = 31;
inline constexpr D3DFORMAT D3DFMT_A8B8G8R8 = 32;
inline constexpr D3DFORMAT D3DFMT_X8B8G8R8 = 33;
inline constexpr D3DFORMAT D3DFMT_G16R16 = 34;
inline constexpr D3DFORMAT D3DFMT_A2R10G10B10 = 35;
inline constexpr D3DFORMAT D3DFMT_A16B16G16R16 = 36;
inline constexpr D3DFORMAT D3DFMT_L8 = 50;
inline constexpr D3DFORMAT D3DFMT_A8L8 = 51;
inline constexpr D3DFORMAT D3DFMT_D16_LOCKABLE = 70;
inline constexpr D3DFORMAT D3DFMT_D32 = 71;
inline constexpr D3DFORMAT D3DFMT_D15S1 = 73;
inline constexpr D3DFORMAT D3DFMT_D24S8 = 75;
inline constexpr D3DFORMAT D3DFMT_D24X8 = 77;
inline constexpr D3DFORMAT D3DFMT_D24X4S4 = 79;
inline constexpr D3DFORMAT D3DFMT_D16 = 80;
inline constexpr D3DFORMAT D3DFMT_L16 = 81;
inline constexpr D3DFORMAT D3DFMT_D32F_LOCKABLE = 82;
inline constexpr D3DFORMAT D3DFMT_D24FS8 = 83;
inline constexpr D3DFORMAT D3DFMT_INDEX16 = 101;
inline constexpr D3DFORMAT D3DFMT_INDEX32 = 102;
inline constexpr D3DFORMAT D3DFMT_R16F = 111;
inline constexpr D3DFORMAT D3DFMT_G16R16F = 112;
inline constexpr D3DFORMAT D3DFMT_A16B16G16R16F = 113;
inline constexpr D3DFORMAT D3DFMT_R32F = 114;
inline constexpr D3DFORMAT D3DFMT_G32R32F = 115;
inline constexpr D3DFORMAT D3DFMT_A32B32G32R32F = 116;
inline constexpr D3DFORMAT D3DFMT_DXT1 = makeFourCC('D', 'X', 'T', '1');
inline constexpr D3DFORMAT D3DFMT_DXT2 = makeFourCC('D', 'X', 'T', '2');
inline constexpr D3DFORMAT D3DFMT_DXT3 = makeFourCC('D', 'X', 'T', '3');
inline constexpr D3DFORMAT D3DFMT_DXT4 = makeFourCC('D', 'X', 'T', '4');
inline constexpr D3DFORMAT D3DFMT_DXT5 = makeFourCC('D', 'X', 'T', '5');

constexpr D3DCOLOR D3DCOLOR_ARGB(unsigned a, unsigned r, unsigned g, unsigned b) {
  return (a & 0xFF) << 24 | (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
}
constexpr D3DCOLOR D3DCOLOR_XRGB(unsigned r, unsigned g, unsigned b) { return D3DCOLOR_ARGB(0xFF, r, g, b); }

// Results.
inline constexpr HRESULT D3D_OK = 0;
inline constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868u);
inline constexpr HRESULT D3DERR_DEVICENOTRESET = static_cast<HRESULT>(0x88760869u);
inline constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);
inline constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
inline constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
inline constexpr HRESULT D3DERR_DRIVERINTERNALERROR = static_cast<HRESULT>(0x88760827u);
inline constexpr HRESULT D3DERR_NOTFOUND = static_cast<HRESULT>(0x88760866u);

inline constexpr UINT D3D9B_SDK_VERSION = 31;
inline constexpr UINT D3D_SDK_VERSION = 32;
inline constexpr UINT D3DADAPTER_DEFAULT = 0;

using D3DDEVTYPE = DWORD;
inline constexpr D3DDEVTYPE D3DDEVTYPE_HAL = 1;
inline constexpr D3DDEVTYPE D3DDEVTYPE_REF = 2;
inline constexpr D3DDEVTYPE D3DDEVTYPE_SW = 3;
inline constexpr D3DDEVTYPE D3DDEVTYPE_NULLREF = 4;

using D3DRESOURCETYPE = DWORD;
inline constexpr D3DRESOURCETYPE D3DRTYPE_SURFACE = 1;
inline constexpr D3DRESOURCETYPE D3DRTYPE_VOLUME = 2;
inline constexpr D3DRESOURCETYPE D3DRTYPE_TEXTURE = 3;
inline constexpr D3DRESOURCETYPE D3DRTYPE_VOLUMETEXTURE = 4;
inline constexpr D3DRESOURCETYPE D3DRTYPE_CUBETEXTURE = 5;
inline constexpr D3DRESOURCETYPE D3DRTYPE_VERTEXBUFFER = 6;
inline constexpr D3DRESOURCETYPE D3DRTYPE_INDEXBUFFER = 7;

using D3DQUERYTYPE = DWORD;
inline constexpr D3DQUERYTYPE D3DQUERYTYPE_EVENT = 8;
inline constexpr D3DQUERYTYPE D3DQUERYTYPE_OCCLUSION = 9;
inline constexpr DWORD D3DISSUE_END = 0x1;
inline constexpr DWORD D3DISSUE_BEGIN = 0x2;
inline constexpr DWORD D3DGETDATA_FLUSH = 0x1;

inline constexpr DWORD D3DUSAGE_RENDERTARGET = 0x1;
inline constexpr DWORD D3DUSAGE_DEPTHSTENCIL = 0x2;
inline constexpr DWORD D3DUSAGE_WRITEONLY = 0x8;
inline constexpr DWORD D3DUSAGE_SOFTWAREPROCESSING = 0x10;
inline constexpr DWORD D3DUSAGE_DYNAMIC = 0x200;
inline constexpr DWORD D3DUSAGE_AUTOGENMIPMAP = 0x400;
inline constexpr DWORD D3DUSAGE_DMAP = 0x4000;

using D3DPOOL = DWORD;
inline constexpr D3DPOOL D3DPOOL_DEFAULT = 0;
inline constexpr D3DPOOL D3DPOOL_MANAGED = 1;
inline constexpr D3DPOOL D3DPOOL_SYSTEMMEM = 2;
inline constexpr D3DPOOL D3DPOOL_SCRATCH = 3;

using D3DMULTISAMPLE_TYPE = DWORD;
inline constexpr D3DMULTISAMPLE_TYPE D3DMULTISAMPLE_NONE = 0;
inline constexpr D3DMULTISAMPLE_TYPE D3DMULTISAMPLE_NONMASKABLE = 1;

using D3DSWAPEFFECT = DWORD;
inline constexpr D3DSWAPEFFECT D3DSWAPEFFECT_DISCARD = 1;
inline constexpr D3DSWAPEFFECT D3DSWAPEFFECT_FLIP = 2;
inline constexpr D3DSWAPEFFECT D3DSWAPEFFECT_COPY = 3;

inline constexpr DWORD D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 0x1;
inline constexpr DWORD D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL = 0x2;
inline constexpr UINT D3DPRESENT_INTERVAL_DEFAULT = 0;
inline constexpr UINT D3DPRESENT_INTERVAL_ONE = 1;
inline constexpr UINT D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;

inline constexpr DWORD D3DCREATE_FPU_PRESERVE = 0x2;
inline constexpr DWORD D3DCREATE_MULTITHREADED = 0x4;
inline constexpr DWORD D3DCREATE_PUREDEVICE = 0x10;
inline constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
inline constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
inline constexpr DWORD D3DCREATE_MIXED_VERTEXPROCESSING = 0x80;
inline constexpr DWORD D3DCREATE_ADAPTERGROUP_DEVICE = 0x200;

// Capability bits the engine tests.
inline constexpr DWORD D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x00010000;
inline constexpr DWORD D3DDEVCAPS2_DMAPNPATCH = 0x2;
inline constexpr DWORD D3DDEVCAPS2_PRESAMPLEDDMAPNPATCH = 0x20;
inline constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x2;
inline constexpr DWORD D3DPTEXTURECAPS_NONPOW2CONDITIONAL = 0x100;
inline constexpr DWORD D3DPTEXTURECAPS_MIPMAP = 0x4000;
inline constexpr DWORD D3DPTEXTURECAPS_MIPVOLUMEMAP = 0x8000;
inline constexpr DWORD D3DPTEXTURECAPS_CUBEMAP = 0x800;
inline constexpr DWORD D3DPTEXTURECAPS_VOLUMEMAP = 0x2000;
inline constexpr DWORD D3DPTADDRESSCAPS_WRAP = 0x1;
inline constexpr DWORD D3DPTADDRESSCAPS_MIRROR = 0x2;
inline constexpr DWORD D3DPTADDRESSCAPS_CLAMP = 0x4;
inline constexpr DWORD D3DPTADDRESSCAPS_BORDER = 0x8;
inline constexpr DWORD D3DPTADDRESSCAPS_INDEPENDENTUV = 0x10;
inline constexpr DWORD D3DPTADDRESSCAPS_MIRRORONCE = 0x20;
constexpr DWORD D3DVS_VERSION(unsigned major, unsigned minor) { return 0xFFFE0000u | major << 8 | minor; }
constexpr DWORD D3DPS_VERSION(unsigned major, unsigned minor) { return 0xFFFF0000u | major << 8 | minor; }

struct D3DDISPLAYMODE {
  UINT Width;
  UINT Height;
  UINT RefreshRate;
  D3DFORMAT Format;
};

struct D3DADAPTER_IDENTIFIER9 {
  char Driver[512];
  char Description[512];
  char DeviceName[32];
  LARGE_INTEGER DriverVersion;
  DWORD VendorId;
  DWORD DeviceId;
  DWORD SubSysId;
  DWORD Revision;
  GUID DeviceIdentifier;
  DWORD WHQLLevel;
};

// The capability fields the engine reads.
struct D3DCAPS9 {
  D3DDEVTYPE DeviceType;
  UINT AdapterOrdinal;
  DWORD Caps;
  DWORD Caps2;
  DWORD Caps3;
  DWORD PresentationIntervals;
  DWORD DevCaps;
  DWORD PrimitiveMiscCaps;
  DWORD RasterCaps;
  DWORD ZCmpCaps;
  DWORD SrcBlendCaps;
  DWORD DestBlendCaps;
  DWORD AlphaCmpCaps;
  DWORD ShadeCaps;
  DWORD TextureCaps;
  DWORD TextureFilterCaps;
  DWORD CubeTextureFilterCaps;
  DWORD VolumeTextureFilterCaps;
  DWORD TextureAddressCaps;
  DWORD VolumeTextureAddressCaps;
  DWORD MaxTextureWidth;
  DWORD MaxTextureHeight;
  DWORD MaxVolumeExtent;
  DWORD MaxAnisotropy;
  DWORD StencilCaps;
  DWORD FVFCaps;
  DWORD TextureOpCaps;
  DWORD MaxTextureBlendStages;
  DWORD MaxSimultaneousTextures;
  DWORD VertexProcessingCaps;
  DWORD MaxActiveLights;
  DWORD MaxUserClipPlanes;
  DWORD MaxVertexBlendMatrices;
  DWORD MaxPrimitiveCount;
  DWORD MaxVertexIndex;
  DWORD MaxStreams;
  DWORD MaxStreamStride;
  DWORD VertexShaderVersion;
  DWORD MaxVertexShaderConst;
  DWORD PixelShaderVersion;
  DWORD DevCaps2;
  UINT MasterAdapterOrdinal;
  UINT AdapterOrdinalInGroup;
  UINT NumberOfAdaptersInGroup;
  DWORD NumSimultaneousRTs;
};

struct D3DPRESENT_PARAMETERS {
  UINT BackBufferWidth;
  UINT BackBufferHeight;
  D3DFORMAT BackBufferFormat;
  UINT BackBufferCount;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  D3DSWAPEFFECT SwapEffect;
  HWND hDeviceWindow;
  BOOL Windowed;
  BOOL EnableAutoDepthStencil;
  D3DFORMAT AutoDepthStencilFormat;
  DWORD Flags;
  UINT FullScreen_RefreshRateInHz;
  UINT PresentationInterval;
};

struct D3DVIEWPORT9 {
  DWORD X;
  DWORD Y;
  DWORD Width;
  DWORD Height;
  float MinZ;
  float MaxZ;
};

struct D3DRECT {
  LONG x1;
  LONG y1;
  LONG x2;
  LONG y2;
};

// Row-major, for row vectors: translation in m[3][0..2].
struct D3DMATRIX {
  float m[4][4];
};

struct D3DGAMMARAMP {
  WORD red[256];
  WORD green[256];
  WORD blue[256];
};

inline constexpr DWORD D3DSGR_NO_CALIBRATION = 0;
inline constexpr DWORD D3DSGR_CALIBRATE = 1;

inline constexpr DWORD D3DCLEAR_TARGET = 0x1;
inline constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
inline constexpr DWORD D3DCLEAR_STENCIL = 0x4;

inline constexpr DWORD D3DBACKBUFFER_TYPE_MONO = 0;

// Render states (D3DRS_*): the codes the engine sets, defaults in d3d9_state.
using D3DRENDERSTATETYPE = DWORD;
inline constexpr D3DRENDERSTATETYPE D3DRS_ZENABLE = 7;
inline constexpr D3DRENDERSTATETYPE D3DRS_FILLMODE = 8;
inline constexpr D3DRENDERSTATETYPE D3DRS_SHADEMODE = 9;
inline constexpr D3DRENDERSTATETYPE D3DRS_ZWRITEENABLE = 14;
inline constexpr D3DRENDERSTATETYPE D3DRS_ALPHATESTENABLE = 15;
inline constexpr D3DRENDERSTATETYPE D3DRS_SRCBLEND = 19;
inline constexpr D3DRENDERSTATETYPE D3DRS_DESTBLEND = 20;
inline constexpr D3DRENDERSTATETYPE D3DRS_CULLMODE = 22;
inline constexpr D3DRENDERSTATETYPE D3DRS_ZFUNC = 23;
inline constexpr D3DRENDERSTATETYPE D3DRS_ALPHAREF = 24;
inline constexpr D3DRENDERSTATETYPE D3DRS_ALPHAFUNC = 25;
inline constexpr D3DRENDERSTATETYPE D3DRS_ALPHABLENDENABLE = 27;
inline constexpr D3DRENDERSTATETYPE D3DRS_FOGENABLE = 28;
inline constexpr D3DRENDERSTATETYPE D3DRS_SPECULARENABLE = 29;
inline constexpr D3DRENDERSTATETYPE D3DRS_FOGCOLOR = 34;
inline constexpr D3DRENDERSTATETYPE D3DRS_FOGTABLEMODE = 35;
inline constexpr D3DRENDERSTATETYPE D3DRS_FOGSTART = 36;
inline constexpr D3DRENDERSTATETYPE D3DRS_FOGEND = 37;
inline constexpr D3DRENDERSTATETYPE D3DRS_FOGDENSITY = 38;
inline constexpr D3DRENDERSTATETYPE D3DRS_RANGEFOGENABLE = 48;
inline constexpr D3DRENDERSTATETYPE D3DRS_STENCILENABLE = 52;
inline constexpr D3DRENDERSTATETYPE D3DRS_STENCILFAIL = 53;
inline constexpr D3DRENDERSTATETYPE D3DRS_STENCILZFAIL = 54;
inline constexpr D3DRENDERSTATETYPE D3DRS_STENCILPASS = 55;
inline constexpr D3DRENDERSTATETYPE D3DRS_STENCILFUNC = 56;
inline constexpr D3DRENDERSTATETYPE D3DRS_STENCILREF = 57;
inline constexpr D3DRENDERSTATETYPE D3DRS_STENCILMASK = 58;
inline constexpr D3DRENDERSTATETYPE D3DRS_STENCILWRITEMASK = 59;
inline constexpr D3DRENDERSTATETYPE D3DRS_TEXTUREFACTOR = 60;
inline constexpr D3DRENDERSTATETYPE D3DRS_CLIPPING = 136;
inline constexpr D3DRENDERSTATETYPE D3DRS_LIGHTING = 137;
inline constexpr D3DRENDERSTATETYPE D3DRS_AMBIENT = 139;
inline constexpr D3DRENDERSTATETYPE D3DRS_FOGVERTEXMODE = 140;
inline constexpr D3DRENDERSTATETYPE D3DRS_COLORVERTEX = 141;
inline constexpr D3DRENDERSTATETYPE D3DRS_LOCALVIEWER = 142;
inline constexpr D3DRENDERSTATETYPE D3DRS_NORMALIZENORMALS = 143;
inline constexpr D3DRENDERSTATETYPE D3DRS_DIFFUSEMATERIALSOURCE = 145;
inline constexpr D3DRENDERSTATETYPE D3DRS_SPECULARMATERIALSOURCE = 146;
inline constexpr D3DRENDERSTATETYPE D3DRS_AMBIENTMATERIALSOURCE = 147;
inline constexpr D3DRENDERSTATETYPE D3DRS_EMISSIVEMATERIALSOURCE = 148;
inline constexpr D3DRENDERSTATETYPE D3DRS_CLIPPLANEENABLE = 152;
inline constexpr D3DRENDERSTATETYPE D3DRS_COLORWRITEENABLE = 168;
inline constexpr D3DRENDERSTATETYPE D3DRS_BLENDOP = 171;
inline constexpr DWORD kRenderStateCount = 256;  // codes are below this

inline constexpr DWORD D3DZB_FALSE = 0, D3DZB_TRUE = 1;
inline constexpr DWORD D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3;
inline constexpr DWORD D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2;
inline constexpr DWORD D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3;
inline constexpr DWORD D3DCMP_NEVER = 1, D3DCMP_LESS = 2, D3DCMP_EQUAL = 3, D3DCMP_LESSEQUAL = 4, D3DCMP_GREATER = 5,
                       D3DCMP_NOTEQUAL = 6, D3DCMP_GREATEREQUAL = 7, D3DCMP_ALWAYS = 8;
inline constexpr DWORD D3DBLEND_ZERO = 1, D3DBLEND_ONE = 2, D3DBLEND_SRCCOLOR = 3, D3DBLEND_INVSRCCOLOR = 4,
                       D3DBLEND_SRCALPHA = 5, D3DBLEND_INVSRCALPHA = 6, D3DBLEND_DESTALPHA = 7,
                       D3DBLEND_INVDESTALPHA = 8, D3DBLEND_DESTCOLOR = 9, D3DBLEND_INVDESTCOLOR = 10,
                       D3DBLEND_SRCALPHASAT = 11, D3DBLEND_BOTHSRCALPHA = 12, D3DBLEND_BOTHINVSRCALPHA = 13;
inline constexpr DWORD D3DBLENDOP_ADD = 1, D3DBLENDOP_SUBTRACT = 2, D3DBLENDOP_REVSUBTRACT = 3, D3DBLENDOP_MIN = 4,
                       D3DBLENDOP_MAX = 5;
inline constexpr DWORD D3DSTENCILOP_KEEP = 1, D3DSTENCILOP_ZERO = 2, D3DSTENCILOP_REPLACE = 3, D3DSTENCILOP_INCRSAT = 4,
                       D3DSTENCILOP_DECRSAT = 5, D3DSTENCILOP_INVERT = 6, D3DSTENCILOP_INCR = 7, D3DSTENCILOP_DECR = 8;
inline constexpr DWORD D3DFOG_NONE = 0, D3DFOG_EXP = 1, D3DFOG_EXP2 = 2, D3DFOG_LINEAR = 3;
inline constexpr DWORD D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2;

// Transforms.
using D3DTRANSFORMSTATETYPE = DWORD;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_VIEW = 2;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_PROJECTION = 3;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_TEXTURE0 = 16;
inline constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLD = 256;
constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLDMATRIX(unsigned index) { return 256 + index; }

// Texture stage states (D3DTSS_*).
using D3DTEXTURESTAGESTATETYPE = DWORD;
inline constexpr DWORD D3DTSS_COLOROP = 1, D3DTSS_COLORARG1 = 2, D3DTSS_COLORARG2 = 3, D3DTSS_ALPHAOP = 4,
                       D3DTSS_ALPHAARG1 = 5, D3DTSS_ALPHAARG2 = 6, D3DTSS_BUMPENVMAT00 = 7, D3DTSS_BUMPENVMAT01 = 8,
                       D3DTSS_BUMPENVMAT10 = 9, D3DTSS_BUMPENVMAT11 = 10, D3DTSS_TEXCOORDINDEX = 11,
                       D3DTSS_BUMPENVLSCALE = 22, D3DTSS_BUMPENVLOFFSET = 23, D3DTSS_TEXTURETRANSFORMFLAGS = 24,
                       D3DTSS_COLORARG0 = 26, D3DTSS_ALPHAARG0 = 27, D3DTSS_RESULTARG = 28, D3DTSS_CONSTANT = 32;
inline constexpr DWORD kTextureStageStateCount = 33;
inline constexpr DWORD D3DTOP_DISABLE = 1, D3DTOP_SELECTARG1 = 2, D3DTOP_SELECTARG2 = 3, D3DTOP_MODULATE = 4;
inline constexpr DWORD D3DTA_DIFFUSE = 0, D3DTA_CURRENT = 1, D3DTA_TEXTURE = 2, D3DTA_TFACTOR = 3;
inline constexpr DWORD D3DTTFF_DISABLE = 0;

// Sampler states (D3DSAMP_*).
using D3DSAMPLERSTATETYPE = DWORD;
inline constexpr DWORD D3DSAMP_ADDRESSU = 1, D3DSAMP_ADDRESSV = 2, D3DSAMP_ADDRESSW = 3, D3DSAMP_BORDERCOLOR = 4,
                       D3DSAMP_MAGFILTER = 5, D3DSAMP_MINFILTER = 6, D3DSAMP_MIPFILTER = 7, D3DSAMP_MIPMAPLODBIAS = 8,
                       D3DSAMP_MAXMIPLEVEL = 9, D3DSAMP_MAXANISOTROPY = 10, D3DSAMP_SRGBTEXTURE = 11;
inline constexpr DWORD kSamplerStateCount = 12;
inline constexpr DWORD D3DTADDRESS_WRAP = 1, D3DTADDRESS_MIRROR = 2, D3DTADDRESS_CLAMP = 3, D3DTADDRESS_BORDER = 4,
                       D3DTADDRESS_MIRRORONCE = 5;
inline constexpr DWORD D3DTEXF_NONE = 0, D3DTEXF_POINT = 1, D3DTEXF_LINEAR = 2, D3DTEXF_ANISOTROPIC = 3;

inline constexpr DWORD kMaxTextureStages = 8;
inline constexpr DWORD kMaxSamplers = 16;

// ---- Geometry and fixed-function lighting -----------------------------------
// Vertex and index buffers, vertex declarations, primitives, lights,
// materials and the texture-stage values beyond the defaults above.

inline constexpr DWORD D3DTOP_MODULATE2X = 5, D3DTOP_MODULATE4X = 6, D3DTOP_ADD = 7, D3DTOP_ADDSIGNED = 8,
                       D3DTOP_ADDSIGNED2X = 9, D3DTOP_SUBTRACT = 10, D3DTOP_ADDSMOOTH = 11,
                       D3DTOP_BLENDDIFFUSEALPHA = 12, D3DTOP_BLENDTEXTUREALPHA = 13, D3DTOP_BLENDFACTORALPHA = 14,
                       D3DTOP_BLENDTEXTUREALPHAPM = 15, D3DTOP_BLENDCURRENTALPHA = 16, D3DTOP_PREMODULATE = 17,
                       D3DTOP_MODULATEALPHA_ADDCOLOR = 18, D3DTOP_MODULATECOLOR_ADDALPHA = 19,
                       D3DTOP_MODULATEINVALPHA_ADDCOLOR = 20, D3DTOP_MODULATEINVCOLOR_ADDALPHA = 21,
                       D3DTOP_BUMPENVMAP = 22, D3DTOP_BUMPENVMAPLUMINANCE = 23, D3DTOP_DOTPRODUCT3 = 24,
                       D3DTOP_MULTIPLYADD = 25, D3DTOP_LERP = 26;
inline constexpr DWORD D3DTA_SPECULAR = 4, D3DTA_TEMP = 5, D3DTA_CONSTANT = 6, D3DTA_SELECTMASK = 0xF,
                       D3DTA_COMPLEMENT = 0x10, D3DTA_ALPHAREPLICATE = 0x20;
inline constexpr DWORD D3DTSS_TCI_PASSTHRU = 0x00000, D3DTSS_TCI_CAMERASPACENORMAL = 0x10000,
                       D3DTSS_TCI_CAMERASPACEPOSITION = 0x20000, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR = 0x30000,
                       D3DTSS_TCI_SPHEREMAP = 0x40000;
inline constexpr DWORD D3DTTFF_COUNT1 = 1, D3DTTFF_COUNT2 = 2, D3DTTFF_COUNT3 = 3, D3DTTFF_COUNT4 = 4,
                       D3DTTFF_PROJECTED = 0x100;

inline constexpr DWORD D3DCLIPPLANE0 = 0x1;
inline constexpr DWORD kMaxClipPlanes = 6;
inline constexpr DWORD kMaxActiveLights = 8;

using D3DPRIMITIVETYPE = DWORD;
inline constexpr D3DPRIMITIVETYPE D3DPT_POINTLIST = 1, D3DPT_LINELIST = 2, D3DPT_LINESTRIP = 3, D3DPT_TRIANGLELIST = 4,
                                  D3DPT_TRIANGLESTRIP = 5, D3DPT_TRIANGLEFAN = 6;

struct D3DVERTEXELEMENT9 {
  WORD Stream;
  WORD Offset;
  BYTE Type;
  BYTE Method;
  BYTE Usage;
  BYTE UsageIndex;
};

inline constexpr BYTE D3DDECLTYPE_FLOAT1 = 0, D3DDECLTYPE_FLOAT2 = 1, D3DDECLTYPE_FLOAT3 = 2, D3DDECLTYPE_FLOAT4 = 3,
                      D3DDECLTYPE_D3DCOLOR = 4, D3DDECLTYPE_UBYTE4 = 5, D3DDECLTYPE_UNUSED = 17;
inline constexpr BYTE D3DDECLMETHOD_DEFAULT = 0;
inline constexpr BYTE D3DDECLUSAGE_POSITION = 0, D3DDECLUSAGE_BLENDWEIGHT = 1, D3DDECLUSAGE_BLENDINDICES = 2,
                      D3DDECLUSAGE_NORMAL = 3, D3DDECLUSAGE_PSIZE = 4, D3DDECLUSAGE_TEXCOORD = 5,
                      D3DDECLUSAGE_TANGENT = 6, D3DDECLUSAGE_BINORMAL = 7, D3DDECLUSAGE_TESSFACTOR = 8,
                      D3DDECLUSAGE_POSITIONT = 9, D3DDECLUSAGE_COLOR = 10, D3DDECLUSAGE_FOG = 11,
                      D3DDECLUSAGE_DEPTH = 12, D3DDECLUSAGE_SAMPLE = 13;
constexpr D3DVERTEXELEMENT9 D3DDECL_END() { return {0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0}; }

struct D3DVERTEXBUFFER_DESC {
  D3DFORMAT Format;  // D3DFMT_VERTEXDATA
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  UINT Size;
  DWORD FVF;
};

struct D3DINDEXBUFFER_DESC {
  D3DFORMAT Format;  // D3DFMT_INDEX16 or D3DFMT_INDEX32
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  UINT Size;
};

inline constexpr D3DFORMAT D3DFMT_VERTEXDATA = 100;

struct D3DCOLORVALUE {
  float r, g, b, a;
};

struct D3DVECTOR {
  float x, y, z;
};

using D3DLIGHTTYPE = DWORD;
inline constexpr D3DLIGHTTYPE D3DLIGHT_POINT = 1, D3DLIGHT_SPOT = 2, D3DLIGHT_DIRECTIONAL = 3;

struct D3DLIGHT9 {
  D3DLIGHTTYPE Type;
  D3DCOLORVALUE Diffuse;
  D3DCOLORVALUE Specular;
  D3DCOLORVALUE Ambient;
  D3DVECTOR Position;
  D3DVECTOR Direction;
  float Range;
  float Falloff;
  float Attenuation0;
  float Attenuation1;
  float Attenuation2;
  float Theta;
  float Phi;
};

struct D3DMATERIAL9 {
  D3DCOLORVALUE Diffuse;
  D3DCOLORVALUE Ambient;
  D3DCOLORVALUE Specular;
  D3DCOLORVALUE Emissive;
  float Power;
};
// ---- end of geometry and fixed-function lighting ----------------------------
