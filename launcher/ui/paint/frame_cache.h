// What one frame of the setup window can take over from the frames before it,
// so that a frame costs little more than its clear on software rendering:
//  - the backdrop: every soft glow of the frame (ambient, tip accent, hero)
//    drawn into a bitmap a quarter of the client's size and stretched over it;
//    glows are blurred by nature, so the stretch changes nothing a person sees;
//  - each tip picture composed once with its faded edges, then only scaled;
//  - text layouts by text, box width and style, and gradient stop collections.
// Everything device-bound is dropped when the device resources change (a new
// target, a device loss, pictures at another scale); text layouts and
// geometries are in DIPs and are kept while frames use them.
#pragma once

#include <d2d1.h>
#include <dwrite.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "common/winrt/com_ptr.h"
#include "launcher/ui/model/frame_geometry.h"
#include "launcher/ui/model/screen_model.h"
#include "launcher/ui/model/text_measurer.h"

namespace tavo::launcher::ui {

class RenderingResources;

// A text laid out once, with its metrics.
struct LaidOutText {
  ComPtr<IDWriteTextLayout> layout;
  DWRITE_TEXT_METRICS metrics{};
};

struct GradientStop {
  float position;
  uint32_t rgb;
  float alpha;
  bool operator==(const GradientStop&) const = default;
  auto operator<=>(const GradientStop&) const = default;
};

// A straight stroke from one point to another.
struct Segment {
  D2D1_POINT_2F from, to;
};

// The backdrop bitmap's pixels per client pixel, in each direction.
inline constexpr uint32_t kBackdropDivisor = 4;

class FrameCache {
 public:
  // At the start of each frame: everything device-bound goes when the device
  // resources are not those of the last frame.
  void BeginFrame(uint64_t deviceGeneration);
  // At the end of each frame: text layouts and geometries that neither this
  // frame nor the one before used are let go, so changing texts (the percent)
  // and shapes do not pile up.
  void EndFrame();

  // Throws hresult_error, as making the layout does.
  const LaidOutText& Text(const RenderingResources& resources, std::wstring_view text, float boxWidth,
                          const TextStyle& style);
  // Null when the collection cannot be made (a lost device).
  ID2D1GradientStopCollection* Stops(ID2D1RenderTarget* target, const std::vector<GradientStop>& stops);
  // The rounded rectangles as one geometry, filled with one draw instead of
  // one per rectangle; null when it cannot be made. Device-independent.
  ID2D1Geometry* RoundRects(ID2D1Factory* factory, const std::vector<D2D1_ROUNDED_RECT>& rects);
  // The segments as open figures of one geometry; null when it cannot be made.
  ID2D1Geometry* Segments(ID2D1Factory* factory, const std::vector<Segment>& segments);

  // The composed picture of tip `index` (with its faded edges), null until set.
  ComPtr<ID2D1Bitmap>& ComposedTip(int index) { return composedTips_[static_cast<size_t>(index)]; }

  // What the backdrop shows: the background colour and the glows, drawn with
  // the transform.
  struct BackdropContent {
    D2D1_COLOR_F background{};
    std::vector<Glow> glows;
    D2D1_MATRIX_3X2_F transform{};
    bool operator==(const BackdropContent& other) const;
  };
  // The backdrop's target for a client `pixels` in size, made on `target`;
  // null when it cannot be made. `current` tells whether it already shows
  // exactly `content` (nothing to draw again).
  ID2D1BitmapRenderTarget* Backdrop(ID2D1RenderTarget* target, D2D1_SIZE_U pixels, const BackdropContent& content,
                                    bool* current);
  // The backdrop was drawn with `content`.
  void BackdropDrawn(const BackdropContent& content) { backdropContent_ = content; }

 private:
  using TextKey = std::tuple<std::wstring, float, float, uint16_t, TextAlign, float, float, bool, bool>;
  struct TextEntry {
    LaidOutText text;
    uint64_t usedInFrame = 0;
  };
  struct GeometryEntry {
    ComPtr<ID2D1PathGeometry> geometry;
    uint64_t usedInFrame = 0;
  };

  void DropDeviceBound();
  // The geometry kept under `key`, else a path of the figures `addFigures`
  // adds, kept from now on; null when it cannot be made.
  template <typename Key, typename AddFigures>
  ID2D1Geometry* Kept(std::map<Key, GeometryEntry>& kept, Key key, ID2D1Factory* factory,
                      const AddFigures& addFigures);

  uint64_t deviceGeneration_ = 0;
  uint64_t frame_ = 0;
  std::map<TextKey, TextEntry> texts_;
  std::map<std::vector<GradientStop>, ComPtr<ID2D1GradientStopCollection>> stops_;
  std::map<std::vector<std::array<float, 6>>, GeometryEntry> roundRects_;
  std::map<std::vector<std::array<float, 4>>, GeometryEntry> segments_;
  std::array<ComPtr<ID2D1Bitmap>, kTipCount> composedTips_;
  ComPtr<ID2D1BitmapRenderTarget> backdrop_;
  D2D1_SIZE_U backdropPixels_{};
  std::optional<BackdropContent> backdropContent_;  // none: nothing drawn yet
};

}  // namespace tavo::launcher::ui
