// The visitor id: `vis_` or `vst_` followed by 32 lower-case hexadecimal digits.
// The launcher reads it from its own file; the worker takes it on its command line.
#pragma once

#include <cstddef>
#include <string_view>

namespace tavo {

inline constexpr size_t kVisitorIdLength = 36;

// True when the UTF-8 text is exactly one visitor id.
bool IsVisitorId(std::string_view text);

}  // namespace tavo
