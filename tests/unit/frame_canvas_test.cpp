// The pure parts of frame drawing: easing curves, the pictures' slow zoom and
// where a title's two lines go.
#include <gtest/gtest.h>

#include "launcher/ui/paint/frame_canvas.h"

namespace tavo::launcher::ui {
namespace {

TEST(FrameCanvas, EasingCurvesClampAndBend) {
  struct Case { float x, out, inOut; };
  for (const Case& c : {Case{-1, 0, 0}, Case{0, 0, 0}, Case{0.25f, 0.578125f, 0.0625f}, Case{0.5f, 0.875f, 0.5f},
                        Case{0.75f, 0.984375f, 0.9375f}, Case{1, 1, 1}, Case{2, 1, 1}}) {
    EXPECT_FLOAT_EQ(EaseOutCubic(c.x), c.out) << c.x;
    EXPECT_FLOAT_EQ(EaseInOutCubic(c.x), c.inOut) << c.x;
  }
}

TEST(FrameCanvas, ZoomGrowsFourPercentOverEightAndAHalfSeconds) {
  struct Case { double ms; bool reduced; float zoom; };
  for (const Case& c : {Case{-500, false, 1}, Case{0, false, 1}, Case{4250, false, 1.02f}, Case{8500, false, 1.04f},
                        Case{20000, false, 1.04f}, Case{4250, true, 1}, Case{20000, true, 1}}) {
    EXPECT_FLOAT_EQ(Zoom(c.ms, c.reduced), c.zoom) << c.ms << " reduced " << c.reduced;
  }
}

TEST(FrameCanvas, TitleTakesOneRowUpTo624AndTwoRows31ApartBeyond) {
  struct Case { float w1, w2; bool two; float x1, x2, y2; };
  for (const Case& c : {Case{200, 150, false, 185, 385, 0}, Case{324, 300, false, 48, 372, 0},
                        Case{400, 0, false, 160, 560, 0}, Case{324, 300.5f, true, 198, 209.75f, 31},
                        Case{500, 200, true, 110, 260, 31}}) {
    const TitleRows rows = PlaceTitle(c.w1, c.w2);
    EXPECT_EQ(rows.twoRows, c.two) << c.w1 << "+" << c.w2;
    EXPECT_FLOAT_EQ(rows.x1, c.x1) << c.w1 << "+" << c.w2;
    EXPECT_FLOAT_EQ(rows.x2, c.x2) << c.w1 << "+" << c.w2;
    EXPECT_FLOAT_EQ(rows.y1, 0);
    EXPECT_FLOAT_EQ(rows.y2, c.y2) << c.w1 << "+" << c.w2;
  }
}

TEST(FrameCanvas, LineTwoOnItsOwnRowCentresItsWordsNotTheSpaceBeforeThem) {
  // 500 + 206 wraps; line 2's words are 200 wide after a 6-wide space.
  const TitleRows rows = PlaceTitle(500, 206, 6);
  EXPECT_TRUE(rows.twoRows);
  EXPECT_FLOAT_EQ(rows.x2 + 6, 360 - 200 / 2.0f);
  EXPECT_FLOAT_EQ(PlaceTitle(300, 206, 6).x2, 360 - 506 / 2.0f + 300);  // one row: right after line 1
}

TEST(FrameCanvas, ColourSplitsChannels) {
  const D2D1_COLOR_F c = Colour(0xFF8000, 0.5f);
  EXPECT_FLOAT_EQ(c.r, 1);
  EXPECT_FLOAT_EQ(c.g, 128.0f / 255.0f);
  EXPECT_FLOAT_EQ(c.b, 0);
  EXPECT_FLOAT_EQ(c.a, 0.5f);
}

}  // namespace
}  // namespace tavo::launcher::ui
