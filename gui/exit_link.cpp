#include "gui/exit_link.h"

#include <cstdio>

#include "platform/system/shell.h"

std::string g_exitLink;

bool openExitLink(const std::string& link) {
  if (link.empty()) return false;
  // The link comes from a data file: it is never printed, since it may hold
  // anything a terminal would act on.
  if (link.find('\0') != std::string::npos || !isOpenableWebLink(link.c_str())) {
    std::fputs("Tessaline: the exit link was not opened: only http and https links are.\n", stderr);
    return false;
  }
  const int result = shellExecuteResult(ShellExecuteA(nullptr, "open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result > 32) return true;
  std::fputs("Tessaline: the exit link was not opened: xdg-open could not be started.\n", stderr);
  return false;
}
