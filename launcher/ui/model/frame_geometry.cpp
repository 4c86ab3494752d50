#include "launcher/ui/model/frame_geometry.h"

#include <algorithm>
#include <cmath>

#include "launcher/ui/model/easing.h"

namespace tavo::launcher::ui {

const wchar_t* ProgressLabel(Screen screen) {
  switch (screen) {
    case Screen::Installing: return L"Installing Tavo Studio";
    case Screen::Verifying: return L"Finishing up";
    case Screen::Stopping: return L"Stopping installation";
    default: return L"Getting ready";
  }
}

const wchar_t* FooterText(Screen screen, bool installOnly) {
  if (screen == Screen::Stopping) return L"Windows is undoing the changes safely.";
  return installOnly ? L"Keep this window open until setup finishes." : L"Tavo Studio opens as soon as it's ready.";
}

bool BarIsDeterminate(Screen screen, int32_t progress) { return screen == Screen::Installing && progress >= 1; }

float DeterminateFillWidth(float displayedProgress) { return std::max(displayedProgress * 624.0f / 100.0f, 4.0f); }

float IndeterminateSegmentLeft(double frameSeconds) {
  const float p = EaseInOutCubic(static_cast<float>(std::fmod(frameSeconds, 1.6) / 1.6));
  return 798.72f * p - 126.72f;
}

float ShimmerCentre(double frameSeconds, float fillWidth) {
  const float p = EaseInOutCubic(static_cast<float>(std::fmod(frameSeconds, 2.2) / 2.2));
  return p * (fillWidth + 180.0f) - 42.0f;
}

float IndicatorFillWidth(int index, int currentTip, uint64_t tipDwell) {
  if (index > currentTip) return 0;
  return std::max(IndicatorFill(index, currentTip, tipDwell) * 22.0f, 3.0f);
}

double AmbientSeconds(double frameSeconds, bool reducedMotion) { return reducedMotion ? 0.0 : frameSeconds; }

std::array<Glow, 4> AmbientGlows(double t) {
  const auto f = [](double v) { return static_cast<float>(v); };
  return {Glow{f(40 + 40 * std::sin(0.21 * t)), f(-70 + 24 * std::cos(0.17 * t)), 560, 340, 0x1626B1, 0.5f},
          Glow{f(-30 + 30 * std::cos(0.15 * t)), f(40 + 30 * std::sin(0.19 * t)), 360, 260, 0x3045FF, 0.16f},
          Glow{f(690 + 30 * std::cos(0.18 * t)), f(640 + 20 * std::sin(0.14 * t)), 460, 300, 0x00E4C2, 0.12f},
          Glow{760, 520, 320, 260, 0x120051, 0.35f}};
}

bool ShimmerShown(float fillWidth, bool reducedMotion, bool highContrast) {
  return !highContrast && !reducedMotion && fillWidth > 40;
}

bool ShimmerOverFill(float centre, float fillWidth) { return centre + 45 > 48 && centre - 45 < 48 + fillWidth; }

CarouselPhase CarouselPhaseAt(uint64_t tipAge, bool changed) {
  constexpr float kCrossFadeMs = 650, kTextsOutMs = 180, kTextsInMs = 520;
  constexpr double kPreviousZoomStartMs = static_cast<double>(kTipDwellMs);
  CarouselPhase phase;
  const float age = static_cast<float>(tipAge);
  phase.currentZoomAge = static_cast<double>(tipAge);
  phase.previousZoomAge = static_cast<double>(tipAge) + kPreviousZoomStartMs;
  if (!changed) return phase;
  phase.crossFade = EaseInOutCubic(age / kCrossFadeMs);
  if (age < kTextsOutMs) {
    phase.previousTexts = true;
    phase.textOpacity = 1 - age / kTextsOutMs;
    return phase;
  }
  phase.textOpacity = EaseOutCubic((age - kTextsOutMs) / kTextsInMs);
  phase.textOffset = (1 - phase.textOpacity) * 10;
  return phase;
}

float IndicatorFill(int index, int currentTip, uint64_t tipDwell) {
  if (index < currentTip) return 1.0f;
  if (index > currentTip) return 0.0f;
  return std::min(static_cast<float>(tipDwell) / static_cast<float>(kTipDwellMs), 1.0f);
}

}  // namespace tavo::launcher::ui
