#include "worker/run/run_outcome.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <system_error>

#include "common/diagnostics/catalogue.h"
#include "common/text.h"
#include "worker/run/cancel.h"
#include "worker/run/error_store.h"
#include "worker/run/state.h"
#include "worker_test_support.h"

namespace tavo::worker {
namespace {

using testing::Fields;

class RunOutcomeTest : public testing::WorkerTest {
 protected:
  RunOutcome outcome;
  std::vector<std::vector<std::string>> Events() {
    std::vector<std::vector<std::string>> events;
    for (auto& line : TakeOutputLines()) events.push_back(Fields(line));
    return events;
  }
};

TEST_F(RunOutcomeTest, SetupErrorShowsItsMessageWithTheLowDiskNoteAndIsRecorded) {
  Worker().disk = {true, L"C:\\"};
  Worker().currentAttempt = 2;
  RunGuarded(outcome, [] {
    throw SetupError(static_cast<HRESULT>(0x80070422), L"Service gone.", L"preflight.appx_service.AppXSvc",
                     L"AppXSvc service disabled or missing; error=0x80070422");
  });
  EXPECT_EQ(static_cast<uint32_t>(outcome.exitCode), 0x80070422u);
  EXPECT_EQ(outcome.outcome, L"failed");
  EXPECT_TRUE(outcome.failureReported);
  auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0][0], "error");
  EXPECT_EQ(events[0][2], "Let's get this sorted");
  EXPECT_EQ(events[0][3], Utf8(WithLowDiskNote(L"Service gone.", Worker().disk)));
  EXPECT_EQ(events[0][4], "0x80070422");
  EXPECT_EQ(events[1][0], "diagnostic");
  auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].id, L"preflight.appx_service.AppXSvc");
  EXPECT_EQ(records[0].message, L"AppXSvc service disabled or missing; error=0x80070422");
  EXPECT_EQ(records[0].attempt, 2u);
  EXPECT_FALSE(records[0].windows);
}

TEST_F(RunOutcomeTest, ARecordedSetupErrorAndAVerificationFailureOnlyEmitTheEvent) {
  RunGuarded(outcome, [] {
    SetupError error(static_cast<HRESULT>(0xA0041105), L"Bad descriptor.", L"descriptor.x");
    error.set_recorded(true);
    throw error;
  });
  RunGuarded(outcome, [] { throw VerificationFailure(static_cast<HRESULT>(0xA0041007), L"Not connected."); });
  auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1][3], "Not connected.");
  EXPECT_EQ(events[1][4], "0xA0041007");
  EXPECT_TRUE(Records().empty());
}

TEST_F(RunOutcomeTest, AWindowsFailureTakesTheCatalogueSentenceAndIsNamedAfterTheStep) {
  SetCurrentOperation(L"preflight.deployment_api");
  RunGuarded(outcome, [] { throw hresult_error(static_cast<HRESULT>(0x80040154), L"", nullptr); });
  auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0][3], Utf8(CatalogueMessage(static_cast<int32_t>(0x80040154))));
  auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].id, L"preflight.deployment_api");
  EXPECT_EQ(records[0].message.rfind(L"Windows API failure during preflight.deployment_api. Windows: ", 0), 0u);
  EXPECT_TRUE(records[0].windows);
}

TEST_F(RunOutcomeTest, AUserCancelIsACancelledEventWithoutARecordOrNote) {
  UniqueKernelHandle read, write;
  ASSERT_TRUE(::CreatePipe(read.put(), write.put(), nullptr, 0));
  DWORD written = 0;
  ::WriteFile(write.get(), "C", 1, &written, nullptr);
  RunCancelWatcher(read.get());
  Worker().disk = {true, L"C:\\"};
  RunGuarded(outcome, [] { ThrowIfCancelled(); });
  EXPECT_EQ(static_cast<uint32_t>(outcome.exitCode), 0x800704C7u);
  EXPECT_EQ(outcome.outcome, L"cancelled");
  EXPECT_FALSE(outcome.failureReported);
  auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0][0], "cancelled");
  EXPECT_EQ(events[0][2], "Installation cancelled");
  EXPECT_EQ(events[0][3], "Installation was cancelled. You can start again whenever you're ready.");
  EXPECT_TRUE(Records().empty());
}

TEST_F(RunOutcomeTest, AVanishedLauncherIsAnErrorWithARecord) {
  UniqueKernelHandle read, write;
  ASSERT_TRUE(::CreatePipe(read.put(), write.put(), nullptr, 0));
  write.reset();
  RunCancelWatcher(read.get());
  RunGuarded(outcome, [] { ThrowIfCancelled(); });
  EXPECT_EQ(outcome.outcome, L"failed");
  auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0][0], "error");
  EXPECT_EQ(events[0][4], "0x800704C7");
  EXPECT_EQ(Records().size(), 1u);
}

TEST_F(RunOutcomeTest, AStandardExceptionEndsTheRunWithTheUnexpectedCode) {
  Worker().disk = {true, L"D:\\"};
  RunGuarded(outcome, [] { throw std::runtime_error("vector too long"); });
  EXPECT_EQ(static_cast<uint32_t>(outcome.exitCode), 0xA0041201u);
  EXPECT_EQ(outcome.outcome, L"failed");
  EXPECT_TRUE(outcome.failureReported);
  auto events = Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0][0], "diagnostic");
  EXPECT_EQ(events[0][2], "installer.unexpected_exception");
  EXPECT_EQ(events[1][0], "error");
  EXPECT_EQ(events[1][3], Utf8(WithLowDiskNote(L"vector too long", Worker().disk)));
  EXPECT_EQ(events[1][4], "0xA0041201");
}

}  // namespace
}  // namespace tavo::worker
