// The sizes the window's pictures are decoded to and drawn at: pure rules, so
// the numbers are tested without a device.
#pragma once

#include <cstdint>

namespace tavo::launcher::ui {

struct SizeF {
  float width = 0, height = 0;
};
struct PixelSize {
  uint32_t width = 0, height = 0;
  bool operator==(const PixelSize&) const = default;
};

// The box a tip picture is fitted into on the design surface.
inline constexpr float kTipBoxWidth = 640, kTipBoxHeight = 304;

// The height of a picture drawn `width` DIPs wide, by the picture's own aspect
// (not by a pre-scaled bitmap's, whose sides were rounded to whole pixels).
float HeightByAspect(PixelSize picture, float width);
// Contain-fit factor of a picture into the tip box.
float TipFitFactor(PixelSize picture);
// A tip's decode target in DIPs: the contain-fit, 5 % larger so that the slow
// zoom never draws the bitmap above its own resolution.
SizeF TipTargetSize(PixelSize picture);
// A target in DIPs as pixels at the window scale (never below scale 1).
PixelSize TargetPixels(SizeF target, float windowScale);
// Pre-scale with WIC only for a real reduction: both sides above 15 pixels
// and smaller than the picture's own.
bool ShouldPrescale(PixelSize pixels, PixelSize picture);
// Bitmaps made at `bitmapScale` are reloaded beyond 0.08 of difference.
bool BitmapScaleStale(float bitmapScale, float windowScale);

}  // namespace tavo::launcher::ui
