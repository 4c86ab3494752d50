// Starting a child program the way the launcher starts its worker: no console
// window, only its three standard handles inherited (a handle list), and a
// kill-on-close job so that it ends with its parent.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

namespace tavo {

struct ChildStdio {
  HANDLE input = nullptr;
  HANDLE output = nullptr;
  HANDLE error = nullptr;  // none: the child has no standard error
};

struct StartedChild {
  UniqueKernelHandle process;
  UniqueKernelHandle thread;
  // Empty when no kill-on-close job could be set up; the child runs anyway.
  UniqueKernelHandle job;
};

// Creates a pipe for a child's standard input (childReads) or output: the
// child's end is inheritable, ours is not. Throws hresult_error.
void CreateChildPipe(UniqueKernelHandle& read, UniqueKernelHandle& write, bool childReads);

// Starts `program` with `commandLine` in `folder` (null: ours), suspended
// until it is in its job, so that none of its code runs before a parent that
// dies would take it along (a parent that dies in between leaves a child that
// never ran). Throws hresult_error.
StartedChild StartChildProcess(const std::wstring& program, std::wstring commandLine, const wchar_t* folder,
                               const ChildStdio& stdio);

}  // namespace tavo
