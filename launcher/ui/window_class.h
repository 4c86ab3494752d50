// The launcher window's class name: the window registers it, and test tools
// find the window by it.
#pragma once

namespace tavo::launcher::ui {

inline constexpr wchar_t kWindowClassName[] = L"Tavo.Setup";

}  // namespace tavo::launcher::ui
