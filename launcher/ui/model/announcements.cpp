#include "launcher/ui/model/announcements.h"

namespace tavo::launcher::ui {

AnnouncementKey AnnouncementKeyFor(const ScreenModel& model, const std::wstring& accessibleText) {
  AnnouncementKey key;
  key.screen = model.screen;
  key.stopConfirmationShown = model.stopConfirmationShown;
  // Under the stop confirmation the text is its question, whatever the progress.
  if (model.screen == Screen::Installing && model.progress >= 0 && !model.stopConfirmationShown) {
    key.percentStep = model.progress / 5 * 5;
  }
  if (IsOutcome(model.screen)) key.outcomeText = accessibleText;
  return key;
}

}  // namespace tavo::launcher::ui
