// Preview mode and the model's clocks without a window: the state table, the
// simulated run, the frozen clock, tip selection, the indicator hit test and
// the picture sizes.
#include <gtest/gtest.h>

#include <optional>

#include "common/diagnostics/catalogue.h"
#include "launcher/ui/model/controls_layout.h"
#include "launcher/ui/model/picture_sizes.h"
#include "launcher/ui/model/preview_state.h"
#include "launcher/ui/window/screenshot.h"

namespace tavo::launcher::ui {
namespace {

LaunchOptions Preview(const wchar_t* state, int32_t percent = -1, std::optional<uint32_t> code = std::nullopt) {
  LaunchOptions options;
  options.preview = true;
  options.stateName = state;
  options.percent = percent;
  options.errorCode = code.value_or(0);
  options.errorCodeValid = code.has_value();
  return options;
}

TEST(PreviewStates, EveryNameGivesItsScreenTextsAndProgress) {
  const std::wstring lowDisk =
      CatalogueMessage(static_cast<int32_t>(0x80004005)) +
      L" Setup also found less than 3 GB free on C:\\. Low disk space may have contributed to this failure. Free "
      L"space and try again.";
  struct Case {
    const wchar_t* name;
    Screen screen;
    int32_t progress;
    bool overlay;
    const wchar_t* code;
    std::wstring status;  // empty: the initial status text
  };
  const std::wstring initial = texts::kGettingReady;
  for (const Case& c : {
           Case{L"welcome", Screen::Preparing, -1, false, L"", initial},
           Case{L"preparing", Screen::Preparing, -1, false, L"", initial},
           Case{L"downloading", Screen::Installing, 42, false, L"", initial},
           Case{L"installing", Screen::Installing, 42, false, L"", initial},
           Case{L"verifying", Screen::Verifying, -1, false, L"", initial},
           Case{L"stopping", Screen::Stopping, -1, false, L"", texts::kStopping},
           Case{L"cancel", Screen::Installing, 42, true, L"", initial},
           Case{L"success", Screen::Success, -1, false, L"", texts::kOpeningFirstTime},
           Case{L"installed", Screen::Installed, -1, false, L"", texts::kAlreadyInstalled},
           Case{L"cancelled", Screen::Cancelled, -1, false, L"", texts::kCancelled},
           Case{L"error", Screen::Error, -1, false, L"0x800B010A", CatalogueMessage(static_cast<int32_t>(0x800B010A))},
           Case{L"error-cert", Screen::Error, -1, false, L"0x800B010A", CatalogueMessage(static_cast<int32_t>(0x800B010A))},
           Case{L"error-network", Screen::Error, -1, false, L"0x80072EE7",
                L"We couldn't reach the download server. Check your internet connection and try again."},
           Case{L"error-low-disk", Screen::Error, -1, false, L"0x80004005", lowDisk},
           Case{L"unsupported", Screen::Unsupported, -1, false, L"0x8007047E",
                L"Tavo needs Windows 10 version 2004 or later on an Intel or AMD 64-bit PC."},
           Case{L"unsupported-avx", Screen::Unsupported, -1, false, L"0x80070032",
                L"Tavo Studio needs AVX, but AVX isn't available on this PC. Use a PC with AVX enabled."}}) {
    ScreenModel model;
    ASSERT_TRUE(ApplyPreviewState(model, Preview(c.name), 500)) << c.name;
    EXPECT_EQ(model.screen, c.screen) << c.name;
    EXPECT_EQ(model.progress, c.progress) << c.name;
    EXPECT_EQ(model.displayedProgress, static_cast<float>(std::max(c.progress, 0))) << c.name;
    EXPECT_EQ(model.stopConfirmationShown, c.overlay) << c.name;
    EXPECT_EQ(model.errorCodeText, c.code) << c.name;
    EXPECT_EQ(model.statusText, c.status) << c.name;
    EXPECT_FALSE(model.demoRunning) << c.name;
  }
}

TEST(PreviewStates, PercentAndErrorCodeOptionsAndUnknownNames) {
  ScreenModel cancel;
  ApplyPreviewState(cancel, Preview(L"cancel", 70), 0);
  EXPECT_EQ(cancel.progress, 70);
  EXPECT_EQ(cancel.displayedProgress, 70.0f);  // the bar opens at its value

  ScreenModel zero;
  ApplyPreviewState(zero, Preview(L"installing", 0), 0);
  EXPECT_EQ(zero.progress, 0);

  ScreenModel error;
  ApplyPreviewState(error, Preview(L"error", -1, 0x80072EE7), 0);
  EXPECT_EQ(error.errorCodeText, L"0x80072EE7");
  EXPECT_EQ(error.statusText, CatalogueMessage(static_cast<int32_t>(0x80072EE7)));

  for (const wchar_t* name : {L"error", L"error-low-disk"}) {
    ScreenModel given;  // a given 0x00000000 is shown as given, not replaced by the default
    ApplyPreviewState(given, Preview(name, -1, 0u), 0);
    EXPECT_EQ(given.errorCodeText, L"0x00000000") << name;
  }

  ScreenModel lowDisk;
  ApplyPreviewState(lowDisk, Preview(L"error-low-disk", -1, 0x80070070), 0);
  EXPECT_EQ(lowDisk.errorCodeText, L"0x80070070");
  EXPECT_EQ(lowDisk.statusText.rfind(CatalogueMessage(static_cast<int32_t>(0x80070070)), 0), 0u);

  for (const wchar_t* name : {L"", L"Installing", L"done"}) {
    ScreenModel untouched;
    EXPECT_FALSE(ApplyPreviewState(untouched, Preview(name), 0)) << name;
    EXPECT_EQ(untouched.screen, Screen::Preparing);
    EXPECT_EQ(untouched.statusText, texts::kGettingReady);
  }
}

TEST(PreviewStates, SimulatedRunThroughTheProgressScreens) {
  struct Case {
    uint64_t elapsed;
    Screen screen;
    int32_t progress;
    bool finished;
  };
  for (const Case& c : {Case{0, Screen::Preparing, -1, false}, Case{1799, Screen::Preparing, -1, false},
                        Case{1800, Screen::Installing, 0, false}, Case{1979, Screen::Installing, 0, false},
                        Case{1980, Screen::Installing, 1, false}, Case{19799, Screen::Installing, 99, false},
                        Case{19800, Screen::Verifying, 100, false}, Case{20999, Screen::Verifying, 100, false},
                        Case{21000, Screen::Success, 100, true}, Case{600000, Screen::Success, 100, true}}) {
    const SimulatedStep step = SimulatedRunAt(c.elapsed);
    EXPECT_EQ(step.screen, c.screen) << c.elapsed;
    EXPECT_EQ(step.progress, c.progress) << c.elapsed;
    EXPECT_EQ(step.finished, c.finished) << c.elapsed;
  }
}

TEST(ScreenClock, FrozenClockAndTipSelection) {
  ScreenModel model;
  model.startTick = 10000;
  EXPECT_EQ(model.Elapsed(12500), 2500u);
  EXPECT_EQ(model.Elapsed(9000), 0u);  // a tick count before the start reads 0
  model.FreezeClock();
  EXPECT_EQ(model.Elapsed(12500), 600800u);
  EXPECT_EQ(model.Elapsed(99999999), 600800u);
  EXPECT_EQ(model.screenChangedAt, 580800u);
  EXPECT_EQ(model.tipChangedAt, 580800u);
  EXPECT_EQ(model.tipDwell, 2800u);  // the current indicator 40 % full

  ScreenModel tips;
  EXPECT_EQ(tips.previousTip, -1);
  tips.tipDwell = 5000;
  tips.SelectTip(3, 100);
  EXPECT_EQ((std::pair{tips.currentTip, tips.previousTip}), (std::pair{3, 0}));
  EXPECT_EQ(tips.tipChangedAt, 100u);
  EXPECT_EQ(tips.tipDwell, 0u);
  tips.SelectTip(-1, 400);  // left arrow from tip 0 wraps to the last tip
  EXPECT_EQ((std::pair{tips.currentTip, tips.previousTip}), (std::pair{6, 3}));
  tips.SelectTip(7, 500);  // right arrow from the last tip wraps to the first
  EXPECT_EQ((std::pair{tips.currentTip, tips.previousTip}), (std::pair{0, 6}));
  tips.tipDwell = 900;
  tips.SelectTip(0, 800);  // the shown tip again: only its dwell restarts
  EXPECT_EQ((std::pair{tips.currentTip, tips.previousTip}), (std::pair{0, 6}));
  EXPECT_EQ(tips.tipChangedAt, 500u);
  EXPECT_EQ(tips.tipDwell, 0u);
}

TEST(ScreenClock, AnimationTicks) {
  // Each row is one tick of a model on tip 2, progress 50 displayed at 0,
  // "Copied" since 8300, the last tick at 10000.
  struct Case {
    const char* what;
    uint64_t now;
    Screen screen;
    bool overlay, reduced;
    uint64_t dwellBefore, dwell;
    int tip;
    float displayed;
    bool copiedEnded;
  };
  for (const Case& c : {
           Case{"a tick", 10033, Screen::Installing, false, false, 6900, 6933, 2, 9, false},
           Case{"7 s move the tip on; \"Copied\" ends at 1800 ms", 10100, Screen::Installing, false, false, 6900, 0,
                3, 9, true},
           Case{"a stall counts 250", 20000, Screen::Installing, false, false, 6700, 6950, 2, 9, true},
           Case{"a clock going backwards counts 250", 9000, Screen::Installing, false, false, 6700, 6950, 2, 9,
                false},
           Case{"reduced motion jumps the bar", 10033, Screen::Installing, false, true, 6900, 6933, 2, 50, false},
           Case{"the stop question holds the tips", 20000, Screen::Installing, true, false, 6900, 6900, 2, 9, true},
           Case{"outcome screens hold the tips", 20000, Screen::Error, false, false, 6900, 6900, 2, 9, true},
       }) {
    SCOPED_TRACE(c.what);
    ScreenModel m;
    m.screen = c.screen;
    m.stopConfirmationShown = c.overlay;
    m.reducedMotion = c.reduced;
    m.currentTip = 2;
    m.tipDwell = c.dwellBefore;
    m.progress = 50;
    m.copiedAt = 8300;
    uint64_t lastTick = 10000;
    EXPECT_EQ(m.AnimationTick(c.now, lastTick), c.copiedEnded);
    EXPECT_EQ(lastTick, c.now);
    EXPECT_EQ(m.tipDwell, c.dwell);
    EXPECT_EQ(m.currentTip, c.tip);
    EXPECT_FLOAT_EQ(m.displayedProgress, c.displayed);
    EXPECT_EQ(m.copiedAt, c.copiedEnded ? 0u : 8300u);
  }
}

TEST(ScreenClock, TipIndicatorHitTest) {
  struct Case {
    float x, y;
    int tip;
  };
  for (const Case& c : {Case{262, 365, 0}, Case{276, 355, 0}, Case{276, 376, 0}, Case{261.9f, 365, -1},
                        Case{276, 354.9f, -1}, Case{276, 376.1f, -1}, Case{300, 365, 1}, Case{458, 365, 6},
                        Case{458.1f, 365, -1}}) {
    EXPECT_EQ(TipIndicatorAt(c.x, c.y), c.tip) << c.x << "," << c.y;
  }
}

TEST(PictureSizes, TipFitsScalingAndReloadRules) {
  struct Case {
    PixelSize picture;
    float scale;
    PixelSize pixels;
  };
  for (const Case& c : {Case{{1000, 678}, 1, {471, 319}}, Case{{612, 460}, 1, {425, 319}},
                        Case{{898, 652}, 1, {440, 319}}, Case{{1000, 678}, 0.5f, {471, 319}},
                        Case{{1000, 678}, 2, {942, 638}}}) {
    EXPECT_EQ(TargetPixels(TipTargetSize(c.picture), c.scale), c.pixels) << c.picture.width << " at " << c.scale;
  }
  EXPECT_FLOAT_EQ(TipFitFactor({1000, 678}), 304.0f / 678.0f);
  EXPECT_EQ(TargetPixels({54, 18}, 1.5f), (PixelSize{81, 27}));
  // The wordmark keeps its own aspect at any scale: not that of its 68 x 23 bitmap at 1.25.
  EXPECT_FLOAT_EQ(HeightByAspect({480, 160}, 54), 18.0f);
  EXPECT_EQ(TargetPixels({54, HeightByAspect({480, 160}, 54)}, 1.25f), (PixelSize{68, 23}));

  EXPECT_TRUE(ShouldPrescale({471, 319}, {1000, 678}));
  EXPECT_FALSE(ShouldPrescale({1413, 957}, {1000, 678}));  // scale 3: larger than the picture
  EXPECT_FALSE(ShouldPrescale({256, 256}, {256, 256}));    // same size: drawn as decoded
  EXPECT_FALSE(ShouldPrescale({15, 40}, {256, 256}));      // too small to scale well
  EXPECT_TRUE(ShouldPrescale({16, 16}, {256, 256}));

  EXPECT_FALSE(BitmapScaleStale(1.0f, 1.075f));
  EXPECT_TRUE(BitmapScaleStale(1.0f, 1.09f));
  EXPECT_TRUE(BitmapScaleStale(1.5f, 1.25f));

  EXPECT_EQ(ScreenshotSize(1), (PixelSize{720, 600}));
  EXPECT_EQ(ScreenshotSize(2), (PixelSize{1440, 1200}));
  EXPECT_EQ(ScreenshotSize(1.337f), (PixelSize{962, 802}));  // truncated
  EXPECT_EQ(ScreenshotSize(3), (PixelSize{2160, 1800}));
}

}  // namespace
}  // namespace tavo::launcher::ui
