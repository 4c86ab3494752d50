// The setup's progress on the window's taskbar button (ITaskbarList3). The
// shell takes the calls only once it has made the button, which it says with
// the registered "TaskbarButtonCreated" message, again after an Explorer
// restart. Failures are ignored: without a shell there is no button to show.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include "common/winrt/com_ptr.h"
#include "launcher/ui/model/taskbar_progress.h"

namespace tavo::launcher::ui {

class TaskbarButton {
 public:
  // The message's id for this session; lets it through to `window` when the
  // process runs elevated (the shell is not).
  static UINT CreatedMessage(HWND window);
  // The button exists (again): takes a new taskbar list and shows `progress`.
  void OnCreated(HWND window, const TaskbarProgress& progress);
  // Shows `progress` when it differs from what is shown; nothing before the
  // button exists.
  void Show(const TaskbarProgress& progress);
  // Clears the button's progress, before the window goes.
  void Clear();

 private:
  void Apply(const TaskbarProgress& progress);

  HWND window_ = nullptr;
  ComPtr<ITaskbarList3> list_;
  TaskbarProgress shown_;
};

}  // namespace tavo::launcher::ui
