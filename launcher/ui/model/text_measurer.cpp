#include "launcher/ui/model/text_measurer.h"

#include <cmath>
#include <cstdio>

#include "launcher/language/translation.h"

namespace tavo::launcher::ui {

float MeasureWidth(TextMeasurer& measurer, std::wstring_view text, float size) {
  const TextStyle style{size, 600, TextAlign::Leading};
  return measurer.Measure(text, style, 1000).widthIncludingTrailingSpace;
}

uint32_t CountLines(TextMeasurer& measurer, std::wstring_view text, float width) {
  return measurer.Measure(text, text_style::kBody, width).lineCount;
}

TextStyle AtSize(const TextStyle& style, float size) {
  TextStyle sized = style;
  sized.size = size;
  if (style.lineSpacing > 0) sized.lineSpacing = style.lineSpacing * size / style.size;
  return sized;
}

namespace {

// The largest size from the style's own down to the floor for which `fits`
// holds; the floor when none does.
template <typename Fits>
TextStyle LargestFitting(const TextStyle& style, Fits fits) {
  const float floor = style.size * kShrinkFloor;
  for (float size = style.size; size > floor; size -= kShrinkStep) {
    const TextStyle sized = AtSize(style, size);
    if (fits(sized)) return sized;
  }
  return AtSize(style, floor);
}

}  // namespace

TextStyle FitStyle(TextMeasurer& measurer, std::wstring_view text, const TextStyle& style, float boxWidth,
                   uint32_t maxLines) {
  return LargestFitting(style, [&](const TextStyle& sized) {
    const TextExtent extent = measurer.Measure(text, sized, boxWidth);
    return extent.lineCount <= maxLines && extent.width <= boxWidth + 0.01f;
  });
}

TextStyle FitTitleStyle(TextMeasurer& measurer, std::wstring_view line1, std::wstring_view line2,
                        const TextStyle& style, float rowWidth, bool oneRow) {
  const std::wstring second = line2.empty() ? std::wstring() : ShownTitleJoiner() + std::wstring(line2);
  return LargestFitting(style, [&](const TextStyle& sized) {
    const float w1 = measurer.Measure(line1, sized, 10000).width;
    const float w2 = second.empty() ? 0 : measurer.Measure(second, sized, 10000).width;
    return oneRow ? w1 + w2 <= rowWidth : w1 <= rowWidth && w2 <= rowWidth;
  });
}

TextStyle BalancedWidths::Fitted(TextMeasurer& measurer, std::wstring_view text, const TextStyle& style,
                                 float boxWidth, uint32_t maxLines) {
  wchar_t key[96];
  std::swprintf(key, std::size(key), L"|%g|%g|%u|%u|%g|%g|%d%d%d", static_cast<double>(style.size),
                static_cast<double>(boxWidth), maxLines, static_cast<unsigned>(style.weight),
                static_cast<double>(style.lineSpacing), static_cast<double>(style.letterSpacing),
                static_cast<int>(style.align), style.tabularFigures ? 1 : 0, style.contextualAlternates ? 1 : 0);
  std::wstring full = std::wstring(text) + key;
  if (auto found = fittedSizes_.find(full); found != fittedSizes_.end()) return AtSize(style, found->second);
  const TextStyle fitted = FitStyle(measurer, text, style, boxWidth, maxLines);
  fittedSizes_.emplace(std::move(full), fitted.size);
  return fitted;
}

TextStyle BalancedWidths::FittedTitle(TextMeasurer& measurer, std::wstring_view line1, std::wstring_view line2,
                                      const TextStyle& style, float rowWidth, bool oneRow) {
  wchar_t key[96];
  std::swprintf(key, std::size(key), L"|title|%g|%g|%d|%u|%g", static_cast<double>(style.size),
                static_cast<double>(rowWidth), oneRow ? 1 : 0, static_cast<unsigned>(style.weight),
                static_cast<double>(style.letterSpacing));
  std::wstring full = std::wstring(line1) + L"\n" + std::wstring(line2) + key;
  if (auto found = fittedSizes_.find(full); found != fittedSizes_.end()) return AtSize(style, found->second);
  const TextStyle fitted = FitTitleStyle(measurer, line1, line2, style, rowWidth, oneRow);
  fittedSizes_.emplace(std::move(full), fitted.size);
  return fitted;
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
