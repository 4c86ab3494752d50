#include "worker/run/telemetry_call.h"

#include <gtest/gtest.h>

#include <new>

namespace tavo::worker {
namespace {

TEST(RunTelemetry, UserCancelAndLowDiskFollowHowTheRunEnded) {
  struct Case {
    const char* name;
    const wchar_t* outcome;
    bool failureReported, userMark, lowDisk;
    bool userCancelled, limitedDisk;
  };
  const Case cases[] = {
      {"cancelled by the user", L"cancelled", false, true, false, true, false},
      {"cancelled because the launcher went away", L"cancelled", false, false, false, false, false},
      {"a C after a finished run", L"installed", false, true, false, false, false},
      {"a C after a reported failure", L"failed", true, true, false, false, false},
      {"low disk and a reported failure", L"failed", true, false, true, false, true},
      {"low disk and a successful run", L"installed", false, false, true, false, false},
      {"low disk and a cancelled run", L"cancelled", false, true, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunOutcome outcome;
    outcome.outcome = c.outcome;
    outcome.failureReported = c.failureReported;
    outcome.exitCode = c.failureReported ? static_cast<int32_t>(0x80070070) : 0;
    RunState run;
    run.disk.limited = c.lowDisk;
    run.visitorId = L"vis_0123456789abcdef0123456789abcdef";
    run.descriptorRetries = 1;
    const ReportInputs inputs = RunReportInputs(outcome, run, c.userMark, {MakeRecord(1, L"a.b", L"m")});
    EXPECT_EQ(inputs.userCancelled, c.userCancelled);
    EXPECT_EQ(inputs.limitedDiskSpace, c.limitedDisk);
    EXPECT_EQ(inputs.outcome, c.outcome);
    EXPECT_EQ(inputs.exitCode, static_cast<uint32_t>(outcome.exitCode));
    EXPECT_EQ(inputs.visitorId, run.visitorId);
    EXPECT_EQ(inputs.descriptorRetries, 1u);
    EXPECT_EQ(inputs.errors.size(), 1u);
    EXPECT_TRUE(inputs.verificationJson && inputs.deploymentJson);
  }
}

TEST(RunTelemetry, AFailureWhileBuildingTheReportIsATelemetryFailure) {
  RunOutcome outcome;
  outcome.outcome = L"installed";
  const TelemetryDelivery delivery =
      SendRunTelemetry(outcome, [](const RunOutcome&) -> ReportInputs { throw std::bad_alloc(); });
  ASSERT_TRUE(delivery.error);
  EXPECT_EQ(delivery.error->id, L"telemetry.exception");
  EXPECT_EQ(delivery.error->code, static_cast<int32_t>(0xA0041206));
  EXPECT_EQ(delivery.totalEvents, 0u);  // nothing was posted
}

}  // namespace
}  // namespace tavo::worker
