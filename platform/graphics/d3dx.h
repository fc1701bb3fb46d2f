// Our stand-in for the D3DX helpers the engine calls: ".dds" files read from
// memory and written from a texture, format conversion with resampling, box
// filtered mip levels and DXT1/3/5 blocks. Written from the file and block
// layouts; works on any device of platform/d3d9.h (textures keep their levels
// in memory in the Direct3D format).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics/d3d9.h"

inline constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;
inline constexpr UINT D3DX_DEFAULT_NONPOW2 = 0xFFFFFFFEu;
inline constexpr UINT D3DX_FROM_FILE = 0xFFFFFFFDu;
inline constexpr D3DFORMAT D3DFMT_FROM_FILE = 0xFFFFFFFDu;

inline constexpr DWORD D3DX_FILTER_NONE = 1;
inline constexpr DWORD D3DX_FILTER_POINT = 2;
inline constexpr DWORD D3DX_FILTER_LINEAR = 3;
inline constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
inline constexpr DWORD D3DX_FILTER_BOX = 5;
inline constexpr DWORD D3DX_FILTER_MIRROR_U = 0x10000;
inline constexpr DWORD D3DX_FILTER_MIRROR_V = 0x20000;
inline constexpr DWORD D3DX_FILTER_DITHER = 0x80000;

using D3DXIMAGE_FILEFORMAT = DWORD;
inline constexpr D3DXIMAGE_FILEFORMAT D3DXIFF_BMP = 0;
inline constexpr D3DXIMAGE_FILEFORMAT D3DXIFF_JPG = 1;
inline constexpr D3DXIMAGE_FILEFORMAT D3DXIFF_DDS = 4;

// MAKE_HRESULT(1, 0x876, 2905): the data is not a file we read.
inline constexpr HRESULT D3DXERR_INVALIDDATA = static_cast<HRESULT>(0x88760B59u);

struct D3DXIMAGE_INFO {
  UINT Width;
  UINT Height;
  UINT Depth;
  UINT MipLevels;
  D3DFORMAT Format;
  D3DRESOURCETYPE ResourceType;
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// ".dds" files only (plain 2D textures, uncompressed formats and DXT1-5);
// other data is D3DXERR_INVALIDDATA.
HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info);

// Width/height 0 or D3DX_DEFAULT: the picture's size rounded up to powers of
// two, then limited to the device's maximum; D3DX_DEFAULT_NONPOW2 and
// D3DX_FROM_FILE keep it (limited alike); an explicit size beyond the
// device's maximum is D3DERR_INVALIDCALL. MipLevels 0 or D3DX_DEFAULT: the full chain;
// D3DX_FROM_FILE: the file's. Format D3DFMT_UNKNOWN or D3DFMT_FROM_FILE: the
// file's. A size or format differing from the file's is resampled and
// converted level by level from the file's own levels; only the levels the
// file lacks are box filtered. Conversion and filtering go a few rows at a
// time: beyond the texture, a call takes memory for a few rows only.
// Palettes are not supported (must be null).
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* sourceInfo, void* palette, IDirect3DTexture9** texture);

// D3DXIFF_DDS only: the texture's own format and every level.
HRESULT D3DXSaveTextureToFileA(const char* path, D3DXIMAGE_FILEFORMAT fileFormat, IDirect3DBaseTexture9* texture,
                               const void* palette);

// Converts and resamples; null rectangles are whole surfaces. Compressed
// destinations take whole surfaces only. Colour key 0 is off.
HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* destination, const void* destinationPalette,
                                   const RECT* destinationRect, IDirect3DSurface9* source, const void* sourcePalette,
                                   const RECT* sourceRect, DWORD filter, D3DCOLOR colorKey);

// Rebuilds every level below `sourceLevel` (D3DX_DEFAULT: 0) from the level
// above it with a 2x2 box (2x1 or 1x2 once an axis is 1; odd sizes repeat the
// last row or column).
HRESULT D3DXFilterTexture(IDirect3DBaseTexture9* texture, const void* palette, UINT sourceLevel, DWORD filter);

// ---- Fonts ----
// Glyphs come from DejaVu Sans (Bold from weight 600), which stands in for
// any face name; they are rasterised with FreeType into an A8R8G8B8 atlas
// (a managed texture) and drawn through the device as pretransformed,
// alpha-blended quads. The device's states are restored after each draw.

inline constexpr DWORD DT_TOP = 0x0;
inline constexpr DWORD DT_LEFT = 0x0;
inline constexpr DWORD DT_CENTER = 0x1;
inline constexpr DWORD DT_RIGHT = 0x2;
inline constexpr DWORD DT_VCENTER = 0x4;
inline constexpr DWORD DT_BOTTOM = 0x8;
inline constexpr DWORD DT_SINGLELINE = 0x20;
inline constexpr DWORD DT_NOCLIP = 0x100;
inline constexpr DWORD DT_CALCRECT = 0x400;

inline constexpr DWORD FW_NORMAL = 400;
inline constexpr DWORD FW_BOLD = 700;
inline constexpr DWORD DEFAULT_CHARSET = 1;
inline constexpr DWORD OUT_DEFAULT_PRECIS = 0;
inline constexpr DWORD NONANTIALIASED_QUALITY = 3;
inline constexpr DWORD ANTIALIASED_QUALITY = 4;
inline constexpr DWORD DEFAULT_PITCH = 0;

struct D3DXFONT_DESCA {
  int Height;
  UINT Width;
  UINT Weight;
  UINT MipLevels;
  BOOL Italic;
  BYTE CharSet;
  BYTE OutputPrecision;
  BYTE Quality;
  BYTE PitchAndFamily;
  char FaceName[32];
};

class ID3DXSprite;  // not provided: fonts draw on their own

class ID3DXFont : public D3DUnknown {
 public:
  virtual HRESULT GetDescA(D3DXFONT_DESCA* desc) = 0;
  // Text is Latin-1, `count` bytes or (-1) up to its terminator; '\n' starts
  // a new line unless DT_SINGLELINE. Lines are laid out in `rect` by the
  // DT_ flags, clipped to it unless DT_NOCLIP; with DT_CALCRECT nothing is
  // drawn and rect's right and bottom are set to fit the text. Returns the
  // height of the text (from rect's top when centred or at the bottom), or
  // 0 when nothing could be laid out. `sprite` must be null.
  virtual int DrawTextA(ID3DXSprite* sprite, const char* text, int count, RECT* rect, DWORD format, D3DCOLOR color) = 0;
  // Around a device Reset. Between the two, DrawText draws nothing.
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};

// Height > 0: the cell height in pixels (ascent plus descent); < 0: the
// character height (the em size); 0: 16. Width is ignored (the face's own
// proportions); mip levels, character set, precision and pitch do not
// change the glyphs. Quality NONANTIALIASED_QUALITY gives hard-edged glyphs.
HRESULT D3DXCreateFontA(IDirect3DDevice9* device, int height, UINT width, UINT weight, UINT mipLevels, BOOL italic,
                        DWORD charSet, DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName,
                        ID3DXFont** font);

// ---- Helpers beyond D3DX, shared by the calls above and the OpenGL device ----

// A texel as four floats 0..1 (r, g, b, a).
struct Texel {
  float r = 0.0f, g = 0.0f, b = 0.0f, a = 1.0f;
};

// Decodes DXT1-5 blocks of a width x height level into 0xAARRGGBB texels,
// top row first. False when `size` is too small or the format is not DXT.
bool decodeDxt(D3DFORMAT format, const std::uint8_t* blocks, std::size_t size, UINT width, UINT height,
               std::uint32_t* argb);
// Encodes width x height 0xAARRGGBB texels as DXT1, DXT3 or DXT5 blocks into
// `out` (levelBytes of the format). DXT1 uses its transparent texel for
// alpha below 128; colour blocks of DXT3/5 always keep c0 > c1.
bool encodeDxt(D3DFORMAT format, const std::uint32_t* argb, UINT width, UINT height, std::uint8_t* out);

// Reads a level (rows `pitch` bytes apart) of any texture format into texels;
// false for formats without a texel layout.
bool unpackTexels(D3DFORMAT format, const std::uint8_t* bits, std::size_t pitch, UINT width, UINT height, Texel* out);
// Writes texels into a level of any texture format (compressed formats:
// the whole level).
bool packTexels(D3DFORMAT format, const Texel* in, UINT width, UINT height, std::uint8_t* bits, std::size_t pitch);

// A ".dds" file in memory.
struct DdsImage {
  UINT width = 0, height = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  std::vector<std::vector<std::uint8_t>> levels;  // largest first, rows packed
};
// The same read in place: the levels where they lie in the file's bytes.
struct DdsView {
  UINT width = 0, height = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  std::vector<std::span<const std::uint8_t>> levels;
};
// False (with the reason) for anything but a complete 2D texture we know,
// no side above 8192; a file whose later levels are cut short keeps the
// complete ones.
bool viewDds(const std::uint8_t* data, std::size_t size, DdsView* dds, std::string* error);
bool parseDds(const std::uint8_t* data, std::size_t size, DdsImage* image, std::string* error);
std::vector<std::uint8_t> writeDds(const DdsImage& image);
