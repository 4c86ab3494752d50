// Whether the window's tick draws a frame: not while nobody can see it, and
// not when it would show exactly what the last drawn frame shows (reduced
// motion on an outcome screen, a stopped clock). The frame key holds every
// input a frame's pixels depend on, with the clock only while something on the
// screen moves with it.
#pragma once

#include <cstdint>
#include <string>

#include "launcher/ui/model/frame_inputs.h"

namespace tavo::launcher::ui {

struct FrameKey {
  Screen screen = Screen::Preparing;
  std::wstring statusText, errorCodeText;
  int32_t progress = -1;
  float displayedProgress = 0;
  bool stopConfirmationShown = false, stopRequested = false, launchFailed = false, reducedMotion = false;
  int currentTip = 0, previousTip = -1;
  uint64_t tipDwell = 0;
  bool copied = false;
  Controls controls;
  ControlStates states;
  bool preview = false, installOnly = false;
  Colours colours;
  float scale = 1, offsetX = 0, offsetY = 0;
  // The clock while the frame moves with it, else 0.
  uint64_t clock = 0;
  bool operator==(const FrameKey&) const = default;
};

// Something on the screen moves with the clock: without reduced motion always
// (the ambient glows drift); with it, the indeterminate bar and the opening
// dots still do.
bool FrameMovesWithClock(const FrameInputs& inputs);

FrameKey KeyOf(const FrameInputs& inputs);

// What the tick knows about the window after the model's tick.
struct TickFacts {
  bool minimised = false;  // nothing of it is shown
  bool occluded = false;   // cloaked or covered whole: nothing of it is seen
  bool unchanged = false;  // its frame key is the last drawn frame's
};

// The tick invalidates the window only when the new frame can be seen and
// differs from the last one drawn. A paint the system asks for draws anyway.
bool TickDrawsFrame(const TickFacts& facts);

}  // namespace tavo::launcher::ui
