// IIterable<Package> and its iterator over a fixed list of package records, as
// the package manager's Find methods return them.
#pragma once

#include <vector>
#include <utility>

#include "common/winrt/abi.h"
#include "tests/simplatform/package_store.h"
#include "tests/simplatform/runtime_object.h"

namespace tavo::sim {

class PackageIterable final : public RuntimeObject<abi::IIterable_Package> {
 public:
  explicit PackageIterable(std::vector<PackagePtr> packages) : packages_(std::move(packages)) {}

  HRESULT STDMETHODCALLTYPE First(abi::IIterator_Package** first) override;

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override;

 private:
  std::vector<PackagePtr> packages_;
};

// Not thread-safe, like the iterators Windows hands out.
class PackageIterator final : public RuntimeObject<abi::IIterator_Package> {
 public:
  explicit PackageIterator(std::vector<PackagePtr> packages) : packages_(std::move(packages)) {}

  HRESULT STDMETHODCALLTYPE get_Current(abi::IPackage** current) override;
  HRESULT STDMETHODCALLTYPE get_HasCurrent(boolean* hasCurrent) override;
  HRESULT STDMETHODCALLTYPE MoveNext(boolean* hasCurrent) override;
  HRESULT STDMETHODCALLTYPE GetMany(UINT32 capacity, abi::IPackage** items, UINT32* actual) override;

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override;

 private:
  std::vector<PackagePtr> packages_;
  std::size_t next_ = 0;
};

}  // namespace tavo::sim
