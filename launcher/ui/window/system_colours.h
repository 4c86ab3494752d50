// Whether Windows runs a high-contrast theme, and its colours.
#pragma once

#include "launcher/ui/model/colours.h"

namespace tavo::launcher::ui {

// SPI_GETHIGHCONTRAST and GetSysColor, through ChooseColours. Test builds
// force the flag with TAVO_TEST_HOOK_HIGH_CONTRAST (the colours stay the system's).
Colours ReadSystemColours();

}  // namespace tavo::launcher::ui
