#include "tests/simplatform/state_file.h"

#include <mutex>

#include "common/handles.h"
#include "tests/simplatform/scenario_json.h"

namespace tavo::sim {
namespace {

using namespace json_form;

// Serialises every read and write of the state within this process: the
// deployment thread registers while the main thread enumerates.
std::mutex g_state_lock;
PlatformState g_process_state;

bool SameText(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

std::string Win32Text(const char* what, DWORD error) {
  return std::string(what) + " (error " + std::to_string(error) + ")";
}

// Writes through "<path>.tmp" and a replacing move, so that a reader never sees
// half a file.
void WriteFileAtomically(const std::wstring& path, const std::string& bytes) {
  const std::wstring temporary = path + L".tmp";
  {
    UniqueFile file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) throw ScenarioError(Win32Text("cannot create the state file", ::GetLastError()));
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
      throw ScenarioError(Win32Text("cannot write the state file", ::GetLastError()));
    }
  }
  if (!::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    throw ScenarioError(Win32Text("cannot replace the state file", error));
  }
}

PlatformState ReadStateLocked(const std::wstring& path) {
  if (path.empty()) return g_process_state;
  try {
    const std::optional<std::string> text = ReadSmallFile(path);
    return text ? ParseState(*text) : PlatformState{};
  } catch (const ScenarioError& e) {
    throw ScenarioError("state file " + Utf8(path) + ": " + e.what());
  }
}

}  // namespace

PlatformState ParseState(std::string_view text) {
  json root;
  try {
    root = json::parse(text.begin(), text.end());
  } catch (const json::exception& e) {
    throw ScenarioError(std::string("not valid JSON: ") + e.what());
  }
  RequireObject(root, "the state");
  RequireKnownMembers(root, {"packages", "deploymentRequests"}, "the state");
  PlatformState state;
  if (const auto it = root.find("packages"); it != root.end()) {
    if (!it->is_array()) throw ScenarioError("\"packages\" must be an array");
    for (std::size_t i = 0; i < it->size(); ++i) {
      state.packages.push_back(ParsePackage((*it)[i], "packages[" + std::to_string(i) + "]"));
    }
  }
  if (const auto it = root.find("deploymentRequests"); it != root.end()) {
    if (!it->is_array()) throw ScenarioError("\"deploymentRequests\" must be an array");
    for (std::size_t i = 0; i < it->size(); ++i) {
      const json& item = (*it)[i];
      const std::string where = "deploymentRequests[" + std::to_string(i) + "]";
      RequireObject(item, where);
      RequireKnownMembers(item, {"uri", "options", "targetVolume", "cancelled"}, where);
      state.deploymentRequests.push_back({Utf16(StringMember(item, "uri", where, true)),
                                          NumberMember(item, "options", where, 0, UINT32_MAX),
                                          BoolMember(item, "targetVolume", where, false),
                                          BoolMember(item, "cancelled", where, false)});
    }
  }
  return state;
}

std::string StateJson(const PlatformState& state) {
  json packages = json::array();
  for (const PackageRecord& package : state.packages) packages.push_back(PackageJson(package));
  json requests = json::array();
  for (const DeploymentRequest& request : state.deploymentRequests) {
    requests.push_back({{"uri", Utf8(request.uri)},
                        {"options", request.options},
                        {"targetVolume", request.targetVolume},
                        {"cancelled", request.cancelled}});
  }
  return json{{"packages", packages}, {"deploymentRequests", requests}}.dump(2) + "\n";
}

PlatformState ReadState(const std::wstring& path) {
  const std::lock_guard<std::mutex> hold(g_state_lock);
  return ReadStateLocked(path);
}

void UpdateState(const std::wstring& path, const std::function<void(PlatformState&)>& change) {
  const std::lock_guard<std::mutex> hold(g_state_lock);
  PlatformState state = ReadStateLocked(path);
  change(state);
  if (path.empty()) {
    g_process_state = std::move(state);
    return;
  }
  try {
    WriteFileAtomically(path, StateJson(state));
  } catch (const ScenarioError& e) {
    throw ScenarioError("state file " + Utf8(path) + ": " + e.what());
  }
}

void RegisterPackage(std::vector<PackageRecord>& packages, const PackageRecord& package) {
  for (PackageRecord& existing : packages) {
    if (SameText(existing.fullName, package.fullName)) {
      existing = package;
      return;
    }
  }
  packages.push_back(package);
}

void ClearProcessStateForTests() {
  const std::lock_guard<std::mutex> hold(g_state_lock);
  g_process_state = {};
}

}  // namespace tavo::sim
