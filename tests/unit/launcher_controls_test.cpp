// Update controls without the drawing: button sets, row geometry, accessible
// text and window title from the screen model; which changes of the accessible
// text are announced, and what the taskbar button shows.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "launcher/language/translation.h"
#include "launcher/ui/model/announcements.h"
#include "launcher/ui/model/controls_layout.h"
#include "launcher/ui/model/taskbar_progress.h"

namespace tavo::launcher {
namespace {

// Every character is 7 DIPs wide; the body is always one line.
class FixedMeasure : public LayoutMeasure {
 public:
  float title = 10;
  float ButtonTextWidth(std::wstring_view text) override { return 7.0f * static_cast<float>(text.size()); }
  float SmallTextWidth(std::wstring_view text) override { return 7.0f * static_cast<float>(text.size()); }
  float TitleWidth(std::wstring_view text) override { return title * static_cast<float>(text.size()); }
  float BodyHeight(std::wstring_view) override { return 21; }
};

TEST(LauncherControls, ButtonSetsPerScreen) {
  FixedMeasure measure;
  ScreenModel m;
  ControlsInput in;
  struct Case { Screen screen; bool running; bool ready; const wchar_t* primary; const wchar_t* secondary; bool enabled; bool copy; bool log; };
  for (const Case& c : {
           Case{Screen::Installing, true, false, L"", L"", true, false, false},
           Case{Screen::Success, false, false, L"", L"", true, false, false},
           Case{Screen::Error, true, false, L"Collecting details\u2026", L"Get help  \u2197", false, false, false},
           Case{Screen::Error, true, true, L"Sending diagnostics\u2026", L"Get help  \u2197", false, true, true},
           Case{Screen::Error, false, false, L"Try again", L"Get help  \u2197", true, true, false},
           Case{Screen::Unsupported, false, false, L"See system requirements  \u2197", L"Close", true, false, false},
           Case{Screen::Cancelled, false, false, L"Install Tavo Studio", L"Close", true, false, false}}) {
    m.screen = c.screen;
    m.workerRunning = c.running;
    m.errorCodeText = L"0x80072EE7";
    in.reportReady = c.ready;
    Controls controls = ComputeControls(m, in, measure);
    EXPECT_EQ(controls.primaryText, c.primary) << ScreenName(c.screen);
    EXPECT_EQ(controls.secondaryText, c.secondary) << ScreenName(c.screen);
    EXPECT_EQ(controls.primaryEnabled, c.enabled) << ScreenName(c.screen);
    EXPECT_EQ(controls.copyLinkShown, c.copy) << ScreenName(c.screen);
    EXPECT_EQ(controls.logLinkShown, c.log) << ScreenName(c.screen);
  }
  m.screen = Screen::Success;
  m.launchFailed = true;
  EXPECT_EQ(ComputeControls(m, in, measure).primaryText, L"Open Tavo Studio");
  m.launchFailed = false;
  in.installOnly = true;
  EXPECT_EQ(ComputeControls(m, in, measure).secondaryText, L"Close");
}

TEST(LauncherControls, StopConfirmationOverridesTheRow) {
  FixedMeasure measure;
  ScreenModel m;
  m.screen = Screen::Error;
  m.stopConfirmationShown = true;
  Controls c = ComputeControls(m, {}, measure);
  EXPECT_EQ(c.primaryText, L"Keep installing");
  EXPECT_EQ(c.secondaryText, L"Stop installing");
  EXPECT_FALSE(c.copyLinkShown);
  EXPECT_FALSE(c.captionEnabled);
  EXPECT_EQ(c.primary.y, 318);
  // "Keep installing" is 105 wide: 105 + 48 = 153; "Stop installing" 105 + 44 = 149; gap 12.
  EXPECT_FLOAT_EQ(c.primary.w, 153);
  EXPECT_FLOAT_EQ(c.secondary.w, 149);
  EXPECT_FLOAT_EQ(c.primary.x, 360 - (153 + 12 + 149) / 2.0f);
  EXPECT_FLOAT_EQ(c.secondary.x, c.primary.x + 153 + 12);
  EXPECT_EQ(c.accessibleText,
            L"Stop installing Tavo Studio? Windows will undo the changes safely. You can run setup again anytime.");
  EXPECT_EQ(c.status, (DipRect{200, 226, 320, 80}));
}

TEST(LauncherControls, MinimumWidthsAndOutcomeLayout) {
  FixedMeasure measure;
  ScreenModel m;
  m.screen = Screen::Cancelled;
  Controls c = ComputeControls(m, {}, measure);
  EXPECT_FLOAT_EQ(c.secondary.w, 112);  // "Close" is narrower than the minimum
  // t = 30 + 178 + 10 + 21 + 72 = 311; v = (624 - 311) / 2 = 156.5
  EXPECT_FLOAT_EQ(c.layout.kickerTop, 156.5f + 156);
  EXPECT_FLOAT_EQ(c.primary.y, 156.5f + 178 + 30 + 10 + 21 + 30);
  measure.title = 30;  // the two title lines no longer fit in 624: two lines
  EXPECT_FLOAT_EQ(ComputeControls(m, {}, measure).layout.titleHeight, 61);
  // "No problem." and "Come back anytime." are 29 characters, 30 with the
  // no-break space between them: at 21 a character only Japanese, which
  // joins them with nothing, keeps one row.
  measure.title = 21;
  EXPECT_FLOAT_EQ(ComputeControls(m, {}, measure).layout.titleHeight, 61);
  SetActiveTranslation(Translation(L"ja", {}, {}));
  EXPECT_FLOAT_EQ(ComputeControls(m, {}, measure).layout.titleHeight, 30);
  SetActiveTranslation(Translation());
}

TEST(LauncherControls, TitleAndAccessibleProgress) {
  FixedMeasure measure;
  ScreenModel m;
  m.screen = Screen::Installing;
  m.progress = 37;
  Controls c = ComputeControls(m, {}, measure);
  EXPECT_EQ(c.title, L"Tavo Studio Setup: Installing 37%");
  EXPECT_EQ(c.accessibleText, L"Installing Tavo Studio, 35 percent.");
  ControlsInput preview;
  preview.preview = true;
  EXPECT_EQ(ComputeControls(m, preview, measure).accessibleText, L"Installing Tavo Studio, 37 percent.");
  m.progress = -1;
  EXPECT_EQ(ComputeControls(m, {}, measure).title, L"Tavo Studio Setup");
}

TEST(LauncherControls, ErrorRowCentresLabelAndLinks) {
  FixedMeasure measure;
  ScreenModel m;
  m.screen = Screen::Error;
  m.errorCodeText = L"0x80072EE7";
  Controls c = ComputeControls(m, {.preview = true}, measure);
  // "Error 0x80072EE7" 112; "Copy details" 84 + 8; "Show log file" 91 + 8; total 112 + 112 + 119 = 343.
  EXPECT_EQ(c.errorLabel, (DipRect{188.5f, c.layout.errorRowTop, 112, 24}));
  EXPECT_FLOAT_EQ(c.copyLink.x, 188.5f + 112 + 20);
  EXPECT_FLOAT_EQ(c.logLink.x, c.copyLink.x + 92 + 20);
  // "Copied" (its check mark, then the text from 14 in) takes the same place: the row stands still.
  m.copiedAt = 5;
  const Controls copied = ComputeControls(m, {.preview = true}, measure);
  EXPECT_EQ(copied.copyLinkText, L"Copied");
  EXPECT_EQ(std::tuple(copied.errorLabel, copied.copyLink, copied.logLink), std::tuple(c.errorLabel, c.copyLink, c.logLink));
  EXPECT_GE(copied.copyLink.w, measure.SmallTextWidth(L"Copied") + 14);
}

TEST(LauncherControls, AnnouncesScreensStepsAndTheQuestionButNotPreparingDetails) {
  FixedMeasure measure;
  ScreenModel m;
  auto key = [&] { return ui::AnnouncementKeyFor(m, ComputeControls(m, {}, measure).accessibleText); };
  ui::AnnouncementKey last = key();
  struct Step { const char* change; std::function<void()> apply; bool announced; };
  for (const Step& step : {
           Step{"a check detail", [&] { m.statusText = L"Checking this PC."; }, false},
           Step{"installing at 3", [&] { m.screen = Screen::Installing, m.progress = 3; }, true},
           Step{"4, the same step", [&] { m.progress = 4; }, false},
           Step{"5", [&] { m.progress = 5; }, true},
           Step{"question opens", [&] { m.stopConfirmationShown = true; }, true},
           Step{"progress under it", [&] { m.progress = 17; }, false},
           Step{"question closes", [&] { m.stopConfirmationShown = false; }, true},
           Step{"success", [&] { m.screen = Screen::Success, m.statusText = texts::kOpeningFirstTime; }, true},
           Step{"the open failed", [&] { m.statusText = texts::kLaunchFailed; }, true},
           Step{"nothing", [] {}, false}}) {
    step.apply();
    const ui::AnnouncementKey next = key();
    EXPECT_EQ(next != last, step.announced) << step.change;
    last = next;
  }
}

TEST(LauncherControls, TaskbarProgressPerScreen) {
  using ui::TaskbarState;
  struct Case { Screen screen; int32_t progress; TaskbarState state; uint32_t value; };
  for (const Case& c : {Case{Screen::Preparing, -1, TaskbarState::Indeterminate, 0},
                        Case{Screen::Installing, -1, TaskbarState::Indeterminate, 0},
                        Case{Screen::Installing, 0, TaskbarState::Normal, 0},
                        Case{Screen::Installing, 37, TaskbarState::Normal, 37},
                        Case{Screen::Verifying, 100, TaskbarState::Indeterminate, 0},
                        Case{Screen::Stopping, 40, TaskbarState::Indeterminate, 0},
                        Case{Screen::Error, 40, TaskbarState::Error, 100},
                        Case{Screen::Unsupported, -1, TaskbarState::Error, 100},
                        Case{Screen::Success, 100, TaskbarState::None, 0},
                        Case{Screen::Cancelled, 20, TaskbarState::None, 0}}) {
    ScreenModel m;
    m.screen = c.screen;
    m.progress = c.progress;
    EXPECT_EQ(ui::TaskbarProgressFor(m), (ui::TaskbarProgress{c.state, c.value})) << ScreenName(c.screen);
  }
}

}  // namespace
}  // namespace tavo::launcher
