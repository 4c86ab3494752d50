// wevtapi.dll for the test prefix: the Windows Event Log calls that the worker
// makes, answered from the scenario's "eventLog" member. Without that member
// (or without a scenario) EvtQuery fails as Wine's own stub does: NULL, and the
// last error left as it was. README.md, "Event log", describes the behaviour.
#include <windows.h>
#include <objbase.h>
#include <winevt.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/simplatform/scenario.h"

namespace tavo::sim {
namespace {

// Every handle this DLL gives out points to one of these; EvtClose deletes it.
struct Object {
  virtual ~Object() = default;
};

struct ResultSet final : Object {
  std::wstring channel;
  std::vector<SimulatedEvent> events;  // in the order of reading
  std::optional<uint32_t> timeoutAfter;
  size_t next = 0;
};

struct Event final : Object {
  SimulatedEvent event;
  std::wstring channel;
};

struct RenderContext final : Object {};

struct PublisherMetadata final : Object {
  std::wstring provider;
};

template <typename T>
T* As(EVT_HANDLE handle) {
  return dynamic_cast<T*>(static_cast<Object*>(handle));
}

BOOL Fail(DWORD error) {
  ::SetLastError(error);
  return FALSE;
}

// The number of queries made so far on each channel in this process.
uint32_t NextQueryNumber(const std::wstring& channel) {
  static std::mutex lock;
  static std::map<std::wstring, uint32_t> counts;
  std::lock_guard guard(lock);
  return ++counts[channel];
}

// The activity id of "*[System[Correlation[@ActivityID='{...}']]]", the only
// query form this stand-in understands.
bool ParseActivityQuery(const std::wstring& query, GUID& activityId) {
  const std::wstring head = L"*[System[Correlation[@ActivityID='";
  const std::wstring tail = L"']]]";
  if (query.size() != head.size() + 38 + tail.size() || query.compare(0, head.size(), head) != 0 ||
      query.compare(query.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  const std::wstring id = query.substr(head.size(), 38);
  return SUCCEEDED(::CLSIDFromString(id.c_str(), &activityId));
}

constexpr DWORD kSystemProperties = EvtSystemPropertyIdEND;

}  // namespace
}  // namespace tavo::sim

using namespace tavo::sim;

extern "C" {

EVT_HANDLE WINAPI EvtQuery(EVT_HANDLE session, LPCWSTR path, LPCWSTR query, DWORD flags) {
  const std::shared_ptr<const Scenario> scenario = LoadScenarioOrReport();
  if (!scenario) {
    ::SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  if (!scenario->eventLog) return nullptr;  // as Wine: no error is set
  GUID activityId{};
  if (session || !path || !query || !(flags & EvtQueryChannelPath)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!ParseActivityQuery(query, activityId)) {
    ::SetLastError(ERROR_EVT_INVALID_QUERY);
    return nullptr;
  }
  const auto channel = scenario->eventLog->channels.find(path);
  if (channel == scenario->eventLog->channels.end()) {
    ::SetLastError(ERROR_EVT_CHANNEL_NOT_FOUND);
    return nullptr;
  }
  auto results = std::make_unique<ResultSet>();
  results->channel = path;
  for (const SimulatedEvent& event : channel->second.events) {
    if (::IsEqualGUID(event.activityId, activityId)) results->events.push_back(event);
  }
  if (flags & EvtQueryReverseDirection) std::reverse(results->events.begin(), results->events.end());
  const uint32_t number = NextQueryNumber(path);
  if (number <= channel->second.timeoutAfter.size()) results->timeoutAfter = channel->second.timeoutAfter[number - 1];
  return results.release();
}

BOOL WINAPI EvtNext(EVT_HANDLE resultSet, DWORD eventsSize, EVT_HANDLE* events, DWORD /*timeout*/, DWORD flags,
                    DWORD* returned) {
  ResultSet* results = As<ResultSet>(resultSet);
  if (!results || !events || !returned || eventsSize == 0 || flags != 0) return Fail(ERROR_INVALID_PARAMETER);
  *returned = 0;
  while (*returned < eventsSize) {
    // A scripted time-out answers at once: tests need not wait out the caller's time-out.
    if (results->timeoutAfter && results->next >= *results->timeoutAfter) break;
    if (results->next >= results->events.size()) break;
    auto event = std::make_unique<Event>();
    event->event = results->events[results->next++];
    event->channel = results->channel;
    events[(*returned)++] = event.release();
  }
  if (*returned > 0) return TRUE;
  const bool timedOut = results->timeoutAfter && results->next >= *results->timeoutAfter;
  return Fail(timedOut ? ERROR_TIMEOUT : ERROR_NO_MORE_ITEMS);
}

EVT_HANDLE WINAPI EvtCreateRenderContext(DWORD valuePathsCount, LPCWSTR* /*valuePaths*/, DWORD flags) {
  if (valuePathsCount != 0 || flags != EvtRenderContextSystem) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return new RenderContext();
}

// The system properties: EVT_VARIANTs in EVT_SYSTEM_PROPERTY_ID order, then the
// provider and channel texts they point to.
BOOL WINAPI EvtRender(EVT_HANDLE context, EVT_HANDLE fragment, DWORD flags, DWORD bufferSize, PVOID buffer,
                      PDWORD bufferUsed, PDWORD propertyCount) {
  const Event* event = As<Event>(fragment);
  if (!As<RenderContext>(context) || !event || flags != EvtRenderEventValues || !bufferUsed || !propertyCount)
    return Fail(ERROR_INVALID_PARAMETER);
  const std::wstring& provider = event->event.provider;
  const std::wstring& channel = event->channel;
  const DWORD variants = kSystemProperties * sizeof(EVT_VARIANT);
  const DWORD needed = variants + static_cast<DWORD>((provider.size() + 1 + channel.size() + 1) * sizeof(wchar_t));
  *bufferUsed = needed;
  *propertyCount = kSystemProperties;
  if (bufferSize < needed || !buffer) return Fail(ERROR_INSUFFICIENT_BUFFER);
  auto* values = static_cast<EVT_VARIANT*>(buffer);
  std::fill(values, values + kSystemProperties, EVT_VARIANT{});
  for (DWORD i = 0; i < kSystemProperties; ++i) values[i].Type = EvtVarTypeNull;
  auto* text = reinterpret_cast<wchar_t*>(static_cast<BYTE*>(buffer) + variants);
  auto place = [&text](const std::wstring& value) {
    const wchar_t* start = text;
    text = std::copy(value.begin(), value.end(), text);
    *text++ = L'\0';
    return start;
  };
  values[EvtSystemProviderName].Type = EvtVarTypeString;
  values[EvtSystemProviderName].StringVal = place(provider);
  values[EvtSystemChannel].Type = EvtVarTypeString;
  values[EvtSystemChannel].StringVal = place(channel);
  values[EvtSystemEventID].Type = EvtVarTypeUInt16;
  values[EvtSystemEventID].UInt16Val = event->event.eventId;
  values[EvtSystemLevel].Type = EvtVarTypeByte;
  values[EvtSystemLevel].ByteVal = event->event.level;
  return TRUE;
}

EVT_HANDLE WINAPI EvtOpenPublisherMetadata(EVT_HANDLE session, LPCWSTR publisherId, LPCWSTR logFilePath,
                                           LCID /*locale*/, DWORD flags) {
  if (session || !publisherId || logFilePath || flags != 0) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::shared_ptr<const Scenario> scenario = LoadScenarioOrReport();
  if (!scenario || !scenario->eventLog || scenario->eventLog->providersWithoutMetadata.count(publisherId)) {
    ::SetLastError(ERROR_EVT_PUBLISHER_METADATA_NOT_FOUND);
    return nullptr;
  }
  auto metadata = std::make_unique<PublisherMetadata>();
  metadata->provider = publisherId;
  return metadata.release();
}

BOOL WINAPI EvtFormatMessage(EVT_HANDLE publisherMetadata, EVT_HANDLE event, DWORD /*messageId*/, DWORD valueCount,
                             PEVT_VARIANT /*values*/, DWORD flags, DWORD bufferSize, LPWSTR buffer,
                             PDWORD bufferUsed) {
  const PublisherMetadata* metadata = As<PublisherMetadata>(publisherMetadata);
  const Event* source = As<Event>(event);
  if (!metadata || !source || valueCount != 0 || flags != EvtFormatMessageEvent || !bufferUsed)
    return Fail(ERROR_INVALID_PARAMETER);
  if (metadata->provider != source->event.provider) return Fail(ERROR_EVT_MESSAGE_NOT_FOUND);
  const std::wstring& message = source->event.message;
  *bufferUsed = static_cast<DWORD>(message.size() + 1);
  if (bufferSize < *bufferUsed || !buffer) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::copy(message.begin(), message.end(), buffer);
  buffer[message.size()] = L'\0';
  return TRUE;
}

BOOL WINAPI EvtClose(EVT_HANDLE object) {
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  delete static_cast<Object*>(object);
  return TRUE;
}

}  // extern "C"
