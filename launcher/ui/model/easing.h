// The animations' curves, pure functions of time.
#pragma once

namespace tavo::launcher::ui {

// Easing curves; the input is clamped to 0..1 first.
float EaseOutCubic(float x);
float EaseInOutCubic(float x);
// A picture's slow zoom: 1 + clamp(ms / 8500, 0, 1) x 0.04; 1 with reduced motion.
float Zoom(double milliseconds, bool reducedMotion);

}  // namespace tavo::launcher::ui
