#include "tests/simplatform/scenario.h"

#include <nlohmann/json.hpp>

#include <array>
#include <charconv>

#include "common/handles.h"

namespace tavo::sim {
namespace {

using nlohmann::json;

// Calls that a scenario can make fail.
constexpr std::array<std::string_view, 5> kFailurePoints = {
    "ApiInformation.Activate",              // RoGetActivationFactory of ApiInformation
    "ApiInformation.IsMethodPresent",       //
    "PackageManager.Activate",              // RoActivateInstance of PackageManager
    "PackageManager.FindPackagesForUser",   // FindPackagesByUserSecurityIdNamePublisher
    "PackageManager.FindPackageForUser",    // FindPackageByUserSecurityIdPackageFullName
};

// Stands in for the hash of the publisher that Windows puts into package names.
constexpr std::wstring_view kPublisherId = L"5x0tavosim7qr";

constexpr DWORD kMaxScenarioBytes = 1 << 20;

std::wstring Utf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                           nullptr, 0);
  if (length <= 0) throw ScenarioError("text is not valid UTF-8");
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), text.data(), length);
  return text;
}

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                           nullptr);
  std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr, nullptr);
  return utf8;
}

// Fails on members outside `known`: a misspelt member would otherwise be ignored
// and the test would run against a different scenario than it states.
void RequireKnownMembers(const json& object, std::initializer_list<std::string_view> known, std::string_view where) {
  for (const auto& [key, value] : object.items()) {
    bool found = false;
    for (std::string_view name : known) found = found || key == name;
    if (!found) throw ScenarioError("unknown member \"" + key + "\" in " + std::string(where));
  }
}

std::string StringMember(const json& object, const char* key, std::string_view where, bool required) {
  const auto it = object.find(key);
  if (it == object.end()) {
    if (required) throw ScenarioError(std::string(where) + " lacks \"" + key + "\"");
    return {};
  }
  if (!it->is_string()) throw ScenarioError(std::string(where) + ": \"" + key + "\" must be a string");
  return it->get<std::string>();
}

// "0x" and 1 to 8 hexadecimal digits naming a failure code.
HRESULT ParseFailureCode(const std::string& text, const std::string& point) {
  uint32_t value = 0;
  const char* last = text.data() + text.size();
  bool ok = text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (ok) {
    const auto [end, error] = std::from_chars(text.data() + 2, last, value, 16);
    ok = error == std::errc() && end == last;
  }
  const HRESULT code = static_cast<HRESULT>(value);
  if (!ok || !FAILED(code)) {
    throw ScenarioError("failure \"" + point + "\": \"" + text + "\" is not a failure HRESULT such as \"0x80070005\"");
  }
  return code;
}

// "Major.Minor.Build.Revision", each 0 to 65535.
abi::PackageVersion ParseVersion(const std::string& text, std::string_view where) {
  std::array<uint16_t, 4> parts{};
  const char* p = text.data();
  const char* last = text.data() + text.size();
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool final_part = i + 1 == parts.size();
    const auto [end, error] = std::from_chars(p, last, parts[i]);
    if (error != std::errc() || end == p || (final_part ? end != last : (end == last || *end != '.'))) {
      throw ScenarioError(std::string(where) + ": version \"" + text + "\" is not Major.Minor.Build.Revision");
    }
    if (!final_part) p = end + 1;
  }
  return {parts[0], parts[1], parts[2], parts[3]};
}

std::wstring VersionText(const abi::PackageVersion& v) {
  return std::to_wstring(v.Major) + L"." + std::to_wstring(v.Minor) + L"." + std::to_wstring(v.Build) + L"." +
         std::to_wstring(v.Revision);
}

PackageRecord ParsePackage(const json& item, std::size_t index) {
  const std::string where = "packages[" + std::to_string(index) + "]";
  if (!item.is_object()) throw ScenarioError(where + " must be an object");
  RequireKnownMembers(item, {"user", "name", "publisher", "version", "fullName", "familyName"}, where);
  PackageRecord record;
  record.user = Utf16(StringMember(item, "user", where, false));
  record.name = Utf16(StringMember(item, "name", where, true));
  record.publisher = Utf16(StringMember(item, "publisher", where, true));
  record.version = ParseVersion(StringMember(item, "version", where, true), where);
  record.fullName = Utf16(StringMember(item, "fullName", where, false));
  record.familyName = Utf16(StringMember(item, "familyName", where, false));
  if (record.name.empty() || record.publisher.empty()) throw ScenarioError(where + ": empty name or publisher");
  if (record.familyName.empty()) record.familyName = record.name + L"_" + std::wstring(kPublisherId);
  if (record.fullName.empty()) {
    record.fullName = record.name + L"_" + VersionText(record.version) + L"_x64__" + std::wstring(kPublisherId);
  }
  return record;
}

std::wstring EnvironmentVariable(const wchar_t* name, bool& present) {
  std::wstring value(256, L'\0');
  for (;;) {
    // An empty value also gives 0, without setting the last error.
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      present = ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
      return {};
    }
    if (length < value.size()) {
      present = true;
      value.resize(length);
      return value;
    }
    value.resize(length);
  }
}

std::string ReadFile(const std::wstring& path) {
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw ScenarioError("cannot open (error " + std::to_string(::GetLastError()) + ")");
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxScenarioBytes) {
    throw ScenarioError("cannot read, or larger than 1 MB");
  }
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    throw ScenarioError("cannot read (error " + std::to_string(::GetLastError()) + ")");
  }
  return bytes;
}

}  // namespace

bool Scenario::IsMethodPresent(std::wstring_view type, std::wstring_view method) const {
  std::wstring key(type);
  key += L'.';
  key += method;
  return missingMethods.count(key) == 0;
}

std::optional<HRESULT> Scenario::Failure(std::string_view point) const {
  const auto it = failures.find(std::string(point));
  if (it == failures.end()) return std::nullopt;
  return it->second;
}

Scenario ParseScenario(std::string_view text) {
  json root;
  try {
    root = json::parse(text.begin(), text.end());
  } catch (const json::exception& e) {
    throw ScenarioError(std::string("not valid JSON: ") + e.what());
  }
  if (!root.is_object()) throw ScenarioError("the scenario must be a JSON object");
  RequireKnownMembers(root, {"missingMethods", "failures", "packages"}, "the scenario");

  Scenario scenario;
  if (const auto it = root.find("missingMethods"); it != root.end()) {
    if (!it->is_array()) throw ScenarioError("\"missingMethods\" must be an array");
    for (const json& entry : *it) {
      if (!entry.is_string() || entry.get<std::string>().find('.') == std::string::npos) {
        throw ScenarioError("\"missingMethods\" entries must be \"<type name>.<method name>\"");
      }
      scenario.missingMethods.insert(Utf16(entry.get<std::string>()));
    }
  }
  if (const auto it = root.find("failures"); it != root.end()) {
    if (!it->is_object()) throw ScenarioError("\"failures\" must be an object");
    for (const auto& [point, code] : it->items()) {
      bool known = false;
      for (std::string_view name : kFailurePoints) known = known || point == name;
      if (!known) throw ScenarioError("unknown failure point \"" + point + "\"");
      if (!code.is_string()) throw ScenarioError("failure \"" + point + "\" must be a string such as \"0x80070005\"");
      scenario.failures[point] = ParseFailureCode(code.get<std::string>(), point);
    }
  }
  if (const auto it = root.find("packages"); it != root.end()) {
    if (!it->is_array()) throw ScenarioError("\"packages\" must be an array");
    for (std::size_t i = 0; i < it->size(); ++i) scenario.packages.push_back(ParsePackage((*it)[i], i));
  }
  return scenario;
}

Scenario LoadScenario() {
  bool present = false;
  const std::wstring path = EnvironmentVariable(L"TAVO_SIM_SCENARIO", present);
  if (!present) return {};
  if (path.empty()) throw ScenarioError("TAVO_SIM_SCENARIO is set but empty");
  try {
    return ParseScenario(ReadFile(path));
  } catch (const ScenarioError& e) {
    throw ScenarioError("scenario " + Utf8(path) + ": " + e.what());
  }
}

std::shared_ptr<const Scenario> LoadScenarioOrReport() {
  try {
    return std::make_shared<const Scenario>(LoadScenario());
  } catch (const ScenarioError& e) {
    const std::string line = std::string("tavo_simplatform: ") + e.what() + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return nullptr;
  }
}

}  // namespace tavo::sim
