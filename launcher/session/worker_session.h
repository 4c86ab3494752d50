// The worker session on Windows: private session folder, the worker written out
// from resource 301, two pipes, a kill-on-close job, the process and its reader
// thread, which posts one message per event line and one when the worker ended.
#pragma once

#include <windows.h>

#include <memory>
#include <thread>

#include "common/handles.h"
#include "launcher/outcome/setup_platform.h"
#include "launcher/session/worker_event_ledger.h"

namespace tavo::launcher {

inline constexpr UINT kMsgWorkerEvent = WM_APP + 1;  // lParam: a WorkerEvent* for WorkerSession::ClaimEvent
inline constexpr UINT kMsgWorkerExit = WM_APP + 2;   // wParam: the worker's exit code

class WorkerSession {
 public:
  WorkerSession() = default;
  WorkerSession(const WorkerSession&) = delete;
  WorkerSession& operator=(const WorkerSession&) = delete;
  ~WorkerSession() { Release(false); }

  // Creates the folder, writes the worker and starts it with its reader thread.
  // Throws hresult_error for a failed call and standard exceptions otherwise.
  void Start(const SessionRequest& request, SessionPaths& paths);
  // The window that receives the worker messages; set before the first Start.
  void SetWindow(HWND window) { window_ = window; }
  // Closes the worker's input; waits up to 5 s (or not at all when forced) and
  // then terminates it; joins the reader; drops queued worker messages; deletes
  // the worker file. The folder and the report stay. Window thread only.
  void Release(bool force);
  void WriteCancelByte();
  // The record that a worker-event message's lParam names, once; null when
  // this session's reader never handed it out (a message another process
  // posted, or one claimed before). Window thread only.
  std::unique_ptr<WorkerEvent> ClaimEvent(LPARAM lParam) {
    return events_.Claim(reinterpret_cast<const void*>(lParam));
  }

 private:
  // Removes the queued worker messages of this thread and frees their records.
  void DiscardQueuedWorkerMessages();

  WorkerEventLedger events_;  // outlives every reader thread: they are joined in Release
  HWND window_ = nullptr;
  UniqueKernelHandle process_;
  UniqueKernelHandle job_;
  UniqueKernelHandle inputWrite_;
  std::thread reader_;
  std::wstring workerPath_;
};

// Creates a session folder with its private access list (SessionFolderSddl
// for this process's user). Throws hresult_error.
void CreateSessionFolder(const std::wstring& folder);
// Reads the identity of a file (volume serial and file index); invalid when it
// cannot be opened or is a folder.
ReportIdentity ReadFileIdentity(const std::wstring& path);
bool ReportFileReady(const std::wstring& path, const ReportIdentity& before);

}  // namespace tavo::launcher
