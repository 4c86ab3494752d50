// The progress screens' numbers that do not need a device: texts by screen,
// the bar's widths and positions, and the tip indicators' fill. The frame
// painter draws with them; tests check them as tables.
#pragma once

#include <cstdint>

#include "launcher/ui/screen_model.h"

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

}  // namespace tavo::launcher::ui
