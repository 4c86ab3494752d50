// One frame of the setup window, drawn from the frame inputs into any render
// target: the window's paint and the screenshot capture call the same code.
#pragma once

#include "launcher/ui/model/frame_inputs.h"
#include "launcher/ui/model/text_measurer.h"
#include "launcher/ui/paint/frame_cache.h"
#include "launcher/ui/window/device_resources.h"
#include "launcher/ui/window/rendering_resources.h"

namespace tavo::launcher::ui {

struct FrameTools {
  DeviceResources& device;  // target, brush, layers and pictures, already ensured
  const RenderingResources& resources;
  TextMeasurer& measurer;
  BalancedWidths& balancedWidths;
  FrameCache* cache = nullptr;  // null: nothing is kept between frames
};

// The parts of a frame. The window always draws them all; the benchmark draws
// one at a time on a cleared target to see what each costs.
enum FramePart : unsigned {
  kAmbientPart = 1 << 0,     // the drifting glows behind every screen
  kTipPicturePart = 1 << 1,  // accent glow, tip pictures with their faded edges, indicators
  kTextsPart = 1 << 2,       // tip or outcome texts, progress label, percent and footer
  kBarPart = 1 << 3,         // track, fill, head glow, shimmer or indeterminate segment
  kHeroPart = 1 << 4,        // outcome glows, ring, logo and badge
  kChromePart = 1 << 5,      // wordmark, badge, caption and row buttons, stop question
  kAllParts = (1 << 6) - 1,
};

// Begins, draws and ends one frame on the device's target. Returns false when
// the device was lost (it is released; the next frame rebuilds it); throws
// hresult_error for any other failure.
bool DrawFrame(FrameTools& tools, const FrameInputs& inputs, unsigned parts = kAllParts);

}  // namespace tavo::launcher::ui
