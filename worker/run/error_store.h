// The worker's error-record store: every recorded failure of the run, in order.
#pragma once

#include <vector>

#include "common/diagnostics/error_record.h"

namespace tavo::worker {

// The one way into the store: emits the `diagnostic` event, appends the record,
// then writes its `error` log entry. Callable from any thread.
void AddRecord(ErrorRecord record);

// A copy of the list (read once the stages have finished).
std::vector<ErrorRecord> Records();

// The most recent record a stage declared as its failure.
void SetCurrentFailure(const ErrorRecord& record);
ErrorRecord CurrentFailure();

#ifdef TAVO_TEST_HOOKS
void ClearRecordsForTests();
#endif

}  // namespace tavo::worker
