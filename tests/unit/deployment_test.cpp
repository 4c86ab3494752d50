#include "worker/deployment/deployment.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <thread>

#include "worker/run/cancel.h"
#include "worker/run/error_store.h"
#include "worker/run/reporting.h"
#include "worker/run/state.h"
#include "worker_test_support.h"

namespace tavo::worker {
namespace {

using testing::Fields;

constexpr int32_t kTransient = static_cast<int32_t>(0x80D05011);
constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005);

// One scripted call: progress reports (state, percent) delivered on another
// thread, then a result or a thrown code.
struct Call {
  std::vector<std::pair<int32_t, int32_t>> progress;
  int32_t thrown = 0;
  DeploymentOutcome outcome{L"{0A1B2C3D-0000-0000-0000-000000000001}", 0, L"", 0};
  bool cancelDuringCall = false;
};

class FakeDeployer final : public PackageDeployer {
 public:
  std::deque<Call> calls;
  int made = 0;

  DeploymentOutcome Deploy(const ProgressFn& onProgress) override {
    ++made;
    Call call = calls.front();
    calls.pop_front();
    std::thread windows([&] {
      for (auto [state, percent] : call.progress) onProgress(state, percent);
    });
    windows.join();
    if (call.cancelDuringCall) {
      Cancel();
      if (!call.thrown) throw hresult_error(HRESULT_FROM_WIN32(ERROR_CANCELLED), L"", nullptr);
    }
    if (call.thrown) throw hresult_error(call.thrown, L"Windows said no.", nullptr);
    return call.outcome;
  }
};

class DeploymentTest : public testing::WorkerTest {
 protected:
  FakeDeployer deployer;

  int32_t RunExpectingFailure() {
    try {
      RunDeploymentAttempts(deployer);
    } catch (const hresult_error& error) {
      return error.code();
    }
    return 0;
  }
  std::vector<std::string> Installing() {
    std::vector<std::string> percents;
    for (auto& line : TakeOutputLines())
      if (Fields(line)[0] == "installing") percents.push_back(Fields(line)[1]);
    return percents;
  }
  std::vector<const LogEntry*> Log(const std::wstring& operation) {
    std::vector<const LogEntry*> entries;
    for (const LogEntry& entry : Report().log)
      if (entry.operation == operation) entries.push_back(&entry);
    return entries;
  }
};

TEST_F(DeploymentTest, ShowsEachPercentageChangeOnceAfterTheInitialZero) {
  deployer.calls.push_back({{{0, 0}, {1, 0}, {1, 5}, {1, 5}, {1, 10}}});
  RunDeploymentAttempts(deployer);
  EXPECT_EQ(Installing(), (std::vector<std::string>{"5", "10"}));
  EXPECT_EQ(Worker().activityId, L"{0A1B2C3D-0000-0000-0000-000000000001}");
  EXPECT_EQ(Worker().deploymentRetries, 0u);
  ASSERT_EQ(Log(L"deployment.result").size(), 1u);
  EXPECT_EQ(Log(L"deployment.result")[0]->detail,
            L"attempt=1; ExtendedErrorCode=0x00000000; ErrorText=; ActivityId={0A1B2C3D-0000-0000-0000-000000000001}");
}

TEST_F(DeploymentTest, RetriesATransientFailureOnceWithoutADiagnosticEvent) {
  Call first;
  first.progress = {{1, 20}};
  first.thrown = kTransient;
  deployer.calls = {first, Call{{{1, 20}, {1, 60}}}};
  RunDeploymentAttempts(deployer);
  EXPECT_EQ(deployer.made, 2);
  EXPECT_EQ(Worker().deploymentRetries, 1u);
  EXPECT_EQ(Worker().currentAttempt, 2u);
  ASSERT_EQ(Worker().retryFailures.size(), 1u);
  EXPECT_EQ(Worker().retryFailures[0].id, L"deployment.add_package");
  EXPECT_EQ(Worker().retryFailures[0].attempt, 1u);
  EXPECT_EQ(Worker().retryFailures[0].message, L"First deployment attempt failed. Windows: Windows said no.");
  EXPECT_TRUE(Records().empty()) << "a retried failure is not an error of the run";
  auto retry = Log(L"deployment.retry");
  ASSERT_EQ(retry.size(), 1u);
  EXPECT_EQ(retry[0]->phase, L"error");
  EXPECT_EQ(retry[0]->detail, L"attempt=1; retrying once; activityId=; Windows: Windows said no.");
  ASSERT_TRUE(retry[0]->error);
  // Each attempt starts its own percentage count: 20 is shown again on attempt 2.
  EXPECT_EQ(Installing(), (std::vector<std::string>{"20", "20", "60"}));
}

TEST_F(DeploymentTest, ASecondTransientFailureIsNotRetriedAgain) {
  Call failing;
  failing.thrown = kTransient;
  deployer.calls = {failing, failing};
  EXPECT_EQ(RunExpectingFailure(), kTransient);
  EXPECT_EQ(deployer.made, 2);
  EXPECT_EQ(Worker().deploymentRetries, 1u);
  EXPECT_EQ(Worker().retryFailures.size(), 1u);
  EXPECT_TRUE(Worker().deployment.collect);
}

TEST_F(DeploymentTest, AnotherFailureKeepsTheLastProgressForDiagnostics) {
  Call failing;
  failing.progress = {{0, 0}, {1, 37}};
  failing.thrown = kAccessDenied;
  deployer.calls = {failing};
  EXPECT_EQ(RunExpectingFailure(), kAccessDenied);
  EXPECT_EQ(deployer.made, 1);
  const DeploymentDiagnostics& d = Worker().deployment;
  EXPECT_TRUE(d.collect);
  EXPECT_EQ(d.progressPercent, 37);
  EXPECT_EQ(d.progressState, L"processing");
  EXPECT_TRUE(Worker().retryFailures.empty());
}

TEST_F(DeploymentTest, AFailureBeforeAnyProgressSaysNothingWasReported) {
  Call failing;
  failing.thrown = kAccessDenied;
  deployer.calls = {failing};
  RunExpectingFailure();
  EXPECT_EQ(Worker().deployment.progressPercent, -1);
  EXPECT_EQ(Worker().deployment.progressState, L"notReported");
  EXPECT_NE(DeploymentDiagnosticsJson(Worker().deployment).find("\"progressPercent\":null"), std::string::npos);
}

TEST_F(DeploymentTest, AFailedOperationThrowsItsOwnCodeAndACompletedOneItsNegativeExtendedError) {
  struct Case {
    const char* what;
    int32_t errorCode;  // the operation's own; 0: it completed
    int32_t extended;
  } cases[] = {
      {"completed with a negative ExtendedErrorCode", 0, kAccessDenied},
      {"failed, its result naming another cause", kAccessDenied, kTransient},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetWorkerStateForTests();
    Call call{{{1, 100}}};
    call.outcome = {L"{00000000-0000-0000-0000-00000000000A}", c.extended, L"Policy blocks it.", c.errorCode};
    deployer.made = 0;
    deployer.calls = {call, call};
    try {
      RunDeploymentAttempts(deployer);
      ADD_FAILURE() << "expected the failure";
    } catch (const hresult_error& error) {
      EXPECT_EQ(error.code(), kAccessDenied);
      EXPECT_EQ(error.message(), L"Policy blocks it.");
    }
    EXPECT_EQ(deployer.made, 1) << "retried or not by the thrown code only";
    ASSERT_EQ(Log(L"deployment.result").size(), 1u);
    EXPECT_EQ(Log(L"deployment.result")[0]->code, c.extended);
    EXPECT_EQ(Worker().deployment.activityId, L"{00000000-0000-0000-0000-00000000000A}");
    EXPECT_EQ(Worker().deployment.progressPercent, 100);
  }
}

TEST_F(DeploymentTest, CancellationIsNotRetriedAndCollectsNoDiagnostics) {
  Call cancelled{{{1, 40}}};
  cancelled.cancelDuringCall = true;
  deployer.calls = {cancelled};
  EXPECT_EQ(static_cast<uint32_t>(RunExpectingFailure()), 0x800704C7u);
  EXPECT_EQ(deployer.made, 1);
  EXPECT_FALSE(Worker().deployment.collect);
  EXPECT_EQ(Worker().deployment.progressPercent, -1);
}

TEST_F(DeploymentTest, ARetryableFailureAfterACancelRequestIsNotRetried) {
  // The user stops while Windows installs; the operation then fails with a
  // code that would otherwise be retried.
  Call failing{{{1, 20}}};
  failing.cancelDuringCall = true;
  failing.thrown = kTransient;
  deployer.calls = {failing, Call{}};
  EXPECT_EQ(RunExpectingFailure(), kTransient);
  EXPECT_EQ(deployer.made, 1);
  EXPECT_TRUE(Log(L"deployment.retry").empty());
  EXPECT_TRUE(Worker().retryFailures.empty());
  EXPECT_FALSE(Worker().deployment.collect);
}

TEST_F(DeploymentTest, ACancelBeforeTheFirstAttemptStartsNone) {
  deployer.calls = {Call{}};
  Cancel();
  EXPECT_EQ(static_cast<uint32_t>(RunExpectingFailure()), 0x800704C7u);
  EXPECT_EQ(deployer.made, 0);
}

TEST_F(DeploymentTest, AReportAfterTheAttemptCompletedIsDropped) {
  // Windows may call the progress handler once more after completion, on its
  // own thread; the copy of the handler it holds must neither show an
  // `installing` event nor touch the attempt's cells.
  std::function<void(int32_t, int32_t)> late;
  struct KeepingDeployer final : PackageDeployer {
    std::function<void(int32_t, int32_t)>* keep;
    DeploymentOutcome Deploy(const ProgressFn& onProgress) override {
      onProgress(1, 30);
      *keep = onProgress;
      return {L"", 0, L"", 0};
    }
  } keeping;
  keeping.keep = &late;
  RunDeploymentAttempts(keeping);
  std::thread([&] { late(1, 55); }).join();
  EXPECT_EQ(Installing(), std::vector<std::string>{"30"});
}

TEST(ProgressStateName, NamesKnownStatesAndMarksOthers) {
  EXPECT_EQ(ProgressStateName(-1), L"notReported");
  EXPECT_EQ(ProgressStateName(0), L"queued");
  EXPECT_EQ(ProgressStateName(1), L"processing");
  EXPECT_EQ(ProgressStateName(7), L"unrecognized (7)");
  EXPECT_TRUE(IsRetryableDeploymentCode(static_cast<int32_t>(0x80072EFE)));
  EXPECT_FALSE(IsRetryableDeploymentCode(static_cast<int32_t>(0x80072EE7)));
}

}  // namespace
}  // namespace tavo::worker
