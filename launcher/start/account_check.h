// Tavo Studio installs for the account that runs setup. Before it takes the
// lock or writes anything, an install run makes sure that account is the
// person at the desktop: the owner of the desktop shell's process. Run as
// someone else (an administrator's password typed over the user's shoulder,
// "Run as different user", a deployment tool's own account), it starts itself
// again as the desktop's person; with no desktop at all it refuses.
#pragma once

#include <cstdint>
#include <string>

#include "common/diagnostics/error_record.h"
#include "common/host_facts.h"
#include "launcher/outcome/fallback_report.h"
#include "launcher/start/launch_options.h"

namespace tavo::launcher {

// The elevation type of this run's token (TOKEN_ELEVATION_TYPE).
enum class Elevation {
  Default,  // no split token: UAC off, or a standard user
  Full,     // elevated: "Run as administrator"
  Limited,  // the filtered token of an administrator
};

struct AccountFacts {
  std::wstring ownSid;     // this process's user
  bool shellPresent = false;  // the interactive desktop has a shell window
  std::wstring shellSid;   // the shell process's user; empty when it could not be read
  Elevation elevation = Elevation::Default;
  bool relaunched = false;  // this run is the one an earlier setup started for the desktop's person
  // Not part of the verdict: whether a window of this run can be seen at all
  // (a visible window station), and the shell process the facts were read from.
  bool visibleDesktop = false;
  uint32_t shellProcessId = 0;
  bool forced = false;  // test builds: the facts were forced
};

enum class AccountVerdict {
  Proceed,   // the desktop's person runs setup, elevated or not
  Relaunch,  // start the same setup as the desktop's person and end with its code
  Refuse,    // no desktop, or the relaunch did not reach the desktop's person
};

AccountVerdict JudgeAccount(const AccountFacts& facts);

// One line for the error record: the facts the verdict was made on.
std::wstring DescribeAccountFacts(const AccountFacts& facts);

// The refusal's record: no desktop shell, or (relaunched) still not its person.
ErrorRecord WrongAccountRecord(const AccountFacts& facts);

// The report of a refused run, for the --report path IT gave (nothing is
// written in this account's own folders): the code, its sentence and the record.
FallbackReportInput WrongAccountReport(const LaunchOptions& options, const ErrorRecord& record,
                                       const HostFacts& host);

// The name of the environment variable that marks the relaunched setup. It
// can only make a setup refuse instead of starting itself again, never skip
// the check.
inline constexpr wchar_t kRelaunchMarkerName[] = L"TAVO_SETUP_RELAUNCHED_FOR_DESKTOP_USER";

}  // namespace tavo::launcher
