// The worker-event records that a session's reader thread handed out. The
// worker-event message carries a record's address, and any process of the
// user can post that message to the setup window with any value: the window
// takes only addresses found here, so a forged message frees nothing and
// reads nothing. Records that no message claimed die with the ledger.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include "launcher/session/worker_event.h"

namespace tavo::launcher {

class WorkerEventLedger {
 public:
  // Keeps the record and returns the address to post (reader thread).
  const WorkerEvent* HandOut(std::unique_ptr<WorkerEvent> record);
  // The record handed out at this address, now the caller's; null for an
  // address that was never handed out or was claimed before (window thread).
  std::unique_ptr<WorkerEvent> Claim(const void* address);

 private:
  std::mutex lock_;
  std::unordered_map<const WorkerEvent*, std::unique_ptr<WorkerEvent>> records_;
};

}  // namespace tavo::launcher
