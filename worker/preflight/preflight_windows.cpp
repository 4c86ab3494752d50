// Preflight's questions, answered by Windows.
#include <windows.h>

#include <vector>

#include "common/handles.h"
#include "common/service_config.h"
#include "common/winrt/abi.h"
#include "common/winrt/winrt.h"
#include "worker/preflight/preflight.h"

namespace tavo::worker {
namespace {

constexpr wchar_t kAppInstallerName[] = L"Microsoft.DesktopAppInstaller";
constexpr wchar_t kAppInstallerPublisher[] =
    L"CN=Microsoft Corporation, O=Microsoft Corporation, L=Redmond, S=Washington, C=US";

class WindowsPlatform final : public PreflightPlatform {
 public:
  HostFacts Facts() override { return ReadHostFacts(); }

  bool IsMethodPresent(const std::wstring& type, const std::wstring& method) override {
    auto statics = GetActivationFactory<abi::IApiInformationStatics>(abi::kClassApiInformation,
                                                                     abi::IID_IApiInformationStatics);
    HString typeName(type), methodName(method);
    boolean present = 0;
    CheckHr(statics->IsMethodPresent(typeName.get(), methodName.get(), &present));
    return present != 0;
  }

  std::optional<uint32_t> ServiceStartType(const std::wstring& name) override {
    const ServiceStartTypeRead read = ReadServiceStartType(name);
    // Not allowed to open the manager or the service: the start type is unknown.
    if (!read.opened && read.error == ERROR_ACCESS_DENIED) return std::nullopt;
    if (read.error != 0) ThrowWin32(read.error);
    return read.startType;
  }

  OptionalService DeliveryOptimizationState() override {
    const std::optional<bool> available = DeliveryOptimizationAvailable();
    return {available.has_value(), available.value_or(false)};
  }

  WindowsDirectory ReadWindowsDirectory() override {
    wchar_t buffer[260] = {};
    UINT length = ::GetWindowsDirectoryW(buffer, 260);
    return {length, length < 260 ? std::wstring(buffer, length) : std::wstring()};
  }

  FreeSpace FreeBytes(const std::wstring& root) override {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) return {false, 0, ::GetLastError()};
    return {true, available.QuadPart, 0};
  }

  std::vector<std::wstring> DesktopAppInstallerVersions() override {
    auto manager = ActivateInstance<abi::IPackageManager>(abi::kClassPackageManager, abi::IID_IPackageManager);
    HString user, name(kAppInstallerName), publisher(kAppInstallerPublisher);
    ComPtr<abi::IIterable_Package> packages;
    CheckHr(manager->FindPackagesByUserSecurityIdNamePublisher(user.get(), name.get(), publisher.get(),
                                                                packages.put()));
    std::vector<std::wstring> versions;
    if (!packages) return versions;
    ComPtr<abi::IIterator_Package> it;
    CheckHr(packages->First(it.put()));
    boolean has = 0;
    CheckHr(it->get_HasCurrent(&has));
    while (has) {
      ComPtr<abi::IPackage> package;
      CheckHr(it->get_Current(package.put()));
      ComPtr<abi::IPackageId> id;
      CheckHr(package->get_Id(id.put()));
      abi::PackageVersion v{};
      CheckHr(id->get_Version(&v));
      versions.push_back(std::to_wstring(v.Major) + L"." + std::to_wstring(v.Minor) + L"." + std::to_wstring(v.Build) +
                         L"." + std::to_wstring(v.Revision));
      CheckHr(it->MoveNext(&has));
    }
    return versions;
  }

 private:
  // Access denied lets the check pass; any other failure is thrown.
};

}  // namespace

PreflightPlatform& WindowsPreflightPlatform() {
  static WindowsPlatform platform;
  return platform;
}

}  // namespace tavo::worker
