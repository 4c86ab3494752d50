#include "common/diagnostics/deployment_diagnostics.h"

#include <gtest/gtest.h>

namespace tavo {
namespace {

TEST(DeploymentDiagnosticsJson, InitialRecordHasEveryMemberInOrder) {
  EXPECT_EQ(DeploymentDiagnosticsJson({}),
            R"({"apiReportedSuccess":false,"progressPercent":null,"progressState":"","activityId":"",)"
            R"("appxLogStatus":"activityIdUnavailable","appxLogQueryError":"0x00000000","appxLogQueryAttempts":0,)"
            R"("appxLogWaitMs":0,"appxLogQueryMs":0,"appxEventsScanned":0,)"
            R"("packagingLogStatus":"activityIdUnavailable","packagingLogQueryError":"0x00000000",)"
            R"("packagingEventsScanned":0,"appxEvents":[],"serviceSnapshot":[],"deliveryOptimizationPolicies":[],)"
            R"("appxPolicies":[],"appxPolicyQueryError":"0x00000000","processElevated":null})");
}

TEST(DeploymentDiagnosticsJson, LogStatusFollowsActivityErrorAndCount) {
  DeploymentDiagnostics r;
  r.activityId = L"{1}";
  r.progressPercent = 0;
  r.appxLogQueryError = 50;
  r.packagingEventsScanned = 2;
  std::string json = DeploymentDiagnosticsJson(r);
  EXPECT_NE(json.find(R"("progressPercent":0,)"), std::string::npos);
  EXPECT_NE(json.find(R"("appxLogStatus":"queryFailed","appxLogQueryError":"0x00000032")"), std::string::npos);
  EXPECT_NE(json.find(R"("packagingLogStatus":"queried")"), std::string::npos);
  r.appxLogQueryError = 0;
  EXPECT_NE(DeploymentDiagnosticsJson(r).find(R"("appxLogStatus":"noMatchingEvents")"), std::string::npos);
}

TEST(DeploymentDiagnosticsJson, WritesEntriesWithTheirNamesAndMeanings) {
  DeploymentDiagnostics r;
  r.appxEvents.push_back({404, L"error", L"Microsoft-Windows-AppXDeploymentServer", L"ch", L"Line\tbreak", 15027});
  r.serviceSnapshot.push_back({L"DoSvc", L"missing", L"", L"", 1060});
  r.deliveryOptimizationPolicies.push_back({L"DODownloadMode", 99});
  r.appxPolicies.push_back({L"MDM.AllowAllTrustedApps", 0xFFFF});
  r.processElevated = true;
  std::string json = DeploymentDiagnosticsJson(r);
  EXPECT_NE(json.find(R"("appxEvents":[{"eventId":404,"level":"error","provider":"Microsoft-Windows-AppXDeploymentServer","channel":"ch","message":"Line\u0009break","formatError":"0x00003AB3"}])"),
            std::string::npos);
  EXPECT_NE(json.find(R"("serviceSnapshot":[{"name":"DoSvc","availability":"missing","startMode":"","state":"","queryError":"0x00000424"}])"),
            std::string::npos);
  EXPECT_NE(json.find(R"j({"name":"DODownloadMode","value":99,"mode":"HTTP only (99)"})j"), std::string::npos);
  EXPECT_NE(json.find(R"({"name":"MDM.AllowAllTrustedApps","value":65535,"meaning":"not configured"})"),
            std::string::npos);
  EXPECT_NE(json.find(R"("processElevated":true})"), std::string::npos);
}

TEST(PolicyTexts, NameModesAndMeanings) {
  EXPECT_EQ(DeliveryOptimizationModeName(0), L"CDN only (0)");
  EXPECT_EQ(DeliveryOptimizationModeName(100), L"Bypass (100)");
  EXPECT_EQ(DeliveryOptimizationModeName(7), L"Unknown (7)");
  EXPECT_EQ(AppxPolicyMeaning(L"GroupPolicy.BlockNonAdminUserInstall", 1), L"non-admin installs restricted");
  EXPECT_EQ(AppxPolicyMeaning(L"GroupPolicy.BlockNonAdminUserInstall", 0), L"non-admin installs unrestricted");
  EXPECT_EQ(AppxPolicyMeaning(L"MDM.BlockNonAdminUserInstall", 0xFFFF), L"unknown");
  EXPECT_EQ(AppxPolicyMeaning(L"MDM.AllowAllTrustedApps", 0), L"trusted apps restricted by this policy");
  EXPECT_EQ(AppxPolicyMeaning(L"MDM.AllowAllTrustedApps", 2), L"unknown");
}

}  // namespace
}  // namespace tavo
