// tavo_fake_activation_manager: the shell's application activation manager for
// the test prefix, where Windows has none. A local COM server registered under
// CLSID_ApplicationActivationManager (register-in-prefix.sh); COM starts it with
// "-Embedding" when a client creates the class, and it ends when its last object
// is released (or after a minute without one).
//
// Each ActivateApplication call appends "AUMID<TAB>arguments<TAB>options" and a
// line feed (UTF-8) to the file named by TAVO_FAKE_ACTIVATION_RECORD, else to
// C:\users\Public\tavo-activations.txt. When TAVO_FAKE_ACTIVATION_FAIL holds an
// HRESULT (0x...), the call records and then fails with it. Wine starts local
// servers from the client's process, so they see the client's environment.
#include <windows.h>
#include <shobjidl.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace {

constexpr CLSID kClsidApplicationActivationManager = {
    0x45BA127D, 0x10A8, 0x46EA, {0x8A, 0xB7, 0x56, 0xEA, 0x90, 0x78, 0x94, 0x3C}};
constexpr IID kIidApplicationActivationManager = {
    0x2E941141, 0x7F97, 0x4756, {0xBA, 0x1D, 0x9D, 0xEC, 0xDE, 0x89, 0x4A, 0x3D}};
constexpr wchar_t kDefaultRecord[] = L"C:\\users\\Public\\tavo-activations.txt";

std::atomic<long> g_objects{0};
HANDLE g_done = nullptr;

void ObjectReleased() {
  if (--g_objects == 0) ::SetEvent(g_done);
}

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

HRESULT Record(const std::wstring& line) {
  const wchar_t* path = _wgetenv(L"TAVO_FAKE_ACTIVATION_RECORD");
  HANDLE file = ::CreateFileW(path && *path ? path : kDefaultRecord, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(::GetLastError());
  const std::string bytes = Utf8(line);
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && written == bytes.size() ? S_OK : E_FAIL;
}

class ActivationManager final : public IApplicationActivationManager {
 public:
  ActivationManager() { ++g_objects; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == kIidApplicationActivationManager) {
      *out = static_cast<IApplicationActivationManager*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      delete this;
      ObjectReleased();
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE ActivateApplication(LPCWSTR aumid, LPCWSTR arguments, ACTIVATEOPTIONS options,
                                                DWORD* processId) override {
    if (processId) *processId = 0;
    std::wstring line = std::wstring(aumid ? aumid : L"") + L"\t" + (arguments ? arguments : L"") + L"\t" +
                        std::to_wstring(static_cast<int>(options)) + L"\n";
    if (HRESULT hr = Record(line); FAILED(hr)) return hr;
    if (const wchar_t* fail = _wgetenv(L"TAVO_FAKE_ACTIVATION_FAIL"); fail && *fail)
      return static_cast<HRESULT>(std::wcstoul(fail, nullptr, 0));
    if (processId) *processId = ::GetCurrentProcessId();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ActivateForFile(LPCWSTR, IShellItemArray*, LPCWSTR, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ActivateForProtocol(LPCWSTR, IShellItemArray*, DWORD*) override { return E_NOTIMPL; }

 private:
  std::atomic<ULONG> references_{1};
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives for the whole process as a static object.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* manager = new ActivationManager();
    HRESULT hr = manager->QueryInterface(iid, out);
    manager->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  g_done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD cookie = 0;
  HRESULT hr = ::CoRegisterClassObject(kClsidApplicationActivationManager, &g_factory, CLSCTX_LOCAL_SERVER,
                                       REGCLS_MULTIPLEUSE, &cookie);
  if (SUCCEEDED(hr)) {
    // Ends when the last object is released; a client that never creates one
    // leaves the server waiting a minute at most.
    ::WaitForSingleObject(g_done, 60000);
    // Give COM a moment to deliver the last Release's reply.
    ::Sleep(200);
    ::CoRevokeClassObject(cookie);
  }
  ::CloseHandle(g_done);
  ::CoUninitialize();
  return SUCCEEDED(hr) ? 0 : 2;
}
