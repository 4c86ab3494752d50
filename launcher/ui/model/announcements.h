// When screen readers are told that the accessible status text (control 1007)
// changed. The text itself is the controls layout's; this decides which
// changes are worth interrupting a listener for: a new screen, the stop
// confirmation opening or closing, each 5 % step while installing, and a new
// text on an outcome screen (the launch hint after a failed open). Changes of
// the check's details inside `preparing` are not announced.
#pragma once

#include <cstdint>
#include <string>

#include "launcher/ui/model/screen_model.h"

namespace tavo::launcher::ui {

struct AnnouncementKey {
  Screen screen = Screen::Preparing;
  bool stopConfirmationShown = false;
  int32_t percentStep = -1;   // installing: the progress rounded down to 5, else -1
  std::wstring outcomeText;   // outcome screens: the accessible text, else empty

  bool operator==(const AnnouncementKey&) const = default;
};

// The key of the model's current state; a change of key is announced.
AnnouncementKey AnnouncementKeyFor(const ScreenModel& model, const std::wstring& accessibleText);

}  // namespace tavo::launcher::ui
