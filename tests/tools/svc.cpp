// tavo_svc: sets up the service facts that preflight reads in the test prefix.
//
// usage: tavo_svc create|disable|enable|delete NAME
//   create   a demand-start service with a dummy binary (an existing one is set
//            back to demand start)
//   disable  start type "disabled"
//   enable   start type "demand"
//   delete   remove the service; a missing one is not an error
// Exit code: 0, the Win32 error of the failing call, or 87 for a bad command line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/handles.h"

namespace {

using tavo::UniqueServiceHandle;

// Never started by the tests; it only has to be a plausible image path.
constexpr wchar_t kDummyBinary[] = L"C:\\windows\\system32\\svchost.exe -k TavoTestDummy";

DWORD Report(const wchar_t* what, const wchar_t* name) {
  DWORD error = GetLastError();
  fwprintf(stderr, L"tavo_svc: %ls %ls failed (error %lu)\n", what, name, error);
  return error ? error : ERROR_GEN_FAILURE;
}

DWORD SetStartType(SC_HANDLE service, DWORD start_type, const wchar_t* name) {
  if (!ChangeServiceConfigW(service, SERVICE_NO_CHANGE, start_type, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr)) {
    return Report(L"ChangeServiceConfigW", name);
  }
  return 0;
}

DWORD Create(SC_HANDLE manager, const wchar_t* name) {
  UniqueServiceHandle service(CreateServiceW(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                             SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, kDummyBinary, nullptr,
                                             nullptr, nullptr, nullptr, nullptr));
  if (service) return 0;
  if (GetLastError() != ERROR_SERVICE_EXISTS) return Report(L"CreateServiceW", name);
  service.reset(OpenServiceW(manager, name, SERVICE_CHANGE_CONFIG));
  if (!service) return Report(L"OpenServiceW", name);
  return SetStartType(service.get(), SERVICE_DEMAND_START, name);
}

DWORD Delete(SC_HANDLE manager, const wchar_t* name) {
  UniqueServiceHandle service(OpenServiceW(manager, name, DELETE));
  if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : Report(L"OpenServiceW", name);
  if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
    return Report(L"DeleteService", name);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 || !*argv[2]) {
    fwprintf(stderr, L"usage: tavo_svc create|disable|enable|delete NAME\n");
    return ERROR_INVALID_PARAMETER;
  }
  std::wstring verb = argv[1];
  const wchar_t* name = argv[2];
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return static_cast<int>(Report(L"OpenSCManagerW for", name));

  DWORD result = ERROR_INVALID_PARAMETER;
  if (verb == L"create") {
    result = Create(manager.get(), name);
  } else if (verb == L"delete") {
    result = Delete(manager.get(), name);
  } else if (verb == L"disable" || verb == L"enable") {
    UniqueServiceHandle service(OpenServiceW(manager.get(), name, SERVICE_CHANGE_CONFIG));
    if (!service) return static_cast<int>(Report(L"OpenServiceW", name));
    result = SetStartType(service.get(), verb == L"disable" ? SERVICE_DISABLED : SERVICE_DEMAND_START, name);
  } else {
    fwprintf(stderr, L"tavo_svc: unknown command %ls\n", verb.c_str());
  }
  return static_cast<int>(result);
}
