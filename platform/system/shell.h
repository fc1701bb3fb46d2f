// Opening a document with the desktop, in Win32 terms. Only web links are
// handed on: anything else could start a program or read a local file on
// behalf of whatever wrote the link.
#pragma once

#include <cstdint>

#include "platform/window/window.h"

inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_NOASSOC = 31;

// Opens `file` when the verb is null or "open" and `file` is an "http://" or
// "https://" link (scheme in any case) without control characters: starts
// "xdg-open" from the PATH with the link as its one argument (no shell, no
// other descriptor than the three standard ones, not waited for). Returns a
// value above 32 once it started; SE_ERR_NOASSOC for another verb,
// SE_ERR_ACCESSDENIED for a file that is not such a link, SE_ERR_FNF when
// xdg-open cannot be started. Parameters, folder and show command are not
// used.
HINSTANCE ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters, const char* directory,
                        int showCommand);

// The value ShellExecuteA returned, as the number Win32 callers compare.
inline int shellExecuteResult(HINSTANCE result) { return static_cast<int>(reinterpret_cast<std::intptr_t>(result)); }

// Whether ShellExecuteA would hand this file on.
bool isOpenableWebLink(const char* file);
