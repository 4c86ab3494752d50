#include "common/atomic_file.h"

#include <windows.h>

#include <algorithm>

#include "common/handles.h"
#include "common/text.h"

namespace tavo {
namespace {

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Another process may hold the target open for a moment (the launcher reading
// the report, a virus scanner, the search indexer), which makes the replacing
// move fail with access denied or a sharing violation: try again for a while.
DWORD MoveIntoPlace(const std::wstring& temp, const std::wstring& path) {
  constexpr int kTries = 10;
  constexpr DWORD kPauseMs = 50;
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    DWORD error = ::GetLastError();
    bool busy = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
    if (!busy || attempt == kTries || IsDirectory(path)) return error;  // a folder never gives way
    ::Sleep(kPauseMs);
  }
}

}  // namespace

int32_t AtomicWrite(const std::wstring& path, const std::string& bytes) {
  std::wstring temp = path + L".tmp";
  DWORD error = 0;
  {
    UniqueFile file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return HresultFromWin32(::GetLastError());
    size_t offset = 0;
    while (offset < bytes.size()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - offset, 0xFFFFFFFEu));
      DWORD written = 0;
      if (!::WriteFile(file.get(), bytes.data() + offset, chunk, &written, nullptr)) {
        error = ::GetLastError();
        break;
      }
      if (written == 0) {
        error = ERROR_WRITE_FAULT;
        break;
      }
      offset += written;
    }
    if (error == 0 && !::FlushFileBuffers(file.get())) error = ::GetLastError();
  }
  if (error == 0) error = MoveIntoPlace(temp, path);
  if (error == 0) return 0;
  ::DeleteFileW(temp.c_str());
  // A failure that left no error code is still a failure.
  return error ? HresultFromWin32(error) : E_FAIL;
}

}  // namespace tavo
