// Where the setup window opens and how large: the DPI rule and the size and
// position in a monitor's work area. Pure; the window asks Windows for the
// answers and passes them in.
#pragma once

#include <cstdint>
#include <optional>

namespace tavo::launcher::ui {

// The DPI the window opens with: the monitor's effective DPI when that query
// answered with a value (96 is a real answer: a 100 % monitor), else the
// system DPI, else 96. An empty optional is a query that failed or is missing.
uint32_t ChooseDpi(std::optional<uint32_t> monitorDpi, std::optional<uint32_t> systemDpi);

struct WorkArea {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct WindowPlacement {
  float scale = 1;
  int x = 0, y = 0, width = 0, height = 0;
};

// The 720 x 600 design at DPI / 96, shrunk to leave 20 pixels around it in the
// work area, truncated to whole pixels and centred.
WindowPlacement PlaceWindow(const WorkArea& work, uint32_t dpi);

}  // namespace tavo::launcher::ui
