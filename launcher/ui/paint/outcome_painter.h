// The outcome screens (success, installed, error, unsupported, cancelled): the
// hero with the logo and its status badge, and the heading, body, opening dots
// and error row that slide in under it.
#pragma once

#include <d2d1.h>

#include <array>
#include <cstdint>

#include "launcher/ui/model/frame_inputs.h"
#include "launcher/ui/paint/frame_canvas.h"

namespace tavo::launcher::ui {

enum class BadgeGlyph : uint8_t { Check, Dash, Exclamation };

// The status badge at the logo's lower right corner.
struct StatusBadge {
  uint32_t rgb;
  BadgeGlyph glyph;
};
StatusBadge StatusBadgeFor(Screen screen);

// The hero's animation at one moment.
struct HeroMotion {
  float breath = 0.65f;  // 0.5 to 0.8 while breathing; 0.65 at rest
  float popIn = 1;       // 0 to 1 over the first 500 ms
  float logoSize = 104;  // (0.94 + 0.06 popIn) x 104
  bool ring = false;     // the celebratory ring spreading over the first 1100 ms
  float ringRadius = 0, ringOpacity = 0;
};
HeroMotion HeroMotionAt(double screenAgeMs, double frameSeconds, bool celebratory, bool reducedMotion);

// How far the outcome texts have come in, 0 to 1 (from 80 ms to 600 ms).
float OutcomeEntrance(double screenAgeMs, bool reducedMotion);

// One of the three dots pulsing while the application opens.
struct OpeningDot {
  float radius, opacity;
};
OpeningDot OpeningDotAt(int index, double frameSeconds);

// Milliseconds since the screen changed; 0 when the clock reads earlier.
double ScreenAge(const ScreenModel& model, uint64_t now);

// The two glows behind the hero, breathing (drawn with the frame's backdrop).
std::array<Glow, 2> HeroGlows(const FrameInputs& frame, double screenAgeMs);
// The celebratory ring, the logo on its shadow and the status badge.
void DrawOutcomeHero(FrameCanvas& canvas, const FrameInputs& frame, ID2D1Bitmap* logo, double screenAgeMs);
// Kicker, title, body, opening dots and error row, sliding in.
void DrawOutcomeTexts(FrameCanvas& canvas, const FrameInputs& frame, double screenAgeMs);

}  // namespace tavo::launcher::ui
