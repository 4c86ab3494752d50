// Preview mode without the window: the named states that --state shows and
// the simulated run through the progress screens. Pure functions of the model.
#pragma once

#include <cstdint>
#include <string>

#include "launcher/start/launch_options.h"
#include "launcher/ui/model/screen_model.h"

namespace tavo::launcher::ui {

// Puts the model on the screen that `options.stateName` names, with its texts
// and progress (--percent, --error-code), and the bar already at its value.
// Returns false for an empty or unknown name, which leaves the model as it was
// (an empty name starts the simulated run instead).
bool ApplyPreviewState(ScreenModel& model, const LaunchOptions& options, uint64_t now);

// Where the simulated run stands `elapsed` milliseconds after its start.
struct SimulatedStep {
  Screen screen = Screen::Preparing;
  int32_t progress = -1;
  bool finished = false;  // reached `success`: the run stops and opens the application
};
SimulatedStep SimulatedRunAt(uint64_t elapsed);

// How long after the run's success preview "opens" the application.
inline constexpr uint32_t kDemoLaunchDelayMs = 2600;

}  // namespace tavo::launcher::ui
