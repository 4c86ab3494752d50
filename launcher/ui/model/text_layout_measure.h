// The layout measures of the controls, taken with the window's text measurer.
// A text that cannot be measured (no usable font) falls back to an estimate
// from its character count, so a font problem never stops setup.
#pragma once

#include <algorithm>

#include "common/winrt/hresult_error.h"
#include "launcher/ui/model/controls_layout.h"
#include "launcher/ui/model/estimated_measure.h"
#include "launcher/ui/model/text_measurer.h"

namespace tavo::launcher {

class TextLayoutMeasure final : public LayoutMeasure {
 public:
  explicit TextLayoutMeasure(ui::TextMeasurer& measurer) : measurer_(measurer) {}

  float ButtonTextWidth(std::wstring_view text) override {
    return Guarded([&] { return ui::MeasureWidth(measurer_, text, 14); }, [&] { return estimate_.ButtonTextWidth(text); });
  }
  float SmallTextWidth(std::wstring_view text) override {
    return Guarded([&] { return measurer_.Measure(text, ui::TextStyle{12, 400}, 300).widthIncludingTrailingSpace; },
                   [&] { return estimate_.SmallTextWidth(text); });
  }
  float TitleWidth(std::wstring_view text) override {
    return Guarded([&] { return measurer_.Measure(text, ui::text_style::kTitle, 1000).widthIncludingTrailingSpace; },
                   [&] { return estimate_.TitleWidth(text); });
  }
  float BodyHeight(std::wstring_view text) override {
    return Guarded(
        [&] {
          float width = std::min(measurer_.Measure(text, ui::text_style::kBody, 1000).width, 580.0f);
          return 21.0f * static_cast<float>(std::max<uint32_t>(ui::CountLines(measurer_, text, width), 1));
        },
        [&] { return estimate_.BodyHeight(text); });
  }

 private:
  template <typename Measure, typename Estimate>
  static float Guarded(Measure measure, Estimate estimate) {
    try {
      return measure();
    } catch (const hresult_error&) {
      return estimate();  // no usable font: lay out from the estimate rather than fail
    }
  }

  ui::TextMeasurer& measurer_;
  EstimatedMeasure estimate_;
};

}  // namespace tavo::launcher
