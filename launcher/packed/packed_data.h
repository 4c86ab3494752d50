// Packed data: what the launcher carries compressed (the worker program and
// the fonts). A packed file is "TVZ1", the expanded size (32-bit little-endian)
// and one zlib stream; resources/pack.py makes it at build time.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tavo::launcher {

// The largest expanded size accepted: far above anything carried, so that a
// damaged size field cannot ask for gigabytes.
inline constexpr uint32_t kMaxExpandedSize = 64u << 20;

// Expands packed bytes, all or nothing. Throws hresult_error with
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA) when they are not one whole packed
// file: a wrong mark, a size above the limit, a damaged or truncated stream, a
// stream that expands to another size or is followed by more bytes; and
// std::bad_alloc when memory runs out.
std::vector<uint8_t> ExpandPacked(std::span<const uint8_t> packed);

}  // namespace tavo::launcher
