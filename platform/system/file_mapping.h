// Named shared memory in Win32 terms, for keeping one instance of the game:
// a named mapping is a file "<name>.lock" of the mapping's size in
// $XDG_RUNTIME_DIR, or, without one, in the folder /tmp/tessaline-<uid>
// (made with mode 0700, and used only while it is a real folder of this
// user that nobody else may enter). The file is opened without following a
// link, must be a regular file of this user, and is kept at mode 0600.
//
// Win32 tells the creator of a named mapping from later openers; here the
// creator is whoever holds an exclusive lock on the file, taken when the
// mapping is made and held until its handle is closed. A process that ends,
// however it ends, lets go of its lock, so a killed first instance blocks no
// later start. The file itself stays: removing it could let two processes
// lock two different files of the same name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win32_types.h"

struct KernelObject;
using HANDLE = KernelObject*;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

inline constexpr DWORD PAGE_READONLY = 0x02;
inline constexpr DWORD PAGE_READWRITE = 0x04;
inline constexpr DWORD FILE_MAP_WRITE = 0x0002;
inline constexpr DWORD FILE_MAP_READ = 0x0004;

inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;

inline constexpr std::uint64_t kMaxFileMappingSize = 1 << 20;

// Only mappings of the paging file (file INVALID_HANDLE_VALUE) with a name
// exist here, of 1 byte to kMaxFileMappingSize. Returns the handle with the
// last error 0 for the creator (the lock holder, whose file is cut or
// grown to the size) and ERROR_ALREADY_EXISTS for a later opener (the file
// grown to the size when shorter). Null with ERROR_INVALID_NAME for a
// missing name, one with a '/', "." or "..", or another file;
// ERROR_NOT_ENOUGH_MEMORY for a size out of range; ERROR_ACCESS_DENIED when
// the folder or the file may not be used (a link, not a regular file,
// another user's) or the system refuses.
HANDLE CreateFileMappingA(HANDLE file, void* security, DWORD protect, DWORD sizeHigh, DWORD sizeLow, const char* name);
// Maps `bytes` (0: the whole mapping) from offset 0 of the mapping, shared
// with every process that maps the same name. Null when the handle is not a
// mapping, the offset is not 0 or `bytes` exceeds the mapping.
void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, std::size_t bytes);
BOOL UnmapViewOfFile(const void* view);
// Closes a mapping handle; its creator's lock goes with it. A view stays
// valid until it is unmapped.
BOOL CloseHandle(HANDLE handle);

// The file a mapping of this name lives in (not checked), for tests and
// messages.
std::string fileMappingPath(const char* name);
