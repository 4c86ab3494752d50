// Writes the worker program that a launcher carries, packed, as resource 301.
#pragma once

#include <windows.h>

#include <string>

namespace tavo::launcher {

// Expands resource 301 of `module` (nullptr: this program) in memory, then
// creates `path` (it must not exist) and writes the whole worker in one write.
// A damaged or truncated resource throws before the file exists
// (HRESULT_FROM_WIN32(ERROR_INVALID_DATA)); a short write throws
// kCodeWorkerShortWrite and leaves the partial file for the caller to delete;
// any other failure throws its Windows error.
void WriteWorkerFile(HMODULE module, const std::wstring& path);

}  // namespace tavo::launcher
