// The calling thread's COM apartment, for the owner's lifetime: initialised
// in the constructor, uninitialised in the destructor only when that
// succeeded (a thread already in another mode keeps it).
#pragma once

#include <objbase.h>

namespace tavo {

class ComApartment {
 public:
  explicit ComApartment(DWORD mode) : result_(::CoInitializeEx(nullptr, mode)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  // What CoInitializeEx returned.
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace tavo
