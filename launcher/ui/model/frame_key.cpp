#include "launcher/ui/model/frame_key.h"

#include "launcher/ui/model/frame_geometry.h"

namespace tavo::launcher::ui {

bool FrameMovesWithClock(const FrameInputs& inputs) {
  const ScreenModel& m = *inputs.model;
  if (!m.reducedMotion) return true;
  if (IsOutcome(m.screen)) return OpeningDotsShown(m, inputs.installOnly);
  return !BarIsDeterminate(m.screen, m.progress);
}

FrameKey KeyOf(const FrameInputs& inputs) {
  const ScreenModel& m = *inputs.model;
  FrameKey key;
  key.screen = m.screen;
  key.statusText = m.statusText;
  key.errorCodeText = m.errorCodeText;
  key.progress = m.progress;
  key.displayedProgress = m.displayedProgress;
  key.stopConfirmationShown = m.stopConfirmationShown;
  key.stopRequested = m.stopRequested;
  key.launchFailed = m.launchFailed;
  key.reducedMotion = m.reducedMotion;
  key.currentTip = m.currentTip;
  key.previousTip = m.previousTip;
  key.tipDwell = m.tipDwell;
  key.copied = CopiedShown(m.copiedAt, inputs.now);
  key.controls = *inputs.controls;
  key.states = inputs.states;
  key.preview = inputs.preview;
  key.installOnly = inputs.installOnly;
  key.colours = inputs.colours;
  key.scale = inputs.scale;
  key.offsetX = inputs.offsetX;
  key.offsetY = inputs.offsetY;
  key.clock = FrameMovesWithClock(inputs) ? inputs.now : 0;
  return key;
}

bool TickDrawsFrame(const TickFacts& facts) { return !facts.minimised && !facts.occluded && !facts.unchanged; }

}  // namespace tavo::launcher::ui
