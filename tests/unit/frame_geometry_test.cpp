// The progress screens' numbers: labels and footers per screen, the bar's
// widths and positions, and the tip indicators' fill.
#include <gtest/gtest.h>

#include "launcher/ui/frame_geometry.h"

namespace tavo::launcher::ui {
namespace {

TEST(FrameGeometry, LabelsAndFootersPerScreen) {
  struct Case {
    Screen screen;
    bool installOnly;
    const wchar_t* label;
    const wchar_t* footer;
  };
  for (const Case& c : {Case{Screen::Preparing, false, L"Getting ready", L"Tavo Studio opens as soon as it's ready."},
                        Case{Screen::Installing, true, L"Installing Tavo Studio",
                             L"Keep this window open until setup finishes."},
                        Case{Screen::Verifying, false, L"Finishing up", L"Tavo Studio opens as soon as it's ready."},
                        Case{Screen::Stopping, true, L"Stopping installation", L"Windows is undoing the changes safely."}}) {
    EXPECT_STREQ(ProgressLabel(c.screen), c.label);
    EXPECT_STREQ(FooterText(c.screen, c.installOnly), c.footer);
  }
}

TEST(FrameGeometry, BarWidthsAndPositions) {
  EXPECT_FALSE(BarIsDeterminate(Screen::Installing, 0));  // 0 % keeps the bar indeterminate
  EXPECT_TRUE(BarIsDeterminate(Screen::Installing, 1));
  EXPECT_FALSE(BarIsDeterminate(Screen::Verifying, 100));
  struct Case {
    float displayed, width;
  };
  for (const Case& c : {Case{0, 4}, Case{0.3f, 4}, Case{0.7f, 4.368f}, Case{1, 6.24f}, Case{42, 262.08f},
                        Case{100, 624}}) {
    EXPECT_NEAR(DeterminateFillWidth(c.displayed), c.width, 1e-3) << c.displayed;
  }
  // The segment sweeps from just left of the track to past its end every 1.6 s.
  EXPECT_NEAR(IndeterminateSegmentLeft(0), -126.72f, 1e-3);
  EXPECT_NEAR(IndeterminateSegmentLeft(0.8), 272.64f, 1e-3);
  EXPECT_NEAR(IndeterminateSegmentLeft(600.8), 272.64f, 0.05);  // the screenshot's frozen clock
  EXPECT_NEAR(ShimmerCentre(1.1, 100), 98.0f, 1e-3);              // half-way: (100 + 180) / 2 - 42
}

TEST(FrameGeometry, IndicatorFill) {
  EXPECT_EQ(IndicatorFill(0, 2, 0), 1.0f);
  EXPECT_EQ(IndicatorFill(2, 2, 2800), 0.4f);
  EXPECT_EQ(IndicatorFill(2, 2, 9000), 1.0f);
  EXPECT_EQ(IndicatorFill(3, 2, 6999), 0.0f);
}

}  // namespace
}  // namespace tavo::launcher::ui
