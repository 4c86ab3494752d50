#include "launcher/ui/window/live_region.h"

namespace tavo::launcher::ui {

namespace {

// UI Automation's live-setting property and its Polite value; MinGW-w64 does
// not declare them.
constexpr GUID kLiveSettingProperty = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kLiveSettingPolite = 1;
// As MinGW-w64's oleacc.h defines them (they live in no import library).
constexpr CLSID kAccPropServicesClass = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID kAccPropServicesInterface = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};

}  // namespace

void LiveRegion::Attach(HWND control) {
  Detach();
  control_ = control;
  ComPtr<IAccPropServices> services;
  if (FAILED(CoCreateInstance(kAccPropServicesClass, nullptr, CLSCTX_INPROC_SERVER, kAccPropServicesInterface,
                              services.put_void()))) {
    return;  // no accessibility runtime: see the header
  }
  VARIANT polite{};
  polite.vt = VT_I4;
  polite.lVal = kLiveSettingPolite;
  if (SUCCEEDED(services->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kLiveSettingProperty,
                                      polite))) {
    services_ = std::move(services);
  }
}

void LiveRegion::Detach() {
  if (services_ && control_) {
    MSAAPROPID property = kLiveSettingProperty;
    // A mark that cannot be cleared goes with the control, which is destroyed next.
    services_->ClearHwndProps(control_, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &property, 1);
  }
  services_.reset();
  control_ = nullptr;
}

void LiveRegion::Announce() const {
  if (control_) NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, control_, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace tavo::launcher::ui
