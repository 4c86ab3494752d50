#include "launcher/ui/window/device_resources.h"

#include <wincodec.h>

#include "common/winrt/hresult_error.h"
#include "resources/resource_ids.h"

namespace tavo::launcher::ui {

namespace {

D2D1_RENDER_TARGET_PROPERTIES TargetProperties(D2D1_RENDER_TARGET_TYPE type) {
  // 96 DPI: the frame draws in pixels and applies the window scale itself.
  return {type, {DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN}, 96.0f, 96.0f, D2D1_RENDER_TARGET_USAGE_NONE,
          D2D1_FEATURE_LEVEL_DEFAULT};
}

}  // namespace

void DeviceResources::EnsureForWindow(HWND window, float scale) {
  if (!target_) {
    RECT client{};
    ::GetClientRect(window, &client);
    const D2D1_HWND_RENDER_TARGET_PROPERTIES hwndProperties{
        window, {static_cast<UINT32>(client.right - client.left), static_cast<UINT32>(client.bottom - client.top)},
        D2D1_PRESENT_OPTIONS_NONE};
    ComPtr<ID2D1HwndRenderTarget> created;
    D2D1_RENDER_TARGET_PROPERTIES properties = TargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT);
    if (FAILED(resources_.D2DFactory()->CreateHwndRenderTarget(&properties, &hwndProperties, created.put()))) {
      // No usable hardware device: software rendering still draws the window.
      properties = TargetProperties(D2D1_RENDER_TARGET_TYPE_SOFTWARE);
      CheckHr(resources_.D2DFactory()->CreateHwndRenderTarget(&properties, &hwndProperties, created.put()));
    }
    hwndTarget_ = created;
    target_ = ComPtr<ID2D1RenderTarget>::Copy(created.get());
    try {
      CreateCompanions();
    } catch (const hresult_error&) {
      Release();  // a target is kept only with its brush and layers
      throw;
    }
  }
  EnsureBitmaps(scale);
}

void DeviceResources::UseTarget(ComPtr<ID2D1RenderTarget> target, float scale) {
  Release();
  target_ = std::move(target);
  CreateCompanions();
  EnsureBitmaps(scale);
}

void DeviceResources::CreateCompanions() {
  ++generation_;
  target_->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
  const D2D1_COLOR_F white{1, 1, 1, 1};
  CheckHr(target_->CreateSolidColorBrush(&white, nullptr, brush_.put()));
  for (auto& layer : layers_) CheckHr(target_->CreateLayer(nullptr, layer.put()));
}

void DeviceResources::Resize(UINT32 width, UINT32 height) {
  if (!hwndTarget_) return;
  const D2D1_SIZE_U size{width, height};
  // The window's first WM_SIZE comes right after the target was made at its
  // size; resizing anyway rebuilds the swap chain for nothing, before the
  // first frame.
  const D2D1_SIZE_U current = hwndTarget_->GetPixelSize();
  if (current.width == size.width && current.height == size.height) return;
  // A failure shows at the next EndDraw, which handles it.
  hwndTarget_->Resize(&size);
}

void DeviceResources::ReleaseBitmaps() {
  for (auto& picture : pictures_) picture.reset();
  bitmapsReady_ = false;
}

void DeviceResources::Release() {
  ReleaseBitmaps();
  for (auto& layer : layers_) layer.reset();
  brush_.reset();
  hwndTarget_.reset();
  target_.reset();
}

bool DeviceResources::EndDraw() {
  const HRESULT hr = target_->EndDraw();
  if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
    Release();
    return false;
  }
  CheckHr(hr);
  // The state stays "occluded" from a frame presented while covered until it
  // is asked once; asking here makes the next answer the window's state then.
  if (hwndTarget_) hwndTarget_->CheckWindowState();
  return true;
}

bool DeviceResources::Occluded() const {
  return hwndTarget_ && (hwndTarget_->CheckWindowState() & D2D1_WINDOW_STATE_OCCLUDED) != 0;
}

void DeviceResources::EnsureBitmaps(float scale) {
  if (bitmapsReady_ && !BitmapScaleStale(bitmapScale_, scale)) return;
  ReleaseBitmaps();
  bitmapScale_ = scale;
  bitmapsReady_ = true;
  ++generation_;
}

const DeviceResources::LoadedPicture* DeviceResources::Loaded(int slot) const {
  if (!target_ || !bitmapsReady_ || slot < 0 || slot >= kSlotCount) return nullptr;
  std::optional<LoadedPicture>& picture = pictures_[static_cast<size_t>(slot)];
  if (!picture) {
    if (slot == kWordmarkSlot) {
      picture = LoadBitmap(TAVO_RESOURCE_WORDMARK, {kWordmarkWidth, 0}, false, bitmapScale_);
    } else if (slot == kLogoSlot) {
      picture = LoadBitmap(TAVO_RESOURCE_LOGO, {kLogoSize, kLogoSize}, false, bitmapScale_);
    } else {
      picture = LoadBitmap(TAVO_RESOURCE_TIP_FIRST + slot - kFirstTipSlot, {}, true, bitmapScale_);
    }
  }
  return &*picture;
}

ID2D1Bitmap* DeviceResources::Picture(int slot) const {
  const LoadedPicture* picture = Loaded(slot);
  return picture ? picture->bitmap.get() : nullptr;
}

PixelSize DeviceResources::WordmarkPicture() const {
  const LoadedPicture* picture = Loaded(kWordmarkSlot);
  return picture ? picture->picture : PixelSize{};
}

PixelSize DeviceResources::TipPicture(int index) const {
  const LoadedPicture* picture = Loaded(kFirstTipSlot + index);
  return picture ? picture->picture : PixelSize{};
}

DeviceResources::LoadedPicture DeviceResources::LoadBitmap(int resourceId, SizeF target, bool fitTip,
                                                          float scale) const {
  IWICImagingFactory* wic = resources_.ImagingFactory();
  // The first frame's pictures may be decoded already (the warm-up thread).
  ComPtr<IWICBitmapSource> converter = resources_.DecodedPicture(resourceId);
  if (!converter) {
    HRSRC found = ::FindResourceW(module_, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    HGLOBAL loaded = found ? ::LoadResource(module_, found) : nullptr;
    void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = found ? ::SizeofResource(module_, found) : 0;
    if (!bytes || size == 0) throw hresult_error(HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND));
    ComPtr<IWICStream> stream;
    CheckHr(wic->CreateStream(stream.put()));
    CheckHr(stream->InitializeFromMemory(static_cast<BYTE*>(bytes), size));
    ComPtr<IWICBitmapDecoder> decoder;
    CheckHr(wic->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.put()));
    ComPtr<IWICBitmapFrameDecode> frame;
    CheckHr(decoder->GetFrame(0, frame.put()));
    ComPtr<IWICFormatConverter> converted;
    CheckHr(wic->CreateFormatConverter(converted.put()));
    CheckHr(converted->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                  WICBitmapPaletteTypeCustom));
    converter = ComPtr<IWICBitmapSource>::Copy(converted.get());
  }

  PixelSize picture;
  CheckHr(converter->GetSize(&picture.width, &picture.height));
  if (fitTip) {
    target = TipTargetSize(picture);
  } else if (target.height <= 0) {
    target.height = HeightByAspect(picture, target.width);
  }
  const PixelSize pixels = TargetPixels(target, scale);

  ComPtr<ID2D1Bitmap> bitmap;
  if (ShouldPrescale(pixels, picture)) {
    ComPtr<IWICBitmapScaler> scaler;
    if (SUCCEEDED(wic->CreateBitmapScaler(scaler.put())) &&
        SUCCEEDED(scaler->Initialize(converter.get(), pixels.width, pixels.height, WICBitmapInterpolationModeFant)) &&
        SUCCEEDED(target_->CreateBitmapFromWicBitmap(scaler.get(), nullptr, bitmap.put()))) {
      return {bitmap, picture};
    }
    // The full-size picture still draws, only resampled on every frame.
  }
  CheckHr(target_->CreateBitmapFromWicBitmap(converter.get(), nullptr, bitmap.put()));
  return {bitmap, picture};
}

}  // namespace tavo::launcher::ui
