// Which parts of the GUI's picture a frame has to draw again, and which
// parts hold anything at all, on a grid of square tiles over the display.
// The GUI's layer keeps what it drew: when a few windows change (a digit of
// a running time, a marker on the minimap), only the tiles they covered
// before and cover now are cleared and drawn again, and only the tiles that
// hold something are laid over the frame.
//
// A window's pixels lie inside its outer clipper, so comparing the visible
// windows' clippers with those of the last drawn frame finds windows that
// moved, were resized, appeared or went; windows whose look changed in
// place announce it with CEGUI's "Invalidated" event. What this cannot
// follow (texture-backed windows, rotations, the mouse cursor, a new root,
// destroyed windows, a changed drawing order, a change nobody announced)
// has the whole picture drawn again. For a partial frame, windows that lie
// wholly outside the changed tiles are not even handed to GL: each visible
// window's geometry carries a gate (a render effect of no passes while
// closed).
#pragma once

#include <CEGUI/Event.h>
#include <CEGUI/Rect.h>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace CEGUI {
class GUIContext;
class System;
class Window;
}  // namespace CEGUI

class GuiDamage {
 public:
  static constexpr int kTile = 16;  // pixels

  // A rectangle of whole tiles in display pixels, y down from the top.
  struct Span {
    int x = 0, y = 0, width = 0, height = 0;
  };

  GuiDamage();
  ~GuiDamage();
  GuiDamage(const GuiDamage&) = delete;
  GuiDamage& operator=(const GuiDamage&) = delete;

  // A new grid: the next frame draws everything.
  void setDisplaySize(int width, int height);
  // The next frame draws everything.
  void invalidateAll() { m_everything = true; }

  // Whether a change was announced that the context does not call dirty:
  // a window moved, or one changed while the GUI was being drawn.
  bool pending() const { return m_everything || m_moved || !m_changed.empty(); }

  enum class Redraw { kNothing, kChangedParts, kWhole };
  // Before a frame is drawn: compares the visible windows with the last
  // drawn frame, and says what to draw again: nothing (only hidden windows
  // moved), damagedSpans(), or the whole picture.
  Redraw collect(CEGUI::GUIContext& context);
  // After the frame was drawn (not after kNothing): remembers it, and which
  // tiles hold anything.
  void drawn(CEGUI::GUIContext& context);

  const std::vector<Span>& damagedSpans() const { return m_damagedSpans; }
  // Null when anything may lie anywhere (the whole display is shown).
  const std::vector<Span>* contentSpans() const { return m_contentEverywhere ? nullptr : &m_contentSpans; }

 private:
  struct Shown {
    CEGUI::Window* window;
    CEGUI::Rectf clipper;
    float alpha;
  };
  class Gate;
  struct TileRange {
    int column0 = 0, row0 = 0, column1 = -1, row1 = -1;  // inclusive; empty when column1 < column0
  };

  void watch();
  void forget();
  void walk(CEGUI::Window* window, std::vector<Shown>& out);
  TileRange tilesOf(const CEGUI::Rectf& rect) const;
  void mark(std::vector<std::uint8_t>& tiles, const CEGUI::Rectf& rect) const;
  bool touches(const std::vector<std::uint8_t>& tiles, const CEGUI::Rectf& rect) const;
  std::vector<Span> spans(const std::vector<std::uint8_t>& tiles) const;
  // Opens the gates of the windows that touch the damage, closes the rest;
  // with `all`, opens every gate.
  void setGates(bool all);

  int m_width = 0, m_height = 0, m_columns = 0, m_rows = 0;
  bool m_everything = true;
  bool m_contentEverywhere = true;
  bool m_unfollowable = false;  // the last walk met what this cannot follow
  const CEGUI::Window* m_root = nullptr;
  bool m_cursorShown = false;
  bool m_moved = false;
  std::vector<Shown> m_shown;  // the visible windows as last drawn, by address
  std::vector<Shown> m_now;    // the visible windows of the frame being drawn
  std::unordered_set<const CEGUI::Window*> m_changed;
  std::vector<std::uint8_t> m_damaged, m_content;
  std::vector<Span> m_damagedSpans, m_contentSpans;

  // By window; null for a window whose geometry carries another effect.
  std::unordered_map<const CEGUI::Window*, std::unique_ptr<Gate>> m_gates;
  CEGUI::System* m_watched = nullptr;
  std::vector<CEGUI::Event::Connection> m_connections;
};
