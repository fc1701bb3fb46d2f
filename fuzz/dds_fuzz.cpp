// Feeds arbitrary bytes to the ".dds" reader: the image information, then a
// texture made from them on the recording device: at the file's size,
// format and levels; at its size with the whole chain (levels the file
// lacks are filtered); and converted to a small plain-colour texture,
// touching every level it made.
#include <cstdint>

#include "platform/graphics/d3d9_recording.h"
#include "platform/graphics/d3dx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static IDirect3DDevice9* device = [] {
    IDirect3D9* d3d = new RecordingDirect3D9({FakeAdapter{}}, nullptr);
    D3DPRESENT_PARAMETERS p{};
    p.Windowed = 1;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    IDirect3DDevice9* created = nullptr;
    d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &p, &created);
    d3d->Release();
    return created;
  }();
  D3DXIMAGE_INFO info{};
  D3DXGetImageInfoFromFileInMemory(data, static_cast<UINT>(size), &info);
  const struct {
    UINT width, height, levels;
    D3DFORMAT format;
  } requests[] = {{D3DX_FROM_FILE, D3DX_FROM_FILE, D3DX_FROM_FILE, D3DFMT_UNKNOWN},
                  {D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN},
                  {8, 8, 0, D3DFMT_A8R8G8B8}};
  for (const auto& r : requests) {
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileInMemoryEx(device, data, static_cast<UINT>(size), r.width, r.height, r.levels,
                                                   0, r.format, D3DPOOL_SCRATCH, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                                   nullptr, &texture)))
      continue;
    std::uint32_t sum = 0;
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
      D3DLOCKED_RECT locked{};
      if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) continue;
      sum += static_cast<const std::uint8_t*>(locked.pBits)[0];
      texture->UnlockRect(level);
    }
    volatile std::uint32_t sink = sum;
    (void)sink;
    texture->Release();
  }
  return 0;
}
