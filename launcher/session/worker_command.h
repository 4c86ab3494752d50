// The worker's command line and the session folder's access rule.
#pragma once

#include <string>

namespace tavo::launcher {

enum class WorkerMode { Check, Install, InstallOpenExisting };

struct WorkerCommand {
  std::wstring workerPath;
  WorkerMode mode = WorkerMode::InstallOpenExisting;
  bool verbose = false;
  std::wstring reportPath;
  std::wstring visitorId;  // empty: not passed
};

// `"<worker>" <mode> [--verbose] --report "<path>" [--visitor-id <id>]`.
// CommandLineToArgvW reads 2n backslashes before a quote as n literal ones, so the
// backslashes that end a quoted path are doubled; otherwise a path ending in `\`
// would escape its closing quote and swallow the arguments after it.
std::wstring BuildWorkerCommandLine(const WorkerCommand& command);

// The session folder's security descriptor: full access, inherited by files and
// folders, for SYSTEM, Administrators and the user only; nothing inherited from above.
std::wstring SessionFolderSddl(const std::wstring& userSid);

}  // namespace tavo::launcher
