#include "launcher/ui/window/rendering_resources.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "common/winrt/hresult_error.h"
#include "launcher/ui/window/device_resources.h"
#include "tests/unit/glyph_recorder.h"

namespace tavo::launcher::ui {
namespace {

// The program's own resources carry the four font files (rendering_resources_test.rc).
class RenderingResourcesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  static void TearDownTestSuite() { ::CoUninitialize(); }
};

TEST_F(RenderingResourcesTest, PrivateCollectionHoldsTavoInterInFourWeights) {
  RenderingResources resources;
  ASSERT_NE(resources.PrivateFonts(), nullptr);
  EXPECT_EQ(resources.UiFamily(), L"Tavo Inter");

  UINT32 index = 0;
  BOOL exists = FALSE;
  ASSERT_HRESULT_SUCCEEDED(resources.PrivateFonts()->FindFamilyName(L"Tavo Inter", &index, &exists));
  ASSERT_TRUE(exists);
  EXPECT_EQ(resources.PrivateFonts()->GetFontFamilyCount(), 1u);
  ComPtr<IDWriteFontFamily> family;
  ASSERT_HRESULT_SUCCEEDED(resources.PrivateFonts()->GetFontFamily(index, family.put()));
  // DirectWrite adds oblique simulations of each face; only real faces count.
  std::multiset<int> weights;
  for (UINT32 i = 0; i < family->GetFontCount(); ++i) {
    ComPtr<IDWriteFont> font;
    ASSERT_HRESULT_SUCCEEDED(family->GetFont(i, font.put()));
    if (font->GetSimulations() != DWRITE_FONT_SIMULATIONS_NONE) continue;
    weights.insert(font->GetWeight());
    EXPECT_EQ(font->GetStyle(), DWRITE_FONT_STYLE_NORMAL);
  }
  EXPECT_EQ(weights, (std::multiset<int>{400, 500, 600, 700}));
}

TEST_F(RenderingResourcesTest, FactoriesAndStrokeStyleExist) {
  RenderingResources resources;
  EXPECT_NE(resources.D2DFactory(), nullptr);
  EXPECT_NE(resources.WriteFactory(), nullptr);
  EXPECT_NE(resources.ImagingFactory(), nullptr);
  ASSERT_NE(resources.RoundStroke(), nullptr);
  EXPECT_EQ(resources.RoundStroke()->GetStartCap(), D2D1_CAP_STYLE_ROUND);
  EXPECT_EQ(resources.RoundStroke()->GetLineJoin(), D2D1_LINE_JOIN_ROUND);
}

// Without the font resources the window falls back to a system family.
TEST_F(RenderingResourcesTest, ModuleWithoutFontsFallsBackToASystemFamily) {
  RenderingResources resources(::GetModuleHandleW(L"kernel32.dll"));
  EXPECT_EQ(resources.PrivateFonts(), nullptr);
  EXPECT_NE(resources.UiFamily(), L"Tavo Inter");
}

// The warm-up decodes on its own thread; the window's thread gets a bitmap of
// its own factory with the picture's size, and nothing for a picture that is
// not there. Resources that never lay anything out still end the thread.
TEST_F(RenderingResourcesTest, WarmUpDecodesPicturesAndHandsThemOver) {
  {
    RenderingResources unused;
    unused.WarmUpInBackground(nullptr, {TAVO_RESOURCE_LOGO}, L"Tavo");
  }
  RenderingResources resources;
  resources.WarmUpInBackground(nullptr, {TAVO_RESOURCE_WORDMARK, 9999}, L"Tavo \u4E00");
  ComPtr<IWICBitmapSource> wordmark = resources.DecodedPicture(TAVO_RESOURCE_WORDMARK);
  ASSERT_NE(wordmark.get(), nullptr);
  UINT width = 0, height = 0;
  ASSERT_HRESULT_SUCCEEDED(wordmark->GetSize(&width, &height));
  EXPECT_EQ(std::pair(width, height), std::pair(480u, 160u));
  EXPECT_EQ(resources.DecodedPicture(9999).get(), nullptr);
  EXPECT_EQ(resources.DecodedPicture(TAVO_RESOURCE_LOGO).get(), nullptr);  // not asked for
  EXPECT_GT(GlyphsOf(resources, L"Tavo", text_style::kBody).size(), 0u);
}

TEST_F(RenderingResourcesTest, LayoutsMeasureWithTheEmbeddedFonts) {
  RenderingResources resources;
  DirectWriteTextMeasurer measurer(resources);
  const float regular = measurer.Measure(L"Install Tavo Studio", text_style::kFooter, 1000).width;
  const float bold = measurer.Measure(L"Install Tavo Studio", {12, 700}, 1000).width;
  EXPECT_GT(regular, 50);
  EXPECT_GT(bold, regular);
  // A missing family gives no metrics at all, so these would fail without it.
  EXPECT_EQ(measurer.Measure(L"a b", {14, 400}, 1000).lineCount, 1u);
  EXPECT_GT(MeasureWidth(measurer, L"Retry ", 14), MeasureWidth(measurer, L"Retry", 14));
}

TEST_F(RenderingResourcesTest, TabularFiguresGiveDigitsOneWidth) {
  RenderingResources resources;
  DirectWriteTextMeasurer measurer(resources);
  const TextStyle proportional{13, 500};
  EXPECT_NE(measurer.Measure(L"1111", proportional, 1000).width, measurer.Measure(L"0000", proportional, 1000).width);
  EXPECT_FLOAT_EQ(measurer.Measure(L"1111", text_style::kPercent, 1000).width,
                  measurer.Measure(L"0000", text_style::kPercent, 1000).width);
}

TEST_F(RenderingResourcesTest, LetterSpacingAndLineSpacingApply) {
  RenderingResources resources;
  DirectWriteTextMeasurer measurer(resources);
  const TextStyle plain{11, 600};
  TextStyle spaced = plain;
  spaced.letterSpacing = 0.14f;
  const float gain = measurer.Measure(L"TIPS", spaced, 1000).widthIncludingTrailingSpace -
                     measurer.Measure(L"TIPS", plain, 1000).widthIncludingTrailingSpace;
  EXPECT_NEAR(gain, 4 * 11 * 0.14f, 0.01f);
  const TextExtent body = measurer.Measure(L"one two three four five six seven", text_style::kBody, 80);
  EXPECT_GT(body.lineCount, 1u);
  EXPECT_FLOAT_EQ(body.height, 21.0f * static_cast<float>(body.lineCount));
}

// The UI font draws the x between digits as a multiplication sign; codes keep theirs.
TEST_F(RenderingResourcesTest, ErrorCodesKeepTheirXBetweenDigits) {
  RenderingResources resources;
  const std::vector<UINT16> x = GlyphsOf(resources, L"x", text_style::kErrorCode);
  ASSERT_EQ(x.size(), 1u);
  const std::vector<UINT16> code = GlyphsOf(resources, L"0x80", text_style::kErrorCode);
  ASSERT_EQ(code.size(), 4u);
  EXPECT_EQ(code[1], x[0]);
  const std::vector<UINT16> prose = GlyphsOf(resources, L"0x80", text_style::kFooter);
  ASSERT_EQ(prose.size(), 4u);
  EXPECT_NE(prose[1], x[0]);
}

// The pictures decoded on a real target (a WIC bitmap's: the session's display
// makes Direct2D available), pre-scaled to their drawn pixel size.
TEST_F(RenderingResourcesTest, PicturesAreDecodedAtTheirDrawnPixelSize) {
  RenderingResources resources;
  ComPtr<IWICBitmap> bitmap;
  ASSERT_HRESULT_SUCCEEDED(resources.ImagingFactory()->CreateBitmap(64, 64, GUID_WICPixelFormat32bppPBGRA,
                                                                    WICBitmapCacheOnLoad, bitmap.put()));
  const D2D1_RENDER_TARGET_PROPERTIES properties{D2D1_RENDER_TARGET_TYPE_DEFAULT,
                                                 {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED},
                                                 96, 96, D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT};
  ComPtr<ID2D1RenderTarget> target;
  ASSERT_HRESULT_SUCCEEDED(resources.D2DFactory()->CreateWicBitmapRenderTarget(bitmap.get(), &properties, target.put()));
  DeviceResources device(resources);
  auto pixels = [](ID2D1Bitmap* b) { return std::pair{b->GetPixelSize().width, b->GetPixelSize().height}; };

  device.UseTarget(target, 1.0f);
  ASSERT_NE(device.Brush(), nullptr);
  ASSERT_NE(device.Layer(1), nullptr);
  EXPECT_EQ(pixels(device.Tip(0)), (std::pair{471u, 319u}));
  EXPECT_EQ(device.TipPicture(0), (PixelSize{1000, 678}));
  EXPECT_EQ(pixels(device.Tip(1)), (std::pair{425u, 319u}));
  EXPECT_EQ(pixels(device.Wordmark()), (std::pair{54u, 18u}));
  EXPECT_EQ(pixels(device.Logo()), (std::pair{104u, 104u}));

  // Scale 3 asks for more than the pictures hold: they are drawn as decoded.
  device.UseTarget(target, 3.0f);
  EXPECT_EQ(pixels(device.Tip(0)), (std::pair{1000u, 678u}));
  EXPECT_EQ(pixels(device.Logo()), (std::pair{256u, 256u}));
  EXPECT_EQ(pixels(device.Wordmark()), (std::pair{162u, 54u}));
  EXPECT_EQ(device.BitmapScale(), 3.0f);

  device.Release();
  EXPECT_EQ(device.Target(), nullptr);
  EXPECT_EQ(device.Tip(0), nullptr);

  // A module without the pictures fails the paint that needs them.
  DeviceResources missing(resources, ::GetModuleHandleW(L"kernel32.dll"));
  missing.UseTarget(target, 1.0f);
  EXPECT_THROW(missing.Tip(0), hresult_error);
}

}  // namespace
}  // namespace tavo::launcher::ui
