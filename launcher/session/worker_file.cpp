#include "launcher/session/worker_file.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "common/handles.h"
#include "common/winrt/hresult_error.h"
#include "launcher/packed/packed_resource.h"
#include "launcher/start/launcher_codes.h"
#include "resources/resource_ids.h"

namespace tavo::launcher {

void WriteWorkerFile(HMODULE module, const std::wstring& path) {
#ifdef TAVO_TEST_HOOKS
  // Tests put a misbehaving worker program in place of the embedded one.
  if (const wchar_t* standIn = _wgetenv(L"TAVO_TEST_HOOK_WORKER_FILE"); standIn && *standIn) {
    if (!CopyFileW(standIn, path.c_str(), TRUE)) ThrowLastError();
    return;
  }
#endif
  // Whole in memory first: a damaged resource never leaves a partial worker.
  const std::vector<uint8_t> worker = ExpandResource(module, TAVO_RESOURCE_WORKER);
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowLastError();
  const auto size = static_cast<DWORD>(worker.size());
  DWORD toWrite = size;
#ifdef TAVO_TEST_HOOKS
  // Tests cut the write short to see the partial file go with the session.
  if (const wchar_t* limit = _wgetenv(L"TAVO_TEST_HOOK_WORKER_WRITE_LIMIT"); limit && *limit) {
    toWrite = std::min<DWORD>(size, static_cast<DWORD>(std::wcstoul(limit, nullptr, 10)));
  }
#endif
  DWORD written = 0;
  if (!WriteFile(file.get(), worker.data(), toWrite, &written, nullptr)) ThrowLastError();
  if (written < size) throw hresult_error(static_cast<HRESULT>(kCodeWorkerShortWrite));
}

}  // namespace tavo::launcher
