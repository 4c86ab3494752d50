#include "launcher/start/launch_options.h"

#include <algorithm>
#include <array>
#include <cwchar>
#include <string_view>

#include "launcher/language/language_choice.h"

namespace tavo::launcher {

const wchar_t kUsageText[] =
    L"TavoSetup.exe [--install | --check-only] [--silent | --passive] [--verbose] [--report PATH] [--language TAG]\n"
    L"TavoSetup.exe --preview [--state preparing|installing|verifying|cancel|stopping|success|installed|"
    L"cancelled|error|error-network|error-low-disk|unsupported|unsupported-avx] [--error-code 0xXXXXXXXX] "
    L"[--percent 0..100] [--tip 0..6] [--language TAG] [--screenshot PATH [--screenshot-scale 1..3]]";

namespace {

constexpr std::array<std::wstring_view, 16> kStateNames = {
    L"welcome",   L"preparing", L"downloading", L"installing",    L"verifying",      L"stopping",
    L"cancel",    L"success",   L"installed",   L"cancelled",     L"error",          L"error-cert",
    L"error-network", L"error-low-disk", L"unsupported", L"unsupported-avx"};

bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// "0x"/"0X" and exactly 8 hexadecimal digits of either case.
bool ParseErrorCode(const std::wstring& text, uint32_t& code) {
  if (text.size() != 10 || text[0] != L'0' || (text[1] != L'x' && text[1] != L'X')) return false;
  if (!std::all_of(text.begin() + 2, text.end(), IsHexDigit)) return false;
  code = static_cast<uint32_t>(std::wcstoul(text.c_str() + 2, nullptr, 16));
  return true;
}

// A signed decimal integer read from the start of the text; no digits give 0.
int32_t LeadingInteger(const std::wstring& text) {
  long long value = std::wcstoll(text.c_str(), nullptr, 10);
  return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

// A floating-point number read from the start of the text; no number gives 0.
float LeadingNumber(const std::wstring& text) {
  double value = std::wcstod(text.c_str(), nullptr);
  if (value != value) return 0.0f;  // "nan" reads as a number; treat it as none
  return static_cast<float>(std::clamp(value, -1e6, 1e6));
}

// The arguments by the option table, then their combination.
ParsedCommandLine ParseArguments(std::span<const std::wstring> arguments);

}  // namespace

bool IsAcceptedStateName(const std::wstring& name) {
  return name.empty() || std::find(kStateNames.begin(), kStateNames.end(), name) != kStateNames.end();
}

ParsedCommandLine ParseLaunchArguments(std::span<const std::wstring> arguments) {
  ParsedCommandLine result = ParseArguments(arguments);
  // An unattended run shows no box, not even the usage box: a deployment
  // tool waiting for it would wait until it timed out.
  if (result.verdict == CommandLineVerdict::UsageBox &&
      (std::find(arguments.begin(), arguments.end(), L"--silent") != arguments.end() ||
       std::find(arguments.begin(), arguments.end(), L"--passive") != arguments.end())) {
    result.verdict = CommandLineVerdict::Rejected;
  }
  return result;
}

namespace {

ParsedCommandLine ParseArguments(std::span<const std::wstring> arguments) {
  ParsedCommandLine result;
  LaunchOptions& o = result.options;
  bool percentGiven = false, tipGiven = false, scaleGiven = false, badErrorCode = false, badLanguage = false;

  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& arg = arguments[i];
    if (arg == L"--install") {
      o.installOnly = true;
    } else if (arg == L"--check-only") {
      o.checkOnly = true;
    } else if (arg == L"--silent") {
      o.silent = true;
    } else if (arg == L"--passive") {
      o.passive = true;
    } else if (arg == L"--verbose") {
      o.verbose = true;
    } else if (arg == L"--preview") {
      o.preview = true;
    } else if (arg == L"--report" || arg == L"--state" || arg == L"--error-code" || arg == L"--percent" ||
               arg == L"--tip" || arg == L"--screenshot" || arg == L"--screenshot-scale" || arg == L"--language") {
      if (i + 1 >= arguments.size()) {
        result.verdict = CommandLineVerdict::UsageBox;
        return result;
      }
      const std::wstring& value = arguments[++i];  // taken unchanged, even when it starts with --
      if (arg == L"--report") {
        o.reportPath = value;
      } else if (arg == L"--state") {
        o.stateName = value;
      } else if (arg == L"--screenshot") {
        o.screenshotPath = value;
      } else if (arg == L"--language") {
        o.language = value;
        badLanguage = badLanguage || !IsLanguageTag(value);  // a tag we do not ship falls back later
      } else if (arg == L"--error-code") {
        uint32_t code = 0;
        if (ParseErrorCode(value, code)) {
          o.errorCode = code;
          o.errorCodeValid = true;
        } else {
          badErrorCode = true;
        }
      } else if (arg == L"--percent") {
        o.percent = std::clamp(LeadingInteger(value), 0, 100);
        percentGiven = true;
      } else if (arg == L"--tip") {
        o.tip = std::clamp(LeadingInteger(value), 0, 6);
        tipGiven = true;
      } else {
        o.screenshotScale = std::clamp(LeadingNumber(value), 1.0f, 3.0f);
        scaleGiven = true;
      }
    } else {
      result.verdict = CommandLineVerdict::UsageBox;
      return result;
    }
  }

  // The worker's command line carries the path between double quotes; no
  // Windows path holds one, and one inside would split it.
  bool rejected =
      badErrorCode || badLanguage || o.reportPath.find(L'"') != std::wstring::npos ||
      (!o.preview && (!o.stateName.empty() || !o.screenshotPath.empty() || o.errorCodeValid || percentGiven ||
                      tipGiven || scaleGiven)) ||
      !IsAcceptedStateName(o.stateName) || (o.checkOnly && o.installOnly) ||
      (o.preview && (o.installOnly || o.checkOnly || o.verbose)) || (o.silent && o.passive) ||
      ((o.silent || o.passive) && (o.checkOnly || o.preview)) ||
      (o.preview && o.errorCodeValid && o.stateName != L"error" && o.stateName != L"error-low-disk");
  if (rejected) result.verdict = CommandLineVerdict::Rejected;
  return result;
}

}  // namespace

}  // namespace tavo::launcher
