// EventLogPlatform answered by the Windows Event Log API: it opens, reads,
// renders and formats; every rule about what is kept lives in the walk.
#include <windows.h>
#include <winevt.h>

#include <cwchar>
#include <memory>
#include <utility>
#include <vector>

#include "common/diagnostics/event_log_collection.h"
#include "common/evt_handle.h"

namespace tavo {
namespace {

// The error of a call that failed. Wine's EvtQuery fails without setting the
// last error, and the caller cleared it before the call: a failure that left no
// error says "not supported" rather than a stale value or success.
uint32_t FailureError() {
  const DWORD error = ::GetLastError();
  return error != 0 ? error : ERROR_NOT_SUPPORTED;
}

EventProperty FromVariant(const EVT_VARIANT& value) {
  EventProperty property;
  property.type = value.Type;  // an array flag keeps it from matching any scalar type
  switch (value.Type) {
    case EvtVarTypeByte: property.number = value.ByteVal; break;
    case EvtVarTypeUInt16: property.number = value.UInt16Val; break;
    case EvtVarTypeString:
      if (value.StringVal) property.text = value.StringVal;
      break;
    default: break;
  }
  return property;
}

class WindowsEventQuery final : public EventQuery {
 public:
  explicit WindowsEventQuery(UniqueEvtHandle results) : results_(std::move(results)) {}

  uint32_t CreateRenderContext() override {
    ::SetLastError(0);
    context_.reset(::EvtCreateRenderContext(0, nullptr, EvtRenderContextSystem));
    return context_ ? 0 : FailureError();
  }

  uint32_t Next(uint32_t timeoutMs) override {
    publisher_.reset();
    event_.reset();
    EVT_HANDLE event = nullptr;
    DWORD returned = 0;
    ::SetLastError(0);
    if (!::EvtNext(results_.get(), 1, &event, timeoutMs, 0, &returned)) return FailureError();
    if (returned == 0 || !event) return ERROR_NO_MORE_ITEMS;
    event_.reset(event);
    return 0;
  }

  uint32_t RenderSystem(uint32_t bytes, std::vector<EventProperty>& properties, uint32_t& needed) override {
    // 8-byte units: the buffer starts with an EVT_VARIANT array.
    std::vector<uint64_t> buffer((bytes + 7) / 8);
    DWORD used = 0, count = 0;
    ::SetLastError(0);
    const BOOL rendered = ::EvtRender(context_.get(), event_.get(), EvtRenderEventValues, bytes,
                                      bytes ? buffer.data() : nullptr, &used, &count);
    needed = used;
    if (!rendered) return FailureError();
    const auto* values = reinterpret_cast<const EVT_VARIANT*>(buffer.data());
    const size_t fits = bytes / sizeof(EVT_VARIANT);
    properties.clear();
    for (size_t i = 0; i < count && i < fits; ++i) properties.push_back(FromVariant(values[i]));
    return 0;
  }

  uint32_t OpenPublisher(const std::wstring& provider) override {
    ::SetLastError(0);
    publisher_.reset(::EvtOpenPublisherMetadata(nullptr, provider.c_str(), nullptr, 0, 0));
    return publisher_ ? 0 : FailureError();
  }

  uint32_t Format(uint32_t chars, std::wstring& message, uint32_t& needed) override {
    std::vector<wchar_t> buffer(chars);
    DWORD used = 0;
    ::SetLastError(0);
    const BOOL formatted = ::EvtFormatMessage(publisher_.get(), event_.get(), 0, 0, nullptr, EvtFormatMessageEvent,
                                              chars, chars ? buffer.data() : nullptr, &used);
    needed = used;
    if (!formatted) return FailureError();
    message.assign(buffer.data(), chars ? ::wcsnlen(buffer.data(), chars) : 0);
    return 0;
  }

 private:
  // Declared in the order of opening, so they close in reverse.
  UniqueEvtHandle results_;
  UniqueEvtHandle context_;
  UniqueEvtHandle event_;
  UniqueEvtHandle publisher_;
};

class WindowsEventLog final : public EventLogPlatform {
 public:
  std::unique_ptr<EventQuery> Query(const std::wstring& channel, const std::wstring& xpath,
                                    uint32_t& error) override {
    ::SetLastError(0);
    UniqueEvtHandle results(
        ::EvtQuery(nullptr, channel.c_str(), xpath.c_str(), EvtQueryChannelPath | EvtQueryReverseDirection));
    if (!results) {
      error = FailureError();
      return nullptr;
    }
    error = 0;
    return std::make_unique<WindowsEventQuery>(std::move(results));
  }

  void Sleep(uint32_t ms) override { ::Sleep(ms); }
  uint64_t NowMs() override { return ::GetTickCount64(); }
};

}  // namespace

std::unique_ptr<EventLogPlatform> WindowsEventLogPlatform() { return std::make_unique<WindowsEventLog>(); }

}  // namespace tavo
