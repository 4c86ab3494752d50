// Every screen in every language the setup carries, and in the pseudo-language
// of test builds, laid out with DirectWrite and the embedded fonts as the
// window lays it out: no text leaves its place or runs into another, each
// text the window shows has its translation, and no glyph is missing.
#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "common/diagnostics/catalogue.h"
#include "common/text.h"
#include "launcher/language/language_choice.h"
#include "launcher/language/text_table.h"
#include "launcher/language/translation.h"
#include "launcher/packed/packed_resource.h"
#include "launcher/ui/model/controls_layout.h"
#include "launcher/ui/model/frame_geometry.h"
#include "launcher/ui/model/preview_state.h"
#include "launcher/ui/model/text_layout_measure.h"
#include "launcher/ui/model/tip_table.h"
#include "launcher/ui/window/rendering_resources.h"
#include "resources/resource_ids.h"
#include "tests/unit/glyph_recorder.h"

namespace tavo::launcher::ui {
namespace {

// The program's own resources carry the table (rendering_resources_test.rc).
TextTable CarriedTable() { return TextTable::Read(ExpandResource(nullptr, TAVO_RESOURCE_TEXTS)); }

// Realistic values for the placeholders, so that a text with them is laid
// out as the window would show it.
std::wstring Filled(std::wstring text) {
  const std::pair<const wchar_t*, std::wstring> values[] = {
      {L"{message}", CatalogueMessage(static_cast<int32_t>(0x80073CF3))}, {L"{drive}", L"C:\\"},
      {L"{percent}", L"42"}, {L"{code}", L"0x80073CF3"}, {L"{status}", L"503"},
      {L"{service}", L"Windows AppX Deployment Service"}};
  for (const auto& [mark, value] : values)
    for (size_t at = text.find(mark); at != std::wstring::npos; at = text.find(mark)) text.replace(at, wcslen(mark), value);
  return text;
}

class LanguageFit : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  static void TearDownTestSuite() { ::CoUninitialize(); }
  void TearDown() override { SetActiveTranslation(Translation()); }

  // One language's screens; `where` names the language and the element.
  struct Language {
    std::wstring tag;
    RenderingResources resources;
    DirectWriteTextMeasurer measurer{resources};
    TextLayoutMeasure layout{measurer};
    explicit Language(std::wstring t) : tag(std::move(t)) {}
  };

  std::string Where(const Language& l, const std::wstring& what) { return Utf8(l.tag + L": " + what); }

  // The text, at the style the window fits it to, in its box on its lines.
  void ExpectFits(Language& l, const std::wstring& text, const TextStyle& style, float box, uint32_t lines,
                  const std::wstring& what) {
    const TextStyle fitted = FitStyle(l.measurer, text, style, box, lines);
    const TextExtent extent = l.measurer.Measure(text, fitted, box);
    EXPECT_LE(extent.lineCount, lines) << Where(l, what) << " \"" << Utf8(text) << "\"";
    EXPECT_LE(extent.width, box + 0.01f) << Where(l, what) << " \"" << Utf8(text) << "\"";
    ExpectGlyphs(l, text, fitted, what);
  }

  // Every character drew a glyph of some font (glyph 0 is the empty box).
  void ExpectGlyphs(Language& l, const std::wstring& text, const TextStyle& style, const std::wstring& what) {
    for (UINT16 glyph : GlyphsOf(l.resources, text, style))
      if (glyph == 0) {
        ADD_FAILURE() << Where(l, what) << ": a character without a glyph in \"" << Utf8(text) << "\"";
        return;
      }
  }

  // The window shows `english` translated, not in English.
  void ExpectTranslated(const Language& l, const std::wstring& english) {
    if (l.tag == kEnglishLanguage) return;
    EXPECT_TRUE(ActiveTranslation().Translates(english)) << Where(l, L"no translation of \"" + english + L"\"");
  }

  void ExpectWithin(const Language& l, const DipRect& r, float left, float right, const std::wstring& what) {
    EXPECT_GE(r.x, left) << Where(l, what);
    EXPECT_LE(r.x + r.w, right) << Where(l, what);
  }

  void CheckProgressScreens(Language& l) {
    for (Screen screen : {Screen::Preparing, Screen::Installing, Screen::Verifying, Screen::Stopping}) {
      for (bool installOnly : {false, true}) {
        ExpectTranslated(l, ProgressLabel(screen));
        ExpectTranslated(l, FooterText(screen, installOnly));
        ExpectFits(l, Shown(ProgressLabel(screen)), text_style::kProgressLabel, 400, 1, L"progress label");
        ExpectFits(l, Shown(FooterText(screen, installOnly)), text_style::kFooter, 624, 1, L"footer");
      }
    }
    ExpectTranslated(l, L"42%");
    for (const Tip& tip : kTips) {
      for (const wchar_t* text : {tip.kicker, tip.titleLine1, tip.titleLine2, tip.body}) ExpectTranslated(l, text);
      ExpectFits(l, Shown(tip.kicker), text_style::kKicker, 624, 1, L"tip kicker");
      ExpectFits(l, Shown(tip.body), text_style::kBody, 540, 3, L"tip body");
      // The title keeps one row: its body follows 40 below.
      const std::wstring line1 = Shown(tip.titleLine1), line2 = ShownTitleJoiner() + Shown(tip.titleLine2);
      const TextStyle title = FitTitleStyle(l.measurer, line1, Shown(tip.titleLine2), text_style::kTitle, 624, true);
      EXPECT_LE(l.measurer.Measure(line1, title, 10000).width + l.measurer.Measure(line2, title, 10000).width, 624.0f)
          << Where(l, L"tip title " + std::wstring(tip.titleLine1));
      ExpectGlyphs(l, line1 + line2, title, L"tip title");
    }
    ExpectTranslated(l, L"PREVIEW");
    ExpectFits(l, Shown(L"PREVIEW"), text_style::kBadge, 80, 1, L"preview badge");
  }

  void CheckStopQuestion(Language& l) {
    ExpectTranslated(l, L"Stop installing Tavo Studio?");
    ExpectTranslated(l, L"Windows will undo the changes safely. You can run setup again anytime.");
    ExpectFits(l, Shown(L"Stop installing Tavo Studio?"), text_style::kOverlayTitle, 400, 1, L"stop question");
    ExpectFits(l, Shown(L"Windows will undo the changes safely. You can run setup again anytime."),
               text_style::kOverlayBody, 320, 2, L"stop question body");
    ScreenModel model;
    model.SetScreen(Screen::Installing, 1);
    model.progress = 42;
    model.stopConfirmationShown = true;
    const Controls c = ComputeControls(model, {}, l.layout);
    // Both buttons inside the card, 16 DIP from its edges.
    ExpectWithin(l, c.primary, 176, 544, L"Keep installing");
    ExpectWithin(l, c.secondary, 176, 544, L"Stop installing");
  }

  // One outcome screen: heading, body, error row and buttons inside the
  // window, each below the one before.
  void CheckOutcome(Language& l, const ScreenModel& model, const ControlsInput& input, const std::wstring& what) {
    const TitleLines heading = TitleLinesFor(model.screen);
    for (const wchar_t* text : {heading.kicker, heading.line1, heading.line2})
      if (*text) ExpectTranslated(l, text);
    ExpectTranslated(l, model.statusText);
    ExpectFits(l, Shown(heading.kicker), text_style::kKicker, 624, 1, what + L" kicker");
    const TextStyle title = FitTitleStyle(l.measurer, Shown(heading.line1), Shown(heading.line2), text_style::kTitle,
                                          624, false);
    for (const std::wstring& line : {Shown(heading.line1), ShownTitleJoiner() + Shown(heading.line2)}) {
      EXPECT_LE(l.measurer.Measure(line, title, 10000).width, 624.0f) << Where(l, what + L" title " + line);
      ExpectGlyphs(l, line, title, what + L" title");
    }
    ExpectGlyphs(l, Shown(model.statusText), text_style::kBody, what + L" body");

    const Controls c = ComputeControls(model, input, l.layout);
    const OutcomeLayout& layout = c.layout;
    EXPECT_GE(layout.kickerTop, layout.heroCentre + 60) << Where(l, what + L": the kicker under the badge");
    EXPECT_GE(layout.bodyTop, layout.titleTop + layout.titleHeight) << Where(l, what);
    float bottom = layout.bodyTop + layout.bodyHeight;
    if (c.copyLinkShown || (!model.errorCodeText.empty() && model.screen == Screen::Error)) {
      ExpectTranslated(l, L"Error " + model.errorCodeText);
      EXPECT_GE(layout.errorRowTop, bottom) << Where(l, what + L": error row under the body");
      ExpectWithin(l, c.errorLabel, 48, 672, what + L" error label");
      if (c.copyLinkShown) ExpectWithin(l, c.copyLink, 48, 672, what + L" Copy details");
      if (c.logLinkShown) ExpectWithin(l, c.logLink, 48, 672, what + L" Show log file");
      bottom = layout.errorRowTop + 24;
    }
    if (!c.primaryText.empty() || !c.secondaryText.empty()) {
      EXPECT_GE(layout.buttonTop, bottom) << Where(l, what + L": buttons under the texts");
      bottom = layout.buttonTop + 42;
      if (!c.primaryText.empty()) ExpectWithin(l, c.primary, 48, 672, what + L" " + c.primaryText);
      if (!c.secondaryText.empty()) ExpectWithin(l, c.secondary, 48, 672, what + L" " + c.secondaryText);
    }
    EXPECT_LE(bottom, 584.0f) << Where(l, what + L": inside the window");
  }

  void CheckOutcomeScreens(Language& l, const std::vector<std::wstring>& bodies) {
    LaunchOptions preview;
    preview.preview = true;
    for (const wchar_t* state : {L"success", L"installed", L"cancelled", L"unsupported", L"unsupported-avx",
                                 L"error", L"error-network", L"error-low-disk"}) {
      ScreenModel model;
      preview.stateName = state;
      ASSERT_TRUE(ApplyPreviewState(model, preview, 1));
      for (bool installOnly : {false, true})
        CheckOutcome(l, model, {true, installOnly, true}, std::wstring(state) + (installOnly ? L" --install" : L""));
    }
    // Every sentence the error screen can show, with the busiest row: the
    // worker still sending, both links; and the launch that failed.
    for (const std::wstring& body : bodies) {
      ScreenModel model;
      model.SetScreen(Screen::Error, 1);
      model.statusText = body;
      model.errorCodeText = L"0x80073CF3";
      model.workerRunning = true;
      CheckOutcome(l, model, {false, false, true}, L"error body \"" + body.substr(0, 24) + L"\"");
    }
    ScreenModel launch;
    launch.SetScreen(Screen::Success, 1);
    launch.launchFailed = true;
    launch.statusText = texts::kLaunchFailed;
    CheckOutcome(l, launch, {}, L"success, not opened");
  }
};

TEST_F(LanguageFit, EveryScreenOfEveryLanguageFitsAndIsTranslated) {
  const TextTable table = CarriedTable();
  std::vector<std::wstring> languages = table.Languages();
  ASSERT_EQ(languages.size(), 15u);  // English, the thirteen others and the pseudo-language
  EXPECT_EQ(languages.back(), kPseudoLanguage);
  // Every text that can be an error screen's body (the rest are short enough
  // not to matter there), as the window would get it.
  std::vector<std::wstring> bodies;
  for (const std::wstring& english : table.English())
    if (english.size() > 40 && english.find(L'\n') == std::wstring::npos) bodies.push_back(Filled(english));

  for (const std::wstring& tag : languages) {
    SCOPED_TRACE(Utf8(tag));
    SetActiveTranslation(table.For(tag));
    Language language(tag);  // texts laid out under this language's locale
    ASSERT_EQ(language.resources.UiFamily(), L"Tavo Inter");
    CheckProgressScreens(language);
    CheckStopQuestion(language);
    CheckOutcomeScreens(language, bodies);
    ExpectTranslated(language, L"Tavo Studio Setup: Installing 42%");
    for (const wchar_t* link : {L"Copy details", L"Copied", L"Show log file"})
      ExpectTranslated(language, link);
  }
}

}  // namespace
}  // namespace tavo::launcher::ui
