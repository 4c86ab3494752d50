// The setup window's input: keys before the dialog manager, the mouse and
// hit tests, focus, commands, and the procedure of its controls.
#include "launcher/ui/window/setup_window.h"

#include <commctrl.h>
#include <windowsx.h>

namespace tavo::launcher {

bool SetupWindow::PreTranslate(MSG& message) {
  // After a failed handler no key may move the setup logic on (see WindowProc).
  if (failure_ || message.message != WM_KEYDOWN || !window_) return false;
  if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
  WPARAM key = message.wParam;
  if (key == VK_TAB || key == VK_ESCAPE || key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) {
    SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  }
  try {
    if (key == VK_ESCAPE) {
      if (model_.stopConfirmationShown) {
        controller_.OnCommand(kIdPrimary);
      } else {
        controller_.CloseRequest();
      }
      return true;
    }
    if ((key == VK_LEFT || key == VK_RIGHT) && OnProgressScreen() && !model_.stopConfirmationShown) {
      model_.SelectTip(model_.currentTip + (key == VK_RIGHT ? 1 : -1), Now());
      InvalidateRect(window_, nullptr, FALSE);
      return true;
    }
  } catch (...) {
    failure_ = std::current_exception();
    PostQuitMessage(0);
    return true;
  }
  return false;
}

std::optional<LRESULT> SetupWindow::OnActivate(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus && IsChild(window_, focus)) rememberedFocus_ = focus;
  }
  return std::nullopt;
}

std::optional<LRESULT> SetupWindow::OnSetFocus() {
  auto usable = [](HWND c) { return c && IsWindowVisible(c) && IsWindowEnabled(c); };
  if (usable(rememberedFocus_)) {
    SetFocus(rememberedFocus_);
    return 0;
  }
  if (usable(primary_)) {
    SetFocus(primary_);
    return 0;
  }
  return std::nullopt;
}

std::optional<LRESULT> SetupWindow::OnFocusQuery() {
  // "SK" in the high word and the focused control's id.
  HWND focus = GetFocus();
  if (focus && focus != window_ && IsChild(window_, focus) && IsWindowVisible(focus) && IsWindowEnabled(focus)) {
    return 0x534B0000 + GetDlgCtrlID(focus);
  }
  if (primary_ && IsWindowVisible(primary_) && IsWindowEnabled(primary_)) return 0x534B03E9;
  return 0;
}

std::optional<LRESULT> SetupWindow::OnSetCursor(LPARAM lParam) {
  if (LOWORD(lParam) != HTCLIENT) return std::nullopt;
  SetCursor(LoadCursorW(nullptr, IDC_HAND));
  return 1;
}

std::optional<LRESULT> SetupWindow::OnNcHitTest(LPARAM lParam) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ScreenToClient(window_, &point);
  if (IndicatorAtClientPoint(point.x, point.y) >= 0) return HTCLIENT;
  return HTCAPTION;  // any empty spot drags the window
}

std::optional<LRESULT> SetupWindow::OnLButtonDown(LPARAM lParam) {
  const int tip = IndicatorAtClientPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  if (tip >= 0) {
    model_.SelectTip(tip, Now());
    InvalidateRect(window_, nullptr, FALSE);
  }
  return 0;
}

std::optional<LRESULT> SetupWindow::OnCommand(WPARAM wParam) {
  if (HIWORD(wParam) == 0) controller_.OnCommand(LOWORD(wParam));
  return 0;
}

std::optional<LRESULT> SetupWindow::OnSysCommand(WPARAM wParam) {
  WPARAM command = wParam & 0xFFF0;
  if (command == SC_SIZE || command == SC_MAXIMIZE) return 0;
  if (command == SC_MINIMIZE && model_.stopConfirmationShown) return 0;
  return std::nullopt;
}

int SetupWindow::IndicatorAtClientPoint(int x, int y) const {
  if (!OnProgressScreen() || model_.stopConfirmationShown) return -1;
  return TipIndicatorAt((static_cast<float>(x) - offsetX_) / scale_, (static_cast<float>(y) - offsetY_) / scale_);
}

LRESULT CALLBACK SetupWindow::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                          DWORD_PTR) {
  SetupWindow* self = PublishedWindow();
  if (!self || self->failure_) return DefSubclassProc(control, message, wParam, lParam);
  return self->OnControlMessage(control, message, wParam, lParam, static_cast<int>(id));
}

LRESULT SetupWindow::OnControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam, int id) {
  bool isButton = id != kIdStatusText;
  auto invalidate = [&] {
    if (window_) InvalidateRect(window_, nullptr, FALSE);
  };
  switch (message) {
    case WM_SETFOCUS: {
      if (isButton) rememberedFocus_ = control;
      LRESULT result = DefSubclassProc(control, message, wParam, lParam);
      invalidate();
      return result;
    }
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case BM_SETSTATE:
    case WM_UPDATEUISTATE: {
      LRESULT result = DefSubclassProc(control, message, wParam, lParam);
      invalidate();
      return result;
    }
    case WM_SETTEXT: {
      // Not the class procedure: a static control repaints itself at once in
      // the system font over the frame; the frame draws every text itself.
      LRESULT result = DefWindowProcW(control, message, wParam, lParam);
      invalidate();
      return result;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(control, &paint);
      EndPaint(control, &paint);
      return 0;
    }
    case WM_SETCURSOR:
      if (isButton && IsWindowEnabled(control)) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return 1;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_GETDLGCODE:
      if (isButton && GetFocus() == control) {
        return DefSubclassProc(control, message, wParam, lParam) | DLGC_DEFPUSHBUTTON;
      }
      break;
    case BM_SETSTYLE:
      if (isButton) {
        invalidate();
        return 0;  // dialog navigation must not restyle the owner-drawn buttons
      }
      break;
    case WM_MOUSEMOVE:
      if (isButton && hovered_ != id) {
        hovered_ = id;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, control, 0};
        TrackMouseEvent(&track);
        invalidate();
      }
      break;
    case WM_MOUSELEAVE:
      if (hovered_ == id) {
        hovered_ = 0;
        invalidate();
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(control, ControlProc, static_cast<UINT_PTR>(id));
      break;
    default:
      break;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace tavo::launcher
