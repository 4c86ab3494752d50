// The floor of a passing `Tavo.Deploy.exe --check` run: the same Windows calls
// in the same order and nothing else. COM start, the host facts, the two API
// presence queries, the AppX service query, the Delivery Optimization service
// query, the disk query, the App Installer lookup, the two event lines on
// stdout, one open-append-close of the trace sidecar per kept entry and the
// report's atomic write (temporary file, flush, replacing move).
//
// usage: tavo_bench_check_probe REPORT_PATH
#include <windows.h>

#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "common/handles.h"
#include "common/host_facts.h"
#include "common/winrt/abi.h"
#include "common/winrt/winrt.h"

namespace {

void WriteOut(const std::string& line) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// The sidecar is opened for each line, as the worker's log does.
void AppendTrace(const std::wstring& path, bool first, const std::string& line) {
  tavo::UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      first ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file) ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

bool MethodPresent(const wchar_t* type, const wchar_t* method) {
  auto statics = tavo::GetActivationFactory<tavo::abi::IApiInformationStatics>(
      tavo::abi::kClassApiInformation, tavo::abi::IID_IApiInformationStatics);
  tavo::HString typeName(type), methodName(method);
  boolean present = 0;
  tavo::CheckHr(statics->IsMethodPresent(typeName.get(), methodName.get(), &present));
  return present != 0;
}

DWORD ServiceStartType(const wchar_t* name) {
  tavo::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return 0;
  tavo::UniqueServiceHandle service(::OpenServiceW(manager.get(), name, SERVICE_QUERY_CONFIG));
  if (!service) return 0;
  DWORD needed = 0;
  ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!::QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()), needed, &needed))
    return 0;
  return reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data())->dwStartType;
}

std::wstring AppInstallerVersion() {
  auto manager = tavo::ActivateInstance<tavo::abi::IPackageManager>(tavo::abi::kClassPackageManager,
                                                                    tavo::abi::IID_IPackageManager);
  tavo::HString user, name(L"Microsoft.DesktopAppInstaller"),
      publisher(L"CN=Microsoft Corporation, O=Microsoft Corporation, L=Redmond, S=Washington, C=US");
  tavo::ComPtr<tavo::abi::IIterable_Package> packages;
  tavo::CheckHr(manager->FindPackagesByUserSecurityIdNamePublisher(user.get(), name.get(), publisher.get(),
                                                                  packages.put()));
  std::wstring version;
  if (!packages) return version;
  tavo::ComPtr<tavo::abi::IIterator_Package> it;
  tavo::CheckHr(packages->First(it.put()));
  boolean has = 0;
  tavo::CheckHr(it->get_HasCurrent(&has));
  while (has) {
    tavo::ComPtr<tavo::abi::IPackage> package;
    tavo::CheckHr(it->get_Current(package.put()));
    tavo::ComPtr<tavo::abi::IPackageId> id;
    tavo::CheckHr(package->get_Id(id.put()));
    tavo::abi::PackageVersion v{};
    tavo::CheckHr(id->get_Version(&v));
    version = std::to_wstring(v.Major) + L"." + std::to_wstring(v.Minor) + L"." + std::to_wstring(v.Build) + L"." +
              std::to_wstring(v.Revision);
    tavo::CheckHr(it->MoveNext(&has));
  }
  return version;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 87;
  const std::wstring report = argv[1];
  const std::wstring trace = report + L".trace.jsonl";
  try {
    tavo::CheckHr(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    std::wstring version = tavo::WindowsVersionText();  // the start entry's detail
    AppendTrace(trace, true, "{\"operation\":\"worker.start\"}\n");
    WriteOut("{\"event\":\"checking\"}\n");
    tavo::HostFacts facts = tavo::ReadHostFacts();
    bool present = MethodPresent(L"Windows.Management.Deployment.PackageManager", L"AddPackageByAppInstallerFileAsync") &&
                   MethodPresent(L"Windows.ApplicationModel.Package", L"GetAppInstallerInfo");
    DWORD appx = ServiceStartType(L"AppXSvc");
    DWORD doSvc = ServiceStartType(L"DoSvc");
    AppendTrace(trace, false, "{\"operation\":\"preflight.download_service.DoSvc\"}\n");
    wchar_t windows[260] = {};
    UINT length = ::GetWindowsDirectoryW(windows, 260);
    ULARGE_INTEGER available{};
    std::wstring root = length >= 2 ? std::wstring(windows, 1) + L":\\" : L"C:\\";
    ::GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr);
    AppendTrace(trace, false, "{\"operation\":\"preflight.system_disk\"}\n");
    std::wstring installer = AppInstallerVersion();
    WriteOut("{\"event\":\"checked\"}\n");
    std::string body = "{\"probe\":true,\"present\":" + std::string(present ? "true" : "false") +
                       ",\"appx\":" + std::to_string(appx) + ",\"doSvc\":" + std::to_string(doSvc) +
                       ",\"build\":" + std::to_string(facts.windowsBuild) + ",\"versionLength\":" +
                       std::to_string(version.size() + installer.size()) + ",\"free\":" +
                       std::to_string(available.QuadPart) + std::string(3000, ' ') + "}";
    if (tavo::AtomicWrite(report, body) != 0) return 1;
  } catch (const std::exception&) {
    return 2;
  }
  return 0;
}
