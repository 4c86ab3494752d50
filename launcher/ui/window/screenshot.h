// Screenshot mode: one frame of the window rendered offscreen to a PNG file.
#pragma once

#include <string>

#include "launcher/ui/paint/frame_painter.h"

namespace tavo::launcher::ui {

// The screenshot's size in pixels: the design surface times the scale, truncated.
PixelSize ScreenshotSize(float scale);

// Renders one frame at `scale` (offsets 0; `inputs` carries the frozen clock)
// into a premultiplied BGRA bitmap and writes it as PNG to `path`, replacing
// any file there. The window's device resources are released first. Throws
// hresult_error for every failing step.
void CaptureToPng(const std::wstring& path, float scale, FrameTools& tools, FrameInputs inputs);

}  // namespace tavo::launcher::ui
