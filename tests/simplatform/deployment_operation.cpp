#include "tests/simplatform/deployment_operation.h"

#include <objbase.h>

#include <thread>

#include "tests/simplatform/process_counters.h"
#include "tests/simplatform/state_file.h"
#include "tests/simplatform/wait_for_file.h"

namespace tavo::sim {
namespace {

constexpr DWORD kHandlerWaitMs = 10000;
constexpr DWORD kLateProgressDelayMs = 300;

constexpr std::wstring_view kOperationName =
    L"Windows.Foundation.IAsyncOperationWithProgress`2<Windows.Management.Deployment.DeploymentResult, "
    L"Windows.Management.Deployment.DeploymentProgress>";

UniqueKernelHandle ManualResetEvent() { return UniqueKernelHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

}  // namespace

void* DeploymentResult::Find(REFIID iid) {
  return iid == abi::IID_IDeploymentResult ? static_cast<abi::IDeploymentResult*>(this) : nullptr;
}

HRESULT DeploymentResult::get_ActivityId(GUID* value) {
  if (!value) return E_POINTER;
  *value = activityId_;
  return S_OK;
}

HRESULT DeploymentResult::get_ExtendedErrorCode(HRESULT* value) {
  if (!value) return E_POINTER;
  *value = extendedErrorCode_;
  return S_OK;
}

DeploymentOperation::DeploymentOperation(DeploymentJob job)
    : job_(std::move(job)), id_(NextOperationId()), wake_(ManualResetEvent()), cancelled_(ManualResetEvent()) {
  if (job_.attempt.activityId) {
    activityId_ = *job_.attempt.activityId;
  } else if (FAILED(::CoCreateGuid(&activityId_))) {
    activityId_ = GUID{};  // Windows may give none either; the caller must cope
  }
}

HRESULT DeploymentOperation::Start(DeploymentJob job, abi::IDeploymentOperation** operation) {
  if (!operation) return E_POINTER;
  *operation = nullptr;
  return Guard([&] {
    auto self = ComPtr<DeploymentOperation>::Attach(new DeploymentOperation(std::move(job)));
    if (!self->wake_ || !self->cancelled_) return HRESULT_FROM_WIN32(::GetLastError());
    if (self->job_.attempt.completeBeforeReturn) {
      self->Finish();
    } else {
      // The thread holds a reference to the operation and one to this module,
      // which it gives up in FreeLibraryAndExitThread: the code it runs stays
      // loaded until it has left it.
      if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                reinterpret_cast<LPCWSTR>(&DeploymentOperation::ThreadMain), &self->module_)) {
        return HRESULT_FROM_WIN32(::GetLastError());
      }
      self->AddRef();
      UniqueKernelHandle thread(::CreateThread(nullptr, 0, &DeploymentOperation::ThreadMain, self.get(), 0, nullptr));
      if (!thread) {
        const DWORD error = ::GetLastError();
        self->Release();
        ::FreeLibrary(self->module_);
        return HRESULT_FROM_WIN32(error);
      }
    }
    *operation = static_cast<abi::IDeploymentOperation*>(self.detach());
    return S_OK;
  });
}

DWORD WINAPI DeploymentOperation::ThreadMain(void* operation) {
  HMODULE module = nullptr;
  {
    auto self = ComPtr<DeploymentOperation>::Attach(static_cast<DeploymentOperation*>(operation));
    module = self->module_;
    self->Run();
  }
  ::FreeLibraryAndExitThread(module, 0);  // does not return
}

void DeploymentOperation::Run() {
  // A wait that fails (it cannot with these handles) just lets the attempt run on.
  ::WaitForSingleObject(wake_.get(), kHandlerWaitMs);
  const auto& steps = job_.attempt.progress;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (::WaitForSingleObject(cancelled_.get(), job_.attempt.stepDelayMs) == WAIT_OBJECT_0) break;
    ReportProgress(steps[i]);
    if (i < job_.attempt.waitAfter.size() && !job_.attempt.waitAfter[i].empty() &&
        !WaitForFile(job_.attempt.waitAfter[i], cancelled_.get())) {
      break;
    }
  }
  if (job_.attempt.untilCancelled) ::WaitForSingleObject(cancelled_.get(), INFINITE);
  Finish();
  if (job_.attempt.lateProgress) DeliverLateProgress(*job_.attempt.lateProgress);
}

void DeploymentOperation::DeliverLateProgress(const abi::DeploymentProgress& progress) {
  ComPtr<abi::IDeploymentProgressHandler> handler;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    handler = progress_;
  }
  if (!handler) return;
  // Late enough that the caller has moved on past its wait.
  ::Sleep(kLateProgressDelayMs);
  std::thread([&] { handler->Invoke(static_cast<abi::IDeploymentOperation*>(this), progress); }).join();
}

void DeploymentOperation::ReportProgress(const abi::DeploymentProgress& progress) {
  ComPtr<abi::IDeploymentProgressHandler> handler;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    if (status_ != abi::AsyncStatus::Started) return;
    handler = progress_;
  }
  // The handler's own failure is its business, as on Windows.
  if (handler) handler->Invoke(static_cast<abi::IDeploymentOperation*>(this), progress);
}

void DeploymentOperation::Finish() {
  ComPtr<abi::IDeploymentCompletedHandler> handler;
  abi::AsyncStatus status = abi::AsyncStatus::Started;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    if (status_ == abi::AsyncStatus::Started) Conclude();
    finished_ = true;
    handler = completed_;
    status = status_;
  }
  if (handler) handler->Invoke(static_cast<abi::IDeploymentOperation*>(this), status);
}

void DeploymentOperation::Conclude() {
  const DeploymentAttempt& attempt = job_.attempt;
  HRESULT error = attempt.errorCode;
  try {
    if (attempt.Succeeds() && job_.package) {
      UpdateState(job_.statePath, [&](PlatformState& state) { RegisterPackage(state.packages, *job_.package); });
    }
  } catch (const ScenarioError& e) {
    ReportProblem(e.what());
    error = E_FAIL;
  } catch (...) {
    error = E_OUTOFMEMORY;
  }
  try {
    const HRESULT extended = attempt.extendedErrorCode != S_OK ? attempt.extendedErrorCode : error;
    result_ = ComPtr<abi::IDeploymentResult>::Attach(new DeploymentResult(attempt.errorText, activityId_, extended));
  } catch (...) {
    error = E_OUTOFMEMORY;
  }
  errorCode_ = error;
  status_ = error == S_OK ? abi::AsyncStatus::Completed : abi::AsyncStatus::Error;
}

void* DeploymentOperation::Find(REFIID iid) {
  if (iid == abi::IID_IDeploymentOperation) return static_cast<abi::IDeploymentOperation*>(this);
  if (iid == abi::IID_IAsyncInfo) return static_cast<abi::IAsyncInfo*>(this);
  return nullptr;
}

std::wstring_view DeploymentOperation::ClassName() const { return kOperationName; }

HRESULT DeploymentOperation::put_Progress(abi::IDeploymentProgressHandler* handler) {
  ComPtr<abi::IDeploymentProgressHandler> previous;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    if (closed_) return kIllegalMethodCall;
    if (const auto it = job_.attempt.failures.find("put_Progress"); it != job_.attempt.failures.end()) {
      return it->second;
    }
    previous = std::exchange(progress_, ComPtr<abi::IDeploymentProgressHandler>::Copy(handler));
  }
  ::SetEvent(wake_.get());
  return S_OK;
}

HRESULT DeploymentOperation::get_Progress(abi::IDeploymentProgressHandler** handler) {
  if (!handler) return E_POINTER;
  *handler = nullptr;
  const std::lock_guard<std::mutex> hold(lock_);
  if (closed_) return kIllegalMethodCall;
  *handler = ComPtr<abi::IDeploymentProgressHandler>(progress_).detach();
  return S_OK;
}

HRESULT DeploymentOperation::put_Completed(abi::IDeploymentCompletedHandler* handler) {
  if (!handler) return E_INVALIDARG;
  abi::AsyncStatus status = abi::AsyncStatus::Started;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    if (closed_) return kIllegalMethodCall;
    if (const auto it = job_.attempt.failures.find("put_Completed"); it != job_.attempt.failures.end()) {
      return it->second;
    }
    if (completedAssigned_) return kIllegalDelegateAssignment;
    completedAssigned_ = true;
    completed_ = ComPtr<abi::IDeploymentCompletedHandler>::Copy(handler);
    if (!finished_) {
      ::SetEvent(wake_.get());
      return S_OK;
    }
    status = status_;
  }
  // Already finished: the handler runs now, on the caller's thread.
  handler->Invoke(static_cast<abi::IDeploymentOperation*>(this), status);
  return S_OK;
}

HRESULT DeploymentOperation::get_Completed(abi::IDeploymentCompletedHandler** handler) {
  if (!handler) return E_POINTER;
  *handler = nullptr;
  const std::lock_guard<std::mutex> hold(lock_);
  if (closed_) return kIllegalMethodCall;
  *handler = ComPtr<abi::IDeploymentCompletedHandler>(completed_).detach();
  return S_OK;
}

HRESULT DeploymentOperation::GetResults(abi::IDeploymentResult** results) {
  if (!results) return E_POINTER;
  *results = nullptr;
  const std::lock_guard<std::mutex> hold(lock_);
  if (closed_) return kIllegalMethodCall;
  switch (status_) {
    case abi::AsyncStatus::Completed:
      break;
    case abi::AsyncStatus::Error:
      if (!job_.attempt.resultsOnError) return errorCode_;
      break;
    default:
      return kIllegalMethodCall;
  }
  *results = ComPtr<abi::IDeploymentResult>(result_).detach();
  return S_OK;
}

HRESULT DeploymentOperation::get_Id(UINT32* id) {
  if (!id) return E_POINTER;
  const std::lock_guard<std::mutex> hold(lock_);
  if (closed_) return kIllegalMethodCall;
  *id = id_;
  return S_OK;
}

HRESULT DeploymentOperation::get_Status(abi::AsyncStatus* status) {
  if (!status) return E_POINTER;
  const std::lock_guard<std::mutex> hold(lock_);
  if (closed_) return kIllegalMethodCall;
  *status = status_;
  return S_OK;
}

HRESULT DeploymentOperation::get_ErrorCode(HRESULT* errorCode) {
  if (!errorCode) return E_POINTER;
  const std::lock_guard<std::mutex> hold(lock_);
  if (closed_) return kIllegalMethodCall;
  *errorCode = status_ == abi::AsyncStatus::Error ? errorCode_ : S_OK;
  return S_OK;
}

HRESULT DeploymentOperation::Cancel() {
  const std::lock_guard<std::mutex> hold(lock_);
  if (closed_) return kIllegalMethodCall;
  if (status_ != abi::AsyncStatus::Started) return S_OK;
  try {
    UpdateState(job_.statePath, [&](PlatformState& state) {
      if (job_.request < state.deploymentRequests.size()) state.deploymentRequests[job_.request].cancelled = true;
    });
  } catch (const ScenarioError& e) {
    ReportProblem(e.what());
    return E_FAIL;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  status_ = abi::AsyncStatus::Canceled;
  ::SetEvent(cancelled_.get());
  ::SetEvent(wake_.get());
  return S_OK;
}

HRESULT DeploymentOperation::Close() {
  ComPtr<abi::IDeploymentProgressHandler> progress;
  ComPtr<abi::IDeploymentCompletedHandler> completed;
  const std::lock_guard<std::mutex> hold(lock_);
  if (closed_) return S_OK;
  if (status_ == abi::AsyncStatus::Started) return kIllegalStateChange;
  closed_ = true;
  // Released after the lock (declared before the guard): a handler's last
  // Release may run its owner's code.
  progress = std::move(progress_);
  completed = std::move(completed_);
  return S_OK;
}

}  // namespace tavo::sim
