#include "launcher/ui/paint/frame_painter.h"

#include <cmath>
#include <string>

#include "launcher/ui/model/frame_geometry.h"
#include "launcher/ui/model/palette.h"
#include "launcher/ui/model/tip_table.h"
#include "launcher/ui/paint/button_painter.h"
#include "launcher/ui/paint/frame_canvas.h"
#include "launcher/ui/paint/outcome_painter.h"
#include "launcher/ui/paint/stop_overlay_painter.h"

namespace tavo::launcher::ui {

namespace {

using palette::kWhite;

// The slowly drifting glows behind every screen; t stands still with reduced motion.
void DrawAmbient(FrameCanvas& canvas, double t) {
  const auto f = [](double v) { return static_cast<float>(v); };
  canvas.RadialGlow(f(40 + 40 * std::sin(0.21 * t)), f(-70 + 24 * std::cos(0.17 * t)), 560, 340, 0x1626B1, 0.5f);
  canvas.RadialGlow(f(-30 + 30 * std::cos(0.15 * t)), f(40 + 30 * std::sin(0.19 * t)), 360, 260, 0x3045FF, 0.16f);
  canvas.RadialGlow(f(690 + 30 * std::cos(0.18 * t)), f(640 + 20 * std::sin(0.14 * t)), 460, 300, 0x00E4C2, 0.12f);
  canvas.RadialGlow(760, 520, 320, 260, 0x120051, 0.35f);
}

void DrawWordmark(FrameCanvas& canvas, const DeviceResources& device, const Colours& colours) {
  ID2D1Bitmap* wordmark = device.Wordmark();
  const float height = HeightByAspect(device.WordmarkPicture(), kWordmarkWidth);
  // In high contrast its own light lettering could vanish: its shape in the window text instead.
  if (colours.highContrast)
    canvas.FillOpacityMask(wordmark, 32, 25, kWordmarkWidth, height, colours.text);
  else
    canvas.DrawBitmap(wordmark, 32, 25, kWordmarkWidth, height, 1.0f);
}

// The layer parameters of an opacity mask over `bounds`.
D2D1_LAYER_PARAMETERS MaskLayer(const D2D1_RECT_F& bounds, ID2D1Brush* mask) {
  return {bounds, nullptr, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE, {1, 0, 0, 1, 0, 0}, 1.0f, mask, D2D1_LAYER_OPTIONS_NONE};
}

// A tip picture centred on (360, 202), its edges faded by two opacity-mask
// layers; in high contrast plain, clipped to its unzoomed place, so its edges stay sharp.
void DrawTipPicture(FrameCanvas& canvas, const DeviceResources& device, int tip, float opacity, float zoom,
                    bool highContrast) {
  if (opacity <= 0) return;
  const PixelSize picture = device.TipPicture(tip);
  const float fit = TipFitFactor(picture), factor = fit * zoom;
  const float w = static_cast<float>(picture.width) * factor, h = static_cast<float>(picture.height) * factor;
  const float x = 360 - w / 2, y = 202 - h / 2;
  const D2D1_RECT_F bounds{x, y, x + w, y + h};
  ID2D1RenderTarget* target = canvas.Target();
  if (highContrast) {
    const float fitW = static_cast<float>(picture.width) * fit, fitH = static_cast<float>(picture.height) * fit;
    const D2D1_RECT_F clip{360 - fitW / 2, 202 - fitH / 2, 360 + fitW / 2, 202 + fitH / 2};
    target->PushAxisAlignedClip(&clip, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    canvas.DrawBitmap(device.Tip(tip), x, y, w, h, opacity);
    target->PopAxisAlignedClip();
    return;
  }
  ComPtr<ID2D1LinearGradientBrush> across =
      canvas.LinearGradient({x, y}, {x + w, y},
                            {{0, kWhite, 0}, {0.07f, kWhite, 0.45f}, {0.17f, kWhite, 1}, {0.83f, kWhite, 1},
                             {0.93f, kWhite, 0.45f}, {1, kWhite, 0}});
  ComPtr<ID2D1LinearGradientBrush> down =
      canvas.LinearGradient({x, y}, {x, y + h},
                            {{0, kWhite, 0}, {0.08f, kWhite, 0.5f}, {0.18f, kWhite, 1}, {0.74f, kWhite, 1},
                             {0.90f, kWhite, 0.4f}, {1, kWhite, 0}});
  // A mask that cannot be made leaves that edge unfaded rather than losing the picture.
  int pushed = 0;
  for (const auto& [mask, layer] : {std::pair{across.get(), device.Layer(0)}, std::pair{down.get(), device.Layer(1)}}) {
    if (!mask) continue;
    const D2D1_LAYER_PARAMETERS parameters = MaskLayer(bounds, mask);
    target->PushLayer(&parameters, layer);
    ++pushed;
  }
  canvas.DrawBitmap(device.Tip(tip), x, y, w, h, opacity);
  for (; pushed > 0; --pushed) target->PopLayer();
}

void DrawCarousel(FrameCanvas& canvas, const DeviceResources& device, const ScreenModel& m,
                  const CarouselPhase& phase, const Colours& colours) {
  const float f = phase.crossFade;
  const bool hc = colours.highContrast;
  if (!hc) {
    if (f < 1) canvas.RadialGlow(360, 202, 330, 190, kTips[m.previousTip].accent, 0.1f * (1 - f));
    canvas.RadialGlow(360, 202, 330, 190, kTips[m.currentTip].accent, 0.1f * f);
  }
  if (f < 1) DrawTipPicture(canvas, device, m.previousTip, 1 - f, Zoom(phase.previousZoomAge, m.reducedMotion), hc);
  DrawTipPicture(canvas, device, m.currentTip, f, Zoom(phase.currentZoomAge, m.reducedMotion), hc);

  // High contrast: solid tracks in the window text, filled with the highlight.
  for (int i = 0; i < kTipCount; ++i) {
    const float x = 265.0f + 28.0f * static_cast<float>(i);
    canvas.FillRect(x, 364, 22, 3, hc ? colours.text : kWhite, 1.5f, colours.Opacity(0.14f));
    const float width = IndicatorFillWidth(i, m.currentTip, m.tipDwell);
    const float opacity = colours.Opacity(i == m.currentTip ? 0.85f : 0.42f);
    if (width > 0) canvas.FillRect(x, 364, width, 3, colours.Accent(kWhite), 1.5f, opacity);
  }
}

void DrawTipTexts(FrameCanvas& canvas, const Tip& tip, float opacity, float offset, const Colours& colours) {
  canvas.DrawText(tip.kicker, 48, 392 + offset, 624, text_style::kKicker, colours.Accent(tip.accent), opacity);
  canvas.DrawTitle(tip.titleLine1, tip.titleLine2, 412 + offset, opacity, false, colours);
  const float width = canvas.BalancedWidth(tip.body, 540);
  canvas.DrawText(tip.body, 360 - width / 2, 452 + 1.4f * offset, width, text_style::kBody, colours.secondaryText,
                  opacity);
}

void DrawTipCopy(FrameCanvas& canvas, const ScreenModel& m, const CarouselPhase& phase, const Colours& colours) {
  const Tip& tip = kTips[phase.previousTexts ? m.previousTip : m.currentTip];
  DrawTipTexts(canvas, tip, phase.textOpacity, phase.textOffset, colours);
}

void DrawProgressArea(FrameCanvas& canvas, const ScreenModel& m, bool installOnly, double seconds,
                      const Colours& colours) {
  canvas.DrawText(ProgressLabel(m.screen), 48, 523, 400, text_style::kProgressLabel, colours.label, 1);
  const bool determinate = BarIsDeterminate(m.screen, m.progress);
  if (determinate) {
    canvas.DrawText(std::to_wstring(m.progress) + L"%", 592, 523, 80, text_style::kPercent, colours.muted, 1);
  }
  const bool hc = colours.highContrast;
  // High contrast: the track outlined in the window text, the fill solid highlight, no glow or shimmer.
  if (hc)
    canvas.StrokeRoundRect(48.5f, 548.5f, 623, 3, colours.text, 1.5f, 1, 1);
  else
    canvas.FillRect(48, 548, 624, 4, kWhite, 2, 0.08f);

  ID2D1RenderTarget* target = canvas.Target();
  ComPtr<ID2D1LinearGradientBrush> bar;
  if (!hc) bar = canvas.LinearGradient({48, 548}, {672, 548}, {{0, 0x3B82F6, 1}, {1, 0x7DE2D1, 1}});
  const auto barBrush = [&]() -> ID2D1Brush* {
    if (hc) return canvas.Brush(colours.accent, 1);
    return bar.get();
  };
  const D2D1_RECT_F clip{48, 536, 672, 564};
  target->PushAxisAlignedClip(&clip, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
  if (determinate) {
    const float w = DeterminateFillWidth(m.displayedProgress);
    canvas.FillRect(48, 548, w, 4, barBrush(), 2);
    if (!hc) canvas.RadialGlow(48 + w - 2, 550, 22, 7, 0x7DE2D1, 0.55f);
    if (ShimmerShown(w, m.reducedMotion, hc)) {
      const float centre = ShimmerCentre(seconds, w);
      ComPtr<ID2D1LinearGradientBrush> shimmer = canvas.LinearGradient(
          {centre - 45, 548}, {centre + 45, 548}, {{0, kWhite, 0}, {0.5f, kWhite, 0.45f}, {1, kWhite, 0}});
      const D2D1_RECT_F shimmerClip{48, 548, 48 + w, 552};
      target->PushAxisAlignedClip(&shimmerClip, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
      canvas.FillRect(48, 548, w, 4, shimmer.get(), 0);
      target->PopAxisAlignedClip();
    }
  } else {
    canvas.FillRect(IndeterminateSegmentLeft(seconds), 548, 174.72f, 4, barBrush(), 2);
  }
  target->PopAxisAlignedClip();
  canvas.DrawText(FooterText(m.screen, installOnly), 48, 562, 624, text_style::kFooter, colours.faint, 1);
}

}  // namespace

bool DrawFrame(FrameTools& tools, const FrameInputs& inputs) {
  const ScreenModel& m = *inputs.model;
  DeviceResources& device = tools.device;
  ID2D1RenderTarget* target = device.Target();
  target->BeginDraw();
  const D2D1_MATRIX_3X2_F identity{1, 0, 0, 1, 0, 0};
  target->SetTransform(&identity);
  const Colours& colours = inputs.colours;
  const D2D1_COLOR_F background = Colour(colours.background, 1);
  target->Clear(&background);
  const D2D1_MATRIX_3X2_F design{inputs.scale, 0, 0, inputs.scale, inputs.offsetX, inputs.offsetY};
  target->SetTransform(&design);

  FrameCanvas canvas(target, device.Brush(), tools.resources, tools.measurer, tools.balancedWidths);
  const double seconds = static_cast<double>(inputs.now) / 1000.0;
  if (!colours.highContrast) DrawAmbient(canvas, AmbientSeconds(seconds, m.reducedMotion));
  DrawWordmark(canvas, device, colours);
  if (inputs.preview) canvas.DrawText(L"PREVIEW", 98, 28.5f, 80, text_style::kBadge, colours.faint, 1);

  if (IsOutcome(m.screen)) {
    DrawOutcomeScreen(canvas, inputs, device.Logo());
  } else {
    const uint64_t tipAge = inputs.now >= m.tipChangedAt ? inputs.now - m.tipChangedAt : 0;
    const CarouselPhase phase = CarouselPhaseAt(tipAge, m.previousTip >= 0 && !m.reducedMotion);
    DrawCarousel(canvas, device, m, phase, colours);
    DrawTipCopy(canvas, m, phase, colours);
    DrawProgressArea(canvas, m, inputs.installOnly, seconds, colours);
  }
  DrawCaptionButtons(canvas, inputs);
  if (m.stopConfirmationShown) DrawStopOverlay(canvas, colours);
  DrawRowButtons(canvas, inputs);
  return device.EndDraw();
}

}  // namespace tavo::launcher::ui
