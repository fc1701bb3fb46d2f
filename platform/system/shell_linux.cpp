// Web links go to xdg-open, started directly.
#include "platform/system/shell.h"

#include <spawn.h>
#include <strings.h>
#include <sys/types.h>

#include <cstring>

extern char** environ;

namespace {

HINSTANCE result(int value) { return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(value)); }

}  // namespace

bool isOpenableWebLink(const char* file) {
  if (!file) return false;
  if (::strncasecmp(file, "http://", 7) != 0 && ::strncasecmp(file, "https://", 8) != 0) return false;
  for (const char* p = file; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

HINSTANCE ShellExecuteA(HWND, const char* verb, const char* file, const char*, const char*, int) {
  if (verb && std::strcmp(verb, "open") != 0) return result(SE_ERR_NOASSOC);
  if (!isOpenableWebLink(file)) return result(SE_ERR_ACCESSDENIED);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return result(SE_ERR_FNF);
  // The opener (a browser, often) may outlive us: it must not keep our
  // sockets, lock files or display connections.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  char program[] = "xdg-open";
  char* const argv[] = {program, const_cast<char*>(file), nullptr};
  pid_t child = 0;
  const int error = posix_spawnp(&child, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  return result(error == 0 ? 42 : SE_ERR_FNF);
}
