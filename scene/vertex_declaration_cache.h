// The vertex declaration of an immediate-mode draw in the frame loop (a
// screen quad, a flare element), made once per device instead of once per
// draw. Its owner releases it with its other device objects when the device
// is lost; the next draw makes it again.
#pragma once

#include <utility>
#include <vector>

#include "platform/graphics/d3d9.h"

class VertexDeclarationCache {
 public:
  // The declaration of `elements` for this device, made at the first call
  // for it; null when the device refuses the elements. One cache serves one
  // layout.
  IDirect3DVertexDeclaration9* get(IDirect3DDevice9* device, const D3DVERTEXELEMENT9* elements);
  void release() { m_made.clear(); }

 private:
  // One entry per device (two in full-screen stereo at most).
  std::vector<std::pair<IDirect3DDevice9*, ComPtr<IDirect3DVertexDeclaration9>>> m_made;
};
