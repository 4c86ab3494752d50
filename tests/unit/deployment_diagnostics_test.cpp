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

TEST(DeploymentDiagnosticsJson, CollectedRecordByteForByte) {
  DeploymentDiagnostics r;
  r.apiReportedSuccess = true;
  r.progressPercent = 37;
  r.progressState = L"processing";
  r.activityId = L"{0D1E2F3A-4B5C-6D7E-8F90-A1B2C3D4E5F6}";
  r.appxLogQueryAttempts = 3;
  r.appxLogWaitMs = 3001;
  r.appxLogQueryMs = 12;
  r.appxEventsScanned = 2;
  r.packagingLogQueryError = 1460;
  r.packagingEventsScanned = 1;
  r.appxEvents.push_back({401, L"error", L"P", L"C", L"Say \"no\"", 0});
  r.appxEvents.push_back({215, L"warning", L"Q", L"D", L"", -2147024894});
  r.serviceSnapshot.push_back({L"AppXSvc", L"present", L"manual", L"stopped", 0});
  r.serviceSnapshot.push_back({L"BITS", L"present", L"", L"running", 234});
  r.deliveryOptimizationPolicies.push_back({L"DownloadMode", 3});
  r.appxPolicies.push_back({L"GroupPolicy.BlockNonAdminUserInstall", 1});
  r.appxPolicyQueryError = 1630;
  r.processElevated = false;
  EXPECT_EQ(DeploymentDiagnosticsJson(r),
            R"j({"apiReportedSuccess":true,"progressPercent":37,"progressState":"processing",)j"
            R"j("activityId":"{0D1E2F3A-4B5C-6D7E-8F90-A1B2C3D4E5F6}","appxLogStatus":"queried",)j"
            R"j("appxLogQueryError":"0x00000000","appxLogQueryAttempts":3,"appxLogWaitMs":3001,"appxLogQueryMs":12,)j"
            R"j("appxEventsScanned":2,"packagingLogStatus":"queryFailed","packagingLogQueryError":"0x000005B4",)j"
            R"j("packagingEventsScanned":1,"appxEvents":[)j"
            R"j({"eventId":401,"level":"error","provider":"P","channel":"C","message":"Say \"no\"","formatError":"0x00000000"},)j"
            R"j({"eventId":215,"level":"warning","provider":"Q","channel":"D","message":"","formatError":"0x80070002"}],)j"
            R"j("serviceSnapshot":[{"name":"AppXSvc","availability":"present","startMode":"manual","state":"stopped",)j"
            R"j("queryError":"0x00000000"},{"name":"BITS","availability":"present","startMode":"","state":"running",)j"
            R"j("queryError":"0x000000EA"}],"deliveryOptimizationPolicies":[{"name":"DownloadMode","value":3,)j"
            R"j("mode":"Internet peering (3)"}],"appxPolicies":[{"name":"GroupPolicy.BlockNonAdminUserInstall",)j"
            R"j("value":1,"meaning":"non-admin installs restricted"}],"appxPolicyQueryError":"0x0000065E",)j"
            R"j("processElevated":false})j");
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
