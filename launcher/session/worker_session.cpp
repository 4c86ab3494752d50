#include "launcher/session/worker_session.h"

#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/folders.h"
#include "common/known_folders.h"
#include "common/user_sid.h"
#include "common/winrt/hresult_error.h"
#include "launcher/start/launcher_codes.h"
#include "launcher/session/worker_event.h"
#include "launcher/session/worker_file.h"
#include "resources/resource_ids.h"

namespace tavo::launcher {

namespace {

constexpr DWORD kReleaseWaitMs = 5000;

struct CoTaskMemText {
  wchar_t* text = nullptr;
  ~CoTaskMemText() { CoTaskMemFree(text); }
};

std::wstring SessionsRoot() {
  CoTaskMemText local;
  CheckHr(SHGetKnownFolderPath(kFolderLocalAppData, 0, nullptr, &local.text));
  std::wstring root = std::wstring(local.text) + L"\\Tavo\\Installer\\Sessions";
  CreateFolders(root);  // std::runtime_error: a standard exception
  return root;
}

std::wstring NewGuidText() {
  GUID guid{};
  CheckHr(CoCreateGuid(&guid));
  wchar_t text[39] = {};
  if (StringFromGUID2(guid, text, 39) != 39) throw hresult_error(E_UNEXPECTED);
  return text;
}

// Reads the worker's output until it ends, posts its events, then its exit code.
// Owns the read end; the process handle and the ledger stay the window
// object's, which joins this thread before closing them.
void ReadWorkerOutput(HWND window, HANDLE process, UniqueKernelHandle output, WorkerEventLedger& events) {
  EventLineSplitter splitter;
  char block[4096];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(output.get(), block, sizeof(block), &read, nullptr) || read == 0) break;
    for (std::string& line : splitter.Feed(std::string_view(block, read))) {
      std::optional<WorkerEvent> event = ParseEventLine(line);
      if (!event) continue;
      const WorkerEvent* record = events.HandOut(std::make_unique<WorkerEvent>(std::move(*event)));
      // A message that could not be posted (a full queue) loses its event, as
      // before; its record goes now rather than with the ledger.
      if (!PostMessageW(window, kMsgWorkerEvent, 0, reinterpret_cast<LPARAM>(record))) events.Claim(record);
    }
  }
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  // This thread cannot add records: an unreadable exit code goes to the window
  // as a failure code, which the window records like any failed worker.
  if (!GetExitCodeProcess(process, &code)) {
    DWORD error = GetLastError();
    code = error == 0 ? static_cast<DWORD>(E_FAIL) : static_cast<DWORD>(HRESULT_FROM_WIN32(error));
  }
  PostMessageW(window, kMsgWorkerExit, code, 0);
}

}  // namespace

void CreateSessionFolder(const std::wstring& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(SessionFolderSddl(CurrentUserSid()).c_str(),
                                                            SDDL_REVISION_1, &descriptor, nullptr)) {
    ThrowLastError();
  }
  UniqueLocal owner(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  if (!CreateDirectoryW(folder.c_str(), &attributes)) ThrowLastError();
}

void WorkerSession::Start(const SessionRequest& request, SessionPaths& paths) {
  std::wstring root = SessionsRoot();
  paths.sessionFolder = root + L"\\" + NewGuidText();
  CreateSessionFolder(paths.sessionFolder);
  paths.workerPath = paths.sessionFolder + L"\\Tavo.Deploy.exe";
  paths.reportPath = request.reportPath.empty() ? paths.sessionFolder + L"\\install.json" : request.reportPath;
  paths.reportIdentity = ReadFileIdentity(paths.reportPath);

  // Recorded before the write, so that Release deletes a partly written file too.
  workerPath_ = paths.workerPath;
  WriteWorkerFile(nullptr, paths.workerPath);

  UniqueKernelHandle outputRead, outputWrite, inputRead;
  CreateChildPipe(outputRead, outputWrite, false);
  CreateChildPipe(inputRead, inputWrite_, true);

  WorkerCommand command{paths.workerPath, request.mode, request.verbose, paths.reportPath, request.visitorId};
  // In its kill-on-close job before its first instruction; without a job the
  // session still runs.
  StartedChild child = StartChildProcess(paths.workerPath, BuildWorkerCommandLine(command),
                                         paths.sessionFolder.c_str(), {inputRead.get(), outputWrite.get(), nullptr});
  process_ = std::move(child.process);
  job_ = std::move(child.job);

  outputWrite.reset();
  inputRead.reset();
  reader_ = std::thread(ReadWorkerOutput, window_, process_.get(), std::move(outputRead), std::ref(events_));
}

void WorkerSession::Release(bool force) {
  inputWrite_.reset();  // the worker sees the end of its input and cancels
  if (process_) {
    if (force || WaitForSingleObject(process_.get(), kReleaseWaitMs) != WAIT_OBJECT_0) {
      TerminateProcess(process_.get(), kCodeCancelled);
    }
  }
  if (reader_.joinable()) reader_.join();
  DiscardQueuedWorkerMessages();
  process_.reset();
  job_.reset();
  if (!workerPath_.empty()) {
    DeleteFileW(workerPath_.c_str());  // best effort: a file still locked stays in the session folder
    workerPath_.clear();
  }
}

void WorkerSession::WriteCancelByte() {
  if (!inputWrite_) return;
  const char cancel = 'C';
  DWORD written = 0;
  // The worker may already be gone; a failed write changes nothing for the user.
  WriteFile(inputWrite_.get(), &cancel, 1, &written, nullptr);
}

void WorkerSession::DiscardQueuedWorkerMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, kMsgWorkerEvent, kMsgWorkerExit, PM_REMOVE)) {
    if (message.message == kMsgWorkerEvent) ClaimEvent(message.lParam);  // freed here
  }
}

ReportIdentity ReadFileIdentity(const std::wstring& path) {
  ReportIdentity identity;
  UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return identity;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return identity;
  }
  identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, true};
  return identity;
}

bool ReportFileReady(const std::wstring& path, const ReportIdentity& before) {
  if (path.empty()) return false;
  ReportIdentity now = ReadFileIdentity(path);
  if (!now.valid) return false;
  return !before.valid || now.volumeSerial != before.volumeSerial || now.indexHigh != before.indexHigh ||
         now.indexLow != before.indexLow;
}

}  // namespace tavo::launcher
