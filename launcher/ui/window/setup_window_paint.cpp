// The setup window's paint: one Direct2D frame from the model, or the GDI
// fallback text when the frame fails.
#include "launcher/ui/window/setup_window.h"

#include "common/process_clock.h"
#include "common/winrt/hresult_error.h"
#include "launcher/language/translation.h"
#include "launcher/packed/packed_resource.h"
#include "launcher/ui/paint/frame_painter.h"
#include "launcher/ui/window/window_class.h"

namespace tavo::launcher {

namespace {

// The GDI fallback when the Direct2D frame cannot be drawn.
constexpr COLORREF kFallbackBackground = 0x0A0808;
constexpr COLORREF kFallbackText = 0xF8F8F8;
constexpr wchar_t kFallbackMessage[] =
    L"Tavo Setup couldn't initialize its display. Update your display driver and try again.";

}  // namespace

ui::FrameTools SetupWindow::Tools() {
  ui::FrameTools tools{device_, resources_, measurer_, balancedWidths_, &frameCache_};
#ifdef TAVO_TEST_HOOKS
  // Tests compare frames drawn through the cache with frames drawn without it.
  if (_wgetenv(L"TAVO_TEST_HOOK_NO_FRAME_CACHE")) tools.cache = nullptr;
#endif
  return tools;
}

ui::FrameInputs SetupWindow::CurrentFrameInputs() {
  ui::FrameInputs inputs;
  inputs.model = &model_;
  inputs.controls = &controls_;
  inputs.preview = options_.preview;
  inputs.installOnly = !options_.OpensApplication();
  inputs.colours = colours_;
  inputs.scale = scale_;
  inputs.offsetX = offsetX_;
  inputs.offsetY = offsetY_;
  inputs.now = Now();
  inputs.states.hovered = hovered_;
  for (HWND button : {primary_, secondary_, close_, minimize_, showLog_, copy_}) {
    if (button && (SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED)) inputs.states.pressed = GetDlgCtrlID(button);
  }
  HWND focus = GetFocus();
  if (focus && focus != status_ && IsChild(window_, focus)) inputs.states.focused = GetDlgCtrlID(focus);
  inputs.states.focusCues = !(SendMessageW(window_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
  return inputs;
}

void SetupWindow::PaintFrame() {
#ifdef TAVO_TEST_HOOKS
  // Tests make the frame fail, to see the GDI fallback.
  if (_wgetenv(L"TAVO_TEST_HOOK_FAIL_FRAME")) throw hresult_error(static_cast<HRESULT>(D2DERR_INVALID_CALL));
#endif
  lastDrawn_.reset();
  device_.EnsureForWindow(window_, scale_);
  ui::FrameTools tools = Tools();
  const ui::FrameInputs inputs = CurrentFrameInputs();
  if (ui::DrawFrame(tools, inputs)) {
    lastDrawn_ = ui::KeyOf(inputs);
  } else {
    // A lost device was released: the next paint, at once, rebuilds it.
    InvalidateRect(window_, nullptr, FALSE);
  }
}

void SetupWindow::PaintFallback(HDC dc) {
  RECT client{};
  GetClientRect(window_, &client);
  // The stock DC brush takes any colour and needs no owner.
  const bool highContrast = colours_.highContrast;
  // 0xRRGGBB and COLORREF differ by the order of red and blue: one swap serves both ways.
  SetDCBrushColor(dc, highContrast ? ui::RgbFromColorRef(colours_.background) : kFallbackBackground);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, highContrast ? ui::RgbFromColorRef(colours_.text) : kFallbackText);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  // Centred both ways with word wrap: measure the wrapped height first.
  RECT text = client;
  InflateRect(&text, -24, 0);
  RECT measured = text;
  const std::wstring message = Shown(kFallbackMessage);
  DrawTextW(dc, message.c_str(), -1, &measured, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
  const LONG height = measured.bottom - measured.top;
  text.top = client.top + (client.bottom - client.top - height) / 2;
  text.bottom = text.top + height;
  DrawTextW(dc, message.c_str(), -1, &text, DT_CENTER | DT_WORDBREAK);
  SelectObject(dc, oldFont);
}

void SetupWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  if (!IsIconic(window_)) {
    try {
      PaintFrame();
#ifdef TAVO_TEST_HOOKS
      // The benchmark times the start up to the first painted frame, then ends the run.
      // A second line: how much of that went to expanding packed resources.
      if (const wchar_t* record = _wgetenv(L"TAVO_TEST_HOOK_FIRST_FRAME_FILE"); record && !firstFrameRecorded_) {
        firstFrameRecorded_ = true;
        if (FILE* file = _wfopen(record, L"w")) {
          std::fprintf(file, "%.1f\n%.1f\n", MillisecondsSinceProcessStart(), ExpandingMilliseconds());
          std::fclose(file);
        }
        PostQuitMessage(0);
      }
#endif
    } catch (...) {
      // Any failure of the Direct2D frame (device, picture, text): the next
      // paint starts from new device resources, this one shows the text below.
      device_.Release();
      PaintFallback(dc);
    }
  }
  EndPaint(window_, &paint);
  // The first frame is on screen (or the fallback text): now the session.
  if (sessionStart_ == SessionStart::Pending) {
    sessionStart_ = SessionStart::Posted;
    if (!PostMessageW(window_, ui::kMsgStartSession, 0, 0)) StartPendingSession();
  }
}

}  // namespace tavo::launcher
