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

}  // namespace
}  // namespace tavo
