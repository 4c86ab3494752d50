// Windows.ApplicationModel.Package and PackageId objects over one package record.
#pragma once

#include <utility>

#include "common/winrt/abi.h"
#include "tests/simplatform/package_store.h"
#include "tests/simplatform/runtime_object.h"

namespace tavo::sim {

class Package final : public RuntimeObject<abi::IPackage, abi::IPackage3, abi::IPackage6> {
 public:
  explicit Package(PackagePtr record) : record_(std::move(record)) {}

  // IPackage
  HRESULT STDMETHODCALLTYPE get_Id(abi::IPackageId** value) override;
  HRESULT STDMETHODCALLTYPE get_InstalledLocation(IInspectable**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IsFramework(boolean*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Dependencies(IInspectable**) override { return E_NOTIMPL; }
  // IPackage3
  HRESULT STDMETHODCALLTYPE get_Status(abi::IPackageStatus** value) override;
  HRESULT STDMETHODCALLTYPE get_InstalledDate(abi::DateTime*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetAppListEntriesAsync(IInspectable**) override { return E_NOTIMPL; }
  // IPackage6: null without an App Installer association.
  HRESULT STDMETHODCALLTYPE GetAppInstallerInfo(abi::IAppInstallerInfo** result) override;
  HRESULT STDMETHODCALLTYPE CheckUpdateAvailabilityAsync(IInspectable**) override { return E_NOTIMPL; }

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
  // The package's text for a getter, unless the scenario makes `point` fail.
  HRESULT Text(const char* point, std::wstring_view text, HSTRING* value) const;

  PackagePtr record_;
};

}  // namespace tavo::sim
