#include "worker/run/command_line.h"

#include <string_view>

#include "common/telemetry/visitor_id.h"
#include "common/text.h"

namespace tavo::worker {

std::optional<Options> ParseCommandLine(int argc, const wchar_t* const* argv) {
  if (argc < 2) return std::nullopt;
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::wstring_view arg = argv[i];
    if (arg == L"--check") {
      options.check = true;
    } else if (arg == L"--install") {
      options.install = true;
    } else if (arg == L"--open-existing") {
      options.openExisting = true;
    } else if (arg == L"--verbose") {
      options.verbose = true;
    } else if (arg == L"--report" || arg == L"--visitor-id") {
      if (i + 1 >= argc) return std::nullopt;
      std::wstring value = argv[++i];  // taken as it is, even when it starts with --
      if (arg == L"--report") {
        options.reportPath = std::move(value);
      } else {
        if (!IsVisitorId(Utf8(value))) return std::nullopt;
        options.visitorId = std::move(value);
      }
    } else {
      return std::nullopt;
    }
  }
  if (options.check == options.install) return std::nullopt;
  return options;
}

}  // namespace tavo::worker
