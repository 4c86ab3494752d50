#include "tests/simplatform/api_information.h"

namespace tavo::sim {

void* ApiInformation::Find(REFIID iid) {
  if (iid == __uuidof(IActivationFactory)) return static_cast<IActivationFactory*>(this);
  if (iid == abi::IID_IApiInformationStatics) return static_cast<abi::IApiInformationStatics*>(this);
  return nullptr;
}

HRESULT ApiInformation::IsMethodPresent(HSTRING typeName, HSTRING methodName, boolean* value) {
  if (!value) return E_POINTER;
  *value = FALSE;
  if (const auto failure = scenario_->Failure("ApiInformation.IsMethodPresent")) return *failure;
  return Guard([&] {
    *value = scenario_->IsMethodPresent(ArgumentText(typeName), ArgumentText(methodName)) ? TRUE : FALSE;
    return S_OK;
  });
}

}  // namespace tavo::sim
