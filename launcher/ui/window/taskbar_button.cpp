#include "launcher/ui/window/taskbar_button.h"

namespace tavo::launcher::ui {

namespace {

// As MinGW-w64's shobjidl.h defines it; libuuid's object with it is large.
constexpr CLSID kTaskbarListClass = {0x56fdf344, 0xfd6d, 0x11d0, {0x95, 0x8a, 0x00, 0x60, 0x97, 0xc9, 0xa0, 0x90}};

TBPFLAG Flag(TaskbarState state) {
  switch (state) {
    case TaskbarState::Normal: return TBPF_NORMAL;
    case TaskbarState::Indeterminate: return TBPF_INDETERMINATE;
    case TaskbarState::Error: return TBPF_ERROR;
    default: return TBPF_NOPROGRESS;
  }
}

}  // namespace

UINT TaskbarButton::CreatedMessage(HWND window) {
  UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
  // Fails only where no filter applies (not elevated): the message arrives anyway.
  if (message) ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr);
  return message;
}

void TaskbarButton::OnCreated(HWND window, const TaskbarProgress& progress) {
  window_ = window;
  list_.reset();
  ComPtr<ITaskbarList3> list;
  if (FAILED(CoCreateInstance(kTaskbarListClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskbarList3),
                              list.put_void())) ||
      FAILED(list->HrInit())) {
    return;  // see the header
  }
  list_ = std::move(list);
  Apply(progress);
}

void TaskbarButton::Show(const TaskbarProgress& progress) {
  if (list_ && progress != shown_) Apply(progress);
}

void TaskbarButton::Clear() {
  if (list_) list_->SetProgressState(window_, TBPF_NOPROGRESS);
  list_.reset();
  shown_ = {};
}

void TaskbarButton::Apply(const TaskbarProgress& progress) {
  // The results do not matter (see the header); what was asked is remembered
  // so that an unchanged state is not sent again.
  list_->SetProgressState(window_, Flag(progress.state));
  if (progress.state == TaskbarState::Normal || progress.state == TaskbarState::Error) {
    list_->SetProgressValue(window_, progress.value, 100);
  }
  shown_ = progress;
}

}  // namespace tavo::launcher::ui
