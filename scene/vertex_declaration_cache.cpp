#include "scene/vertex_declaration_cache.h"

IDirect3DVertexDeclaration9* VertexDeclarationCache::get(IDirect3DDevice9* device, const D3DVERTEXELEMENT9* elements) {
  if (!device) return nullptr;
  for (auto& [owner, declaration] : m_made) {
    if (owner == device) return declaration.get();
  }
  ComPtr<IDirect3DVertexDeclaration9> made;
  if (FAILED(device->CreateVertexDeclaration(elements, made.put()))) return nullptr;
  m_made.emplace_back(device, std::move(made));
  return m_made.back().second.get();
}
