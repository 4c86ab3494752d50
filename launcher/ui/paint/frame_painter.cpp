#include "launcher/ui/paint/frame_painter.h"

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "launcher/ui/model/frame_geometry.h"
#include "launcher/ui/model/palette.h"
#include "launcher/ui/model/tip_table.h"
#include "launcher/ui/paint/button_painter.h"
#include "launcher/ui/paint/frame_canvas.h"
#include "launcher/ui/paint/outcome_painter.h"
#include "launcher/ui/paint/stop_overlay_painter.h"
#include "launcher/language/translation.h"

namespace tavo::launcher::ui {

namespace {

using palette::kWhite;

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

// A picture in `bounds` on the canvas's target, its edges faded by two
// opacity-mask layers: across its width alpha 0, 0.45, 1, 1, 0.45, 0 at 0,
// 0.07, 0.17, 0.83, 0.93, 1; down its height 0, 0.5, 1, 1, 0.4, 0 at 0, 0.08,
// 0.18, 0.74, 0.90, 1.
void DrawFadedEdges(FrameCanvas& canvas, ID2D1Bitmap* picture, const D2D1_RECT_F& bounds, float opacity,
                    ID2D1Layer* acrossLayer, ID2D1Layer* downLayer) {
  const float x = bounds.left, y = bounds.top, w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
  ComPtr<ID2D1LinearGradientBrush> across =
      canvas.LinearGradient({x, y}, {x + w, y},
                            {{0, kWhite, 0}, {0.07f, kWhite, 0.45f}, {0.17f, kWhite, 1}, {0.83f, kWhite, 1},
                             {0.93f, kWhite, 0.45f}, {1, kWhite, 0}});
  ComPtr<ID2D1LinearGradientBrush> down =
      canvas.LinearGradient({x, y}, {x, y + h},
                            {{0, kWhite, 0}, {0.08f, kWhite, 0.5f}, {0.18f, kWhite, 1}, {0.74f, kWhite, 1},
                             {0.90f, kWhite, 0.4f}, {1, kWhite, 0}});
  ID2D1RenderTarget* target = canvas.Target();
  // A mask that cannot be made leaves that edge unfaded rather than losing the picture.
  int pushed = 0;
  for (const auto& [mask, layer] : {std::pair{across.get(), acrossLayer}, std::pair{down.get(), downLayer}}) {
    if (!mask || !layer) continue;
    const D2D1_LAYER_PARAMETERS parameters = MaskLayer(bounds, mask);
    target->PushLayer(&parameters, layer);
    ++pushed;
  }
  canvas.DrawBitmap(picture, x, y, w, h, opacity);
  for (; pushed > 0; --pushed) target->PopLayer();
}

// Tip `tip`'s picture with its faded edges, composed once at the picture's own
// pixel size (the edges scale with the picture, so composing first and
// scaling after gives the same picture). Null when it cannot be composed: the
// frame then draws the layers itself.
ID2D1Bitmap* ComposedTip(FrameCanvas& canvas, const DeviceResources& device, int tip) {
  FrameCache* cache = canvas.Cache();
  if (!cache) return nullptr;
  ComPtr<ID2D1Bitmap>& composed = cache->ComposedTip(tip);
  if (composed) return composed.get();
  ID2D1Bitmap* picture = device.Tip(tip);
  if (!picture) return nullptr;
  const D2D1_SIZE_U pixels = picture->GetPixelSize();
  const D2D1_SIZE_F dips{static_cast<float>(pixels.width), static_cast<float>(pixels.height)};
  const D2D1_PIXEL_FORMAT format{DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED};
  ComPtr<ID2D1BitmapRenderTarget> target;
  ComPtr<ID2D1Layer> acrossLayer, downLayer;
  if (FAILED(canvas.Target()->CreateCompatibleRenderTarget(&dips, &pixels, &format,
                                                            D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE, target.put())) ||
      FAILED(target->CreateLayer(nullptr, acrossLayer.put())) || FAILED(target->CreateLayer(nullptr, downLayer.put())))
    return nullptr;
  FrameCanvas composer(target.get(), nullptr, canvas.Resources(), canvas.Measurer(), canvas.Widths(), cache);
  target->BeginDraw();
  const D2D1_COLOR_F clear{0, 0, 0, 0};
  target->Clear(&clear);
  DrawFadedEdges(composer, picture, {0, 0, dips.width, dips.height}, 1, acrossLayer.get(), downLayer.get());
  if (FAILED(target->EndDraw()) || FAILED(target->GetBitmap(composed.put()))) {
    composed.reset();
    return nullptr;
  }
  return composed.get();
}

// A tip picture centred on (360, 202) with its faded edges; in high contrast
// plain, clipped to its unzoomed place, so its edges stay sharp.
// Where a tip picture is drawn at this zoom: its contain-fit, zoomed, centred on (360, 202).
D2D1_RECT_F TipPlacement(PixelSize picture, float zoom) {
  const float factor = TipFitFactor(picture) * zoom;
  const float w = static_cast<float>(picture.width) * factor, h = static_cast<float>(picture.height) * factor;
  return {360 - w / 2, 202 - h / 2, 360 + w / 2, 202 + h / 2};
}

void DrawTipPicture(FrameCanvas& canvas, const DeviceResources& device, int tip, float opacity, float zoom,
                    bool highContrast) {
  if (opacity <= 0) return;
  const PixelSize picture = device.TipPicture(tip);
  const D2D1_RECT_F placed = TipPlacement(picture, zoom);
  const float x = placed.left, y = placed.top, w = placed.right - placed.left, h = placed.bottom - placed.top;
  ID2D1RenderTarget* target = canvas.Target();
  if (highContrast) {
    const D2D1_RECT_F clip = TipPlacement(picture, 1);
    target->PushAxisAlignedClip(&clip, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    canvas.DrawBitmap(device.Tip(tip), x, y, w, h, opacity);
    target->PopAxisAlignedClip();
    return;
  }
  if (ID2D1Bitmap* composed = ComposedTip(canvas, device, tip)) {
    canvas.DrawBitmap(composed, x, y, w, h, opacity);
    return;
  }
  DrawFadedEdges(canvas, device.Tip(tip), {x, y, x + w, y + h}, opacity, device.Layer(0), device.Layer(1));
}

void DrawCarousel(FrameCanvas& canvas, const DeviceResources& device, const ScreenModel& m,
                  const CarouselPhase& phase, const Colours& colours) {
  const float f = phase.crossFade;
  const bool hc = colours.highContrast;
  if (f < 1) DrawTipPicture(canvas, device, m.previousTip, 1 - f, Zoom(phase.previousZoomAge, m.reducedMotion), hc);
  DrawTipPicture(canvas, device, m.currentTip, f, Zoom(phase.currentZoomAge, m.reducedMotion), hc);

  // The indicators' tracks, then the earlier tips' full bars and the current
  // one's fill (none of them overlap). High contrast: solid tracks in the
  // window text, filled with the highlight.
  const auto bar = [](int i, float width) {
    const float x = 265.0f + 28.0f * static_cast<float>(i);
    return D2D1_ROUNDED_RECT{{x, 364, x + width, 367}, 1.5f, 1.5f};
  };
  std::vector<D2D1_ROUNDED_RECT> tracks, earlier;
  for (int i = 0; i < kTipCount; ++i) {
    tracks.push_back(bar(i, 22));
    if (i < m.currentTip) earlier.push_back(bar(i, IndicatorFillWidth(i, m.currentTip, m.tipDwell)));
  }
  canvas.FillRoundRects(tracks, hc ? colours.text : kWhite, colours.Opacity(0.14f));
  canvas.FillRoundRects(earlier, colours.Accent(kWhite), colours.Opacity(0.42f));
  // The current one grows with every tick: a shape of its own, not a kept geometry.
  const float current = IndicatorFillWidth(m.currentTip, m.currentTip, m.tipDwell);
  canvas.FillRect(265.0f + 28.0f * static_cast<float>(m.currentTip), 364, current, 3, colours.Accent(kWhite), 1.5f,
                  colours.Opacity(0.85f));
}

// The kicker and the title keep one line each, the body three: the progress
// label follows at 523. What is longer shrinks (FitStyle).
void DrawTipTexts(FrameCanvas& canvas, const Tip& tip, float opacity, float offset, const Colours& colours) {
  const std::wstring kicker = Shown(tip.kicker), line1 = Shown(tip.titleLine1), line2 = Shown(tip.titleLine2),
                     body = Shown(tip.body);
  canvas.DrawText(kicker, 48, 392 + offset, 624, canvas.Fitted(kicker, text_style::kKicker, 624, 1),
                  colours.Accent(tip.accent), opacity);
  const TextStyle title =
      canvas.Widths().FittedTitle(canvas.Measurer(), line1, line2, text_style::kTitle, 624, true);
  canvas.DrawTitle(line1, line2, 412 + offset, opacity, false, colours, title);
  const TextStyle bodyStyle = canvas.Fitted(body, text_style::kBody, 540, 3);
  const float width = bodyStyle.size == text_style::kBody.size ? canvas.BalancedWidth(body, 540) : 540;
  canvas.DrawText(body, 360 - width / 2, 452 + 1.4f * offset, width, bodyStyle, colours.secondaryText, opacity);
}

void DrawTipCopy(FrameCanvas& canvas, const ScreenModel& m, const CarouselPhase& phase, const Colours& colours) {
  const Tip& tip = kTips[phase.previousTexts ? m.previousTip : m.currentTip];
  DrawTipTexts(canvas, tip, phase.textOpacity, phase.textOffset, colours);
}

void DrawProgressTexts(FrameCanvas& canvas, const ScreenModel& m, bool installOnly, const Colours& colours) {
  // One line each; the label ends before the percentage's place.
  const std::wstring label = Shown(ProgressLabel(m.screen)), footer = Shown(FooterText(m.screen, installOnly));
  canvas.DrawText(label, 48, 523, 400, canvas.Fitted(label, text_style::kProgressLabel, 400, 1), colours.label, 1);
  if (BarIsDeterminate(m.screen, m.progress)) {
    canvas.DrawText(Shown(std::to_wstring(m.progress) + L"%"), 592, 523, 80, text_style::kPercent, colours.muted, 1);
  }
  canvas.DrawText(footer, 48, 562, 624, canvas.Fitted(footer, text_style::kFooter, 624, 1), colours.faint, 1);
}

void DrawProgressBar(FrameCanvas& canvas, const ScreenModel& m, double seconds, const Colours& colours) {
  const bool determinate = BarIsDeterminate(m.screen, m.progress);
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
    if (!hc) canvas.RadialGlow({48 + w - 2, 550, 22, 7, 0x7DE2D1, 0.55f});
    const float centre = ShimmerCentre(seconds, w);
    if (ShimmerShown(w, m.reducedMotion, hc) && ShimmerOverFill(centre, w)) {
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
}

// Every soft glow of the frame, back to front: the ambient glows, then the
// tip's accent glow behind the carousel or the hero's glows. Nothing drawn
// before them overlaps them but the background, so they can be drawn first,
// as one backdrop. None in high contrast.
std::vector<Glow> BackdropGlows(const FrameInputs& inputs, const CarouselPhase& phase, unsigned parts) {
  std::vector<Glow> glows;
  const ScreenModel& m = *inputs.model;
  if (inputs.colours.highContrast) return glows;
  const double seconds = static_cast<double>(inputs.now) / 1000.0;
  if (parts & kAmbientPart) {
    for (const Glow& glow : AmbientGlows(AmbientSeconds(seconds, m.reducedMotion))) glows.push_back(glow);
  }
  if (IsOutcome(m.screen)) {
    if (parts & kHeroPart) {
      for (const Glow& glow : HeroGlows(inputs, ScreenAge(m, inputs.now))) glows.push_back(glow);
    }
  } else if (parts & kTipPicturePart) {
    const float f = phase.crossFade;
    if (f < 1) glows.push_back({360, 202, 330, 190, kTips[m.previousTip].accent, 0.1f * (1 - f)});
    glows.push_back({360, 202, 330, 190, kTips[m.currentTip].accent, 0.1f * f});
  }
  std::erase_if(glows, [](const Glow& glow) { return glow.opacity <= 0.002f; });
  return glows;
}

// The background with its glows, drawn into the cache's small backdrop target
// at a quarter of the client's size before the frame begins; stretched over
// the client it stands in for the frame's clear. Null without a cache, when
// there are no glows, or when the backdrop cannot be drawn: the frame then
// clears and draws the glows itself.
ComPtr<ID2D1Bitmap> PrepareBackdrop(FrameCanvas& canvas, const std::vector<Glow>& glows,
                                    const D2D1_MATRIX_3X2_F& design, const D2D1_COLOR_F& background) {
  FrameCache* cache = canvas.Cache();
  if (!cache || glows.empty()) return nullptr;
  const D2D1_SIZE_U client = canvas.Target()->GetPixelSize();
  constexpr float kShrink = 1.0f / static_cast<float>(kBackdropDivisor);
  const FrameCache::BackdropContent content{
      background,
      glows,
      {design._11 * kShrink, 0, 0, design._22 * kShrink, design._31 * kShrink, design._32 * kShrink}};
  bool current = false;
  ID2D1BitmapRenderTarget* backdrop = cache->Backdrop(canvas.Target(), client, content, &current);
  if (!backdrop) return nullptr;
  ComPtr<ID2D1Bitmap> bitmap;
  if (FAILED(backdrop->GetBitmap(bitmap.put()))) return nullptr;
  if (!current) {
    FrameCanvas painter(backdrop, nullptr, canvas.Resources(), canvas.Measurer(), canvas.Widths(), cache);
    backdrop->BeginDraw();
    backdrop->Clear(&background);
    backdrop->SetTransform(&content.transform);
    for (const Glow& glow : glows) painter.RadialGlow(glow);
    if (FAILED(backdrop->EndDraw())) return nullptr;
    cache->BackdropDrawn(content);
  }
  return bitmap;
}

// The client pixels that the current tip picture covers opaquely in this
// frame, or nothing: once its cross-fade is over, its faded edges (alpha 1
// from 0.17 to 0.83 across and 0.18 to 0.74 down) leave the middle solid. The
// backdrop need not be drawn there. Kept 3 DIPs inside that middle, where
// the stretched picture's sampling still reaches only opaque pixels.
std::optional<D2D1_RECT_L> OpaqueTipMiddle(const FrameInputs& inputs, const DeviceResources& device,
                                           const CarouselPhase& phase, unsigned parts) {
  const ScreenModel& m = *inputs.model;
  if (IsOutcome(m.screen) || !(parts & kTipPicturePart) || inputs.colours.highContrast || phase.crossFade < 1 ||
      !device.Tip(m.currentTip))
    return std::nullopt;
  const D2D1_RECT_F placed = TipPlacement(device.TipPicture(m.currentTip),
                                          Zoom(phase.currentZoomAge, m.reducedMotion));
  const float w = placed.right - placed.left, h = placed.bottom - placed.top;
  constexpr float kInset = 3;
  const auto x = [&](float dips) { return inputs.offsetX + inputs.scale * dips; };
  const auto y = [&](float dips) { return inputs.offsetY + inputs.scale * dips; };
  const D2D1_RECT_L middle{static_cast<LONG>(std::ceil(x(placed.left + 0.17f * w + kInset))),
                           static_cast<LONG>(std::ceil(y(placed.top + 0.18f * h + kInset))),
                           static_cast<LONG>(std::floor(x(placed.left + 0.83f * w - kInset))),
                           static_cast<LONG>(std::floor(y(placed.top + 0.74f * h - kInset)))};
  if (middle.right <= middle.left || middle.bottom <= middle.top) return std::nullopt;
  return middle;
}

// The backdrop stretched over the client (identity transform), leaving out
// `hole`: four clipped bands around it instead of one draw over it all.
void DrawBackdrop(ID2D1RenderTarget* target, ID2D1Bitmap* backdrop, const std::optional<D2D1_RECT_L>& hole) {
  // Each backdrop pixel stands for kBackdropDivisor client pixels each way
  // (its last row and column may reach past the client's edge).
  const D2D1_SIZE_U small = backdrop->GetPixelSize();
  const auto stretched = [](UINT32 pixels) { return static_cast<float>(pixels * kBackdropDivisor); };
  const D2D1_RECT_F whole{0, 0, stretched(small.width), stretched(small.height)};
  if (!hole) {
    target->DrawBitmap(backdrop, &whole, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
    return;
  }
  const auto f = [](LONG v) { return static_cast<float>(v); };
  const D2D1_RECT_F bands[] = {{0, 0, whole.right, f(hole->top)},
                               {0, f(hole->bottom), whole.right, whole.bottom},
                               {0, f(hole->top), f(hole->left), f(hole->bottom)},
                               {f(hole->right), f(hole->top), whole.right, f(hole->bottom)}};
  for (const D2D1_RECT_F& band : bands) {
    target->PushAxisAlignedClip(&band, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    target->DrawBitmap(backdrop, &whole, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
    target->PopAxisAlignedClip();
  }
}

}  // namespace

bool DrawFrame(FrameTools& tools, const FrameInputs& inputs, unsigned parts) {
  const ScreenModel& m = *inputs.model;
  DeviceResources& device = tools.device;
  ID2D1RenderTarget* target = device.Target();
  if (tools.cache) tools.cache->BeginFrame(device.Generation());
  FrameCanvas canvas(target, device.Brush(), tools.resources, tools.measurer, tools.balancedWidths, tools.cache);
  const auto drawn = [parts](FramePart part) { return (parts & part) != 0; };
  const Colours& colours = inputs.colours;
  const double seconds = static_cast<double>(inputs.now) / 1000.0;
  const uint64_t tipAge = inputs.now >= m.tipChangedAt ? inputs.now - m.tipChangedAt : 0;
  const CarouselPhase phase = CarouselPhaseAt(tipAge, m.previousTip >= 0 && !m.reducedMotion);
  const D2D1_MATRIX_3X2_F design{inputs.scale, 0, 0, inputs.scale, inputs.offsetX, inputs.offsetY};
  const D2D1_COLOR_F background = Colour(colours.background, 1);
  const std::vector<Glow> glows = BackdropGlows(inputs, phase, parts);
  const ComPtr<ID2D1Bitmap> backdrop = PrepareBackdrop(canvas, glows, design, background);

  target->BeginDraw();
  const D2D1_MATRIX_3X2_F identity{1, 0, 0, 1, 0, 0};
  target->SetTransform(&identity);
  // Software rendering pays for every pixel a draw covers: the opaque
  // backdrop covers the client once, in place of the clear.
  if (backdrop)
    DrawBackdrop(target, backdrop.get(), OpaqueTipMiddle(inputs, device, phase, parts));
  else
    target->Clear(&background);
  target->SetTransform(&design);
  if (!backdrop) {
    for (const Glow& glow : glows) canvas.RadialGlow(glow);
  }

  if (drawn(kChromePart)) {
    DrawWordmark(canvas, device, colours);
    if (inputs.preview) {
      const std::wstring badge = Shown(L"PREVIEW");
      canvas.DrawText(badge, 98, 28.5f, 80, canvas.Fitted(badge, text_style::kBadge, 80, 1), colours.faint, 1);
    }
  }
  if (IsOutcome(m.screen)) {
    const double age = ScreenAge(m, inputs.now);
    if (drawn(kHeroPart)) DrawOutcomeHero(canvas, inputs, device.Logo(), age);
    if (drawn(kTextsPart)) DrawOutcomeTexts(canvas, inputs, age);
  } else {
    if (drawn(kTipPicturePart)) DrawCarousel(canvas, device, m, phase, colours);
    if (drawn(kTextsPart)) {
      DrawTipCopy(canvas, m, phase, colours);
      DrawProgressTexts(canvas, m, inputs.installOnly, colours);
    }
    if (drawn(kBarPart)) DrawProgressBar(canvas, m, seconds, colours);
  }
  if (drawn(kChromePart)) {
    DrawCaptionButtons(canvas, inputs);
    if (m.stopConfirmationShown) DrawStopOverlay(canvas, colours);
    DrawRowButtons(canvas, inputs);
  }
  const bool ended = device.EndDraw();
  if (tools.cache) tools.cache->EndFrame();
  return ended;
}

}  // namespace tavo::launcher::ui
