// The known folders both programs ask for. Named here instead of taken from
// libuuid, whose one object carries every known folder and interface ID in the
// SDK (some 30 KB in each program) for the sake of this one.
#pragma once

#include <windows.h>
#include <shtypes.h>

namespace tavo {

// FOLDERID_LocalAppData, as knownfolders.h declares it.
inline constexpr KNOWNFOLDERID kFolderLocalAppData = {
    0xf1b32785, 0x6fba, 0x4fcf, {0x9d, 0x55, 0x7b, 0x8e, 0x7f, 0x15, 0x70, 0x91}};

}  // namespace tavo
