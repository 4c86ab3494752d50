#include "launcher/session/worker_event_ledger.h"

#include <gtest/gtest.h>

#include <memory>

namespace tavo::launcher {
namespace {

// A worker-event message names its record by address; the window takes each
// record once, and nothing for an address its reader never handed out.
TEST(WorkerEventLedger, EachHandedOutRecordIsClaimedOnceAndNothingElse) {
  WorkerEventLedger ledger;
  const WorkerEvent* first = ledger.HandOut(std::make_unique<WorkerEvent>(WorkerEvent{L"preparing", -1, L"", L"", L"0x00000000"}));
  const WorkerEvent* second = ledger.HandOut(std::make_unique<WorkerEvent>(WorkerEvent{L"installing", 10, L"", L"", L"0x00000000"}));
  WorkerEvent forged{L"error", -1, L"", L"", L"0x80070005"};

  EXPECT_EQ(ledger.Claim(&forged), nullptr) << "an address the reader never handed out";
  EXPECT_EQ(ledger.Claim(nullptr), nullptr);
  std::unique_ptr<WorkerEvent> claimed = ledger.Claim(second);
  ASSERT_NE(claimed, nullptr);
  EXPECT_EQ(claimed->type, L"installing");
  EXPECT_EQ(ledger.Claim(second), nullptr) << "a record claimed before";
  EXPECT_EQ(ledger.Claim(first)->type, L"preparing");
}

}  // namespace
}  // namespace tavo::launcher
