// The launcher's message boxes (usage, start-up failure): no owner, caption
// "Tavo Setup".
#pragma once

#include <windows.h>

#include <string>

namespace tavo::launcher {

// Shows the box, its English text and caption in the active language, and
// waits for the user. Test builds can record the box to a file instead
// (TAVO_TEST_HOOK_MESSAGE_BOX_FILE), so that tests see it as shown.
void ShowLauncherMessageBox(const std::wstring& english, UINT style);

}  // namespace tavo::launcher
