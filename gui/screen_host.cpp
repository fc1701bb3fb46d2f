#include "gui/screen_host.h"

#include "foundation/file.h"

bool readWholeFile(File& files, const char* name, std::string& out, int maxBytes) {
  out.clear();
  if (!files.open(name)) return false;
  const int size = files.size();
  bool ok = size >= 0 && size <= maxBytes;
  if (ok && size > 0) {
    out.resize(static_cast<std::size_t>(size));
    ok = files.read(out.data(), size) == size;
  }
  files.close();
  if (!ok) out.clear();
  return ok;
}
