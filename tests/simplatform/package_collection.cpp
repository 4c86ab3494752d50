#include "tests/simplatform/package_collection.h"

#include "tests/simplatform/package.h"

namespace tavo::sim {
namespace {

// E_BOUNDS: past the end of a collection (not in MinGW's winerror.h).
constexpr HRESULT kOutOfBounds = static_cast<HRESULT>(0x8000000B);

constexpr std::wstring_view kIterableName =
    L"Windows.Foundation.Collections.IIterable`1<Windows.ApplicationModel.Package>";
constexpr std::wstring_view kIteratorName =
    L"Windows.Foundation.Collections.IIterator`1<Windows.ApplicationModel.Package>";

}  // namespace

void* PackageIterable::Find(REFIID iid) {
  return iid == abi::IID_IIterable_Package ? static_cast<abi::IIterable_Package*>(this) : nullptr;
}

std::wstring_view PackageIterable::ClassName() const { return kIterableName; }

HRESULT PackageIterable::First(abi::IIterator_Package** first) {
  if (!first) return E_POINTER;
  return Guard([&] {
    *first = new PackageIterator(packages_);
    return S_OK;
  });
}

void* PackageIterator::Find(REFIID iid) {
  return iid == abi::IID_IIterator_Package ? static_cast<abi::IIterator_Package*>(this) : nullptr;
}

std::wstring_view PackageIterator::ClassName() const { return kIteratorName; }

HRESULT PackageIterator::get_Current(abi::IPackage** current) {
  if (!current) return E_POINTER;
  *current = nullptr;
  if (next_ >= packages_.size()) return kOutOfBounds;
  return Guard([&] {
    *current = new Package(packages_[next_]);
    return S_OK;
  });
}

HRESULT PackageIterator::get_HasCurrent(boolean* hasCurrent) {
  if (!hasCurrent) return E_POINTER;
  *hasCurrent = next_ < packages_.size();
  return S_OK;
}

HRESULT PackageIterator::MoveNext(boolean* hasCurrent) {
  if (!hasCurrent) return E_POINTER;
  if (next_ < packages_.size()) ++next_;
  *hasCurrent = next_ < packages_.size();
  return S_OK;
}

HRESULT PackageIterator::GetMany(UINT32 capacity, abi::IPackage** items, UINT32* actual) {
  if (!actual || (capacity > 0 && !items)) return E_POINTER;
  *actual = 0;
  return Guard([&] {
    while (*actual < capacity && next_ < packages_.size()) {
      items[*actual] = new Package(packages_[next_]);
      ++*actual;
      ++next_;
    }
    return S_OK;
  });
}

}  // namespace tavo::sim
