// What one draw costs on the OpenGL device: 2,000 draws a frame of a lit,
// textured, fogged 200-triangle mesh, cycling through eight textures and
// four materials with a world matrix of its own per draw. Prints, with the
// device's GL state shadow on and switched off in the same run: wall time
// per draw over whole frames (Present included, so the rasteriser's share is
// in it), the drawing thread's CPU time per draw while it submits (our code
// and the driver's front end; a software rasteriser's own threads are not in
// it), and GL calls per draw. The two modes alternate in blocks of frames so
// that a noisy moment on the machine falls on both alike. Then the same
// frames again with the draw path's GL calls discarded before they reach
// GL: the submit time left is our code's alone (device checks, state
// comparison, uniform values, the shadow).
//
//   draw_cost_bench [frames] [grid]   frames per mode (default 300); the
//                                     mesh is grid x grid quads (default
//                                     10: 200 triangles). Run under xvfb-run
//                                     (or with a display).
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/graphics/d3d9.h"
#include "platform/graphics/d3d9_gl_draw.h"
#include "platform/graphics/d3d9_state.h"
#include "platform/graphics/gl_draw_functions.h"
#include "platform/window/window.h"

namespace {

constexpr int kDrawsPerFrame = 2000;
constexpr int kTextures = 8;
constexpr int kMaterials = 4;
int g_grid = 10;            // g_grid x g_grid quads a mesh: 200 triangles by default
constexpr int kBlock = 50;  // frames per mode before switching

struct Vertex {
  float x, y, z;
  float nx, ny, nz;
  float u, v;
};

const D3DVERTEXELEMENT9 kElements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                       {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                       {0, 24, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                       D3DDECL_END()};

LRESULT quietProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

D3DMATRIX perspective(float fovY, float aspect, float zn, float zf) {
  D3DMATRIX m{};
  const float y = 1.0f / std::tan(fovY / 2.0f);
  m.m[0][0] = y / aspect;
  m.m[1][1] = y;
  m.m[2][2] = zf / (zf - zn);
  m.m[2][3] = 1.0f;
  m.m[3][2] = -zn * zf / (zf - zn);
  return m;
}

struct Totals {
  double wallSeconds = 0, submitCpuSeconds = 0;
  std::uint64_t calls = 0;
  long draws = 0;
};

class Scene {
 public:
  bool create() {
    resetWindowSystem();
    WNDCLASSA wc{};
    wc.lpfnWndProc = quietProc;
    wc.lpszClassName = "DrawCostBench";
    if (!RegisterClassA(&wc)) return false;
    m_window = CreateWindowExA(0, "DrawCostBench", "draw cost", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                               nullptr, nullptr);
    if (!m_window) return false;
    ShowWindow(m_window, SW_SHOW);
    m_d3d = ComPtr<IDirect3D9>(Direct3DCreate9(D3D_SDK_VERSION));
    if (!m_d3d) return false;
    D3DPRESENT_PARAMETERS p{};
    p.Windowed = 1;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferWidth = 640;
    p.BackBufferHeight = 480;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = m_window;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D24S8;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, m_window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, m_device.put()) !=
        D3D_OK)
      return false;
    return makeMesh() && makeTextures() && setStates();
  }

  void frame(Totals* totals) {
    IDirect3DDevice9* d = m_device.get();
    const auto start = std::chrono::steady_clock::now();
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF405060, 1.0f, 0);
    d->BeginScene();
    d->SetTransform(D3DTS_VIEW, &m_view);
    d->SetTransform(D3DTS_PROJECTION, &m_projection);
    d->SetVertexDeclaration(m_declaration.get());
    d->SetStreamSource(0, m_vertices.get(), 0, sizeof(Vertex));
    d->SetIndices(m_indices.get());
    const std::uint64_t calls = glCallCount();
    const double cpu = threadSeconds();
    for (int i = 0; i < kDrawsPerFrame; ++i) {
      d->SetTexture(0, m_textures[i % kTextures].get());
      d->SetMaterial(&m_materials[i % kMaterials]);
      d->SetTransform(D3DTS_WORLD, &m_worlds[i]);
      d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, (g_grid + 1) * (g_grid + 1), 0, 2 * g_grid * g_grid);
    }
    totals->submitCpuSeconds += threadSeconds() - cpu;
    totals->calls += glCallCount() - calls;
    d->EndScene();
    d->Present(nullptr, nullptr, nullptr, nullptr);
    totals->wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    totals->draws += kDrawsPerFrame;
  }

  void destroy() {
    for (auto& t : m_textures) t.reset();
    m_vertices.reset();
    m_indices.reset();
    m_declaration.reset();
    m_device.reset();
    m_d3d.reset();
    resetWindowSystem();
  }

 private:
  bool makeMesh() {
    std::vector<Vertex> vertices;
    for (int y = 0; y <= g_grid; ++y)
      for (int x = 0; x <= g_grid; ++x) {
        const float fx = static_cast<float>(x) / g_grid, fy = static_cast<float>(y) / g_grid;
        // A gently curved patch, so the normals differ across it.
        const float z = 0.1f * std::sin(3.0f * fx) * std::cos(3.0f * fy);
        vertices.push_back({fx - 0.5f, fy - 0.5f, z, 0.3f * (fx - 0.5f), 0.3f * (fy - 0.5f), -1.0f, fx, fy});
      }
    std::vector<WORD> indices;
    for (int y = 0; y < g_grid; ++y)
      for (int x = 0; x < g_grid; ++x) {
        const auto a = static_cast<WORD>(y * (g_grid + 1) + x), b = static_cast<WORD>(a + 1);
        const auto c = static_cast<WORD>(a + g_grid + 1), e = static_cast<WORD>(c + 1);
        for (WORD i : {a, c, b, b, c, e}) indices.push_back(i);
      }
    const auto vbytes = static_cast<UINT>(vertices.size() * sizeof(Vertex));
    const auto ibytes = static_cast<UINT>(indices.size() * sizeof(WORD));
    void* data = nullptr;
    if (m_device->CreateVertexBuffer(vbytes, 0, 0, D3DPOOL_MANAGED, m_vertices.put(), nullptr) != D3D_OK ||
        m_vertices->Lock(0, 0, &data, 0) != D3D_OK)
      return false;
    std::memcpy(data, vertices.data(), vbytes);
    m_vertices->Unlock();
    if (m_device->CreateIndexBuffer(ibytes, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, m_indices.put(), nullptr) != D3D_OK ||
        m_indices->Lock(0, 0, &data, 0) != D3D_OK)
      return false;
    std::memcpy(data, indices.data(), ibytes);
    m_indices->Unlock();
    return m_device->CreateVertexDeclaration(kElements, m_declaration.put()) == D3D_OK;
  }

  bool makeTextures() {
    for (int t = 0; t < kTextures; ++t) {
      if (m_device->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, m_textures[t].put(), nullptr) !=
          D3D_OK)
        return false;
      D3DLOCKED_RECT locked{};
      if (m_textures[t]->LockRect(0, &locked, nullptr, 0) != D3D_OK) return false;
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
          const bool check = ((x / 8) + (y / 8) + t) % 2 == 0;
          reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] =
              check ? 0xFF000000u | (0x202020u * static_cast<unsigned>(t + 1)) : 0xFFE0C080u;
        }
      m_textures[t]->UnlockRect(0);
    }
    return true;
  }

  bool setStates() {
    IDirect3DDevice9* d = m_device.get();
    for (int m = 0; m < kMaterials; ++m) {
      D3DMATERIAL9& mat = m_materials[m];
      mat = {};
      const float k = 0.4f + 0.15f * static_cast<float>(m);
      mat.Diffuse = {k, 1.0f - k * 0.5f, 0.5f, 1.0f};
      mat.Ambient = mat.Diffuse;
      mat.Specular = {0.2f, 0.2f, 0.2f, 1.0f};
      mat.Power = 8.0f;
    }
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 0.9f, 1.0f};
    light.Direction = {0.3f, -0.5f, 0.8f};
    d->SetLight(0, &light);
    d->LightEnable(0, 1);
    d->SetRenderState(D3DRS_LIGHTING, 1);
    d->SetRenderState(D3DRS_AMBIENT, 0xFF303030);
    d->SetRenderState(D3DRS_FOGENABLE, 1);
    d->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    d->SetRenderState(D3DRS_FOGCOLOR, 0xFF405060);
    d->SetRenderState(D3DRS_FOGSTART, floatBits(10.0f));
    d->SetRenderState(D3DRS_FOGEND, floatBits(60.0f));
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    // 2,000 patches in a 50 x 40 field receding from the camera.
    m_view = identityMatrix();
    m_view.m[3][1] = -2.0f;
    m_projection = perspective(1.0f, 640.0f / 480.0f, 0.5f, 100.0f);
    m_worlds.resize(kDrawsPerFrame);
    for (int i = 0; i < kDrawsPerFrame; ++i) {
      D3DMATRIX& w = m_worlds[i];
      w = identityMatrix();
      const float angle = 0.1f * static_cast<float>(i % 17);
      w.m[0][0] = std::cos(angle);
      w.m[0][2] = std::sin(angle);
      w.m[2][0] = -std::sin(angle);
      w.m[2][2] = std::cos(angle);
      w.m[3][0] = 1.2f * static_cast<float>(i % 50 - 25);
      w.m[3][2] = 4.0f + 1.2f * static_cast<float>(i / 50);
    }
    return true;
  }

  HWND m_window = nullptr;
  ComPtr<IDirect3D9> m_d3d;
  ComPtr<IDirect3DDevice9> m_device;
  ComPtr<IDirect3DVertexBuffer9> m_vertices;
  ComPtr<IDirect3DIndexBuffer9> m_indices;
  ComPtr<IDirect3DVertexDeclaration9> m_declaration;
  ComPtr<IDirect3DTexture9> m_textures[kTextures];
  D3DMATERIAL9 m_materials[kMaterials];
  D3DMATRIX m_view{}, m_projection{};
  std::vector<D3DMATRIX> m_worlds;
};

void print(const char* name, const Totals& t) {
  const double draws = static_cast<double>(t.draws);
  std::printf("%-22s %9.2f us/draw wall  %7.2f us/draw submit CPU  %6.2f GL calls/draw\n", name,
              1e6 * t.wallSeconds / draws, 1e6 * t.submitCpuSeconds / draws, static_cast<double>(t.calls) / draws);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
  if (argc > 2) g_grid = std::clamp(std::atoi(argv[2]), 1, 100);
  setGlCallCounting(true);  // before the device's first draw loads its GL table
  Scene scene;
  if (!scene.create()) {
    std::fprintf(stderr, "no OpenGL device: run under xvfb-run\n");
    return 1;
  }
  // Warm-up: programs compiled, buffers and textures sent.
  Totals ignored;
  for (bool on : {true, false}) {
    setGlStateShadowing(on);
    for (int f = 0; f < 10; ++f) scene.frame(&ignored);
  }
  auto compare = [&](Totals* on, Totals* off) {
    for (int done = 0; done < frames; done += kBlock) {
      const int n = std::min(kBlock, frames - done);
      setGlStateShadowing(true);
      for (int f = 0; f < n; ++f) scene.frame(on);
      setGlStateShadowing(false);
      for (int f = 0; f < n; ++f) scene.frame(off);
    }
    setGlStateShadowing(true);
  };
  Totals shadowed, unshadowed, ownShadowed, ownUnshadowed;
  compare(&shadowed, &unshadowed);
  setGlCallsDiscarded(true);
  compare(&ownShadowed, &ownUnshadowed);
  setGlCallsDiscarded(false);

  std::printf("%d draws/frame of %d triangles, %d frames per mode\n", kDrawsPerFrame, 2 * g_grid * g_grid, frames);
  print("state shadow on", shadowed);
  print("state shadow off", unshadowed);
  std::printf("ratio (off / on)       %9.2f wall              %7.2f submit CPU\n",
              unshadowed.wallSeconds / shadowed.wallSeconds, unshadowed.submitCpuSeconds / shadowed.submitCpuSeconds);
  std::printf("our code alone (GL calls discarded), submit CPU per draw:\n");
  const double on = 1e6 * ownShadowed.submitCpuSeconds / static_cast<double>(ownShadowed.draws);
  const double off = 1e6 * ownUnshadowed.submitCpuSeconds / static_cast<double>(ownUnshadowed.draws);
  std::printf("  shadow on %.3f us, off %.3f us, ratio %.2f\n", on, off, off / on);
  scene.destroy();
  return 0;
}
