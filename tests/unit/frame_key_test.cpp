// Whether the window's tick draws: a frame nobody sees or that would repeat
// the last drawn one is skipped. Each case draws a first frame, changes what a
// tick could change, and asks whether the next tick draws.
#include <gtest/gtest.h>

#include <functional>

#include "launcher/ui/model/frame_key.h"

namespace tavo::launcher::ui {
namespace {

struct Frame {
  ScreenModel model;
  Controls controls;
  FrameInputs inputs;

  Frame(Screen screen, bool reducedMotion) {
    model.screen = screen;
    model.reducedMotion = reducedMotion;
    model.progress = screen == Screen::Installing ? 42 : -1;
    model.displayedProgress = screen == Screen::Installing ? 42.0f : 0.0f;
    controls.primaryText = L"Close";
    inputs.now = 600800;
    Bind();
  }
  Frame(const Frame& other) : model(other.model), controls(other.controls), inputs(other.inputs) { Bind(); }
  Frame& operator=(const Frame&) = delete;
  void Bind() {
    inputs.model = &model;
    inputs.controls = &controls;
  }
};

struct Case {
  const char* name;
  Screen screen;
  bool reducedMotion;
  std::function<void(Frame&)> tick;  // what happens between the drawn frame and this tick (a copy of it)
  bool minimised, occluded;
  bool draws;
};

const auto later = [](Frame& f) { f.inputs.now += 33; };

TEST(FrameKey, TheTickDrawsOnlyFramesThatAreSeenAndDiffer) {
  const Case cases[] = {
      {"motion on: the glows drift", Screen::Error, false, later, false, false, true},
      {"reduced motion, error screen: nothing moves", Screen::Error, true, later, false, false, false},
      {"reduced motion, success while the application opens: the dots pulse", Screen::Success, true, later, false,
       false, true},
      {"reduced motion, success after the launch failed: no dots", Screen::Success, true,
       [](Frame& f) {
         f.model.launchFailed = true;
         later(f);
       },
       false, false, true},  // the dots went away: one more frame
      {"reduced motion, indeterminate bar: the segment sweeps", Screen::Preparing, true, later, false, false, true},
      {"reduced motion, determinate bar, stop question up: dwell paused", Screen::Installing, true,
       [](Frame& f) {
         f.model.stopConfirmationShown = true;
         later(f);
       },
       false, false, true},  // the question itself is new
      {"reduced motion, determinate bar: the tip's dwell fills its indicator", Screen::Installing, true,
       [](Frame& f) {
         f.model.tipDwell += 33;
         later(f);
       },
       false, false, true},
      {"stopped clock (screenshot): the same frame", Screen::Installing, false, [](Frame&) {}, false, false, false},
      {"reduced motion, a button becomes hovered", Screen::Error, true,
       [](Frame& f) { f.inputs.states.hovered = kIdPrimary; }, false, false, true},
      {"reduced motion, \"Copied\" runs out", Screen::Error, true,
       [](Frame& f) { f.inputs.now = f.model.copiedAt + kCopiedMs; }, false, false, true},
      {"reduced motion, the worker's progress moves the bar", Screen::Installing, true,
       [](Frame& f) { f.model.displayedProgress = 43; }, false, false, true},
      {"reduced motion, a high-contrast theme comes on", Screen::Error, true,
       [](Frame& f) { f.inputs.colours = ChooseColours(true, {}); }, false, false, true},
      {"reduced motion, another scale after a DPI change", Screen::Error, true, [](Frame& f) { f.inputs.scale = 1.5f; },
       false, false, true},
      {"minimised, though the frame changed", Screen::Installing, false, later, true, false, false},
      {"occluded, though the frame changed", Screen::Installing, false, later, false, true, false},
  };
  for (const Case& c : cases) {
    Frame drawn(c.screen, c.reducedMotion);
    drawn.model.copiedAt = drawn.inputs.now - 1000;  // "Copied" shows in the drawn frame
    Frame next(drawn);
    c.tick(next);
    const bool unchanged = KeyOf(drawn.inputs) == KeyOf(next.inputs);
    EXPECT_EQ(TickDrawsFrame({c.minimised, c.occluded, unchanged}), c.draws) << c.name;
  }
}

TEST(FrameKey, TheClockCountsOnlyWhileSomethingMoves) {
  // The clock enters the key only while something moves with it, so a still
  // screen keeps its key over any number of ticks...
  Frame still(Screen::Cancelled, true);
  const FrameKey first = KeyOf(still.inputs);
  still.inputs.now += 60 * 1000;
  EXPECT_EQ(KeyOf(still.inputs), first);
  EXPECT_FALSE(FrameMovesWithClock(still.inputs));
  // ...and a moving one changes it on every tick.
  Frame moving(Screen::Cancelled, false);
  const FrameKey before = KeyOf(moving.inputs);
  moving.inputs.now += 1;
  EXPECT_NE(KeyOf(moving.inputs), before);
}

}  // namespace
}  // namespace tavo::launcher::ui
