#include "launcher/outcome/desktop_platform.h"

#include <objbase.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <cstring>

#include "common/host_facts.h"
#include "common/telemetry/telemetry_queue.h"
#include "common/winrt/com_ptr.h"
#include "launcher/outcome/fallback_report.h"

namespace tavo::launcher {

namespace {

constexpr CLSID kClsidApplicationActivationManager = {
    0x45BA127D, 0x10A8, 0x46EA, {0x8A, 0xB7, 0x56, 0xEA, 0x90, 0x78, 0x94, 0x3C}};
constexpr IID kIidApplicationActivationManager = {
    0x2E941141, 0x7F97, 0x4756, {0xBA, 0x1D, 0x9D, 0xEC, 0xDE, 0x89, 0x4A, 0x3D}};

}  // namespace

void DesktopPlatform::StartWorker(const SessionRequest& request, SessionPaths& paths) {
  session_.SetWindow(window_.Handle());
  session_.Start(request, paths);
}

bool DesktopPlatform::ReportReady(const std::wstring& path, const ReportIdentity& identity) {
  return ReportFileReady(path, identity);
}

uint32_t DesktopPlatform::WriteFallbackReport() {
  FallbackReportInput input;
  input.sessionReportPath = model_.reportPath;
  input.optionReportPath = options_.reportPath;
  input.verbose = options_.verbose;
  input.host = ReadHostFacts();
  input.errorCodeText = model_.errorCodeText;
  input.statusText = model_.statusText;
  input.technicalLog = model_.technicalLog;
  input.errors = model_.errors;
  FallbackReportResult result = launcher::WriteFallbackReport(input);
  if (result.record) model_.AddError(std::move(*result.record));
  // "Show log file" and the report-ready test find the written file.
  if (result.code == 0 && model_.reportPath.empty()) model_.reportPath = result.writtenPath;
  return static_cast<uint32_t>(result.code);
}

void DesktopPlatform::SendTelemetry(const OutcomeTelemetry& telemetry) {
  // Sent in the background: the window never waits on the network.
  LauncherTelemetry().Post({telemetry.outcome, telemetry.code, telemetry.errors, telemetry.userCancelled});
}

void DesktopPlatform::OpenUrl(const std::wstring& url) {
  ShellExecuteW(window_.Handle(), L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void DesktopPlatform::ShowInExplorer(const std::wstring& path) {
  // By its full path: a bare name is looked up in the current folder (for a
  // setup, Downloads) before the Windows folder. The system's Windows folder
  // (never a per-user one under Remote Desktop) is not redirected for a
  // 32-bit process, so this is the native Explorer.
  wchar_t windows[MAX_PATH] = {};
  UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;  // nothing safe to start; the button has no failure screen
  std::wstring explorer = std::wstring(windows, length) + L"\\explorer.exe";
  std::wstring parameters = L"/select,\"" + path + L"\"";
  ShellExecuteW(window_.Handle(), L"open", explorer.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
}

bool DesktopPlatform::CopyToClipboard(const std::wstring& text) {
  if (!OpenClipboard(window_.Handle())) return false;
  bool copied = false;
  if (EmptyClipboard()) {
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
      if (void* memory = GlobalLock(block)) {
        std::memcpy(memory, text.c_str(), bytes);
        GlobalUnlock(block);
        copied = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
      }
      if (!copied) GlobalFree(block);  // not handed over to the clipboard
    }
  }
  CloseClipboard();
  return copied;
}

uint32_t DesktopPlatform::WindowsBuild() { return tavo::WindowsBuild(); }

int32_t DesktopPlatform::ActivateApplication(const std::wstring& aumid, std::wstring& operation) {
  operation = L"launcher.create_activation_manager";
  ComPtr<IApplicationActivationManager> manager;
  HRESULT hr = CoCreateInstance(kClsidApplicationActivationManager, nullptr, CLSCTX_LOCAL_SERVER,
                                kIidApplicationActivationManager, manager.put_void());
  if (FAILED(hr)) return hr;
  // Lets the application take the foreground when it opens.
  CoAllowSetForegroundWindow(manager.get(), nullptr);
  operation = L"launcher.activate_application";
  DWORD processId = 0;
  return manager->ActivateApplication(aumid.c_str(), L"", AO_NONE, &processId);
}

bool DesktopPlatform::OpenInAppsFolder(const std::wstring& target, uint32_t& lastError) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  // NOASYNC: the launcher closes right after this call, and without it the
  // shell may still be activating the application on a thread of ours.
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.hwnd = window_.Handle();
  info.lpVerb = L"open";
  info.lpFile = target.c_str();
  info.nShow = SW_SHOWNORMAL;
  SetLastError(0);
  if (ShellExecuteExW(&info)) return true;
  lastError = GetLastError();
  return false;
}

}  // namespace tavo::launcher
