// The worker's cancellation: the launcher writes `C` to standard input to cancel
// for the user; the end of the input means the launcher is gone.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <atomic>

#include "common/winrt/com_ptr.h"

namespace tavo::worker {

// Reads standard input until `C` or its end (see RunCancelWatcher), on a detached thread.
void StartCancelWatcher();
// The watcher loop over the given handle: `C` sets the user mark and cancels;
// other bytes are ignored; a failed or empty read cancels when the handle is a
// pipe and just ends otherwise.
void RunCancelWatcher(HANDLE input);

// Sets cancel requested and interrupts the active download or deployment.
void Cancel();
bool CancelRequested();
bool UserCancelled();
// Throws hresult_error 0x800704C7 once cancellation was requested.
void ThrowIfCancelled();

// The descriptor download publishes its request-handle cell here; whoever closes
// the handle first empties the cell by an atomic exchange.
void RegisterActiveRequest(std::atomic<HINTERNET>* cell);
// The deployment publishes its running operation (an object answering IAsyncInfo)
// and withdraws it with null. When cancellation was already requested the
// operation is cancelled at once; a failing Cancel() leaves it to finish.
void RegisterActiveDeployment(ComPtr<IUnknown> operation);
// After the stage: cancel() no longer interrupts anything; the slots are cleared.
void CloseCancellationWindow();

#ifdef TAVO_TEST_HOOKS
void ResetCancelForTests();
#endif

}  // namespace tavo::worker
