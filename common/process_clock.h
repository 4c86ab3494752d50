// How long this process has existed: the benchmark's measure of a program's
// start, taken inside the program so that its teardown does not count.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace tavo {

// Milliseconds from this process's creation to now; 0 when unknown.
inline double MillisecondsSinceProcessStart() {
  FILETIME created{}, exited{}, kernel{}, user{}, now{};
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  ::GetSystemTimePreciseAsFileTime(&now);
  auto ticks = [](const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;  // 100 ns units
}

// Writes that figure as text to `path` (the benchmark reads it back).
inline void WriteMillisecondsSinceProcessStart(const wchar_t* path) {
  if (FILE* file = _wfopen(path, L"w")) {
    std::fprintf(file, "%.1f\n", MillisecondsSinceProcessStart());
    std::fclose(file);
  }
}

}  // namespace tavo
