// Windows.Foundation.Metadata.ApiInformation: a static class, so its activation
// factory is the object that answers IApiInformationStatics.
#pragma once

#include <activation.h>

#include <memory>
#include <utility>

#include "common/winrt/abi.h"
#include "tests/simplatform/runtime_object.h"
#include "tests/simplatform/scenario.h"

namespace tavo::sim {

class ApiInformation final : public RuntimeObject<IActivationFactory, abi::IApiInformationStatics> {
 public:
  explicit ApiInformation(std::shared_ptr<const Scenario> scenario) : scenario_(std::move(scenario)) {}

  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE IsTypePresent(HSTRING, boolean*) override { return E_NOTIMPL; }
  // Present unless the scenario lists "<typeName>.<methodName>" as missing.
  HRESULT STDMETHODCALLTYPE IsMethodPresent(HSTRING typeName, HSTRING methodName, boolean* value) override;
  HRESULT STDMETHODCALLTYPE IsMethodPresentWithArity(HSTRING, HSTRING, UINT32, boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsEventPresent(HSTRING, HSTRING, boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsPropertyPresent(HSTRING, HSTRING, boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsReadOnlyPropertyPresent(HSTRING, HSTRING, boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsWriteablePropertyPresent(HSTRING, HSTRING, boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsEnumNamedValuePresent(HSTRING, HSTRING, boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsApiContractPresentByMajor(HSTRING, UINT16, boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsApiContractPresentByMajorAndMinor(HSTRING, UINT16, UINT16, boolean*) override {
    return E_NOTIMPL;
  }

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override { return abi::kClassApiInformation; }

 private:
  std::shared_ptr<const Scenario> scenario_;
};

}  // namespace tavo::sim
