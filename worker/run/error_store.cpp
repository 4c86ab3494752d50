#include "worker/run/error_store.h"

#include <mutex>

#include "worker/run/events.h"
#include "worker/run/operation_log.h"
#include "worker/run/state.h"

namespace tavo::worker {
namespace {

struct Store {
  std::mutex lock;
  std::vector<ErrorRecord> records;
  ErrorRecord currentFailure;
};

Store& TheStore() {
  static Store store;
  return store;
}

}  // namespace

void AddRecord(ErrorRecord record) {
  if (record.activityId.empty()) record.activityId = Worker().activityId;

  std::wstring detail = record.message;
  if (record.attempt != 0) {
    bool verification = record.id.rfind(L"verification.", 0) == 0;
    detail += (verification ? L" [verification attempt " : L" [attempt ") + std::to_wstring(record.attempt) + L"]";
  }
  if (!record.packageFullName.empty()) detail += L" [package " + record.packageFullName + L"]";

  // The event reaches the launcher before the record is in the list.
  Emit(L"diagnostic", -1, record.id, detail, record.code);
  {
    Store& store = TheStore();
    std::lock_guard guard(store.lock);
    store.records.push_back(record);
  }
  LogOperation(record.id, L"error", record.message, record.code, record);
}

std::vector<ErrorRecord> Records() {
  Store& store = TheStore();
  std::lock_guard guard(store.lock);
  return store.records;
}

void SetCurrentFailure(const ErrorRecord& record) {
  Store& store = TheStore();
  std::lock_guard guard(store.lock);
  store.currentFailure = record;
}

ErrorRecord CurrentFailure() {
  Store& store = TheStore();
  std::lock_guard guard(store.lock);
  return store.currentFailure;
}

#ifdef TAVO_TEST_HOOKS
void ClearRecordsForTests() {
  Store& store = TheStore();
  std::lock_guard guard(store.lock);
  store.records.clear();
  store.currentFailure = {};
}
#endif

}  // namespace tavo::worker
