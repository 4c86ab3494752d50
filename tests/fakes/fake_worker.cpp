// tavo_fake_worker: stands in for Tavo.Deploy where a test needs a worker that
// misbehaves. It runs the script named by TAVO_FAKE_WORKER_SCRIPT (one step a
// line) and, when TAVO_FAKE_WORKER_ARGS names a file, first records its argument
// vector there (CommandLineToArgvW, one argument a line, UTF-8).
//
// Script steps (text escapes: \t \n \r \\ \xHH):
//   line TEXT         writes TEXT and a line feed
//   raw TEXT          writes TEXT as it is
//   fill COUNT CHAR   writes COUNT copies of the character CHAR
//   sleep MS          waits
//   wait-cancel       reads standard input until a `C` byte or its end
//   wait-file NAME    waits until the test creates NAME in the folder named by
//                     TAVO_FAKE_WORKER_GATES; ends with 0x7D after 5 minutes
//   exit CODE         ends with CODE (decimal or 0x...)
//   probe-handle      writes "probe inherited" or "probe absent": whether the
//                     handle value TAVO_FAKE_WORKER_PROBE_HANDLE (0x...) is the
//                     parent's event named TAVO_FAKE_WORKER_PROBE_EVENT, inherited
//   # ...             comment
// Without a script it writes nothing and exits 0.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 't') out += '\t';
    else if (c == 'n') out += '\n';
    else if (c == 'r') out += '\r';
    else if (c == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else out += c;
  }
  return out;
}

void Write(const std::string& bytes) {
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  size_t offset = 0;
  while (offset < bytes.size()) {
    DWORD written = 0;
    if (!::WriteFile(out, bytes.data() + offset, static_cast<DWORD>(bytes.size() - offset), &written, nullptr) ||
        written == 0)
      std::exit(0x7F);  // the reader went away: nothing left to do
    offset += written;
  }
}

void WaitForCancel() {
  HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  char byte = 0;
  DWORD read = 0;
  while (::ReadFile(in, &byte, 1, &read, nullptr) && read == 1 && byte != 'C') {
  }
}

// The test moves the script on by creating a file, so that each step lasts
// exactly as long as the test needs, however slow the machine is.
void WaitForFile(const std::string& name) {
  const wchar_t* gates = _wgetenv(L"TAVO_FAKE_WORKER_GATES");
  if (!gates || !*gates) std::exit(0x7C);
  std::wstring path = std::wstring(gates) + L"\\" + std::wstring(name.begin(), name.end());
  for (int waited = 0; ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 50) {
    if (waited >= 300000) std::exit(0x7D);  // the test is gone: do not outlive it
    ::Sleep(50);
  }
}

std::string Utf8(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

void RecordArguments(const wchar_t* path) {
  int count = 0;
  LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::ofstream file(path, std::ios::binary);
  for (int i = 0; i < count; ++i) file << Utf8(args[i]) << '\n';
  ::LocalFree(args);
}

// The value is ours only if resetting it resets the parent's event (opened by
// name): one of our own handles that happens to have the same value leaves it set.
bool ProbeInherited() {
  const wchar_t* value = _wgetenv(L"TAVO_FAKE_WORKER_PROBE_HANDLE");
  const wchar_t* name = _wgetenv(L"TAVO_FAKE_WORKER_PROBE_EVENT");
  if (!value || !name) std::exit(0x7B);
  HANDLE named = ::OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, name);
  if (!named) std::exit(0x7B);
  HANDLE probe = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(value, nullptr, 0)));
  DWORD flags = 0;
  bool inherited = false;
  if (::GetHandleInformation(probe, &flags) && ::ResetEvent(probe)) {
    inherited = ::WaitForSingleObject(named, 0) == WAIT_TIMEOUT;
    ::SetEvent(named);
  }
  ::CloseHandle(named);
  return inherited;
}

}  // namespace

int wmain() {
  if (const wchar_t* args = _wgetenv(L"TAVO_FAKE_WORKER_ARGS"); args && *args) RecordArguments(args);
  const wchar_t* scriptPath = _wgetenv(L"TAVO_FAKE_WORKER_SCRIPT");
  if (!scriptPath || !*scriptPath) return 0;
  std::ifstream script(scriptPath, std::ios::binary);
  if (!script) return 0x7E;
  for (std::string line; std::getline(script, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t space = line.find(' ');
    const std::string step = line.substr(0, space);
    const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (step == "line") {
      Write(Unescape(value) + "\n");
    } else if (step == "raw") {
      Write(Unescape(value));
    } else if (step == "fill") {
      const size_t gap = value.find(' ');
      const unsigned long count = std::strtoul(value.c_str(), nullptr, 10);
      Write(std::string(count, gap == std::string::npos || gap + 1 >= value.size() ? 'x' : value[gap + 1]));
    } else if (step == "sleep") {
      ::Sleep(std::strtoul(value.c_str(), nullptr, 10));
    } else if (step == "wait-file") {
      WaitForFile(value);
    } else if (step == "wait-cancel") {
      WaitForCancel();
    } else if (step == "probe-handle") {
      Write(ProbeInherited() ? "probe inherited\n" : "probe absent\n");
    } else if (step == "exit") {
      return static_cast<int>(std::strtoul(value.c_str(), nullptr, 0));
    }
  }
  return 0;
}
