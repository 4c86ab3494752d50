#include "launcher/ui/model/window_placement.h"

#include <algorithm>

namespace tavo::launcher::ui {

uint32_t ChooseDpi(std::optional<uint32_t> monitorDpi, std::optional<uint32_t> systemDpi) {
  if (monitorDpi && *monitorDpi != 0) return *monitorDpi;
  if (systemDpi && *systemDpi != 0) return *systemDpi;
  return 96;
}

WindowPlacement PlaceWindow(const WorkArea& work, uint32_t dpi) {
  const float workWidth = static_cast<float>(work.right - work.left);
  const float workHeight = static_cast<float>(work.bottom - work.top);
  WindowPlacement placement;
  placement.scale =
      std::min({static_cast<float>(dpi) / 96.0f, (workWidth - 40) / 720.0f, (workHeight - 40) / 600.0f});
  placement.width = static_cast<int>(720.0f * placement.scale);
  placement.height = static_cast<int>(600.0f * placement.scale);
  placement.x = work.left + (work.right - work.left - placement.width) / 2;
  placement.y = work.top + (work.bottom - work.top - placement.height) / 2;
  return placement;
}

}  // namespace tavo::launcher::ui
