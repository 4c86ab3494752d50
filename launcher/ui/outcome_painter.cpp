#include "launcher/ui/outcome_painter.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "launcher/ui/controls_layout.h"
#include "launcher/ui/device_resources.h"
#include "launcher/ui/palette.h"

namespace tavo::launcher::ui {
namespace {

constexpr float kCentreX = 360;
constexpr float kBodyMaxWidth = 580;
constexpr double kPi = 3.14159;

bool ShowsErrorRow(const ScreenModel& model) {
  return !model.errorCodeText.empty() && (model.screen == Screen::Error || model.screen == Screen::Unsupported);
}

bool ShowsOpeningDots(const ScreenModel& model, bool installOnly) {
  return (model.screen == Screen::Success || model.screen == Screen::Installed) &&
         OpensAutomatically(model, installOnly) && !model.launchFailed;
}

void DrawBadgeGlyph(FrameCanvas& canvas, BadgeGlyph glyph, float x, float y, float r, float popIn) {
  switch (glyph) {
    case BadgeGlyph::Check:
      canvas.CheckMark(x, y, r, palette::kDarkGlyph, 2.4f, 1);
      break;
    case BadgeGlyph::Dash:
      canvas.Line(x - 5 * popIn, y, x + 5 * popIn, y, palette::kWhite, 1, 2.4f);
      break;
    case BadgeGlyph::Exclamation:
      canvas.Line(x, y - 6 * popIn, x, y + 1.5f * popIn, palette::kDarkGlyph, 1, 2.6f);
      canvas.FillDisc(x, y + 6 * popIn, 1.5f, palette::kDarkGlyph, 1);
      break;
  }
}

// Glows, the celebratory ring, the logo on its shadow and the status badge.
void DrawHero(FrameCanvas& canvas, const FrameInputs& frame, ID2D1Bitmap* logo, double age) {
  const ScreenModel& model = *frame.model;
  const float y = frame.controls->layout.heroCentre;
  const bool celebratory = TitleLinesFor(model.screen).celebratory;
  const HeroMotion hero = HeroMotionAt(age, static_cast<double>(frame.now) / 1000.0, celebratory, model.reducedMotion);

  const float breath = hero.breath / 0.65f;
  canvas.RadialGlow(kCentreX, y, 190, 150, 0x3B82F6, (celebratory ? 0.3f : 0.16f) * breath);
  canvas.RadialGlow(kCentreX, y, 96, 96, 0xC7DEFF, (celebratory ? 0.2f : 0.08f) * breath);
  if (hero.ring) {
    const float r = hero.ringRadius;
    canvas.StrokeRoundRect(kCentreX - r, y - r, 2 * r, 2 * r, 0x2AC6FF, r, hero.ringOpacity, 2);
  }

  const float s = hero.logoSize;
  canvas.FillRect(kCentreX - s / 2, y - s / 2 + 6, s, s, palette::kBlack, 0.22f * s, 0.35f * hero.popIn);
  canvas.DrawBitmap(logo, kCentreX - s / 2, y - s / 2, s, s, hero.popIn);

  const StatusBadge badge = StatusBadgeFor(model.screen);
  const float bx = kCentreX + 0.42f * s, by = y + 0.42f * s, r = 15 * hero.popIn;
  canvas.FillDisc(bx, by, r + 3.5f, palette::kBackground, 1);
  canvas.FillDisc(bx, by, r, badge.rgb, 1);
  DrawBadgeGlyph(canvas, badge.glyph, bx, by, r, hero.popIn);
}

// "Error " and the code, and a dot before each link that follows it.
void DrawErrorRow(FrameCanvas& canvas, const FrameInputs& frame, float entrance, float slide) {
  const Controls& controls = *frame.controls;
  const float top = controls.layout.errorRowTop;
  canvas.DrawText(L"Error " + frame.model->errorCodeText, controls.errorLabel.x, top + 4 + slide, 300,
                  text_style::kErrorCode, palette::kFaint, entrance);
  for (const auto& [shown, link] : {std::pair{controls.copyLinkShown, controls.copyLink},
                                    std::pair{controls.logLinkShown, controls.logLink}}) {
    if (shown) canvas.FillDisc(link.x - 10, top + 12, 1.5f, palette::kFaint, 0.6f * entrance);
  }
}

void DrawOutcomeTexts(FrameCanvas& canvas, const FrameInputs& frame, double age) {
  const ScreenModel& model = *frame.model;
  const OutcomeLayout& layout = frame.controls->layout;
  const float e = OutcomeEntrance(age, model.reducedMotion);
  const float slide = (1 - e) * 10;
  const TitleLines heading = TitleLinesFor(model.screen);

  canvas.DrawText(heading.kicker, 48, layout.kickerTop + slide, 624, text_style::kKicker, heading.accent, e);
  canvas.DrawTitle(heading.line1, heading.line2, layout.titleTop + slide, e, heading.celebratory);
  const float bodyWidth = canvas.BalancedWidth(model.statusText, kBodyMaxWidth);
  canvas.DrawText(model.statusText, kCentreX - bodyWidth / 2, layout.bodyTop + slide, bodyWidth, text_style::kBody,
                  palette::kSecondaryText, e);

  if (ShowsOpeningDots(model, frame.installOnly)) {
    const double seconds = static_cast<double>(frame.now) / 1000.0;
    for (int i = 0; i < 3; ++i) {
      const OpeningDot dot = OpeningDotAt(i, seconds);
      canvas.FillDisc(346.0f + 14.0f * static_cast<float>(i), layout.noteTop + slide, dot.radius, palette::kWhite,
                      dot.opacity * e);
    }
  }
  if (ShowsErrorRow(model)) DrawErrorRow(canvas, frame, e, slide);
}

}  // namespace

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

void DrawOutcomeScreen(FrameCanvas& canvas, const FrameInputs& frame, ID2D1Bitmap* logo) {
  const double age = ScreenAge(*frame.model, frame.now);
  DrawHero(canvas, frame, logo, age);
  DrawOutcomeTexts(canvas, frame, age);
}

}  // namespace tavo::launcher::ui
