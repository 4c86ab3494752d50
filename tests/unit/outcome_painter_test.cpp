// The outcome hero's and texts' animation values and the status badge per screen.
#include <gtest/gtest.h>

#include "launcher/ui/paint/outcome_painter.h"

namespace tavo::launcher::ui {
namespace {

TEST(OutcomePainter, StatusBadgePerScreen) {
  struct Case { Screen screen; uint32_t rgb; BadgeGlyph glyph; };
  for (const Case& c : {Case{Screen::Success, 0x2FD164, BadgeGlyph::Check},
                        Case{Screen::Installed, 0x2FD164, BadgeGlyph::Check},
                        Case{Screen::Cancelled, 0x52525B, BadgeGlyph::Dash},
                        Case{Screen::Error, 0xFB923C, BadgeGlyph::Exclamation},
                        Case{Screen::Unsupported, 0xFB923C, BadgeGlyph::Exclamation}}) {
    const StatusBadge badge = StatusBadgeFor(c.screen);
    EXPECT_EQ(badge.rgb, c.rgb) << ScreenName(c.screen);
    EXPECT_EQ(badge.glyph, c.glyph) << ScreenName(c.screen);
  }
}

TEST(OutcomePainter, HeroPopsInBreathesAndRingsOnlyWhenCelebrating) {
  const double crest = 3.14159265 / 2 / 2.1;  // sin(2.1 t) = 1
  struct Case { double age, seconds; bool celebratory, reduced; float breath, popIn, size; bool ring; float ringRadius, ringOpacity; };
  for (const Case& c : {Case{0, 0, true, false, 0.65f, 0, 97.76f, true, 60, 0.5f},
                        Case{275, crest, true, false, 0.8f, 0.908875f, 103.4314f, true, 60 + 90 * 0.578125f, 0.2109375f},
                        Case{1100, 0, true, false, 0.65f, 1, 104, false, 0, 0},
                        Case{0, 0, false, false, 0.65f, 0, 97.76f, false, 0, 0},
                        Case{0, crest, true, true, 0.65f, 1, 104, false, 0, 0}}) {
    const HeroMotion hero = HeroMotionAt(c.age, c.seconds, c.celebratory, c.reduced);
    SCOPED_TRACE(testing::Message() << "age " << c.age << " celebratory " << c.celebratory << " reduced " << c.reduced);
    EXPECT_NEAR(hero.breath, c.breath, 1e-5);
    EXPECT_NEAR(hero.popIn, c.popIn, 1e-5);
    EXPECT_NEAR(hero.logoSize, c.size, 1e-4);
    EXPECT_EQ(hero.ring, c.ring);
    EXPECT_NEAR(hero.ringRadius, c.ringRadius, 1e-4);
    EXPECT_NEAR(hero.ringOpacity, c.ringOpacity, 1e-5);
  }
}

TEST(OutcomePainter, TextsEnterBetween80And600Milliseconds) {
  struct Case { double age; bool reduced; float entrance; };
  for (const Case& c : {Case{0, false, 0}, Case{80, false, 0}, Case{340, false, 0.875f}, Case{600, false, 1},
                        Case{5000, false, 1}, Case{0, true, 1}}) {
    EXPECT_FLOAT_EQ(OutcomeEntrance(c.age, c.reduced), c.entrance) << c.age << " reduced " << c.reduced;
  }
  ScreenModel model;
  model.screenChangedAt = 2000;
  EXPECT_EQ(ScreenAge(model, 2500), 500);
  EXPECT_EQ(ScreenAge(model, 1500), 0);  // a clock reading earlier counts as just changed
}

TEST(OutcomePainter, OpeningDotsPulseOneAfterAnother) {
  struct Case { int index; double seconds; float radius, opacity; };
  for (const Case& c : {Case{0, 0, 2.5f, 0.45f}, Case{0, 0.4, 4.3f, 0.95f}, Case{1, 0.4, 3.7728f, 0.80355f},
                        Case{2, 0, 3.7728f, 0.80355f}, Case{0, 0.9, 2.5f, 0.45f}, Case{0, 12.4, 4.3f, 0.95f}}) {
    const OpeningDot dot = OpeningDotAt(c.index, c.seconds);
    EXPECT_NEAR(dot.radius, c.radius, 1e-3) << c.index << " at " << c.seconds;
    EXPECT_NEAR(dot.opacity, c.opacity, 1e-3) << c.index << " at " << c.seconds;
  }
}

}  // namespace
}  // namespace tavo::launcher::ui
