// The simulated platform's own logic, in process: scenario parsing (a bad file
// must fail loudly, never act as the default), the package store's filter, and
// the package iterator's protocol. End-to-end behaviour is proven by the
// worker's integration tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/winrt/com_ptr.h"
#include "tests/simplatform/package_collection.h"
#include "tests/simplatform/package_store.h"
#include "tests/simplatform/scenario.h"

namespace {

using namespace tavo::sim;
namespace abi = tavo::abi;

constexpr char kMicrosoft[] = "CN=Microsoft Corporation, O=Microsoft Corporation, L=Redmond, S=Washington, C=US";

TEST(SimScenario, ParsesEveryMemberAndDerivesPackageNames) {
  const Scenario s = ParseScenario(std::string(R"({
    "missingMethods": ["Windows.ApplicationModel.Package.GetAppInstallerInfo"],
    "failures": {"PackageManager.FindPackagesForUser": "0x80070005", "ApiInformation.IsMethodPresent": "0x8000FFFF"},
    "packages": [
      {"name": "Microsoft.DesktopAppInstaller", "publisher": ")") + kMicrosoft + R"(", "version": "1.21.3133.0"},
      {"user": "S-1-5-21-1-2-3-1001", "name": "Other", "publisher": "CN=X", "version": "65535.0.0.1",
       "fullName": "Other_65535.0.0.1_x64__given", "familyName": "Other_given"}
    ]})");
  EXPECT_FALSE(s.IsMethodPresent(L"Windows.ApplicationModel.Package", L"GetAppInstallerInfo"));
  EXPECT_TRUE(s.IsMethodPresent(L"Windows.Management.Deployment.PackageManager", L"AddPackageByAppInstallerFileAsync"));
  EXPECT_EQ(s.Failure("PackageManager.FindPackagesForUser"), static_cast<HRESULT>(0x80070005));
  EXPECT_EQ(s.Failure("ApiInformation.IsMethodPresent"), static_cast<HRESULT>(0x8000FFFF));
  EXPECT_FALSE(s.Failure("PackageManager.Activate").has_value());

  ASSERT_EQ(s.packages.size(), 2u);
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
}

TEST(SimScenario, EmptyObjectIsTheDefault) {
  const Scenario s = ParseScenario("{}");
  EXPECT_TRUE(s.IsMethodPresent(L"Windows.Management.Deployment.PackageManager", L"AddPackageByAppInstallerFileAsync"));
  EXPECT_TRUE(s.failures.empty());
  EXPECT_TRUE(s.packages.empty());
}

TEST(SimScenario, RejectsMalformedScenarios) {
  const std::string package_head = R"({"packages": [{"name": "N", "publisher": "P", "version": ")";
  const std::vector<std::string> malformed = {
      "",
      "{",
      "[]",
      R"({"package": []})",                                     // misspelt member
      R"({"missingMethods": "A.B"})",
      R"({"missingMethods": ["NoDot"]})",
      R"({"failures": {"PackageManager.FindPackagesForUsr": "0x80070005"}})",
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
    EXPECT_EQ(LoadScenario().packages.size(), 1u);
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

}  // namespace
