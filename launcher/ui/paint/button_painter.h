// The drawn look of the window's buttons and links: the caption buttons, the
// primary and secondary row buttons and the two links of the error row, each
// hovered, pressed, disabled or with the focus ring, and the "Copied" feedback.
#pragma once

#include <cstdint>

#include "launcher/ui/model/frame_inputs.h"
#include "launcher/ui/paint/frame_canvas.h"

namespace tavo::launcher::ui {

enum class ButtonKind : uint8_t { Primary, Secondary, CaptionClose, CaptionMinimize, Link };

// One control's state as the frame draws it.
struct ButtonState {
  bool enabled = true;
  bool hovered = false;  // only while enabled
  bool pressed = false;
  bool focusRing = false;  // has the focus while focus cues are shown
};
ButtonState ButtonStateOf(int controlId, bool enabled, const ControlStates& states);

// Colours and opacities of one button in one state; an opacity of 0 draws nothing.
struct ButtonLook {
  uint32_t fill = 0;
  float fillOpacity = 0;
  uint32_t outline = 0xFFFFFF;  // the secondary's, or every row button's in high contrast
  float outlineOpacity = 0;
  float outlineWidth = 1;
  uint32_t text = 0;         // the label or the caption glyph
  bool glow = false;         // soft white glow under the fill (hovered primary)
  bool underline = false;    // hovered link; every link in high contrast
};
// The dark design's look, or in high contrast solid system colours: button
// face and text with an outline (2 wide on the primary), the highlight when
// hovered or pressed, gray text when disabled.
ButtonLook ButtonLookOf(ButtonKind kind, const ButtonState& state, const Colours& colours);

// Minimise (1004) at (638, 14, 32, 32) and close (1003) at (674, 14, 32, 32).
void DrawCaptionButtons(FrameCanvas& canvas, const FrameInputs& frame);
// "Copy details" (1008), "Show log file" (1006), primary (1001) and secondary
// (1002) at the rectangles of the controls' layout, each only when shown.
void DrawRowButtons(FrameCanvas& canvas, const FrameInputs& frame);

}  // namespace tavo::launcher::ui
