#include "launcher/ui/model/controls_layout.h"

#include <algorithm>

#include "common/text.h"
#include "launcher/language/translation.h"

namespace tavo::launcher {

namespace {

constexpr wchar_t kArrow[] = L"  \u2197";

struct RowTexts {
  std::wstring primary, secondary;
  bool copy = false, log = false;
};

RowTexts ChooseRow(const ScreenModel& m, const ControlsInput& in) {
  RowTexts row;
  if (m.stopConfirmationShown) {
    row.primary = Shown(L"Keep installing");
    row.secondary = Shown(L"Stop installing");
    return row;
  }
  switch (m.screen) {
    case Screen::Success:
    case Screen::Installed:
      if (!OpensAutomatically(m, in.installOnly) || m.launchFailed) {
        row.primary = Shown(L"Open Tavo Studio");
        row.secondary = Shown(L"Close");
      }
      break;
    case Screen::Error:
      row.secondary = Shown(L"Get help") + kArrow;
      if (m.workerRunning && !in.preview) {
        row.primary = Shown(in.reportReady ? L"Sending diagnostics\u2026" : L"Collecting details\u2026");
        row.copy = row.log = in.reportReady;
      } else {
        if (!m.wrongAccount) row.primary = Shown(L"Try again");
        row.copy = true;
        row.log = in.reportReady || in.preview;
      }
      break;
    case Screen::Unsupported:
      row.primary = Shown(L"See system requirements") + kArrow;
      row.secondary = Shown(L"Close");
      break;
    case Screen::Cancelled:
      row.primary = Shown(L"Install Tavo Studio");
      row.secondary = Shown(L"Close");
      break;
    default:
      break;
  }
  return row;
}

OutcomeLayout LayOutOutcome(const ScreenModel& m, const ControlsInput& in, bool buttons, LayoutMeasure& measure) {
  TitleLines lines = TitleLinesFor(m.screen);
  OutcomeLayout l;
  const std::wstring line1 = Shown(lines.line1), line2 = Shown(lines.line2);
  l.titleHeight = 30;
  if (!line2.empty() && measure.TitleWidth(line1) + measure.TitleWidth(ShownTitleJoiner() + line2) > 624) {
    l.titleHeight = 61;
  }
  l.bodyHeight = measure.BodyHeight(Shown(m.statusText));
  bool errorRow = !m.errorCodeText.empty() && (m.screen == Screen::Error || m.screen == Screen::Unsupported);
  bool note = OpeningDotsShown(m, in.installOnly);
  float t = l.titleHeight + 178 + 10 + l.bodyHeight;
  if (errorRow) t += 38;
  if (note) t += 32;
  if (buttons) t += 72;
  float v = std::max((624 - t) / 2, 64.0f);
  l.heroCentre = v + 52;
  l.kickerTop = v + 156;
  l.titleTop = v + 178;
  l.bodyTop = l.titleTop + l.titleHeight + 10;
  l.errorRowTop = l.bodyTop + l.bodyHeight + 14;
  float bodyBottom = l.bodyTop + l.bodyHeight;
  l.noteTop = bodyBottom + (errorRow ? 38 : 0) + 27;
  l.buttonTop = bodyBottom + (errorRow ? 38 : 0) + (note ? 32 : 0) + 30;
  return l;
}

std::wstring AccessibleText(const ScreenModel& m, const ControlsInput& in) {
  if (m.stopConfirmationShown) return Shown(texts::kStopQuestion);
  if (m.screen == Screen::Installing && m.progress >= 0) {
    int32_t shown = (!in.preview || m.demoRunning) ? m.progress / 5 * 5 : m.progress;
    return Shown(L"Installing Tavo Studio, " + std::to_wstring(shown) + L" percent.");
  }
  return Shown(m.statusText);
}

}  // namespace

TitleLines TitleLinesFor(Screen screen) {
  switch (screen) {
    case Screen::Success: return {L"INSTALLED", L"You're all set.", L"Let's create.", 0x6DDE92, true};
    case Screen::Installed: return {L"ALREADY INSTALLED", L"Welcome back.", L"Let's create.", 0x6DDE92, true};
    case Screen::Unsupported: return {L"SYSTEM REQUIREMENTS", L"This PC isn't quite ready.", L"", 0xFB923C, false};
    case Screen::Cancelled: return {L"INSTALL STOPPED", L"No problem.", L"Come back anytime.", 0x909099, false};
    default: return {L"SETUP PAUSED", L"Something got in the way.", L"Let's sort it out.", 0xFB923C, false};
  }
}

std::wstring PrimaryText(const ScreenModel& model, const ControlsInput& input) {
  return ChooseRow(model, input).primary;
}

bool OpensAutomatically(const ScreenModel& model, bool installOnly) { return !installOnly && !model.stopRequested; }

bool OpeningDotsShown(const ScreenModel& model, bool installOnly) {
  return (model.screen == Screen::Success || model.screen == Screen::Installed) &&
         OpensAutomatically(model, installOnly) && !model.launchFailed;
}

int TipIndicatorAt(float x, float y) {
  if (y < 355 || y > 376) return -1;
  for (int i = 0; i < kTipCount; ++i) {
    const float left = 265.0f + 28.0f * static_cast<float>(i);
    if (x >= left - 3 && x <= left + 25) return i;
  }
  return -1;
}

Controls ComputeControls(const ScreenModel& m, const ControlsInput& in, LayoutMeasure& measure) {
  Controls c;
  RowTexts row = ChooseRow(m, in);
  c.primaryText = row.primary;
  c.secondaryText = row.secondary;

  float primaryWidth = row.primary.empty() ? 0 : std::max(measure.ButtonTextWidth(row.primary) + 48, 132.0f);
  float secondaryWidth = row.secondary.empty() ? 0 : std::max(measure.ButtonTextWidth(row.secondary) + 44, 112.0f);
  float gap = row.secondary.empty() ? 0 : 12;

  if (IsOutcome(m.screen)) c.layout = LayOutOutcome(m, in, !row.primary.empty() && !m.stopConfirmationShown, measure);
  float left = 360 - (primaryWidth + gap + secondaryWidth) / 2;
  float top = m.stopConfirmationShown ? 318 : c.layout.buttonTop;
  c.primary = {left, top, primaryWidth, 42};
  c.secondary = {left + primaryWidth + gap, top, secondaryWidth, 42};

  c.copyLinkText = Shown(m.copiedAt != 0 ? L"Copied" : L"Copy details");
  c.copyLinkShown = row.copy && !m.stopConfirmationShown;
  c.logLinkShown = row.log && !m.stopConfirmationShown;
  float label = measure.SmallTextWidth(Shown(L"Error " + m.errorCodeText));
  // Sized for the wider of its two looks ("Copied" is drawn 14 in, after its
  // check mark), so that the row stands still when a copy swaps them.
  float copy = c.copyLinkShown ? std::max(measure.SmallTextWidth(Shown(L"Copy details")) + 8,
                                          measure.SmallTextWidth(Shown(L"Copied")) + 14)
                               : 0;
  float log = c.logLinkShown ? measure.SmallTextWidth(Shown(L"Show log file")) + 8 : 0;
  float total = label + (c.copyLinkShown ? copy + 20 : 0) + (c.logLinkShown ? log + 20 : 0);
  float rowLeft = 360 - total / 2;
  c.errorLabel = {rowLeft, c.layout.errorRowTop, label, 24};
  c.copyLink = {rowLeft + label + 20, c.layout.errorRowTop, copy, 24};
  c.logLink = {c.copyLink.x + (c.copyLinkShown ? copy + 20 : 0), c.layout.errorRowTop, log, 24};

  c.primaryEnabled = !(m.screen == Screen::Error && m.workerRunning && !in.preview);
  c.captionEnabled = !m.stopConfirmationShown;

  if (m.stopConfirmationShown) {
    c.status = {200, 226, 320, 80};
  } else if (!IsOutcome(m.screen)) {
    c.status = {48, 392, 624, 100};
  } else {
    c.status = {48, c.layout.kickerTop, 624, std::max(c.layout.errorRowTop - c.layout.kickerTop - 4, 40.0f)};
  }

  c.accessibleText = AccessibleText(m, in);
  std::wstring title = texts::kWindowTitle;
  if (m.screen == Screen::Installing && m.progress >= 0) title += L": Installing " + std::to_wstring(m.progress) + L"%";
  c.title = Shown(title);
  return c;
}

}  // namespace tavo::launcher
