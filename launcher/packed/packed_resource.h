// Reads a packed RT_RCDATA resource of a module and expands it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace tavo::launcher {

// The expanded bytes of resource `id`. Throws hresult_error: the Windows error
// of a missing resource, or HRESULT_FROM_WIN32(ERROR_INVALID_DATA) for a
// damaged one (see ExpandPacked).
std::vector<uint8_t> ExpandResource(HMODULE module, int id);

// Milliseconds this process has spent expanding resources so far (the
// benchmark sets it against the time to the first frame).
double ExpandingMilliseconds();

}  // namespace tavo::launcher
