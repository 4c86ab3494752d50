#include "launcher/ui/window/screenshot.h"

#include <wincodec.h>

#include "common/winrt/hresult_error.h"

namespace tavo::launcher::ui {

PixelSize ScreenshotSize(float scale) {
  return {static_cast<uint32_t>(720.0f * scale), static_cast<uint32_t>(600.0f * scale)};
}

void CaptureToPng(const std::wstring& path, float scale, FrameTools& tools, FrameInputs inputs) {
  const PixelSize size = ScreenshotSize(scale);
  IWICImagingFactory* wic = tools.resources.ImagingFactory();
  ComPtr<IWICBitmap> bitmap;
  CheckHr(wic->CreateBitmap(size.width, size.height, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad,
                            bitmap.put()));

  tools.device.Release();
  const D2D1_RENDER_TARGET_PROPERTIES properties{D2D1_RENDER_TARGET_TYPE_DEFAULT,
                                                 {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED},
                                                 96.0f,
                                                 96.0f,
                                                 D2D1_RENDER_TARGET_USAGE_NONE,
                                                 D2D1_FEATURE_LEVEL_DEFAULT};
  ComPtr<ID2D1RenderTarget> target;
  CheckHr(tools.resources.D2DFactory()->CreateWicBitmapRenderTarget(bitmap.get(), &properties, target.put()));
  tools.device.UseTarget(target, scale);
  inputs.scale = scale;
  inputs.offsetX = inputs.offsetY = 0;
  const bool drawn = DrawFrame(tools, inputs);
  tools.device.Release();
  if (!drawn) throw hresult_error(static_cast<HRESULT>(D2DERR_RECREATE_TARGET));  // nothing to retry offscreen

  // A file that cannot be removed fails the stream below with its own error.
  ::DeleteFileW(path.c_str());
  ComPtr<IWICStream> stream;
  CheckHr(wic->CreateStream(stream.put()));
  CheckHr(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE));
  ComPtr<IWICBitmapEncoder> encoder;
  CheckHr(wic->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put()));
  CheckHr(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache));
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  CheckHr(encoder->CreateNewFrame(frame.put(), options.put()));
  CheckHr(frame->Initialize(options.get()));
  CheckHr(frame->SetSize(size.width, size.height));
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppPBGRA;
  CheckHr(frame->SetPixelFormat(&format));
  CheckHr(frame->WriteSource(bitmap.get(), nullptr));
  CheckHr(frame->Commit());
  CheckHr(encoder->Commit());
}

}  // namespace tavo::launcher::ui
