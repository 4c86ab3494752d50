// The launcher window's class name: the window registers it, and test tools
// find the window by it.
#pragma once

namespace tavo::launcher::ui {

inline constexpr wchar_t kWindowClassName[] = L"Tavo.Setup";
// The window property that marks the window of an install run: a second
// install run brings that one forward, never a preview's or a check's.
inline constexpr wchar_t kInstallRunProperty[] = L"Tavo.Setup.InstallRun";

// The window posts itself this message (WM_APP + 3) after its first frame, to
// start the worker session; at any other time it does nothing.
inline constexpr unsigned kMsgStartSession = 0x8000 + 3;

// Test builds answer this message (WM_APP + 16) with how often the status
// control painted itself; the frame draws its text, so it should never.
inline constexpr unsigned kMsgTestStatusSelfPaints = 0x8000 + 16;
// Test builds answer this message (WM_APP + 17) with the carousel's current tip.
inline constexpr unsigned kMsgTestCurrentTip = 0x8000 + 17;

}  // namespace tavo::launcher::ui
