// Text measurement for layout decisions: the styles of the screens' texts, a
// small interface that the window's DirectWrite measurer implements (and tests
// fake), and the measurements the layout is built from.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace tavo::launcher::ui {

// Values are DirectWrite's DWRITE_TEXT_ALIGNMENT.
enum class TextAlign : uint8_t { Leading = 0, Trailing = 1, Centre = 2 };

struct TextStyle {
  float size = 14;  // DIPs
  uint16_t weight = 400;
  TextAlign align = TextAlign::Leading;
  float lineSpacing = 0;    // > 0: uniform line height, baseline at 0.78 of it
  float letterSpacing = 0;  // factor of the size, added after each character
  bool tabularFigures = false;
  // Off for codes: the UI font's contextual alternates would turn the "x" of
  // "0x800B010A" into a multiplication sign.
  bool contextualAlternates = true;
};

// The text styles of the screens.
namespace text_style {
inline constexpr TextStyle kKicker{11, 600, TextAlign::Centre, 0, 0.14f};
inline constexpr TextStyle kTitle{24, 700, TextAlign::Leading, 0, -0.022f};
inline constexpr TextStyle kBody{14, 400, TextAlign::Centre, 21};
inline constexpr TextStyle kButton{14, 600, TextAlign::Centre};
inline constexpr TextStyle kLink{12, 500, TextAlign::Centre};
inline constexpr TextStyle kProgressLabel{13, 500, TextAlign::Leading};
inline constexpr TextStyle kPercent{13, 500, TextAlign::Trailing, 0, 0, true};
inline constexpr TextStyle kFooter{12, 400, TextAlign::Leading};
inline constexpr TextStyle kErrorCode{12, 400, TextAlign::Leading, 0, 0, true, false};
inline constexpr TextStyle kBadge{9.5f, 600, TextAlign::Leading, 0, 0.14f};
inline constexpr TextStyle kOverlayTitle{17, 600, TextAlign::Centre, 0, -0.01f};
inline constexpr TextStyle kOverlayBody{13.5f, 400, TextAlign::Centre, 20};
}  // namespace text_style

// The laid-out size of a text, in DIPs.
struct TextExtent {
  float width = 0;                    // widest line, trailing white space excluded
  float widthIncludingTrailingSpace = 0;
  float height = 0;
  uint32_t lineCount = 0;
};

class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  // Lays the text out in `style` in a box `boxWidth` wide (and 1000 high).
  virtual TextExtent Measure(std::wstring_view text, const TextStyle& style, float boxWidth) = 0;
};

// Width of the text at `size`, weight 600, in a box 1000 wide, trailing white
// space included: the width of button labels.
float MeasureWidth(TextMeasurer& measurer, std::wstring_view text, float size);

// Lines of the text in the body style (14, weight 400, centred, line spacing 21)
// in a box `width` wide.
uint32_t CountLines(TextMeasurer& measurer, std::wstring_view text, float width);

// How far a text that does not fit its place shrinks: in steps of half a DIP
// down to 80 % of its size, which stays readable (11 DIP kickers 8.8, the
// 24 DIP titles 19.2). A text that does not fit even there is drawn at the
// floor, and the fit test names it.
inline constexpr float kShrinkStep = 0.5f;
inline constexpr float kShrinkFloor = 0.8f;

// `style` at `size`, its line spacing scaled with it.
TextStyle AtSize(const TextStyle& style, float size);

// The style, at its own size or smaller (kShrinkStep down to kShrinkFloor),
// at which `text` lays out in a box `boxWidth` wide on at most `maxLines`
// lines, no line wider than the box.
TextStyle FitStyle(TextMeasurer& measurer, std::wstring_view text, const TextStyle& style, float boxWidth,
                   uint32_t maxLines);

// The title style at which both parts of a title fit in `rowWidth`: on one
// row together (`oneRow`: a tip, whose body follows at once), or each on its
// own row (an outcome heading, which gives the title two rows when needed).
TextStyle FitTitleStyle(TextMeasurer& measurer, std::wstring_view line1, std::wstring_view line2,
                        const TextStyle& style, float rowWidth, bool oneRow);

// The narrowest width, up to `maxWidth`, at which the text in the body style
// wraps into no more lines than at `maxWidth`: balanced lines instead of a long
// first line and a short last one. Remembers each answer by text and width,
// and the fitted styles of FitStyle by text, size, box and lines.
class BalancedWidths {
 public:
  float Get(TextMeasurer& measurer, std::wstring_view text, float maxWidth);
  TextStyle Fitted(TextMeasurer& measurer, std::wstring_view text, const TextStyle& style, float boxWidth,
                   uint32_t maxLines);
  TextStyle FittedTitle(TextMeasurer& measurer, std::wstring_view line1, std::wstring_view line2,
                        const TextStyle& style, float rowWidth, bool oneRow);

 private:
  std::map<std::wstring, float> cache_;
  std::map<std::wstring, float> fittedSizes_;
};

}  // namespace tavo::launcher::ui
