#include "launcher/ui/model/screen_model.h"

#include <algorithm>

#include "common/text.h"

namespace tavo::launcher {

const wchar_t* ScreenName(Screen screen) {
  switch (screen) {
    case Screen::Preparing: return L"preparing";
    case Screen::Installing: return L"installing";
    case Screen::Verifying: return L"verifying";
    case Screen::Stopping: return L"stopping";
    case Screen::Success: return L"success";
    case Screen::Installed: return L"installed";
    case Screen::Error: return L"error";
    case Screen::Unsupported: return L"unsupported";
    case Screen::Cancelled: return L"cancelled";
  }
  return L"";
}

bool CopiedShown(uint64_t copiedAt, uint64_t now) {
  return copiedAt != 0 && now >= copiedAt && now - copiedAt < kCopiedMs;
}

bool ScreenModel::SetScreen(Screen next, uint64_t now) {
  if (next == screen) return false;
  screenChangedAt = now;
  screen = next;
  return true;
}

bool ScreenModel::AnimationTick(uint64_t now, uint64_t& lastTick) {
  const uint64_t step = now >= lastTick ? std::min(now - lastTick, kMaxFrameStepMs) : kMaxFrameStepMs;
  lastTick = now;
  const bool copiedEnded = copiedAt != 0 && !CopiedShown(copiedAt, now);
  if (copiedEnded) copiedAt = 0;
  if (!IsOutcome(screen) && !stopConfirmationShown) {
    tipDwell += step;
    if (tipDwell >= kTipDwellMs) SelectTip(currentTip + 1, now);
  }
  const float target = static_cast<float>(std::max(progress, 0));
  displayedProgress = reducedMotion ? target : displayedProgress + (target - displayedProgress) * 0.18f;
  return copiedEnded;
}

uint64_t ScreenModel::Elapsed(uint64_t tickCount) const {
  if (clockFrozen) return frozenNow;
  return tickCount >= startTick ? tickCount - startTick : 0;
}

void ScreenModel::FreezeClock() {
  clockFrozen = true;
  frozenNow = 600800;
  screenChangedAt = 580800;
  tipChangedAt = 580800;
  tipDwell = 2800;
}

void ScreenModel::SelectTip(int tip, uint64_t now) {
  const int wrapped = ((tip % kTipCount) + kTipCount) % kTipCount;
  tipDwell = 0;
  if (wrapped == currentTip) return;
  previousTip = currentTip;
  currentTip = wrapped;
  tipChangedAt = now;
}

void ScreenModel::AddError(ErrorRecord record) {
  if (!technicalLog.empty()) technicalLog += L"\r\n";
  technicalLog += record.id + L" (" + Hex8(static_cast<uint32_t>(record.code)) + L"): " + record.message;
  errors.push_back(std::move(record));
}

}  // namespace tavo::launcher
