// Windows.ApplicationModel.Package and PackageId objects over one package record.
#pragma once

#include <utility>

#include "common/winrt/abi.h"
#include "tests/simplatform/package_store.h"
#include "tests/simplatform/runtime_object.h"

namespace tavo::sim {

class Package final : public RuntimeObject<abi::IPackage> {
 public:
  explicit Package(PackagePtr record) : record_(std::move(record)) {}

  HRESULT STDMETHODCALLTYPE get_Id(abi::IPackageId** value) override;
  HRESULT STDMETHODCALLTYPE get_InstalledLocation(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IsFramework(boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Dependencies(IInspectable**) override { return E_NOTIMPL; }

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override { return abi::kClassPackage; }

 private:
  PackagePtr record_;
};

class PackageId final : public RuntimeObject<abi::IPackageId> {
 public:
  explicit PackageId(PackagePtr record) : record_(std::move(record)) {}

  HRESULT STDMETHODCALLTYPE get_Name(HSTRING* value) override;
  HRESULT STDMETHODCALLTYPE get_Version(abi::PackageVersion* value) override;
  HRESULT STDMETHODCALLTYPE get_Architecture(abi::ProcessorArchitecture* value) override;
  HRESULT STDMETHODCALLTYPE get_ResourceId(HSTRING* value) override;
  HRESULT STDMETHODCALLTYPE get_Publisher(HSTRING* value) override;
  HRESULT STDMETHODCALLTYPE get_PublisherId(HSTRING* value) override;
  HRESULT STDMETHODCALLTYPE get_FullName(HSTRING* value) override;
  HRESULT STDMETHODCALLTYPE get_FamilyName(HSTRING* value) override;

 protected:
  void* Find(REFIID iid) override;
  std::wstring_view ClassName() const override { return abi::kClassPackageId; }

 private:
  PackagePtr record_;
};

}  // namespace tavo::sim
