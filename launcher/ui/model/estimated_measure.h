// Text measures estimated from character counts, used until the window measures
// with the embedded UI font. Widths are a fixed share of the font size per character.
#pragma once

#include <cmath>

#include "launcher/ui/model/controls_layout.h"

namespace tavo::launcher {

class EstimatedMeasure final : public LayoutMeasure {
 public:
  float ButtonTextWidth(std::wstring_view text) override { return Width(text, 14.0f, 0.58f); }
  float SmallTextWidth(std::wstring_view text) override { return Width(text, 12.0f, 0.52f); }
  float TitleWidth(std::wstring_view text) override { return Width(text, 28.0f, 0.55f); }
  float BodyHeight(std::wstring_view text) override {
    float lines = std::ceil(Width(text, 14.0f, 0.5f) / 580.0f);
    return 21.0f * (lines < 1.0f ? 1.0f : lines);
  }

 private:
  static float Width(std::wstring_view text, float size, float share) {
    return static_cast<float>(text.size()) * size * share;
  }
};

}  // namespace tavo::launcher
