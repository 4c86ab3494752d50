#include "launcher/ui/model/taskbar_progress.h"

#include <algorithm>

namespace tavo::launcher::ui {

TaskbarProgress TaskbarProgressFor(const ScreenModel& model) {
  switch (model.screen) {
    case Screen::Installing:
      if (model.progress >= 0) return {TaskbarState::Normal, static_cast<uint32_t>(std::min(model.progress, 100))};
      return {TaskbarState::Indeterminate, 0};
    case Screen::Preparing:
    case Screen::Verifying:
    case Screen::Stopping: return {TaskbarState::Indeterminate, 0};
    case Screen::Error:
    case Screen::Unsupported: return {TaskbarState::Error, 100};
    default: return {};
  }
}

}  // namespace tavo::launcher::ui
