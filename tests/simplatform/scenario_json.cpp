#include "tests/simplatform/scenario_json.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "common/handles.h"

namespace tavo::sim::json_form {
namespace {

// Stands in for the hash of the publisher that Windows puts into package names.
constexpr std::wstring_view kPublisherId = L"5x0tavosim7qr";

// Getters of a package's objects that a package's "failures" can make fail,
// besides "PackageStatus.VerifyIsOK" and "PackageStatus.<flag>".
constexpr std::array<std::string_view, 11> kPackageFailurePoints = {
    "Package.Id",           "PackageId.Name",       "PackageId.Publisher",  "PackageId.FullName",
    "PackageId.FamilyName", "Package.Status",       "Package.GetAppInstallerInfo",
    "AppInstallerInfo.Uri", "Uri.AbsoluteUri",      "AppInstallerInfo.OnLaunch",
    "AppInstallerInfo.AutomaticBackgroundTask",
};

bool IsPackageFailurePoint(std::string_view point) {
  for (std::string_view name : kPackageFailurePoints) {
    if (point == name) return true;
  }
  constexpr std::string_view status = "PackageStatus.";
  if (point.substr(0, status.size()) != status) return false;
  const std::string_view getter = point.substr(status.size());
  if (getter == "VerifyIsOK") return true;
  for (std::string_view flag : kStatusFlagNames) {
    if (getter == flag) return true;
  }
  return false;
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

std::optional<AppInstallerInfoRecord> ParseAppInstallerInfo(const json& value, const std::string& where) {
  if (value.is_null()) return std::nullopt;
  RequireObject(value, where);
  RequireKnownMembers(value, {"uri", "info2", "onLaunch", "automaticBackgroundTask"}, where);
  AppInstallerInfoRecord info;
  if (const auto it = value.find("uri"); it != value.end()) {
    if (it->is_null()) {
      info.uri.reset();
    } else if (it->is_string()) {
      info.uri = Utf16(it->get<std::string>());
    } else {
      throw ScenarioError(where + ": \"uri\" must be a string or null");
    }
  }
  info.info2 = BoolMember(value, "info2", where, info.info2);
  info.onLaunch = BoolMember(value, "onLaunch", where, info.onLaunch);
  info.automaticBackgroundTask = BoolMember(value, "automaticBackgroundTask", where, info.automaticBackgroundTask);
  return info;
}

}  // namespace

GUID ParseGuid(const json& value, const std::string& where) {
  const std::string text = value.is_string() ? value.get<std::string>() : std::string();
  auto fail = [&]() -> GUID {
    throw ScenarioError(where + ": \"activityId\" must be a GUID such as \"{01234567-89AB-CDEF-0123-456789ABCDEF}\"");
  };
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return fail();
  std::string digits;
  for (std::size_t i = 1; i < 37; ++i) {
    const bool dash_position = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash_position != (text[i] == '-')) return fail();
    if (!dash_position) digits += text[i];
  }
  auto hex = [&](std::size_t offset, std::size_t length) {
    uint32_t part = 0;
    const char* first = digits.data() + offset;
    const auto [end, error] = std::from_chars(first, first + length, part, 16);
    if (error != std::errc() || end != first + length) fail();
    return part;
  };
  GUID guid{};
  guid.Data1 = hex(0, 8);
  guid.Data2 = static_cast<uint16_t>(hex(8, 4));
  guid.Data3 = static_cast<uint16_t>(hex(12, 4));
  for (std::size_t i = 0; i < 8; ++i) guid.Data4[i] = static_cast<unsigned char>(hex(16 + 2 * i, 2));
  return guid;
}

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

std::optional<std::string> ReadSmallFile(const std::wstring& path) {
  constexpr LONGLONG kMaxBytes = 1 << 20;
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return std::nullopt;
    throw ScenarioError("cannot open (error " + std::to_string(error) + ")");
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxBytes) {
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

void RequireKnownMembers(const json& object, std::initializer_list<std::string_view> known, std::string_view where) {
  for (const auto& [key, value] : object.items()) {
    bool found = false;
    for (std::string_view name : known) found = found || key == name;
    if (!found) throw ScenarioError("unknown member \"" + key + "\" in " + std::string(where));
  }
}

void RequireObject(const json& value, std::string_view where) {
  if (!value.is_object()) throw ScenarioError(std::string(where) + " must be an object");
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

bool BoolMember(const json& object, const char* key, std::string_view where, bool fallback) {
  const auto it = object.find(key);
  if (it == object.end()) return fallback;
  if (!it->is_boolean()) throw ScenarioError(std::string(where) + ": \"" + key + "\" must be true or false");
  return it->get<bool>();
}

uint32_t NumberMember(const json& object, const char* key, std::string_view where, uint32_t fallback,
                      uint32_t maximum) {
  const auto it = object.find(key);
  if (it == object.end()) return fallback;
  if (!it->is_number_unsigned() || it->get<uint64_t>() > maximum) {
    throw ScenarioError(std::string(where) + ": \"" + key + "\" must be a whole number from 0 to " +
                        std::to_string(maximum));
  }
  return static_cast<uint32_t>(it->get<uint64_t>());
}

HRESULT ParseFailureCode(const json& value, std::string_view where) {
  const std::string text = value.is_string() ? value.get<std::string>() : std::string();
  uint32_t code = 0;
  const char* last = text.data() + text.size();
  bool ok = text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (ok) {
    const auto [end, error] = std::from_chars(text.data() + 2, last, code, 16);
    ok = error == std::errc() && end == last;
  }
  if (!ok || !FAILED(static_cast<HRESULT>(code))) {
    throw ScenarioError(std::string(where) + ": " + (value.is_string() ? "\"" + text + "\"" : value.dump()) +
                        " is not a failure HRESULT such as \"0x80070005\"");
  }
  return static_cast<HRESULT>(code);
}

std::string CodeText(HRESULT code) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
  return text;
}

PackageRecord ParsePackage(const json& item, const std::string& where, const PackageRecord* base) {
  RequireObject(item, where);
  RequireKnownMembers(item,
                      {"user", "name", "publisher", "version", "fullName", "familyName", "registered", "verifyIsOK",
                       "status", "healthyAfterRuns", "enumerationWaitsForFile", "appInstallerInfo", "failures"},
                      where);
  const bool identity_required = base == nullptr;
  PackageRecord record = base ? *base : PackageRecord{};
  if (const std::string user = StringMember(item, "user", where, false); !user.empty()) record.user = Utf16(user);
  if (item.contains("name") || identity_required) record.name = Utf16(StringMember(item, "name", where, true));
  if (item.contains("publisher") || identity_required) {
    record.publisher = Utf16(StringMember(item, "publisher", where, true));
  }
  if (item.contains("version") || identity_required) {
    record.version = ParseVersion(StringMember(item, "version", where, true), where);
  }
  record.fullName = Utf16(StringMember(item, "fullName", where, false));
  record.familyName = Utf16(StringMember(item, "familyName", where, false));
  if (record.name.empty() || record.publisher.empty()) throw ScenarioError(where + ": empty name or publisher");
  if (record.familyName.empty()) record.familyName = record.name + L"_" + std::wstring(kPublisherId);
  if (record.fullName.empty()) {
    record.fullName = record.name + L"_" + VersionText(record.version) + L"_x64__" + std::wstring(kPublisherId);
  }

  record.registered = BoolMember(item, "registered", where, record.registered);
  record.verifyIsOK = BoolMember(item, "verifyIsOK", where, record.verifyIsOK);
  if (const auto it = item.find("status"); it != item.end()) {
    const std::string status_where = where + ".status";
    RequireObject(*it, status_where);
    for (const auto& [flag, value] : it->items()) {
      std::size_t index = 0;
      while (index < kStatusFlagNames.size() && kStatusFlagNames[index] != flag) ++index;
      if (index == kStatusFlagNames.size()) throw ScenarioError("unknown flag \"" + flag + "\" in " + status_where);
      if (!value.is_boolean()) throw ScenarioError(status_where + ": \"" + flag + "\" must be true or false");
      record.status[index] = value.get<bool>();
    }
  }
  record.healthyAfterRuns = NumberMember(item, "healthyAfterRuns", where, record.healthyAfterRuns, 1000);
  if (item.contains("enumerationWaitsForFile")) {
    record.enumerationWaitsForFile = Utf16(StringMember(item, "enumerationWaitsForFile", where, false));
  }
  if (const auto it = item.find("appInstallerInfo"); it != item.end()) {
    record.appInstallerInfo = ParseAppInstallerInfo(*it, where + ".appInstallerInfo");
  }
  if (const auto it = item.find("failures"); it != item.end()) {
    record.failures = ParseFailures(*it, where + ".failures", IsPackageFailurePoint);
  }
  return record;
}

json PackageJson(const PackageRecord& package) {
  json item = json::object();
  if (!package.user.empty()) item["user"] = Utf8(package.user);
  item["name"] = Utf8(package.name);
  item["publisher"] = Utf8(package.publisher);
  item["version"] = Utf8(VersionText(package.version));
  item["fullName"] = Utf8(package.fullName);
  item["familyName"] = Utf8(package.familyName);
  item["registered"] = package.registered;
  item["verifyIsOK"] = package.verifyIsOK;
  json status = json::object();
  for (std::size_t i = 0; i < kStatusFlagNames.size(); ++i) {
    status[std::string(kStatusFlagNames[i])] = package.status[i];
  }
  item["status"] = status;
  item["healthyAfterRuns"] = package.healthyAfterRuns;
  item["enumerationWaitsForFile"] = Utf8(package.enumerationWaitsForFile);
  if (const auto& info = package.appInstallerInfo) {
    item["appInstallerInfo"] = {{"uri", info->uri ? json(Utf8(*info->uri)) : json(nullptr)},
                                {"info2", info->info2},
                                {"onLaunch", info->onLaunch},
                                {"automaticBackgroundTask", info->automaticBackgroundTask}};
  } else {
    item["appInstallerInfo"] = nullptr;
  }
  json failures = json::object();
  for (const auto& [point, code] : package.failures) failures[point] = CodeText(code);
  item["failures"] = failures;
  return item;
}

}  // namespace tavo::sim::json_form
