#include "worker/verification/verification_record.h"

#include <gtest/gtest.h>

#include "build_info.h"
#include "common/text.h"

namespace tavo::worker {
namespace {

TEST(VerificationJson, UnusedRecordIsFalseEmptyAndNull) {
  std::string expected =
      R"({"attempted":false,"verified":false,"attempts":0,"mode":"","packageFullName":"","packageName":"",)"
      R"("publisher":"","expectedPackageName":"TavoStudioInc.TavoStudio","expectedPublisher":)" +
      JsonString(build::kPackagePublisher) + R"(,"appInstallerUri":"","expectedAppInstallerUri":)" +
      JsonString(build::kDescriptorUri) +
      R"(,"desktopAppInstallerVersion":"","packagePresent":null,"packageHealthy":null,)"
      R"("packageHealthInconsistent":false,"associationPresent":null,"uriPresent":null,)"
      R"("policyInterfaceSupported":null,"onLaunch":null,"automaticBackgroundTask":null,"packageStatus":{}})";
  EXPECT_EQ(VerificationJson({}), expected);
}

TEST(VerificationJson, PrintsTriStatesAndFlagsInListOrder) {
  VerificationRecord r;
  r.attempted = true;
  r.attempts = 2;
  r.packagePresent = true;
  r.packageHealthy = false;
  r.onLaunch = false;
  r.packageStatus = {{L"NotAvailable", false}, {L"Tampered", true}};
  std::string json = VerificationJson(r);
  EXPECT_NE(json.find(R"("attempted":true,"verified":false,"attempts":2,)"), std::string::npos);
  EXPECT_NE(json.find(R"("packagePresent":true,"packageHealthy":false,)"), std::string::npos);
  EXPECT_NE(json.find(R"("onLaunch":false,"automaticBackgroundTask":null,)"), std::string::npos);
  EXPECT_EQ(json.substr(json.size() - 55), R"("packageStatus":{"NotAvailable":false,"Tampered":true}})");
}

}  // namespace
}  // namespace tavo::worker
