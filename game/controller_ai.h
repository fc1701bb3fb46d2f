// The computer driver: follows one of the track's seven driving lines.
// Until its kart is set it presses nothing.
#pragma once

#include <vector>

#include "foundation/matrix.h"
#include "game/controller.h"

class Config;
class File;
class Vehicle;

class ControllerAI final : public Controller {
 public:
  static constexpr int kLines = 7;

  // Reads the seven line files of the config's track through `files`; the
  // driver of kart k drives line k - 1. The second argument is unused.
  ControllerAI(const File* files, int unused, const Config& config, int k);

  // The kart this controller drives (not owned); set once it is built.
  void setKart(Vehicle* kart) { m_kart = kart; }

  bool left() override { return m_left != 0; }
  bool right() override { return m_right != 0; }
  bool accelerate() override { return m_accelerate != 0; }
  bool brake() override { return m_brake != 0; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return m_useExtra != 0; }
  int getPointIndex() const override { return m_pointIndex; }
  void setPointIndex(int index) override { m_pointIndex = index; }
  bool isAI() const override { return true; }
  int lineIndex() const { return m_lineIndex; }
  void setLineIndex(int line) { m_lineIndex = line; }

  // The driving lines, each its points in track order.
  std::vector<Position3> m_lines[kLines];

 private:
  Vehicle* m_kart = nullptr;
  int m_pointIndex = 0;
  int m_lineIndex = 0;
  int m_left = 0;
  int m_right = 0;
  int m_accelerate = 0;
  int m_brake = 0;
  int m_useExtra = 0;
};
