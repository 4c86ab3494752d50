// What a frame of the setup window is drawn with: the render target (its
// transform already maps the 720 x 600 design surface into the client area),
// the one shared brush, the device-independent resources and the balanced-width
// cache. Every coordinate is in DIPs of the design surface; colours are 0xRRGGBB
// and opacity multiplies their alpha.
#pragma once

#include <d2d1.h>

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "common/winrt/com_ptr.h"
#include "launcher/ui/model/colours.h"
#include "launcher/ui/model/easing.h"
#include "launcher/ui/model/frame_geometry.h"
#include "launcher/ui/model/text_measurer.h"
#include "launcher/ui/paint/frame_cache.h"

namespace tavo::launcher::ui {

class RenderingResources;

// 0xRRGGBB with the given alpha as a Direct2D colour.
D2D1_COLOR_F Colour(uint32_t rgb, float alpha);

// Where the two lines of a title go: one row when their widths (line 2 laid
// out after the language's joiner: a no-break space, or nothing) sum to at
// most 624, starting at 360 - sum / 2 with line 2 right after line 1; else
// each line centred on 360, line 2 31 below. `space` is the joiner's share of
// width2: on its own row the visible words of line 2 are centred, not the
// space before them. The y values are offsets from the title's top.
struct TitleRows {
  bool twoRows = false;
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
TitleRows PlaceTitle(float width1, float width2, float space = 0);

class FrameCanvas {
 public:
  // `cache` null: every layout, gradient and glow is made for this draw alone.
  FrameCanvas(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, const RenderingResources& resources,
              TextMeasurer& measurer, BalancedWidths& balancedWidths, FrameCache* cache);

  ID2D1RenderTarget* Target() const { return target_; }
  const RenderingResources& Resources() const { return resources_; }
  FrameCache* Cache() const { return cache_; }
  TextMeasurer& Measurer() const { return measurer_; }
  BalancedWidths& Widths() const { return balancedWidths_; }
  // A laid-out text with its metrics (from the cache when there is one).
  LaidOutText Text(std::wstring_view text, float boxWidth, const TextStyle& style);
  // The balanced width of a body text (cached per text and width).
  float BalancedWidth(std::wstring_view text, float maxWidth);

  // Sets the shared brush's colour and opacity and returns it.
  ID2D1SolidColorBrush* Brush(uint32_t rgb, float opacity);

  // A rounded rectangle when the radius is above 0, else a plain one.
  void FillRect(float x, float y, float w, float h, uint32_t rgb, float radius, float opacity);
  void StrokeRoundRect(float x, float y, float w, float h, uint32_t rgb, float radius, float opacity,
                       float strokeWidth);
  // The same with any brush (a gradient fill or outline); nothing when the brush is null.
  void FillRect(float x, float y, float w, float h, ID2D1Brush* brush, float radius);
  void StrokeRoundRect(float x, float y, float w, float h, ID2D1Brush* brush, float radius, float strokeWidth);
  // Rectangles of one colour and radius that do not overlap: one geometry and
  // one draw through the cache, else one draw each.
  void FillRoundRects(const std::vector<D2D1_ROUNDED_RECT>& rects, uint32_t rgb, float opacity);
  void FillDisc(float centreX, float centreY, float radius, uint32_t rgb, float opacity);
  // A line with the round stroke style.
  void Line(float x1, float y1, float x2, float y2, uint32_t rgb, float opacity, float strokeWidth);
  // Lines of one colour and width with the round stroke style: one geometry
  // and one draw through the cache, else one draw each.
  void Lines(const std::vector<Segment>& segments, uint32_t rgb, float opacity, float strokeWidth);
  // Skipped when the opacity is 0 or less; returns the laid-out height.
  float DrawText(std::wstring_view text, float x, float y, float boxWidth, const TextStyle& style, uint32_t rgb,
                 float opacity);
  // The same with any brush (a gradient across a title line).
  float DrawText(std::wstring_view text, float x, float y, float boxWidth, const TextStyle& style, ID2D1Brush* brush);
  // An elliptical radial gradient in one colour (alpha opacity, 0.45 x opacity
  // at 0.45, 0 at the rim); skipped when the opacity is at most 0.002.
  void RadialGlow(const Glow& glow);
  // Null when the brush cannot be made (the caller skips that drawing). The
  // brush's opacity multiplies the stops' alpha.
  ComPtr<ID2D1LinearGradientBrush> LinearGradient(D2D1_POINT_2F start, D2D1_POINT_2F end,
                                                  std::initializer_list<GradientStop> stops, float opacity = 1);
  // Two round strokes: (x - 0.42r, y + 0.02r) to (x - 0.12r, y + 0.32r) to (x + 0.44r, y - 0.30r).
  void CheckMark(float centreX, float centreY, float r, uint32_t rgb, float strokeWidth, float opacity);
  void DrawBitmap(ID2D1Bitmap* bitmap, float x, float y, float w, float h, float opacity);
  // The bitmap's shape (its alpha) filled with one colour.
  void FillOpacityMask(ID2D1Bitmap* mask, float x, float y, float w, float h, uint32_t rgb);

  // Title lines of a tip or an outcome heading at `top`: one row when both fit
  // in 624 together, else two centred rows 31 apart. Line 1 is white; line 2 is
  // #6B6B73, or a green-to-blue gradient when celebratory (high contrast: the
  // window text, and the highlight when celebratory).
  void DrawTitle(std::wstring_view line1, std::wstring_view line2, float top, float opacity, bool celebratory,
                 const Colours& colours, const TextStyle& style = text_style::kTitle);
  // The style at which a text fits its place (FitStyle), remembered per text.
  TextStyle Fitted(std::wstring_view text, const TextStyle& style, float boxWidth, uint32_t maxLines);

 private:
  // The factory of the target (geometries are made there).
  ComPtr<ID2D1Factory> Factory() const;

  ID2D1RenderTarget* target_;
  ID2D1SolidColorBrush* brush_;
  const RenderingResources& resources_;
  TextMeasurer& measurer_;
  BalancedWidths& balancedWidths_;
  FrameCache* cache_;
};

}  // namespace tavo::launcher::ui
