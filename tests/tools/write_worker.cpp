// Writes the worker that a launcher file carries, the way every session writes
// it, so that tests compare the file a user's PC gets with the built worker.
//
// usage: tavo_write_worker LAUNCHER OUTPUT   (exit 0, or the failure's HRESULT)
// On success it prints the milliseconds spent expanding the worker.
#include <windows.h>

#include <cstdio>

#include "common/handles.h"
#include "common/winrt/hresult_error.h"
#include "launcher/packed/packed_resource.h"
#include "launcher/session/worker_file.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: tavo_write_worker LAUNCHER OUTPUT\n", stderr);
    return 87;
  }
  // As data only: a 32-bit launcher's resources, read from this 64-bit tool.
  tavo::UniqueModule launcher(
      LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!launcher) return static_cast<int>(HRESULT_FROM_WIN32(GetLastError()));
  try {
    tavo::launcher::WriteWorkerFile(launcher.get(), argv[2]);
    std::printf("%.2f\n", tavo::launcher::ExpandingMilliseconds());
  } catch (const tavo::hresult_error& error) {
    return static_cast<int>(error.code());
  }
  return 0;
}
