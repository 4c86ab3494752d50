#include "worker/run/state.h"

#include "worker/run/error_store.h"
#include "worker/run/reporting.h"

namespace tavo::worker {

RunState& Worker() {
  static RunState state;
  return state;
}

void SetCurrentOperation(std::wstring name) { Worker().currentOperation = std::move(name); }
void SetCurrentAttempt(uint32_t attempt) { Worker().currentAttempt = attempt; }

#ifdef TAVO_TEST_HOOKS
void ResetWorkerStateForTests() {
  Worker() = RunState{};
  ClearRecordsForTests();
  Reporting& report = Report();
  std::lock_guard guard(report.lock);
  report.events.clear();
  report.log.clear();
  report.traceCreated = false;
  report.traceFailed = false;
}
#endif

}  // namespace tavo::worker
