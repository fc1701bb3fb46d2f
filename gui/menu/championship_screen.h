// The championship's set-up: engine class, character and kart around the
// 3D preview, and the cup. OK starts the cup's first race.
#pragma once

#include "gui/menu/selection_screen.h"

class ChampionshipScreen : public SelectionScreen {
 public:
  explicit ChampionshipScreen(Menu* menu);
  const char* getName() const override { return "ChampionshipScreen"; }
  // Resets the six records (flags "send", marked) and relabels.
  void activate() override;
  void applySelection() override;
  void updateCupDisplay();

  std::size_t m_ccmRow = 0, m_characterRow = 0, m_kartRow = 0;
  CEGUI::Window* m_trackImage = nullptr;
  CEGUI::Window* m_cupLabel = nullptr;
  CEGUI::Window* m_cupLeftButton = nullptr;
  CEGUI::Window* m_cupRightButton = nullptr;

 private:
  bool onCupClicked(const CEGUI::EventArgs&);
};
