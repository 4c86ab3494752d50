// Which colours a frame is drawn with: the dark palette, or the system's under
// a high-contrast theme.
#include <gtest/gtest.h>

#include "launcher/ui/model/colours.h"

namespace tavo::launcher::ui {
namespace {

// Seven distinct system colours, so that each role shows which one it took.
constexpr SystemColours kSystem{0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006, 0x000007};

TEST(Colours, EachRoleTakesTheDarkValueOrItsSystemColour) {
  const Colours dark = ChooseColours(false, kSystem), high = ChooseColours(true, kSystem);
  struct Case { const char* role; uint32_t Colours::*field; uint32_t dark, high; };
  for (const Case& c : {Case{"background", &Colours::background, 0x08080A, 0x000001},
                        Case{"text", &Colours::text, 0xFFFFFF, 0x000002},
                        Case{"secondary text", &Colours::secondaryText, 0xA1A1AA, 0x000002},
                        Case{"label", &Colours::label, 0xE2E2E2, 0x000002},
                        Case{"muted", &Colours::muted, 0x909099, 0x000002},
                        Case{"faint", &Colours::faint, 0x787880, 0x000002},
                        Case{"title line 2", &Colours::titleLine2, 0x6B6B73, 0x000002},
                        Case{"accent", &Colours::accent, 0, 0x000003},
                        Case{"on accent", &Colours::onAccent, 0, 0x000004},
                        Case{"button face", &Colours::buttonFace, 0, 0x000005},
                        Case{"button text", &Colours::buttonText, 0, 0x000006},
                        Case{"disabled text", &Colours::disabledText, 0, 0x000007}}) {
    EXPECT_EQ(dark.*c.field, c.dark) << c.role;
    EXPECT_EQ(high.*c.field, c.high) << c.role;
  }
  EXPECT_FALSE(dark.highContrast);
  EXPECT_TRUE(high.highContrast);
  EXPECT_EQ(dark.Accent(0x6DDE92), 0x6DDE92u);
  EXPECT_EQ(high.Accent(0x6DDE92), 0x000003u);
  EXPECT_EQ(RgbFromColorRef(0x00332211), 0x112233u);
}

}  // namespace
}  // namespace tavo::launcher::ui
