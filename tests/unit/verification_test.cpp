#include "worker/verification/verification.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <stdexcept>
#include <vector>

#include "build_info.h"
#include "common/winrt/hresult_error.h"
#include "worker/run/error_store.h"
#include "worker/run/reporting.h"
#include "worker/run/state.h"
#include "worker/verification/verification_record.h"
#include "worker_test_support.h"

namespace tavo::worker {
namespace {

using testing::Fields;

constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005);

// One installed package as Windows would describe it. A read named in `failures`
// ("FullName", "Flag.Modified", "AbsoluteUri", ...) throws the given code.
struct PackageFacts {
  std::wstring fullName = L"TavoStudioInc.TavoStudio_1.4.0.0_x64__8wekyb3d8bbwe";
  std::wstring familyName = L"TavoStudioInc.TavoStudio_8wekyb3d8bbwe";
  std::wstring name = build::kPackageName;
  std::wstring publisher = build::kPackagePublisher;
  bool registered = true;
  bool verifyIsOk = true;
  std::array<bool, kStatusFlagCount> flags{};
  bool association = true;
  bool uriObject = true;
  std::wstring uri = build::kDescriptorUri;
  bool policyInterface = true;  // false: Windows 10, no IAppInstallerInfo2
  bool onLaunch = true;
  bool background = true;
  std::map<std::wstring, HRESULT> failures;
  std::wstring unexpected;  // a read that throws a standard exception

  void Read(const std::wstring& what) const {
    if (auto it = failures.find(what); it != failures.end()) throw hresult_error(it->second, L"", nullptr);
    if (what == unexpected) throw std::runtime_error("fake failure");
  }
};

class FakePolicy final : public UpdatePolicy {
 public:
  explicit FakePolicy(const PackageFacts& f) : f_(f) {}
  bool OnLaunch() override { return f_.Read(L"OnLaunch"), f_.onLaunch; }
  bool AutomaticBackgroundTask() override { return f_.Read(L"AutomaticBackgroundTask"), f_.background; }

 private:
  const PackageFacts& f_;
};

class FakeUri final : public UpdateUri {
 public:
  explicit FakeUri(const PackageFacts& f) : f_(f) {}
  std::wstring AbsoluteUri() override { return f_.Read(L"AbsoluteUri"), f_.uri; }

 private:
  const PackageFacts& f_;
};

class FakeInfo final : public AppInstallerInfo {
 public:
  explicit FakeInfo(const PackageFacts& f) : f_(f) {}
  std::unique_ptr<UpdateUri> Uri() override {
    f_.Read(L"Uri");
    return f_.uriObject ? std::make_unique<FakeUri>(f_) : nullptr;
  }
  std::unique_ptr<UpdatePolicy> QueryPolicy() override {
    f_.Read(L"QueryPolicy");
    if (!f_.policyInterface) throw hresult_error(E_NOINTERFACE, L"", nullptr);
    return std::make_unique<FakePolicy>(f_);
  }

 private:
  const PackageFacts& f_;
};

class FakeStatus final : public PackageStatus {
 public:
  explicit FakeStatus(const PackageFacts& f) : f_(f) {}
  bool VerifyIsOK() override { return f_.Read(L"VerifyIsOK"), f_.verifyIsOk; }
  bool Flag(StatusFlag flag) override {
    f_.Read(std::wstring(L"Flag.") + StatusFlagName(flag));
    return f_.flags[static_cast<size_t>(flag)];
  }

 private:
  const PackageFacts& f_;
};

class FakePackage final : public InstalledPackage {
 public:
  explicit FakePackage(const PackageFacts& f) : f_(f) {}
  std::wstring FullName() override { return f_.Read(L"FullName"), f_.fullName; }
  std::wstring FamilyName() override { return f_.Read(L"FamilyName"), f_.familyName; }
  std::wstring Name() override { return f_.Read(L"Name"), f_.name; }
  std::wstring Publisher() override { return f_.Read(L"Publisher"), f_.publisher; }
  std::unique_ptr<PackageStatus> Status() override {
    f_.Read(L"Status");
    return std::make_unique<FakeStatus>(f_);
  }
  std::unique_ptr<AppInstallerInfo> GetAppInstallerInfo() override {
    f_.Read(L"GetAppInstallerInfo");
    return f_.association ? std::make_unique<FakeInfo>(f_) : nullptr;
  }

 private:
  const PackageFacts& f_;
};

// The current user's packages. `failures` names calls of the manager and the walk
// ("CreatePackageManager", "FindPackages", "MoveNext", "FindPackageForUser"); a
// count limits how many calls succeed first.
struct FakeWindows final : PackagePlatform, PackageCatalog {
  std::vector<PackageFacts> packages;
  std::map<std::wstring, HRESULT> failures;
  std::map<std::wstring, int> succeedFirst;
  std::vector<std::pair<std::wstring, std::wstring>> searches;
  size_t goneFromSearch = 0;  // from this search (1-based) on, every package has been removed

  void Call(const std::wstring& what) {
    if (succeedFirst[what]-- > 0) return;
    if (auto it = failures.find(what); it != failures.end()) throw hresult_error(it->second, L"", nullptr);
  }

  class Cursor final : public PackageCursor {
   public:
    explicit Cursor(FakeWindows& w) : w_(w) {}
    std::unique_ptr<InstalledPackage> Next() override {
      if (next_ > 0) w_.Call(L"MoveNext");
      if (next_ >= w_.packages.size()) return nullptr;
      return std::make_unique<FakePackage>(w_.packages[next_++]);
    }

   private:
    FakeWindows& w_;
    size_t next_ = 0;
  };

  // Each manager is a view of the same packages; this object outlives it.
  struct Manager final : PackageCatalog {
    FakeWindows& w;
    explicit Manager(FakeWindows& windows) : w(windows) {}
    std::unique_ptr<PackageCursor> FindPackages(const std::wstring& n, const std::wstring& p) override {
      return w.FindPackages(n, p);
    }
    std::unique_ptr<InstalledPackage> FindPackageForUser(const std::wstring& fullName) override {
      return w.FindPackageForUser(fullName);
    }
  };

  std::unique_ptr<PackageCatalog> CreatePackageManager() override {
    Call(L"CreatePackageManager");
    return std::make_unique<Manager>(*this);
  }
  std::unique_ptr<PackageCursor> FindPackages(const std::wstring& name, const std::wstring& publisher) override {
    Call(L"FindPackages");
    searches.emplace_back(name, publisher);
    if (goneFromSearch != 0 && searches.size() >= goneFromSearch) packages.clear();
    return std::make_unique<Cursor>(*this);
  }
  std::unique_ptr<InstalledPackage> FindPackageForUser(const std::wstring& fullName) override {
    Call(L"FindPackageForUser");
    for (const PackageFacts& p : packages)
      if (p.fullName == fullName && p.registered) return std::make_unique<FakePackage>(p);
    return nullptr;
  }
};

class VerificationTest : public testing::WorkerTest {
 protected:
  FakeWindows windows;

  void SetUp() override {
    WorkerTest::SetUp();
    windows.packages.emplace_back();
  }
  PackageFacts& First() { return windows.packages.front(); }

  static uint32_t Code(const ErrorRecord& r) { return static_cast<uint32_t>(r.code); }
  static std::vector<uint32_t> Codes() {
    std::vector<uint32_t> codes;
    for (const ErrorRecord& r : Records()) codes.push_back(Code(r));
    return codes;
  }
  static const VerificationRecord& Record() { return Worker().verification; }
  static const LogEntry* FindLog(const std::wstring& operation, const std::wstring& phase) {
    for (const LogEntry& entry : Report().log)
      if (entry.operation == operation && entry.phase == phase) return &entry;
    return nullptr;
  }
  static bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }
  // The events emitted since the last call, each split into its five fields.
  std::vector<std::vector<std::string>> Events() {
    std::vector<std::vector<std::string>> events;
    for (const std::string& line : TakeOutputLines()) events.push_back(Fields(line));
    return events;
  }
};

// ---- A package that passes ----------------------------------------------------

TEST_F(VerificationTest, AHealthyPackageWithUpdatesOnPassesAndFillsTheRecord) {
  Worker().desktopAppInstallerVersion = L"1.21.3133.0";
  EXPECT_TRUE(Verify(VerifyMode::PostDeployment, windows));

  const VerificationRecord& r = Record();
  EXPECT_TRUE(r.attempted);
  EXPECT_TRUE(r.verified);
  EXPECT_TRUE(Worker().registered);
  EXPECT_EQ(r.attempts, 1u);
  EXPECT_EQ(r.mode, L"post_deployment");
  EXPECT_EQ(r.packageFullName, First().fullName);
  EXPECT_EQ(r.packageName, build::kPackageName);
  EXPECT_EQ(r.publisher, build::kPackagePublisher);
  EXPECT_EQ(r.appInstallerUri, build::kDescriptorUri);
  EXPECT_EQ(r.desktopAppInstallerVersion, L"1.21.3133.0");
  EXPECT_EQ(r.packagePresent, true);
  EXPECT_EQ(r.packageHealthy, true);
  EXPECT_FALSE(r.packageHealthInconsistent);
  EXPECT_EQ(r.associationPresent, true);
  EXPECT_EQ(r.uriPresent, true);
  EXPECT_EQ(r.policyInterfaceSupported, true);
  EXPECT_EQ(r.onLaunch, true);
  EXPECT_EQ(r.automaticBackgroundTask, true);
  ASSERT_EQ(r.packageStatus.size(), kStatusFlagCount);
  EXPECT_EQ(r.packageStatus.front().first, L"NotAvailable");
  EXPECT_EQ(r.packageStatus[10].first, L"DeploymentInProgress");
  EXPECT_EQ(r.packageStatus.back().first, L"IsPartiallyStaged");

  EXPECT_TRUE(Records().empty());
  EXPECT_TRUE(Events().empty()) << "a pass emits nothing";
  ASSERT_EQ(windows.searches.size(), 1u);
  EXPECT_EQ(windows.searches[0].first, build::kPackageName);
  EXPECT_EQ(windows.searches[0].second, build::kPackagePublisher);

  // Kept without --verbose: every verification entry.
  ASSERT_TRUE(FindLog(L"verification.attempt", L"begin"));
  EXPECT_EQ(FindLog(L"verification.attempt", L"begin")->detail, L"mode=post_deployment");
  EXPECT_EQ(FindLog(L"verification.identity", L"result")->detail,
            std::wstring(L"Name=") + build::kPackageName + L"; Publisher=" + build::kPackagePublisher);
  EXPECT_EQ(FindLog(L"verification.package_status.Tampered", L"result")->detail, L"false");
  EXPECT_EQ(FindLog(L"verification.result", L"result")->detail,
            L"registered=true; package=" + First().fullName + L"; uri=" + build::kDescriptorUri);
}

TEST_F(VerificationTest, WithoutTheUpdatePolicyInterfaceThePackagePassesWithUnknownPolicy) {
  First().policyInterface = false;  // every Windows 10 PC
  EXPECT_TRUE(Verify(VerifyMode::PostDeployment, windows));
  EXPECT_TRUE(Record().verified);
  EXPECT_EQ(Record().policyInterfaceSupported, false);
  EXPECT_FALSE(Record().onLaunch.has_value());
  EXPECT_FALSE(Record().automaticBackgroundTask.has_value());
  std::string json = VerificationJson(Record());
  EXPECT_NE(json.find("\"policyInterfaceSupported\":false,\"onLaunch\":null,\"automaticBackgroundTask\":null"),
            std::string::npos)
      << json;

  EXPECT_TRUE(Records().empty()) << "not a failure: the store stays empty";
  EXPECT_EQ(CurrentFailure().code, 0);
  const LogEntry* entry = FindLog(L"verification.query_policy_interface", L"unsupported");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->detail, L"IAppInstallerInfo2 supported=false");
  EXPECT_EQ(static_cast<uint32_t>(entry->code), 0x80004002u);
  ASSERT_TRUE(entry->error);
  EXPECT_EQ(entry->error->id, L"verification.query_policy_interface");
  EXPECT_TRUE(StartsWith(entry->error->message, L"The object does not expose IAppInstallerInfo2. Windows: "))
      << entry->error->message;
  EXPECT_EQ(FindLog(L"verification.read_on_launch", L"begin"), nullptr) << "nothing more is asked";
}

TEST_F(VerificationTest, UnreadableNameOrPublisherIsRecordedButDoesNotFailThePackage) {
  First().failures[L"Publisher"] = kAccessDenied;
  EXPECT_TRUE(Verify(VerifyMode::PostDeployment, windows));
  ASSERT_EQ(Records().size(), 1u);
  const ErrorRecord r = Records()[0];
  EXPECT_EQ(r.id, L"verification.read_identity_fields");
  EXPECT_EQ(Code(r), 0x80070005u);
  EXPECT_TRUE(StartsWith(r.message, L"Reading package Name or Publisher failed. Windows: ")) << r.message;
  ASSERT_TRUE(r.windows.has_value());
  EXPECT_EQ(r.attempt, 1u);
  EXPECT_EQ(r.packageFullName, First().fullName);
  EXPECT_EQ(CurrentFailure().code, 0) << "a guarded read never becomes the failure";
}

// ---- Health --------------------------------------------------------------------

TEST_F(VerificationTest, NotOkWithAllTwelveFlagsFalseIsInconsistentButGoesOn) {
  First().verifyIsOk = false;
  EXPECT_TRUE(Verify(VerifyMode::PostDeployment, windows));
  EXPECT_EQ(Record().packageHealthy, false);
  EXPECT_TRUE(Record().packageHealthInconsistent);
  EXPECT_EQ(Record().associationPresent, true);
  EXPECT_EQ(FindLog(L"verification.health_inconsistent", L"result")->detail,
            L"VerifyIsOK=false while all 12 PackageStatus flags are false; checking App Installer association.");
  EXPECT_TRUE(Records().empty());
}

TEST_F(VerificationTest, NotOkWithOnlyElevenReadableFlagsIsUnhealthy) {
  First().verifyIsOk = false;
  First().failures[L"Flag.IsPartiallyStaged"] = E_NOINTERFACE;
  EXPECT_FALSE(Verify(VerifyMode::PostDeployment, windows));
  EXPECT_EQ(Record().packageStatus.size(), 11u);
  EXPECT_FALSE(Record().packageHealthInconsistent);
  EXPECT_EQ(Record().associationPresent, std::nullopt) << "the check stopped at health";

  auto records = Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].id, L"verification.package_status.IsPartiallyStaged");
  EXPECT_TRUE(StartsWith(records[0].message, L"PackageStatus getter failed. Windows: "));
  EXPECT_EQ(Code(records[1]), 0xA0041003u);
  EXPECT_EQ(records[1].id, L"verification.package_unhealthy");
  EXPECT_EQ(records[1].message, L"Package.Status.VerifyIsOK returned false for Tavo's installed package.");
  EXPECT_EQ(records[1].packageFullName, First().fullName);
  EXPECT_EQ(Code(CurrentFailure()), 0xA0041003u);
}

TEST_F(VerificationTest, NotOkWithAFlagSetIsUnhealthyAndOkIgnoresFlags) {
  First().verifyIsOk = false;
  First().flags[static_cast<size_t>(StatusFlag::Modified)] = true;
  EXPECT_FALSE(Verify(VerifyMode::PostDeployment, windows));
  EXPECT_EQ(Codes(), std::vector<uint32_t>{0xA0041003u});
  EXPECT_EQ(Record().packageStatus[6], std::make_pair(std::wstring(L"Modified"), true));

  First().verifyIsOk = true;
  EXPECT_TRUE(Verify(VerifyMode::PostDeployment, windows));
}

// ---- The checks that fail one package ------------------------------------------

TEST_F(VerificationTest, EachMissingPieceFailsWithItsOwnCode) {
  struct Case {
    void (*spoil)(PackageFacts&);
    uint32_t code;
    const wchar_t* id;
  };
  const Case cases[] = {
      {[](PackageFacts& p) { p.registered = false; }, 0xA0041002u, L"verification.registration_missing"},
      {[](PackageFacts& p) { p.association = false; }, 0xA0041004u, L"verification.association_missing"},
      {[](PackageFacts& p) { p.uriObject = false; }, 0xA0041005u, L"verification.update_uri_missing"},
      {[](PackageFacts& p) { p.uri.clear(); }, 0xA0041006u, L"verification.update_uri_empty"},
  };
  for (const Case& c : cases) {
    ResetWorkerStateForTests();
    First() = PackageFacts{};
    c.spoil(First());
    EXPECT_FALSE(Verify(VerifyMode::PostDeployment, windows)) << c.code;
    ASSERT_EQ(Records().size(), 1u) << c.code;
    const ErrorRecord r = Records()[0];
    EXPECT_EQ(Code(r), c.code);
    EXPECT_EQ(r.id, c.id);
    EXPECT_FALSE(r.windows.has_value());
    EXPECT_EQ(r.attempt, 1u);
    EXPECT_EQ(r.packageFullName, First().fullName);
    EXPECT_EQ(Code(CurrentFailure()), c.code);
    EXPECT_FALSE(Record().verified);
    EXPECT_FALSE(Worker().registered);
  }
  EXPECT_EQ(Record().uriPresent, true);
  EXPECT_EQ(Record().appInstallerUri, L"");
}

TEST_F(VerificationTest, AnUpdateUriDifferingOnlyInCaseIsAMismatch) {
  std::wstring lower = build::kDescriptorUri;
  lower.replace(lower.rfind(L"TavoStudio"), 10, L"tavostudio");
  First().uri = lower;
  EXPECT_FALSE(Verify(VerifyMode::PostDeployment, windows));
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Code(Records()[0]), 0xA0041007u);
  EXPECT_EQ(Records()[0].id, L"verification.update_uri_mismatch");
  EXPECT_EQ(Records()[0].message, L"Registered update URI differs from the expected source. Expected: " +
                                      std::wstring(build::kDescriptorUri) + L"; actual: " + lower);
  EXPECT_EQ(Record().appInstallerUri, lower);
}

TEST_F(VerificationTest, BothUpdateSettingsOffGiveTwoRecordsBackgroundFirst) {
  First().onLaunch = false;
  First().background = false;
  EXPECT_FALSE(Verify(VerifyMode::PostDeployment, windows));
  EXPECT_EQ(Codes(), (std::vector<uint32_t>{0xA0041008u, 0xA0041009u}));
  EXPECT_EQ(Records()[0].message, L"AutomaticBackgroundTask is disabled for Tavo's registered App Installer policy.");
  EXPECT_EQ(Records()[1].message, L"OnLaunch is disabled for Tavo's registered App Installer policy.");
  EXPECT_EQ(Code(CurrentFailure()), 0xA0041009u);
  EXPECT_EQ(Record().onLaunch, false);
  EXPECT_EQ(Record().automaticBackgroundTask, false);
  EXPECT_FALSE(Worker().registered);

  ResetWorkerStateForTests();
  First().background = true;
  EXPECT_FALSE(Verify(VerifyMode::PostDeployment, windows));
  EXPECT_EQ(Codes(), std::vector<uint32_t>{0xA0041009u});
}

// ---- Several packages, several runs -------------------------------------------

TEST_F(VerificationTest, ALaterPackageMayPassAfterAnEarlierOneFailed) {
  First().uri = L"https://elsewhere.example/TavoStudio.appinstaller";
  First().verifyIsOk = false;  // inconsistent: its 12 flags must not leak into the next package's record
  PackageFacts second;
  second.fullName = L"TavoStudioInc.TavoStudio_1.5.0.0_x64__8wekyb3d8bbwe";
  windows.packages.push_back(second);

  EXPECT_TRUE(Verify(VerifyMode::PostDeployment, windows));
  EXPECT_TRUE(Record().verified);
  EXPECT_TRUE(Worker().registered);
  EXPECT_EQ(Record().packageFullName, second.fullName);
  EXPECT_EQ(Record().appInstallerUri, build::kDescriptorUri);
  EXPECT_EQ(Record().packageStatus.size(), kStatusFlagCount) << "the record describes the passing package only";
  EXPECT_FALSE(Record().packageHealthInconsistent);

  ASSERT_EQ(Records().size(), 1u) << "the first package's failure stays in the store";
  EXPECT_EQ(Code(Records()[0]), 0xA0041007u);
  EXPECT_EQ(Records()[0].packageFullName, First().fullName);
  EXPECT_TRUE(FindLog(L"verification.next_package", L"begin"));
}

TEST_F(VerificationTest, EveryRunCountsAndStartsFromAFreshRecord) {
  First().background = false;
  EXPECT_FALSE(Verify(VerifyMode::ExistingProbe, windows));
  EXPECT_FALSE(Verify(VerifyMode::PostDeployment, windows));
  EXPECT_EQ(Worker().verificationAttempt, 2u);
  EXPECT_EQ(Record().attempts, 2u);
  EXPECT_EQ(Record().mode, L"post_deployment");
  auto records = Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].attempt, 1u);
  EXPECT_EQ(records[1].attempt, 2u);

  First().background = true;
  EXPECT_TRUE(Verify(VerifyMode::PostDeployment, windows));
  EXPECT_EQ(Record().attempts, 3u);
  EXPECT_EQ(Record().automaticBackgroundTask, true);
}

// ---- No package ----------------------------------------------------------------

TEST_F(VerificationTest, NoPackageAfterDeploymentIsAFailure) {
  windows.packages.clear();
  EXPECT_FALSE(Verify(VerifyMode::PostDeployment, windows));
  EXPECT_EQ(Record().packagePresent, false);
  EXPECT_EQ(Codes(), std::vector<uint32_t>{0xA0041001u});
  EXPECT_EQ(Records()[0].id, L"verification.package_not_found");
  EXPECT_EQ(Records()[0].packageFullName, L"");
  EXPECT_EQ(Code(CurrentFailure()), 0xA0041001u);
  EXPECT_EQ(FindLog(L"verification.enumerate_packages", L"result")->detail, L"matching packages found=false");
}

TEST_F(VerificationTest, NoPackageInTheProbeIsOnlyADiagnostic) {
  windows.packages.clear();
  EXPECT_FALSE(ProbeExistingInstall(windows));
  EXPECT_EQ(Record().packagePresent, false);
  EXPECT_EQ(Record().mode, L"existing_probe");
  EXPECT_TRUE(Records().empty());
  auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], (std::vector<std::string>{
                           "diagnostic", "-1", "existing.package_not_present",
                           "Tavo is not installed for the current Windows user; continuing with installation.",
                           "0x00000000"}));
}

// ---- Windows errors ------------------------------------------------------------

TEST_F(VerificationTest, AWindowsErrorEndsTheRunUnderTheStepThatFailed) {
  struct Case {
    const wchar_t* call;
    bool ofManager;  // a call of the manager or the walk, not of the package
    bool nameKnown;  // the package's full name was read before the failure
    const wchar_t* id;
    const wchar_t* text;
  };
  const Case cases[] = {
      {L"CreatePackageManager", true, false, L"verification.create_package_manager",
       L"Creating PackageManager failed."},
      {L"FindPackages", true, false, L"verification.enumerate_packages",
       L"Enumerating Tavo's registered packages failed."},
      {L"FullName", false, false, L"verification.read_package_identity",
       L"Reading Tavo's installed package identity failed."},
      {L"FamilyName", false, true, L"verification.read_package_identity",
       L"Reading Tavo's installed package identity failed."},
      {L"FindPackageForUser", true, true, L"verification.find_registration",
       L"Looking up Tavo's registration for the current user failed."},
      {L"Status", false, true, L"verification.read_package_health", L"Reading Tavo's installed package health failed."},
      {L"VerifyIsOK", false, true, L"verification.read_package_health",
       L"Reading Tavo's installed package health failed."},
      {L"GetAppInstallerInfo", false, true, L"verification.read_association",
       L"Package.GetAppInstallerInfo failed for Tavo."},
      {L"Uri", false, true, L"verification.read_update_uri", L"Reading AppInstallerInfo.Uri failed for Tavo."},
      {L"AbsoluteUri", false, true, L"verification.read_absolute_uri",
       L"Reading the registered update URI's AbsoluteUri failed."},
      {L"QueryPolicy", false, true, L"verification.query_policy_interface",
       L"Querying the update-policy interface failed."},
      {L"OnLaunch", false, true, L"verification.read_on_launch", L"Reading the OnLaunch update setting failed."},
      {L"AutomaticBackgroundTask", false, true, L"verification.read_background",
       L"Reading the AutomaticBackgroundTask update setting failed."},
  };
  for (const Case& c : cases) {
    ResetWorkerStateForTests();
    windows.failures.clear();
    First() = PackageFacts{};
    (c.ofManager ? windows.failures : First().failures)[c.call] = kAccessDenied;
    Worker().verificationAttempt = 4;

    EXPECT_FALSE(Verify(VerifyMode::PostDeployment, windows)) << c.call;
    ASSERT_EQ(Records().size(), 1u) << c.call;
    const ErrorRecord r = Records()[0];
    EXPECT_EQ(r.id, c.id) << c.call;
    EXPECT_EQ(Code(r), 0x80070005u);
    EXPECT_TRUE(StartsWith(r.message, std::wstring(c.text) + L" Windows: ")) << c.call;
    ASSERT_TRUE(r.windows.has_value());
    EXPECT_EQ(r.attempt, 5u);
    EXPECT_EQ(r.packageFullName, c.nameKnown ? First().fullName : L"") << c.call;
    EXPECT_EQ(CurrentFailure().id, r.id) << "the escaped error is the run's failure";
    EXPECT_FALSE(Worker().registered);
    EXPECT_FALSE(Record().verified);
  }
}

TEST_F(VerificationTest, AFailingWalkToTheNextPackageIsRecordedUnderNextPackage) {
  First().association = false;
  windows.packages.emplace_back();
  windows.failures[L"MoveNext"] = kAccessDenied;
  EXPECT_FALSE(Verify(VerifyMode::PostDeployment, windows));
  auto records = Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(Code(records[0]), 0xA0041004u);
  EXPECT_EQ(records[1].id, L"verification.next_package");
  EXPECT_TRUE(
      StartsWith(records[1].message, L"Continuing to enumerate Tavo's registered packages failed. Windows: "));
  EXPECT_EQ(CurrentFailure().id, L"verification.next_package");
}

TEST_F(VerificationTest, AStandardExceptionIsRecordedAndNeverEscapes) {
  First().unexpected = L"AbsoluteUri";
  EXPECT_FALSE(Verify(VerifyMode::PostDeployment, windows));
  ASSERT_EQ(Records().size(), 1u);
  EXPECT_EQ(Records()[0].id, L"verification.read_absolute_uri");
  EXPECT_EQ(Code(Records()[0]), 0xA0041201u);
  EXPECT_NE(Records()[0].message.find(L"fake failure"), std::wstring::npos);
}

// ---- Existing-install probe and launch identity --------------------------------

TEST_F(VerificationTest, TheProbeReportsAHealthyInstallWithItsLaunchIdentity) {
  EXPECT_TRUE(ProbeExistingInstall(windows));
  EXPECT_TRUE(Worker().registered);
  EXPECT_EQ(Record().mode, L"existing_probe");
  auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], (std::vector<std::string>{"launch", "100", "Tavo application identity",
                                                 "TavoStudioInc.TavoStudio_8wekyb3d8bbwe!TavoStudio", "0x00000000"}));
  EXPECT_EQ(events[1], (std::vector<std::string>{"installed", "100", "Tavo Studio is already installed",
                                                 "Opening Tavo Studio.", "0x00000000"}));
}

TEST_F(VerificationTest, TheProbeInstallsOverABrokenPackage) {
  First().uriObject = false;
  EXPECT_FALSE(ProbeExistingInstall(windows));
  EXPECT_EQ(Codes(), std::vector<uint32_t>{0xA0041005u}) << "recorded for the report";
  for (const auto& event : Events()) EXPECT_NE(event[0], "launch");
}

TEST_F(VerificationTest, TheProbeInstallsWhenTheLaunchIdentityCannotBeRead) {
  // Verification's search finds the package; the second one fails, or finds
  // it gone (removed in between).
  struct Case {
    const char* what;
    bool searchFails;
    uint32_t code;
  } cases[] = {{"second search fails", true, 0x80070005u}, {"package gone by the second search", false, 0x80073CF1u}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetWorkerStateForTests();
    windows.packages.assign(1, PackageFacts{});
    windows.failures.clear();
    windows.succeedFirst.clear();
    windows.searches.clear();
    if (c.searchFails) {
      windows.succeedFirst[L"FindPackages"] = 1;
      windows.failures[L"FindPackages"] = kAccessDenied;
    } else {
      windows.goneFromSearch = 2;
    }
    EXPECT_FALSE(ProbeExistingInstall(windows));
    EXPECT_TRUE(Record().verified) << "the package itself passed";
    EXPECT_FALSE(Worker().registered);
    ASSERT_EQ(Records().size(), 1u);
    const ErrorRecord r = Records()[0];
    EXPECT_EQ(r.id, L"existing.read_launch_identity");
    EXPECT_EQ(Code(r), c.code);
    EXPECT_TRUE(StartsWith(r.message, L"Reading the existing Tavo installation's launch identity failed. Windows: "));
    EXPECT_EQ(r.attempt, 0u);
    EXPECT_EQ(r.packageFullName, L"");
    EXPECT_EQ(CurrentFailure().code, 0) << "not the run's failure";
    for (const auto& event : Events()) EXPECT_NE(event[0], "installed");
  }
}

TEST_F(VerificationTest, TheLaunchIdentityIsReportedForTheVerifiedPackageOnly) {
  PackageFacts other;
  other.fullName = L"TavoStudioInc.TavoStudio_1.3.0.0_x64__8wekyb3d8bbwe";
  other.familyName = L"Other_family";
  windows.packages.insert(windows.packages.begin(), other);
  windows.packages[0].registered = false;  // so the second package is the verified one
  ASSERT_TRUE(Verify(VerifyMode::PostDeployment, windows));
  Events();

  ReportLaunchIdentity(windows);
  auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0][3], "TavoStudioInc.TavoStudio_8wekyb3d8bbwe!TavoStudio");

  windows.packages[1].failures[L"FamilyName"] = kAccessDenied;
  EXPECT_THROW(ReportLaunchIdentity(windows), hresult_error) << "Windows errors reach the caller";
}

}  // namespace
}  // namespace tavo::worker
