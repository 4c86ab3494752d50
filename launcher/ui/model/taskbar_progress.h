// What the taskbar button shows of the setup's progress, from the screen model.
#pragma once

#include <cstdint>

#include "launcher/ui/model/screen_model.h"

namespace tavo::launcher::ui {

enum class TaskbarState { None, Normal, Indeterminate, Error };

struct TaskbarProgress {
  TaskbarState state = TaskbarState::None;
  uint32_t value = 0;  // percent, for Normal and Error

  bool operator==(const TaskbarProgress&) const = default;
};

// `installing` with a known percent: Normal at that percent; the other
// progress screens: Indeterminate; `error` and `unsupported`: Error, full, so
// the button turns red whatever progress was reached; the rest: None.
TaskbarProgress TaskbarProgressFor(const ScreenModel& model);

}  // namespace tavo::launcher::ui
