#include "launcher/ui/paint/button_painter.h"

#include <vector>

#include "launcher/ui/model/controls_layout.h"
#include "launcher/ui/model/palette.h"
#include "launcher/language/translation.h"

namespace tavo::launcher::ui {
namespace {

constexpr float kRowButtonRadius = 10;
constexpr float kCaptionRadius = 8;
constexpr float kLinkRadius = 6;  // only the focus ring shows it
constexpr uint32_t kPrimaryText = 0x09090B;
constexpr uint32_t kCloseRed = 0xE83A3A;
constexpr TextStyle kCopiedStyle{12, 500, TextAlign::Leading};

void FocusRing(FrameCanvas& canvas, const DipRect& r, float radius, const Colours& colours) {
  canvas.StrokeRoundRect(r.x - 3, r.y - 3, r.w + 6, r.h + 6, colours.Accent(palette::kWhite), radius + 3,
                         colours.Opacity(0.55f), 2);
}

void DrawFill(FrameCanvas& canvas, const DipRect& r, const ButtonLook& look, float radius) {
  if (look.fillOpacity > 0) canvas.FillRect(r.x, r.y, r.w, r.h, look.fill, radius, look.fillOpacity);
}

constexpr DipRect kMinimizeRect{638, 14, 32, 32}, kCloseRect{674, 14, 32, 32};

// The glyph's strokes, centred in the button: minimise a line 10 wide, close
// the two diagonals of a 9 by 9 square.
std::vector<Segment> CaptionGlyph(ButtonKind kind, const DipRect& r) {
  const float cx = r.x + r.w / 2, cy = r.y + r.h / 2;
  if (kind == ButtonKind::CaptionMinimize) return {{{cx - 5, cy}, {cx + 5, cy}}};
  return {{{cx - 4.5f, cy - 4.5f}, {cx + 4.5f, cy + 4.5f}}, {{cx + 4.5f, cy - 4.5f}, {cx - 4.5f, cy + 4.5f}}};
}

void DrawCaption(FrameCanvas& canvas, ButtonKind kind, const DipRect& r, const ButtonState& state,
                 const Colours& colours) {
  const ButtonLook look = ButtonLookOf(kind, state, colours);
  DrawFill(canvas, r, look, kCaptionRadius);
  canvas.Lines(CaptionGlyph(kind, r), look.text, 1, 1.4f);
  if (state.focusRing) FocusRing(canvas, r, kCaptionRadius, colours);
}

void DrawRowButton(FrameCanvas& canvas, ButtonKind kind, const DipRect& r, std::wstring_view text,
                   const ButtonState& state, const Colours& colours) {
  const ButtonLook look = ButtonLookOf(kind, state, colours);
  if (look.glow) canvas.RadialGlow({r.x + r.w / 2, r.y + 0.6f * r.h, 0.62f * r.w, 1.1f * r.h, palette::kWhite, 0.07f});
  DrawFill(canvas, r, look, kRowButtonRadius);
  if (look.outlineOpacity > 0) {
    const float inset = look.outlineWidth / 2;
    canvas.StrokeRoundRect(r.x + inset, r.y + inset, r.w - 2 * inset, r.h - 2 * inset, look.outline,
                           kRowButtonRadius - inset, look.outlineOpacity, look.outlineWidth);
  }
  canvas.DrawText(text, r.x, r.y + 11, r.w, text_style::kButton, look.text, 1);
  if (state.focusRing) FocusRing(canvas, r, kRowButtonRadius, colours);
}

void DrawLink(FrameCanvas& canvas, const DipRect& r, std::wstring_view text, const ButtonState& state, bool copied,
              const Colours& colours) {
  if (copied) {
    const uint32_t feedback = colours.Accent(palette::kSuccessGreen);
    canvas.CheckMark(r.x + 6, r.y + 12, 9, feedback, 1.6f, 1);
    canvas.DrawText(Shown(L"Copied"), r.x + 14, r.y + 4, 200, kCopiedStyle, feedback, 1);
  } else {
    const ButtonLook look = ButtonLookOf(ButtonKind::Link, state, colours);
    canvas.DrawText(text, r.x, r.y + 4, r.w, text_style::kLink, look.text, 1);
    if (look.underline)
      canvas.FillRect(r.x + 2, r.y + 19.5f, r.w - 4, 1, colours.highContrast ? look.text : palette::kWhite, 0,
                      colours.Opacity(0.6f));
  }
  if (state.focusRing) FocusRing(canvas, r, kLinkRadius, colours);
}

ButtonLook HighContrastLook(ButtonKind kind, const ButtonState& state, const Colours& c) {
  ButtonLook look;
  const bool lit = state.enabled && (state.hovered || state.pressed);
  switch (kind) {
    case ButtonKind::Primary:
    case ButtonKind::Secondary:
      look.fill = lit ? c.accent : c.buttonFace;
      look.fillOpacity = 1;
      look.outline = state.enabled ? c.buttonText : c.disabledText;
      look.outlineOpacity = 1;
      look.outlineWidth = kind == ButtonKind::Primary ? 2 : 1;
      look.text = !state.enabled ? c.disabledText : lit ? c.onAccent : c.buttonText;
      break;
    case ButtonKind::CaptionClose:
    case ButtonKind::CaptionMinimize:
      look.fill = c.accent;
      look.fillOpacity = lit ? 1 : 0;
      look.text = !state.enabled ? c.disabledText : lit ? c.onAccent : c.text;
      break;
    case ButtonKind::Link:
      look.text = lit ? c.accent : c.text;
      look.underline = true;
      break;
  }
  return look;
}

}  // namespace

ButtonState ButtonStateOf(int controlId, bool enabled, const ControlStates& states) {
  ButtonState state;
  state.enabled = enabled;
  state.hovered = enabled && states.hovered == controlId;
  state.pressed = enabled && states.pressed == controlId;
  state.focusRing = states.focusCues && states.focused == controlId;
  return state;
}

ButtonLook ButtonLookOf(ButtonKind kind, const ButtonState& state, const Colours& colours) {
  if (colours.highContrast) return HighContrastLook(kind, state, colours);
  ButtonLook look;
  switch (kind) {
    case ButtonKind::Primary:
      look.fillOpacity = 1;
      if (!state.enabled) {
        look.fill = 0x3F3F46;
        look.text = palette::kMuted;
        break;
      }
      look.fill = state.pressed ? 0xD4D4D8 : state.hovered ? palette::kWhite : 0xF4F4F5;
      look.text = kPrimaryText;
      look.glow = state.hovered;
      break;
    case ButtonKind::Secondary:
      look.fill = palette::kWhite;
      look.fillOpacity = state.pressed ? 0.04f : state.hovered ? 0.1f : 0.06f;
      look.outlineOpacity = state.hovered ? 0.24f : 0.13f;
      look.text = state.hovered ? palette::kWhite : palette::kLabel;
      break;
    case ButtonKind::CaptionClose:
    case ButtonKind::CaptionMinimize: {
      const bool close = kind == ButtonKind::CaptionClose;
      look.fill = close ? kCloseRed : palette::kWhite;
      if (state.hovered || state.pressed)
        look.fillOpacity = close ? (state.pressed ? 0.75f : 0.9f) : (state.pressed ? 0.06f : 0.09f);
      look.text = state.hovered ? palette::kWhite : palette::kSecondaryText;
      break;
    }
    case ButtonKind::Link:
      look.text = state.hovered ? palette::kWhite : palette::kLabel;
      look.underline = state.hovered;
      break;
  }
  return look;
}

void DrawCaptionButtons(FrameCanvas& canvas, const FrameInputs& frame) {
  const bool enabled = frame.controls->captionEnabled;
  const ButtonState minimize = ButtonStateOf(kIdCaptionMinimize, enabled, frame.states);
  const ButtonState close = ButtonStateOf(kIdCaptionClose, enabled, frame.states);
  const ButtonLook minimizeLook = ButtonLookOf(ButtonKind::CaptionMinimize, minimize, frame.colours);
  const ButtonLook closeLook = ButtonLookOf(ButtonKind::CaptionClose, close, frame.colours);
  // At rest (no fill, no focus ring, one glyph colour) the three strokes are
  // one draw: software rendering pays for each draw.
  if (minimizeLook.fillOpacity <= 0 && closeLook.fillOpacity <= 0 && !minimize.focusRing && !close.focusRing &&
      minimizeLook.text == closeLook.text) {
    std::vector<Segment> glyphs = CaptionGlyph(ButtonKind::CaptionMinimize, kMinimizeRect);
    for (const Segment& segment : CaptionGlyph(ButtonKind::CaptionClose, kCloseRect)) glyphs.push_back(segment);
    canvas.Lines(glyphs, minimizeLook.text, 1, 1.4f);
    return;
  }
  DrawCaption(canvas, ButtonKind::CaptionMinimize, kMinimizeRect, minimize, frame.colours);
  DrawCaption(canvas, ButtonKind::CaptionClose, kCloseRect, close, frame.colours);
}

void DrawRowButtons(FrameCanvas& canvas, const FrameInputs& frame) {
  const Controls& c = *frame.controls;
  const Colours& colours = frame.colours;
  if (c.copyLinkShown)
    DrawLink(canvas, c.copyLink, Shown(L"Copy details"), ButtonStateOf(kIdCopyDetails, true, frame.states),
             CopiedShown(frame.model->copiedAt, frame.now), colours);
  if (c.logLinkShown)
    DrawLink(canvas, c.logLink, Shown(L"Show log file"), ButtonStateOf(kIdShowLog, true, frame.states), false, colours);
  if (!c.primaryText.empty())
    DrawRowButton(canvas, ButtonKind::Primary, c.primary, c.primaryText,
                  ButtonStateOf(kIdPrimary, c.primaryEnabled, frame.states), colours);
  if (!c.secondaryText.empty())
    DrawRowButton(canvas, ButtonKind::Secondary, c.secondary, c.secondaryText,
                  ButtonStateOf(kIdSecondary, true, frame.states), colours);
}

}  // namespace tavo::launcher::ui
