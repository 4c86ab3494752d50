#include "common/diagnostics/event_log_collection.h"

#include <algorithm>
#include <utility>

namespace tavo {
namespace {

enum class Severity { kSevere, kWarning, kOther, kNotKept };

Severity SeverityOfLevel(uint32_t level) {
  if (level == 1 || level == 2) return Severity::kSevere;
  if (level == 3) return Severity::kWarning;
  if (level == 4 || level == 5) return Severity::kOther;
  return Severity::kNotKept;
}

Severity SeverityOfText(const std::wstring& level) {
  for (uint32_t n = 1; n <= 5; ++n) {
    if (level == EventLevelText(n)) return SeverityOfLevel(n);
  }
  return Severity::kNotKept;
}

// The three lists of one walk, each in the order read (newest first).
struct SortedEvents {
  std::vector<LogEvent> severe, warnings, others;

  void Add(LogEvent event, Severity severity) {
    switch (severity) {
      case Severity::kSevere: severe.push_back(std::move(event)); break;
      case Severity::kWarning: warnings.push_back(std::move(event)); break;
      case Severity::kOther:
        if (others.size() < 2) others.push_back(std::move(event));
        break;
      case Severity::kNotKept: break;
    }
  }

  std::vector<LogEvent> Kept() const {
    std::vector<LogEvent> kept = Take(severe, 4);
    if (kept.size() < 4) {
      std::vector<LogEvent> more = Take(warnings, 4 - kept.size());
      kept.insert(kept.end(), more.begin(), more.end());
    }
    if (kept.empty()) kept = others;
    return kept;
  }
};

bool SameEvent(const LogEvent& a, const LogEvent& b) {
  return a.channel == b.channel && a.provider == b.provider && a.eventId == b.eventId && a.level == b.level &&
         a.message == b.message;
}

const EventProperty* Property(const std::vector<EventProperty>& properties, EVT_SYSTEM_PROPERTY_ID id) {
  return static_cast<size_t>(id) < properties.size() ? &properties[id] : nullptr;
}

bool Is(const EventProperty* property, EVT_VARIANT_TYPE type) { return property && property->type == type; }

// Renders in two calls: the size, then the properties. Returns 0 or the error
// that skips the event.
uint32_t RenderSystemProperties(EventQuery& query, std::vector<EventProperty>& properties) {
  uint32_t needed = 0;
  uint32_t error = query.RenderSystem(0, properties, needed);
  if (error != ERROR_INSUFFICIENT_BUFFER) return error;
  if (needed > kMaxSystemPropertyBytes) return ERROR_MORE_DATA;
  return query.RenderSystem(needed, properties, needed);
}

// The event's message, or the error that left it empty.
uint32_t FormatEventMessage(EventQuery& query, const std::wstring& provider, std::wstring& message) {
  if (provider.empty()) return ERROR_NOT_FOUND;
  if (uint32_t error = query.OpenPublisher(provider)) return error;
  std::wstring text;
  uint32_t needed = 0;
  uint32_t error = query.Format(0, text, needed);
  if (error == ERROR_INSUFFICIENT_BUFFER) {
    if (needed > kMaxMessageChars) return error;
    error = query.Format(needed, text, needed);
  }
  if (error == 0) message = KeptMessage(std::move(text));
  return error;
}

// The event that Next just read: sorted into its list, or skipped with an error.
void ReadCurrentEvent(EventQuery& query, const std::wstring& channel, SortedEvents& sorted, uint32_t& error) {
  std::vector<EventProperty> properties;
  if (uint32_t failure = RenderSystemProperties(query, properties)) {
    error = failure;
    return;
  }
  const EventProperty* id = Property(properties, EvtSystemEventID);
  const EventProperty* level = Property(properties, EvtSystemLevel);
  const EventProperty* provider = Property(properties, EvtSystemProviderName);
  const EventProperty* channelName = Property(properties, EvtSystemChannel);
  const uint32_t levelValue = Is(level, EvtVarTypeByte) ? static_cast<uint32_t>(level->number) : 0;
  const Severity severity = SeverityOfLevel(levelValue);
  if (severity == Severity::kNotKept) return;  // read and counted only

  LogEvent event;
  event.eventId = Is(id, EvtVarTypeUInt16) ? static_cast<uint32_t>(id->number) : 0;
  event.level = EventLevelText(levelValue);
  if (Is(provider, EvtVarTypeString)) event.provider = provider->text;
  event.channel = Is(channelName, EvtVarTypeString) ? channelName->text : channel;
  event.formatError = static_cast<int32_t>(FormatEventMessage(query, event.provider, event.message));
  sorted.Add(std::move(event), severity);
}

}  // namespace

std::wstring EventLevelText(uint32_t level) {
  switch (level) {
    case 1: return L"critical";
    case 2: return L"error";
    case 3: return L"warning";
    case 4: return L"information";
    case 5: return L"verbose";
    default: return L"";
  }
}

std::wstring KeptMessage(std::wstring message) {
  if (message.size() <= kMaxKeptMessageUnits) return message;
  message.resize(kMaxKeptMessageUnits);
  const wchar_t last = message.back();
  if (last >= 0xD800 && last <= 0xDBFF) message.pop_back();
  return message;
}

std::vector<LogEvent> Take(const std::vector<LogEvent>& list, size_t n) {
  if (list.size() <= n) return list;
  if (n == 1) return {list.front()};
  const size_t head = n / 2;
  std::vector<LogEvent> taken(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(head));
  taken.insert(taken.end(), list.end() - static_cast<std::ptrdiff_t>(n - head), list.end());
  return taken;
}

std::vector<LogEvent> Merge(const std::vector<LogEvent>& first, const std::vector<LogEvent>& second) {
  std::vector<LogEvent> all = first;
  for (const LogEvent& event : second) {
    if (std::none_of(all.begin(), all.end(), [&](const LogEvent& known) { return SameEvent(known, event); }))
      all.push_back(event);
  }
  SortedEvents sorted;
  for (LogEvent& event : all) {
    const Severity severity = SeverityOfText(event.level);
    sorted.Add(std::move(event), severity);
  }
  return sorted.Kept();
}

ChannelResult QueryOnce(EventLogPlatform& platform, const std::wstring& channel, const std::wstring& activityId) {
  ChannelResult result;
  const std::wstring xpath = L"*[System[Correlation[@ActivityID='" + activityId + L"']]]";
  uint32_t error = 0;
  std::unique_ptr<EventQuery> query = platform.Query(channel, xpath, error);
  if (!query) {
    result.error = error;
    return result;
  }
  if (uint32_t failure = query->CreateRenderContext()) {
    result.error = failure;
    return result;
  }
  SortedEvents sorted;
  uint32_t timeouts = 0;  // consecutive
  for (uint32_t read = 0; read < kMaxReadsPerQuery; ++read) {
    const uint32_t status = query->Next(kReadTimeoutMs);
    if (status == ERROR_TIMEOUT) {
      if (++timeouts == 2) {
        result.error = ERROR_TIMEOUT;
        break;
      }
      continue;
    }
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != 0) {
      result.error = status;
      break;
    }
    ++result.scanned;
    timeouts = 0;
    ReadCurrentEvent(*query, channel, sorted, result.error);
  }
  result.kept = sorted.Kept();
  return result;
}

ChannelResult QueryChannel(EventLogPlatform& platform, const std::wstring& channel, const std::wstring& activityId) {
  ChannelResult first = QueryOnce(platform, channel, activityId);
  first.attempts = 1;
  if (first.error != ERROR_TIMEOUT) return first;
  platform.Sleep(kQueryRetryPauseMs);
  ChannelResult second = QueryOnce(platform, channel, activityId);
  ChannelResult result;
  result.attempts = 2;
  result.scanned = first.scanned + second.scanned;
  result.error = second.error;
  result.kept = Merge(first.kept, second.kept);
  return result;
}

void CollectEventLogs(DeploymentDiagnostics& record, EventLogPlatform& platform) {
  if (record.activityId.empty()) return;
  try {
    const uint64_t waitStart = platform.NowMs();
    // The services write their events a little after the deployment call returns.
    platform.Sleep(kEventLogWaitMs);
    record.appxLogWaitMs = static_cast<uint32_t>(platform.NowMs() - waitStart);

    const uint64_t queryStart = platform.NowMs();
    ChannelResult deployment = QueryChannel(platform, kAppxDeploymentChannel, record.activityId);
    record.appxLogQueryAttempts += deployment.attempts;
    record.appxLogQueryError = static_cast<int32_t>(deployment.error);
    record.appxEventsScanned = deployment.scanned;
    record.appxEvents = std::move(deployment.kept);

    ChannelResult packaging = QueryChannel(platform, kAppxPackagingChannel, record.activityId);
    record.appxLogQueryAttempts += packaging.attempts;
    record.packagingLogQueryError = static_cast<int32_t>(packaging.error);
    record.packagingEventsScanned = packaging.scanned;
    record.appxEvents.insert(record.appxEvents.end(), packaging.kept.begin(), packaging.kept.end());
    record.appxLogQueryMs = static_cast<uint32_t>(platform.NowMs() - queryStart);
  } catch (const std::exception&) {
    // Out of memory at worst: what was gathered stays, and the run's outcome
    // must not depend on its diagnostics.
  }
}

}  // namespace tavo
