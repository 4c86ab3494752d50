// tavo_runner: starts one program the way the launcher does (pipes, no console
// window, kill-on-close job), passes its standard-output lines through as they
// arrive, and ends with the child's full 32-bit exit code on its own line:
//   exit=0x800704C7
// The Linux exit status of wine64 keeps only the low byte, hence this line.
//
// usage: tavo_runner [options] [--] PROGRAM [ARG...]
//   --send-after TYPE   write the input byte after the first line whose first
//                       TAB field is TYPE
//   --byte N            that byte, decimal or 0x-hexadecimal (default: 'C')
//   --close-after TYPE  close the input pipe after the first line whose first
//                       TAB field is TYPE
//   --stdin-nul         give the child NUL as standard input instead of a pipe
//   --stdin-file PATH   give the child this file as standard input
// Without these the input pipe stays open until the child has exited.
// Exit code: 0 when the child ran, 2 for a bad command line, 3 when the child
// could not be started.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "common/child_process.h"
#include "common/handles.h"
#include "common/winrt/hresult_error.h"
#include "tests/tools/wine_start.h"

namespace {

using tavo::UniqueFile;
using tavo::UniqueKernelHandle;

struct Options {
  std::string send_after;  // event type, UTF-8; empty: never
  std::string close_after;
  unsigned char byte = 'C';
  enum class Input { kPipe, kNul, kFile } input = Input::kPipe;
  std::wstring input_file;
  std::vector<std::wstring> command;  // program, then its arguments
};

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::optional<Options> ParseOptions(int argc, wchar_t** argv) {
  Options options;
  int i = 1;
  for (; i < argc; ++i) {
    std::wstring arg = argv[i];
    bool has_value = i + 1 < argc;
    if (arg == L"--") {
      ++i;
      break;
    } else if (arg == L"--send-after" && has_value) {
      options.send_after = Narrow(argv[++i]);
    } else if (arg == L"--close-after" && has_value) {
      options.close_after = Narrow(argv[++i]);
    } else if (arg == L"--byte" && has_value) {
      wchar_t* end = nullptr;
      unsigned long value = std::wcstoul(argv[++i], &end, 0);
      if (*end != L'\0' || value > 255) return std::nullopt;
      options.byte = static_cast<unsigned char>(value);
    } else if (arg == L"--stdin-nul") {
      options.input = Options::Input::kNul;
    } else if (arg == L"--stdin-file" && has_value) {
      options.input = Options::Input::kFile;
      options.input_file = argv[++i];
    } else if (arg.starts_with(L"--")) {
      return std::nullopt;
    } else {
      break;
    }
  }
  for (; i < argc; ++i) options.command.emplace_back(argv[i]);
  if (options.command.empty() || options.command[0].empty()) return std::nullopt;
  return options;
}

// Quotes one argument so that CommandLineToArgvW gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < arg.size() && arg[i] == L'\\') {
      ++i;
      ++backslashes;
    }
    if (i == arg.size()) {
      out.append(backslashes * 2, L'\\');  // they precede the closing quote
      break;
    }
    if (arg[i] == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    out += arg[i];
  }
  out += L'"';
  return out;
}

void WriteOut(const char* data, size_t size) {
  DWORD written = 0;
  // Our own standard output is the test's pipe; nothing useful can be done if it is gone.
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), data, static_cast<DWORD>(size), &written, nullptr);
}

// Reports a failed step on standard error; returns the runner's "could not run" code.
int Fail(const wchar_t* what, DWORD error) {
  fwprintf(stderr, L"tavo_runner: %ls failed (error %lu)\n", what, error);
  return 3;
}

std::string FirstField(const std::string& line) { return line.substr(0, line.find('\t')); }

int Run(const Options& options) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};

  UniqueKernelHandle out_read, out_write;
  UniqueKernelHandle in_read, in_write;  // the pipe case
  UniqueFile in_file;                    // the NUL and file cases
  HANDLE child_input = nullptr;
  try {
    tavo::CreateChildPipe(out_read, out_write, false);
    if (options.input == Options::Input::kPipe) {
      tavo::CreateChildPipe(in_read, in_write, true);
      child_input = in_read.get();
    }
  } catch (const tavo::hresult_error& error) {
    return Fail(L"CreatePipe", static_cast<DWORD>(error.code()));
  }
  if (options.input != Options::Input::kPipe) {
    const wchar_t* path = options.input == Options::Input::kNul ? L"NUL" : options.input_file.c_str();
    in_file.reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in_file) return Fail(L"opening the input file", GetLastError());
    child_input = in_file.get();
  }

  // The child writes its own diagnostics to our standard error, or to NUL.
  UniqueKernelHandle error_copy;
  UniqueFile error_nul;
  HANDLE child_error = nullptr;
  if (DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE), GetCurrentProcess(), error_copy.put(), 0,
                      TRUE, DUPLICATE_SAME_ACCESS)) {
    child_error = error_copy.get();
  } else {
    error_nul.reset(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    child_error = error_nul.get();
  }

  std::wstring command_line;
  for (const std::wstring& arg : options.command) {
    if (!command_line.empty()) command_line += L' ';
    command_line += QuoteArgument(arg);
  }
  // Started as the launcher starts its worker; suspended until it is in its
  // job, so that a runner killed by a test's time-out ends the child too.
  tavo::StartedChild child;
  DWORD start_error = tavo::testing::StartRetryingWineRefusal(options.command[0].c_str(), [&]() -> DWORD {
    try {
      child = tavo::StartChildProcess(options.command[0], command_line, nullptr,
                                      {child_input, out_write.get(), child_error});
      return 0;
    } catch (const tavo::hresult_error& error) {
      return static_cast<DWORD>(error.code());
    }
  });
  if (start_error != 0) return Fail(L"CreateProcessW", start_error);
  if (!child.job) Fail(L"creating the job object", GetLastError());
  UniqueKernelHandle process = std::move(child.process);

  // Only the child holds these ends now, so its exit ends our reads.
  out_write.reset();
  in_read.reset();
  in_file.reset();
  error_copy.reset();
  error_nul.reset();

  bool sent = options.send_after.empty();
  bool closed = options.close_after.empty();
  std::string pending;
  auto handle_line = [&](const std::string& line) {
    WriteOut(line.data(), line.size());
    WriteOut("\n", 1);
    std::string type = FirstField(line);
    if (!sent && type == options.send_after) {
      sent = true;
      DWORD written = 0;
      if (!in_write || !WriteFile(in_write.get(), &options.byte, 1, &written, nullptr) || written != 1) {
        Fail(L"writing the input byte", GetLastError());
      }
    }
    if (!closed && type == options.close_after) {
      closed = true;
      in_write.reset();
    }
  };
  // Reading ends when every holder of the output's write end has closed it
  // (ERROR_BROKEN_PIPE), normally when the child exits.
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(out_read.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    pending.append(buffer, read);
    size_t start = 0;
    for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      handle_line(pending.substr(start, end - start));
    }
    pending.erase(0, start);
  }
  if (!pending.empty()) handle_line(pending);  // a last line without its line feed

  WaitForSingleObject(process.get(), INFINITE);
  DWORD exit_code = 0;
  if (!GetExitCodeProcess(process.get(), &exit_code)) return Fail(L"GetExitCodeProcess", GetLastError());
  in_write.reset();
  char line[32];
  int length = std::snprintf(line, sizeof(line), "exit=0x%08lX\n", static_cast<unsigned long>(exit_code));
  WriteOut(line, static_cast<size_t>(length));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    fwprintf(stderr,
             L"usage: tavo_runner [--send-after TYPE] [--byte N] [--close-after TYPE] [--stdin-nul | --stdin-file "
             L"PATH] [--] PROGRAM [ARG...]\n");
    return 2;
  }
  return Run(*options);
}
