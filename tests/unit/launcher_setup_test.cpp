// The launcher's setup logic over a fake window and worker: worker events and
// exit, stop, close, try again, the gate's refusal, session failures and the
// application launch.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <stdexcept>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "build_info.h"
#include "common/handles.h"
#include "common/host_facts.h"
#include "common/user_sid.h"
#include "common/winrt/hresult_error.h"
#include "launcher/language/translation.h"
#include "launcher/start/compatibility_gate.h"
#include "launcher/outcome/setup_controller.h"
#include "launcher/start/launcher_codes.h"
#include "launcher/start/setup_instance.h"

namespace tavo::launcher {
namespace {

class FakePlatform : public SetupPlatform {
 public:
  uint64_t now = 1000;
  int updates = 0, flashes = 0, destroyed = 0, cancelBytes = 0, starts = 0, fallbackReports = 0;
  std::vector<bool> releases;  // force flags
  uint32_t launchTimer = 0;
  uint32_t closeTimer = 0;
  std::vector<OutcomeTelemetry> telemetry;
  std::vector<std::wstring> urls;
  std::vector<SessionRequest> requests;
  bool reportReady = false;
  int startFailure = 0;  // 0 none, 1 Windows error, 2 standard exception
  int32_t activation = 0;
  std::wstring activationOperation = L"launcher.activate_application";
  uint32_t shellError = 0;
  bool shellFails = false;   // fails even when shellError is 0
  bool staleReport = false;  // a report file from before the run lies at the chosen path
  std::vector<std::wstring> activated, shellTargets;
  std::wstring clipboard;

  uint64_t Now() override { return now; }
  void UpdateControls() override { ++updates; }
  void FlashIfMinimised() override { ++flashes; }
  void FocusPrimary() override {}
  void MinimizeWindow() override {}
  void DestroyWindow() override { ++destroyed; }
  void SetLaunchTimer(uint32_t ms) override { launchTimer = ms; }
  void SetCloseTimer(uint32_t ms) override { closeTimer = ms; }
  void StartWorker(const SessionRequest& request, SessionPaths& paths) override {
    ++starts;
    requests.push_back(request);
    paths.sessionFolder = L"C:\\s" + std::to_wstring(starts);
    paths.reportPath = request.reportPath.empty() ? paths.sessionFolder + L"\\install.json" : request.reportPath;
    if (staleReport) paths.reportIdentity = {7, 0, 1, true};
    if (startFailure == 1) throw hresult_error(static_cast<HRESULT>(0x80070005));
    if (startFailure == 2) throw std::runtime_error("disk full");
  }
  void ReleaseWorker(bool force) override { releases.push_back(force); }
  void WriteCancelByte() override { ++cancelBytes; }
  bool ReportReady(const std::wstring& path, const ReportIdentity& identity) override {
    if (!reportReady || path.empty()) return false;
    // The stale file counts only for a caller that does not know it was there.
    return !staleReport || !identity.valid;
  }
  uint32_t WriteFallbackReport() override {
    ++fallbackReports;
    return 0;
  }
  void SendTelemetry(const OutcomeTelemetry& t) override { telemetry.push_back(t); }
  void OpenUrl(const std::wstring& url) override { urls.push_back(url); }
  void ShowInExplorer(const std::wstring& path) override { urls.push_back(L"explorer:" + path); }
  bool CopyToClipboard(const std::wstring& text) override {
    clipboard = text;
    return true;
  }
  uint32_t WindowsBuild() override { return 19045; }
  int32_t ActivateApplication(const std::wstring& aumid, std::wstring& operation) override {
    activated.push_back(aumid);
    operation = activationOperation;
    return activation;
  }
  bool OpenInAppsFolder(const std::wstring& target, uint32_t& lastError) override {
    shellTargets.push_back(target);
    lastError = shellError;
    return !shellFails && shellError == 0;
  }
};

WorkerEvent Event(const wchar_t* type, int32_t percent = -1, const wchar_t* detail = L"", const wchar_t* code = L"0x00000000") {
  return WorkerEvent{type, percent, L"", detail, code};
}

class LauncherSetup : public testing::Test {
 protected:
  void Start(LaunchOptions o = {}) {
    options = o;
    controller = std::make_unique<SetupController>(model, options, L"", platform);
    controller->StartWorkerSession(options.checkOnly);
  }
  // An install run that ended on success with the application's launch identity.
  void SucceedWithLaunchTarget() {
    Start();
    controller->OnWorkerEvent(Event(L"launch", -1, L"F_1!TavoStudio"));
    controller->OnWorkerEvent(Event(L"success"));
    controller->OnWorkerExit(0);
  }
  ScreenModel model;
  LaunchOptions options;
  FakePlatform platform;
  std::unique_ptr<SetupController> controller;
};

TEST_F(LauncherSetup, ProgressEventsMoveTheScreens) {
  Start();
  EXPECT_TRUE(model.workerRunning);
  EXPECT_EQ(platform.requests.at(0).mode, WorkerMode::InstallOpenExisting);
  EXPECT_EQ(model.reportPath, L"C:\\s1\\install.json");
  controller->OnWorkerEvent(Event(L"checking"));
  EXPECT_EQ(model.screen, Screen::Preparing);
  controller->OnWorkerEvent(Event(L"installing", 37, L"X"));
  EXPECT_EQ(model.screen, Screen::Installing);
  EXPECT_EQ(model.progress, 37);
  EXPECT_EQ(model.statusText, L"X");
  controller->OnWorkerEvent(Event(L"somethingnew", 40, L"Y"));
  EXPECT_EQ(model.screen, Screen::Installing);
  EXPECT_EQ(model.statusText, L"Y");
  controller->OnWorkerEvent(Event(L"verifying"));
  controller->OnWorkerEvent(Event(L"launch", -1, L"Fam_x!TavoStudio"));
  EXPECT_EQ(model.launchTarget, L"Fam_x!TavoStudio");
  controller->OnWorkerEvent(Event(L"success", 100, L"done"));
  EXPECT_EQ(model.screen, Screen::Success);
  EXPECT_EQ(model.statusText, L"Opening Tavo Studio for the first time.");
  controller->OnWorkerEvent(Event(L"installing", 50));  // after an outcome: ignored
  EXPECT_EQ(model.screen, Screen::Success);
  controller->OnWorkerExit(0);
  EXPECT_EQ(platform.launchTimer, 1600u);
  EXPECT_EQ(model.exitCode, 0u);
  EXPECT_TRUE(platform.telemetry.empty());
  EXPECT_EQ(platform.releases, (std::vector<bool>{false, false}));  // before the start, at the exit
}

TEST_F(LauncherSetup, InstallOnlySuccessAndInstalledTimers) {
  LaunchOptions o;
  o.installOnly = true;
  Start(o);
  EXPECT_EQ(platform.requests.at(0).mode, WorkerMode::Install);
  controller->OnWorkerEvent(Event(L"success"));
  EXPECT_EQ(model.statusText, L"Tavo Studio is installed and updates automatically.");
  controller->OnWorkerExit(0);
  EXPECT_EQ(platform.launchTimer, 0u);
}

TEST_F(LauncherSetup, InstalledOpensAfterOneSecond) {
  Start();
  controller->OnWorkerEvent(Event(L"installed"));
  EXPECT_EQ(model.statusText, L"Tavo Studio is already on this PC. Opening it now.");
  controller->OnWorkerExit(0);
  EXPECT_EQ(platform.launchTimer, 1000u);
}

TEST_F(LauncherSetup, DiagnosticEventsAddRecordsOnly) {
  Start();
  controller->OnWorkerEvent(WorkerEvent{L"diagnostic", -1, L"probe.x", L"disk low", L"0x80070070"});
  controller->OnWorkerEvent(WorkerEvent{L"diagnostic", -1, L"probe.y", L"decimal", L"42"});
  ASSERT_EQ(model.errors.size(), 2u);
  EXPECT_EQ(static_cast<uint32_t>(model.errors[0].code), 0x80070070u);
  EXPECT_EQ(model.errors[1].code, 42);
  EXPECT_EQ(model.technicalLog, L"probe.x (0x80070070): disk low\r\nprobe.y (0x0000002A): decimal");
  EXPECT_EQ(model.screen, Screen::Preparing);
  EXPECT_EQ(ParseCodeText(L"010"), 8u);
  EXPECT_EQ(ParseCodeText(L"0XfFz"), 0xFFu);
}

TEST_F(LauncherSetup, UserStopEndsCancelledAndCloses) {
  Start();
  controller->OnWorkerEvent(Event(L"installing", 10));
  controller->CloseRequest();
  EXPECT_TRUE(model.stopConfirmationShown);
  controller->OnCommand(kIdSecondary);  // "Stop installing"
  EXPECT_EQ(platform.cancelBytes, 1);
  EXPECT_EQ(model.screen, Screen::Stopping);
  EXPECT_EQ(model.statusText, L"Stopping safely. Windows may need a moment to undo the changes.");
  controller->OnWorkerEvent(Event(L"installing", 20));
  EXPECT_EQ(model.screen, Screen::Stopping);
  controller->OnWorkerEvent(Event(L"cancelled", -1, L"", L"0x800704C7"));
  EXPECT_EQ(model.screen, Screen::Cancelled);
  controller->OnWorkerExit(0x800704C7);
  EXPECT_EQ(model.exitCode, 0x800704C7u);
  ASSERT_EQ(platform.telemetry.size(), 1u);
  EXPECT_EQ(platform.telemetry[0].outcome, L"cancelled");
  EXPECT_TRUE(platform.telemetry[0].userCancelled);
  EXPECT_EQ(platform.destroyed, 1);
}

TEST_F(LauncherSetup, StopThenAccessDeniedIsAnError) {
  Start();
  controller->CloseRequest();
  controller->OnCommand(kIdSecondary);
  controller->OnWorkerExit(0x80070005);
  EXPECT_EQ(model.screen, Screen::Error);
  EXPECT_EQ(model.errorCodeText, L"0x80070005");
  ASSERT_EQ(model.errors.size(), 1u);
  EXPECT_EQ(model.errors[0].id, L"launcher.worker_exit");
  EXPECT_EQ(platform.telemetry.at(0).outcome, L"failed");
  EXPECT_EQ(platform.destroyed, 0);
}

TEST_F(LauncherSetup, StopThenCancelCodeWithoutEventIsCancelled) {
  Start();
  controller->CloseRequest();
  controller->OnCommand(kIdSecondary);
  controller->OnWorkerExit(0x80004004);
  EXPECT_EQ(model.screen, Screen::Cancelled);
  EXPECT_TRUE(model.errors.empty());
  EXPECT_EQ(platform.destroyed, 1);
}

TEST_F(LauncherSetup, KeepInstallingClosesTheOverlay) {
  Start();
  controller->CloseRequest();
  controller->OnCommand(2);  // Escape / IDCANCEL
  EXPECT_FALSE(model.stopConfirmationShown);
  EXPECT_EQ(platform.cancelBytes, 0);
}

TEST_F(LauncherSetup, ZeroExitWithoutOutcomeIsMissingResult) {
  Start();
  controller->OnWorkerEvent(Event(L"verifying"));
  controller->OnWorkerExit(0);
  EXPECT_EQ(model.screen, Screen::Error);
  EXPECT_EQ(model.exitCode, 0x8000FFFFu);
  EXPECT_EQ(model.errorCodeText, L"0x8000FFFF");
  EXPECT_EQ(model.errors.at(0).id, L"launcher.worker_missing_result");
  EXPECT_EQ(platform.telemetry.at(0).code, 0x8000FFFFu);
}

TEST_F(LauncherSetup, ForcedCloseOnlyAfterTenSecondsOfStopping) {
  Start();
  controller->CloseRequest();
  controller->OnCommand(kIdSecondary);
  platform.now += 3000;
  controller->CloseRequest();
  EXPECT_EQ(platform.destroyed, 0);
  platform.now += 8000;
  controller->CloseRequest();
  EXPECT_EQ(platform.destroyed, 1);
  EXPECT_EQ(model.exitCode, 0x800704C7u);
  EXPECT_TRUE(platform.releases.back());  // forced
}

TEST_F(LauncherSetup, UnattendedRunsNeverOpenTheApplicationAndEndByThemselves) {
  struct Case {
    const char* name;
    bool silent, passive;
    uint32_t exitCode;
  };
  for (const Case& c : {Case{"silent success", true, false, 0}, Case{"silent failure", true, false, 0x80072EE7},
                        Case{"passive success", false, true, 0}, Case{"passive failure", false, true, 0x80072EE7}}) {
    model = {};
    platform = {};
    LaunchOptions o;
    o.silent = c.silent;
    o.passive = c.passive;
    Start(o);
    EXPECT_EQ(platform.requests.at(0).mode, WorkerMode::InstallOpenExisting) << c.name;
    controller->OnWorkerEvent(Event(L"launch", -1, L"F_1!TavoStudio"));
    controller->OnWorkerEvent(c.exitCode ? Event(L"error", -1, L"x", L"0x80072EE7") : Event(L"success"));
    if (!c.exitCode) {
      EXPECT_EQ(model.statusText, L"Tavo Studio is installed and updates automatically.") << c.name;
    }
    controller->OnWorkerExit(c.exitCode);
    EXPECT_EQ(platform.launchTimer, 0u) << c.name;
    EXPECT_EQ(model.exitCode, c.exitCode) << c.name;
    EXPECT_EQ(platform.telemetry.size(), c.exitCode ? 1u : 0u) << c.name;  // as in any install run
    EXPECT_EQ(platform.destroyed, c.silent ? 1 : 0) << c.name;
    EXPECT_EQ(platform.closeTimer, c.passive ? kPassiveCloseMs : 0u) << c.name;
  }
}

TEST_F(LauncherSetup, APassiveOutcomeClosesOnlyWhenNothingElseHappened) {
  LaunchOptions o;
  o.passive = true;
  Start(o);
  controller->OnWorkerExit(0x80072EE7);
  controller->OnCommand(kIdPrimary);  // "Try again": a new session runs
  controller->CloseTimerFired();
  EXPECT_EQ(platform.destroyed, 0);
  controller->OnWorkerExit(0x80072EE7);
  controller->CloseRequest();  // nothing to stop on an outcome: closes at once
  EXPECT_EQ(platform.destroyed, 1);
}

TEST_F(LauncherSetup, TheWrongAccountsErrorOffersNoRetryAndSendsNothing) {
  options = {};
  controller = std::make_unique<SetupController>(model, options, L"", platform);
  controller->RefuseAccount(MakeRecord(static_cast<int32_t>(kCodeWrongAccount), L"launcher.wrong_account", L"x"));
  EXPECT_EQ(model.screen, Screen::Error);
  EXPECT_EQ(model.statusText, L"Run Tavo Studio Setup as the person who will use Tavo Studio.");
  EXPECT_EQ(model.exitCode, kCodeWrongAccount);
  EXPECT_TRUE(platform.telemetry.empty());
  controller->OnCommand(kIdPrimary);
  EXPECT_TRUE(platform.requests.empty()) << "no session for the wrong person";
}

TEST_F(LauncherSetup, CheckRunEndsWithTheWorkerWithoutTelemetry) {
  LaunchOptions o;
  o.checkOnly = true;
  Start(o);
  EXPECT_EQ(platform.requests.at(0).mode, WorkerMode::Check);
  controller->OnWorkerExit(0x80072EE7);
  EXPECT_EQ(platform.destroyed, 1);
  EXPECT_EQ(model.exitCode, 0x80072EE7u);
  EXPECT_TRUE(platform.telemetry.empty());
}

TEST_F(LauncherSetup, TheWorkersEndClearsAnUnansweredStopQuestion) {
  for (uint32_t code : {0x80070005u, 0u}) {
    SCOPED_TRACE(code);
    Start();
    controller->CloseRequest();
    ASSERT_TRUE(model.stopConfirmationShown);
    const int updates = platform.updates;
    controller->OnWorkerExit(code);  // no terminal event came
    EXPECT_EQ(model.screen, Screen::Error);
    EXPECT_FALSE(model.stopConfirmationShown);
    EXPECT_GT(platform.updates, updates);
    // The error screen's own secondary command, not the question's "Stop installing".
    controller->OnCommand(kIdSecondary);
    EXPECT_EQ(platform.cancelBytes, 0);
    EXPECT_EQ(platform.urls.back(), SupportPageUrl());
  }
}

TEST_F(LauncherSetup, TryAgainStartsANewSession) {
  Start();
  controller->OnWorkerEvent(Event(L"error", -1, L"bad", L"0x80072EE7"));
  EXPECT_EQ(model.errorCodeText, L"0x80072EE7");
  controller->OnCommand(kIdPrimary);  // disabled while the worker runs: "Collecting details…"
  EXPECT_EQ(platform.starts, 1);
  controller->OnWorkerExit(0x80072EE7);
  controller->OnCommand(kIdSecondary);
  EXPECT_EQ(platform.urls.back(), std::wstring(L"https://") + build::kWebHost + L"/docs/support/");
  controller->OnCommand(kIdPrimary);  // "Try again"
  EXPECT_EQ(platform.starts, 2);
  EXPECT_EQ(model.screen, Screen::Preparing);
  EXPECT_TRUE(model.errorCodeText.empty());
  EXPECT_TRUE(model.errors.empty());
  EXPECT_EQ(model.reportPath, L"C:\\s2\\install.json");
}

TEST_F(LauncherSetup, CloseOnOutcomeWhileWorkerRunsWaitsForIt) {
  Start();
  controller->OnWorkerEvent(Event(L"error", -1, L"bad", L"0x80072EE7"));
  controller->CloseRequest();
  EXPECT_TRUE(model.closeAfterWorker);
  EXPECT_EQ(platform.destroyed, 0);
  controller->OnWorkerExit(0x80072EE7);
  EXPECT_EQ(platform.destroyed, 1);
}

TEST_F(LauncherSetup, SessionStartFailures) {
  platform.startFailure = 1;
  Start();
  EXPECT_EQ(model.screen, Screen::Error);
  EXPECT_FALSE(model.workerRunning);
  EXPECT_EQ(model.errorCodeText, L"0x80070005");
  EXPECT_EQ(model.errors.at(0).id, L"launcher.prepare_worker");
  EXPECT_EQ(platform.fallbackReports, 1);
  EXPECT_EQ(platform.flashes, 1);
  EXPECT_EQ(platform.telemetry.at(0).outcome, L"failed");
  EXPECT_EQ(model.reportPath, L"C:\\s1\\install.json");
  EXPECT_EQ(model.exitCode, 0x80070005u) << "closing the error screen ends with the failure";

  platform.startFailure = 2;
  controller->OnCommand(kIdPrimary);  // "Try again"
  EXPECT_EQ(model.errorCodeText, L"0xA0041203");
  EXPECT_EQ(model.errors.at(0).id, L"launcher.prepare_worker_exception");
  EXPECT_EQ(model.statusText,
            L"We couldn't prepare the installer in your user folder. Check available space and permissions, then try again.");
}

TEST_F(LauncherSetup, AFailedStartDoesNotTakeAnOlderReportForItsOwn) {
  platform.startFailure = 1;
  platform.staleReport = true;
  platform.reportReady = true;  // the file exists, and the fallback report could not replace it
  Start();
  EXPECT_TRUE(model.reportIdentity.valid);
  EXPECT_FALSE(controller->CurrentControlsInput().reportReady);
  controller->OnCommand(kIdCopyDetails);
  EXPECT_EQ(platform.clipboard.find(L"Diagnostic log:"), std::wstring::npos) << platform.clipboard;
}

TEST_F(LauncherSetup, AFailingExitAfterSuccessKeepsTheScreenAndRecordsTheCode) {
  Start();
  controller->OnWorkerEvent(Event(L"launch", -1, L"F_1!TavoStudio"));
  controller->OnWorkerEvent(Event(L"success"));
  controller->OnWorkerExit(static_cast<uint32_t>(E_FAIL));  // e.g. the exit code could not be read
  EXPECT_EQ(model.screen, Screen::Success);
  EXPECT_EQ(model.statusText, L"Opening Tavo Studio for the first time.");
  EXPECT_EQ(model.exitCode, static_cast<uint32_t>(E_FAIL));
  ASSERT_EQ(model.errors.size(), 1u);
  EXPECT_EQ(model.errors[0].id, L"launcher.worker_exit");
  EXPECT_EQ(platform.telemetry.at(0).outcome, L"failed");
}

TEST_F(LauncherSetup, CheckRunSessionFailureEndsTheProcess) {
  platform.startFailure = 1;
  LaunchOptions o;
  o.checkOnly = true;
  Start(o);
  EXPECT_EQ(model.exitCode, 0x80070005u);
  EXPECT_EQ(platform.destroyed, 1);
  EXPECT_TRUE(platform.telemetry.empty());
}

TEST_F(LauncherSetup, RefusalShowsUnsupported) {
  options = {};
  controller = std::make_unique<SetupController>(model, options, L"", platform);
  HostFacts facts;
  facts.windowsBuild = 18363;
  facts.windowsVersion = L"Windows 10 (build 18363)";
  facts.nativeArchitecture = kArchitectureX64;
  facts.enabledXStateMask = 7;
  auto refusal = JudgeCompatibility(facts);
  ASSERT_TRUE(refusal);
  controller->Refuse(*refusal, facts);
  EXPECT_EQ(model.screen, Screen::Unsupported);
  EXPECT_EQ(model.exitCode, 0x8007047Eu);
  EXPECT_EQ(model.errorCodeText, L"0x8007047E");
  EXPECT_EQ(model.errors.at(0).id, L"compatibility.unsupported_host");
  EXPECT_EQ(model.errors.at(0).message, L"windowsVersion=Windows 10 (build 18363); nativeArchitecture=x64; "
                                        L"avxAvailable=true; enabledXStateMask=0x0000000000000007");
  EXPECT_EQ(platform.telemetry.at(0).outcome, L"unsupported");
  controller->OnCommand(kIdPrimary);
  EXPECT_EQ(platform.urls.back(), std::wstring(L"https://") + build::kWebHost + L"/download/");
}

TEST(SetupInstance, OneInstallRunAtATime) {
  class FakeLock : public InstanceLock {
   public:
    explicit FakeLock(Claim claim) : claim_(claim) {}
    Claim Take() override {
      ++takes;
      return claim_;
    }
    void ShowOtherSetup() override { ++shown; }
    int takes = 0, shown = 0;

   private:
    Claim claim_;
  };
  LaunchOptions install, check, preview;
  check.checkOnly = true;
  preview.preview = true;
  struct Case {
    const char* what;
    const LaunchOptions& options;
    InstanceLock::Claim claim;
    std::optional<uint32_t> exit;
    int takes, shown;
  };
  for (const Case& c : {
           Case{"the first install run", install, InstanceLock::Claim::Owned, std::nullopt, 1, 0},
           Case{"after a setup that died", install, InstanceLock::Claim::Abandoned, std::nullopt, 1, 0},
           Case{"a second install run", install, InstanceLock::Claim::Taken, 0x80070652u, 1, 1},
           Case{"a check run beside it", check, InstanceLock::Claim::Taken, std::nullopt, 0, 0},
           Case{"a preview beside it", preview, InstanceLock::Claim::Taken, std::nullopt, 0, 0},
       }) {
    SCOPED_TRACE(c.what);
    FakeLock lock(c.claim);
    EXPECT_EQ(ClaimSetupInstance(c.options, lock), c.exit);
    EXPECT_EQ(std::tuple(lock.takes, lock.shown), std::tuple(c.takes, c.shown));
  }
}

// The entries of an access list as (ACE type, SID text, access mask with its
// generic rights mapped to a mutex's own, as Windows may store them either way).
std::vector<std::tuple<int, std::wstring, uint32_t>> Entries(PACL list) {
  GENERIC_MAPPING mutexRights{STANDARD_RIGHTS_READ | MUTANT_QUERY_STATE, STANDARD_RIGHTS_WRITE,
                              STANDARD_RIGHTS_EXECUTE | SYNCHRONIZE, MUTEX_ALL_ACCESS};
  std::vector<std::tuple<int, std::wstring, uint32_t>> entries;
  for (DWORD i = 0; list && i < list->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(list, i, reinterpret_cast<void**>(&ace))) continue;
    wchar_t* sid = nullptr;
    ConvertSidToStringSidW(&ace->SidStart, &sid);
    UniqueLocal owner(sid);
    DWORD mask = ace->Mask;
    if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE) MapGenericMask(&mask, &mutexRights);
    entries.emplace_back(ace->Header.AceType, sid ? sid : L"?", mask);
  }
  return entries;
}

TEST(SetupInstance, TheLockOpensForTheUserAtEitherElevation) {
  // A name of this test's own: the product's lock belongs to the setups that
  // other tests run meanwhile.
  const std::wstring name = L"Local\\TavoStudio.Setup.Test." + std::to_wstring(GetCurrentProcessId());
  std::unique_ptr<InstanceLock> first = WindowsInstanceLock(name);
  ASSERT_EQ(first->Take(), InstanceLock::Claim::Owned);

  UniqueKernelHandle opened(OpenMutexW(READ_CONTROL, FALSE, name.c_str()));
  ASSERT_TRUE(opened) << GetLastError();
  PACL dacl = nullptr, sacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetSecurityInfo(opened.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION,
                            nullptr, nullptr, &dacl, &sacl, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  UniqueLocal owner(descriptor);
  const std::wstring user = CurrentUserSid();
  EXPECT_EQ(Entries(dacl), (std::vector<std::tuple<int, std::wstring, uint32_t>>{
                               {ACCESS_ALLOWED_ACE_TYPE, L"S-1-5-18", MUTEX_ALL_ACCESS},
                               {ACCESS_ALLOWED_ACE_TYPE, L"S-1-5-32-544", MUTEX_ALL_ACCESS},
                               {ACCESS_ALLOWED_ACE_TYPE, user, MUTEX_ALL_ACCESS}}));
  // Medium integrity: a non-elevated setup may take what an elevated one made.
  EXPECT_EQ(Entries(sacl), (std::vector<std::tuple<int, std::wstring, uint32_t>>{
                               {SYSTEM_MANDATORY_LABEL_ACE_TYPE, L"S-1-16-8192", SYSTEM_MANDATORY_LABEL_NO_WRITE_UP}}));
}

TEST(LauncherGate, RefusalsInOrder) {
  HostFacts facts;
  facts.windowsBuild = 19041;
  facts.nativeArchitecture = kArchitectureX64;
  facts.enabledXStateMask = 7;
  EXPECT_FALSE(JudgeCompatibility(facts));
  facts.windowsBuild = 19040;
  facts.nativeArchitecture = 12;
  EXPECT_EQ(JudgeCompatibility(facts)->code, 0x8007047Eu);  // version wins over architecture
  facts.windowsBuild = 22631;
  EXPECT_EQ(JudgeCompatibility(facts)->code, 0x800700C1u);
  facts.nativeArchitecture = kArchitectureX64;
  facts.enabledXStateMask = 3;
  auto noAvx = JudgeCompatibility(facts);
  EXPECT_EQ(noAvx->code, 0x80070032u);
  EXPECT_NE(UnsupportedHostRecord(*noAvx, facts).message.find(L"avxAvailable=false; enabledXStateMask=0x0000000000000003"),
            std::wstring::npos);
}

TEST_F(LauncherSetup, LaunchWithoutIdentityFailsAtOnce) {
  Start();
  controller->OnWorkerEvent(Event(L"success"));
  controller->OnWorkerExit(0);
  controller->LaunchApplication();
  EXPECT_TRUE(platform.activated.empty());
  EXPECT_TRUE(platform.shellTargets.empty());
  EXPECT_TRUE(model.launchFailed);
  EXPECT_EQ(model.errors.at(0).id, L"launcher.launch_identity_missing");
  EXPECT_EQ(platform.telemetry.at(0).outcome, L"launch_failed");
  EXPECT_EQ(platform.telemetry.at(0).code, 0xA0041204u);
  EXPECT_EQ(model.statusText,
            L"Tavo Studio is installed, but didn't open automatically. You can also find it in the Start menu.");
}

TEST_F(LauncherSetup, LaunchFallsBackToTheAppsFolder) {
  SucceedWithLaunchTarget();
  platform.activation = static_cast<int32_t>(0x80040154);
  platform.activationOperation = L"launcher.create_activation_manager";
  controller->LaunchApplication();
  EXPECT_EQ(platform.shellTargets.at(0), L"shell:AppsFolder\\F_1!TavoStudio");
  ASSERT_EQ(model.errors.size(), 1u);
  EXPECT_EQ(model.errors[0].id, L"launcher.create_activation_manager");
  EXPECT_EQ(platform.destroyed, 1);
  EXPECT_TRUE(platform.telemetry.empty());
}

TEST_F(LauncherSetup, LaunchFailureKeepsTheWindowAndRetries) {
  SucceedWithLaunchTarget();
  platform.activation = static_cast<int32_t>(0x80070002);
  platform.shellError = 2;
  controller->LaunchApplication();
  ASSERT_EQ(model.errors.size(), 2u);
  EXPECT_EQ(model.errors[1].id, L"launcher.shell_execute");
  EXPECT_EQ(model.errors[1].nativeDomain, L"Win32");
  EXPECT_EQ(model.errors[1].nativeCode, 2);
  EXPECT_EQ(platform.telemetry.at(0).code, 0x80070002u);
  EXPECT_EQ(platform.destroyed, 0);
  controller->OnCommand(kIdPrimary);  // "Open Tavo Studio" is offered now
  EXPECT_EQ(platform.activated.size(), 2u);
  EXPECT_EQ(platform.telemetry.size(), 2u);
}

TEST_F(LauncherSetup, AShellFailureWithoutALastErrorIsRecordedAsEFail) {
  SucceedWithLaunchTarget();
  platform.activation = static_cast<int32_t>(0x80070002);
  platform.shellFails = true;
  controller->LaunchApplication();
  ASSERT_EQ(model.errors.size(), 2u);
  const ErrorRecord& shell = model.errors[1];
  EXPECT_EQ(static_cast<uint32_t>(shell.code), static_cast<uint32_t>(E_FAIL));
  EXPECT_TRUE(shell.message.starts_with(
      L"ShellExecuteExW returned FALSE; GetLastError=0; target=shell:AppsFolder\\F_1!TavoStudio"))
      << shell.message;
  EXPECT_EQ(shell.nativeCode, 0);
  EXPECT_EQ(platform.destroyed, 0);
}

TEST_F(LauncherSetup, CopyDetailsText) {
  Start();
  controller->OnWorkerEvent(WorkerEvent{L"diagnostic", -1, L"probe.x", L"d", L"5"});
  controller->OnWorkerEvent(Event(L"error", -1, L"Bad.", L"0x80072EE7"));
  platform.reportReady = true;
  controller->OnCommand(kIdCopyDetails);
  EXPECT_EQ(platform.clipboard, L"Tavo Studio Setup couldn't finish.\r\nError: 0x80072EE7\r\nBad.\r\n"
                                L"Windows reported: probe.x (0x00000005): d\r\nWindows build: 19045\r\n"
                                L"Diagnostic log: C:\\s1\\install.json\r\n");
  EXPECT_NE(model.copiedAt, 0u);
}

// Support reads English; a person who read another language pastes what they
// saw beside it, with the same English labels.
TEST_F(LauncherSetup, CopyDetailsCarriesTheEnglishSentenceBesideTheShownOne) {
  struct German {
    German() { SetActiveTranslation(Translation(L"de", {L"Bad."}, {L"Schlecht."})); }
    ~German() { SetActiveTranslation(Translation()); }
  } german_active;
  Start();
  controller->OnWorkerEvent(Event(L"error", -1, L"Bad.", L"0x80072EE7"));
  controller->OnCommand(kIdCopyDetails);
  std::wstring german = platform.clipboard;
  controller->OnWorkerEvent(Event(L"error", -1, L"Unknown to the table.", L"0x80072EE7"));
  controller->OnCommand(kIdCopyDetails);
  EXPECT_EQ(german, L"Tavo Studio Setup couldn't finish.\r\nError: 0x80072EE7\r\nBad.\r\nShown in de: Schlecht.\r\n"
                    L"Windows build: 19045\r\n");
  EXPECT_EQ(platform.clipboard.find(L"Shown in"), std::wstring::npos) << "a text shown as it came";
}

}  // namespace
}  // namespace tavo::launcher

namespace tavo::launcher {
namespace {

// Preview's simulated run, driven by the animation tick through the controller.
TEST_F(LauncherSetup, SimulatedRunAdvancesWaitsForTheOverlayAndOpensAfterSuccess) {
  options.preview = true;
  controller = std::make_unique<SetupController>(model, options, L"", platform);
  platform.now = 5000;
  controller->ResetToStart();
  EXPECT_EQ(model.demoStart, 5000u);
  platform.now = 5000 + 1800 + 180 * 42;
  controller->AdvanceDemo();
  EXPECT_EQ((std::pair{model.screen, model.progress}), (std::pair{Screen::Installing, 42}));
  EXPECT_EQ(model.screenChangedAt, 5000u + 1800 + 180 * 42);

  controller->CloseRequest();  // preview shows the stop confirmation without a worker
  ASSERT_TRUE(model.stopConfirmationShown);
  platform.now += 5000;
  controller->AdvanceDemo();
  EXPECT_EQ(model.progress, 42);  // held while the overlay is up
  controller->OnCommand(kIdPrimary);  // "Keep installing": the run catches up
  controller->AdvanceDemo();
  EXPECT_EQ(model.progress, 69);

  platform.now = 5000 + 21000;
  controller->AdvanceDemo();
  EXPECT_EQ(model.screen, Screen::Success);
  EXPECT_FALSE(model.demoRunning);
  EXPECT_EQ(model.statusText, texts::kOpeningFirstTime);
  EXPECT_EQ(platform.launchTimer, 2600u);
  EXPECT_EQ(platform.starts, 0);
}

}  // namespace
}  // namespace tavo::launcher
