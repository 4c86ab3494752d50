// The visitor marker: a visitor id that the distribution channel stamps into the
// certificate table of the signed launcher file, after signing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tavo::launcher {

// "TAVO_VISITOR_V1:" followed by the 36 bytes of the id.
inline constexpr std::string_view kVisitorMarker = "TAVO_VISITOR_V1:";

// The visitor id of a PE32 or PE32+ file image: the id after the one marker
// inside the certificate table of the security directory. Empty when the image
// is malformed, has no well-formed table, holds no marker or more than one, or
// the bytes after the marker are not a valid id. Never throws on any input.
std::wstring FindVisitorId(std::span<const uint8_t> peFile);

// FindVisitorId of this process's own executable file; empty on any failure.
std::wstring ReadOwnVisitorId();

}  // namespace tavo::launcher
