// The product tips that the progress screens show one after another while
// Tavo Studio installs. Tip i shows picture TAVO_RESOURCE_TIP_FIRST + i.
#pragma once

#include <cstdint>

#include "launcher/ui/model/screen_model.h"  // kTipCount

namespace tavo::launcher::ui {

struct Tip {
  const wchar_t* kicker;      // upper case, e.g. L"LAYERS"
  const wchar_t* titleLine1;  // the two title lines are drawn as one row when they fit in 624 DIPs at 24 px bold
  const wchar_t* titleLine2;
  const wchar_t* body;        // one or two sentences, about 60 to 120 characters
  uint32_t accent;            // 0xRRGGBB
};

extern const Tip kTips[kTipCount];  // carousel order; tip i shows picture TAVO_RESOURCE_TIP_FIRST + i

}  // namespace tavo::launcher::ui
