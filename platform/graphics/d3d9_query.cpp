// The occlusion query's Direct3D behaviour: BEGIN/END pairing, one counting
// query per device, GetData's size checks and its lost-device answer.
#include "platform/graphics/d3d9_query.h"

#include <cstring>

#include "platform/graphics/d3d9_device_base.h"

OcclusionQuery::~OcclusionQuery() {
  if (m_host->counting == this) m_host->counting = nullptr;
}

HRESULT OcclusionQuery::Issue(DWORD flags) {
  if (flags == D3DISSUE_BEGIN) {
    if (!m_host->alive) return D3DERR_INVALIDCALL;
    if (m_host->counting && m_host->counting != this) return D3DERR_INVALIDCALL;
    if (m_state == State::Counting) stopCounting();  // begins afresh
    m_host->counting = nullptr;
    if (!startCounting()) {
      m_state = State::Fresh;
      return D3DERR_INVALIDCALL;
    }
    m_host->counting = this;
    m_state = State::Counting;
    return D3D_OK;
  }
  if (flags == D3DISSUE_END) {
    if (m_state != State::Counting) return D3DERR_INVALIDCALL;
    stopCounting();
    m_host->counting = nullptr;
    m_state = State::Issued;
    return D3D_OK;
  }
  return D3DERR_INVALIDCALL;
}

HRESULT OcclusionQuery::GetData(void* data, DWORD size, DWORD flags) {
  if (size != 0 && (!data || size < sizeof(DWORD))) return D3DERR_INVALIDCALL;
  if (!m_host->alive) return D3DERR_INVALIDCALL;
  if (m_host->deviceLost && m_host->deviceLost()) return D3DERR_DEVICELOST;
  if (m_state != State::Issued) return D3DERR_INVALIDCALL;
  DWORD samples = 0;
  if (!result((flags & D3DGETDATA_FLUSH) != 0, &samples)) return S_FALSE;
  if (size != 0) std::memcpy(data, &samples, sizeof samples);
  return S_OK;
}

HRESULT DeviceBase::CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) {
  if (type != D3DQUERYTYPE_OCCLUSION) return D3DERR_NOTAVAILABLE;
  if (!query) return D3D_OK;
  *query = makeOcclusionQuery(m_queries.host());
  return *query ? D3D_OK : D3DERR_NOTAVAILABLE;
}
