// What screen readers are told and what the taskbar button shows, decided
// from the screen model.
#include <gtest/gtest.h>

#include <functional>

#include "launcher/ui/announcements.h"
#include "launcher/ui/controls_layout.h"
#include "launcher/ui/taskbar_progress.h"

namespace tavo::launcher::ui {
namespace {

class OneLineMeasure : public LayoutMeasure {
 public:
  float ButtonTextWidth(std::wstring_view text) override { return 7.0f * static_cast<float>(text.size()); }
  float SmallTextWidth(std::wstring_view text) override { return 7.0f * static_cast<float>(text.size()); }
  float TitleWidth(std::wstring_view text) override { return 10.0f * static_cast<float>(text.size()); }
  float BodyHeight(std::wstring_view) override { return 21; }
};

TEST(LauncherAccessibility, AnnouncesScreensStepsAndTheOverlayButNotPreparingDetails) {
  struct Step {
    const char* change;
    std::function<void(ScreenModel&)> apply;
    bool announced;
  };
  const Step steps[] = {
      {"a check detail", [](ScreenModel& m) { m.statusText = L"Checking this PC."; }, false},
      {"another detail", [](ScreenModel& m) { m.statusText = L"Reading the latest release."; }, false},
      {"installing at 3", [](ScreenModel& m) { m.screen = Screen::Installing, m.progress = 3; }, true},
      {"4, the same step", [](ScreenModel& m) { m.progress = 4; }, false},
      {"5", [](ScreenModel& m) { m.progress = 5; }, true},
      {"stop confirmation opens", [](ScreenModel& m) { m.stopConfirmationShown = true; }, true},
      {"progress under the question", [](ScreenModel& m) { m.progress = 17; }, false},
      {"question closes", [](ScreenModel& m) { m.stopConfirmationShown = false; }, true},
      {"verifying", [](ScreenModel& m) { m.screen = Screen::Verifying, m.statusText = L"Finishing."; }, true},
      {"success", [](ScreenModel& m) { m.screen = Screen::Success, m.statusText = texts::kOpeningFirstTime; }, true},
      {"the open failed", [](ScreenModel& m) { m.statusText = texts::kLaunchFailed; }, true},
      {"nothing", [](ScreenModel&) {}, false},
  };
  OneLineMeasure measure;
  ScreenModel model;
  auto key = [&] { return AnnouncementKeyFor(model, ComputeControls(model, {}, measure).accessibleText); };
  AnnouncementKey last = key();
  for (const Step& step : steps) {
    step.apply(model);
    AnnouncementKey next = key();
    EXPECT_EQ(next != last, step.announced) << step.change;
    last = next;
  }
}

TEST(LauncherAccessibility, TaskbarProgressPerScreen) {
  struct Row {
    Screen screen;
    int32_t progress;
    TaskbarProgress expected;
  };
  const Row rows[] = {
      {Screen::Preparing, -1, {TaskbarState::Indeterminate, 0}},
      {Screen::Installing, -1, {TaskbarState::Indeterminate, 0}},
      {Screen::Installing, 0, {TaskbarState::Normal, 0}},
      {Screen::Installing, 37, {TaskbarState::Normal, 37}},
      {Screen::Verifying, 100, {TaskbarState::Indeterminate, 0}},
      {Screen::Stopping, 40, {TaskbarState::Indeterminate, 0}},
      {Screen::Error, 40, {TaskbarState::Error, 100}},
      {Screen::Unsupported, -1, {TaskbarState::Error, 100}},
      {Screen::Success, 100, {TaskbarState::None, 0}},
      {Screen::Installed, -1, {TaskbarState::None, 0}},
      {Screen::Cancelled, 20, {TaskbarState::None, 0}},
  };
  for (const Row& row : rows) {
    ScreenModel model;
    model.screen = row.screen;
    model.progress = row.progress;
    EXPECT_EQ(TaskbarProgressFor(model), row.expected) << ScreenName(row.screen) << " " << row.progress;
  }
}

}  // namespace
}  // namespace tavo::launcher::ui
