#include "launcher/ui/frame_painter.h"

namespace tavo::launcher::ui {

namespace {

constexpr D2D1_COLOR_F kBackground{0x08 / 255.0f, 0x08 / 255.0f, 0x0A / 255.0f, 1.0f};

D2D1_MATRIX_3X2_F Scaling(float scale, float offsetX, float offsetY) {
  return {scale, 0, 0, scale, offsetX, offsetY};
}

}  // namespace

bool DrawFrame(FrameTools& tools, const FrameInputs& inputs) {
  ID2D1RenderTarget* target = tools.device.Target();
  target->BeginDraw();
  const D2D1_MATRIX_3X2_F identity{1, 0, 0, 1, 0, 0};
  target->SetTransform(&identity);
  target->Clear(&kBackground);
  const D2D1_MATRIX_3X2_F design = Scaling(inputs.scale, inputs.offsetX, inputs.offsetY);
  target->SetTransform(&design);
  if (ID2D1Bitmap* wordmark = tools.device.Wordmark()) {
    const D2D1_SIZE_F size = wordmark->GetSize();
    const D2D1_RECT_F where{32, 25, 32 + kWordmarkWidth, 25 + kWordmarkWidth * size.height / size.width};
    target->DrawBitmap(wordmark, &where, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
  }
  return tools.device.EndDraw();
}

}  // namespace tavo::launcher::ui
