#include "launcher/ui/model/text_measurer.h"

#include "launcher/language/translation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tavo::launcher::ui {
namespace {

// Every character is 10 DIPs wide (`proportional`: half the size); words
// wrap greedily at spaces.
class FakeMeasurer final : public TextMeasurer {
 public:
  explicit FakeMeasurer(bool proportional = false) : proportional_(proportional) {}
  TextExtent Measure(std::wstring_view text, const TextStyle& style, float boxWidth) override {
    const float advance = proportional_ ? style.size / 2 : 10.0f;
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
      const float word = advance * static_cast<float>(end - start);
      const float needed = line == 0 ? word : line + advance + word;
      if (line > 0 && needed > boxWidth) {
        ++lines;
        line = word;
      } else {
        line = needed;
      }
      widest = std::max(widest, line);
      start = end + 1;
    }
    return {widest, advance * static_cast<float>(text.size()), 21.0f * static_cast<float>(lines), lines};
  }
  int calls = 0;
  TextStyle lastStyle;
  float lastBox = 0;

 private:
  bool proportional_;
};

// A text keeps its size when it fits, else takes the largest half-DIP step
// that does, down to 80 % of its size; line spacing follows the size.
TEST(FitStyle, ShrinksInHalfStepsToTheFloor) {
  FakeMeasurer measurer(true);  // 20 DIP: 10 a character
  const TextStyle body{20, 400, TextAlign::Centre, 30};
  struct Case {
    const wchar_t* text;
    float box;
    uint32_t lines;
    float size;
  };
  const Case cases[] = {
      {L"aaaaaaaaaa", 100, 1, 20},            // 100 wide: fits as it is
      {L"aaaaaaaaaaa", 100, 1, 18},           // 110 at 20: 18 is the largest step within 100
      {L"aaaaaaaaaaaaaaaaaaaa", 100, 1, 16},  // does not fit even at 16: the floor
      {L"aaaa bbbb cccc", 100, 1, 16},        // wraps at every size: the floor
      {L"aaaa bbbb cccc", 100, 2, 20},        // two lines allowed
      {L"aaaaa bbbbb cccc", 140, 2, 20},      // 16 characters in two lines of 140 at 20
      {L"aaaaaaa bbbbbbb", 140, 1, 18.5f},    // 150 at 20, 138.75 at 18.5
  };
  for (const Case& c : cases) {
    const TextStyle fitted = FitStyle(measurer, c.text, body, c.box, c.lines);
    EXPECT_FLOAT_EQ(fitted.size, c.size) << c.text;
    EXPECT_FLOAT_EQ(fitted.lineSpacing, 30 * c.size / 20) << c.text;
    EXPECT_EQ(fitted.weight, 400);
  }
}

TEST(FitStyle, TitlesFitOnOneRowOrEachPartOnItsOwn) {
  FakeMeasurer measurer(true);
  const TextStyle title{20, 700};
  // 10 and 1 + 10 characters: 210 on one row at 20.
  EXPECT_FLOAT_EQ(FitTitleStyle(measurer, L"aaaaaaaaaa", L"bbbbbbbbbb", title, 210, true).size, 20);
  EXPECT_FLOAT_EQ(FitTitleStyle(measurer, L"aaaaaaaaaa", L"bbbbbbbbbb", title, 200, true).size, 19);
  EXPECT_FLOAT_EQ(FitTitleStyle(measurer, L"aaaaaaaaaa", L"bbbbbbbbbb", title, 110, false).size, 20);
  EXPECT_FLOAT_EQ(FitTitleStyle(measurer, L"aaaaaaaaaaaa", L"", title, 110, false).size, 18);
  EXPECT_FLOAT_EQ(FitTitleStyle(measurer, L"aaaaaaaaaaaaaaaaaaaa", L"b", title, 110, false).size, 16);
  // Japanese joins the parts with nothing: 20 characters fit 200 at 20.
  SetActiveTranslation(Translation(L"ja", {}, {}));
  EXPECT_FLOAT_EQ(FitTitleStyle(measurer, L"aaaaaaaaaa", L"bbbbbbbbbb", title, 200, true).size, 20);
  SetActiveTranslation(Translation());
}

TEST(BalancedWidths, RemembersFittedStylesPerTextSizeAndBox) {
  FakeMeasurer measurer(true);
  BalancedWidths widths;
  const TextStyle style{20, 400};
  EXPECT_FLOAT_EQ(widths.Fitted(measurer, L"aaaaaaaaaaa", style, 100, 1).size, 18);
  const int calls = measurer.calls;
  EXPECT_FLOAT_EQ(widths.Fitted(measurer, L"aaaaaaaaaaa", style, 100, 1).size, 18);
  EXPECT_EQ(measurer.calls, calls);
  EXPECT_FLOAT_EQ(widths.Fitted(measurer, L"aaaaaaaaaaa", style, 110, 1).size, 20);  // another box
}

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
