#include "worker/preflight/preflight.h"

#include <windows.h>

#include "common/diagnostics/catalogue.h"
#include "common/diagnostics/error_record.h"
#include "common/text.h"
#include "worker/run/error_store.h"
#include "worker/run/errors.h"
#include "worker/run/events.h"
#include "worker/run/operation_log.h"
#include "worker/run/state.h"

namespace tavo::worker {
namespace {

constexpr HRESULT kServiceDisabled = static_cast<HRESULT>(0x80070422);
constexpr HRESULT kServiceMissing = static_cast<HRESULT>(0x80070424);
constexpr HRESULT kDeploymentApiMissing = static_cast<HRESULT>(0xA004110D);
constexpr HRESULT kAssociationApiMissing = static_cast<HRESULT>(0xA004110E);
constexpr wchar_t kApiMissingMessage[] =
    L"Windows package installation components are missing. Update Windows and App Installer, then try again.";

void CheckPlatform(const HostFacts& facts) {
  switch (JudgeHost(facts)) {
    case HostVerdict::WindowsTooOld:
      throw SetupError(static_cast<HRESULT>(0x8007047E),
                       L"Tavo needs Windows 10 version 2004 or later. Update Windows, then try again.",
                       L"preflight.windows_version_unsupported",
                       L"windowsVersion=" + facts.windowsVersion + L"; minimumBuild=19041");
    case HostVerdict::NotX64:
      throw SetupError(static_cast<HRESULT>(0x800700C1),
                       L"This Tavo release needs an Intel or AMD 64-bit PC. ARM and 32-bit Windows aren't supported "
                       L"by this release.",
                       L"preflight.architecture_unsupported",
                       L"nativeArchitecture=" + ArchitectureName(facts.nativeArchitecture));
    case HostVerdict::NoAvx:
      throw SetupError(static_cast<HRESULT>(0x80070032),
                       L"Tavo Studio needs AVX, but AVX isn't available on this PC. Use a PC with AVX enabled.",
                       L"preflight.avx_unavailable",
                       L"AVX available=false; enabledXStateMask=" + Hex16(facts.enabledXStateMask) +
                           L"; requiredFeature=AVX");
    case HostVerdict::Supported:
      break;
  }
}

void CheckMethod(PreflightPlatform& platform, const wchar_t* step, const wchar_t* type, const wchar_t* method,
                 HRESULT code, const wchar_t* operation) {
  SetCurrentOperation(step);
  if (!platform.IsMethodPresent(type, method)) throw SetupError(code, kApiMissingMessage, operation);
}

void CheckService(PreflightPlatform& platform, const std::wstring& name, const std::wstring& operation,
                  const std::wstring& displayName) {
  SetCurrentOperation(operation);
  try {
    std::optional<uint32_t> startType = platform.ServiceStartType(name);
    if (startType && *startType == SERVICE_DISABLED) throw hresult_error(kServiceDisabled);
  } catch (const hresult_error& error) {
    if (error.code() != kServiceDisabled && error.code() != kServiceMissing) throw;
    throw SetupError(error.code(), ServiceDisabledMessage(displayName), operation,
                     ServiceDisabledDetail(name, error.code()));
  }
}

void LogDeliveryOptimization(PreflightPlatform& platform) {
  PreflightPlatform::OptionalService state = platform.DeliveryOptimizationState();
  std::wstring detail = !state.known ? L"available=unknown" : (state.available ? L"available=true" : L"available=false");
  LogOperation(L"preflight.download_service.DoSvc", L"result", detail, 0);
}

void MeasureDisk(PreflightPlatform& platform) {
  SetCurrentOperation(L"preflight.system_disk");
  RunState& run = Worker();
  run.disk = LowDiskState{};
  PreflightPlatform::WindowsDirectory dir = platform.ReadWindowsDirectory();
  if (dir.length == 0 || dir.length > 259 || dir.text.size() < 2 || dir.text[1] != L':') {
    LogOperation(L"preflight.system_disk", L"result",
                 L"availableBytes=unknown; windowsDirectoryLength=" + std::to_wstring(dir.length), 0);
    return;
  }
  std::wstring root = dir.text.substr(0, 1) + L":\\";
  PreflightPlatform::FreeSpace space = platform.FreeBytes(root);
  if (!space.ok) {
    LogOperation(L"preflight.system_disk", L"result",
                 L"drive=" + root + L"; availableBytes=unknown; queryError=" + Hex8(space.error),
                 HresultFromWin32(space.error));
    return;
  }
  run.disk.systemDrive = root;
  run.disk.limited = space.bytes < kRequiredFreeBytes;
  LogOperation(L"preflight.system_disk", L"result",
               L"drive=" + root + L"; availableBytes=" + std::to_wstring(space.bytes) +
                   L"; requiredBytes=3221225472; thresholdCrossed=" + BoolText(run.disk.limited),
               0);
}

// Optional: a failure is recorded and the run goes on. Returns whether the lookup succeeded.
bool LookUpAppInstaller(PreflightPlatform& platform) {
  SetCurrentOperation(L"preflight.desktop_app_installer");
  RunState& run = Worker();
  run.desktopAppInstallerVersion.clear();
  try {
    for (std::wstring& version : platform.DesktopAppInstallerVersions()) run.desktopAppInstallerVersion = version;
  } catch (const hresult_error& error) {
    run.desktopAppInstallerVersion.clear();
    AddRecord(RecordFromWindowsError(L"preflight.desktop_app_installer_version",
                                     L"Optional Desktop App Installer version lookup failed; continuing.", error));
    return false;
  }
  if (run.verification.attempted) run.verification.desktopAppInstallerVersion = run.desktopAppInstallerVersion;
  return true;
}

}  // namespace

void Preflight(PreflightPlatform& platform) {
  SetCurrentOperation(L"preflight");
  LogOperation(L"preflight", L"begin", L"", 0);
  Emit(L"checking", -1, L"Checking your Windows setup", L"A quick check before we get started.", 0);

  HostFacts facts = platform.Facts();
  LogOperation(L"preflight.platform", L"result", HostFactsSummary(facts), 0);
  CheckPlatform(facts);

  CheckMethod(platform, L"preflight.deployment_api", L"Windows.Management.Deployment.PackageManager",
              L"AddPackageByAppInstallerFileAsync", kDeploymentApiMissing, L"preflight.deployment_api_missing");
  CheckMethod(platform, L"preflight.association_api", L"Windows.ApplicationModel.Package", L"GetAppInstallerInfo",
              kAssociationApiMissing, L"preflight.association_api_missing");
  CheckService(platform, L"AppXSvc", L"preflight.appx_service.AppXSvc", L"Windows AppX Deployment Service");
  LogDeliveryOptimization(platform);
  MeasureDisk(platform);
  bool lookupSucceeded = LookUpAppInstaller(platform);

  const std::wstring& version = Worker().desktopAppInstallerVersion;
  Emit(L"checked", 0, L"Your PC is ready",
       version.empty() && lookupSucceeded
           ? L"Windows package deployment is available. App Installer UI isn't installed."
           : L"Windows package deployment is available.",
       0);
  LogOperation(L"preflight", L"result", L"preflight passed; DesktopAppInstaller=" + version, 0);
}

}  // namespace tavo::worker
