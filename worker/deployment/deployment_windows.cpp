// AddPackageByAppInstallerFileAsync as a real asynchronous operation: progress
// and completion handlers, a wait on completion, and cancellation through the
// registered operation.
#include <windows.h>
#include <objbase.h>

#include "build_info.h"
#include "common/handles.h"
#include "common/winrt/abi.h"
#include "common/winrt/delegate.h"
#include "common/winrt/winrt.h"
#include "worker/run/cancel.h"
#include "worker/deployment/deployment.h"
#include "worker/deployment/deployment_windows.h"

namespace tavo::worker {
namespace {

class ProgressHandler final
    : public DelegateBase<abi::IDeploymentProgressHandler, abi::IID_IDeploymentProgressHandler> {
 public:
  explicit ProgressHandler(const PackageDeployer::ProgressFn& fn) : fn_(fn) {}
  HRESULT STDMETHODCALLTYPE Invoke(abi::IDeploymentOperation*, abi::DeploymentProgress progress) override {
    // Exceptions must not cross into Windows: they go back as an HRESULT.
    try {
      fn_(static_cast<int32_t>(progress.state), static_cast<int32_t>(progress.percentage));
      return S_OK;
    } catch (const hresult_error& error) {
      return error.code();
    } catch (...) {
      return E_FAIL;
    }
  }

 private:
  PackageDeployer::ProgressFn fn_;
};

class CompletedHandler final
    : public DelegateBase<abi::IDeploymentCompletedHandler, abi::IID_IDeploymentCompletedHandler> {
 public:
  CompletedHandler() : done_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  HRESULT STDMETHODCALLTYPE Invoke(abi::IDeploymentOperation*, abi::AsyncStatus) override {
    ::SetEvent(done_.get());
    return S_OK;
  }
  HANDLE Done() const { return done_.get(); }

 private:
  // Owned here: Windows may complete an operation that the worker gave up
  // waiting for, and the handler then still signals its own event.
  UniqueKernelHandle done_;
};

// Assigns both handlers and waits for the completion.
void AttachAndWait(abi::IDeploymentOperation& operation, const PackageDeployer::ProgressFn& onProgress) {
  auto* handler = new CompletedHandler();
  auto completed = ComPtr<abi::IDeploymentCompletedHandler>::Attach(handler);
  if (!handler->Done()) ThrowLastError();
  auto progress = ComPtr<abi::IDeploymentProgressHandler>::Attach(new ProgressHandler(onProgress));
  CheckHr(operation.put_Progress(progress.get()));
  // A handler assigned after completion is invoked at once, so no completion is missed.
  CheckHr(operation.put_Completed(completed.get()));
  if (::WaitForSingleObject(handler->Done(), INFINITE) != WAIT_OBJECT_0) ThrowLastError();
}

std::wstring GuidText(const GUID& guid) {
  if (guid == GUID{}) return {};
  wchar_t text[39] = {};
  ::StringFromGUID2(guid, text, 39);
  return text;
}

class WindowsPackageDeployer final : public PackageDeployer {
 public:
  explicit WindowsPackageDeployer(ComPtr<abi::IPackageManager> manager) : manager_(std::move(manager)) {}

  DeploymentOutcome Deploy(const ProgressFn& onProgress) override {
    ComPtr<abi::IPackageManager6> manager6;
    CheckHr(manager_.As(abi::IID_IPackageManager6, manager6));
    auto uris = GetActivationFactory<abi::IUriRuntimeClassFactory>(abi::kClassUri, abi::IID_IUriRuntimeClassFactory);
    ComPtr<abi::IUriRuntimeClass> uri;
    CheckHr(uris->CreateUri(HString(build::kDescriptorUri).get(), uri.put()));

    ComPtr<abi::IDeploymentOperation> operation;
    CheckHr(manager6->AddPackageByAppInstallerFileAsync(uri.get(), abi::AddPackageByAppInstallerOptions::None,
                                                        nullptr, operation.put()));
    ComPtr<abi::IAsyncInfo> info;
    CheckHr(operation.As(abi::IID_IAsyncInfo, info));
    RegisterActiveDeployment(ComPtr<IUnknown>::Copy(operation.get()));
    try {
      AttachAndWait(*operation.get(), onProgress);
    } catch (...) {
      // Windows would go on installing behind a run that reports a failure,
      // and "Try again" would meet that deployment. The failure in flight is
      // the one to report, so a failing Cancel() adds nothing to it.
      (void)info->Cancel();
      throw;
    }
    RegisterActiveDeployment(nullptr);

    abi::AsyncStatus status = abi::AsyncStatus::Started;
    CheckHr(info->get_Status(&status));
    // A cancelled operation has no results (GetResults fails with
    // E_ILLEGAL_METHOD_CALL): the cancellation is the outcome.
    if (status == abi::AsyncStatus::Canceled) throw hresult_error(HRESULT_FROM_WIN32(ERROR_CANCELLED));
    ComPtr<abi::IDeploymentResult> result;
    HRESULT fetched = operation->GetResults(result.put());
    HRESULT failure = S_OK;
    if (status == abi::AsyncStatus::Error) {
      CheckHr(info->get_ErrorCode(&failure));
      // A failed operation is never a success, even without a code of its own.
      if (!FAILED(failure)) failure = E_FAIL;
      // The operation's own code is the failure. The package manager may still
      // hand out the result of a failed deployment; its activity id, error text
      // and ExtendedErrorCode are worth keeping.
      if (FAILED(fetched) || !result) throw hresult_error(failure);
    } else {
      CheckHr(fetched);
      if (!result) throw hresult_error(E_POINTER);
    }

    DeploymentOutcome outcome;
    GUID activity{};
    CheckHr(result->get_ActivityId(&activity));
    outcome.activityId = GuidText(activity);
    HRESULT extended = S_OK;
    CheckHr(result->get_ExtendedErrorCode(&extended));
    outcome.extendedErrorCode = extended;
    outcome.errorCode = failure;
    HString text;
    CheckHr(result->get_ErrorText(text.put()));
    outcome.errorText = text.str();
    return outcome;
  }

 private:
  ComPtr<abi::IPackageManager> manager_;
};

}  // namespace

std::unique_ptr<PackageDeployer> MakeWindowsPackageDeployer(ComPtr<abi::IPackageManager> manager) {
  return std::make_unique<WindowsPackageDeployer>(std::move(manager));
}

}  // namespace tavo::worker
