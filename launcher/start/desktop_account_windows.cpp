#include <windows.h>
#include <userenv.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/user_sid.h"
#include "common/winrt/hresult_error.h"
#include "launcher/start/desktop_account.h"

namespace tavo::launcher {
namespace {

namespace traits {
inline void DestroyEnvironment(void* block) { ::DestroyEnvironmentBlock(block); }
inline void FreeStrings(wchar_t* strings) { ::FreeEnvironmentStringsW(strings); }
inline void DeleteAttributes(LPPROC_THREAD_ATTRIBUTE_LIST list) { ::DeleteProcThreadAttributeList(list); }
}  // namespace traits
using UniqueEnvironmentBlock = UniqueHandle<handle_traits::NullIsNone<void*, traits::DestroyEnvironment>>;
using UniqueEnvironmentStrings = UniqueHandle<handle_traits::NullIsNone<wchar_t*, traits::FreeStrings>>;
using UniqueAttributeList =
    UniqueHandle<handle_traits::NullIsNone<LPPROC_THREAD_ATTRIBUTE_LIST, traits::DeleteAttributes>>;

// An elevated administrator may open another account's processes only with
// the debug privilege enabled. Enabled for the opens only, then put back, so
// that neither the rest of the run nor the worker holds it.
class DebugPrivilege {
 public:
  DebugPrivilege() {
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.put())) return;
    TOKEN_PRIVILEGES wanted{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    if (!LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &wanted.Privileges[0].Luid)) return;
    DWORD size = sizeof(previous_);
    // Not held: ERROR_NOT_ALL_ASSIGNED, and the opens fail as they would have.
    adjusted_ = AdjustTokenPrivileges(token_.get(), FALSE, &wanted, sizeof(previous_), &previous_, &size) &&
                GetLastError() == ERROR_SUCCESS;
  }
  DebugPrivilege(const DebugPrivilege&) = delete;
  DebugPrivilege& operator=(const DebugPrivilege&) = delete;
  ~DebugPrivilege() {
    if (adjusted_) AdjustTokenPrivileges(token_.get(), FALSE, &previous_, 0, nullptr, nullptr);
  }

 private:
  UniqueKernelHandle token_;
  TOKEN_PRIVILEGES previous_{};
  bool adjusted_ = false;
};

DWORD ShellProcessId() {
  HWND shell = GetShellWindow();
  DWORD processId = 0;
  if (shell) GetWindowThreadProcessId(shell, &processId);
  return processId;
}

// Services and the system account run on an invisible window station: no
// window of theirs can ever be seen.
bool VisibleWindowStation() {
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  HWINSTA station = GetProcessWindowStation();
  return station && GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed) &&
         (flags.dwFlags & WSF_VISIBLE) != 0;
}

Elevation ReadElevation() {
  UniqueKernelHandle token;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
      GetTokenInformation(token.get(), TokenElevationType, &type, sizeof(type), &size)) {
    if (type == TokenElevationTypeFull) return Elevation::Full;
    if (type == TokenElevationTypeLimited) return Elevation::Limited;
  }
  return Elevation::Default;
}

#ifdef TAVO_TEST_HOOKS
// Wine has one account and answers every process as elevated: tests force
// the facts. TAVO_TEST_HOOK_ACCOUNT_FACTS holds "same", "other" or "none"
// (the shell's account; "none": no desktop either), optionally followed by
// ",full", ",limited" or ",default" (the elevation).
void ForceFacts(AccountFacts& facts) {
  const wchar_t* forced = _wgetenv(L"TAVO_TEST_HOOK_ACCOUNT_FACTS");
  if (!forced || !*forced) return;
  const std::wstring text = forced;
  facts.forced = true;
  if (text.starts_with(L"none")) {
    facts.shellPresent = facts.visibleDesktop = false;
    facts.shellSid.clear();
  } else if (text.starts_with(L"other")) {
    facts.shellPresent = true;
    facts.shellSid = L"S-1-5-21-1000000000-1000000000-1000000000-1999";
  }
  if (text.ends_with(L",full")) facts.elevation = Elevation::Full;
  if (text.ends_with(L",limited")) facts.elevation = Elevation::Limited;
  if (text.ends_with(L",default")) facts.elevation = Elevation::Default;
}

// The relaunched setup runs in the desktop person's environment, which under
// test lacks the test's own settings; they are carried over, apart from the
// forced facts, which belong to the first run only.
void CarryTestSettings(std::vector<wchar_t>& block) {
  UniqueEnvironmentStrings strings(GetEnvironmentStringsW());
  for (const wchar_t* entry = strings.get(); entry && *entry; entry += std::wcslen(entry) + 1) {
    const std::wstring text = entry;
    if (!(text.starts_with(L"TAVO_") || text.starts_with(L"WINE")) ||
        text.starts_with(L"TAVO_TEST_HOOK_ACCOUNT_FACTS=")) {
      continue;
    }
    block.insert(block.end(), text.begin(), text.end());
    block.push_back(L'\0');
  }
}
#endif

// The desktop person's environment block with the relaunch marker, ending in
// two NULs. Throws hresult_error.
std::vector<wchar_t> RelaunchEnvironment(HANDLE userToken) {
  UniqueEnvironmentBlock environment;
  if (!CreateEnvironmentBlock(environment.put(), userToken, FALSE)) ThrowLastError();
  std::vector<wchar_t> block;
  for (const auto* entry = static_cast<const wchar_t*>(environment.get()); *entry; entry += std::wcslen(entry) + 1) {
    block.insert(block.end(), entry, entry + std::wcslen(entry) + 1);
  }
  const std::wstring marker = std::wstring(kRelaunchMarkerName) + L"=1";
  block.insert(block.end(), marker.begin(), marker.end());
  block.push_back(L'\0');
#ifdef TAVO_TEST_HOOKS
  CarryTestSettings(block);
#endif
  block.push_back(L'\0');
  return block;
}

}  // namespace

AccountFacts ReadAccountFacts() {
  AccountFacts facts;
  try {
    facts.ownSid = CurrentUserSid();
  } catch (const hresult_error&) {
    // Left empty: an account that cannot name itself is never the desktop's person.
  }
  facts.elevation = ReadElevation();
  facts.visibleDesktop = VisibleWindowStation();
  facts.shellProcessId = ShellProcessId();
  facts.shellPresent = facts.shellProcessId != 0;
  if (facts.shellPresent) {
    const DebugPrivilege privilege;
    UniqueKernelHandle shell(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, facts.shellProcessId));
    UniqueKernelHandle token;
    if (shell && OpenProcessToken(shell.get(), TOKEN_QUERY, token.put())) {
      try {
        facts.shellSid = TokenUserSid(token.get());
      } catch (const hresult_error&) {
        // Left empty: a shell this account may not read belongs to someone else.
      }
    }
  }
  wchar_t marker[8] = {};
  facts.relaunched = GetEnvironmentVariableW(kRelaunchMarkerName, marker, 8) > 0;
  // Read once: the worker and anything this run opens must not carry it on.
  SetEnvironmentVariableW(kRelaunchMarkerName, nullptr);
#ifdef TAVO_TEST_HOOKS
  ForceFacts(facts);
#endif
  return facts;
}

uint32_t RelaunchAsDesktopUser(const AccountFacts& facts, int showCommand) {
#ifdef TAVO_TEST_HOOKS
  // Tests make the relaunch fail, to see the refusal that follows.
  if (_wgetenv(L"TAVO_TEST_HOOK_RELAUNCH_FAILS")) ThrowWin32(ERROR_ACCESS_DENIED);
#endif
  UniqueKernelHandle shell, userToken;
  {
    const DebugPrivilege privilege;
    shell.reset(OpenProcess(PROCESS_CREATE_PROCESS | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, facts.shellProcessId));
    if (!shell) ThrowLastError();
    if (!OpenProcessToken(shell.get(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE, userToken.put()))
      ThrowLastError();
  }
  // The same shell the facts were read from: an Explorer that restarted, or
  // a process id used again, must not lend this run another account's token.
  if (!facts.forced && TokenUserSid(userToken.get()) != facts.shellSid) ThrowWin32(ERROR_INVALID_WINDOW_HANDLE);
  std::vector<wchar_t> environment = RelaunchEnvironment(userToken.get());

  std::wstring program(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
  if (length == 0 || length >= program.size()) ThrowLastError();
  program.resize(length);
  std::wstring commandLine = GetCommandLineW();

  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<unsigned char> attributeBuffer(size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) ThrowLastError();
  UniqueAttributeList attributes(list);
  HANDLE parent = shell.get();
  // The child takes its token from its parent: the shell's, unelevated.
  if (!UpdateProcThreadAttribute(attributes.get(), 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, &parent, sizeof(parent),
                                 nullptr, nullptr)) {
    ThrowLastError();
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = static_cast<WORD>(showCommand);
  startup.lpAttributeList = attributes.get();
  PROCESS_INFORMATION started{};
  // Suspended until it is in this run's job: a deployment tool that ends this
  // run on a time-out ends the setup it started too.
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED,
                      environment.data(), nullptr, &startup.StartupInfo, &started)) {
    ThrowLastError();
  }
  UniqueKernelHandle process(started.hProcess);
  UniqueKernelHandle thread(started.hThread);
  UniqueKernelHandle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job && SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
    AssignProcessToJobObject(job.get(), process.get());  // without a job the setup still runs
  }
  // The person clicked this setup: its window may come to the front.
  AllowSetForegroundWindow(started.dwProcessId);
  ResumeThread(thread.get());
  // No window exists yet in this run: waiting here holds up nothing the
  // person sees, and the deployment tool reads this run's exit code.
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(process.get(), &code)) ThrowLastError();
  return code;
}

}  // namespace tavo::launcher
