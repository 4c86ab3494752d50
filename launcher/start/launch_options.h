// The launcher's command line: launch options, their validation and the usage text.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tavo::launcher {

struct LaunchOptions {
  bool preview = false;
  bool installOnly = false;  // --install: install, but do not open the application
  bool checkOnly = false;
  bool silent = false;   // --silent: an install run with no window and no message box at all
  bool passive = false;  // --passive: the window shows the progress, asks nothing and closes by itself
  bool verbose = false;
  std::wstring stateName;
  std::wstring reportPath;  // made absolute by the entry after parsing
  std::wstring screenshotPath;
  // --language: a BCP-47 tag asked for before the user's own languages.
  std::wstring language;
  uint32_t errorCode = 0;
  bool errorCodeValid = false;
  int32_t percent = -1;
  int32_t tip = 0;
  float screenshotScale = 1.0f;

  // Neither preview nor check only.
  bool InstallRun() const { return !preview && !checkOnly; }
  // Tavo Studio is opened once it is there (a preview shows it so): not with
  // --install, and never unattended.
  bool OpensApplication() const { return !installOnly && !silent && !passive; }
  // Nobody is expected at the keyboard.
  bool Unattended() const { return silent || passive; }
};

enum class CommandLineVerdict {
  Accepted,
  UsageBox,  // unknown argument or missing value: show the usage box, exit 87 (never unattended)
  Rejected,  // a bad combination or value: exit 87 and show nothing
};

struct ParsedCommandLine {
  CommandLineVerdict verdict = CommandLineVerdict::Accepted;
  LaunchOptions options;
};

// Reads the arguments after the program name (exact, case-sensitive option names;
// later values replace earlier ones) and validates their combination.
ParsedCommandLine ParseLaunchArguments(std::span<const std::wstring> arguments);

// True for the preview state names that --state accepts (empty included).
bool IsAcceptedStateName(const std::wstring& name);

// Exit code of a rejected command line: ERROR_INVALID_PARAMETER.
inline constexpr uint32_t kExitInvalidParameter = 87;

inline constexpr wchar_t kUsageCaption[] = L"Tavo Setup";
extern const wchar_t kUsageText[];

}  // namespace tavo::launcher
