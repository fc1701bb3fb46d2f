#include "platform/gui/gui_damage.h"

#include <CEGUI/GUIContext.h>
#include <CEGUI/GeometryBuffer.h>
#include <CEGUI/GlobalEventSet.h>
#include <CEGUI/InputEvent.h>
#include <CEGUI/MouseCursor.h>
#include <CEGUI/RenderEffect.h>
#include <CEGUI/System.h>
#include <CEGUI/Window.h>
#include <CEGUI/WindowManager.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// Announced changes kept between two frames at most; more (a GUI that is
// changed but never drawn) and the next frame simply draws everything.
constexpr std::size_t kMaxChanged = 4096;

// A pixel edge held to 0..limit; NaN gives 0.
int pixelEdge(float v, int limit) {
  if (!(v > 0.0f)) return 0;
  if (v >= static_cast<float>(limit)) return limit;
  return static_cast<int>(v);
}

bool byAddress(const CEGUI::Window* a, const CEGUI::Window* b) { return std::less<const CEGUI::Window*>()(a, b); }

}  // namespace

// CEGUI draws a geometry buffer once per pass of its effect: none while the
// gate is closed.
class GuiDamage::Gate final : public CEGUI::RenderEffect {
 public:
  bool open = true;
  int getPassCount() const override { return open ? 1 : 0; }
  void performPreRenderFunctions(const int) override {}
  void performPostRenderFunctions() override {}
  bool realiseGeometry(CEGUI::RenderingWindow&, CEGUI::GeometryBuffer&) override { return true; }
  bool update(const float, CEGUI::RenderingWindow&) override { return false; }
};

GuiDamage::GuiDamage() = default;

GuiDamage::~GuiDamage() { forget(); }

void GuiDamage::setDisplaySize(int width, int height) {
  m_width = std::max(width, 0);
  m_height = std::max(height, 0);
  m_columns = (m_width + kTile - 1) / kTile;
  m_rows = (m_height + kTile - 1) / kTile;
  const std::size_t tiles = static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows);
  m_damaged.assign(tiles, 0);
  m_content.assign(tiles, 0);
  m_damagedSpans.clear();
  m_contentSpans.clear();
  m_contentEverywhere = true;
  m_everything = true;
}

void GuiDamage::watch() {
  CEGUI::System* system = CEGUI::System::getSingletonPtr();
  if (system == m_watched) return;
  forget();
  m_watched = system;
  m_everything = true;
  if (!system) return;
  CEGUI::GlobalEventSet& events = CEGUI::GlobalEventSet::getSingleton();
  const CEGUI::String prefix = CEGUI::Window::EventNamespace + "/";
  // Moves and resizes are found by comparing places; but CEGUI does not
  // call the picture outdated for a move, so a frame must be drawn.
  for (const CEGUI::String* space : {&CEGUI::Window::EventNamespace, &CEGUI::Element::EventNamespace})
    for (const CEGUI::String* name : {&CEGUI::Element::EventMoved, &CEGUI::Element::EventSized})
      m_connections.push_back(events.subscribeEvent(*space + "/" + *name, [this](const CEGUI::EventArgs&) {
        m_moved = true;
        return false;
      }));
  // A window whose look changed where it stands.
  for (const CEGUI::String* name : {&CEGUI::Window::EventInvalidated, &CEGUI::Window::EventAlphaChanged})
    m_connections.push_back(events.subscribeEvent(prefix + *name, [this](const CEGUI::EventArgs& args) {
      if (m_changed.size() >= kMaxChanged) {
        m_changed.clear();
        m_everything = true;
      }
      m_changed.insert(static_cast<const CEGUI::WindowEventArgs&>(args).window);
      return false;
    }));
  // Changes of order or of what exists: the whole picture again. A window's
  // address may be taken again by the next one made.
  for (const CEGUI::String* name : {&CEGUI::Window::EventZOrderChanged, &CEGUI::Window::EventRotated})
    m_connections.push_back(events.subscribeEvent(prefix + *name, [this](const CEGUI::EventArgs&) {
      m_everything = true;
      return false;
    }));
  m_connections.push_back(
      events.subscribeEvent(prefix + CEGUI::Window::EventDestructionStarted, [this](const CEGUI::EventArgs& args) {
        m_everything = true;
        m_gates.erase(static_cast<const CEGUI::WindowEventArgs&>(args).window);
        return false;
      }));
}

void GuiDamage::forget() {
  // The connections outlive their events safely: an event that goes
  // detaches its slots, and disconnecting a detached slot does nothing.
  if (CEGUI::GlobalEventSet::getSingletonPtr())
    for (CEGUI::Event::Connection& c : m_connections) c->disconnect();
  m_connections.clear();
  // Windows that live on keep no pointer to a gate that goes.
  CEGUI::WindowManager* windows = CEGUI::WindowManager::getSingletonPtr();
  for (auto& [window, gate] : m_gates) {
    if (!gate || !windows || !windows->isAlive(window)) continue;
    CEGUI::GeometryBuffer& geometry = const_cast<CEGUI::Window*>(window)->getGeometryBuffer();
    if (geometry.getRenderEffect() == gate.get()) geometry.setRenderEffect(nullptr);
  }
  m_gates.clear();
  m_shown.clear();
  m_watched = nullptr;
  m_changed.clear();
  m_moved = false;
}

void GuiDamage::walk(CEGUI::Window* window, std::vector<Shown>& out) {
  if (!window->isVisible()) return;
  if (window->getRenderingSurface() || window->getRotation() != CEGUI::Quaternion::IDENTITY) m_unfollowable = true;
  const CEGUI::Rectf& clipper = window->getOuterRectClipper();
  if (clipper.getWidth() > 0.0f && clipper.getHeight() > 0.0f)
    out.push_back({window, clipper, window->getEffectiveAlpha()});
  // Children not clipped by their parent may lie outside it.
  for (std::size_t i = 0; i < window->getChildCount(); ++i) walk(window->getChildAtIdx(i), out);
}

GuiDamage::TileRange GuiDamage::tilesOf(const CEGUI::Rectf& rect) const {
  // A pixel more on each side: the clipper's edges are rounded to whole
  // pixels when they become the scissor.
  const int x0 = pixelEdge(std::floor(rect.left()) - 1.0f, m_width);
  const int y0 = pixelEdge(std::floor(rect.top()) - 1.0f, m_height);
  const int x1 = pixelEdge(std::ceil(rect.right()) + 1.0f, m_width);
  const int y1 = pixelEdge(std::ceil(rect.bottom()) + 1.0f, m_height);
  if (x1 <= x0 || y1 <= y0) return {};
  return {x0 / kTile, y0 / kTile, (x1 - 1) / kTile, (y1 - 1) / kTile};
}

void GuiDamage::mark(std::vector<std::uint8_t>& tiles, const CEGUI::Rectf& rect) const {
  const TileRange r = tilesOf(rect);
  for (int row = r.row0; row <= r.row1; ++row)
    for (int column = r.column0; column <= r.column1; ++column)
      tiles[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) + static_cast<std::size_t>(column)] = 1;
}

bool GuiDamage::touches(const std::vector<std::uint8_t>& tiles, const CEGUI::Rectf& rect) const {
  const TileRange r = tilesOf(rect);
  for (int row = r.row0; row <= r.row1; ++row)
    for (int column = r.column0; column <= r.column1; ++column)
      if (tiles[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) + static_cast<std::size_t>(column)])
        return true;
  return false;
}

void GuiDamage::setGates(bool all) {
  for (const Shown& s : m_now) {
    auto [it, made] = m_gates.try_emplace(s.window);
    if (made) {
      // A window whose geometry has an effect of its own is always drawn.
      CEGUI::GeometryBuffer& geometry = s.window->getGeometryBuffer();
      if (!geometry.getRenderEffect()) {
        it->second = std::make_unique<Gate>();
        geometry.setRenderEffect(it->second.get());
      }
    }
    if (it->second) it->second->open = all || touches(m_damaged, s.clipper);
  }
}

std::vector<GuiDamage::Span> GuiDamage::spans(const std::vector<std::uint8_t>& tiles) const {
  std::vector<Span> out;
  std::vector<std::size_t> open, stillOpen;  // spans that reach down to the row
  for (int row = 0; row < m_rows; ++row) {
    stillOpen.clear();
    const std::uint8_t* line = tiles.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns);
    for (int column = 0; column < m_columns;) {
      if (!line[column]) {
        ++column;
        continue;
      }
      int end = column;
      while (end < m_columns && line[end]) ++end;
      Span s{column * kTile, row * kTile, std::min(end * kTile, m_width) - column * kTile,
             std::min((row + 1) * kTile, m_height) - row * kTile};
      // The same columns as a span of the row above: that span grows down.
      auto above = std::find_if(open.begin(), open.end(),
                                [&](std::size_t i) { return out[i].x == s.x && out[i].width == s.width; });
      if (above != open.end()) {
        out[*above].height += s.height;
        stillOpen.push_back(*above);
      } else {
        out.push_back(s);
        stillOpen.push_back(out.size() - 1);
      }
      column = end;
    }
    open.swap(stillOpen);
  }
  return out;
}

GuiDamage::Redraw GuiDamage::collect(CEGUI::GUIContext& context) {
  watch();
  std::fill(m_damaged.begin(), m_damaged.end(), 0);
  m_damagedSpans.clear();
  m_now.clear();
  m_unfollowable = false;
  CEGUI::Window* root = context.getRootWindow();
  if (root) walk(root, m_now);
  std::sort(m_now.begin(), m_now.end(), [](const Shown& a, const Shown& b) { return byAddress(a.window, b.window); });
  const bool cursor = context.getMouseCursor().isVisible();
  bool everything = m_everything || m_unfollowable || root != m_root || cursor || m_cursorShown || m_columns == 0;
  bool nothing = false;
  m_everything = false;
  if (!everything) {
    // Both lists are sorted by address: one pass pairs them.
    std::size_t i = 0, j = 0;
    while (i < m_shown.size() || j < m_now.size()) {
      if (j == m_now.size() || (i < m_shown.size() && byAddress(m_shown[i].window, m_now[j].window))) {
        mark(m_damaged, m_shown[i++].clipper);  // gone
      } else if (i == m_shown.size() || byAddress(m_now[j].window, m_shown[i].window)) {
        mark(m_damaged, m_now[j++].clipper);  // new
      } else {
        const Shown &before = m_shown[i++], &now = m_now[j++];
        if (before.clipper != now.clipper || before.alpha != now.alpha) {
          mark(m_damaged, before.clipper);
          mark(m_damaged, now.clipper);
        } else if (m_changed.count(now.window)) {
          mark(m_damaged, now.clipper);
        }
      }
    }
    const auto damaged = static_cast<std::size_t>(std::count(m_damaged.begin(), m_damaged.end(), 1));
    // Nothing found: a change this cannot see if the context calls the
    // picture outdated, else only hidden windows moved. Most of the
    // picture: drawing all of it costs no more.
    nothing = damaged == 0 && !context.isDirty();
    everything = (damaged == 0 && !nothing) || damaged * 2 > m_damaged.size();
  }
  m_changed.clear();
  m_moved = false;
  if (nothing) {
    m_now.clear();
    return Redraw::kNothing;
  }
  if (!everything) m_damagedSpans = spans(m_damaged);
  setGates(everything);
  return everything ? Redraw::kWhole : Redraw::kChangedParts;
}

void GuiDamage::drawn(CEGUI::GUIContext& context) {
  std::fill(m_content.begin(), m_content.end(), 0);
  const bool cursor = context.getMouseCursor().isVisible();
  m_contentEverywhere = m_unfollowable || cursor || m_columns == 0;
  for (const Shown& s : m_now) {
    if (s.window->getGeometryBuffer().getVertexCount() > 0) mark(m_content, s.clipper);
    // Whoever draws the GUI next without asking first draws all of it.
    auto gate = m_gates.find(s.window);
    if (gate != m_gates.end() && gate->second) gate->second->open = true;
  }
  m_contentSpans = spans(m_content);
  m_shown.swap(m_now);
  m_now.clear();
  m_root = context.getRootWindow();
  m_cursorShown = cursor;
}
