// A text renderer for tests that records the glyphs a layout draws, to see
// what shaping and font fallback made of a text.
#pragma once

#include <dwrite.h>

#include <string_view>
#include <vector>

#include "common/winrt/hresult_error.h"
#include "launcher/ui/window/rendering_resources.h"

namespace tavo::launcher::ui {

class GlyphRecorder final : public IDWriteTextRenderer {
 public:
  std::vector<UINT16> glyphs;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == __uuidof(IUnknown) || iid == __uuidof(IDWritePixelSnapping) || iid == __uuidof(IDWriteTextRenderer)
               ? this
               : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE IsPixelSnappingDisabled(void*, BOOL* disabled) override {
    *disabled = TRUE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCurrentTransform(void*, DWRITE_MATRIX* transform) override {
    *transform = {1, 0, 0, 1, 0, 0};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelsPerDip(void*, FLOAT* pixels) override {
    *pixels = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DrawGlyphRun(void*, FLOAT, FLOAT, DWRITE_MEASURING_MODE, const DWRITE_GLYPH_RUN* run,
                                         const DWRITE_GLYPH_RUN_DESCRIPTION*, IUnknown*) override {
    glyphs.insert(glyphs.end(), run->glyphIndices, run->glyphIndices + run->glyphCount);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DrawUnderline(void*, FLOAT, FLOAT, const DWRITE_UNDERLINE*, IUnknown*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DrawStrikethrough(void*, FLOAT, FLOAT, const DWRITE_STRIKETHROUGH*, IUnknown*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DrawInlineObject(void*, FLOAT, FLOAT, IDWriteInlineObject*, BOOL, BOOL,
                                             IUnknown*) override {
    return S_OK;
  }
};

inline std::vector<UINT16> GlyphsOf(const RenderingResources& resources, std::wstring_view text, const TextStyle& style) {
  GlyphRecorder recorder;
  CheckHr(resources.MakeTextLayout(text, 1000, style)->Draw(nullptr, &recorder, 0, 0));
  return recorder.glyphs;
}

}  // namespace tavo::launcher::ui
