#include "launcher/session/worker_event_ledger.h"

namespace tavo::launcher {

const WorkerEvent* WorkerEventLedger::HandOut(std::unique_ptr<WorkerEvent> record) {
  const WorkerEvent* address = record.get();
  std::lock_guard<std::mutex> hold(lock_);
  records_.emplace(address, std::move(record));
  return address;
}

std::unique_ptr<WorkerEvent> WorkerEventLedger::Claim(const void* address) {
  std::lock_guard<std::mutex> hold(lock_);
  auto found = records_.find(static_cast<const WorkerEvent*>(address));
  if (found == records_.end()) return nullptr;
  std::unique_ptr<WorkerEvent> record = std::move(found->second);
  records_.erase(found);
  return record;
}

}  // namespace tavo::launcher
