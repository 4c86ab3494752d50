// Update controls without the drawing: which buttons and links exist, their texts
// and rectangles on the 720 x 600 design surface, the accessible status text and
// the window title, all computed from the screen model.
#pragma once

#include <string>
#include <string_view>

#include "launcher/ui/model/screen_model.h"

namespace tavo::launcher {

inline constexpr int kIdPrimary = 1001;
inline constexpr int kIdSecondary = 1002;
inline constexpr int kIdCaptionClose = 1003;
inline constexpr int kIdCaptionMinimize = 1004;
inline constexpr int kIdShowLog = 1006;
inline constexpr int kIdStatusText = 1007;
inline constexpr int kIdCopyDetails = 1008;

struct DipRect {
  float x = 0, y = 0, w = 0, h = 0;
  bool operator==(const DipRect&) const = default;
};

// The text measures the layout needs, in DIPs of the UI family (the window
// implements it over DirectWrite; tests with fixed widths).
class LayoutMeasure {
 public:
  virtual ~LayoutMeasure() = default;
  // A row button label: 14 DIP, weight 600, box 1000 wide.
  virtual float ButtonTextWidth(std::wstring_view text) = 0;
  // Error row text and links: 12 DIP, weight 400, box 300 wide.
  virtual float SmallTextWidth(std::wstring_view text) = 0;
  // One outcome title line in the title style.
  virtual float TitleWidth(std::wstring_view text) = 0;
  // The status text centred at 14 DIP, line spacing 21, box = its width capped at 580.
  virtual float BodyHeight(std::wstring_view text) = 0;
};

struct ControlsInput {
  bool preview = false;
  bool installOnly = false;
  bool reportReady = false;
};

struct OutcomeLayout {
  float heroCentre = 214, kickerTop = 336, titleTop = 356, bodyTop = 398, errorRowTop = 476, noteTop = 470,
        buttonTop = 526, titleHeight = 30, bodyHeight = 21;
  bool operator==(const OutcomeLayout&) const = default;
};

struct Controls {
  std::wstring primaryText;    // empty: no primary button
  std::wstring secondaryText;  // empty: no secondary button
  bool primaryEnabled = true;
  bool captionEnabled = true;
  bool copyLinkShown = false;
  bool logLinkShown = false;
  DipRect primary, secondary, copyLink, logLink, status;
  DipRect errorLabel;  // "Error " + the code text, where the error row starts
  std::wstring copyLinkText = L"Copy details";
  std::wstring accessibleText;
  std::wstring title;
  OutcomeLayout layout;
  bool operator==(const Controls&) const = default;
};

struct TitleLines {
  const wchar_t* kicker;
  const wchar_t* line1;
  const wchar_t* line2;
  uint32_t accent;  // 0xRRGGBB
  bool celebratory;
};
TitleLines TitleLinesFor(Screen screen);

// The application opens by itself after success: not install only, no stop asked.
bool OpensAutomatically(const ScreenModel& model, bool installOnly);
// The three dots pulse under the body while the application opens by itself.
bool OpeningDotsShown(const ScreenModel& model, bool installOnly);

// The primary button's text for the model; empty when the primary is hidden.
std::wstring PrimaryText(const ScreenModel& model, const ControlsInput& input);

// The tip indicator (0..6) under a design-surface point, or -1: indicator i
// takes x in [265 + 28 i - 3, 265 + 28 i + 25] and y in [355, 376].
int TipIndicatorAt(float x, float y);

Controls ComputeControls(const ScreenModel& model, const ControlsInput& input, LayoutMeasure& measure);

}  // namespace tavo::launcher
