// The launcher's own result codes and the Windows codes it decides on.
#pragma once

#include <cstdint>

namespace tavo::launcher {

inline constexpr uint32_t kCodeWorkerShortWrite = 0xA0041202;      // the worker file was written short
inline constexpr uint32_t kCodePrepareWorkerException = 0xA0041203;
inline constexpr uint32_t kCodeLaunchIdentityMissing = 0xA0041204;  // no `launch` event before success
inline constexpr uint32_t kCodeStartupException = 0xA0041205;
// Setup runs in another account than the desktop's person (or with no desktop
// at all) and could not start for that person.
inline constexpr uint32_t kCodeWrongAccount = 0xA0041207;

inline constexpr uint32_t kCodeCancelled = 0x800704C7;         // ERROR_CANCELLED
inline constexpr uint32_t kCodeMissingResult = 0x8000FFFF;     // E_UNEXPECTED
inline constexpr uint32_t kCodeOldWindows = 0x8007047E;        // ERROR_OLD_WIN_VERSION
inline constexpr uint32_t kCodeNotX64 = 0x800700C1;            // ERROR_BAD_EXE_FORMAT
inline constexpr uint32_t kCodeNoAvx = 0x80070032;             // ERROR_NOT_SUPPORTED

// Codes by which a worker that ends after a user stop counts as cancelled.
bool IsCancellationCode(uint32_t code);

}  // namespace tavo::launcher
