// The setup window's screen model: the current screen, its texts, progress and
// the flags that decide the buttons. Pure state; the window draws from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/diagnostics/error_record.h"

namespace tavo::launcher {

enum class Screen : int {
  Preparing = 0,
  Installing = 1,
  Verifying = 2,
  Stopping = 3,
  Success = 4,
  Installed = 5,
  Error = 6,
  Unsupported = 7,
  Cancelled = 8,
};

inline constexpr int kTipCount = 7;
// How long a tip stays before the carousel moves on.
inline constexpr uint64_t kTipDwellMs = 7000;
// How long "Copied" replaces "Copy details" after a copy.
inline constexpr uint64_t kCopiedMs = 1800;
// The longest step one animation tick takes (a stall does not jump the animations).
inline constexpr uint64_t kMaxFrameStepMs = 250;

inline bool IsOutcome(Screen screen) { return static_cast<int>(screen) >= static_cast<int>(Screen::Success); }
// "Copied" is shown for kCopiedMs after a copy at `copiedAt` (0: no copy).
bool CopiedShown(uint64_t copiedAt, uint64_t now);
const wchar_t* ScreenName(Screen screen);

// Identity of a report file, to tell a file the worker wrote from an older one.
struct ReportIdentity {
  uint32_t volumeSerial = 0;
  uint32_t indexHigh = 0;
  uint32_t indexLow = 0;
  bool valid = false;
};

namespace texts {
inline constexpr wchar_t kGettingReady[] = L"Getting ready to install Tavo Studio.";
inline constexpr wchar_t kOpeningFirstTime[] = L"Opening Tavo Studio for the first time.";
inline constexpr wchar_t kInstalledUpdates[] = L"Tavo Studio is installed and updates automatically.";
inline constexpr wchar_t kAlreadyInstalled[] = L"Tavo Studio is already on this PC. Opening it now.";
inline constexpr wchar_t kCancelled[] =
    L"Windows stopped the installation safely. Run setup again whenever you're ready.";
inline constexpr wchar_t kStopping[] = L"Stopping safely. Windows may need a moment to undo the changes.";
inline constexpr wchar_t kMissingResult[] =
    L"Windows couldn't finish the installation. Try again, or share the diagnostic log with Tavo support.";
inline constexpr wchar_t kLaunchFailed[] =
    L"Tavo Studio is installed, but didn't open automatically. You can also find it in the Start menu.";
inline constexpr wchar_t kPrepareFailed[] =
    L"We couldn't prepare the installer in your user folder. Check available space and permissions, then try again.";
inline constexpr wchar_t kStopQuestion[] =
    L"Stop installing Tavo Studio? Windows will undo the changes safely. You can run setup again anytime.";
inline constexpr wchar_t kWindowTitle[] = L"Tavo Studio Setup";
}  // namespace texts

struct ScreenModel {
  Screen screen = Screen::Preparing;
  std::wstring statusText = texts::kGettingReady;
  std::wstring errorCodeText;
  std::wstring launchTarget;
  int32_t progress = -1;
  float displayedProgress = 0.0f;
  bool stopConfirmationShown = false;
  bool workerRunning = false;
  bool stopRequested = false;
  bool closeAfterStop = false;
  bool closeAfterWorker = false;
  bool launchFailed = false;
  // The error of a setup run as someone else than the desktop's person: no
  // "Try again", which would install for the wrong person.
  bool wrongAccount = false;
  bool demoRunning = false;
  bool reducedMotion = false;
  uint64_t screenChangedAt = 0;  // elapsed milliseconds
  // The clock every animation reads: tick count minus the start tick, or the
  // frozen value of a screenshot.
  uint64_t startTick = 0;
  bool clockFrozen = false;
  uint64_t frozenNow = 0;
  // Tip carousel: the shown tip, the one before it (-1 before the first
  // change), when it changed and how long the shown one has been up.
  int currentTip = 0;
  int previousTip = -1;
  uint64_t tipChangedAt = 0;
  uint64_t tipDwell = 0;
  uint64_t demoStart = 0;  // elapsed milliseconds when the simulated run began
  uint64_t copiedAt = 0;         // 0: no copy shown
  std::wstring reportPath;
  ReportIdentity reportIdentity;
  uint32_t exitCode = 0;
  // Every failure the launcher saw or was told of in this session.
  std::vector<ErrorRecord> errors;
  // One line per record of `errors`, joined by CR LF.
  std::wstring technicalLog;

  // Moves to `next`; a change records its time, from which the entrance
  // animation runs. Returns whether the screen changed.
  bool SetScreen(Screen next, uint64_t now);
  // Elapsed milliseconds at this tick count (the frozen value when frozen).
  uint64_t Elapsed(uint64_t tickCount) const;
  // Stops every clock at the screenshot's moment: entrances and the tip's
  // cross-fade complete, the tip 40 % through its dwell.
  void FreezeClock();
  // Shows tip `tip` (wrapped into 0..6): the shown one becomes the previous
  // tip, the cross-fade restarts and the dwell starts again. Arrow keys,
  // indicator clicks and the timed advance all come through here.
  void SelectTip(int tip, uint64_t now);
  // One animation tick at `now`, after the tick at `lastTick` (updated): the
  // frame step is now - lastTick, clamped to kMaxFrameStepMs (a clock going
  // backwards counts as a stall). Ends "Copied" once its time is over; on the
  // carousel (progress screens without the stop question) adds the step to the
  // tip dwell and moves to the next tip at kTipDwellMs; eases the displayed
  // progress 18 % of the way to the progress, or jumps with reduced motion.
  // Returns whether "Copied" ended, which changes the controls.
  bool AnimationTick(uint64_t now, uint64_t& lastTick);
  // Appends the record's log line and moves the record to the error list.
  void AddError(ErrorRecord record);
};

}  // namespace tavo::launcher
