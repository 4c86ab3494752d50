// The window's device-independent drawing resources: the Direct2D, DirectWrite
// and WIC factories, the round stroke style, the embedded "Tavo Inter" fonts and
// the text layouts that every text of the window goes through.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <dwrite_3.h>
#include <wincodec.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/winrt/com_ptr.h"
#include "launcher/ui/model/text_measurer.h"
#include "resources/resource_ids.h"

namespace tavo::launcher::ui {

// Packed RT_RCDATA resources holding the four weights (400, 500, 600, 700) in this order.
inline constexpr int kFontResourceIds[] = {TAVO_RESOURCE_FONT_REGULAR, TAVO_RESOURCE_FONT_MEDIUM,
                                           TAVO_RESOURCE_FONT_SEMIBOLD, TAVO_RESOURCE_FONT_BOLD};
inline constexpr wchar_t kEmbeddedFontFamily[] = L"Tavo Inter";

// A decoded picture's pixels, 32bppPBGRA, rows of width * 4 bytes.
struct DecodedPixels {
  UINT width = 0, height = 0;
  std::vector<uint8_t> bytes;
};

class RenderingResources {
 public:
  // Creates the factories (COM must be initialised on this thread) and loads
  // the fonts from the resources of `module` (null: the process's own file).
  // Throws hresult_error when a factory cannot be created; font loading never
  // fails: without the embedded fonts a system family is used. Texts are laid
  // out under the locale of the active translation, read now: DirectWrite's
  // fallback then gives Han characters that language's forms.
  explicit RenderingResources(HMODULE module = nullptr);
  ~RenderingResources();
  RenderingResources(const RenderingResources&) = delete;
  RenderingResources& operator=(const RenderingResources&) = delete;

  ID2D1Factory* D2DFactory() const { return d2d_.get(); }
  // DirectWrite is the warm-up's until it ends: these wait for it.
  IDWriteFactory* WriteFactory() const {
    FinishWarmUp();
    return write_.get();
  }
  IWICImagingFactory* ImagingFactory() const { return imaging_.get(); }
  ID2D1StrokeStyle* RoundStroke() const { return roundStroke_.get(); }

  // "Tavo Inter" when the embedded fonts loaded, else a system family.
  const std::wstring& UiFamily() const { return uiFamily_; }
  // The collection of the embedded fonts; null when they could not be loaded.
  IDWriteFontCollection* PrivateFonts() const {
    FinishWarmUp();
    return privateFonts_.get();
  }

  // Starts DirectWrite's one-time work (reading the fonts, the shaping
  // tables), with one layout of a short text, and the decoding of the
  // pictures `pictureIds` (RT_RCDATA of `module`) on a thread of its own, so
  // that they run while the window and its render target are made. The first
  // MakeTextLayout or DecodedPicture waits for it: DirectWrite is never used
  // by two threads at once. Nothing happens when no thread can be made.
  // `sample`: a text of the chosen language, so that the fonts its
  // characters fall back to are read too.
  void WarmUpInBackground(HMODULE module, std::vector<int> pictureIds, std::wstring sample);
  // A picture the warm-up decoded, as a bitmap of this thread's imaging
  // factory (32bppPBGRA), or null.
  ComPtr<IWICBitmapSource> DecodedPicture(int id) const;

  // A layout of the text in the UI family, `maxWidth` wide and 1000 high.
  // Throws hresult_error.
  ComPtr<IDWriteTextLayout> MakeTextLayout(std::wstring_view text, float maxWidth, const TextStyle& style) const;

 private:
  void LoadFonts(HMODULE module);
  void FinishWarmUp() const;
  ComPtr<IDWriteTextLayout> MakeLayout(std::wstring_view text, float maxWidth, const TextStyle& style) const;
  // The four embedded weights as the private collection; false when any is
  // missing or a call fails.
  bool LoadEmbeddedFonts(HMODULE module);

  ComPtr<ID2D1Factory> d2d_;
  ComPtr<IDWriteFactory> write_;
  ComPtr<IWICImagingFactory> imaging_;
  ComPtr<ID2D1StrokeStyle> roundStroke_;
  ComPtr<IDWriteInMemoryFontFileLoader> fontLoader_;  // registered with write_ while held
  ComPtr<IDWriteFontCollection> privateFonts_;
  std::wstring uiFamily_ = L"Segoe UI";
  std::wstring localeName_;
  mutable std::thread warmUp_;
  std::map<int, DecodedPixels> decoded_;  // written by the warm-up only, read after it ended
};

// Picture `id` (RT_RCDATA of `module`) decoded into memory as 32bppPBGRA
// rows of width * 4 bytes; none when it is missing or cannot be decoded.
std::optional<DecodedPixels> DecodeResourcePicture(IWICImagingFactory* wic, HMODULE module, int id);

// TextMeasurer over the window's DirectWrite layouts.
class DirectWriteTextMeasurer final : public TextMeasurer {
 public:
  explicit DirectWriteTextMeasurer(const RenderingResources& resources) : resources_(resources) {}
  TextExtent Measure(std::wstring_view text, const TextStyle& style, float boxWidth) override;

 private:
  const RenderingResources& resources_;
};

}  // namespace tavo::launcher::ui
