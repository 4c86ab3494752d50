#include "launcher/ui/model/text_measurer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tavo::launcher::ui {
namespace {

// Every character is 10 DIPs wide; words wrap greedily at spaces.
class FakeMeasurer final : public TextMeasurer {
 public:
  TextExtent Measure(std::wstring_view text, const TextStyle& style, float boxWidth) override {
    ++calls;
    lastStyle = style;
    lastBox = boxWidth;
    uint32_t lines = text.empty() ? 0 : 1;
    float line = 0;
    float widest = 0;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find(L' ', start);
      if (end == std::wstring_view::npos) end = text.size();
      const float word = 10.0f * static_cast<float>(end - start);
      const float needed = line == 0 ? word : line + 10 + word;
      if (line > 0 && needed > boxWidth) {
        ++lines;
        line = word;
      } else {
        line = needed;
      }
      widest = std::max(widest, line);
      start = end + 1;
    }
    return {widest, 10.0f * static_cast<float>(text.size()), 21.0f * static_cast<float>(lines), lines};
  }
  int calls = 0;
  TextStyle lastStyle;
  float lastBox = 0;
};

TEST(MeasureWidth, UsesWeight600InABox1000WideAndCountsTrailingSpace) {
  FakeMeasurer measurer;
  EXPECT_EQ(MeasureWidth(measurer, L"Retry ", 14), 60);
  EXPECT_EQ(measurer.lastStyle.weight, 600);
  EXPECT_EQ(measurer.lastStyle.size, 14);
  EXPECT_EQ(measurer.lastBox, 1000);
}

TEST(CountLines, UsesTheBodyStyle) {
  FakeMeasurer measurer;
  EXPECT_EQ(CountLines(measurer, L"aaaa bbbb cccc", 95), 2u);
  EXPECT_EQ(measurer.lastStyle.size, 14);
  EXPECT_EQ(measurer.lastStyle.weight, 400);
  EXPECT_EQ(measurer.lastStyle.lineSpacing, 21);
  EXPECT_EQ(measurer.lastStyle.align, TextAlign::Centre);
}

TEST(BalancedWidths, OneLineKeepsTheFullWidth) {
  FakeMeasurer measurer;
  BalancedWidths widths;
  EXPECT_EQ(widths.Get(measurer, L"short text", 580), 580);
}

TEST(BalancedWidths, NarrowsToTheWidthOfEvenLinesWithoutAddingOne) {
  FakeMeasurer measurer;
  BalancedWidths widths;
  // At 200: "aaaa bbbb cccc dddd" (190) + "eeee" (40). Two lines need 140 at least.
  const std::wstring text = L"aaaa bbbb cccc dddd eeee";
  const float width = widths.Get(measurer, text, 200);
  EXPECT_EQ(CountLines(measurer, text, width), 2u);
  EXPECT_GE(width, 140 + 2);
  EXPECT_LE(width, 140 + 2 + 1);
}

TEST(BalancedWidths, RemembersAnswersByTextAndWidth) {
  FakeMeasurer measurer;
  BalancedWidths widths;
  const std::wstring text = L"aaaa bbbb cccc dddd eeee";
  const float first = widths.Get(measurer, text, 200);
  const int calls = measurer.calls;
  EXPECT_EQ(calls, 13);  // one count at the maximum, twelve search steps
  EXPECT_EQ(widths.Get(measurer, text, 200), first);
  EXPECT_EQ(measurer.calls, calls);
  widths.Get(measurer, text, 300);
  EXPECT_GT(measurer.calls, calls);
}

}  // namespace
}  // namespace tavo::launcher::ui
