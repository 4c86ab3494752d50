// The simulated platform's own logic, in process: scenario parsing (a bad file
// must fail loudly, never act as the default), the package store's filter, the
// package iterator's protocol, the state file, and the asynchronous-operation
// contract that the worker's deployment relies on. End-to-end behaviour is
// proven by the worker's integration tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "common/winrt/com_ptr.h"
#include "common/winrt/winrt.h"
#include "tests/simplatform/deployment_operation.h"
#include "tests/simplatform/package_collection.h"
#include "tests/simplatform/package_manager.h"
#include "tests/simplatform/package_store.h"
#include "tests/simplatform/process_counters.h"
#include "tests/simplatform/scenario.h"
#include "tests/simplatform/state_file.h"
#include "tests/simplatform/uri.h"

namespace {

using namespace tavo::sim;
namespace abi = tavo::abi;

constexpr char kMicrosoft[] = "CN=Microsoft Corporation, O=Microsoft Corporation, L=Redmond, S=Washington, C=US";

TEST(SimScenario, ParsesEveryMemberAndDerivesPackageNames) {
  const Scenario s = ParseScenario(std::string(R"({
    "missingMethods": ["Windows.ApplicationModel.Package.GetAppInstallerInfo"],
    "failures": {"PackageManager.FindPackagesForUser": "0x80070005", "ApiInformation.IsMethodPresent": "0x8000FFFF",
                 "Uri.CreateUri": "0x80070057"},
    "packages": [
      {"name": "Microsoft.DesktopAppInstaller", "publisher": ")") + kMicrosoft + R"(", "version": "1.21.3133.0"},
      {"user": "S-1-5-21-1-2-3-1001", "name": "Other", "publisher": "CN=X", "version": "65535.0.0.1",
       "fullName": "Other_65535.0.0.1_x64__given", "familyName": "Other_given",
       "registered": false, "verifyIsOK": false, "status": {"Tampered": true, "IsPartiallyStaged": true},
       "healthyAfterRuns": 2,
       "appInstallerInfo": {"uri": null, "info2": false, "onLaunch": false, "automaticBackgroundTask": false},
       "failures": {"PackageStatus.Modified": "0x80070005", "Uri.AbsoluteUri": "0x8000FFFF"}},
      {"name": "Loose", "publisher": "CN=Y", "version": "1.0.0.0", "appInstallerInfo": null}
    ],
    "deployment": {
      "attempts": [
        {"progress": [0, {"percent": 5, "state": "queued"}, {"percent": 7, "state": 9}], "stepDelayMs": 20,
         "errorCode": "0x80D05011", "errorText": "busy", "activityId": "{01234567-89AB-CDEF-0123-456789abcdef}",
         "resultsOnError": true},
        {"untilCancelled": true},
        {"extendedErrorCode": "0x80073CF3", "completeBeforeReturn": true}
      ],
      "package": {"version": "2.0.0.0", "verifyIsOK": false}
    }})");
  EXPECT_FALSE(s.IsMethodPresent(L"Windows.ApplicationModel.Package", L"GetAppInstallerInfo"));
  EXPECT_TRUE(s.IsMethodPresent(L"Windows.Management.Deployment.PackageManager", L"AddPackageByAppInstallerFileAsync"));
  EXPECT_EQ(s.Failure("PackageManager.FindPackagesForUser"), static_cast<HRESULT>(0x80070005));
  EXPECT_EQ(s.Failure("ApiInformation.IsMethodPresent"), static_cast<HRESULT>(0x8000FFFF));
  EXPECT_EQ(s.Failure("Uri.CreateUri"), static_cast<HRESULT>(0x80070057));
  EXPECT_FALSE(s.Failure("PackageManager.Activate").has_value());

  ASSERT_EQ(s.packages.size(), 3u);
  const PackageRecord& derived = s.packages[0];
  EXPECT_EQ(derived.user, L"");
  EXPECT_EQ(derived.version.Major, 1);
  EXPECT_EQ(derived.version.Minor, 21);
  EXPECT_EQ(derived.version.Build, 3133);
  EXPECT_EQ(derived.version.Revision, 0);
  const std::wstring family = derived.familyName;
  ASSERT_EQ(family.rfind(L"Microsoft.DesktopAppInstaller_", 0), 0u);
  const std::wstring publisher_id = family.substr(family.rfind(L'_') + 1);
  EXPECT_EQ(publisher_id.size(), 13u);
  EXPECT_EQ(derived.fullName, L"Microsoft.DesktopAppInstaller_1.21.3133.0_x64__" + publisher_id);

  const PackageRecord& given = s.packages[1];
  EXPECT_EQ(given.user, L"S-1-5-21-1-2-3-1001");
  EXPECT_EQ(given.version.Major, 65535);
  EXPECT_EQ(given.fullName, L"Other_65535.0.0.1_x64__given");
  EXPECT_EQ(given.familyName, L"Other_given");
  EXPECT_FALSE(given.registered);
  EXPECT_FALSE(given.verifyIsOK);
  const std::array<bool, 12> flags = {false, false, false, false, false, false,
                                      false, true,  false, false, false, true};
  EXPECT_EQ(given.status, flags);
  EXPECT_EQ(given.healthyAfterRuns, 2u);
  ASSERT_TRUE(given.appInstallerInfo.has_value());
  EXPECT_FALSE(given.appInstallerInfo->uri.has_value());
  EXPECT_FALSE(given.appInstallerInfo->info2);
  EXPECT_FALSE(given.appInstallerInfo->onLaunch);
  EXPECT_FALSE(given.appInstallerInfo->automaticBackgroundTask);
  EXPECT_EQ(given.Failure("PackageStatus.Modified"), static_cast<HRESULT>(0x80070005));
  EXPECT_EQ(given.Failure("Uri.AbsoluteUri"), static_cast<HRESULT>(0x8000FFFF));
  EXPECT_FALSE(given.Failure("PackageStatus.Tampered").has_value());
  EXPECT_FALSE(s.packages[2].appInstallerInfo.has_value());

  const DeploymentAttempt first = s.deployment.ForAttempt(1);
  ASSERT_EQ(first.progress.size(), 3u);
  EXPECT_EQ(first.progress[0].state, abi::DeploymentProgressState::Processing);
  EXPECT_EQ(first.progress[0].percentage, 0u);
  EXPECT_EQ(first.progress[1].state, abi::DeploymentProgressState::Queued);
  EXPECT_EQ(first.progress[1].percentage, 5u);
  EXPECT_EQ(static_cast<int32_t>(first.progress[2].state), 9);
  EXPECT_EQ(first.stepDelayMs, 20u);
  EXPECT_EQ(first.errorCode, static_cast<HRESULT>(0x80D05011));
  EXPECT_FALSE(first.Succeeds());
  EXPECT_EQ(first.errorText, L"busy");
  const GUID activity = {0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
  ASSERT_TRUE(first.activityId.has_value());
  EXPECT_EQ(*first.activityId, activity);
  EXPECT_TRUE(first.resultsOnError);
  EXPECT_TRUE(s.deployment.ForAttempt(2).untilCancelled);
  // Past the list, the last entry stands for every further attempt.
  for (uint32_t attempt : {3u, 4u}) {
    const DeploymentAttempt later = s.deployment.ForAttempt(attempt);
    EXPECT_EQ(later.extendedErrorCode, static_cast<HRESULT>(0x80073CF3));
    EXPECT_TRUE(later.completeBeforeReturn);
  }
  // The deployed package's members override the default Tavo package.
  ASSERT_TRUE(s.deployment.package.has_value());
  EXPECT_EQ(s.deployment.package->name, tavo::build::kPackageName);
  EXPECT_EQ(s.deployment.package->version.Major, 2);
  EXPECT_EQ(s.deployment.package->fullName.find(L"_2.0.0.0_x64__"), std::wstring(tavo::build::kPackageName).size());
  EXPECT_FALSE(s.deployment.package->verifyIsOK);
}

TEST(SimScenario, EmptyObjectIsTheDefault) {
  const Scenario s = ParseScenario("{}");
  EXPECT_TRUE(s.IsMethodPresent(L"Windows.Management.Deployment.PackageManager", L"AddPackageByAppInstallerFileAsync"));
  EXPECT_TRUE(s.failures.empty());
  EXPECT_TRUE(s.packages.empty());
  EXPECT_TRUE(s.statePath.empty());
  // A deployment succeeds at once and registers the expected Tavo package.
  const DeploymentAttempt attempt = s.deployment.ForAttempt(1);
  EXPECT_TRUE(attempt.Succeeds());
  EXPECT_TRUE(attempt.progress.empty());
  EXPECT_FALSE(attempt.untilCancelled);
  ASSERT_TRUE(s.deployment.package.has_value());
  EXPECT_EQ(s.deployment.package->name, tavo::build::kPackageName);
  EXPECT_EQ(s.deployment.package->publisher, tavo::build::kPackagePublisher);
  EXPECT_EQ(ParseScenario(R"({"deployment": {"package": null}})").deployment.package, std::nullopt);
}

TEST(SimScenario, PackageStatesDefaultToAPackageThatPassesVerification) {
  const Scenario s = ParseScenario(R"({"packages": [{"name": "N", "publisher": "P", "version": "1.0.0.0"}]})");
  const PackageRecord& p = s.packages.at(0);
  EXPECT_TRUE(p.registered);
  EXPECT_TRUE(p.verifyIsOK);
  EXPECT_EQ(p.status, (std::array<bool, 12>{}));
  EXPECT_EQ(p.healthyAfterRuns, 0u);
  ASSERT_TRUE(p.appInstallerInfo.has_value());
  EXPECT_EQ(p.appInstallerInfo->uri, std::wstring(tavo::build::kDescriptorUri));
  EXPECT_TRUE(p.appInstallerInfo->info2);
  EXPECT_TRUE(p.appInstallerInfo->onLaunch);
  EXPECT_TRUE(p.appInstallerInfo->automaticBackgroundTask);
  EXPECT_TRUE(p.failures.empty());
}

TEST(SimScenario, RejectsMalformedScenarios) {
  const std::string package_head = R"({"packages": [{"name": "N", "publisher": "P", "version": ")";
  const std::string package = R"({"packages": [{"name": "N", "publisher": "P", "version": "1.0.0.0", )";
  const std::string attempt = R"({"deployment": {"attempts": [{)";
  const std::vector<std::string> malformed = {
      "",
      "{",
      "[]",
      R"({"package": []})",                                     // misspelt member
      R"({"missingMethods": "A.B"})",
      R"({"missingMethods": ["NoDot"]})",
      R"({"failures": {"PackageManager.FindPackagesForUsr": "0x80070005"}})",
      R"({"failures": {"Uri.Create": "0x80070005"}})",
      R"({"failures": {"PackageManager.Activate": 2147942405}})",
      R"({"failures": {"PackageManager.Activate": "80070005"}})",
      R"({"failures": {"PackageManager.Activate": "0x"}})",
      R"({"failures": {"PackageManager.Activate": "0x00000001"}})",  // not a failure
      R"({"failures": {"PackageManager.Activate": "0x800700051"}})",
      R"({"failures": {"PackageManager.Activate": "0x8007000G"}})",
      R"({"packages": {}})",
      R"({"packages": [{"publisher": "P", "version": "1.0.0.0"}]})",
      R"({"packages": [{"name": "N", "version": "1.0.0.0"}]})",
      R"({"packages": [{"name": "N", "publisher": "P"}]})",
      R"({"packages": [{"name": "", "publisher": "P", "version": "1.0.0.0"}]})",
      R"({"packages": [{"name": "N", "publisher": "P", "version": "1.0.0.0", "Version": "2.0.0.0"}]})",
      R"({"packages": [{"name": 5, "publisher": "P", "version": "1.0.0.0"}]})",
      package_head + R"(1.2.3"}]})",
      package_head + R"(1.2.3.4.5"}]})",
      package_head + R"(1.2.3.65536"}]})",
      package_head + R"(1..2.3"}]})",
      package_head + R"(1.2.3.4 "}]})",
      package_head + R"(-1.2.3.4"}]})",
      package_head + R"(a.b.c.d"}]})",
      package + R"("registered": 1}]})",
      package + R"("verifyIsOK": "true"}]})",
      package + R"("status": {"Tamperd": true}}]})",
      package + R"("status": {"Tampered": 1}}]})",
      package + R"("status": []}]})",
      package + R"("healthyAfterRuns": -1}]})",
      package + R"("healthyAfterRuns": 1.5}]})",
      package + R"("appInstallerInfo": true}]})",
      package + R"("appInstallerInfo": {"url": "https://localhost/x"}}]})",
      package + R"("appInstallerInfo": {"uri": 5}}]})",
      package + R"("appInstallerInfo": {"onLaunch": null}}]})",
      package + R"("failures": {"Package.Foo": "0x80070005"}}]})",
      package + R"("failures": {"PackageStatus.Foo": "0x80070005"}}]})",
      package + R"("failures": {"PackageManager.Activate": "0x80070005"}}]})",
      package + R"("failures": {"PackageStatus.Tampered": "0x0"}}]})",
      R"({"deployment": []})",
      R"({"deployment": {"attempt": []}})",
      R"({"deployment": {"attempts": {}}})",
      attempt + R"("progress": [101]}]}})",
      attempt + R"("progress": [-1]}]}})",
      attempt + R"("progress": 5}]}})",
      attempt + R"("progress": [{"state": "queued"}]}]}})",
      attempt + R"("progress": [{"percent": 5, "state": "running"}]}]}})",
      attempt + R"("progress": [{"percent": 5, "phase": "queued"}]}]}})",
      attempt + R"("errorCode": "0x80070005", "extendedErrorCode": "0x80070005"}]}})",
      attempt + R"("extendedErrorCode": "0x00000001"}]}})",
      attempt + R"("failures": {"put_Id": "0x80070005"}}]}})",
      attempt + R"("errorText": 5}]}})",
      attempt + R"("activityId": "01234567-89AB-CDEF-0123-456789ABCDEF"}]}})",
      attempt + R"("activityId": "{0123456789AB-CDEF-0123-456789ABCDEF-}"}]}})",
      attempt + R"("activityId": "{0123456G-89AB-CDEF-0123-456789ABCDEF}"}]}})",
      attempt + R"("completeBeforeReturn": true, "untilCancelled": true}]}})",
      attempt + R"("completeBeforeReturn": true, "stepDelayMs": 5}]}})",
      attempt + R"("stepDelayMs": 600001}]}})",
      attempt + R"("errorcode": "0x80070005"}]}})",
      R"({"deployment": {"package": {"user": "S-1-5-21-1"}}})",
      R"({"deployment": {"package": {"name": ""}}})",
      R"({"deployment": {"package": {"version": "1.0"}}})",
      R"({"deployment": {"package": 5}})",
  };
  for (const std::string& text : malformed) {
    EXPECT_THROW(ParseScenario(text), ScenarioError) << text;
  }
}

// Sets TAVO_SIM_SCENARIO for one test and restores the previous state.
class ScenarioVariable {
 public:
  explicit ScenarioVariable(const wchar_t* value) {
    wchar_t old[1024];
    const DWORD length = ::GetEnvironmentVariableW(kName, old, 1024);
    had_ = length > 0 && length < 1024;
    if (had_) old_ = old;
    ::SetEnvironmentVariableW(kName, value);
  }
  ~ScenarioVariable() { ::SetEnvironmentVariableW(kName, had_ ? old_.c_str() : nullptr); }

 private:
  static constexpr const wchar_t* kName = L"TAVO_SIM_SCENARIO";
  bool had_ = false;
  std::wstring old_;
};

TEST(SimScenario, LoadsTheNamedFileAndFailsLoudlyOtherwise) {
  {
    const ScenarioVariable unset(nullptr);
    EXPECT_TRUE(LoadScenario().packages.empty());
  }
  wchar_t dir[MAX_PATH];
  wchar_t path[MAX_PATH];
  ASSERT_NE(::GetTempPathW(MAX_PATH, dir), 0u);
  ASSERT_NE(::GetTempFileNameW(dir, L"sim", 0, path), 0u);
  const std::string json = R"({"packages": [{"name": "N", "publisher": "P", "version": "1.0.0.0"}]})";
  {
    HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, json.data(), static_cast<DWORD>(json.size()), &written, nullptr);
    ::CloseHandle(file);
    ASSERT_TRUE(ok);
  }
  {
    const ScenarioVariable set(path);
    const Scenario loaded = LoadScenario();
    EXPECT_EQ(loaded.packages.size(), 1u);
    EXPECT_EQ(loaded.statePath, std::wstring(path) + L".state.json");
  }
  ::DeleteFileW(path);
  {
    const ScenarioVariable missing(path);
    EXPECT_THROW(LoadScenario(), ScenarioError);
    EXPECT_EQ(LoadScenarioOrReport(), nullptr);
  }
  {
    const ScenarioVariable empty(L"");
    EXPECT_THROW(LoadScenario(), ScenarioError);
  }
}

PackageRecord Record(std::wstring user, std::wstring name, std::wstring publisher, std::wstring fullName) {
  PackageRecord r;
  r.user = std::move(user);
  r.name = std::move(name);
  r.publisher = std::move(publisher);
  r.fullName = std::move(fullName);
  return r;
}

TEST(SimPackageStore, FiltersByUserNameAndPublisherInStoreOrder) {
  const std::wstring me = L"S-1-5-21-0-0-0-1000";
  const PackageStore store(
      {
          Record(L"", L"App", L"CN=Maker", L"App_1"),
          Record(L"S-1-5-21-0-0-0-1001", L"App", L"CN=Maker", L"App_other_user"),
          Record(L"", L"App", L"CN=Someone Else", L"App_other_publisher"),
          Record(L"", L"Tool", L"CN=Maker", L"Tool_1"),
          Record(me, L"APP", L"cn=maker", L"App_2"),
      },
      me);
  auto names = [](const std::vector<PackagePtr>& found) {
    std::vector<std::wstring> out;
    for (const PackagePtr& p : found) out.push_back(p->fullName);
    return out;
  };
  const std::vector<std::wstring> mine = {L"App_1", L"App_2"};
  EXPECT_EQ(names(store.FindForUser(L"", L"App", L"CN=Maker")), mine);
  EXPECT_EQ(names(store.FindForUser(L"s-1-5-21-0-0-0-1000", L"app", L"CN=MAKER")), mine);
  EXPECT_EQ(names(store.FindForUser(L"S-1-5-21-0-0-0-1001", L"App", L"CN=Maker")),
            std::vector<std::wstring>{L"App_other_user"});
  EXPECT_TRUE(store.FindForUser(L"", L"App", L"CN=Make").empty());
  EXPECT_TRUE(store.FindForUser(L"", L"Ap", L"CN=Maker").empty());

  ASSERT_NE(store.FindByFullName(L"", L"tool_1"), nullptr);
  EXPECT_EQ(store.FindByFullName(L"", L"Tool_1")->name, L"Tool");
  EXPECT_EQ(store.FindByFullName(L"", L"App_other_user"), nullptr);
  EXPECT_NE(store.FindByFullName(L"S-1-5-21-0-0-0-1001", L"App_other_user"), nullptr);
  EXPECT_EQ(store.FindByFullName(L"", L"App_1_"), nullptr);
}

// A deployment's registration replaces the current user's package of that full
// name only; a package marked not registered is enumerated but has no
// registration of its own.
TEST(SimPackageStore, RegistrationsReplaceTheCurrentUsersPackage) {
  const std::wstring me = L"S-1-5-21-0-0-0-1000";
  PackageRecord hidden = Record(L"", L"App", L"CN=Maker", L"App_hidden");
  hidden.registered = false;
  PackageStore store({Record(L"S-1-5-21-0-0-0-1001", L"App", L"CN=Maker", L"App_1"),
                      Record(L"", L"App", L"CN=Maker", L"App_1"), hidden},
                     me);
  EXPECT_EQ(store.FindForUser(L"", L"App", L"CN=Maker").size(), 2u);
  EXPECT_EQ(store.FindByFullName(L"", L"App_hidden"), nullptr);

  PackageRecord update = Record(L"", L"App", L"CN=Maker", L"APP_1");
  update.verifyIsOK = false;
  store.Register(update);
  store.Register(Record(L"", L"App", L"CN=Maker", L"App_2"));
  const std::vector<PackagePtr> mine = store.FindForUser(L"", L"App", L"CN=Maker");
  ASSERT_EQ(mine.size(), 3u);
  EXPECT_FALSE(mine[0]->verifyIsOK);
  EXPECT_EQ(mine[2]->fullName, L"App_2");
  EXPECT_TRUE(store.FindByFullName(L"S-1-5-21-0-0-0-1001", L"App_1")->verifyIsOK);
}

TEST(SimPackageCollection, IteratesOnceThroughCurrentMoveNextAndGetMany) {
  std::vector<PackagePtr> packages;
  for (const wchar_t* name : {L"A", L"B", L"C"}) {
    packages.push_back(std::make_shared<const PackageRecord>(Record(L"", name, L"P", name)));
  }
  auto iterable = tavo::ComPtr<abi::IIterable_Package>::Attach(new PackageIterable(packages));
  tavo::ComPtr<abi::IIterator_Package> it;
  ASSERT_EQ(iterable->First(it.put()), S_OK);

  boolean has = 0;
  ASSERT_EQ(it->get_HasCurrent(&has), S_OK);
  EXPECT_TRUE(has);
  tavo::ComPtr<abi::IPackage> first;
  ASSERT_EQ(it->get_Current(first.put()), S_OK);
  ASSERT_TRUE(first);

  abi::IPackage* batch[4] = {};
  UINT32 actual = 0;
  ASSERT_EQ(it->GetMany(4, batch, &actual), S_OK);
  EXPECT_EQ(actual, 3u);  // from the current element to the end
  for (UINT32 i = 0; i < actual; ++i) tavo::ComPtr<abi::IPackage>::Attach(batch[i]);

  ASSERT_EQ(it->get_HasCurrent(&has), S_OK);
  EXPECT_FALSE(has);
  tavo::ComPtr<abi::IPackage> past;
  EXPECT_TRUE(FAILED(it->get_Current(past.put())));
  EXPECT_FALSE(past);
  ASSERT_EQ(it->MoveNext(&has), S_OK);
  EXPECT_FALSE(has);

  // A second iterator starts again at the beginning.
  tavo::ComPtr<abi::IIterator_Package> again;
  ASSERT_EQ(iterable->First(again.put()), S_OK);
  ASSERT_EQ(again->MoveNext(&has), S_OK);
  EXPECT_TRUE(has);
  ASSERT_EQ(again->MoveNext(&has), S_OK);
  EXPECT_TRUE(has);
  ASSERT_EQ(again->MoveNext(&has), S_OK);
  EXPECT_FALSE(has);
}

// ---- State file ------------------------------------------------------------

// A file name in the temporary folder, deleted (with its .tmp) at the end.
class TemporaryPath {
 public:
  explicit TemporaryPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    path_ = std::wstring(dir) + L"tavo-sim-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + name;
    Remove();
  }
  ~TemporaryPath() { Remove(); }
  const std::wstring& get() const { return path_; }

 private:
  void Remove() const {
    ::DeleteFileW(path_.c_str());
    ::DeleteFileW((path_ + L".tmp").c_str());
  }
  std::wstring path_;
};

void WriteText(const std::wstring& path, const std::string& text) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
  ASSERT_TRUE(ok);
}

// Every member of a package record and of a request survives the state file.
TEST(SimStateFile, RoundTripsPackagesAndRequests) {
  const Scenario s = ParseScenario(R"({"packages": [
      {"name": "Tävo.Studio", "publisher": "CN=\"Tävo \\ Inc.\", C=US", "version": "1.2.3.4"},
      {"name": "Odd", "publisher": "CN=Odd", "version": "9.8.7.6", "fullName": "Odd_full", "familyName": "Odd_family",
       "registered": false, "verifyIsOK": false, "status": {"NotAvailable": true, "IsPartiallyStaged": true},
       "healthyAfterRuns": 3,
       "appInstallerInfo": {"uri": "", "info2": false, "onLaunch": false, "automaticBackgroundTask": true},
       "failures": {"PackageId.Publisher": "0x80070005", "PackageStatus.DataOffline": "0x8000FFFF"}},
      {"name": "Bare", "publisher": "CN=Bare", "version": "1.0.0.0", "appInstallerInfo": {"uri": null}},
      {"name": "None", "publisher": "CN=None", "version": "1.0.0.0", "appInstallerInfo": null}]})");
  PlatformState state;
  state.packages = s.packages;
  state.deploymentRequests = {{L"https://localhost/TavoStudio.appinstaller", 0, false, false},
                              {L"x:\u00e9", 0x240, true, true}};

  const PlatformState back = ParseState(StateJson(state));
  EXPECT_EQ(back.packages, state.packages);
  EXPECT_EQ(back.deploymentRequests, state.deploymentRequests);
  EXPECT_THROW(ParseState(R"({"packages": [], "requests": []})"), ScenarioError);
  EXPECT_THROW(ParseState(R"({"deploymentRequests": [{"uri": "x:y", "option": 0}]})"), ScenarioError);
}

TEST(SimStateFile, UpdatesReplaceTheSameFullNameAndPersist) {
  const TemporaryPath path(L"update.state.json");
  EXPECT_TRUE(ReadState(path.get()).packages.empty());  // no file yet: nothing registered

  PackageRecord first = DefaultDeployedPackage();
  PackageRecord changed = first;
  changed.verifyIsOK = false;
  changed.fullName = first.fullName;
  PackageRecord other = ParseScenario(R"({"packages": [{"name": "O", "publisher": "P", "version": "1.0.0.0"}]})")
                            .packages.at(0);
  UpdateState(path.get(), [&](PlatformState& state) { RegisterPackage(state.packages, first); });
  UpdateState(path.get(), [&](PlatformState& state) { RegisterPackage(state.packages, other); });
  UpdateState(path.get(), [&](PlatformState& state) { RegisterPackage(state.packages, changed); });
  const PlatformState read = ReadState(path.get());
  ASSERT_EQ(read.packages.size(), 2u);
  EXPECT_EQ(read.packages[0], changed);
  EXPECT_EQ(read.packages[1], other);

  WriteText(path.get(), R"({"packages": [{"name": "N"}]})");
  EXPECT_THROW(ReadState(path.get()), ScenarioError);
}

// ---- Deployment operations -------------------------------------------------

// A minimal agile delegate, as the worker hands them to Windows.
template <typename Interface, const IID& Iid>
class Delegate : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != __uuidof(IUnknown) && iid != Iid && iid != __uuidof(IAgileObject)) return E_NOINTERFACE;
    *out = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  virtual ~Delegate() = default;

 private:
  std::atomic<ULONG> references_{1};
};

// What an operation delivered to the handlers below.
struct Deliveries {
  std::mutex lock;
  std::vector<abi::DeploymentProgress> progress;
  std::vector<DWORD> progressThreads;
  int completions = 0;
  abi::AsyncStatus status = abi::AsyncStatus::Started;
  DWORD completionThread = 0;
  tavo::UniqueKernelHandle progressed{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  tavo::UniqueKernelHandle completed{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  // When set, the first progress report waits for it (bounded), so that the
  // test can assign the completion handler while the operation still runs.
  HANDLE holdFirstProgress = nullptr;

  bool WaitCompleted() const { return ::WaitForSingleObject(completed.get(), 10000) == WAIT_OBJECT_0; }
};

class ProgressRecorder final : public Delegate<abi::IDeploymentProgressHandler, abi::IID_IDeploymentProgressHandler> {
 public:
  explicit ProgressRecorder(Deliveries& d) : d_(d) {}
  HRESULT STDMETHODCALLTYPE Invoke(abi::IDeploymentOperation*, abi::DeploymentProgress progress) override {
    bool first = false;
    {
      const std::lock_guard<std::mutex> hold(d_.lock);
      first = d_.progress.empty();
      d_.progress.push_back(progress);
      d_.progressThreads.push_back(::GetCurrentThreadId());
    }
    ::SetEvent(d_.progressed.get());
    if (first && d_.holdFirstProgress) ::WaitForSingleObject(d_.holdFirstProgress, 10000);
    return S_OK;
  }

 private:
  Deliveries& d_;
};

class CompletionRecorder final
    : public Delegate<abi::IDeploymentCompletedHandler, abi::IID_IDeploymentCompletedHandler> {
 public:
  explicit CompletionRecorder(Deliveries& d) : d_(d) {}
  HRESULT STDMETHODCALLTYPE Invoke(abi::IDeploymentOperation*, abi::AsyncStatus status) override {
    {
      const std::lock_guard<std::mutex> hold(d_.lock);
      ++d_.completions;
      d_.status = status;
      d_.completionThread = ::GetCurrentThreadId();
    }
    ::SetEvent(d_.completed.get());
    return S_OK;
  }

 private:
  Deliveries& d_;
};

tavo::ComPtr<abi::IDeploymentProgressHandler> OnProgress(Deliveries& d) {
  return tavo::ComPtr<abi::IDeploymentProgressHandler>::Attach(new ProgressRecorder(d));
}
tavo::ComPtr<abi::IDeploymentCompletedHandler> OnCompleted(Deliveries& d) {
  return tavo::ComPtr<abi::IDeploymentCompletedHandler>::Attach(new CompletionRecorder(d));
}

class SimDeployment : public testing::Test {
 protected:
  void SetUp() override {
    ResetProcessCountersForTests();
    ClearProcessStateForTests();
  }
  void TearDown() override { ClearProcessStateForTests(); }

  // Starts attempt 1 of a plan with this one attempt (JSON members), kept in
  // this process's state.
  static tavo::ComPtr<abi::IDeploymentOperation> StartAttempt(const std::string& members) {
    const Scenario s = ParseScenario(R"({"deployment": {"attempts": [{)" + members + "}]}}");
    tavo::ComPtr<abi::IDeploymentOperation> operation;
    EXPECT_EQ(DeploymentOperation::Start({s.deployment.ForAttempt(1), s.deployment.package, L"", 0}, operation.put()),
              S_OK);
    return operation;
  }
  static tavo::ComPtr<abi::IAsyncInfo> Info(const tavo::ComPtr<abi::IDeploymentOperation>& operation) {
    tavo::ComPtr<abi::IAsyncInfo> info;
    EXPECT_EQ(operation.As(abi::IID_IAsyncInfo, info), S_OK);
    return info;
  }
  static abi::AsyncStatus StatusOf(const tavo::ComPtr<abi::IAsyncInfo>& info) {
    abi::AsyncStatus status = abi::AsyncStatus::Started;
    EXPECT_EQ(info->get_Status(&status), S_OK);
    return status;
  }
  static HRESULT ErrorCodeOf(const tavo::ComPtr<abi::IAsyncInfo>& info) {
    HRESULT code = E_UNEXPECTED;
    EXPECT_EQ(info->get_ErrorCode(&code), S_OK);
    return code;
  }
  static std::size_t Registered() { return ReadState(L"").packages.size(); }
};

TEST_F(SimDeployment, CompletionHandlerAssignedAfterCompletionRunsAtOnceAndOnlyOnce) {
  auto operation = StartAttempt(
      R"("completeBeforeReturn": true, "errorText": "done", "activityId": "{01234567-89AB-CDEF-0123-456789ABCDEF}")");
  ASSERT_TRUE(operation);
  const auto info = Info(operation);
  EXPECT_EQ(StatusOf(info), abi::AsyncStatus::Completed);
  EXPECT_EQ(Registered(), 1u);

  Deliveries d;
  ASSERT_EQ(operation->put_Completed(OnCompleted(d).get()), S_OK);
  EXPECT_EQ(d.completions, 1);
  EXPECT_EQ(d.status, abi::AsyncStatus::Completed);
  EXPECT_EQ(d.completionThread, ::GetCurrentThreadId());

  Deliveries second;
  EXPECT_EQ(operation->put_Completed(OnCompleted(second).get()), kIllegalDelegateAssignment);
  EXPECT_EQ(second.completions, 0);
  EXPECT_EQ(d.completions, 1);

  tavo::ComPtr<abi::IDeploymentResult> result;
  ASSERT_EQ(operation->GetResults(result.put()), S_OK);
  GUID activity{};
  ASSERT_EQ(result->get_ActivityId(&activity), S_OK);
  EXPECT_EQ(activity, (GUID{0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}}));
  HRESULT extended = E_UNEXPECTED;
  ASSERT_EQ(result->get_ExtendedErrorCode(&extended), S_OK);
  EXPECT_EQ(extended, S_OK);
  tavo::HString text;
  ASSERT_EQ(result->get_ErrorText(text.put()), S_OK);
  EXPECT_EQ(text.str(), L"done");
  EXPECT_EQ(ErrorCodeOf(info), S_OK);

  ASSERT_EQ(info->Close(), S_OK);
  abi::AsyncStatus status{};
  EXPECT_EQ(info->get_Status(&status), kIllegalMethodCall);
  EXPECT_EQ(operation->GetResults(result.put()), kIllegalMethodCall);
}

TEST_F(SimDeployment, DeliversProgressAndCompletionOnItsOwnThread) {
  auto operation = StartAttempt(R"("progress": [0, {"percent": 5, "state": "queued"}, 10])");
  ASSERT_TRUE(operation);
  Deliveries d;
  const tavo::UniqueKernelHandle hold(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  d.holdFirstProgress = hold.get();
  ASSERT_EQ(operation->put_Progress(OnProgress(d).get()), S_OK);
  ASSERT_EQ(::WaitForSingleObject(d.progressed.get(), 10000), WAIT_OBJECT_0);
  EXPECT_EQ(StatusOf(Info(operation)), abi::AsyncStatus::Started);
  ASSERT_EQ(operation->put_Completed(OnCompleted(d).get()), S_OK);
  ::SetEvent(hold.get());
  ASSERT_TRUE(d.WaitCompleted());

  const std::lock_guard<std::mutex> lock(d.lock);
  ASSERT_EQ(d.progress.size(), 3u);
  EXPECT_EQ(d.progress[0].percentage, 0u);
  EXPECT_EQ(d.progress[0].state, abi::DeploymentProgressState::Processing);
  EXPECT_EQ(d.progress[1].percentage, 5u);
  EXPECT_EQ(d.progress[1].state, abi::DeploymentProgressState::Queued);
  EXPECT_EQ(d.progress[2].percentage, 10u);
  for (DWORD thread : d.progressThreads) EXPECT_NE(thread, ::GetCurrentThreadId());
  EXPECT_EQ(d.completions, 1);
  EXPECT_EQ(d.status, abi::AsyncStatus::Completed);
  EXPECT_NE(d.completionThread, ::GetCurrentThreadId());
  EXPECT_EQ(StatusOf(Info(operation)), abi::AsyncStatus::Completed);
}

TEST_F(SimDeployment, CancelEndsARunningOperationWithoutResults) {
  auto operation = StartAttempt(R"("progress": [3], "untilCancelled": true)");
  ASSERT_TRUE(operation);
  const auto info = Info(operation);
  Deliveries d;
  ASSERT_EQ(operation->put_Progress(OnProgress(d).get()), S_OK);
  ASSERT_EQ(operation->put_Completed(OnCompleted(d).get()), S_OK);
  ASSERT_EQ(::WaitForSingleObject(d.progressed.get(), 10000), WAIT_OBJECT_0);

  tavo::ComPtr<abi::IDeploymentResult> result;
  EXPECT_EQ(StatusOf(info), abi::AsyncStatus::Started);
  EXPECT_EQ(operation->GetResults(result.put()), kIllegalMethodCall);
  EXPECT_EQ(info->Close(), kIllegalStateChange);

  ASSERT_EQ(info->Cancel(), S_OK);
  EXPECT_EQ(StatusOf(info), abi::AsyncStatus::Canceled);
  ASSERT_TRUE(d.WaitCompleted());
  EXPECT_EQ(d.completions, 1);
  EXPECT_EQ(d.status, abi::AsyncStatus::Canceled);
  EXPECT_EQ(operation->GetResults(result.put()), kIllegalMethodCall);
  EXPECT_FALSE(result);
  EXPECT_EQ(ErrorCodeOf(info), S_OK);  // the caller turns Canceled into its own code
  EXPECT_EQ(info->Cancel(), S_OK);
  EXPECT_EQ(StatusOf(info), abi::AsyncStatus::Canceled);
  EXPECT_EQ(Registered(), 0u);  // a cancelled deployment registers nothing
  EXPECT_EQ(info->Close(), S_OK);
}

TEST_F(SimDeployment, FailuresGiveTheirCodeAndRegisterNothing) {
  {
    auto operation = StartAttempt(R"("completeBeforeReturn": true, "errorCode": "0x80D05011")");
    ASSERT_TRUE(operation);
    const auto info = Info(operation);
    EXPECT_EQ(StatusOf(info), abi::AsyncStatus::Error);
    EXPECT_EQ(ErrorCodeOf(info), static_cast<HRESULT>(0x80D05011));
    tavo::ComPtr<abi::IDeploymentResult> result;
    EXPECT_EQ(operation->GetResults(result.put()), static_cast<HRESULT>(0x80D05011));
    EXPECT_FALSE(result);
  }
  {
    auto operation = StartAttempt(R"("completeBeforeReturn": true, "errorCode": "0x80D05011", "resultsOnError": true)");
    ASSERT_TRUE(operation);
    tavo::ComPtr<abi::IDeploymentResult> result;
    ASSERT_EQ(operation->GetResults(result.put()), S_OK);
    HRESULT extended = S_OK;
    ASSERT_EQ(result->get_ExtendedErrorCode(&extended), S_OK);
    EXPECT_EQ(extended, static_cast<HRESULT>(0x80D05011));
  }
  {
    // A failed operation's result may name a cause of its own.
    auto operation = StartAttempt(
        R"("completeBeforeReturn": true, "errorCode": "0x80D05011", "extendedErrorCode": "0x80073CF3", )"
        R"("resultsOnError": true)");
    ASSERT_TRUE(operation);
    EXPECT_EQ(ErrorCodeOf(Info(operation)), static_cast<HRESULT>(0x80D05011));
    tavo::ComPtr<abi::IDeploymentResult> result;
    ASSERT_EQ(operation->GetResults(result.put()), S_OK);
    HRESULT extended = S_OK;
    ASSERT_EQ(result->get_ExtendedErrorCode(&extended), S_OK);
    EXPECT_EQ(extended, static_cast<HRESULT>(0x80073CF3));
  }
  {
    auto operation = StartAttempt(R"("completeBeforeReturn": true, "extendedErrorCode": "0x80073CF3")");
    ASSERT_TRUE(operation);
    EXPECT_EQ(StatusOf(Info(operation)), abi::AsyncStatus::Completed);
    tavo::ComPtr<abi::IDeploymentResult> result;
    ASSERT_EQ(operation->GetResults(result.put()), S_OK);
    HRESULT extended = S_OK;
    ASSERT_EQ(result->get_ExtendedErrorCode(&extended), S_OK);
    EXPECT_EQ(extended, static_cast<HRESULT>(0x80073CF3));
  }
  EXPECT_EQ(Registered(), 0u);
}

// ---- Package manager: deployments, registrations, package objects -------------

tavo::ComPtr<abi::IPackage> OnlyPackage(abi::IPackageManager* manager, std::wstring_view name,
                                        std::wstring_view publisher) {
  tavo::ComPtr<abi::IIterable_Package> found;
  EXPECT_EQ(manager->FindPackagesByUserSecurityIdNamePublisher(nullptr, tavo::HString(name).get(),
                                                               tavo::HString(publisher).get(), found.put()),
            S_OK);
  tavo::ComPtr<abi::IIterator_Package> it;
  EXPECT_EQ(found->First(it.put()), S_OK);
  abi::IPackage* items[2] = {};
  UINT32 count = 0;
  EXPECT_EQ(it->GetMany(2, items, &count), S_OK);
  EXPECT_LE(count, 1u);
  return tavo::ComPtr<abi::IPackage>::Attach(count ? items[0] : nullptr);
}

tavo::ComPtr<abi::IPackageStatus> StatusOfPackage(const tavo::ComPtr<abi::IPackage>& package) {
  tavo::ComPtr<abi::IPackage3> package3;
  EXPECT_EQ(package.As(abi::IID_IPackage3, package3), S_OK);
  tavo::ComPtr<abi::IPackageStatus> status;
  EXPECT_EQ(package3->get_Status(status.put()), S_OK);
  return status;
}

bool VerifyIsOK(const tavo::ComPtr<abi::IPackage>& package) {
  boolean ok = FALSE;
  EXPECT_EQ(StatusOfPackage(package)->VerifyIsOK(&ok), S_OK);
  return ok != FALSE;
}

TEST_F(SimDeployment, AttemptsFollowThePlanAndRegisterForTheNextManager) {
  const TemporaryPath state(L"plan.state.json");
  Scenario s = ParseScenario(R"({"deployment": {
      "attempts": [{"completeBeforeReturn": true, "errorCode": "0x80D05011"}, {"completeBeforeReturn": true}],
      "package": {"healthyAfterRuns": 1}}})");
  s.statePath = state.get();
  const auto scenario = std::make_shared<const Scenario>(s);
  const std::wstring name = tavo::build::kPackageName;
  const std::wstring publisher = tavo::build::kPackagePublisher;

  auto manager = tavo::ComPtr<abi::IPackageManager>::Attach(new PackageManager(scenario, L"S-1-5-21-0-0-0-1000"));
  tavo::ComPtr<abi::IPackageManager6> manager6;
  ASSERT_EQ(manager.As(abi::IID_IPackageManager6, manager6), S_OK);
  const auto factory = tavo::ComPtr<abi::IUriRuntimeClassFactory>::Attach(new UriFactory(scenario));
  tavo::ComPtr<abi::IUriRuntimeClass> uri;
  EXPECT_EQ(factory->CreateUri(tavo::HString(L"not a uri").get(), uri.put()), E_INVALIDARG);
  ASSERT_EQ(factory->CreateUri(tavo::HString(tavo::build::kDescriptorUri).get(), uri.put()), S_OK);

  auto deploy = [&] {
    tavo::ComPtr<abi::IDeploymentOperation> operation;
    EXPECT_EQ(manager6->AddPackageByAppInstallerFileAsync(uri.get(), abi::AddPackageByAppInstallerOptions::None,
                                                          nullptr, operation.put()),
              S_OK);
    return StatusOf(Info(operation));
  };
  EXPECT_EQ(deploy(), abi::AsyncStatus::Error);
  EXPECT_FALSE(OnlyPackage(manager.get(), name, publisher));
  EXPECT_EQ(deploy(), abi::AsyncStatus::Completed);
  EXPECT_EQ(deploy(), abi::AsyncStatus::Completed);  // past the plan: the last entry again

  const PlatformState written = ReadState(state.get());
  ASSERT_EQ(written.packages.size(), 1u);
  EXPECT_EQ(written.packages[0].name, name);
  ASSERT_EQ(written.deploymentRequests.size(), 3u);
  EXPECT_EQ(written.deploymentRequests[0], (DeploymentRequest{tavo::build::kDescriptorUri, 0, false, false}));

  // A manager of a later run sees the registration; the first enumeration finds
  // the package still deploying, the next one healthy.
  auto later = tavo::ComPtr<abi::IPackageManager>::Attach(new PackageManager(scenario, L"S-1-5-21-0-0-0-1000"));
  const auto deploying = OnlyPackage(later.get(), name, publisher);
  ASSERT_TRUE(deploying);
  EXPECT_FALSE(VerifyIsOK(deploying));
  boolean in_progress = FALSE;
  EXPECT_EQ(StatusOfPackage(deploying)->get_DeploymentInProgress(&in_progress), S_OK);
  EXPECT_TRUE(in_progress);
  const auto healthy = OnlyPackage(later.get(), name, publisher);
  ASSERT_TRUE(healthy);
  EXPECT_TRUE(VerifyIsOK(healthy));
  tavo::ComPtr<abi::IPackage> registration;
  ASSERT_EQ(later->FindPackageByUserSecurityIdPackageFullName(
                nullptr, tavo::HString(written.packages[0].fullName).get(), registration.put()),
            S_OK);
  EXPECT_TRUE(registration);
}

// Each status getter answers its own flag: a flag set alone shows in exactly
// one getter, in vtable order; a failure given for a getter fails that getter.
TEST_F(SimDeployment, PackageStatusGettersAnswerTheirOwnFlag) {
  using Getter = HRESULT (STDMETHODCALLTYPE abi::IPackageStatus::*)(boolean*);
  const Getter getters[] = {
      &abi::IPackageStatus::get_NotAvailable,     &abi::IPackageStatus::get_PackageOffline,
      &abi::IPackageStatus::get_DataOffline,      &abi::IPackageStatus::get_Disabled,
      &abi::IPackageStatus::get_NeedsRemediation, &abi::IPackageStatus::get_LicenseIssue,
      &abi::IPackageStatus::get_Modified,         &abi::IPackageStatus::get_Tampered,
      &abi::IPackageStatus::get_DependencyIssue,  &abi::IPackageStatus::get_Servicing,
      &abi::IPackageStatus::get_DeploymentInProgress,
  };
  auto read = [&](const tavo::ComPtr<abi::IPackageStatus>& status, std::size_t index, boolean* value) {
    if (index < 11) return (status.get()->*getters[index])(value);
    tavo::ComPtr<abi::IPackageStatus2> status2;
    EXPECT_EQ(status.As(abi::IID_IPackageStatus2, status2), S_OK);
    return status2->get_IsPartiallyStaged(value);
  };
  for (std::size_t set = 0; set < kStatusFlagNames.size(); ++set) {
    const std::string flag(kStatusFlagNames[set]);
    const Scenario s = ParseScenario(R"({"packages": [{"name": "N", "publisher": "P", "version": "1.0.0.0",
        "status": {")" + flag + R"(": true}, "failures": {"PackageStatus.)" +
                                     std::string(kStatusFlagNames[(set + 1) % 12]) + R"(": "0x80070005"}}]})");
    const auto manager = tavo::ComPtr<abi::IPackageManager>::Attach(
        new PackageManager(std::make_shared<const Scenario>(s), L"S-1-5-21-0-0-0-1000"));
    const auto status = StatusOfPackage(OnlyPackage(manager.get(), L"N", L"P"));
    for (std::size_t index = 0; index < kStatusFlagNames.size(); ++index) {
      boolean value = FALSE;
      const HRESULT hr = read(status, index, &value);
      if (index == (set + 1) % 12) {
        EXPECT_EQ(hr, static_cast<HRESULT>(0x80070005)) << flag << " " << index;
      } else {
        EXPECT_EQ(hr, S_OK) << flag << " " << index;
        EXPECT_EQ(value != FALSE, index == set) << flag << " " << index;
      }
    }
  }
}

TEST_F(SimDeployment, AppInstallerInfoFollowsTheRecord) {
  const Scenario s = ParseScenario(R"({"packages": [
      {"name": "Default", "publisher": "P", "version": "1.0.0.0"},
      {"name": "NoAssociation", "publisher": "P", "version": "1.0.0.0", "appInstallerInfo": null},
      {"name": "Windows10", "publisher": "P", "version": "1.0.0.0",
       "appInstallerInfo": {"uri": null, "info2": false}},
      {"name": "Unreadable", "publisher": "P", "version": "1.0.0.0",
       "appInstallerInfo": {"onLaunch": false}, "failures": {"Uri.AbsoluteUri": "0x80070005"}}]})");
  const auto manager = tavo::ComPtr<abi::IPackageManager>::Attach(
      new PackageManager(std::make_shared<const Scenario>(s), L"S-1-5-21-0-0-0-1000"));
  auto info_of = [&](const wchar_t* name) {
    tavo::ComPtr<abi::IPackage6> package6;
    EXPECT_EQ(OnlyPackage(manager.get(), name, L"P").As(abi::IID_IPackage6, package6), S_OK);
    tavo::ComPtr<abi::IAppInstallerInfo> info;
    EXPECT_EQ(package6->GetAppInstallerInfo(info.put()), S_OK);
    return info;
  };
  auto setting = [](const tavo::ComPtr<abi::IAppInstallerInfo2>& info2, bool on_launch) {
    boolean value = FALSE;
    EXPECT_EQ(on_launch ? info2->get_OnLaunch(&value) : info2->get_AutomaticBackgroundTask(&value), S_OK);
    return value != FALSE;
  };

  const auto healthy = info_of(L"Default");
  ASSERT_TRUE(healthy);
  tavo::ComPtr<abi::IUriRuntimeClass> uri;
  ASSERT_EQ(healthy->get_Uri(uri.put()), S_OK);
  tavo::HString text;
  ASSERT_EQ(uri->get_AbsoluteUri(text.put()), S_OK);
  EXPECT_EQ(text.str(), tavo::build::kDescriptorUri);
  tavo::ComPtr<abi::IAppInstallerInfo2> info2;
  ASSERT_EQ(healthy.As(abi::IID_IAppInstallerInfo2, info2), S_OK);
  EXPECT_TRUE(setting(info2, true));
  EXPECT_TRUE(setting(info2, false));

  EXPECT_FALSE(info_of(L"NoAssociation"));

  const auto windows10 = info_of(L"Windows10");
  ASSERT_TRUE(windows10);
  ASSERT_EQ(windows10->get_Uri(uri.put()), S_OK);
  EXPECT_FALSE(uri);
  EXPECT_EQ(windows10.As(abi::IID_IAppInstallerInfo2, info2), E_NOINTERFACE);

  const auto unreadable = info_of(L"Unreadable");
  ASSERT_TRUE(unreadable);
  ASSERT_EQ(unreadable->get_Uri(uri.put()), S_OK);
  EXPECT_EQ(uri->get_AbsoluteUri(text.put()), static_cast<HRESULT>(0x80070005));
  ASSERT_EQ(unreadable.As(abi::IID_IAppInstallerInfo2, info2), S_OK);
  EXPECT_FALSE(setting(info2, true));
  EXPECT_TRUE(setting(info2, false));
}

}  // namespace
