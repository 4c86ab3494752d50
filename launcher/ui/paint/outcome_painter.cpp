#include "launcher/ui/paint/outcome_painter.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "launcher/ui/model/controls_layout.h"
#include "launcher/ui/model/palette.h"
#include "launcher/ui/window/device_resources.h"
#include "launcher/language/translation.h"

namespace tavo::launcher::ui {
namespace {

constexpr float kCentreX = 360;
constexpr float kBodyMaxWidth = 580;
constexpr double kPi = 3.14159;

bool ShowsErrorRow(const ScreenModel& model) {
  return !model.errorCodeText.empty() && (model.screen == Screen::Error || model.screen == Screen::Unsupported);
}

// High contrast: every glyph in the highlight text, on the highlight badge.
void DrawBadgeGlyph(FrameCanvas& canvas, BadgeGlyph glyph, float x, float y, float r, float popIn,
                    const Colours& colours) {
  const bool hc = colours.highContrast;
  const uint32_t ink = hc ? colours.onAccent : palette::kDarkGlyph;
  switch (glyph) {
    case BadgeGlyph::Check:
      canvas.CheckMark(x, y, r, ink, 2.4f, 1);
      break;
    case BadgeGlyph::Dash:
      canvas.Line(x - 5 * popIn, y, x + 5 * popIn, y, hc ? colours.onAccent : palette::kWhite, 1, 2.4f);
      break;
    case BadgeGlyph::Exclamation:
      canvas.Line(x, y - 6 * popIn, x, y + 1.5f * popIn, ink, 1, 2.6f);
      canvas.FillDisc(x, y + 6 * popIn, 1.5f, ink, 1);
      break;
  }
}

// The celebratory ring, the logo on its shadow and the status badge. In high
// contrast no ring or shadow: the logo outlined in the window text.
}  // namespace

std::array<Glow, 2> HeroGlows(const FrameInputs& frame, double age) {
  const ScreenModel& model = *frame.model;
  const float y = frame.controls->layout.heroCentre;
  const bool celebratory = TitleLinesFor(model.screen).celebratory;
  const float breath =
      HeroMotionAt(age, static_cast<double>(frame.now) / 1000.0, celebratory, model.reducedMotion).breath / 0.65f;
  return {Glow{kCentreX, y, 190, 150, 0x3B82F6, (celebratory ? 0.3f : 0.16f) * breath},
          Glow{kCentreX, y, 96, 96, 0xC7DEFF, (celebratory ? 0.2f : 0.08f) * breath}};
}

void DrawOutcomeHero(FrameCanvas& canvas, const FrameInputs& frame, ID2D1Bitmap* logo, double age) {
  const ScreenModel& model = *frame.model;
  const Colours& colours = frame.colours;
  const bool hc = colours.highContrast;
  const float y = frame.controls->layout.heroCentre;
  const bool celebratory = TitleLinesFor(model.screen).celebratory;
  const HeroMotion hero = HeroMotionAt(age, static_cast<double>(frame.now) / 1000.0, celebratory, model.reducedMotion);

  if (hero.ring && !hc) {
    const float r = hero.ringRadius;
    canvas.StrokeRoundRect(kCentreX - r, y - r, 2 * r, 2 * r, 0x2AC6FF, r, hero.ringOpacity, 2);
  }

  const float s = hero.logoSize;
  if (!hc) canvas.FillRect(kCentreX - s / 2, y - s / 2 + 6, s, s, palette::kBlack, 0.22f * s, 0.35f * hero.popIn);
  canvas.DrawBitmap(logo, kCentreX - s / 2, y - s / 2, s, s, hero.popIn);
  if (hc) canvas.StrokeRoundRect(kCentreX - s / 2, y - s / 2, s, s, colours.text, 0.22f * s, hero.popIn, 1);

  const StatusBadge badge = StatusBadgeFor(model.screen);
  const float bx = kCentreX + 0.42f * s, by = y + 0.42f * s, r = 15 * hero.popIn;
  canvas.FillDisc(bx, by, r + 3.5f, colours.background, 1);
  canvas.FillDisc(bx, by, r, colours.Accent(badge.rgb), 1);
  DrawBadgeGlyph(canvas, badge.glyph, bx, by, r, hero.popIn, colours);
}

namespace {

// "Error " and the code, and a dot before each link that follows it.
void DrawErrorRow(FrameCanvas& canvas, const FrameInputs& frame, float entrance, float slide) {
  const Controls& controls = *frame.controls;
  const Colours& colours = frame.colours;
  const float top = controls.layout.errorRowTop;
  canvas.DrawText(Shown(L"Error " + frame.model->errorCodeText), controls.errorLabel.x, top + 4 + slide, 300,
                  text_style::kErrorCode, colours.faint, entrance);
  const float dotOpacity = colours.Opacity(0.6f) * entrance;
  for (const auto& [shown, link] : {std::pair{controls.copyLinkShown, controls.copyLink},
                                    std::pair{controls.logLinkShown, controls.logLink}}) {
    if (shown) canvas.FillDisc(link.x - 10, top + 12, 1.5f, colours.faint, dotOpacity);
  }
}

}  // namespace

void DrawOutcomeTexts(FrameCanvas& canvas, const FrameInputs& frame, double age) {
  const ScreenModel& model = *frame.model;
  const OutcomeLayout& layout = frame.controls->layout;
  const float e = OutcomeEntrance(age, model.reducedMotion);
  const float slide = (1 - e) * 10;
  const TitleLines heading = TitleLinesFor(model.screen);
  const Colours& colours = frame.colours;

  // The kicker keeps one line and each title part one row (shrinking when
  // longer); the body wraps, and the layout gives it its lines.
  const std::wstring kicker = Shown(heading.kicker), line1 = Shown(heading.line1), line2 = Shown(heading.line2),
                     body = Shown(model.statusText);
  canvas.DrawText(kicker, 48, layout.kickerTop + slide, 624, canvas.Fitted(kicker, text_style::kKicker, 624, 1),
                  colours.Accent(heading.accent), e);
  const TextStyle title =
      canvas.Widths().FittedTitle(canvas.Measurer(), line1, line2, text_style::kTitle, 624, false);
  canvas.DrawTitle(line1, line2, layout.titleTop + slide, e, heading.celebratory, colours, title);
  const float bodyWidth = canvas.BalancedWidth(body, kBodyMaxWidth);
  canvas.DrawText(body, kCentreX - bodyWidth / 2, layout.bodyTop + slide, bodyWidth, text_style::kBody,
                  colours.secondaryText, e);

  if (OpeningDotsShown(model, frame.installOnly)) {
    const double seconds = static_cast<double>(frame.now) / 1000.0;
    for (int i = 0; i < 3; ++i) {
      const OpeningDot dot = OpeningDotAt(i, seconds);
      // High contrast: only their size pulses.
      canvas.FillDisc(346.0f + 14.0f * static_cast<float>(i), layout.noteTop + slide, dot.radius, colours.text,
                      colours.Opacity(dot.opacity) * e);
    }
  }
  if (ShowsErrorRow(model)) DrawErrorRow(canvas, frame, e, slide);
}

StatusBadge StatusBadgeFor(Screen screen) {
  if (TitleLinesFor(screen).celebratory) return {0x2FD164, BadgeGlyph::Check};
  if (screen == Screen::Cancelled) return {0x52525B, BadgeGlyph::Dash};
  return {0xFB923C, BadgeGlyph::Exclamation};
}

HeroMotion HeroMotionAt(double screenAgeMs, double frameSeconds, bool celebratory, bool reducedMotion) {
  HeroMotion hero;
  if (!reducedMotion) {
    hero.breath = static_cast<float>((std::sin(2.1 * frameSeconds) * 0.5 + 0.5) * 0.3 + 0.5);
    hero.popIn = EaseOutCubic(static_cast<float>(screenAgeMs / 500.0));
    if (celebratory && screenAgeMs < 1100) {
      const float c = EaseOutCubic(static_cast<float>(screenAgeMs / 1100.0));
      hero.ring = true;
      hero.ringRadius = 60 + 90 * c;
      hero.ringOpacity = (1 - c) * 0.5f;
    }
  }
  hero.logoSize = (0.94f + 0.06f * hero.popIn) * kLogoSize;
  return hero;
}

float OutcomeEntrance(double screenAgeMs, bool reducedMotion) {
  return reducedMotion ? 1.0f : EaseOutCubic(static_cast<float>((screenAgeMs - 80) / 520.0));
}

OpeningDot OpeningDotAt(int index, double frameSeconds) {
  const double phase = std::fmod(1000 * frameSeconds - 200 * index + 3000, 1000);
  const float s = phase >= 0 && phase < 800 ? static_cast<float>(std::sin(phase / 800 * kPi)) : 0.0f;
  return {2.5f + 1.8f * s, 0.45f + 0.5f * s};
}

double ScreenAge(const ScreenModel& model, uint64_t now) {
  return now > model.screenChangedAt ? static_cast<double>(now - model.screenChangedAt) : 0.0;
}

}  // namespace tavo::launcher::ui
