#include "launcher/start/message_box.h"

#include "common/handles.h"
#include "common/text.h"
#include "launcher/language/translation.h"
#include "launcher/start/launch_options.h"
#include "launcher/ui/window/window_class.h"

namespace tavo::launcher {

void ShowLauncherMessageBox(const std::wstring& english, UINT style) {
  const std::wstring text = Shown(english);
  const std::wstring caption = Shown(kUsageCaption);
#ifdef TAVO_TEST_HOOKS
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"TAVO_TEST_HOOK_MESSAGE_BOX_FILE", path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    // Caption, style, whether a setup window of this process still exists, and
    // text, one file per box; a modal box would stall the test.
    HWND setupWindow = FindWindowW(ui::kWindowClassName, nullptr);
    DWORD owner = 0;
    if (setupWindow) GetWindowThreadProcessId(setupWindow, &owner);
    const char* windowAlive = owner == GetCurrentProcessId() ? "window" : "no window";
    std::string record =
        Utf8(caption) + "\n" + std::to_string(style) + "\n" + windowAlive + "\n" + Utf8(text);
    UniqueFile file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    return;
  }
#endif
  MessageBoxW(nullptr, text.c_str(), caption.c_str(), style);
}

}  // namespace tavo::launcher
