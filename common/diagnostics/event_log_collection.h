// The event-log part of the deployment diagnostics: the entries that the AppX
// deployment and packaging services logged under the deployment's activity id.
// The walk, the selection and the text rules are logic over EventLogPlatform;
// event_log_windows.cpp answers it with the Windows Event Log API.
#pragma once

#include <windows.h>
#include <winevt.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/diagnostics/deployment_diagnostics.h"

namespace tavo {

inline constexpr wchar_t kAppxDeploymentChannel[] = L"Microsoft-Windows-AppXDeploymentServer/Operational";
inline constexpr wchar_t kAppxPackagingChannel[] = L"Microsoft-Windows-AppxPackaging/Operational";

inline constexpr uint32_t kEventLogWaitMs = 3000;
inline constexpr uint32_t kQueryRetryPauseMs = 150;
inline constexpr uint32_t kReadTimeoutMs = 250;
inline constexpr uint32_t kMaxReadsPerQuery = 64;
inline constexpr uint32_t kMaxSystemPropertyBytes = 65536;
inline constexpr uint32_t kMaxMessageChars = 16384;
inline constexpr size_t kMaxKeptMessageUnits = 2048;

// One rendered system property as Windows typed it (an EVT_VARIANT_TYPE).
struct EventProperty {
  uint32_t type = EvtVarTypeNull;
  uint64_t number = 0;  // integer types
  std::wstring text;    // EvtVarTypeString
};

// One open query over a channel, positioned on the event that Next read last.
// Every call returns 0 or the Win32 error of the failing call.
class EventQuery {
 public:
  virtual ~EventQuery() = default;
  // The render context for the system properties.
  virtual uint32_t CreateRenderContext() = 0;
  // Reads the next event: 0, ERROR_TIMEOUT, ERROR_NO_MORE_ITEMS or another error.
  virtual uint32_t Next(uint32_t timeoutMs) = 0;
  // Renders the current event's system properties into a buffer of `bytes`
  // (0 asks for the size: ERROR_INSUFFICIENT_BUFFER with `needed`). On success
  // `properties` holds them in EVT_SYSTEM_PROPERTY_ID order.
  virtual uint32_t RenderSystem(uint32_t bytes, std::vector<EventProperty>& properties, uint32_t& needed) = 0;
  // Opens the provider's metadata for the current event's message.
  virtual uint32_t OpenPublisher(const std::wstring& provider) = 0;
  // Formats the current event's whole message into `chars` characters (0 asks
  // for the size, as RenderSystem does); `message` ends before its terminator.
  virtual uint32_t Format(uint32_t chars, std::wstring& message, uint32_t& needed) = 0;
};

class EventLogPlatform {
 public:
  virtual ~EventLogPlatform() = default;
  // Opens the XPath query on the channel path, newest events first.
  virtual std::unique_ptr<EventQuery> Query(const std::wstring& channel, const std::wstring& xpath,
                                            uint32_t& error) = 0;
  virtual void Sleep(uint32_t ms) = 0;
  virtual uint64_t NowMs() = 0;
};

// What the queries of one channel found.
struct ChannelResult {
  uint32_t error = 0;
  uint32_t scanned = 0;
  uint32_t attempts = 0;
  std::vector<LogEvent> kept;
};

// "critical", "error", "warning", "information", "verbose" for levels 1 to 5.
std::wstring EventLevelText(uint32_t level);
// At most 2048 UTF-16 units, never ending in half a surrogate pair.
std::wstring KeptMessage(std::wstring message);

// The whole list when it has at most n entries; for n = 1 its first entry;
// otherwise its first n/2 entries and its last n - n/2 (newest and oldest).
std::vector<LogEvent> Take(const std::vector<LogEvent>& list, size_t n);
// Events of the first attempt, then the second's that are new, sorted and cut again.
std::vector<LogEvent> Merge(const std::vector<LogEvent>& first, const std::vector<LogEvent>& second);

// One query of a channel for the activity id.
ChannelResult QueryOnce(EventLogPlatform& platform, const std::wstring& channel, const std::wstring& activityId);
// QueryOnce, once more after 150 ms when the first attempt timed out.
ChannelResult QueryChannel(EventLogPlatform& platform, const std::wstring& channel, const std::wstring& activityId);

// Fills the record's event-log fields from both channels; with no activity id
// it waits for nothing and queries nothing. Never throws.
void CollectEventLogs(DeploymentDiagnostics& record, EventLogPlatform& platform);

// The Windows Event Log API.
std::unique_ptr<EventLogPlatform> WindowsEventLogPlatform();

}  // namespace tavo
