#include "gui/screen_host.h"

#include "foundation/file.h"
#include "foundation/report.h"

bool readWholeFile(File& files, const char* name, std::string& out, int maxBytes) {
  out.clear();
  if (!files.open(name)) return false;
  const int size = files.size();
  bool ok = size >= 0 && size <= maxBytes;
  if (!ok) {
    reportRefusal("\"%s\": %d bytes, more than the %d it may have; it is not read", name, size, maxBytes);
  } else if (size > 0) {
    out.resize(static_cast<std::size_t>(size));
    ok = files.read(out.data(), size) == size;
    if (!ok) reportRefusal("\"%s\" could not be read whole; it is not read", name);
  }
  files.close();
  if (!ok) out.clear();
  return ok;
}
