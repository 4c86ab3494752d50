// The worker's command line, built by the launcher.
#pragma once

#include <optional>
#include <string>

namespace tavo::worker {

struct Options {
  bool check = false;    // --check: preflight only
  bool install = false;  // --install: the install stage
  bool openExisting = false;
  bool verbose = false;
  std::wstring reportPath;
  std::wstring visitorId;
};

// nullopt for any rejected command line (the worker then exits with 87).
std::optional<Options> ParseCommandLine(int argc, const wchar_t* const* argv);

}  // namespace tavo::worker
