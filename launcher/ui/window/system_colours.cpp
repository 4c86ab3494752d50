#include "launcher/ui/window/system_colours.h"

#include <windows.h>

#include <cstdlib>

namespace tavo::launcher::ui {

Colours ReadSystemColours() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  bool on = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
            (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
#ifdef TAVO_TEST_HOOKS
  // Wine has no high-contrast themes: tests force the flag over the prefix's colours.
  if (_wgetenv(L"TAVO_TEST_HOOK_HIGH_CONTRAST")) on = true;
#endif
  if (!on) return kDarkColours;
  const auto system = [](int index) { return RgbFromColorRef(GetSysColor(index)); };
  return ChooseColours(true, {system(COLOR_WINDOW), system(COLOR_WINDOWTEXT), system(COLOR_HIGHLIGHT),
                              system(COLOR_HIGHLIGHTTEXT), system(COLOR_BTNFACE), system(COLOR_BTNTEXT),
                              system(COLOR_GRAYTEXT)});
}

}  // namespace tavo::launcher::ui
