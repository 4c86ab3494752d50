// The exceptions that cross from the worker's stages to its entry function.
#pragma once

#include <string>

#include "common/winrt/hresult_error.h"

namespace tavo::worker {

// A failure with a stable operation name and a prepared user message.
class SetupError : public hresult_error {
 public:
  SetupError(HRESULT code, std::wstring message, std::wstring operation, std::wstring detail = {})
      : hresult_error(code, std::move(message), nullptr),
        operation_(std::move(operation)),
        detail_(detail.empty() ? operation_ : std::move(detail)) {}

  const std::wstring& operation() const { return operation_; }
  const std::wstring& detail() const { return detail_; }
  bool recorded() const { return recorded_; }
  void set_recorded(bool value) { recorded_ = value; }

 private:
  std::wstring operation_;
  std::wstring detail_;
  bool recorded_ = false;
};

// Post-deployment verification gave up; verification has recorded its failures.
class VerificationFailure : public SetupError {
 public:
  VerificationFailure(HRESULT code, std::wstring message)
      : SetupError(code, std::move(message), L"installer.check_failed") {
    set_recorded(true);
  }
};

}  // namespace tavo::worker
