// Windows.Foundation.Uri: its activation factory (CreateUri) and Uri objects
// that answer AbsoluteUri, RawUri and DisplayUri with the text they were made
// from (Windows would normalise it; the worker's texts are already normal).
#pragma once

#include <activation.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "common/winrt/abi.h"
#include "tests/simplatform/runtime_object.h"
#include "tests/simplatform/scenario.h"

namespace tavo::sim {

class Uri final : public RuntimeObject<abi::IUriRuntimeClass> {
 public:
  // `absoluteUriFailure`: the code get_AbsoluteUri fails with, if any.
  explicit Uri(std::wstring text, std::optional<HRESULT> absoluteUriFailure = std::nullopt)
      : text_(std::move(text)), absoluteUriFailure_(absoluteUriFailure) {}

  HRESULT STDMETHODCALLTYPE get_AbsoluteUri(HSTRING* value) override;
  HRESULT STDMETHODCALLTYPE get_DisplayUri(HSTRING* value) override { return ReturnString(text_, value); }
  HRESULT STDMETHODCALLTYPE get_Domain(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Extension(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Fragment(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Host(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Password(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Path(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Query(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_QueryParsed(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RawUri(HSTRING* value) override { return ReturnString(text_, value); }
  HRESULT STDMETHODCALLTYPE get_SchemeName(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_UserName(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Port(INT32*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Suspicious(boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Equals(abi::IUriRuntimeClass*, boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CombineUri(HSTRING, abi::IUriRuntimeClass**) override { return E_NOTIMPL; }

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override { return abi::kClassUri; }

 private:
  std::wstring text_;
  std::optional<HRESULT> absoluteUriFailure_;
};

// The activation factory of Uri: CreateUri accepts an absolute URI ("scheme:"
// followed by at least one character) and fails with E_INVALIDARG otherwise.
class UriFactory final : public RuntimeObject<IActivationFactory, abi::IUriRuntimeClassFactory> {
 public:
  explicit UriFactory(std::shared_ptr<const Scenario> scenario) : scenario_(std::move(scenario)) {}

  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateUri(HSTRING uri, abi::IUriRuntimeClass** instance) override;
  HRESULT STDMETHODCALLTYPE CreateWithRelativeUri(HSTRING, HSTRING, abi::IUriRuntimeClass**) override {
    return E_NOTIMPL;
  }

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override { return abi::kClassUri; }

 private:
  std::shared_ptr<const Scenario> scenario_;
};

}  // namespace tavo::sim
