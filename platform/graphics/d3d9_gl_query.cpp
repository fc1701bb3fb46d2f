// Occlusion queries on GL query objects. GL counts the samples that pass
// the depth and stencil tests, as Direct3D does; the result is only read
// once GL says it is available, so GetData never waits.
#include "platform/graphics/d3d9_gl_query.h"

namespace {

struct QueryFunctions {
  PFNGLGENQUERIESPROC GenQueries = nullptr;
  PFNGLDELETEQUERIESPROC DeleteQueries = nullptr;
  PFNGLBEGINQUERYPROC BeginQuery = nullptr;
  PFNGLENDQUERYPROC EndQuery = nullptr;
  PFNGLGETQUERYOBJECTUIVPROC GetQueryObjectuiv = nullptr;

  bool load() {
    GenQueries = reinterpret_cast<PFNGLGENQUERIESPROC>(SDL_GL_GetProcAddress("glGenQueries"));
    DeleteQueries = reinterpret_cast<PFNGLDELETEQUERIESPROC>(SDL_GL_GetProcAddress("glDeleteQueries"));
    BeginQuery = reinterpret_cast<PFNGLBEGINQUERYPROC>(SDL_GL_GetProcAddress("glBeginQuery"));
    EndQuery = reinterpret_cast<PFNGLENDQUERYPROC>(SDL_GL_GetProcAddress("glEndQuery"));
    GetQueryObjectuiv = reinterpret_cast<PFNGLGETQUERYOBJECTUIVPROC>(SDL_GL_GetProcAddress("glGetQueryObjectuiv"));
    return GenQueries && DeleteQueries && BeginQuery && EndQuery && GetQueryObjectuiv;
  }
};

class GlOcclusionQuery : public OcclusionQuery {
 public:
  GlOcclusionQuery(std::shared_ptr<QueryHost> host, std::shared_ptr<GlTextureHost> context, const QueryFunctions& gl,
                   GLuint name)
      : OcclusionQuery(std::move(host)), m_context(std::move(context)), m_gl(gl), m_name(name) {}

  ~GlOcclusionQuery() override {
    if (!m_context->makeCurrent()) return;  // the context took the name with it
    if (host()->counting == this) m_gl.EndQuery(GL_SAMPLES_PASSED);
    m_gl.DeleteQueries(1, &m_name);
  }

 protected:
  bool startCounting() override {
    if (!m_context->makeCurrent()) return false;
    m_gl.BeginQuery(GL_SAMPLES_PASSED, m_name);
    return true;
  }

  void stopCounting() override {
    if (m_context->makeCurrent()) m_gl.EndQuery(GL_SAMPLES_PASSED);
  }

  bool result(bool flush, DWORD* samples) override {
    if (!m_context->makeCurrent()) return false;
    GLuint available = 0;
    m_gl.GetQueryObjectuiv(m_name, GL_QUERY_RESULT_AVAILABLE, &available);
    if (!available && flush) {
      glFlush();
      m_gl.GetQueryObjectuiv(m_name, GL_QUERY_RESULT_AVAILABLE, &available);
    }
    if (!available) return false;
    GLuint count = 0;
    m_gl.GetQueryObjectuiv(m_name, GL_QUERY_RESULT, &count);
    *samples = count;
    return true;
  }

 private:
  std::shared_ptr<GlTextureHost> m_context;
  QueryFunctions m_gl;
  GLuint m_name;
};

}  // namespace

IDirect3DQuery9* makeGlOcclusionQuery(std::shared_ptr<QueryHost> host, std::shared_ptr<GlTextureHost> context) {
  if (!context->makeCurrent()) return nullptr;
  QueryFunctions gl;
  if (!gl.load()) return nullptr;
  GLuint name = 0;
  gl.GenQueries(1, &name);
  if (!name) return nullptr;
  return new GlOcclusionQuery(std::move(host), std::move(context), gl, name);
}
