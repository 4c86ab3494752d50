#include "common/child_process.h"

#include <vector>

#include "common/winrt/hresult_error.h"

namespace tavo {
namespace {

// Owns an initialised PROC_THREAD_ATTRIBUTE_LIST.
class AttributeList {
 public:
  explicit AttributeList(DWORD count) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, count, 0, &size);
    buffer_.resize(size);
    if (!InitializeProcThreadAttributeList(get(), count, 0, &size)) ThrowLastError();
  }
  AttributeList(const AttributeList&) = delete;
  AttributeList& operator=(const AttributeList&) = delete;
  ~AttributeList() { DeleteProcThreadAttributeList(get()); }
  LPPROC_THREAD_ATTRIBUTE_LIST get() { return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data()); }

 private:
  std::vector<unsigned char> buffer_;
};

UniqueKernelHandle KillOnCloseJob() {
  UniqueKernelHandle job(CreateJobObjectW(nullptr, nullptr));
  if (!job) return job;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) job.reset();
  return job;
}

}  // namespace

void CreateChildPipe(UniqueKernelHandle& read, UniqueKernelHandle& write, bool childReads) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!CreatePipe(read.put(), write.put(), &inheritable, 0)) ThrowLastError();
  if (!SetHandleInformation(childReads ? write.get() : read.get(), HANDLE_FLAG_INHERIT, 0)) ThrowLastError();
}

StartedChild StartChildProcess(const std::wstring& program, std::wstring commandLine, const wchar_t* folder,
                               const ChildStdio& stdio) {
  // The child inherits exactly its standard handles and nothing else.
  HANDLE inherited[3] = {stdio.input, stdio.output, stdio.error};
  const DWORD count = stdio.error ? 3 : 2;
  AttributeList attributes(1);
  if (!UpdateProcThreadAttribute(attributes.get(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                 count * sizeof(HANDLE), nullptr, nullptr)) {
    ThrowLastError();
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = stdio.input;
  startup.StartupInfo.hStdOutput = stdio.output;
  startup.StartupInfo.hStdError = stdio.error;
  startup.lpAttributeList = attributes.get();

  DWORD flags = CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, folder,
                      &startup.StartupInfo, &info)) {
    ThrowLastError();
  }
  StartedChild child;
  child.process.reset(info.hProcess);
  child.thread.reset(info.hThread);
  // The child dies with its parent whenever the job can be set up.
  UniqueKernelHandle job = KillOnCloseJob();
  if (job && AssignProcessToJobObject(job.get(), child.process.get())) child.job = std::move(job);
  if (ResumeThread(child.thread.get()) == static_cast<DWORD>(-1)) {
    DWORD error = GetLastError();
    TerminateProcess(child.process.get(), static_cast<UINT>(E_FAIL));  // it would never run
    ThrowWin32(error);
  }
  return child;
}

}  // namespace tavo
