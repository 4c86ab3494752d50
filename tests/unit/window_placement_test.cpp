// Where the setup window opens: the DPI rule and the size in the work area.
#include <gtest/gtest.h>

#include <array>

#include "launcher/ui/model/window_placement.h"

namespace tavo::launcher::ui {
namespace {

TEST(WindowPlacement, TheMonitorsAnswerWinsEvenAt96) {
  struct Case {
    std::optional<uint32_t> monitor, system;
    uint32_t dpi;
  };
  for (const Case& c : {Case{96, 144, 96},                  // a 100 % monitor beside a 150 % primary
                        Case{120, 96, 120}, Case{0, 144, 144},  // 0 is no answer
                        Case{std::nullopt, 144, 144},           // the query failed or is missing
                        Case{std::nullopt, 0, 96}, Case{std::nullopt, std::nullopt, 96}}) {
    EXPECT_EQ(ChooseDpi(c.monitor, c.system), c.dpi)
        << c.monitor.value_or(999) << " / " << c.system.value_or(999);
  }
}

TEST(WindowPlacement, SizedByDpiWithinTheWorkAreaAndCentred) {
  struct Case {
    WorkArea work;
    uint32_t dpi;
    int x, y, width, height;
  };
  for (const Case& c : {Case{{0, 0, 1920, 1040}, 96, 600, 220, 720, 600},
                        Case{{0, 0, 1920, 1040}, 144, 420, 70, 1080, 900},
                        // 1024 x 600: min(1, 984 / 720, 560 / 600) = 0.9333
                        Case{{0, 0, 1024, 600}, 96, 176, 20, 672, 560},
                        Case{{1920, 0, 3840, 1040}, 96, 2520, 220, 720, 600}}) {  // a second monitor
    const WindowPlacement p = PlaceWindow(c.work, c.dpi);
    EXPECT_EQ((std::array{p.x, p.y, p.width, p.height}), (std::array{c.x, c.y, c.width, c.height})) << c.dpi;
  }
}

}  // namespace
}  // namespace tavo::launcher::ui
