// The install lock as a named mutex, and the other setup's window.
#include <windows.h>

#include <sddl.h>

#include <cwchar>
#include <string>
#include <utility>

#include "common/handles.h"
#include "common/user_sid.h"
#include "common/winrt/hresult_error.h"
#include "launcher/start/setup_instance.h"
#include "launcher/ui/window/window_class.h"

namespace tavo::launcher {
namespace {

// The shown window of another process's install run (previews and check runs
// have the same class, but not the mark).
BOOL CALLBACK FindOtherSetup(HWND window, LPARAM found) {
  wchar_t className[32] = {};
  ::GetClassNameW(window, className, 32);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (std::wcscmp(className, ui::kWindowClassName) != 0 || !::IsWindowVisible(window) ||
      !::GetPropW(window, ui::kInstallRunProperty) || process == ::GetCurrentProcessId()) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The user, SYSTEM and the administrators, at medium integrity: an elevated
// setup and a non-elevated one of the same user both open the lock, where the
// default access list of an elevated process's objects would shut the other out.
// Sets `error` to the last failure when there is no mutex.
UniqueKernelHandle CreateOrOpenLock(const std::wstring& name, DWORD& error) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::wstring sddl;
  try {
    sddl = InstanceLockSddl(CurrentUserSid());
  } catch (const hresult_error&) {
    // Left empty: the default access list below.
  }
  if (sddl.empty() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                             &descriptor, nullptr)) {
    descriptor = nullptr;  // the default access list: the lock still works within one elevation
  }
  UniqueLocal owner(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  UniqueKernelHandle mutex(::CreateMutexW(&attributes, FALSE, name.c_str()));
  error = mutex ? 0 : ::GetLastError();
  if (error == ERROR_ACCESS_DENIED) {
    // The lock exists with an access list that grants this token only waiting on it.
    mutex.reset(::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()));
    error = mutex ? 0 : ::GetLastError();
  }
  return mutex;
}

class MutexInstanceLock final : public InstanceLock {
 public:
  explicit MutexInstanceLock(std::wstring name) : name_(std::move(name)) {}
  ~MutexInstanceLock() override {
    if (owned_) ::ReleaseMutex(mutex_.get());
  }

  Claim Take() override {
    DWORD error = 0;
    mutex_ = CreateOrOpenLock(name_, error);
    if (!mutex_) {
      // The name exists but cannot be opened: a setup of this user that
      // predates the access list above runs elevated.
      if (error == ERROR_ACCESS_DENIED) return Claim::Taken;
      // Without the mutex (the name taken by another kind of object) setup still
      // runs: one setup at a time spares the user, it is not needed for an install.
      return Claim::Owned;
    }
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
  std::wstring name_;
  UniqueKernelHandle mutex_;
  bool owned_ = false;
};

}  // namespace

std::unique_ptr<InstanceLock> WindowsInstanceLock(std::wstring name) {
  return std::make_unique<MutexInstanceLock>(std::move(name));
}

}  // namespace tavo::launcher
