#include "launcher/ui/model/preview_state.h"

#include <algorithm>

#include "common/diagnostics/catalogue.h"
#include "common/text.h"
#include "launcher/start/launcher_codes.h"

namespace tavo::launcher::ui {

namespace {

constexpr uint32_t kDefaultErrorCode = 0x800B010A;  // CERT_E_CHAINING: a certificate that does not chain
constexpr uint32_t kNetworkErrorCode = 0x80072EE7;  // WININET_E_NAME_NOT_RESOLVED
constexpr uint32_t kLowDiskErrorCode = 0x80004005;  // E_FAIL

void ShowError(ScreenModel& model, uint32_t code, std::wstring status, uint64_t now) {
  model.SetScreen(Screen::Error, now);
  model.errorCodeText = Hex8(code);
  model.statusText = std::move(status);
}

}  // namespace

bool ApplyPreviewState(ScreenModel& model, const LaunchOptions& options, uint64_t now) {
  const std::wstring& name = options.stateName;
  const int32_t percent = options.percent >= 0 ? options.percent : 42;
  // A given code counts even when it is 0x00000000.
  const auto codeOr = [&](uint32_t fallback) { return options.errorCodeValid ? options.errorCode : fallback; };
  if (name == L"downloading" || name == L"installing" || name == L"cancel") {
    model.SetScreen(Screen::Installing, now);
    model.progress = percent;
    model.stopConfirmationShown = name == L"cancel";
  } else if (name == L"preparing" || name == L"welcome") {
    model.SetScreen(Screen::Preparing, now);
  } else if (name == L"verifying") {
    model.SetScreen(Screen::Verifying, now);
  } else if (name == L"stopping") {
    model.SetScreen(Screen::Stopping, now);
    model.statusText = texts::kStopping;
  } else if (name == L"success") {
    model.SetScreen(Screen::Success, now);
    model.statusText = texts::kOpeningFirstTime;
  } else if (name == L"installed") {
    model.SetScreen(Screen::Installed, now);
    model.statusText = texts::kAlreadyInstalled;
  } else if (name == L"cancelled") {
    model.SetScreen(Screen::Cancelled, now);
    model.statusText = texts::kCancelled;
  } else if (name == L"error" || name == L"error-cert") {
    const uint32_t code = codeOr(kDefaultErrorCode);
    ShowError(model, code, CatalogueMessage(static_cast<int32_t>(code)), now);
  } else if (name == L"error-network") {
    ShowError(model, kNetworkErrorCode,
              L"We couldn't reach the download server. Check your internet connection and try again.", now);
  } else if (name == L"error-low-disk") {
    const uint32_t code = codeOr(kLowDiskErrorCode);
    ShowError(model, code,
              CatalogueMessage(static_cast<int32_t>(code)) + L" Setup also found less than 3 GB free on " + L"C:\\" +
                  L". Low disk space may have contributed to this failure. Free space and try again.",
              now);
  } else if (name == L"unsupported") {
    model.SetScreen(Screen::Unsupported, now);
    model.errorCodeText = Hex8(kCodeOldWindows);
    model.statusText = L"Tavo needs Windows 10 version 2004 or later on an Intel or AMD 64-bit PC.";
  } else if (name == L"unsupported-avx") {
    model.SetScreen(Screen::Unsupported, now);
    model.errorCodeText = Hex8(kCodeNoAvx);
    model.statusText = L"Tavo Studio needs AVX, but AVX isn't available on this PC. Use a PC with AVX enabled.";
  } else {
    return false;
  }
  model.displayedProgress = static_cast<float>(std::max(model.progress, 0));
  return true;
}

SimulatedStep SimulatedRunAt(uint64_t elapsed) {
  if (elapsed < 1800) return {Screen::Preparing, -1, false};
  if (elapsed < 19800) return {Screen::Installing, static_cast<int32_t>((elapsed * 100 - 180000) / 18000), false};
  if (elapsed < 21000) return {Screen::Verifying, 100, false};
  return {Screen::Success, 100, true};
}

}  // namespace tavo::launcher::ui
