#include "scene/debug_lines.h"

#include <vector>

#include "render/render_pipeline.h"

namespace {

struct LineVertex {
  float x, y, z;
  std::uint32_t colour;
};

constexpr D3DVERTEXELEMENT9 kLineElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    D3DDECL_END(),
};

D3DCOLORVALUE colourValue(std::uint32_t c) {
  return {static_cast<float>((c >> 16) & 0xFF) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
          static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>(c >> 24) / 255.0f};
}

}  // namespace

void drawDebugLines(RenderPipeline& pipeline, const Matrix4x3& world, const Position3* points, int count,
                    std::uint32_t colour) {
  IDirect3DDevice9* device = pipeline.currentDevice;
  if (!device || count <= 0) return;
  std::vector<LineVertex> vertices(static_cast<std::size_t>(count) * 2);
  for (std::size_t i = 0; i < vertices.size(); ++i) vertices[i] = {points[i].x, points[i].y, points[i].z, colour};

  // Both the device's transform and the pipeline's copy are given back:
  // whoever set them may not have gone through the pipeline.
  D3DMATRIX savedDevice{};
  device->GetTransform(D3DTS_WORLD, &savedDevice);
  const Matrix4x3 savedTable = pipeline.constantTable ? pipeline.constantTable->world : g_identityMatrix;
  pipeline.setWorldMatrix(world);
  // Lit, the material gives the lines their colour; unlit, their vertices
  // do: both are the line colour, so scene lights cannot tint them.
  const D3DCOLORVALUE c = colourValue(colour);
  const D3DMATERIAL9 material{c, c, c, c, 0.0f};
  device->SetMaterial(&material);
  DWORD lighting = 0;
  device->GetRenderState(D3DRS_LIGHTING, &lighting);
  device->SetRenderState(D3DRS_LIGHTING, 0);
  device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
  device->SetRenderState(D3DRS_SPECULARENABLE, 0);
  ComPtr<IDirect3DVertexDeclaration9> declaration;
  device->CreateVertexDeclaration(kLineElements, declaration.put());
  device->SetVertexDeclaration(declaration.get());
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetTexture(0, nullptr);
  device->DrawPrimitiveUP(D3DPT_LINELIST, static_cast<UINT>(count), vertices.data(), sizeof(LineVertex));
  device->SetRenderState(D3DRS_LIGHTING, lighting);
  pipeline.setWorldMatrix(savedTable);
  device->SetTransform(D3DTS_WORLD, &savedDevice);
}
