// JSON forms shared by the scenario file and the state file: strict member
// checks, failure codes and package records. Internal to the fixture.
#pragma once

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "tests/simplatform/scenario.h"

namespace tavo::sim::json_form {

using nlohmann::json;

// UTF-8 to UTF-16; throws ScenarioError for invalid UTF-8.
std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view text);

// The bytes of a file of at most 1 MB; none when it does not exist. Throws
// ScenarioError when it cannot be read.
std::optional<std::string> ReadSmallFile(const std::wstring& path);

// Fails on members outside `known`: a misspelt member would otherwise be ignored
// and the test would run against a different scenario than it states.
void RequireKnownMembers(const json& object, std::initializer_list<std::string_view> known, std::string_view where);
void RequireObject(const json& value, std::string_view where);

// Optional members of the given JSON type; `fallback` when absent.
std::string StringMember(const json& object, const char* key, std::string_view where, bool required);
bool BoolMember(const json& object, const char* key, std::string_view where, bool fallback);
uint32_t NumberMember(const json& object, const char* key, std::string_view where, uint32_t fallback,
                      uint32_t maximum);

// "0x" and 1 to 8 hexadecimal digits naming a failure HRESULT.
HRESULT ParseFailureCode(const json& value, std::string_view where);
// "0x" and 8 upper-case hexadecimal digits.
std::string CodeText(HRESULT code);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", hexadecimal digits of either case;
// `where` names the member holding it.
GUID ParseGuid(const json& value, const std::string& where);

// A "failures" object: failure point -> code, points checked by `known`.
template <typename IsKnown>
FailureMap ParseFailures(const json& value, std::string_view where, IsKnown is_known);

// A package object ("packages" entries, "deployment.package", state file). With
// a `base`, identity members are optional and default to the base's.
PackageRecord ParsePackage(const json& item, const std::string& where, const PackageRecord* base = nullptr);
json PackageJson(const PackageRecord& package);

// The scenario's "eventLog" member (event_log_scenario.cpp).
EventLogScript ParseEventLog(const json& value);

template <typename IsKnown>
FailureMap ParseFailures(const json& value, std::string_view where, IsKnown is_known) {
  RequireObject(value, where);
  FailureMap failures;
  for (const auto& [point, code] : value.items()) {
    if (!is_known(std::string_view(point))) {
      throw ScenarioError("unknown failure point \"" + point + "\" in " + std::string(where));
    }
    failures[point] = ParseFailureCode(code, "failure \"" + point + "\"");
  }
  return failures;
}

}  // namespace tavo::sim::json_form
