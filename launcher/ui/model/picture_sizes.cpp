#include "launcher/ui/model/picture_sizes.h"

#include <algorithm>
#include <cmath>

namespace tavo::launcher::ui {

float HeightByAspect(PixelSize picture, float width) {
  return width * static_cast<float>(picture.height) / static_cast<float>(picture.width);
}

float TipFitFactor(PixelSize picture) {
  return std::min(kTipBoxHeight / static_cast<float>(picture.height), kTipBoxWidth / static_cast<float>(picture.width));
}

SizeF TipTargetSize(PixelSize picture) {
  const float factor = TipFitFactor(picture) * 1.05f;
  return {static_cast<float>(picture.width) * factor, static_cast<float>(picture.height) * factor};
}

PixelSize TargetPixels(SizeF target, float windowScale) {
  const float scale = std::max(windowScale, 1.0f);
  return {static_cast<uint32_t>(std::lround(target.width * scale)),
          static_cast<uint32_t>(std::lround(target.height * scale))};
}

bool ShouldPrescale(PixelSize pixels, PixelSize picture) {
  return pixels.width > 15 && pixels.height > 15 && pixels.width < picture.width && pixels.height < picture.height;
}

bool BitmapScaleStale(float bitmapScale, float windowScale) { return std::fabs(windowScale - bitmapScale) > 0.08f; }

}  // namespace tavo::launcher::ui
