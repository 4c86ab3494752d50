#include "common/diagnostics/system_snapshot.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>

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

  uint32_t OpenManager() override { return managerError; }
  uint32_t OpenQueryService(const std::wstring& name) override {
    current_ = services[name];
    return current_.openError;
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

class FakePolicies final : public PolicyStore {
 public:
  std::map<std::wstring, std::pair<uint32_t, uint32_t>> values;  // "key\name" -> (error, value); absent: 2
  std::optional<bool> elevated;

  uint32_t ReadDword(const std::wstring& key, const std::wstring& name, uint32_t& value) override {
    auto it = values.find(key + L"\\" + name);
    if (it == values.end()) return ERROR_FILE_NOT_FOUND;
    value = it->second.second;
    return it->second.first;
  }
  std::optional<bool> ProcessElevated() override { return elevated; }
};

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

TEST(Policies, DwordValuesAndTheFirstUnexpectedError) {
  const std::wstring gp = L"SOFTWARE\\Policies\\Microsoft\\Windows\\Appx\\";
  const std::wstring mdm = L"SOFTWARE\\Microsoft\\PolicyManager\\current\\device\\ApplicationManagement\\";
  FakePolicies store;
  DeploymentDiagnostics absent;
  CollectDeliveryOptimizationPolicies(absent, store);
  CollectAppxPolicies(absent, store);
  EXPECT_TRUE(absent.deliveryOptimizationPolicies.empty() && absent.appxPolicies.empty());
  EXPECT_EQ(absent.appxPolicyQueryError, 0);
  EXPECT_FALSE(absent.processElevated.has_value());

  store.values[L"SOFTWARE\\Policies\\Microsoft\\Windows\\DeliveryOptimization\\DownloadMode"] = {0, 3};
  store.values[L"SOFTWARE\\Policies\\Microsoft\\Windows\\DeliveryOptimization\\DODownloadMode"] = {1630, 0};
  store.values[gp + L"BlockNonAdminUserInstall"] = {ERROR_PATH_NOT_FOUND, 0};
  store.values[gp + L"AllowAllTrustedApps"] = {ERROR_MORE_DATA, 0};
  store.values[mdm + L"BlockNonAdminUserInstall"] = {1630, 0};
  store.values[mdm + L"AllowAllTrustedApps"] = {0, 0xFFFF};
  store.elevated = false;
  DeploymentDiagnostics record;
  CollectDeliveryOptimizationPolicies(record, store);
  CollectAppxPolicies(record, store);
  EXPECT_EQ(record.deliveryOptimizationPolicies,
            (std::vector<std::pair<std::wstring, uint32_t>>{{L"DownloadMode", 3}}));
  EXPECT_EQ(record.appxPolicies,
            (std::vector<std::pair<std::wstring, uint32_t>>{{L"MDM.AllowAllTrustedApps", 0xFFFF}}));
  EXPECT_EQ(record.appxPolicyQueryError, ERROR_MORE_DATA) << "the first error other than 2 and 3";
  EXPECT_EQ(record.processElevated, std::optional<bool>(false));
}

}  // namespace
}  // namespace tavo
