#include "launcher/start/visitor_marker.h"

#include "common/telemetry/visitor_id.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/handles.h"
#include "common/text.h"

namespace tavo::launcher {
namespace {

constexpr uint64_t kMaxOwnFileSize = 16u * 1024 * 1024;
constexpr uint64_t kMinPeSize = 256;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
// Offsets of the security directory entry from the PE signature.
constexpr uint64_t kSecurityDirectoryPe32 = 152;
constexpr uint64_t kSecurityDirectoryPe32Plus = 168;
constexpr uint16_t kWinCertRevision2 = 0x0200;
constexpr uint16_t kWinCertTypePkcsSignedData = 2;
constexpr uint64_t kWinCertHeaderSize = 8;
// A table shorter than its header plus one marker with an id cannot hold one.
constexpr uint64_t kMinTableEnd = 60;

// Little-endian reads; callers have checked the bounds. All offsets are 64-bit
// so that 32-bit values read from the file cannot wrap around.
uint8_t Byte(std::span<const uint8_t> data, uint64_t at) { return data[static_cast<size_t>(at)]; }
uint16_t Read16(std::span<const uint8_t> data, uint64_t at) {
  return static_cast<uint16_t>(Byte(data, at) | (Byte(data, at + 1) << 8));
}
uint32_t Read32(std::span<const uint8_t> data, uint64_t at) {
  return static_cast<uint32_t>(Read16(data, at)) | (static_cast<uint32_t>(Read16(data, at + 2)) << 16);
}

}  // namespace

std::wstring FindVisitorId(std::span<const uint8_t> file) {
  const uint64_t size = file.size();
  if (size < kMinPeSize || file[0] != 'M' || file[1] != 'Z') return {};
  const uint64_t e = Read32(file, 0x3C);
  // The optional header's magic (2 bytes at e + 24) must lie inside the file too.
  if (size < e + 26) return {};
  if (Byte(file, e) != 'P' || Byte(file, e + 1) != 'E' || Byte(file, e + 2) != 0 || Byte(file, e + 3) != 0) return {};
  const uint16_t magic = Read16(file, e + 24);
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) return {};

  const uint64_t d = e + (magic == kMagicPe32 ? kSecurityDirectoryPe32 : kSecurityDirectoryPe32Plus);
  const uint64_t optionalHeaderSize = Read16(file, e + 20);
  if (e + 24 + optionalHeaderSize < d + 8 || size < d + 8) return {};

  // The certificate table: a WIN_CERTIFICATE that runs to the end of the file.
  const uint64_t o = Read32(file, d);
  const uint64_t n = Read32(file, d + 4);
  if (o < d + 8 || n <= 7 || o > size || n != size - o) return {};
  if (size < o + kMinTableEnd) return {};
  if (Read32(file, o) != n || Read16(file, o + 4) != kWinCertRevision2 ||
      Read16(file, o + 6) != kWinCertTypePkcsSignedData)
    return {};

  const std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
  // Every offset below is under the file size, which fits in size_t.
  const size_t lastStart = bytes.size() - kVisitorMarker.size() - kVisitorIdLength;  // size >= o + 60
  std::string_view id;
  int matches = 0;
  for (size_t p = bytes.find(kVisitorMarker, static_cast<size_t>(o + kWinCertHeaderSize));
       p != std::string_view::npos && p <= lastStart; p = bytes.find(kVisitorMarker, p + 1)) {
    // Two markers: the file was stamped twice, and neither id can be trusted.
    if (++matches > 1) return {};
    id = bytes.substr(p + kVisitorMarker.size(), kVisitorIdLength);
  }
  if (matches != 1 || !IsVisitorId(id)) return {};
  return Utf16(id);
}

std::wstring ReadOwnVisitorId() {
  std::vector<wchar_t> path(32768);
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return {};

  UniqueFile file(::CreateFileW(path.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 1 ||
      static_cast<uint64_t>(size.QuadPart) > kMaxOwnFileSize)
    return {};

  std::vector<uint8_t> image(static_cast<size_t>(size.QuadPart));
  size_t offset = 0;
  while (offset < image.size()) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), image.data() + offset, static_cast<DWORD>(image.size() - offset), &read, nullptr) ||
        read == 0)
      return {};  // a short or failed read gives no id, as every other failure here
    offset += read;
  }
  return FindVisitorId(image);
}

}  // namespace tavo::launcher
