// The scenario's "eventLog" member: the simulated channels and their events.
#include "tests/simplatform/scenario_json.h"

namespace tavo::sim::json_form {
namespace {

SimulatedEvent ParseEvent(const json& item, const std::string& where) {
  RequireObject(item, where);
  RequireKnownMembers(item, {"eventId", "level", "provider", "activityId", "message"}, where);
  for (const char* required : {"eventId", "level", "provider", "activityId"}) {
    if (!item.contains(required)) throw ScenarioError(where + " lacks \"" + required + "\"");
  }
  SimulatedEvent event;
  event.eventId = static_cast<uint16_t>(NumberMember(item, "eventId", where, 0, 0xFFFF));
  event.level = static_cast<uint8_t>(NumberMember(item, "level", where, 0, 0xFF));
  event.provider = Utf16(StringMember(item, "provider", where, true));
  event.activityId = ParseGuid(item.at("activityId"), where);
  event.message = Utf16(StringMember(item, "message", where, false));
  return event;
}

SimulatedChannel ParseChannel(const json& item, const std::string& where) {
  RequireObject(item, where);
  RequireKnownMembers(item, {"events", "timeoutAfter"}, where);
  SimulatedChannel channel;
  if (const auto it = item.find("events"); it != item.end()) {
    if (!it->is_array()) throw ScenarioError(where + ": \"events\" must be an array");
    for (std::size_t i = 0; i < it->size(); ++i) {
      channel.events.push_back(ParseEvent((*it)[i], where + ".events[" + std::to_string(i) + "]"));
    }
  }
  if (const auto it = item.find("timeoutAfter"); it != item.end()) {
    if (!it->is_array()) throw ScenarioError(where + ": \"timeoutAfter\" must be an array");
    for (const json& entry : *it) {
      if (entry.is_null()) {
        channel.timeoutAfter.emplace_back();
      } else {
        const json wrapped = {{"timeoutAfter", entry}};
        channel.timeoutAfter.emplace_back(NumberMember(wrapped, "timeoutAfter", where, 0, 1000000));
      }
    }
  }
  return channel;
}

}  // namespace

EventLogScript ParseEventLog(const json& value) {
  const std::string where = "eventLog";
  RequireObject(value, where);
  RequireKnownMembers(value, {"channels", "providersWithoutMetadata"}, where);
  EventLogScript script;
  if (const auto it = value.find("channels"); it != value.end()) {
    RequireObject(*it, "eventLog.channels");
    for (const auto& [path, channel] : it->items()) {
      script.channels[Utf16(path)] = ParseChannel(channel, "eventLog.channels[\"" + path + "\"]");
    }
  }
  if (const auto it = value.find("providersWithoutMetadata"); it != value.end()) {
    if (!it->is_array()) throw ScenarioError("\"eventLog.providersWithoutMetadata\" must be an array");
    for (const json& name : *it) {
      if (!name.is_string()) throw ScenarioError("\"eventLog.providersWithoutMetadata\" entries must be strings");
      script.providersWithoutMetadata.insert(Utf16(name.get<std::string>()));
    }
  }
  return script;
}

}  // namespace tavo::sim::json_form
