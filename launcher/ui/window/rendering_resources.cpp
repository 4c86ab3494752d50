#include "launcher/ui/window/rendering_resources.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "common/com_apartment.h"
#include "common/winrt/hresult_error.h"
#include "launcher/language/translation.h"
#include "launcher/packed/packed_resource.h"

namespace tavo::launcher::ui {
namespace {

bool SystemFamilyExists(IDWriteFactory* factory, const wchar_t* family) {
  ComPtr<IDWriteFontCollection> system;
  if (FAILED(factory->GetSystemFontCollection(system.put(), FALSE))) return false;
  UINT32 index = 0;
  BOOL exists = FALSE;
  return SUCCEEDED(system->FindFamilyName(family, &index, &exists)) && exists;
}

// DirectWrite copies in-memory font data unless an owner object keeps it
// alive. The expanded fonts live as long as the process (ExpandedFont), so
// this owner has nothing to hold and nothing to release.
class ProcessMemoryOwner final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = iid == __uuidof(IUnknown) ? this : nullptr;
    return *object ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};
ProcessMemoryOwner g_processMemory;

// A font resource expanded once per module and kept until the process ends.
// Throws what ExpandResource throws.
const std::vector<uint8_t>& ExpandedFont(HMODULE module, int id) {
  static std::mutex lock;
  static std::map<std::pair<HMODULE, int>, std::vector<uint8_t>> fonts;
  const std::scoped_lock held(lock);
  auto found = fonts.find({module, id});
  if (found == fonts.end()) found = fonts.emplace(std::pair{module, id}, ExpandResource(module, id)).first;
  return found->second;
}

}  // namespace

std::optional<DecodedPixels> DecodeResourcePicture(IWICImagingFactory* wic, HMODULE module, int id) {
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
  void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  const DWORD size = found ? ::SizeofResource(module, found) : 0;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  DecodedPixels pixels;
  if (!bytes || size == 0 || FAILED(wic->CreateStream(stream.put())) ||
      FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(bytes), size)) ||
      FAILED(wic->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.put())) ||
      FAILED(decoder->GetFrame(0, frame.put())) || FAILED(wic->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->GetSize(&pixels.width, &pixels.height)) || pixels.width == 0 || pixels.height == 0 ||
      pixels.width > 8192 || pixels.height > 8192)
    return std::nullopt;
  pixels.bytes.resize(static_cast<size_t>(pixels.width) * pixels.height * 4);
  if (FAILED(converter->CopyPixels(nullptr, pixels.width * 4, static_cast<UINT>(pixels.bytes.size()),
                                   pixels.bytes.data())))
    return std::nullopt;
  return pixels;
}

RenderingResources::RenderingResources(HMODULE module) : localeName_(ActiveTranslation().LocaleName()) {
  CheckHr(::D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                              d2d_.put_void()));
  CheckHr(::DWriteCreateFactory(DWRITE_FACTORY_TYPE_ISOLATED, __uuidof(IDWriteFactory),
                                reinterpret_cast<IUnknown**>(write_.put())));
  CheckHr(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory),
                             imaging_.put_void()));
  const D2D1_STROKE_STYLE_PROPERTIES round{D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND,
                                           D2D1_LINE_JOIN_ROUND, 10.0f, D2D1_DASH_STYLE_SOLID, 0.0f};
  CheckHr(d2d_->CreateStrokeStyle(&round, nullptr, 0, roundStroke_.put()));
  LoadFonts(module);
}

RenderingResources::~RenderingResources() {
  FinishWarmUp();
  privateFonts_.reset();
  if (fontLoader_) write_->UnregisterFontFileLoader(fontLoader_.get());
}

// Any failure here leaves the system family in place: the window still draws.
void RenderingResources::LoadFonts(HMODULE module) {
  if (!LoadEmbeddedFonts(module)) {
    // Asked only when needed: listing the system's families costs the start
    // more than anything else here.
    privateFonts_.reset();
    if (SystemFamilyExists(write_.get(), L"Segoe UI Variable Text")) uiFamily_ = L"Segoe UI Variable Text";
  }
}

bool RenderingResources::LoadEmbeddedFonts(HMODULE module) {
  ComPtr<IDWriteFactory5> factory5;
  if (FAILED(write_.As(__uuidof(IDWriteFactory5), factory5))) return false;  // before Windows 10 1703
  ComPtr<IDWriteInMemoryFontFileLoader> loader;
  if (FAILED(factory5->CreateInMemoryFontFileLoader(loader.put()))) return false;
  if (FAILED(factory5->RegisterFontFileLoader(loader.get()))) return false;
  fontLoader_ = loader;
  ComPtr<IDWriteFontSetBuilder1> builder;
  if (FAILED(factory5->CreateFontSetBuilder(builder.put()))) return false;

  for (int id : kFontResourceIds) {
    const std::vector<uint8_t>* font = nullptr;
    try {
      font = &ExpandedFont(module, id);
    } catch (const hresult_error&) {
      return false;  // a missing or damaged font: the system family draws instead
    } catch (const std::bad_alloc&) {
      return false;  // the same without the memory to expand it
    }
    // With an owner, DirectWrite reads the font in place instead of copying it.
    ComPtr<IDWriteFontFile> file;
    if (FAILED(loader->CreateInMemoryFontFileReference(factory5.get(), font->data(),
                                                       static_cast<UINT32>(font->size()), &g_processMemory,
                                                       file.put())))
      return false;
    if (FAILED(builder->AddFontFile(file.get()))) return false;
  }
  ComPtr<IDWriteFontSet> set;
  if (FAILED(builder->CreateFontSet(set.put()))) return false;
  ComPtr<IDWriteFontCollection1> collection;
  if (FAILED(factory5->CreateFontCollectionFromFontSet(set.get(), collection.put()))) return false;
  privateFonts_ = ComPtr<IDWriteFontCollection>::Copy(collection.get());
  uiFamily_ = kEmbeddedFontFamily;
  return true;
}

void RenderingResources::WarmUpInBackground(HMODULE module, std::vector<int> pictureIds, std::wstring sample) {
  if (warmUp_.joinable()) return;
  try {
    warmUp_ = std::thread([this, module, ids = std::move(pictureIds), text = std::move(sample)] {
      // Nothing is lost by a failure here: the window's first layout and its
      // pictures do the same work again, and handle its failure there.
      try {
        DWRITE_TEXT_METRICS metrics{};
        MakeLayout(text, 1000, text_style::kBody)->GetMetrics(&metrics);
      } catch (...) {
      }
      try {
        // Only pixels in memory go to the window's thread: no COM object
        // of this thread's apartment leaves it.
        const ComApartment apartment(COINIT_MULTITHREADED);
        ComPtr<IWICImagingFactory> wic;
        if (FAILED(apartment.Result()) ||
            FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      __uuidof(IWICImagingFactory), wic.put_void())))
          return;
        for (int id : ids) {
          if (std::optional<DecodedPixels> pixels = DecodeResourcePicture(wic.get(), module, id))
            decoded_.emplace(id, std::move(*pixels));
        }
      } catch (...) {
      }
    });
  } catch (const std::exception&) {
    // No thread (or no memory for one): the first layout does the one-time work itself.
  }
}

ComPtr<IWICBitmapSource> RenderingResources::DecodedPicture(int id) const {
  FinishWarmUp();
  auto found = decoded_.find(id);
  if (found == decoded_.end()) return {};
  const DecodedPixels& pixels = found->second;
  ComPtr<IWICBitmap> bitmap;  // a copy, made by this thread's own factory
  if (FAILED(imaging_->CreateBitmapFromMemory(pixels.width, pixels.height, GUID_WICPixelFormat32bppPBGRA,
                                              pixels.width * 4, static_cast<UINT>(pixels.bytes.size()),
                                              const_cast<BYTE*>(pixels.bytes.data()), bitmap.put())))
    return {};
  return ComPtr<IWICBitmapSource>::Copy(bitmap.get());
}

void RenderingResources::FinishWarmUp() const {
  if (warmUp_.joinable() && warmUp_.get_id() != std::this_thread::get_id()) warmUp_.join();
}

ComPtr<IDWriteTextLayout> RenderingResources::MakeTextLayout(std::wstring_view text, float maxWidth,
                                                             const TextStyle& style) const {
  FinishWarmUp();
  return MakeLayout(text, maxWidth, style);
}

ComPtr<IDWriteTextLayout> RenderingResources::MakeLayout(std::wstring_view text, float maxWidth,
                                                         const TextStyle& style) const {
  ComPtr<IDWriteTextFormat> format;
  CheckHr(write_->CreateTextFormat(uiFamily_.c_str(), privateFonts_.get(), static_cast<DWRITE_FONT_WEIGHT>(style.weight),
                                   DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, style.size, localeName_.c_str(),
                                   format.put()));
  CheckHr(format->SetTextAlignment(static_cast<DWRITE_TEXT_ALIGNMENT>(style.align)));
  CheckHr(format->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_NEAR));

  const auto length = static_cast<UINT32>(text.size());
  ComPtr<IDWriteTextLayout> layout;
  CheckHr(write_->CreateTextLayout(text.data(), length, format.get(), maxWidth, 1000.0f, layout.put()));
  const DWRITE_TEXT_RANGE all{0, length};
  if (style.lineSpacing > 0)
    CheckHr(layout->SetLineSpacing(DWRITE_LINE_SPACING_METHOD_UNIFORM, style.lineSpacing, style.lineSpacing * 0.78f));
  if (style.letterSpacing != 0) {
    ComPtr<IDWriteTextLayout1> layout1;
    CheckHr(layout.As(__uuidof(IDWriteTextLayout1), layout1));
    CheckHr(layout1->SetCharacterSpacing(0, style.size * style.letterSpacing, 0, all));
  }
  if (style.tabularFigures || !style.contextualAlternates) {
    ComPtr<IDWriteTypography> typography;
    CheckHr(write_->CreateTypography(typography.put()));
    if (style.tabularFigures) CheckHr(typography->AddFontFeature({DWRITE_FONT_FEATURE_TAG_TABULAR_FIGURES, 1}));
    if (!style.contextualAlternates)
      CheckHr(typography->AddFontFeature({DWRITE_FONT_FEATURE_TAG_CONTEXTUAL_ALTERNATES, 0}));
    CheckHr(layout->SetTypography(typography.get(), all));
  }
  return layout;
}

TextExtent DirectWriteTextMeasurer::Measure(std::wstring_view text, const TextStyle& style, float boxWidth) {
  DWRITE_TEXT_METRICS metrics{};
  CheckHr(resources_.MakeTextLayout(text, boxWidth, style)->GetMetrics(&metrics));
  return {metrics.width, metrics.widthIncludingTrailingWhitespace, metrics.height, metrics.lineCount};
}

}  // namespace tavo::launcher::ui
