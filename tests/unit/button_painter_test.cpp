// Button and link looks per state, and how long "Copied" stays.
#include <gtest/gtest.h>

#include "launcher/ui/paint/button_painter.h"

namespace tavo::launcher::ui {
namespace {

TEST(ButtonPainter, StateFollowsTheControlsAndNeedsEnabledForHover) {
  const ControlStates states{kIdPrimary, kIdPrimary, kIdPrimary, false};
  const ButtonState enabled = ButtonStateOf(kIdPrimary, true, states);
  EXPECT_TRUE(enabled.hovered && enabled.pressed);
  EXPECT_FALSE(enabled.focusRing);  // focus cues hidden
  const ButtonState disabled = ButtonStateOf(kIdPrimary, false, states);
  EXPECT_FALSE(disabled.hovered || disabled.pressed);
  EXPECT_TRUE(ButtonStateOf(kIdPrimary, false, {0, 0, kIdPrimary, true}).focusRing);
  EXPECT_FALSE(ButtonStateOf(kIdSecondary, true, states).hovered);
}

TEST(ButtonPainter, LookPerKindAndState) {
  const ButtonState rest{}, hover{true, true}, press{true, true, true}, off{false};
  const ButtonState pressedAway{true, false, true};  // the mouse left a pressed button
  struct Case { ButtonKind kind; ButtonState state; uint32_t fill; float fillOpacity, outline; uint32_t text; bool glow, underline; };
  for (const Case& c : {
           Case{ButtonKind::Primary, rest, 0xF4F4F5, 1, 0, 0x09090B, false, false},
           Case{ButtonKind::Primary, hover, 0xFFFFFF, 1, 0, 0x09090B, true, false},
           Case{ButtonKind::Primary, press, 0xD4D4D8, 1, 0, 0x09090B, true, false},
           Case{ButtonKind::Primary, off, 0x3F3F46, 1, 0, 0x909099, false, false},
           Case{ButtonKind::Secondary, rest, 0xFFFFFF, 0.06f, 0.13f, 0xE2E2E2, false, false},
           Case{ButtonKind::Secondary, hover, 0xFFFFFF, 0.1f, 0.24f, 0xFFFFFF, false, false},
           Case{ButtonKind::Secondary, press, 0xFFFFFF, 0.04f, 0.24f, 0xFFFFFF, false, false},
           Case{ButtonKind::CaptionClose, rest, 0xE83A3A, 0, 0, 0xA1A1AA, false, false},
           Case{ButtonKind::CaptionClose, hover, 0xE83A3A, 0.9f, 0, 0xFFFFFF, false, false},
           Case{ButtonKind::CaptionClose, pressedAway, 0xE83A3A, 0.75f, 0, 0xA1A1AA, false, false},
           Case{ButtonKind::CaptionMinimize, hover, 0xFFFFFF, 0.09f, 0, 0xFFFFFF, false, false},
           Case{ButtonKind::CaptionMinimize, press, 0xFFFFFF, 0.06f, 0, 0xFFFFFF, false, false},
           Case{ButtonKind::Link, rest, 0, 0, 0, 0xE2E2E2, false, false},
           Case{ButtonKind::Link, hover, 0, 0, 0, 0xFFFFFF, false, true}}) {
    const ButtonLook look = ButtonLookOf(c.kind, c.state, kDarkColours);
    SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(c.kind) << " hovered " << c.state.hovered
                                    << " pressed " << c.state.pressed << " enabled " << c.state.enabled);
    if (c.fillOpacity > 0) {
      EXPECT_EQ(look.fill, c.fill);
    }
    EXPECT_FLOAT_EQ(look.fillOpacity, c.fillOpacity);
    EXPECT_FLOAT_EQ(look.outlineOpacity, c.outline);
    EXPECT_EQ(look.text, c.text);
    EXPECT_EQ(look.glow, c.glow);
    EXPECT_EQ(look.underline, c.underline);
  }
}

TEST(ButtonPainter, CopiedShowsFor1800Milliseconds) {
  struct Case { uint64_t copiedAt, now; bool shown; };
  for (const Case& c : {Case{0, 500, false}, Case{100, 100, true}, Case{100, 1899, true}, Case{100, 1900, false},
                        Case{2000, 1000, false}}) {
    EXPECT_EQ(CopiedShown(c.copiedAt, c.now), c.shown) << c.copiedAt << " / " << c.now;
  }
}

}  // namespace
}  // namespace tavo::launcher::ui
