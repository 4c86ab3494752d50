#include "launcher/session/worker_command.h"

namespace tavo::launcher {

namespace {

// The text between a pair of quotes, with its trailing backslashes doubled.
std::wstring QuotedPath(const std::wstring& path) {
  size_t trailing = 0;
  while (trailing < path.size() && path[path.size() - 1 - trailing] == L'\\') ++trailing;
  std::wstring out = L"\"" + path;
  out.append(trailing, L'\\');
  out += L'"';
  return out;
}

}  // namespace

std::wstring BuildWorkerCommandLine(const WorkerCommand& command) {
  std::wstring line = QuotedPath(command.workerPath) + L" ";
  switch (command.mode) {
    case WorkerMode::Check: line += L"--check"; break;
    case WorkerMode::Install: line += L"--install"; break;
    case WorkerMode::InstallOpenExisting: line += L"--install --open-existing"; break;
  }
  if (command.verbose) line += L" --verbose";
  line += L" --report " + QuotedPath(command.reportPath);
  if (!command.visitorId.empty()) line += L" --visitor-id " + command.visitorId;
  return line;
}

std::wstring SessionFolderSddl(const std::wstring& userSid) {
  return L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + userSid + L")";
}

}  // namespace tavo::launcher
