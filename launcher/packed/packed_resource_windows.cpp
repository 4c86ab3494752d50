#include <atomic>
#include <span>

#include "common/winrt/hresult_error.h"
#include "launcher/packed/packed_data.h"
#include "launcher/packed/packed_resource.h"

namespace tavo::launcher {
namespace {

std::atomic<int64_t> g_expandingTicks{0};

int64_t Ticks() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

}  // namespace

std::vector<uint8_t> ExpandResource(HMODULE module, int id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (!found) ThrowLastError();
  HGLOBAL loaded = LoadResource(module, found);
  if (!loaded) ThrowLastError();
  const auto* bytes = static_cast<const uint8_t*>(LockResource(loaded));
  const DWORD size = SizeofResource(module, found);
  if (!bytes || size == 0) ThrowWin32(ERROR_RESOURCE_DATA_NOT_FOUND);
  const int64_t start = Ticks();
  std::vector<uint8_t> expanded = ExpandPacked(std::span<const uint8_t>(bytes, size));
  g_expandingTicks += Ticks() - start;
  return expanded;
}

double ExpandingMilliseconds() {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(g_expandingTicks.load()) / static_cast<double>(frequency.QuadPart);
}

}  // namespace tavo::launcher
