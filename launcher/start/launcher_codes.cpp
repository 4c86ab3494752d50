#include "launcher/start/launcher_codes.h"

namespace tavo::launcher {

bool IsCancellationCode(uint32_t code) {
  switch (code) {
    case 0x800704C7: case 0x80004004: case 0x80073CF8: case 0x80072EF1: case 0x80072EF3: case 0x800703E3:
      return true;
    default:
      return false;
  }
}

}  // namespace tavo::launcher
