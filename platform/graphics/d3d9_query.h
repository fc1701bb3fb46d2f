// Internal to platform/: the occlusion query's state machine, shared by both
// device implementations. A backend supplies the counting and the result.
#pragma once

#include <functional>
#include <memory>

#include "platform/graphics/d3d9.h"

// Which query of a device counts now (one at a time), shared by the device
// and its queries so that a query may outlive its device.
struct QueryHost {
  bool alive = true;
  IDirect3DQuery9* counting = nullptr;
  std::function<bool()> deviceLost;  // set by the device; not called once !alive
};

// Held by the device: makes the host and marks it dead when the device goes.
class QueryHostHandle {
 public:
  explicit QueryHostHandle(std::function<bool()> deviceLost) : m_host(std::make_shared<QueryHost>()) {
    m_host->deviceLost = std::move(deviceLost);
  }
  QueryHostHandle(const QueryHostHandle&) = delete;
  QueryHostHandle& operator=(const QueryHostHandle&) = delete;
  ~QueryHostHandle() { m_host->alive = false; }
  const std::shared_ptr<QueryHost>& host() const { return m_host; }

 private:
  std::shared_ptr<QueryHost> m_host;
};

class OcclusionQuery : public IDirect3DQuery9 {
 public:
  explicit OcclusionQuery(std::shared_ptr<QueryHost> host) : m_host(std::move(host)) {}
  ~OcclusionQuery() override;

  D3DQUERYTYPE GetType() override { return D3DQUERYTYPE_OCCLUSION; }
  DWORD GetDataSize() override { return sizeof(DWORD); }
  HRESULT Issue(DWORD flags) override;
  HRESULT GetData(void* data, DWORD size, DWORD flags) override;

 protected:
  // Counting starts or stops; false refuses the start.
  virtual bool startCounting() = 0;
  virtual void stopCounting() = 0;
  // The count once the device has it; false while it is not ready. `flush`
  // sends pending work on first. Never waits.
  virtual bool result(bool flush, DWORD* samples) = 0;
  const std::shared_ptr<QueryHost>& host() const { return m_host; }

 private:
  enum class State { Fresh, Counting, Issued };
  std::shared_ptr<QueryHost> m_host;
  State m_state = State::Fresh;
};
