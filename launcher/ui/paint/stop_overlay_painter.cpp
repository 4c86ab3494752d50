#include "launcher/ui/paint/stop_overlay_painter.h"

#include "launcher/ui/model/palette.h"
#include "launcher/language/translation.h"

namespace tavo::launcher::ui {
namespace {

constexpr float kCardX = 160, kCardY = 196, kCardW = 400, kCardH = 196, kCardRadius = 16;
constexpr uint32_t kCard = 0x131316;

}  // namespace

void DrawStopOverlay(FrameCanvas& canvas, const Colours& colours) {
  if (colours.highContrast) {
    // No see-through scrim or shadow: the screen behind gives way to the
    // window colour, and the card is outlined in the window text.
    canvas.FillRect(0, 0, 720, 600, colours.background, 0, 1);
    canvas.StrokeRoundRect(kCardX + 1, kCardY + 1, kCardW - 2, kCardH - 2, colours.text, kCardRadius, 1, 2);
  } else {
    canvas.FillRect(0, 0, 720, 600, palette::kBlack, 0, 0.66f);
    canvas.FillRect(kCardX, kCardY + 10, kCardW, kCardH, palette::kBlack, kCardRadius, 0.4f);
    canvas.FillRect(kCardX, kCardY, kCardW, kCardH, kCard, kCardRadius, 1);

    // The outline runs on the card's edge, half a DIP in, brighter at the top.
    ComPtr<ID2D1LinearGradientBrush> outline = canvas.LinearGradient(
        {kCardX, kCardY}, {kCardX, kCardY + kCardH}, {{0, palette::kWhite, 0.16f}, {1, palette::kWhite, 0.05f}});
    canvas.StrokeRoundRect(kCardX + 0.5f, kCardY + 0.5f, kCardW - 1, kCardH - 1, outline.get(), kCardRadius, 1);
  }

  // The question keeps one line and the body two, above the buttons at 318;
  // longer texts shrink.
  const std::wstring title = Shown(L"Stop installing Tavo Studio?");
  const std::wstring body = Shown(L"Windows will undo the changes safely. You can run setup again anytime.");
  canvas.DrawText(title, kCardX, 226, kCardW, canvas.Fitted(title, text_style::kOverlayTitle, kCardW, 1), colours.text,
                  1);
  canvas.DrawText(body, 200, 260, 320, canvas.Fitted(body, text_style::kOverlayBody, 320, 2), colours.secondaryText,
                  1);
}

}  // namespace tavo::launcher::ui
