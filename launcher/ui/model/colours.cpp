#include "launcher/ui/model/colours.h"

namespace tavo::launcher::ui {

Colours ChooseColours(bool highContrast, const SystemColours& system) {
  if (!highContrast) return kDarkColours;
  Colours c;
  c.highContrast = true;
  c.background = system.window;
  // Every text stands on the window colour, so each is the window text: the
  // dark design's dimmer greys would only lose contrast.
  c.text = c.secondaryText = c.label = c.muted = c.faint = c.titleLine2 = system.windowText;
  c.accent = system.highlight;
  c.onAccent = system.highlightText;
  c.buttonFace = system.buttonFace;
  c.buttonText = system.buttonText;
  c.disabledText = system.grayText;
  return c;
}

}  // namespace tavo::launcher::ui
