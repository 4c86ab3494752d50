#include "worker/run/cancel.h"

#include <mutex>
#include <thread>

#include "common/winrt/abi.h"
#include "common/winrt/hresult_error.h"

namespace tavo::worker {
namespace {

struct CancelState {
  std::atomic<bool> requested{false};
  std::atomic<bool> user{false};
  std::mutex lock;  // guards the fields below
  bool workFinished = false;
  std::atomic<HINTERNET>* activeRequest = nullptr;
  ComPtr<IUnknown> activeDeployment;
};

CancelState& State() {
  static CancelState state;
  return state;
}

}  // namespace

void StartCancelWatcher() {
  std::thread([] { RunCancelWatcher(::GetStdHandle(STD_INPUT_HANDLE)); }).detach();
}

void RunCancelWatcher(HANDLE input) {
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return;
  const bool pipe = ::GetFileType(input) == FILE_TYPE_PIPE;
  for (;;) {
    char byte = 0;
    DWORD read = 0;
    if (::ReadFile(input, &byte, 1, &read, nullptr) && read == 1) {
      if (byte == 'C') {
        State().user.store(true);
        Cancel();
        return;
      }
      continue;
    }
    // End of input or a read error: on a pipe the launcher is gone.
    if (pipe) Cancel();
    return;
  }
}

void Cancel() {
  CancelState& state = State();
  state.requested.exchange(true);
  std::lock_guard guard(state.lock);
  if (state.workFinished) return;
  if (state.activeRequest) {
    if (HINTERNET request = state.activeRequest->exchange(nullptr)) ::WinHttpCloseHandle(request);
  }
  if (state.activeDeployment) {
    ComPtr<abi::IAsyncInfo> info;
    // Cancelling is best effort: a failed Cancel() leaves the operation to finish.
    if (SUCCEEDED(state.activeDeployment.As(abi::IID_IAsyncInfo, info))) (void)info->Cancel();
  }
}

bool CancelRequested() { return State().requested.load(); }
bool UserCancelled() { return State().user.load(); }

void ThrowIfCancelled() {
  if (CancelRequested()) throw hresult_error(HRESULT_FROM_WIN32(ERROR_CANCELLED));
}

void RegisterActiveRequest(std::atomic<HINTERNET>* cell) {
  CancelState& state = State();
  std::lock_guard guard(state.lock);
  state.activeRequest = cell;
}

void RegisterActiveDeployment(ComPtr<IUnknown> operation) {
  CancelState& state = State();
  std::lock_guard guard(state.lock);
  state.activeDeployment = std::move(operation);
  // A cancellation that came before the registration ends the operation now.
  // As in Cancel(), a failing Cancel() is not thrown: that would abandon an
  // operation that may still be running and end the run with Cancel's code;
  // the caller waits for the completion, which then reports the cancellation.
  if (state.activeDeployment && state.requested.load()) {
    ComPtr<abi::IAsyncInfo> info;
    if (SUCCEEDED(state.activeDeployment.As(abi::IID_IAsyncInfo, info))) (void)info->Cancel();
  }
}

void CloseCancellationWindow() {
  CancelState& state = State();
  std::lock_guard guard(state.lock);
  state.workFinished = true;
  state.activeRequest = nullptr;  // its owner has closed the handle
  state.activeDeployment.reset();
}

#ifdef TAVO_TEST_HOOKS
void ResetCancelForTests() {
  CancelState& state = State();
  std::lock_guard guard(state.lock);
  state.requested = false;
  state.user = false;
  state.workFinished = false;
  state.activeRequest = nullptr;
  state.activeDeployment.reset();
}
#endif

}  // namespace tavo::worker
