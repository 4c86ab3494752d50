// The operation that AddPackageByAppInstallerFileAsync returns: an
// IAsyncOperationWithProgress<DeploymentResult, DeploymentProgress> that also
// answers IAsyncInfo, with the contract of Windows' own asynchronous operations:
// - progress and completion are delivered on a thread of the operation's own;
// - a completion handler assigned after completion is invoked at once, on the
//   assigning thread; a second assignment fails with E_ILLEGAL_DELEGATE_ASSIGNMENT;
// - Cancel() while running turns the status to Canceled at once, and the
//   completion handler then runs with Canceled; the error code stays S_OK;
// - GetResults: the result when Completed; the failure code when Error;
//   E_ILLEGAL_METHOD_CALL while Started and after Canceled;
// - Close() while Started fails with E_ILLEGAL_STATE_CHANGE; after Close every
//   call but Close fails with E_ILLEGAL_METHOD_CALL.
// The thread starts the attempt once a handler is assigned or Cancel() is
// called (at the latest after 10 s), so that no progress step of a test is
// lost between the call's return and the caller's put_Progress.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "common/handles.h"
#include "common/winrt/abi.h"
#include "common/winrt/com_ptr.h"
#include "tests/simplatform/runtime_object.h"
#include "tests/simplatform/scenario.h"

namespace tavo::sim {

// HRESULTs of the asynchronous-operation contract (not in MinGW's winerror.h).
inline constexpr HRESULT kIllegalStateChange = static_cast<HRESULT>(0x8000000D);
inline constexpr HRESULT kIllegalMethodCall = static_cast<HRESULT>(0x8000000E);
inline constexpr HRESULT kIllegalDelegateAssignment = static_cast<HRESULT>(0x80000018);

class DeploymentResult final : public RuntimeObject<abi::IDeploymentResult> {
 public:
  DeploymentResult(std::wstring errorText, GUID activityId, HRESULT extendedErrorCode)
      : errorText_(std::move(errorText)), activityId_(activityId), extendedErrorCode_(extendedErrorCode) {}

  HRESULT STDMETHODCALLTYPE get_ErrorText(HSTRING* value) override { return ReturnString(errorText_, value); }
  HRESULT STDMETHODCALLTYPE get_ActivityId(GUID* value) override;
  HRESULT STDMETHODCALLTYPE get_ExtendedErrorCode(HRESULT* value) override;

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override { return abi::kClassDeploymentResult; }

 private:
  std::wstring errorText_;
  GUID activityId_;
  HRESULT extendedErrorCode_;
};

// What one deployment attempt does.
struct DeploymentJob {
  DeploymentAttempt attempt;
  std::optional<PackageRecord> package;  // registered when the attempt succeeds
  std::wstring statePath;                // where (see state_file.h)
  std::size_t request = 0;               // its entry in the state's deploymentRequests
};

class DeploymentOperation final : public RuntimeObject<abi::IDeploymentOperation, abi::IAsyncInfo> {
 public:
  // Creates the operation and starts the attempt: done before returning
  // (completeBeforeReturn) or on the operation's thread.
  static HRESULT Start(DeploymentJob job, abi::IDeploymentOperation** operation);

  // IDeploymentOperation
  HRESULT STDMETHODCALLTYPE put_Progress(abi::IDeploymentProgressHandler* handler) override;
  HRESULT STDMETHODCALLTYPE get_Progress(abi::IDeploymentProgressHandler** handler) override;
  HRESULT STDMETHODCALLTYPE put_Completed(abi::IDeploymentCompletedHandler* handler) override;
  HRESULT STDMETHODCALLTYPE get_Completed(abi::IDeploymentCompletedHandler** handler) override;
  HRESULT STDMETHODCALLTYPE GetResults(abi::IDeploymentResult** results) override;
  // IAsyncInfo
  HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override;
  HRESULT STDMETHODCALLTYPE get_Status(abi::AsyncStatus* status) override;
  HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* errorCode) override;
  HRESULT STDMETHODCALLTYPE Cancel() override;
  HRESULT STDMETHODCALLTYPE Close() override;

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override;

 private:
  explicit DeploymentOperation(DeploymentJob job);

  static DWORD WINAPI ThreadMain(void* operation);
  // The thread's work: wait for a handler, deliver the progress steps, finish.
  void Run();
  void ReportProgress(const abi::DeploymentProgress& progress);
  void DeliverLateProgress(const abi::DeploymentProgress& progress);
  // Ends the attempt (unless cancelled) and invokes the completion handler.
  void Finish();
  // Under lock_: the attempt's outcome into status_, errorCode_ and result_;
  // registers the package on success.
  void Conclude();

  const DeploymentJob job_;
  const UINT32 id_;
  GUID activityId_{};
  HMODULE module_ = nullptr;      // pinned for the thread's lifetime
  UniqueKernelHandle wake_;       // manual reset: a handler was assigned, or Cancel()
  UniqueKernelHandle cancelled_;  // manual reset: Cancel()

  std::mutex lock_;  // guards the members below
  abi::AsyncStatus status_ = abi::AsyncStatus::Started;
  HRESULT errorCode_ = S_OK;
  bool finished_ = false;  // the completion handler has been (or is being) taken
  bool completedAssigned_ = false;
  bool closed_ = false;
  ComPtr<abi::IDeploymentProgressHandler> progress_;
  ComPtr<abi::IDeploymentCompletedHandler> completed_;
  ComPtr<abi::IDeploymentResult> result_;
};

}  // namespace tavo::sim
