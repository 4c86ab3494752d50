// The install lock as a named mutex, and the other setup's window.
#include <windows.h>

#include <cwchar>

#include "common/handles.h"
#include "launcher/setup_instance.h"
#include "launcher/ui/window/window_class.h"

namespace tavo::launcher {
namespace {

constexpr wchar_t kMutexName[] = L"Local\\TavoStudio.Setup.InstallRun";

// A shown setup window of another process (check runs' windows are never shown).
BOOL CALLBACK FindOtherSetup(HWND window, LPARAM found) {
  wchar_t className[32] = {};
  ::GetClassNameW(window, className, 32);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (std::wcscmp(className, ui::kWindowClassName) != 0 || !::IsWindowVisible(window) ||
      process == ::GetCurrentProcessId()) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

class MutexInstanceLock final : public InstanceLock {
 public:
  ~MutexInstanceLock() override {
    if (owned_) ::ReleaseMutex(mutex_.get());
  }

  Claim Take() override {
    mutex_.reset(::CreateMutexW(nullptr, FALSE, kMutexName));
    // Without the mutex (the name taken by another kind of object) setup still
    // runs: one setup at a time spares the user, it is not needed for an install.
    if (!mutex_) return Claim::Owned;
    switch (::WaitForSingleObject(mutex_.get(), 0)) {
      case WAIT_OBJECT_0:
        owned_ = true;
        return Claim::Owned;
      case WAIT_ABANDONED:
        owned_ = true;
        return Claim::Abandoned;
      default:
        return Claim::Taken;
    }
  }

  void ShowOtherSetup() override {
    HWND other = nullptr;
    ::EnumWindows(FindOtherSetup, reinterpret_cast<LPARAM>(&other));
    if (!other) return;  // the first setup has not shown its window yet: it will come up by itself
    DWORD process = 0;
    ::GetWindowThreadProcessId(other, &process);
    ::AllowSetForegroundWindow(process);
    // Asynchronous: a setup window that is busy must not hold this run.
    if (::IsIconic(other)) ::ShowWindowAsync(other, SW_RESTORE);
    ::SetForegroundWindow(other);
  }

 private:
  UniqueKernelHandle mutex_;
  bool owned_ = false;
};

}  // namespace

std::unique_ptr<InstanceLock> WindowsInstanceLock() { return std::make_unique<MutexInstanceLock>(); }

}  // namespace tavo::launcher
