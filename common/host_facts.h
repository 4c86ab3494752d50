// Host facts and the support rules that both the worker's preflight and the
// launcher's compatibility gate apply: Windows build, native architecture, AVX.
#pragma once

#include <cstdint>
#include <string>

namespace tavo {

inline constexpr uint32_t kMinimumWindowsBuild = 19041;  // Windows 10 version 2004
inline constexpr uint16_t kArchitectureX64 = 9;
inline constexpr uint16_t kArchitectureUnknown = 0xFFFF;
inline constexpr uint64_t kXStateMaskAvx = 4;

struct HostFacts {
  uint32_t windowsBuild = 0;  // 0 when unreadable or older than Windows 10
  std::wstring windowsVersion;
  uint16_t nativeArchitecture = kArchitectureUnknown;
  uint64_t enabledXStateMask = 0;
};

enum class HostVerdict { Supported, WindowsTooOld, NotX64, NoAvx };

// The first rule the host breaks, in the order version, architecture, AVX.
HostVerdict JudgeHost(const HostFacts& facts);

// Pure mappings, exposed for tests.
std::wstring VersionTextFor(uint32_t major, uint32_t build, uint8_t productType);
uint16_t ArchitectureFromMachine(uint16_t imageFileMachine);
std::wstring ArchitectureName(uint16_t code);
bool AvxAvailable(uint64_t mask);
// `windowsVersion=...; nativeArchitecture=...; avxAvailable=...; enabledXStateMask=0x...`,
// the one summary of the facts that preflight logs and the gate records.
std::wstring HostFactsSummary(const HostFacts& facts);

// Queries of the running Windows; none throws.
uint32_t WindowsBuild();
std::wstring WindowsVersionText();
uint16_t NativeArchitecture();
uint64_t EnabledXStateMask();
HostFacts ReadHostFacts();

}  // namespace tavo
