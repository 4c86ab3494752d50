// Everything one frame of the setup window is drawn from besides the device
// resources: the screen model, the controls' layout and states, and the clock.
// The window's paint and the screenshot capture fill it the same way.
#pragma once

#include <cstdint>

#include "launcher/ui/model/colours.h"
#include "launcher/ui/model/controls_layout.h"
#include "launcher/ui/model/screen_model.h"

namespace tavo::launcher::ui {

// The state of the controls as drawing needs it (control ids of the layout).
struct ControlStates {
  int hovered = 0;          // the hovered control, 0 for none
  int pressed = 0;          // the button in its pushed state, 0 for none
  int focused = 0;          // the control with the focus, 0 for none
  bool focusCues = false;   // focus rectangles are shown (keyboard use)
  bool operator==(const ControlStates&) const = default;
};

struct FrameInputs {
  const ScreenModel* model = nullptr;
  const Controls* controls = nullptr;
  ControlStates states;
  bool preview = false;
  bool installOnly = false;
  // The dark palette, or the system's colours under a high-contrast theme.
  Colours colours;
  // The design surface's scale and letterbox offsets in the client area (pixels).
  float scale = 1, offsetX = 0, offsetY = 0;
  // Elapsed milliseconds of the model's clock (frozen in screenshots).
  uint64_t now = 0;
};

}  // namespace tavo::launcher::ui
