// The progress screens' numbers that do not need a device: texts by screen,
// the bar's widths and positions, and the tip indicators' fill. The frame
// painter draws with them; tests check them as tables.
#pragma once

#include <array>
#include <cstdint>

#include "launcher/ui/model/screen_model.h"

namespace tavo::launcher::ui {

// The label above the bar ("Installing Tavo Studio", "Finishing up", ...).
const wchar_t* ProgressLabel(Screen screen);
// The line under the bar; `installOnly`: the launcher was started with --install.
const wchar_t* FooterText(Screen screen, bool installOnly);

// The bar shows the percentage from 1 % on `installing`, else it runs indeterminate.
bool BarIsDeterminate(Screen screen, int32_t progress);
// The determinate fill's width on the 624-wide track, at least 4.
float DeterminateFillWidth(float displayedProgress);
// The indeterminate segment's left edge (174.72 wide) at these frame seconds.
float IndeterminateSegmentLeft(double frameSeconds);
// The shimmer's centre over a fill `fillWidth` wide at these frame seconds.
float ShimmerCentre(double frameSeconds, float fillWidth);

// How full tip indicator `index` is (0..1): earlier tips full, the current
// one by its dwell, later ones empty.
float IndicatorFill(int index, int currentTip, uint64_t tipDwell);
// The drawn width of indicator `index`'s fill: at least 3 for the current and
// earlier tips (the current one shows even at no dwell), 0 (none) for later ones.
float IndicatorFillWidth(int index, int currentTip, uint64_t tipDwell);

// The ambient glows' clock: the frame seconds, held at 0 with reduced motion.
double AmbientSeconds(double frameSeconds, bool reducedMotion);

// A soft elliptical glow in one colour: alpha `opacity` at the centre, 0.45 x
// that at 0.45 of the radii, 0 at the rim.
struct Glow {
  float centreX = 0, centreY = 0, radiusX = 0, radiusY = 0;
  uint32_t rgb = 0;
  float opacity = 0;
  bool operator==(const Glow&) const = default;
};
// The four glows drifting behind every screen at these ambient seconds.
std::array<Glow, 4> AmbientGlows(double ambientSeconds);
// The shimmer runs over a determinate fill wider than 40, without reduced
// motion and outside high contrast.
bool ShimmerShown(float fillWidth, bool reducedMotion, bool highContrast);
// The shimmer's band (90 wide around its centre, transparent at both ends)
// lies at least partly over the fill; outside it, it draws nothing.
bool ShimmerOverFill(float centre, float fillWidth);

// The tip carousel at `tipAge` ms after the last tip change, when a tip was
// shown before (`changed`: there was a previous tip and reduced motion is off;
// otherwise everything is at rest).
struct CarouselPhase {
  float crossFade = 1;           // the current picture's opacity; the previous one has 1 - this
  double currentZoomAge = 0;     // the zoom clocks of the two pictures (ms)
  double previousZoomAge = 0;    // the previous tip goes on zooming from its full dwell
  bool previousTexts = false;    // the previous tip's texts still fade out
  float textOpacity = 1;         // of whichever texts are drawn
  float textOffset = 0;          // the current texts rise into place from 10 below
};
CarouselPhase CarouselPhaseAt(uint64_t tipAge, bool changed);

}  // namespace tavo::launcher::ui
