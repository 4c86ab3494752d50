// tavo_window_driver: walks the launcher's window from outside, as a person
// would, for the integration tests. Runs its steps in order and prints one line
// per answer, `name=<JSON value>`, on standard output.
//
//   tavo_window_driver.exe STEP...
//     wait-window MS          until the launcher's window is shown      hwnd="0x..."
//     wait-gone MS            until no launcher window is shown         gone=true
//     (the steps act on the shown launcher window: windows of screenshot and
//     check runs beside it are never shown)
//     title                   the window title                          title="..."
//     status                  the status control's (1007) text          status="..."
//     wait-title TEXT MS      until the title contains TEXT             title="..."
//     wait-status TEXT MS     until the status text contains TEXT       status="..."
//     focus                   the answer to WM_USER (focus query)       focus="0x534B03E9"
//     visible                 whether the window is visible             visible=true
//     iconic                  whether the window is minimised           iconic=false
//     wait-restored MS        until the window is not minimised         iconic=false
//     foreground              whether it is the foreground window       foreground=true
//     rect                    the window's screen rectangle             rect={"left":..,"top":..,"width":..,"height":..}
//     control ID              one control's state                       control={"id":..,"text":..,"visible":..,"enabled":..}
//     wait-control ID TEXT MS until control ID's text contains TEXT     control={...}
//     command ID              sends WM_COMMAND (notification 0) for the control ID
//     key NAME                posts key down and up to the focused control: escape, tab,
//                             left, right, enter, space, or a virtual-key number
//                             (they are handled in order; wait for their effect)
//     close                   posts WM_CLOSE
//     box MS                  waits for a "Tavo Setup" message box of any process,
//                             prints its text and presses OK             box="..."
//     announcements TEXT GATE MS
//                             records what the window tells screen readers (live-region
//                             events, from a hook) until an announced text contains TEXT;
//                             creates the file GATE (unless "-") once the hook is up:
//                             first the status text when the hook began    hooked="..."
//                             then one answer per event, its text then     announce="..."
//     focused                 the control that has the keyboard focus (0: the window
//                             itself or none)                            focused=1001
//     wait-focused ID MS      until control ID has the keyboard focus (the window
//                             takes it once it is the foreground window) focused=1001
//     status-paints           how often the status control painted itself (test builds
//                             count it)                                  status-paints=0
//     wait-tip N MS           until the carousel shows tip N (test builds) tip=3
//     alt-f4                  posts Alt+F4 to the focused control, as typed (the close
//                             it asks for may come after the step returns)
//     taskbar-created         posts the shell's "TaskbarButtonCreated" message, as Explorer
//                             does when it made the window's button
//     post MSG WPARAM LPARAM  posts a message of any number with these values (decimal),
//                             as any other process of the user can
//     sleep MS
// Exit code: 0 when every step succeeded, 1 when a wait timed out or the window
// is missing, 2 for a bad command line.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "common/handles.h"
#include "common/text.h"
#include "launcher/ui/window/window_class.h"

namespace {

using tavo::Utf8;

constexpr int kStatusControlId = 1007;
// How long a message to the window may take: 5 s, or TAVO_DRIVER_MESSAGE_MS for
// a launcher under emulation, whose first frames can hold its thread longer.
UINT MessageTimeoutMs() {
  static const UINT ms = [] {
    wchar_t value[16] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"TAVO_DRIVER_MESSAGE_MS", value, 16);
    const unsigned long parsed = length > 0 && length < 16 ? std::wcstoul(value, nullptr, 10) : 0;
    return parsed > 0 ? static_cast<UINT>(parsed) : 5000u;
  }();
  return ms;
}
const UINT kMessageTimeoutMs = MessageTimeoutMs();
// "Try again" starts a whole session.
const UINT kCommandTimeoutMs = kMessageTimeoutMs > 30000 ? kMessageTimeoutMs : 30000;
constexpr DWORD kPollMs = 50;

void Print(const char* name, const std::string& jsonValue) {
  std::printf("%s=%s\n", name, jsonValue.c_str());
  std::fflush(stdout);
}
std::string Json(const std::wstring& text) { return tavo::JsonString(text); }

struct Failure {
  std::wstring what;
  int exitCode = 1;
};
Failure Usage(std::wstring what) { return Failure{std::move(what), 2}; }

// The shown launcher window. Tests that take screenshots or run checks beside
// the driven launcher make windows of the same class that are never shown.
BOOL CALLBACK FindShownLauncher(HWND window, LPARAM found) {
  wchar_t className[32] = {};
  ::GetClassNameW(window, className, 32);
  if (std::wcscmp(className, tavo::launcher::ui::kWindowClassName) != 0 || !::IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND FindLauncherWindow() {
  HWND found = nullptr;
  ::EnumWindows(FindShownLauncher, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND RequireWindow() {
  HWND window = FindLauncherWindow();
  if (!window) throw Failure{L"no launcher window"};
  return window;
}

// WM_GETTEXT through the window's own thread, so the live text is read.
std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length))
    throw Failure{L"WM_GETTEXTLENGTH failed"};
  std::vector<wchar_t> buffer(length + 1);
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
    throw Failure{L"WM_GETTEXT failed"};
  return std::wstring(buffer.data(), std::min<size_t>(copied, length));
}

HWND Control(int id) {
  HWND control = ::GetDlgItem(RequireWindow(), id);
  if (!control) throw Failure{L"no control " + std::to_wstring(id)};
  return control;
}

// Polls `ready` until it holds or `ms` have passed.
bool WaitFor(DWORD ms, const std::function<bool()>& ready) {
  const ULONGLONG end = ::GetTickCount64() + ms;
  for (;;) {
    if (ready()) return true;
    if (::GetTickCount64() >= end) return false;
    ::Sleep(kPollMs);
  }
}

// Texts read while the window may be going away count as not yet matching.
std::wstring TextOrEmpty(const std::function<HWND()>& find) {
  try {
    return WindowText(find());
  } catch (const Failure&) {
    return {};
  }
}

UINT VirtualKey(const std::wstring& name) {
  if (name == L"escape") return VK_ESCAPE;
  if (name == L"tab") return VK_TAB;
  if (name == L"left") return VK_LEFT;
  if (name == L"right") return VK_RIGHT;
  if (name == L"enter") return VK_RETURN;
  if (name == L"space") return VK_SPACE;
  wchar_t* end = nullptr;
  unsigned long code = std::wcstoul(name.c_str(), &end, 0);
  if (name.empty() || *end != 0 || code == 0 || code > 0xFE) throw Usage(L"unknown key " + name);
  return static_cast<UINT>(code);
}

// Returns once the window's thread has handled `posted` messages posted to it
// before: a thread handles sent messages before it takes the next posted one,
// so each synchronous WM_NULL returns only after the posted message before it.
void Settle(HWND window, int posted) {
  for (int i = 0; i <= posted; ++i) {
    DWORD_PTR ignored = 0;
    // A window that closes meanwhile has handled everything it will.
    if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored)) return;
  }
}

// Posted, not sent: the launcher's message loop must see the keys itself, as it
// sees typed ones, before IsDialogMessageW.
void PostKey(UINT key, bool alt = false) {
  HWND window = RequireWindow();
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  HWND target = ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus
                    ? info.hwndFocus
                    : window;
  // With Alt held a key comes as a system key, context bit 29 set.
  const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16 | (alt ? LPARAM{1} << 29 : 0);
  ::PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, scan | 1);
  ::PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, key, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
  // A system key's command (Alt+F4: WM_SYSCOMMAND) may come later: wait for its effect.
  Settle(window, 2);
}

struct BoxSearch {
  HWND box = nullptr;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM context) {
  wchar_t className[16] = {};
  wchar_t caption[32] = {};
  ::GetClassNameW(window, className, 16);
  ::GetWindowTextW(window, caption, 32);
  if (std::wcscmp(className, L"#32770") == 0 && std::wcscmp(caption, L"Tavo Setup") == 0 &&
      ::IsWindowVisible(window)) {
    reinterpret_cast<BoxSearch*>(context)->box = window;
    return FALSE;
  }
  return TRUE;
}

// The message text is the one static control of the box that has text.
BOOL CALLBACK FindBoxText(HWND child, LPARAM context) {
  wchar_t className[16] = {};
  ::GetClassNameW(child, className, 16);
  if (_wcsicmp(className, L"Static") != 0) return TRUE;
  std::wstring text = TextOrEmpty([child] { return child; });
  if (text.empty()) return TRUE;
  *reinterpret_cast<std::wstring*>(context) = text;
  return FALSE;
}

DWORD Number(const std::wstring& text) {
  wchar_t* end = nullptr;
  unsigned long value = std::wcstoul(text.c_str(), &end, 10);
  if (text.empty() || *end != 0) throw Usage(L"bad number " + text);
  return static_cast<DWORD>(value);
}

std::string ControlJson(int id) {
  HWND control = Control(id);
  return "{\"id\":" + std::to_string(id) + ",\"text\":" + Json(WindowText(control)) +
         ",\"visible\":" + (::IsWindowVisible(control) ? "true" : "false") +
         ",\"enabled\":" + (::IsWindowEnabled(control) ? "true" : "false") + "}";
}

// The live-region events of any process, read as the hook delivers them,
// until one's text contains `g_until`.
std::wstring g_until;
bool g_heard = false;

void CALLBACK OnLiveRegionChanged(HWINEVENTHOOK, DWORD, HWND control, LONG object, LONG child, DWORD, DWORD) {
  if (object != OBJID_CLIENT || child != CHILDID_SELF) return;
  const std::wstring text = TextOrEmpty([control] { return control; });
  Print("announce", Json(text));
  if (text.find(g_until) != std::wstring::npos) g_heard = true;
}

void RecordAnnouncements(std::wstring until, const std::wstring& gate, DWORD ms) {
  g_until = std::move(until);
  g_heard = false;
  const std::unique_ptr<std::remove_pointer_t<HWINEVENTHOOK>, decltype(&::UnhookWinEvent)> hook(
      ::SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr, OnLiveRegionChanged,
                        0, 0, WINEVENT_OUTOFCONTEXT),
      ::UnhookWinEvent);
  if (!hook) throw Failure{L"SetWinEventHook failed"};
  // What was on screen when the hook began: changes before it are not heard.
  // The window is found before its controls exist (they come with WM_CREATE).
  std::wstring shown;
  WaitFor(kMessageTimeoutMs, [&] { return !(shown = TextOrEmpty([] { return Control(kStatusControlId); })).empty(); });
  Print("hooked", Json(shown));
  if (gate != L"-") {
    const tavo::UniqueFile file(::CreateFileW(gate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) throw Failure{L"cannot create " + gate};
  }
  // Out-of-context events arrive as messages of this thread.
  WaitFor(ms, [] {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    return g_heard;
  });
  if (!g_heard) throw Failure{L"no announcement of " + g_until + L" in time"};
}

// The control with the keyboard focus, asked of the window's thread, not of
// the window: a focus left on the window itself, or none, answers 0.
int FocusedControl() {
  HWND window = RequireWindow();
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) throw Failure{L"no thread info"};
  return info.hwndFocus && ::IsChild(window, info.hwndFocus) ? ::GetDlgCtrlID(info.hwndFocus) : 0;
}

int Run(std::vector<std::wstring> args) {
  size_t i = 0;
  auto next = [&]() -> std::wstring {
    if (i >= args.size()) throw Usage(L"missing value");
    return args[i++];
  };
  while (i < args.size()) {
    const std::wstring step = next();
    if (step == L"wait-window") {
      const DWORD ms = Number(next());
      if (!WaitFor(ms, [] { return FindLauncherWindow() != nullptr; })) throw Failure{L"no launcher window in time"};
      wchar_t handle[32];
      std::swprintf(handle, 32, L"0x%llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(RequireWindow())));
      Print("hwnd", Json(handle));
    } else if (step == L"wait-gone") {
      if (!WaitFor(Number(next()), [] { return FindLauncherWindow() == nullptr; }))
        throw Failure{L"the launcher window stayed"};
      Print("gone", "true");
    } else if (step == L"title") {
      Print("title", Json(WindowText(RequireWindow())));
    } else if (step == L"status") {
      Print("status", Json(WindowText(Control(kStatusControlId))));
    } else if (step == L"wait-title" || step == L"wait-status") {
      const bool title = step == L"wait-title";
      const std::wstring wanted = next();
      const DWORD ms = Number(next());
      std::wstring text;
      auto find = title ? std::function<HWND()>(RequireWindow) : std::function<HWND()>([] { return Control(kStatusControlId); });
      const bool found = WaitFor(ms, [&] {
        text = TextOrEmpty(find);
        return text.find(wanted) != std::wstring::npos;
      });
      Print(title ? "title" : "status", Json(text));
      if (!found) throw Failure{L"timed out waiting for " + wanted};
    } else if (step == L"focus") {
      DWORD_PTR answer = 0;
      if (!::SendMessageTimeoutW(RequireWindow(), WM_USER, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &answer))
        throw Failure{L"WM_USER failed"};
      Print("focus", Json(tavo::Hex8(static_cast<uint32_t>(answer))));
    } else if (step == L"visible") {
      Print("visible", ::IsWindowVisible(RequireWindow()) ? "true" : "false");
    } else if (step == L"iconic" || step == L"wait-restored") {
      const bool restored = step == L"iconic" || WaitFor(Number(next()), [] { return !::IsIconic(RequireWindow()); });
      Print("iconic", ::IsIconic(RequireWindow()) ? "true" : "false");
      if (!restored) throw Failure{L"the window stayed minimised"};
    } else if (step == L"foreground") {
      Print("foreground", ::GetForegroundWindow() == RequireWindow() ? "true" : "false");
    } else if (step == L"rect") {
      RECT r{};
      if (!::GetWindowRect(RequireWindow(), &r)) throw Failure{L"GetWindowRect failed"};
      Print("rect", "{\"left\":" + std::to_string(r.left) + ",\"top\":" + std::to_string(r.top) +
                        ",\"width\":" + std::to_string(r.right - r.left) +
                        ",\"height\":" + std::to_string(r.bottom - r.top) + "}");
    } else if (step == L"control") {
      Print("control", ControlJson(static_cast<int>(Number(next()))));
    } else if (step == L"wait-control") {
      const int id = static_cast<int>(Number(next()));
      const std::wstring wanted = next();
      const DWORD ms = Number(next());
      const bool found = WaitFor(ms, [&] {
        return TextOrEmpty([id] { return Control(id); }).find(wanted) != std::wstring::npos;
      });
      Print("control", ControlJson(id));
      if (!found) throw Failure{L"timed out waiting for " + wanted};
    } else if (step == L"command") {
      const int id = static_cast<int>(Number(next()));
      HWND window = RequireWindow();
      // Sent, not posted: a window whose paint lets Wine's display driver look
      // at sent messages would answer a settling WM_NULL before the posted
      // command. A command needs nothing of the message loop.
      DWORD_PTR ignored = 0;
      ::SendMessageTimeoutW(window, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(::GetDlgItem(window, id)),
                            SMTO_ABORTIFHUNG, kCommandTimeoutMs, &ignored);
    } else if (step == L"key") {
      PostKey(VirtualKey(next()));
    } else if (step == L"close") {
      ::PostMessageW(RequireWindow(), WM_CLOSE, 0, 0);
    } else if (step == L"box") {
      BoxSearch search;
      if (!WaitFor(Number(next()), [&] {
            ::EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
            return search.box != nullptr;
          }))
        throw Failure{L"no message box in time"};
      std::wstring text;
      ::EnumChildWindows(search.box, FindBoxText, reinterpret_cast<LPARAM>(&text));
      Print("box", Json(text));
      ::PostMessageW(search.box, WM_COMMAND, IDOK, 0);
    } else if (step == L"announcements") {
      std::wstring until = next();
      std::wstring gate = next();
      RecordAnnouncements(std::move(until), gate, Number(next()));
    } else if (step == L"focused") {
      Print("focused", std::to_string(FocusedControl()));
    } else if (step == L"wait-focused") {
      const int wanted = static_cast<int>(Number(next()));
      const bool focused = WaitFor(Number(next()), [wanted] { return FocusedControl() == wanted; });
      Print("focused", std::to_string(FocusedControl()));
      if (!focused) throw Failure{L"timed out waiting for the focus on control " + std::to_wstring(wanted)};
    } else if (step == L"wait-tip") {
      const DWORD wanted = Number(next());
      DWORD_PTR tip = 0;
      const bool shown = WaitFor(Number(next()), [&] {
        return ::SendMessageTimeoutW(RequireWindow(), tavo::launcher::ui::kMsgTestCurrentTip, 0, 0, SMTO_ABORTIFHUNG,
                                     kMessageTimeoutMs, &tip) &&
               tip == wanted;
      });
      Print("tip", std::to_string(tip));
      if (!shown) throw Failure{L"timed out waiting for tip " + std::to_wstring(wanted)};
    } else if (step == L"alt-f4") {
      PostKey(VK_F4, true);
    } else if (step == L"status-paints") {
      DWORD_PTR count = 0;
      if (!::SendMessageTimeoutW(RequireWindow(), tavo::launcher::ui::kMsgTestStatusSelfPaints, 0, 0,
                                 SMTO_ABORTIFHUNG, kMessageTimeoutMs, &count))
        throw Failure{L"the status paint count failed"};
      Print("status-paints", std::to_string(count));
    } else if (step == L"post") {
      const UINT message = static_cast<UINT>(Number(next()));
      const WPARAM wParam = static_cast<WPARAM>(Number(next()));
      if (!::PostMessageW(RequireWindow(), message, wParam, static_cast<LPARAM>(Number(next())))) {
        throw Failure{L"PostMessageW failed"};
      }
    } else if (step == L"taskbar-created") {
      ::PostMessageW(RequireWindow(), ::RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
    } else if (step == L"sleep") {
      ::Sleep(Number(next()));
    } else {
      throw Usage(L"unknown step " + step);
    }
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: tavo_window_driver.exe STEP... (see window_driver.cpp)\n", stderr);
    return 2;
  }
  try {
    return Run(std::vector<std::wstring>(argv + 1, argv + argc));
  } catch (const Failure& failure) {
    Print("error", Json(failure.what));
    return failure.exitCode;
  }
}
