// Adding and removing the firewall exception, with the status lines the
// game prints on standard output.
#include "net/firewall.h"

#include <cstdio>
#include <memory>
#include <string>

#include "platform/system/firewall.h"

namespace {

struct FirewallRun {
  std::wstring path;  // the exit step removes this same path
  HRESULT comResult = E_FAIL;
  bool comStarted = false;
};

FirewallRun g_run;

void say(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

std::unique_ptr<FirewallProfile> currentProfile() {
  std::unique_ptr<FirewallProfile> profile;
  if (FAILED(getFirewallProfile(&profile))) return nullptr;
  return profile;
}

bool isAuthorized(const FirewallProfile& profile, const std::wstring& path) {
  bool enabled = false;
  return SUCCEEDED(profile.item(path, &enabled)) && enabled;
}

HRESULT addApplication(FirewallProfile& profile, const std::wstring& path, const wchar_t* name) {
  // An empty name cannot be allocated as a string for the firewall.
  if (!name || !*name) return E_OUTOFMEMORY;
  return profile.addApplication(path, name);
}

HRESULT removeApplication(FirewallProfile& profile, const std::wstring& path) {
  return profile.removeApplication(path);
}

}  // namespace

bool checkFirewallException(const wchar_t* path) {
  auto profile = currentProfile();
  if (!profile) return true;
  if (!isAuthorized(*profile, path ? path : L"")) {
    say("Application is not enabled in the Firewall. You will not be able host games or join a peer-to-peer "
        "game. Depending on the game, you may be able to join.\n");
    return false;
  }
  bool notAllowed = false;
  if (SUCCEEDED(profile->exceptionsNotAllowed(&notAllowed)) && notAllowed) {
    say("Firewall is on with no exceptions. You will not be able host games or join a peer-to-peer game. "
        "Depending on the game, you may be able to join.\n");
    return false;
  }
  return true;
}

int addFirewallException(const wchar_t* name) {
  g_run.comResult = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  g_run.comStarted = SUCCEEDED(g_run.comResult);
  if (FAILED(g_run.comResult) && g_run.comResult != RPC_E_CHANGED_MODE) {
    std::printf("Failed to init COM: 0x%08lx\n",
                static_cast<unsigned long>(static_cast<std::uint32_t>(g_run.comResult)));
    std::fflush(stdout);
    return 0;
  }
  wchar_t path[261];
  GetModuleFileNameW(nullptr, path, 261);
  g_run.path = path;

  say("First scenario during install process:\n");
  say("Add the application to the exception (aka authorized) list.\n");
  say("Note: change the source in this sample to match your game executable name.\n");
  auto profile = currentProfile();
  if (profile && SUCCEEDED(addApplication(*profile, g_run.path, name)))
    say("Success!\n");
  else
    say("Could not add app to the exception list. If we're running on an OS older than XPSP2 this is normal.\n");

  say("\nSecond scenario when launching multiplayer:\n");
  say("Check Firewall state to ensure the app is still ready to go.\n");
  say(checkFirewallException(g_run.path.c_str()) ? "Success!\n" : "Failed!\n");
  return 0;
}

int removeFirewallException() {
  say("\nLast scenario during uninstall process:\n");
  say("Remove the application from the exception list.\n");
  auto profile = currentProfile();
  if (profile && SUCCEEDED(removeApplication(*profile, g_run.path)))
    say("Success!\n");
  else
    say("Failed to remove app from to the exception list. \n");
  if (g_run.comStarted) CoUninitialize();
  g_run.comStarted = false;
  return 0;
}
