// Stand-in for the Windows Firewall's list of authorized applications and
// the COM start-up it needs. Linux has no such list: this one lives in
// memory for the run, so the game's add-at-start and remove-at-exit (and
// their status lines) run and can be tested. Tests can make the firewall
// missing, forbid exceptions, or make adding fail.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32_types.h"

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
inline constexpr DWORD COINIT_DISABLE_OLE1DDE = 0x4;
inline constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT HRESULT_FILE_NOT_FOUND = static_cast<HRESULT>(0x80070002u);

// Per thread: the first call gives S_OK, later ones in the same mode
// S_FALSE (each needs a CoUninitialize), one in the other mode
// RPC_E_CHANGED_MODE.
HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();

// The executable's full path (from /proc/self/exe), as GetModuleFileNameW
// with no module gives it: characters copied, truncated to size - 1.
DWORD GetModuleFileNameW(std::nullptr_t module, wchar_t* buffer, DWORD size);

// The current firewall profile: its authorized applications and its
// "exceptions not allowed" switch.
class FirewallProfile {
 public:
  // Adds or replaces the entry for `path`, enabled.
  HRESULT addApplication(const std::wstring& path, const std::wstring& name);
  HRESULT removeApplication(const std::wstring& path);
  // HRESULT_FILE_NOT_FOUND when the path is not listed.
  HRESULT item(const std::wstring& path, bool* enabled) const;
  HRESULT exceptionsNotAllowed(bool* notAllowed) const;
};

// The firewall manager's local policy and current profile; fails with
// REGDB_E_CLASSNOTREG when the firewall is missing.
HRESULT getFirewallProfile(std::unique_ptr<FirewallProfile>* profile);

// Test controls of the stand-in.
namespace firewall_standin {
struct Entry {
  std::wstring path, name;
  bool enabled;
};
void reset();  // available, exceptions allowed, empty list
void setAvailable(bool available);
void setExceptionsNotAllowed(bool notAllowed);
void setAddFails(bool fails);
void setEnabled(const std::wstring& path, bool enabled);
std::vector<Entry> entries();
}  // namespace firewall_standin
