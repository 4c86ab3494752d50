// The colours one frame is drawn with (0xRRGGBB): the dark design's palette, or
// under a high-contrast theme the system's own colours, each role mapped to one
// of them. A frame in high contrast also drops its glows, fades and translucent
// fills (the painters ask `highContrast`).
#pragma once

#include <cstdint>

#include "launcher/ui/model/palette.h"

namespace tavo::launcher::ui {

// The system colours that a high-contrast theme sets, as 0xRRGGBB.
struct SystemColours {
  uint32_t window = 0, windowText = 0, highlight = 0, highlightText = 0, buttonFace = 0, buttonText = 0,
           grayText = 0;
};

struct Colours {
  bool highContrast = false;
  uint32_t background = palette::kBackground;        // the surface, the badge's rim
  uint32_t text = palette::kWhite;                   // title line 1, overlay title, opening dots
  uint32_t secondaryText = palette::kSecondaryText;  // bodies
  uint32_t label = palette::kLabel;                  // the progress label
  uint32_t muted = palette::kMuted;                  // the percent
  uint32_t faint = palette::kFaint;                  // footer, error row, preview badge
  uint32_t titleLine2 = palette::kTitleLine2;        // a plain title's line 2
  // High contrast only: every accent (kickers, bar, badges, focus ring, hovered
  // controls) and what is drawn on it; the row buttons; disabled text.
  uint32_t accent = 0, onAccent = 0, buttonFace = 0, buttonText = 0, disabledText = 0;

  // The dark design's accent of a tip, heading, badge or feedback, or the highlight.
  constexpr uint32_t Accent(uint32_t dark) const { return highContrast ? accent : dark; }
  // The dark design's opacity of a translucent stroke, fill or text, or opaque.
  constexpr float Opacity(float dark) const { return highContrast ? 1.0f : dark; }
  bool operator==(const Colours&) const = default;
};

inline constexpr Colours kDarkColours{};

// The dark palette when the flag is off; else every role in a system colour.
Colours ChooseColours(bool highContrast, const SystemColours& system);

// A COLORREF (0x00BBGGRR) as 0xRRGGBB.
constexpr uint32_t RgbFromColorRef(uint32_t colorRef) {
  return ((colorRef & 0xFF) << 16) | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);
}

}  // namespace tavo::launcher::ui
