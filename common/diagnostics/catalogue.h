// The failure catalogue: one sentence for people per failure code.
#pragma once

#include <cstdint>
#include <string>

namespace tavo {

// The user sentence for a code; unlisted codes give the default sentence.
std::wstring CatalogueMessage(int32_t code);

// What preflight measured on the Windows drive.
struct LowDiskState {
  bool limited = false;     // less than 3 GiB available to the user
  std::wstring systemDrive;  // the measured root, such as C:\ (backslash)
};

// The message, followed by the low-disk note when free space was limited.
std::wstring WithLowDiskNote(const std::wstring& message, const LowDiskState& disk);

std::wstring ServiceDisabledMessage(const std::wstring& displayName);
std::wstring ServiceDisabledDetail(const std::wstring& serviceName, int32_t code);

}  // namespace tavo
