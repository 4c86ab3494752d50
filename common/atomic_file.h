// Files written whole or not at all: a `.tmp` beside the target, then a replacing move.
#pragma once

#include <cstdint>
#include <string>

namespace tavo {

// 0 or an HRESULT. On failure the temporary file is gone and any earlier file
// at `path` is untouched; a write that made no progress gives 0x8007001D.
int32_t AtomicWrite(const std::wstring& path, const std::string& bytes);

}  // namespace tavo
