// The in-memory firewall list and per-thread COM start-up.
#include "platform/system/firewall.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace {

struct State {
  std::mutex mutex;
  bool available = true;
  bool exceptionsNotAllowed = false;
  bool addFails = false;
  std::vector<firewall_standin::Entry> entries;
};

State& state() {
  static State s;
  return s;
}

thread_local int t_comCount = 0;
thread_local DWORD t_comMode = 0;

}  // namespace

HRESULT CoInitializeEx(void*, DWORD flags) {
  const DWORD mode = flags & COINIT_APARTMENTTHREADED;
  if (t_comCount > 0) {
    if (mode != t_comMode) return RPC_E_CHANGED_MODE;
    ++t_comCount;
    return S_FALSE;
  }
  t_comMode = mode;
  t_comCount = 1;
  return S_OK;
}

void CoUninitialize() {
  if (t_comCount > 0) --t_comCount;
}

DWORD GetModuleFileNameW(std::nullptr_t, wchar_t* buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) {
    buffer[0] = 0;
    return 0;
  }
  path[n] = 0;
  std::mbstate_t mb{};
  const char* src = path;
  std::size_t count = std::mbsrtowcs(buffer, &src, size - 1, &mb);
  if (count == static_cast<std::size_t>(-1)) count = 0;
  buffer[count] = 0;
  return static_cast<DWORD>(count);
}

HRESULT FirewallProfile::addApplication(const std::wstring& path, const std::wstring& name) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (s.addFails) return E_FAIL;
  if (path.empty()) return E_INVALIDARG;
  for (auto& e : s.entries)
    if (e.path == path) {
      e.name = name;
      e.enabled = true;
      return S_OK;
    }
  s.entries.push_back({path, name, true});
  return S_OK;
}

HRESULT FirewallProfile::removeApplication(const std::wstring& path) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  auto it = std::find_if(s.entries.begin(), s.entries.end(), [&](const auto& e) { return e.path == path; });
  if (it == s.entries.end()) return HRESULT_FILE_NOT_FOUND;
  s.entries.erase(it);
  return S_OK;
}

HRESULT FirewallProfile::item(const std::wstring& path, bool* enabled) const {
  State& s = state();
  std::lock_guard lock(s.mutex);
  for (const auto& e : s.entries)
    if (e.path == path) {
      if (enabled) *enabled = e.enabled;
      return S_OK;
    }
  return HRESULT_FILE_NOT_FOUND;
}

HRESULT FirewallProfile::exceptionsNotAllowed(bool* notAllowed) const {
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (!notAllowed) return E_INVALIDARG;
  *notAllowed = s.exceptionsNotAllowed;
  return S_OK;
}

HRESULT getFirewallProfile(std::unique_ptr<FirewallProfile>* profile) {
  if (!profile) return E_INVALIDARG;
  profile->reset();
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (!s.available) return REGDB_E_CLASSNOTREG;
  *profile = std::make_unique<FirewallProfile>();
  return S_OK;
}

namespace firewall_standin {

void reset() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  s.available = true;
  s.exceptionsNotAllowed = false;
  s.addFails = false;
  s.entries.clear();
}

void setAvailable(bool available) {
  std::lock_guard lock(state().mutex);
  state().available = available;
}

void setExceptionsNotAllowed(bool notAllowed) {
  std::lock_guard lock(state().mutex);
  state().exceptionsNotAllowed = notAllowed;
}

void setAddFails(bool fails) {
  std::lock_guard lock(state().mutex);
  state().addFails = fails;
}

void setEnabled(const std::wstring& path, bool enabled) {
  std::lock_guard lock(state().mutex);
  for (auto& e : state().entries)
    if (e.path == path) e.enabled = enabled;
}

std::vector<Entry> entries() {
  std::lock_guard lock(state().mutex);
  return state().entries;
}

}  // namespace firewall_standin
