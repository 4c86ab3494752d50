// The stop confirmation: a scrim over the screen and a card asking whether to
// stop installing. Its two buttons are the row buttons, drawn after it.
#pragma once

#include "launcher/ui/model/colours.h"
#include "launcher/ui/paint/frame_canvas.h"

namespace tavo::launcher::ui {

void DrawStopOverlay(FrameCanvas& canvas, const Colours& colours);

}  // namespace tavo::launcher::ui
