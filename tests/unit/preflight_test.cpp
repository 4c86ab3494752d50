#include "worker/preflight/preflight.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "worker/run/error_store.h"
#include "worker/run/errors.h"
#include "worker/run/reporting.h"
#include "worker/run/state.h"
#include "worker_test_support.h"

namespace tavo::worker {
namespace {

using testing::Fields;

// A PC as preflight sees it; every answer can be changed by a test.
class FakePlatform final : public PreflightPlatform {
 public:
  HostFacts facts{19045, L"Windows 10 (build 19045)", 9, 0x7};
  std::set<std::wstring> missingMethods;
  std::optional<uint32_t> appxStartType = SERVICE_DEMAND_START;
  HRESULT appxError = S_OK;
  OptionalService deliveryOptimization{true, true};
  WindowsDirectory directory{10, L"C:\\windows"};
  FreeSpace space{true, 100ull << 30, 0};
  std::vector<std::wstring> versions;
  HRESULT lookupError = S_OK;
  std::wstring measuredRoot;

  HostFacts Facts() override { return facts; }
  bool IsMethodPresent(const std::wstring& type, const std::wstring& method) override {
    return !missingMethods.count(type + L"." + method);
  }
  std::optional<uint32_t> ServiceStartType(const std::wstring& name) override {
    EXPECT_EQ(name, L"AppXSvc");
    if (FAILED(appxError)) throw hresult_error(appxError, L"", nullptr);
    return appxStartType;
  }
  OptionalService DeliveryOptimizationState() override { return deliveryOptimization; }
  WindowsDirectory ReadWindowsDirectory() override { return directory; }
  FreeSpace FreeBytes(const std::wstring& root) override {
    measuredRoot = root;
    return space;
  }
  std::vector<std::wstring> DesktopAppInstallerVersions() override {
    if (FAILED(lookupError)) throw hresult_error(lookupError, L"", nullptr);
    return versions;
  }
};

class PreflightTest : public testing::WorkerTest {
 protected:
  FakePlatform platform;

  // Runs preflight and returns the SetupError it threw (code 0 when it passed).
  SetupError RunExpectingFailure() {
    try {
      Preflight(platform);
    } catch (const SetupError& error) {
      return error;
    }
    return SetupError(S_OK, L"", L"passed");
  }
  std::vector<std::string> EventTypes() {
    std::vector<std::string> types;
    for (auto& line : TakeOutputLines()) types.push_back(Fields(line)[0]);
    return types;
  }
  std::wstring LogDetail(const std::wstring& operation) {
    for (const LogEntry& entry : Report().log)
      if (entry.operation == operation) return entry.detail;
    return L"<missing>";
  }
};

TEST_F(PreflightTest, PassesOnASupportedPc) {
  platform.versions = {L"1.20.0.0", L"1.21.3133.0"};
  Preflight(platform);
  auto lines = TakeOutputLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "checking\t-1\tChecking your Windows setup\tA quick check before we get started.\t0x00000000");
  EXPECT_EQ(lines[1], "checked\t0\tYour PC is ready\tWindows package deployment is available.\t0x00000000");
  EXPECT_EQ(Worker().desktopAppInstallerVersion, L"1.21.3133.0") << "the last package wins";
  EXPECT_TRUE(Records().empty());
}

TEST_F(PreflightTest, Build19041PassesAnd19040IsRefusedWithItsDetail) {
  platform.facts.windowsBuild = 19041;
  EXPECT_EQ(RunExpectingFailure().code(), S_OK);
  platform.facts = {18363, L"Windows 10 (build 18363)", 9, 0x7};
  SetupError error = RunExpectingFailure();
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0x8007047Eu);
  EXPECT_EQ(error.operation(), L"preflight.windows_version_unsupported");
  EXPECT_EQ(error.detail(), L"windowsVersion=Windows 10 (build 18363); minimumBuild=19041");
  EXPECT_EQ(error.message(), L"Tavo needs Windows 10 version 2004 or later. Update Windows, then try again.");
  EXPECT_FALSE(error.recorded());
  EXPECT_TRUE(Records().empty()) << "the entry records it, not preflight";
}

TEST_F(PreflightTest, RefusesArm64AndX86) {
  for (uint16_t arch : {uint16_t{12}, uint16_t{0}}) {
    platform.facts.nativeArchitecture = arch;
    SetupError error = RunExpectingFailure();
    EXPECT_EQ(static_cast<uint32_t>(error.code()), 0x800700C1u);
    EXPECT_EQ(error.operation(), L"preflight.architecture_unsupported");
    EXPECT_EQ(error.detail(), arch == 12 ? L"nativeArchitecture=ARM64" : L"nativeArchitecture=x86");
  }
}

TEST_F(PreflightTest, RefusesAPcWithoutAvx) {
  platform.facts.enabledXStateMask = 0x3;
  SetupError error = RunExpectingFailure();
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0x80070032u);
  EXPECT_EQ(error.operation(), L"preflight.avx_unavailable");
  EXPECT_EQ(error.detail(), L"AVX available=false; enabledXStateMask=0x0000000000000003; requiredFeature=AVX");
  EXPECT_EQ(LogDetail(L"preflight.platform"), L"<missing>") << "not kept without --verbose";
}

TEST_F(PreflightTest, LogsThePlatformFactsWhenVerbose) {
  Worker().verbose = true;
  platform.facts = {20348, L"Windows Server (build 20348)", 9, 0x2E7};
  Preflight(platform);
  EXPECT_EQ(LogDetail(L"preflight.platform"),
            L"windowsVersion=Windows Server (build 20348); nativeArchitecture=x64; avxAvailable=true; "
            L"enabledXStateMask=0x00000000000002E7");
}

TEST_F(PreflightTest, MissingDeploymentInterfacesStopTheRun) {
  platform.missingMethods = {L"Windows.Management.Deployment.PackageManager.AddPackageByAppInstallerFileAsync"};
  SetupError error = RunExpectingFailure();
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0xA004110Du);
  EXPECT_EQ(error.operation(), L"preflight.deployment_api_missing");
  EXPECT_EQ(error.detail(), L"preflight.deployment_api_missing");
  EXPECT_EQ(error.message(),
            L"Windows package installation components are missing. Update Windows and App Installer, then try again.");

  platform.missingMethods = {L"Windows.ApplicationModel.Package.GetAppInstallerInfo"};
  error = RunExpectingFailure();
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0xA004110Eu);
  EXPECT_EQ(error.operation(), L"preflight.association_api_missing");
}

TEST_F(PreflightTest, AppxServiceDisabledOrMissingGivesTheServiceMessage) {
  platform.appxStartType = SERVICE_DISABLED;
  SetupError error = RunExpectingFailure();
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0x80070422u);
  EXPECT_EQ(error.operation(), L"preflight.appx_service.AppXSvc");
  EXPECT_EQ(error.detail(), L"AppXSvc service disabled or missing; error=0x80070422");
  EXPECT_EQ(error.message(),
            L"Windows AppX Deployment Service is disabled or missing. Ask your IT team to restore it, then try again.");

  platform.appxError = static_cast<HRESULT>(0x80070424);
  error = RunExpectingFailure();
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0x80070424u);
  EXPECT_EQ(error.detail(), L"AppXSvc service disabled or missing; error=0x80070424");
}

TEST_F(PreflightTest, OtherServiceFailuresPassUnchangedAndDeniedAccessPasses) {
  platform.appxError = E_OUTOFMEMORY;
  try {
    Preflight(platform);
    FAIL() << "expected a Windows failure";
  } catch (const SetupError&) {
    FAIL() << "only disabled and missing become setup errors";
  } catch (const hresult_error& error) {
    EXPECT_EQ(error.code(), E_OUTOFMEMORY);
    EXPECT_EQ(Worker().currentOperation, L"preflight.appx_service.AppXSvc");
  }
  platform.appxError = S_OK;
  platform.appxStartType = std::nullopt;  // access denied
  EXPECT_EQ(RunExpectingFailure().code(), S_OK);
}

TEST_F(PreflightTest, DeliveryOptimizationStateIsLoggedNeverFatal) {
  platform.deliveryOptimization = {false, false};
  Preflight(platform);
  EXPECT_EQ(LogDetail(L"preflight.download_service.DoSvc"), L"available=unknown");
  ResetWorkerStateForTests();
  platform.deliveryOptimization = {true, false};
  Preflight(platform);
  EXPECT_EQ(LogDetail(L"preflight.download_service.DoSvc"), L"available=false");
}

TEST_F(PreflightTest, ExactlyThreeGibibytesIsEnoughAndOneByteLessIsLimited) {
  platform.space = {true, kRequiredFreeBytes, 0};
  Preflight(platform);
  EXPECT_FALSE(Worker().disk.limited);
  EXPECT_EQ(platform.measuredRoot, L"C:\\");
  EXPECT_EQ(LogDetail(L"preflight.system_disk"),
            L"drive=C:\\; availableBytes=3221225472; requiredBytes=3221225472; thresholdCrossed=false");

  ResetWorkerStateForTests();
  platform.space = {true, kRequiredFreeBytes - 1, 0};
  Preflight(platform);
  EXPECT_TRUE(Worker().disk.limited);
  EXPECT_EQ(Worker().disk.systemDrive, L"C:\\");
  EXPECT_EQ(LogDetail(L"preflight.system_disk"),
            L"drive=C:\\; availableBytes=3221225471; requiredBytes=3221225472; thresholdCrossed=true");
}

TEST_F(PreflightTest, UnmeasurableDiskIsLoggedAndTheRunGoesOn) {
  platform.directory = {0, L""};
  Preflight(platform);
  EXPECT_EQ(LogDetail(L"preflight.system_disk"), L"availableBytes=unknown; windowsDirectoryLength=0");
  ResetWorkerStateForTests();
  platform.directory = {17, L"\\\\server\\windows"};
  Preflight(platform);
  EXPECT_EQ(LogDetail(L"preflight.system_disk"), L"availableBytes=unknown; windowsDirectoryLength=17");

  ResetWorkerStateForTests();
  platform.directory = {10, L"D:\\windows"};
  platform.space = {false, 0, ERROR_NOT_READY};
  Preflight(platform);
  EXPECT_EQ(LogDetail(L"preflight.system_disk"), L"drive=D:\\; availableBytes=unknown; queryError=0x00000015");
  bool found = false;
  for (const LogEntry& entry : Report().log)
    if (entry.operation == L"preflight.system_disk") found = static_cast<uint32_t>(entry.code) == 0x80070015u;
  EXPECT_TRUE(found);
  EXPECT_FALSE(Worker().disk.limited);
  EXPECT_EQ(Worker().disk.systemDrive, L"");
}

TEST_F(PreflightTest, NoAppInstallerPackageSaysTheUiIsNotInstalled) {
  Preflight(platform);
  auto lines = TakeOutputLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Fields(lines[1])[3], "Windows package deployment is available. App Installer UI isn't installed.");
}

TEST_F(PreflightTest, AFailedAppInstallerLookupIsRecordedOnceAndTheRunPasses) {
  platform.lookupError = E_ACCESSDENIED;
  Preflight(platform);
  EXPECT_EQ(EventTypes(), (std::vector<std::string>{"checking", "diagnostic", "checked"}));
  auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].id, L"preflight.desktop_app_installer_version");
  EXPECT_EQ(records[0].code, E_ACCESSDENIED);
  EXPECT_EQ(records[0].message.rfind(L"Optional Desktop App Installer version lookup failed; continuing. Windows: ", 0),
            0u);
  EXPECT_NE(Report().events.back().find("\"detail\":\"Windows package deployment is available.\""),
            std::string::npos);
}

TEST_F(PreflightTest, CopiesTheVersionIntoAVerificationThatAlreadyRan) {
  Worker().verification.attempted = true;
  platform.versions = {L"1.2.3.4"};
  Preflight(platform);
  EXPECT_EQ(Worker().verification.desktopAppInstallerVersion, L"1.2.3.4");
}

}  // namespace
}  // namespace tavo::worker
