// What the program asks of the system about itself, in Win32 terms: its
// command line, its thread id, the user's language, the calling thread's
// last error, the two string helpers the entry point uses, and the start-up
// calls that have nothing to start here (COM for the common controls, the
// common controls themselves).
#pragma once

#include "platform/win32_types.h"

using LANGID = WORD;

// The language ids the game tells apart (primary language and its default
// sub-language).
inline constexpr LANGID kLangGerman = 0x0407;
inline constexpr LANGID kLangEnglishUs = 0x0409;
inline constexpr LANGID kLangFrench = 0x040C;
inline constexpr LANGID kLangItalian = 0x0410;
inline constexpr LANGID kLangSpanish = 0x0C0A;

// The process's arguments as one line, program path first, separated by
// blanks; an argument that is empty or holds a blank, tab or double quote
// is quoted as the Win32 command-line rules read it back. Read once from
// /proc/self/cmdline; the text lives as long as the process.
const char* GetCommandLineA();

// The calling thread's system-wide id.
DWORD GetCurrentThreadId();

// From the locale the user chose: LC_ALL, else LC_MESSAGES, else LANG (the
// first one set and not empty). "de..." gives German, "en..." English (US),
// "fr..." French, "es..." Spanish, "it..." Italian, anything else (or none,
// "C", "POSIX") English (US).
LANGID GetUserDefaultLangID();

// The calling thread's last error, as the calls that set it leave it.
DWORD GetLastError();
void SetLastError(DWORD error);

// Copies at most `length` - 1 characters and a terminator; returns
// `destination` (null when either pointer is null or `length` is below 1,
// and then nothing is written).
char* lstrcpynA(char* destination, const char* source, int length);
// Compares ignoring ASCII case: negative, 0 or positive. Null sorts first.
int lstrcmpiA(const char* a, const char* b);

// COM start-up for the common controls: nothing here needs it. S_OK.
HRESULT CoInitialize(void* reserved);

inline constexpr DWORD ICC_DATE_CLASSES = 0x100;
struct INITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
};
// The common controls are not used by anything that runs here: TRUE when
// the structure's size is right, FALSE otherwise.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
