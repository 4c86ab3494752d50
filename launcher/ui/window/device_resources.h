// The window's device-dependent drawing resources: the render target (the
// window's, or a WIC bitmap's for a screenshot), text antialiasing, the one
// shared brush, two layers, and the pictures decoded at the window scale.
// Made on the first paint and again after a device loss or a scale change.
#pragma once

#include <windows.h>
#include <d2d1.h>

#include <array>
#include <optional>

#include "common/winrt/com_ptr.h"
#include "launcher/ui/model/picture_sizes.h"
#include "launcher/ui/model/screen_model.h"
#include "launcher/ui/window/rendering_resources.h"

namespace tavo::launcher::ui {

// Drawn sizes in DIPs of the wordmark (height by its aspect) and the logo.
inline constexpr float kWordmarkWidth = 54;
inline constexpr float kLogoSize = 104;

class DeviceResources {
 public:
  // Pictures come from the resources of `module` (null: the process's own file).
  explicit DeviceResources(const RenderingResources& resources, HMODULE module = nullptr)
      : resources_(resources), module_(module) {}
  DeviceResources(const DeviceResources&) = delete;
  DeviceResources& operator=(const DeviceResources&) = delete;

  // At the start of every paint: the window's render target for its client
  // size (a software target when the default one cannot be made) with its
  // companions, then the pictures for `scale`. Throws hresult_error.
  void EnsureForWindow(HWND window, float scale);
  // Draws into `target` from now on (a screenshot's bitmap target), with new
  // companions and pictures for `scale`. Throws hresult_error.
  void UseTarget(ComPtr<ID2D1RenderTarget> target, float scale);
  // The window's render target follows its client size; nothing without one.
  void Resize(UINT32 width, UINT32 height);
  // Drops the target, brush, layers and pictures (device loss, failed paint).
  void Release();
  // Ends the frame. A lost device releases everything and returns false, so
  // the next paint rebuilds it; any other failure throws hresult_error.
  bool EndDraw();
  // The window's target found it covered whole (never for a bitmap target).
  bool Occluded() const;

  ID2D1RenderTarget* Target() const { return target_.get(); }
  ID2D1SolidColorBrush* Brush() const { return brush_.get(); }
  ID2D1Layer* Layer(int index) const { return layers_[static_cast<size_t>(index)].get(); }
  // The pictures are decoded at their first use after the target or the scale
  // changed, so that a frame decodes only what it shows (the first frame of
  // `installing`: the wordmark and one tip). Nothing without a target. Throws
  // hresult_error, also for a missing resource.
  ID2D1Bitmap* Wordmark() const { return Picture(kWordmarkSlot); }
  // The wordmark picture's own size, which its drawn height is computed from.
  PixelSize WordmarkPicture() const;
  ID2D1Bitmap* Logo() const { return Picture(kLogoSlot); }
  ID2D1Bitmap* Tip(int index) const { return Picture(kFirstTipSlot + index); }
  // A tip picture's own size, which its placement is computed from.
  PixelSize TipPicture(int index) const;
  float BitmapScale() const { return bitmapScale_; }
  // Changes whenever the target or the pictures are made anew: what was made
  // with the earlier ones (the frame cache) must be made again.
  uint64_t Generation() const { return generation_; }

 private:
  static constexpr int kWordmarkSlot = 0, kLogoSlot = 1, kFirstTipSlot = 2, kSlotCount = 2 + kTipCount;
  struct LoadedPicture {
    ComPtr<ID2D1Bitmap> bitmap;
    PixelSize picture;  // the decoded picture's own size
  };

  void CreateCompanions();
  void EnsureBitmaps(float scale);
  void ReleaseBitmaps();
  // The picture of a slot, decoded now if this scale has not had it yet.
  ID2D1Bitmap* Picture(int slot) const;
  const LoadedPicture* Loaded(int slot) const;
  // Decodes an RT_RCDATA picture to premultiplied BGRA and makes a bitmap of
  // it at `target` DIPs (height 0: by the picture's aspect; tips: their
  // contain-fit) times the scale. Throws hresult_error, also for a missing resource.
  LoadedPicture LoadBitmap(int resourceId, SizeF target, bool fitTip, float scale) const;

  const RenderingResources& resources_;
  HMODULE module_;
  ComPtr<ID2D1RenderTarget> target_;
  ComPtr<ID2D1HwndRenderTarget> hwndTarget_;  // the same object as target_ for a window
  ComPtr<ID2D1SolidColorBrush> brush_;
  std::array<ComPtr<ID2D1Layer>, 2> layers_;
  // Filled on first use: a cache behind the const accessors the painters use.
  mutable std::array<std::optional<LoadedPicture>, kSlotCount> pictures_;
  float bitmapScale_ = 0;
  bool bitmapsReady_ = false;  // pictures_ belong to bitmapScale_ and this target
  uint64_t generation_ = 0;
};

}  // namespace tavo::launcher::ui
