#include "tests/simplatform/uri.h"

#include <cwctype>

namespace tavo::sim {
namespace {

// RFC 3986: a scheme is a letter followed by letters, digits, '+', '-' or '.'.
bool IsAbsoluteUri(std::wstring_view text) {
  const std::size_t colon = text.find(L':');
  if (colon == std::wstring_view::npos || colon == 0 || colon + 1 == text.size()) return false;
  if (!std::iswalpha(text[0]) || text[0] > 0x7F) return false;
  for (wchar_t c : text.substr(0, colon)) {
    if (c > 0x7F || !(std::iswalnum(c) || c == L'+' || c == L'-' || c == L'.')) return false;
  }
  for (wchar_t c : text) {
    if (c <= L' ') return false;  // no white space or control characters
  }
  return true;
}

}  // namespace

void* Uri::Find(REFIID iid) {
  return iid == abi::IID_IUriRuntimeClass ? static_cast<abi::IUriRuntimeClass*>(this) : nullptr;
}

HRESULT Uri::get_AbsoluteUri(HSTRING* value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  if (absoluteUriFailure_) return *absoluteUriFailure_;
  return ReturnString(text_, value);
}

void* UriFactory::Find(REFIID iid) {
  if (iid == __uuidof(IActivationFactory)) return static_cast<IActivationFactory*>(this);
  if (iid == abi::IID_IUriRuntimeClassFactory) return static_cast<abi::IUriRuntimeClassFactory*>(this);
  return nullptr;
}

HRESULT UriFactory::CreateUri(HSTRING uri, abi::IUriRuntimeClass** instance) {
  if (!instance) return E_POINTER;
  *instance = nullptr;
  if (const auto failure = scenario_->Failure("Uri.CreateUri")) return *failure;
  return Guard([&] {
    std::wstring text = ArgumentText(uri);
    if (!IsAbsoluteUri(text)) return E_INVALIDARG;
    *instance = new Uri(std::move(text));
    return S_OK;
  });
}

}  // namespace tavo::sim
