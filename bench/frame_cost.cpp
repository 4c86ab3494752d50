// tavo_bench_frame: the cost of drawing the setup window's frame offscreen at
// scale 1: a full `installing` frame against a frame that only clears, both
// into the same WIC bitmap target, with the pictures and fonts of the
// TavoSetup.exe named on the command line. Prints milliseconds per frame.
//
//   tavo_bench_frame.exe TAVOSETUP_EXE [FRAMES]
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>

#include "common/winrt/hresult_error.h"
#include "launcher/launch_options.h"
#include "launcher/ui/model/controls_layout.h"
#include "launcher/ui/model/preview_state.h"
#include "launcher/ui/model/text_layout_measure.h"
#include "launcher/ui/paint/frame_painter.h"
#include "launcher/ui/window/device_resources.h"

using namespace tavo;
using namespace tavo::launcher;

namespace {

double MillisecondsPerFrame(int frames, const auto& draw) {
  draw();  // first frame: layouts, caches
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) draw();
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / frames;
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

    LaunchOptions options;
    options.preview = true;
    options.stateName = L"installing";
    ScreenModel model;
    ui::ApplyPreviewState(model, options, 0);
    model.FreezeClock();
    Controls controls = ComputeControls(model, ControlsInput{true, false, false}, layoutMeasure);
    ui::FrameInputs inputs;
    inputs.model = &model;
    inputs.controls = &controls;
    inputs.preview = true;
    inputs.now = model.Elapsed(0);

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
    ui::FrameTools tools{device, resources, measurer, widths};

    const double clear = MillisecondsPerFrame(frames, [&] {
      target->BeginDraw();
      const D2D1_COLOR_F background{0.03f, 0.03f, 0.04f, 1};
      target->Clear(&background);
      CheckHr(target->EndDraw());
    });
    const double full = MillisecondsPerFrame(frames, [&] {
      if (!ui::DrawFrame(tools, inputs)) throw hresult_error(static_cast<HRESULT>(D2DERR_RECREATE_TARGET));
    });
    std::printf("clear-only frame       %8.2f ms  (%d frames)\n", clear, frames);
    std::printf("installing frame       %8.2f ms  (%d frames)\n", full, frames);
    std::printf("ratio installing / clear-only %.2f\n", full / clear);
    return 0;
  } catch (const hresult_error& error) {
    std::fprintf(stderr, "tavo_bench_frame: failed with 0x%08lX\n", static_cast<unsigned long>(error.code()));
    return 1;
  }
}
