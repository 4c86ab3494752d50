#include "worker/run/error_store.h"

#include <gtest/gtest.h>

#include "worker/run/reporting.h"
#include "worker/run/state.h"
#include "worker_test_support.h"

namespace tavo::worker {
namespace {

using testing::Fields;

class ErrorStoreTest : public testing::WorkerTest {
 protected:
  std::string LastDetail() {
    auto lines = TakeOutputLines();
    return lines.empty() ? "" : Fields(lines.back())[3];
  }
};

TEST_F(ErrorStoreTest, EventDetailNamesTheAttemptKindAndThePackage) {
  ErrorRecord r = MakeRecord(static_cast<int32_t>(0xA0041007), L"verification.update_uri_mismatch", L"Differs.");
  r.attempt = 3;
  AddRecord(r);
  EXPECT_EQ(LastDetail(), "Differs. [verification attempt 3]");

  r.id = L"deployment.add_package";
  r.packageFullName = L"Tavo_1.0.0.0_x64__abc";
  AddRecord(r);
  EXPECT_EQ(LastDetail(), "Differs. [attempt 3] [package Tavo_1.0.0.0_x64__abc]");

  r.id = L"Verification.case_matters";
  AddRecord(r);
  EXPECT_EQ(LastDetail(), "Differs. [attempt 3] [package Tavo_1.0.0.0_x64__abc]");

  r.attempt = 0;
  r.packageFullName.clear();
  AddRecord(r);
  EXPECT_EQ(LastDetail(), "Differs.");
}

TEST_F(ErrorStoreTest, EmitsTheEventThenStoresThenLogsWithTheRecord) {
  Worker().activityId = L"{AC71}";
  AddRecord(MakeRecord(5, L"preflight.x", L"Message."));
  auto lines = TakeOutputLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "diagnostic\t-1\tpreflight.x\tMessage.\t0x00000005");

  auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].activityId, L"{AC71}") << "filled from the deployment's activity id";

  ASSERT_EQ(Report().log.size(), 1u) << "error entries are kept without --verbose";
  const LogEntry& entry = Report().log[0];
  EXPECT_EQ(entry.operation, L"preflight.x");
  EXPECT_EQ(entry.phase, L"error");
  EXPECT_EQ(entry.detail, L"Message.");
  ASSERT_TRUE(entry.error);
  EXPECT_EQ(entry.error->id, L"preflight.x");
}

TEST_F(ErrorStoreTest, KeepsAGivenActivityIdAndTheOrderOfRecords) {
  Worker().activityId = L"{NEW}";
  ErrorRecord r = MakeRecord(1, L"a", L"");
  r.activityId = L"{OLD}";
  AddRecord(r);
  AddRecord(MakeRecord(2, L"b", L""));
  auto records = Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].activityId, L"{OLD}");
  EXPECT_EQ(records[1].id, L"b");
}

}  // namespace
}  // namespace tavo::worker
