// One frame of the setup window, drawn from the frame inputs into any render
// target: the window's paint and the screenshot capture call the same code.
#pragma once

#include "launcher/ui/model/frame_inputs.h"
#include "launcher/ui/model/text_measurer.h"
#include "launcher/ui/window/device_resources.h"
#include "launcher/ui/window/rendering_resources.h"

namespace tavo::launcher::ui {

struct FrameTools {
  DeviceResources& device;  // target, brush, layers and pictures, already ensured
  const RenderingResources& resources;
  TextMeasurer& measurer;
  BalancedWidths& balancedWidths;
};

// Begins, draws and ends one frame on the device's target. Returns false when
// the device was lost (it is released; the next frame rebuilds it); throws
// hresult_error for any other failure.
bool DrawFrame(FrameTools& tools, const FrameInputs& inputs);

}  // namespace tavo::launcher::ui
