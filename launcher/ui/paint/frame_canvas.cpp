#include "launcher/ui/paint/frame_canvas.h"

#include <dwrite.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/winrt/hresult_error.h"
#include "launcher/language/translation.h"
#include "launcher/ui/window/rendering_resources.h"

namespace tavo::launcher::ui {
namespace {

constexpr float kSurfaceCentre = 360;
constexpr float kTitleRowWidth = 624;
constexpr float kTitleRowGap = 31;
constexpr float kTitleBoxWidth = 1000;  // titles are placed by hand; the box only must not wrap

D2D1_RECT_F Rect(float x, float y, float w, float h) { return {x, y, x + w, y + h}; }

// The stops of a gradient: from the cache, or made for one use.
ComPtr<ID2D1GradientStopCollection> MakeStops(ID2D1RenderTarget* target, FrameCache* cache,
                                              const std::vector<GradientStop>& stops) {
  if (cache) return ComPtr<ID2D1GradientStopCollection>::Copy(cache->Stops(target, stops));
  std::vector<D2D1_GRADIENT_STOP> converted;
  converted.reserve(stops.size());
  for (const GradientStop& stop : stops) converted.push_back({stop.position, Colour(stop.rgb, stop.alpha)});
  ComPtr<ID2D1GradientStopCollection> collection;
  if (FAILED(target->CreateGradientStopCollection(converted.data(), static_cast<UINT32>(converted.size()),
                                                  D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP, collection.put())))
    collection.reset();
  return collection;
}

}  // namespace

D2D1_COLOR_F Colour(uint32_t rgb, float alpha) {
  return {static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
          static_cast<float>(rgb & 0xFF) / 255.0f, alpha};
}

TitleRows PlaceTitle(float width1, float width2, float space) {
  TitleRows rows;
  const float sum = width1 + width2;
  if (sum <= kTitleRowWidth) {
    rows.x1 = kSurfaceCentre - sum / 2;
    rows.x2 = rows.x1 + width1;
    return rows;
  }
  rows.twoRows = true;
  rows.x1 = kSurfaceCentre - width1 / 2;
  rows.x2 = kSurfaceCentre - (width2 - space) / 2 - space;
  rows.y2 = kTitleRowGap;
  return rows;
}

FrameCanvas::FrameCanvas(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, const RenderingResources& resources,
                         TextMeasurer& measurer, BalancedWidths& balancedWidths, FrameCache* cache)
    : target_(target),
      brush_(brush),
      resources_(resources),
      measurer_(measurer),
      balancedWidths_(balancedWidths),
      cache_(cache) {}

ComPtr<ID2D1Factory> FrameCanvas::Factory() const {
  ComPtr<ID2D1Factory> factory;
  target_->GetFactory(factory.put());
  return factory;
}

LaidOutText FrameCanvas::Text(std::wstring_view text, float boxWidth, const TextStyle& style) {
  if (cache_) return cache_->Text(resources_, text, boxWidth, style);
  LaidOutText laidOut;
  laidOut.layout = resources_.MakeTextLayout(text, boxWidth, style);
  CheckHr(laidOut.layout->GetMetrics(&laidOut.metrics));
  return laidOut;
}

float FrameCanvas::BalancedWidth(std::wstring_view text, float maxWidth) {
  return balancedWidths_.Get(measurer_, text, maxWidth);
}

ID2D1SolidColorBrush* FrameCanvas::Brush(uint32_t rgb, float opacity) {
  brush_->SetColor(Colour(rgb, opacity));
  return brush_;
}

void FrameCanvas::FillRect(float x, float y, float w, float h, uint32_t rgb, float radius, float opacity) {
  FillRect(x, y, w, h, Brush(rgb, opacity), radius);
}

void FrameCanvas::FillRect(float x, float y, float w, float h, ID2D1Brush* brush, float radius) {
  if (!brush) return;
  if (radius > 0)
    target_->FillRoundedRectangle({Rect(x, y, w, h), radius, radius}, brush);
  else
    target_->FillRectangle(Rect(x, y, w, h), brush);
}

void FrameCanvas::StrokeRoundRect(float x, float y, float w, float h, uint32_t rgb, float radius, float opacity,
                                  float strokeWidth) {
  StrokeRoundRect(x, y, w, h, Brush(rgb, opacity), radius, strokeWidth);
}

void FrameCanvas::StrokeRoundRect(float x, float y, float w, float h, ID2D1Brush* brush, float radius,
                                  float strokeWidth) {
  if (!brush) return;
  target_->DrawRoundedRectangle({Rect(x, y, w, h), radius, radius}, brush, strokeWidth);
}

void FrameCanvas::FillRoundRects(const std::vector<D2D1_ROUNDED_RECT>& rects, uint32_t rgb, float opacity) {
  if (rects.empty()) return;
  ID2D1SolidColorBrush* brush = Brush(rgb, opacity);
  if (ID2D1Geometry* geometry = cache_ ? cache_->RoundRects(Factory().get(), rects) : nullptr) {
    target_->FillGeometry(geometry, brush, nullptr);
    return;
  }
  for (const D2D1_ROUNDED_RECT& r : rects) target_->FillRoundedRectangle(&r, brush);
}

void FrameCanvas::FillDisc(float centreX, float centreY, float radius, uint32_t rgb, float opacity) {
  target_->FillEllipse({{centreX, centreY}, radius, radius}, Brush(rgb, opacity));
}

void FrameCanvas::Line(float x1, float y1, float x2, float y2, uint32_t rgb, float opacity, float strokeWidth) {
  target_->DrawLine({x1, y1}, {x2, y2}, Brush(rgb, opacity), strokeWidth, resources_.RoundStroke());
}

void FrameCanvas::Lines(const std::vector<Segment>& segments, uint32_t rgb, float opacity, float strokeWidth) {
  if (segments.empty()) return;
  ID2D1SolidColorBrush* brush = Brush(rgb, opacity);
  if (ID2D1Geometry* geometry = cache_ ? cache_->Segments(Factory().get(), segments) : nullptr) {
    target_->DrawGeometry(geometry, brush, strokeWidth, resources_.RoundStroke());
    return;
  }
  for (const Segment& s : segments) target_->DrawLine(s.from, s.to, brush, strokeWidth, resources_.RoundStroke());
}

float FrameCanvas::DrawText(std::wstring_view text, float x, float y, float boxWidth, const TextStyle& style,
                            uint32_t rgb, float opacity) {
  if (opacity <= 0) return 0;
  return DrawText(text, x, y, boxWidth, style, Brush(rgb, opacity));
}

float FrameCanvas::DrawText(std::wstring_view text, float x, float y, float boxWidth, const TextStyle& style,
                            ID2D1Brush* brush) {
  if (!brush) return 0;
  const LaidOutText laidOut = Text(text, boxWidth, style);
  target_->DrawTextLayout({x, y}, laidOut.layout.get(), brush, D2D1_DRAW_TEXT_OPTIONS_NONE);
  return laidOut.metrics.height;
}

void FrameCanvas::RadialGlow(const Glow& glow) {
  if (glow.opacity <= 0.002f) return;
  // One stop collection per colour; the brush's opacity scales its alpha.
  ComPtr<ID2D1GradientStopCollection> collection =
      MakeStops(target_, cache_, {{0.0f, glow.rgb, 1}, {0.45f, glow.rgb, 0.45f}, {1.0f, glow.rgb, 0}});
  // A brush fails only when the device is gone; EndDraw reports that for the frame.
  if (!collection) return;
  ComPtr<ID2D1RadialGradientBrush> brush;
  const D2D1_POINT_2F centre{glow.centreX, glow.centreY};
  const D2D1_RADIAL_GRADIENT_BRUSH_PROPERTIES properties{centre, {0, 0}, glow.radiusX, glow.radiusY};
  const D2D1_BRUSH_PROPERTIES opacity{glow.opacity, {1, 0, 0, 1, 0, 0}};
  if (FAILED(target_->CreateRadialGradientBrush(&properties, &opacity, collection.get(), brush.put()))) return;
  target_->FillEllipse({centre, glow.radiusX, glow.radiusY}, brush.get());
}

ComPtr<ID2D1LinearGradientBrush> FrameCanvas::LinearGradient(D2D1_POINT_2F start, D2D1_POINT_2F end,
                                                             std::initializer_list<GradientStop> stops, float opacity) {
  ComPtr<ID2D1LinearGradientBrush> brush;
  ComPtr<ID2D1GradientStopCollection> collection = MakeStops(target_, cache_, std::vector<GradientStop>(stops));
  if (!collection) return brush;
  const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES properties{start, end};
  const D2D1_BRUSH_PROPERTIES brushProperties{opacity, {1, 0, 0, 1, 0, 0}};
  if (FAILED(target_->CreateLinearGradientBrush(&properties, &brushProperties, collection.get(), brush.put())))
    brush.reset();
  return brush;
}

void FrameCanvas::CheckMark(float centreX, float centreY, float r, uint32_t rgb, float strokeWidth, float opacity) {
  const D2D1_POINT_2F start{centreX - 0.42f * r, centreY + 0.02f * r};
  const D2D1_POINT_2F corner{centreX - 0.12f * r, centreY + 0.32f * r};
  const D2D1_POINT_2F end{centreX + 0.44f * r, centreY - 0.30f * r};
  ID2D1SolidColorBrush* brush = Brush(rgb, opacity);
  target_->DrawLine(start, corner, brush, strokeWidth, resources_.RoundStroke());
  target_->DrawLine(corner, end, brush, strokeWidth, resources_.RoundStroke());
}

void FrameCanvas::DrawBitmap(ID2D1Bitmap* bitmap, float x, float y, float w, float h, float opacity) {
  if (!bitmap || opacity <= 0) return;
  const D2D1_RECT_F destination = Rect(x, y, w, h);
  target_->DrawBitmap(bitmap, &destination, std::min(opacity, 1.0f), D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
}

void FrameCanvas::FillOpacityMask(ID2D1Bitmap* mask, float x, float y, float w, float h, uint32_t rgb) {
  if (!mask) return;
  const D2D1_RECT_F destination = Rect(x, y, w, h);
  // Direct2D fills an opacity mask only with aliased primitives.
  const D2D1_ANTIALIAS_MODE mode = target_->GetAntialiasMode();
  target_->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
  target_->FillOpacityMask(mask, Brush(rgb, 1), D2D1_OPACITY_MASK_CONTENT_GRAPHICS, &destination, nullptr);
  target_->SetAntialiasMode(mode);
}

TextStyle FrameCanvas::Fitted(std::wstring_view text, const TextStyle& style, float boxWidth, uint32_t maxLines) {
  return balancedWidths_.Fitted(measurer_, text, style, boxWidth, maxLines);
}

void FrameCanvas::DrawTitle(std::wstring_view line1, std::wstring_view line2, float top, float opacity,
                            bool celebratory, const Colours& colours, const TextStyle& style) {
  if (opacity <= 0) return;
  const LaidOutText first = Text(line1, kTitleBoxWidth, style);
  LaidOutText second;
  float space = 0;
  if (!line2.empty()) {
    const std::wstring joiner = ShownTitleJoiner();
    second = Text(joiner + std::wstring(line2), kTitleBoxWidth, style);
    // Where the first word starts: the joiner's advance, measured on its own
    // (Wine's layouts answer no hit tests).
    if (!joiner.empty()) space = Text(joiner, kTitleBoxWidth, style).metrics.widthIncludingTrailingWhitespace;
  }

  const TitleRows rows = PlaceTitle(first.metrics.width, second.layout ? second.metrics.width : 0, space);
  target_->DrawTextLayout({rows.x1, top + rows.y1}, first.layout.get(), Brush(colours.text, opacity),
                          D2D1_DRAW_TEXT_OPTIONS_NONE);
  if (!second.layout) return;

  const D2D1_POINT_2F origin{rows.x2, top + rows.y2};
  ComPtr<ID2D1LinearGradientBrush> gradient;
  if (celebratory && !colours.highContrast)
    gradient = LinearGradient(origin, {origin.x + second.metrics.width, origin.y},
                              {{0.0f, 0x6AF9C2, 1}, {0.6f, 0x23EFFA, 1}, {1.0f, 0x2AC6FF, 1}}, opacity);
  const uint32_t plain = celebratory && colours.highContrast ? colours.accent : colours.titleLine2;
  ID2D1Brush* brush = gradient ? static_cast<ID2D1Brush*>(gradient.get()) : Brush(plain, opacity);
  target_->DrawTextLayout(origin, second.layout.get(), brush, D2D1_DRAW_TEXT_OPTIONS_NONE);
}

}  // namespace tavo::launcher::ui
