// The draw path's GL entry points and their counting wrappers.
#include "platform/graphics/gl_draw_functions.h"

#include <atomic>

namespace {

std::atomic<bool> g_counting{false};
std::atomic<bool> g_discarding{false};
std::atomic<std::uint64_t> g_calls{0};
// The real entry points behind counting tables. GL entry points do not
// depend on the context with SDL's loaders here, so one copy serves all.
GlDrawFunctions g_real;

template <auto Slot, typename F>
struct Counted;

template <auto Slot, typename R, typename... A>
struct Counted<Slot, R (*)(A...)> {
  static R call(A... arguments) {
    g_calls.fetch_add(1, std::memory_order_relaxed);
    if (g_discarding.load(std::memory_order_relaxed)) return R();
    return (g_real.*Slot)(arguments...);
  }
};

template <typename T>
bool loadProc(T* slot, const char* name) {
  *slot = reinterpret_cast<T>(SDL_GL_GetProcAddress(name));
  return *slot != nullptr;
}

}  // namespace

bool GlDrawFunctions::load() {
  bool ok = true;
#define TESSALINE_GL_LINKED(type, name) name = &::gl##name;
#define TESSALINE_GL_LOAD(type, name) ok = loadProc(&name, "gl" #name) && ok;
  TESSALINE_GL11_DRAW_FUNCTIONS(TESSALINE_GL_LINKED)
  TESSALINE_GL_LOADED_DRAW_FUNCTIONS(TESSALINE_GL_LOAD)
#undef TESSALINE_GL_LINKED
#undef TESSALINE_GL_LOAD
  if (!ok || !g_counting.load()) return ok;
  g_real = *this;
#define TESSALINE_GL_COUNTED(type, name) name = &Counted<&GlDrawFunctions::name, type>::call;
  TESSALINE_GL11_DRAW_FUNCTIONS(TESSALINE_GL_COUNTED)
  TESSALINE_GL_LOADED_DRAW_FUNCTIONS(TESSALINE_GL_COUNTED)
#undef TESSALINE_GL_COUNTED
  return true;
}

void setGlCallCounting(bool on) { g_counting.store(on); }

void setGlCallsDiscarded(bool on) { g_discarding.store(on); }

std::uint64_t glCallCount() { return g_calls.load(std::memory_order_relaxed); }
