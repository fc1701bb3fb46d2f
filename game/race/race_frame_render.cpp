// The race's picture: each view from its camera into its part of the back
// buffer, with the flash overlay of its kart, then the GUI over the whole
// screen, presented.
#include "foundation/profiler.h"
#include "game/kart/vehicle_master.h"
#include "game/race/race.h"
#include "render/render_pipeline.h"
#include "scene/scene.h"

namespace {

// The flash fades out over its last seconds.
constexpr float kFlashFade = 2.0f;

void showFlashOverlay(RaceDisplays& hud, int view, Vehicle* kart) {
  VehicleMaster* master = kart ? kart->getMaster() : nullptr;
  const float t = master ? master->m_status.throttleLock : 0.0f;
  if (t == 0.0f) {
    hud.showOverlay(view, false);
    return;
  }
  hud.showOverlay(view, true);
  if (t > kFlashFade) {
    hud.setOverlayColour(view, 1.0f, 1.0f, 1.0f, 1.0f);
  } else {
    hud.setOverlayColour(view, 0.0f, 0.0f, 0.0f, t * 0.5f);
  }
}

DWORD clearFlags(const RenderPipeline& pipeline) {
  DWORD flags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
  if (pipeline.stencilAvailable) flags |= D3DCLEAR_STENCIL;
  return flags;
}

}  // namespace

SceneItem* Race::viewCamera(int view) const {
  if (!m_scene || view < 0 || view >= kMaxViews) return nullptr;
  // The rear and finish views look through the kart's own camera.
  const int mode = m_cameraMode[view];
  const long index = mode == kCameraRear || mode == kCameraFinish ? static_cast<long>(m_viewKart[view]) + 2 : view;
  if (index < 0 || index >= static_cast<long>(m_scene->cameras.size())) return nullptr;
  return m_scene->cameras[static_cast<std::size_t>(index)].get();
}

void Race::renderViews(InputDevice& input) {
  ProfileScope frameTimed(GameCounter::kCompleteRenderTime);
  RenderPipeline* pipeline = m_renderContext;
  IDirect3DDevice9* device = pipeline ? pipeline->currentDevice : nullptr;
  if (device) {
    pipeline->restoreBackBuffer();
    ProfileScope timed(GameCounter::kClear);
    device->Clear(0, nullptr, clearFlags(*pipeline), 0, 1.0f, 0);
  }
  if (device) device->BeginScene();
  for (int view = 0; view < m_viewCount; ++view) {
    const int k = m_viewKart[view];
    Vehicle* kart = k >= 0 && k < kMaxKarts ? m_karts[k] : nullptr;
    if (m_hud) showFlashOverlay(*m_hud, view, kart);
    updateCamera(view, input);
    SceneItem* camera = viewCamera(view);
    // The explosion and smoke parts of every kart face this view's camera.
    for (Vehicle* each : m_karts) {
      if (!each) continue;
      for (SceneItem* part : each->m_items.explosionParts) {
        if (part) part->target = camera;
      }
      for (SceneItem* puff : each->m_items.smoke) {
        if (puff) puff->target = camera;
      }
    }
    if (!device || !camera) continue;
    pipeline->setViewport(pipeline->viewportX, pipeline->viewportY, pipeline->targetWidth, pipeline->targetHeight, 0.0f,
                          1.0f);
    m_scene->renderPass(m_simTime, camera);
  }
  if (device) {
    pipeline->setViewport(0, 0, pipeline->requestedWidth, pipeline->requestedHeight, 0.0f, 1.0f);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTexture(1, nullptr);
  }
  if (m_hud) m_hud->activateSheet();
  if (m_gui) m_gui->render();
  if (device) {
    device->EndScene();
    ProfileScope timed(GameCounter::kPresent);
    device->Present(nullptr, nullptr, nullptr, nullptr);
  }
}
