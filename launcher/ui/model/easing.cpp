#include "launcher/ui/model/easing.h"

#include <algorithm>

namespace tavo::launcher::ui {
namespace {

float Clamp01(float x) { return std::clamp(x, 0.0f, 1.0f); }

}  // namespace

float EaseOutCubic(float x) {
  const float inverse = 1 - Clamp01(x);
  return 1 - inverse * inverse * inverse;
}

float EaseInOutCubic(float x) {
  x = Clamp01(x);
  if (x < 0.5f) return 4 * x * x * x;
  const float rest = 2 - 2 * x;
  return 1 - rest * rest * rest / 2;
}

float Zoom(double milliseconds, bool reducedMotion) {
  if (reducedMotion) return 1;
  return 1 + std::clamp(static_cast<float>(milliseconds / 8500.0), 0.0f, 1.0f) * 0.04f;
}

}  // namespace tavo::launcher::ui
