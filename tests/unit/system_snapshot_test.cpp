#include "common/diagnostics/system_snapshot.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "common/service_config.h"

namespace tavo {
namespace {

struct FakeService {
  uint32_t openError = 0;
  uint32_t configBytes = 300;
  uint32_t startType = 3;
  uint32_t state = 1;
  uint32_t statusError = 0;
};

class FakeServices final : public ServiceControl {
 public:
  uint32_t managerError = 0;
  std::map<std::wstring, FakeService> services;  // absent: present, manual, stopped
  std::set<std::wstring> configurationOnly;      // access lists that deny the status

  uint32_t OpenManager() override { return managerError; }
  uint32_t OpenQueryService(const std::wstring& name, ServiceAccess access) override {
    current_ = services[name];
    if (current_.openError != 0) return current_.openError;
    const bool denied = access == ServiceAccess::ConfigurationAndStatus && configurationOnly.count(name) != 0;
    return denied ? ERROR_ACCESS_DENIED : 0;
  }
  uint32_t ConfigSize(uint32_t& bytes) override {
    bytes = current_.configBytes;
    return 0;
  }
  uint32_t ReadStartType(uint32_t, uint32_t& startType) override {
    startType = current_.startType;
    return 0;
  }
  uint32_t ReadState(uint32_t& state) override {
    state = current_.state;
    return current_.statusError;
  }

 private:
  FakeService current_;
};

TEST(ServiceStartType, ADisabledServiceIsReadWhereOnlyItsConfigurationMayBeQueried) {
  // A hardened access list: the start type may be read, the status may not.
  FakeServices scm;
  scm.services[L"AppXSvc"] = {0, 300, SERVICE_DISABLED, 1, 0};
  scm.configurationOnly.insert(L"AppXSvc");
  const ServiceStartTypeRead read = ReadServiceStartType(scm, L"AppXSvc");
  EXPECT_TRUE(read.opened);
  EXPECT_EQ(read.error, 0u);
  EXPECT_EQ(read.startType, static_cast<uint32_t>(SERVICE_DISABLED));
}

TEST(ServiceSnapshot, SevenEntriesInOrderWithTheirTexts) {
  FakeServices scm;
  scm.managerError = ERROR_ACCESS_DENIED;
  DeploymentDiagnostics denied;
  CollectServiceSnapshot(denied, scm);
  ASSERT_EQ(denied.serviceSnapshot.size(), 7u);
  EXPECT_EQ(denied.serviceSnapshot[6].name, L"LicenseManager");
  EXPECT_EQ(denied.serviceSnapshot[6].availability, L"accessDenied");
  EXPECT_EQ(denied.serviceSnapshot[6].queryError, ERROR_ACCESS_DENIED);

  scm.managerError = 0;
  scm.services[L"DoSvc"].openError = ERROR_SERVICE_DOES_NOT_EXIST;
  scm.services[L"BITS"] = {0, 65537, 2, 4, 0};
  scm.services[L"ClipSVC"] = {0, 300, 9, 8, ERROR_INVALID_HANDLE};
  scm.services[L"InstallService"].openError = ERROR_INVALID_NAME;
  DeploymentDiagnostics record;
  CollectServiceSnapshot(record, scm);
  ASSERT_EQ(record.serviceSnapshot.size(), 7u);
  struct Expected {
    const wchar_t *name, *availability, *startMode, *state;
    int32_t error;
  } expected[] = {
      {L"AppXSvc", L"present", L"manual", L"stopped", 0},
      {L"DoSvc", L"missing", L"", L"", ERROR_SERVICE_DOES_NOT_EXIST},
      {L"BITS", L"present", L"", L"running", ERROR_MORE_DATA},  // configuration above 65536 bytes
      {L"ClipSVC", L"present", L"unknown (9)", L"", ERROR_INVALID_HANDLE},
      {L"InstallService", L"unavailable", L"", L"", ERROR_INVALID_NAME},
  };
  for (size_t i = 0; i < std::size(expected); ++i) {
    const ServiceEntry& s = record.serviceSnapshot[i];
    EXPECT_EQ(std::make_tuple(s.name, s.availability, s.startMode, s.state, s.queryError),
              std::make_tuple(std::wstring(expected[i].name), std::wstring(expected[i].availability),
                              std::wstring(expected[i].startMode), std::wstring(expected[i].state),
                              expected[i].error));
  }
  EXPECT_EQ(ServiceStateText(7), L"paused");
  EXPECT_EQ(ServiceStateText(0), L"unknown (0)");
  EXPECT_EQ(ServiceStartMode(0), L"boot");
}

// Registry values by "key\\name": a value, or the error its read answers.
class FakePolicies final : public PolicyStore {
 public:
  std::map<std::wstring, std::pair<uint32_t, uint32_t>> values;  // error, value; absent: not found
  std::optional<bool> elevated;
  uint32_t ReadDword(const std::wstring& key, const std::wstring& name, uint32_t& value) override {
    const auto it = values.find(key + L"\\" + name);
    if (it == values.end()) return ERROR_FILE_NOT_FOUND;
    value = it->second.second;
    return it->second.first;
  }
  std::optional<bool> ProcessElevated() override { return elevated; }
};

TEST(PolicySnapshot, SetValuesAreListedAndTheFirstUnexpectedErrorIsKept) {
  const std::wstring appx = L"SOFTWARE\\Policies\\Microsoft\\Windows\\Appx\\";
  const std::wstring mdm = L"SOFTWARE\\Microsoft\\PolicyManager\\current\\device\\ApplicationManagement\\";
  const std::wstring delivery = L"SOFTWARE\\Policies\\Microsoft\\Windows\\DeliveryOptimization\\";
  FakePolicies policies;
  policies.values = {
      {delivery + L"DODownloadMode", {0, 99}},
      {delivery + L"DownloadMode", {ERROR_UNSUPPORTED_TYPE, 0}},  // a value of another type: not a policy
      {appx + L"BlockNonAdminUserInstall", {0, 1}},
      {appx + L"AllowAllTrustedApps", {ERROR_PATH_NOT_FOUND, 0}},  // expected: not set
      {mdm + L"BlockNonAdminUserInstall", {ERROR_UNSUPPORTED_TYPE, 0}},
      {mdm + L"AllowAllTrustedApps", {ERROR_ACCESS_DENIED, 0}},  // a later unexpected error
  };
  policies.elevated = false;
  DeploymentDiagnostics record;
  CollectDeliveryOptimizationPolicies(record, policies);
  CollectAppxPolicies(record, policies);
  using Values = std::vector<std::pair<std::wstring, uint32_t>>;
  EXPECT_EQ(record.deliveryOptimizationPolicies, (Values{{L"DODownloadMode", 99}}));
  EXPECT_EQ(record.appxPolicies, (Values{{L"GroupPolicy.BlockNonAdminUserInstall", 1}}));
  EXPECT_EQ(record.appxPolicyQueryError, static_cast<int32_t>(ERROR_UNSUPPORTED_TYPE));
  EXPECT_EQ(record.processElevated, std::optional<bool>(false));

  FakePolicies none;  // nothing set, elevation unknown
  DeploymentDiagnostics empty;
  CollectDeliveryOptimizationPolicies(empty, none);
  CollectAppxPolicies(empty, none);
  EXPECT_TRUE(empty.deliveryOptimizationPolicies.empty() && empty.appxPolicies.empty());
  EXPECT_EQ(empty.appxPolicyQueryError, 0);
  EXPECT_FALSE(empty.processElevated.has_value());
}

}  // namespace
}  // namespace tavo
