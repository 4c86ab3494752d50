// The progress screens' numbers: labels and footers per screen, the bar's
// widths and positions, and the tip indicators' fill.
#include <gtest/gtest.h>

#include "launcher/ui/model/frame_geometry.h"

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
  // Its band, 45 each side of the centre, is drawn only while it reaches over the fill (48 to 148 here).
  EXPECT_FALSE(ShimmerOverFill(ShimmerCentre(0, 100), 100));  // at -42 it ends at 3
  EXPECT_FALSE(ShimmerOverFill(3, 100));
  EXPECT_TRUE(ShimmerOverFill(3.5f, 100));
  EXPECT_TRUE(ShimmerOverFill(192.5f, 100));
  EXPECT_FALSE(ShimmerOverFill(193, 100));
}

TEST(FrameGeometry, IndicatorFill) {
  EXPECT_EQ(IndicatorFill(0, 2, 0), 1.0f);
  EXPECT_EQ(IndicatorFill(2, 2, 2800), 0.4f);
  EXPECT_EQ(IndicatorFill(2, 2, 9000), 1.0f);
  EXPECT_EQ(IndicatorFill(3, 2, 6999), 0.0f);
  struct Case {
    int index;
    uint64_t dwell;
    float width;  // with tip 2 current; 0: not drawn
  };
  for (const Case& c : {Case{0, 0, 22}, Case{2, 0, 3},  // the current tip shows from its first moment
                        Case{2, 100, 3}, Case{2, 2800, 8.8f}, Case{2, 7000, 22}, Case{3, 6999, 0}}) {
    EXPECT_FLOAT_EQ(IndicatorFillWidth(c.index, 2, c.dwell), c.width) << c.index << " at " << c.dwell;
  }
}

TEST(FrameGeometry, ReducedMotionHoldsTheAmbientClockAndTheShimmer) {
  EXPECT_EQ(AmbientSeconds(12.5, false), 12.5);
  EXPECT_EQ(AmbientSeconds(12.5, true), 0.0);
  struct Case {
    float width;
    bool reduced, highContrast, shown;
  };
  for (const Case& c : {Case{41, false, false, true}, Case{40, false, false, false}, Case{300, true, false, false},
                        Case{300, false, true, false}}) {
    EXPECT_EQ(ShimmerShown(c.width, c.reduced, c.highContrast), c.shown) << c.width;
  }
}

TEST(FrameGeometry, CarouselCrossFadeAndTextPhases) {
  struct Case {
    uint64_t age;
    bool changed;
    float crossFade;
    bool previousTexts;
    float textOpacity, textOffset;
  };
  for (const Case& c : {
           Case{0, true, 0, true, 1, 0},             // the previous tip's texts at rest, fading out
           Case{90, true, 0.0106f, true, 0.5f, 0},   // 4 (90/650)^3
           Case{180, true, 0.0849f, false, 0, 10},   // the current texts start 10 below, unseen
           Case{325, true, 0.5f, false, 0.6250f, 3.750f},
           Case{440, true, 0.8651f, false, 0.875f, 1.25f},  // half-way in: 1 - 0.5^3
           Case{650, true, 1, false, 0.9991f, 0.0089f},
           Case{700, true, 1, false, 1, 0},
           Case{0, false, 1, false, 1, 0},           // the first tip, or reduced motion: at rest at once
       }) {
    const CarouselPhase p = CarouselPhaseAt(c.age, c.changed);
    SCOPED_TRACE(testing::Message() << c.age << (c.changed ? " after a change" : " at rest"));
    EXPECT_NEAR(p.crossFade, c.crossFade, 1e-3);
    EXPECT_EQ(p.previousTexts, c.previousTexts);
    EXPECT_NEAR(p.textOpacity, c.textOpacity, 1e-3);
    EXPECT_NEAR(p.textOffset, c.textOffset, 1e-3);
    // The previous tip zooms on from where a full dwell left it.
    EXPECT_EQ(p.previousZoomAge - p.currentZoomAge, 7000.0);
  }
}

}  // namespace
}  // namespace tavo::launcher::ui
