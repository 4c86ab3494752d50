#include "launcher/ui/paint/frame_cache.h"

#include <algorithm>

#include "common/winrt/hresult_error.h"
#include "launcher/ui/window/rendering_resources.h"

namespace tavo::launcher::ui {
namespace {

D2D1_COLOR_F StopColour(const GradientStop& stop) {
  return {static_cast<float>((stop.rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((stop.rgb >> 8) & 0xFF) / 255.0f,
          static_cast<float>(stop.rgb & 0xFF) / 255.0f, stop.alpha};
}

bool SameTransform(const D2D1_MATRIX_3X2_F& a, const D2D1_MATRIX_3X2_F& b) {
  return a._11 == b._11 && a._12 == b._12 && a._21 == b._21 && a._22 == b._22 && a._31 == b._31 && a._32 == b._32;
}

// One closed figure: straight sides and quarter-circle corners as cubic
// Béziers (the figure Direct2D makes of a rounded rectangle; arcs are not
// available on every platform this runs on).
void AddRoundRect(ID2D1GeometrySink* sink, const D2D1_ROUNDED_RECT& r) {
  constexpr float kQuarter = 0.5523f;  // control-point distance of a quarter circle, per radius
  const float left = r.rect.left, top = r.rect.top, right = r.rect.right, bottom = r.rect.bottom;
  const float rx = std::min(r.radiusX, (right - left) / 2), ry = std::min(r.radiusY, (bottom - top) / 2);
  const float cx = rx * kQuarter, cy = ry * kQuarter;
  sink->BeginFigure({left + rx, top}, D2D1_FIGURE_BEGIN_FILLED);
  sink->AddLine({right - rx, top});
  sink->AddBezier({{right - rx + cx, top}, {right, top + ry - cy}, {right, top + ry}});
  sink->AddLine({right, bottom - ry});
  sink->AddBezier({{right, bottom - ry + cy}, {right - rx + cx, bottom}, {right - rx, bottom}});
  sink->AddLine({left + rx, bottom});
  sink->AddBezier({{left + rx - cx, bottom}, {left, bottom - ry + cy}, {left, bottom - ry}});
  sink->AddLine({left, top + ry});
  sink->AddBezier({{left, top + ry - cy}, {left + rx - cx, top}, {left + rx, top}});
  sink->EndFigure(D2D1_FIGURE_END_CLOSED);
}

uint32_t Divided(uint32_t pixels) { return std::max<uint32_t>(1, (pixels + kBackdropDivisor - 1) / kBackdropDivisor); }

}  // namespace

void FrameCache::BeginFrame(uint64_t deviceGeneration) {
  if (deviceGeneration != deviceGeneration_) {
    DropDeviceBound();
    deviceGeneration_ = deviceGeneration;
  }
  ++frame_;
}

void FrameCache::EndFrame() {
  const auto unused = [this](const auto& entry) { return entry.second.usedInFrame + 1 < frame_; };
  std::erase_if(texts_, unused);
  std::erase_if(roundRects_, unused);
  std::erase_if(segments_, unused);
}

void FrameCache::DropDeviceBound() {
  stops_.clear();
  for (auto& tip : composedTips_) tip.reset();
  backdrop_.reset();
  backdropPixels_ = {};
  backdropContent_.reset();
}

const LaidOutText& FrameCache::Text(const RenderingResources& resources, std::wstring_view text, float boxWidth,
                                    const TextStyle& style) {
  TextKey key{std::wstring(text), boxWidth,          style.size,           style.weight,
              style.align,        style.lineSpacing, style.letterSpacing, style.tabularFigures,
              style.contextualAlternates};
  auto found = texts_.find(key);
  if (found == texts_.end()) {
    TextEntry entry;
    entry.text.layout = resources.MakeTextLayout(text, boxWidth, style);
    CheckHr(entry.text.layout->GetMetrics(&entry.text.metrics));
    found = texts_.emplace(std::move(key), std::move(entry)).first;
  }
  found->second.usedInFrame = frame_;
  return found->second.text;
}

ID2D1GradientStopCollection* FrameCache::Stops(ID2D1RenderTarget* target, const std::vector<GradientStop>& stops) {
  if (auto found = stops_.find(stops); found != stops_.end()) return found->second.get();
  std::vector<D2D1_GRADIENT_STOP> converted;
  converted.reserve(stops.size());
  for (const GradientStop& stop : stops) converted.push_back({stop.position, StopColour(stop)});
  ComPtr<ID2D1GradientStopCollection> collection;
  if (FAILED(target->CreateGradientStopCollection(converted.data(), static_cast<UINT32>(converted.size()),
                                                  D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP, collection.put())))
    return nullptr;
  return stops_.emplace(stops, std::move(collection)).first->second.get();
}

template <typename Key, typename AddFigures>
ID2D1Geometry* FrameCache::Kept(std::map<Key, GeometryEntry>& kept, Key key, ID2D1Factory* factory,
                                const AddFigures& addFigures) {
  if (auto found = kept.find(key); found != kept.end()) {
    found->second.usedInFrame = frame_;
    return found->second.geometry.get();
  }
  ComPtr<ID2D1PathGeometry> path;
  ComPtr<ID2D1GeometrySink> sink;
  if (FAILED(factory->CreatePathGeometry(path.put())) || FAILED(path->Open(sink.put()))) return nullptr;
  addFigures(sink.get());
  if (FAILED(sink->Close())) return nullptr;
  return kept.emplace(std::move(key), GeometryEntry{std::move(path), frame_}).first->second.geometry.get();
}

ID2D1Geometry* FrameCache::RoundRects(ID2D1Factory* factory, const std::vector<D2D1_ROUNDED_RECT>& rects) {
  std::vector<std::array<float, 6>> key;
  key.reserve(rects.size());
  for (const D2D1_ROUNDED_RECT& r : rects)
    key.push_back({r.rect.left, r.rect.top, r.rect.right, r.rect.bottom, r.radiusX, r.radiusY});
  return Kept(roundRects_, std::move(key), factory, [&rects](ID2D1GeometrySink* sink) {
    for (const D2D1_ROUNDED_RECT& r : rects) AddRoundRect(sink, r);
  });
}

ID2D1Geometry* FrameCache::Segments(ID2D1Factory* factory, const std::vector<Segment>& segments) {
  std::vector<std::array<float, 4>> key;
  key.reserve(segments.size());
  for (const Segment& s : segments) key.push_back({s.from.x, s.from.y, s.to.x, s.to.y});
  return Kept(segments_, std::move(key), factory, [&segments](ID2D1GeometrySink* sink) {
    for (const Segment& s : segments) {
      sink->BeginFigure(s.from, D2D1_FIGURE_BEGIN_HOLLOW);
      sink->AddLine(s.to);
      sink->EndFigure(D2D1_FIGURE_END_OPEN);
    }
  });
}

bool FrameCache::BackdropContent::operator==(const BackdropContent& other) const {
  const D2D1_COLOR_F& a = background;
  const D2D1_COLOR_F& b = other.background;
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a && glows == other.glows &&
         SameTransform(transform, other.transform);
}

ID2D1BitmapRenderTarget* FrameCache::Backdrop(ID2D1RenderTarget* target, D2D1_SIZE_U pixels,
                                              const BackdropContent& content, bool* current) {
  const D2D1_SIZE_U size{Divided(pixels.width), Divided(pixels.height)};
  if (!backdrop_ || size.width != backdropPixels_.width || size.height != backdropPixels_.height) {
    backdrop_.reset();
    backdropContent_.reset();
    // 96 DPI like the window's target: the transform maps DIPs to its pixels.
    const D2D1_SIZE_F dips{static_cast<float>(size.width), static_cast<float>(size.height)};
    const D2D1_PIXEL_FORMAT format{DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED};
    if (FAILED(target->CreateCompatibleRenderTarget(&dips, &size, &format, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE,
                                                    backdrop_.put()))) {
      backdrop_.reset();
      return nullptr;
    }
    backdropPixels_ = size;
  }
  *current = backdropContent_ && *backdropContent_ == content;
  // Until it is drawn anew it shows nothing certain.
  if (!*current) backdropContent_.reset();
  return backdrop_.get();
}

}  // namespace tavo::launcher::ui
