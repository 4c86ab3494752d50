#include "launcher/ui/model/text_measurer.h"

#include <cmath>
#include <cstdio>

namespace tavo::launcher::ui {

float MeasureWidth(TextMeasurer& measurer, std::wstring_view text, float size) {
  const TextStyle style{size, 600, TextAlign::Leading};
  return measurer.Measure(text, style, 1000).widthIncludingTrailingSpace;
}

uint32_t CountLines(TextMeasurer& measurer, std::wstring_view text, float width) {
  return measurer.Measure(text, text_style::kBody, width).lineCount;
}

float BalancedWidths::Get(TextMeasurer& measurer, std::wstring_view text, float maxWidth) {
  wchar_t width[64];
  std::swprintf(width, std::size(width), L"%f", static_cast<double>(maxWidth));
  std::wstring key = std::wstring(text) + L"|" + width;
  if (auto found = cache_.find(key); found != cache_.end()) return found->second;

  float result = maxWidth;
  const uint32_t lines = CountLines(measurer, text, maxWidth);
  if (lines > 1) {
    float low = 0.4f * maxWidth;
    float high = maxWidth;
    for (int step = 0; step < 12; ++step) {
      const float middle = (low + high) / 2;
      if (CountLines(measurer, text, middle) > lines)
        low = middle;
      else
        high = middle;
    }
    result = std::ceil(high) + 2;
  }
  cache_.emplace(std::move(key), result);
  return result;
}

}  // namespace tavo::launcher::ui
