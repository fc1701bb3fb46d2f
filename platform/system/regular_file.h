// Opening a file for reading only when it is a regular file. Whatever else
// can stand at a path (a folder, a device such as /dev/zero, a named pipe,
// a link to one of them) would throw, read for ever or wait for a writer
// in a reader that expects a file.
#pragma once

// The descriptor of `path` opened for reading, its size in `size`; -1 when
// it cannot be opened or is no regular file. Opening never waits. The
// caller closes the descriptor.
int openRegularFile(const char* path, long long* size);
