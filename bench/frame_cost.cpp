// tavo_bench_frame: the cost of drawing the setup window's frame offscreen at
// scale 1: a full `installing` frame against a frame that only clears, both
// into the same WIC bitmap target, with the pictures and fonts of the
// TavoSetup.exe named on the command line; then each part of the frame alone
// (its cost above the clear-only frame), and the `success` frame. The cases
// are drawn in interleaved rounds, so drift on a busy machine touches them
// alike; prints the median milliseconds per frame and the rounds' spread.
// The frames are drawn through the window's frame cache, with the clock
// moving 33 ms per frame.
//
//   tavo_bench_frame.exe TAVOSETUP_EXE [FRAMES]
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "common/winrt/hresult_error.h"
#include "launcher/start/launch_options.h"
#include "launcher/ui/model/controls_layout.h"
#include "launcher/ui/model/preview_state.h"
#include "launcher/ui/model/text_layout_measure.h"
#include "launcher/ui/paint/frame_painter.h"
#include "launcher/ui/window/device_resources.h"

using namespace tavo;
using namespace tavo::launcher;

namespace {

constexpr int kRounds = 9;

struct Case {
  const char* name;
  std::function<void()> draw;
  std::vector<double> rounds;  // milliseconds per frame, one figure per round

  double Median() const {
    std::vector<double> sorted = rounds;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 2];
  }
};

double MillisecondsPerFrame(int frames, const std::function<void()>& draw) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) draw();
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / frames;
}

void Measure(std::vector<Case>& cases, int frames) {
  for (Case& c : cases) c.draw();  // first frames: layouts, caches
  for (int round = 0; round < kRounds; ++round)
    for (Case& c : cases) c.rounds.push_back(MillisecondsPerFrame(frames, c.draw));
}

ui::FrameInputs Inputs(ScreenModel& model, Controls& controls, const wchar_t* state, TextLayoutMeasure& measure) {
  LaunchOptions options;
  options.preview = true;
  options.stateName = state;
  ui::ApplyPreviewState(model, options, 0);
  model.FreezeClock();
  controls = ComputeControls(model, ControlsInput{true, false, false}, measure);
  ui::FrameInputs inputs;
  inputs.model = &model;
  inputs.controls = &controls;
  inputs.preview = true;
  inputs.now = model.Elapsed(0);
  return inputs;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tavo_bench_frame TAVOSETUP_EXE [FRAMES]\n");
    return 2;
  }
  const int frames = argc > 2 ? std::max(1, _wtoi(argv[2])) : 60;
  try {
    CheckHr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    HMODULE launcher = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!launcher) ThrowLastError();
    ui::RenderingResources resources(launcher);
    ui::DirectWriteTextMeasurer measurer(resources);
    TextLayoutMeasure layoutMeasure(measurer);
    ui::BalancedWidths widths;
    ui::DeviceResources device(resources, launcher);

    ScreenModel installingModel, successModel;
    Controls installingControls, successControls;
    const ui::FrameInputs installing = Inputs(installingModel, installingControls, L"installing", layoutMeasure);
    const ui::FrameInputs success = Inputs(successModel, successControls, L"success", layoutMeasure);

    ComPtr<IWICBitmap> bitmap;
    CheckHr(resources.ImagingFactory()->CreateBitmap(720, 600, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad,
                                                     bitmap.put()));
    const D2D1_RENDER_TARGET_PROPERTIES properties{D2D1_RENDER_TARGET_TYPE_DEFAULT,
                                                   {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED},
                                                   96.0f, 96.0f, D2D1_RENDER_TARGET_USAGE_NONE,
                                                   D2D1_FEATURE_LEVEL_DEFAULT};
    ComPtr<ID2D1RenderTarget> target;
    CheckHr(resources.D2DFactory()->CreateWicBitmapRenderTarget(bitmap.get(), &properties, target.put()));
    device.UseTarget(target, 1.0f);
    ui::FrameCache cache;
    ui::FrameTools tools{device, resources, measurer, widths, &cache};

    // Each frame 33 ms after the one before, as the window's tick draws them:
    // whatever moves (glows, zoom, shimmer, breath) is drawn anew.
    const auto frame = [&](ui::FrameInputs inputs, unsigned parts) {
      return [&tools, inputs, parts]() mutable {
        inputs.now += 33;
        if (!ui::DrawFrame(tools, inputs, parts)) throw hresult_error(static_cast<HRESULT>(D2DERR_RECREATE_TARGET));
      };
    };
    std::vector<Case> cases = {
        {"clear-only frame", frame(installing, 0), {}},
        {"installing frame", frame(installing, ui::kAllParts), {}},
        {"  ambient glows", frame(installing, ui::kAmbientPart), {}},
        {"  tip picture", frame(installing, ui::kTipPicturePart), {}},
        {"  texts", frame(installing, ui::kTextsPart), {}},
        {"  bar and shimmer", frame(installing, ui::kBarPart), {}},
        {"  wordmark and buttons", frame(installing, ui::kChromePart), {}},
        {"success frame", frame(success, ui::kAllParts), {}},
        {"  hero", frame(success, ui::kHeroPart), {}},
        {"  texts", frame(success, ui::kTextsPart), {}},
    };
    Measure(cases, frames);
    const double clear = cases[0].Median();
    for (const Case& c : cases) {
      const auto [low, high] = std::minmax_element(c.rounds.begin(), c.rounds.end());
      const bool part = c.name[0] == ' ';
      std::printf("%-24s %8.2f ms  %s(%d rounds of %d frames, spread %.2f to %.2f ms)\n", c.name,
                  part ? c.Median() - clear : c.Median(), part ? "above clear-only " : "", kRounds, frames, *low,
                  *high);
    }
    // Each round's frame against the same round's clear-only frame, so that
    // a busy moment weighs on both sides of a ratio.
    const auto ratio = [&](const Case& c, const char* label, const char* goal) {
      std::vector<double> ratios;
      for (size_t i = 0; i < c.rounds.size(); ++i) ratios.push_back(c.rounds[i] / cases[0].rounds[i]);
      std::sort(ratios.begin(), ratios.end());
      std::printf("ratio %s / clear-only %.2f%s  (rounds %.2f to %.2f)\n", label, ratios[ratios.size() / 2], goal,
                  ratios.front(), ratios.back());
    };
    ratio(cases[1], "installing", "  (target at most 2)");
    ratio(cases[7], "success", "");
    return 0;
  } catch (const hresult_error& error) {
    std::fprintf(stderr, "tavo_bench_frame: failed with 0x%08lX\n", static_cast<unsigned long>(error.code()));
    return 1;
  }
}
