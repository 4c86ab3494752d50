// tavo_activate_client: asks the activation manager to activate one AUMID the
// way the launcher does (local server, apartment-threaded), for the fakes' own
// test. Prints `create=0x........` and, when the class was created,
// `activate=0x........`.
//
//   tavo_activate_client.exe AUMID
#include <windows.h>
#include <shobjidl.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
  constexpr CLSID kClsid = {0x45BA127D, 0x10A8, 0x46EA, {0x8A, 0xB7, 0x56, 0xEA, 0x90, 0x78, 0x94, 0x3C}};
  constexpr IID kIid = {0x2E941141, 0x7F97, 0x4756, {0xBA, 0x1D, 0x9D, 0xEC, 0xDE, 0x89, 0x4A, 0x3D}};
  IApplicationActivationManager* manager = nullptr;
  HRESULT hr = ::CoCreateInstance(kClsid, nullptr, CLSCTX_LOCAL_SERVER, kIid, reinterpret_cast<void**>(&manager));
  std::printf("create=0x%08lX\n", static_cast<unsigned long>(hr));
  if (SUCCEEDED(hr)) {
    DWORD process = 0;
    hr = manager->ActivateApplication(argv[1], L"", AO_NONE, &process);
    std::printf("activate=0x%08lX\n", static_cast<unsigned long>(hr));
    manager->Release();
  }
  std::fflush(stdout);
  ::CoUninitialize();
  return 0;
}
