// The accessible status control as a polite live region: after its text
// changed, screen readers are told and read it without moving the focus.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include "common/winrt/com_ptr.h"

namespace tavo::launcher::ui {

class LiveRegion {
 public:
  LiveRegion() = default;
  ~LiveRegion() { Detach(); }
  LiveRegion(const LiveRegion&) = delete;
  LiveRegion& operator=(const LiveRegion&) = delete;

  // Marks `control` as a polite live region. Without the accessibility
  // runtime (no screen reader can listen then) the mark is skipped; the
  // announcements are still raised.
  void Attach(HWND control);
  // Removes the mark before the control goes away.
  void Detach();
  // Tells screen readers that the control's text changed.
  void Announce() const;

 private:
  HWND control_ = nullptr;
  ComPtr<IAccPropServices> services_;
};

}  // namespace tavo::launcher::ui
