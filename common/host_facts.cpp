#include "common/host_facts.h"

#include <windows.h>

#include "common/text.h"

namespace tavo {
namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);

// RtlGetVersion tells the truth regardless of the program's manifest.
bool QueryVersion(OSVERSIONINFOEXW& info, bool extended) {
  auto fn = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (!fn) return false;
  info = {};
  info.dwOSVersionInfoSize = extended ? sizeof(OSVERSIONINFOEXW) : sizeof(OSVERSIONINFOW);
  return fn(&info) == 0;
}

}  // namespace

HostVerdict JudgeHost(const HostFacts& facts) {
  if (facts.windowsBuild < kMinimumWindowsBuild) return HostVerdict::WindowsTooOld;
  if (facts.nativeArchitecture != kArchitectureX64) return HostVerdict::NotX64;
  if (!AvxAvailable(facts.enabledXStateMask)) return HostVerdict::NoAvx;
  return HostVerdict::Supported;
}

std::wstring VersionTextFor(uint32_t major, uint32_t build, uint8_t productType) {
  if (major < 10 || build == 0) return L"Unknown Windows version";
  std::wstring name;
  if (productType != VER_NT_WORKSTATION) name = L"Windows Server";
  else if (build >= 22000) name = L"Windows 11";
  else if (build < 10240) name = L"Windows";
  else name = L"Windows 10";
  return name + L" (build " + std::to_wstring(build) + L")";
}

uint16_t ArchitectureFromMachine(uint16_t machine) {
  switch (machine) {
    case IMAGE_FILE_MACHINE_I386: return 0;
    case IMAGE_FILE_MACHINE_ARMNT: return 5;
    case IMAGE_FILE_MACHINE_AMD64: return 9;
    case IMAGE_FILE_MACHINE_ARM64: return 12;
    default: return kArchitectureUnknown;
  }
}

std::wstring ArchitectureName(uint16_t code) {
  switch (code) {
    case 0: return L"x86";
    case 5: return L"ARM";
    case 6: return L"Itanium";
    case 9: return L"x64";
    case 12: return L"ARM64";
    case 0xFFFF: return L"Unknown";
    default: return L"Unknown (Windows architecture code " + std::to_wstring(code) + L")";
  }
}

bool AvxAvailable(uint64_t mask) { return (mask & kXStateMaskAvx) != 0; }

uint32_t WindowsBuild() {
  OSVERSIONINFOEXW info;
  if (!QueryVersion(info, false) || info.dwMajorVersion < 10) return 0;
  return info.dwBuildNumber;
}

std::wstring WindowsVersionText() {
  OSVERSIONINFOEXW info;
  if (!QueryVersion(info, true)) return L"Unknown Windows version";
  return VersionTextFor(info.dwMajorVersion, info.dwBuildNumber, info.wProductType);
}

uint16_t NativeArchitecture() {
  auto fn = reinterpret_cast<IsWow64Process2Fn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2")));
  if (!fn) {
    SYSTEM_INFO info{};
    ::GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture;
  }
  USHORT process = 0, native = 0;
  if (!fn(::GetCurrentProcess(), &process, &native)) return kArchitectureUnknown;
  return ArchitectureFromMachine(native);
}

uint64_t EnabledXStateMask() { return ::GetEnabledXStateFeatures(); }

HostFacts ReadHostFacts() {
  HostFacts facts;
  facts.windowsBuild = WindowsBuild();
  facts.windowsVersion = WindowsVersionText();
  facts.nativeArchitecture = NativeArchitecture();
  facts.enabledXStateMask = EnabledXStateMask();
  return facts;
}

std::wstring HostFactsSummary(const HostFacts& facts) {
  return L"windowsVersion=" + facts.windowsVersion + L"; nativeArchitecture=" +
         ArchitectureName(facts.nativeArchitecture) + L"; avxAvailable=" +
         BoolText(AvxAvailable(facts.enabledXStateMask)) + L"; enabledXStateMask=" + Hex16(facts.enabledXStateMask);
}

}  // namespace tavo
