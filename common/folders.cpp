#include "common/folders.h"

#include <windows.h>

#include <cwctype>
#include <stdexcept>
#include <string>

#include "common/diagnostics/error_record.h"
#include "common/text.h"

namespace tavo {

namespace {

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The path without its last component, or empty when nothing is above it
// ("C:\", "\\server\share\" and relative single names end the walk).
std::wstring Parent(const std::wstring& path) {
  size_t end = path.size();
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  if (end == 0 || path[end - 1] == L':') return {};
  return path.substr(0, end);
}

[[noreturn]] void Fail(const std::wstring& path, DWORD error) {
  std::wstring reason = SystemMessage(error, 0);
  while (!reason.empty() && iswspace(reason.back())) reason.pop_back();
  throw std::runtime_error("cannot create the folder \"" + Utf8(path) + "\": " + Utf8(reason) + " (Windows error " +
                           std::to_string(error) + ")");
}

}  // namespace

void CreateFolders(const std::wstring& path) {
  if (path.empty()) Fail(path, ERROR_INVALID_NAME);
  if (IsFolder(path)) return;
  if (::CreateDirectoryW(path.c_str(), nullptr)) return;
  DWORD error = ::GetLastError();
  if (error == ERROR_PATH_NOT_FOUND) {
    const std::wstring parent = Parent(path);
    if (parent.empty()) Fail(path, error);
    CreateFolders(parent);
    if (::CreateDirectoryW(path.c_str(), nullptr)) return;
    error = ::GetLastError();
  }
  // Another process may have created it in between; a file of that name is a failure.
  if (error == ERROR_ALREADY_EXISTS && IsFolder(path)) return;
  Fail(path, error);
}

}  // namespace tavo
