#include "common/telemetry/installer_profile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/handles.h"
#include "tests/tools/wine_start.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;

const std::string kUpperVisitor = "vis_0123456789ABCDEF0123456789ABCDEF";
const std::string kLowerVisitor = "vis_0123456789abcdef0123456789abcdef";
const std::string kLowerGuid = "{0a1b2c3d-4e5f-6a7b-8c9d-0e1f2a3b4c5d}";
const std::wstring kVstVisitor = L"vst_fedcba9876543210fedcba9876543210";

fs::path Folder(const std::wstring& name) {
  fs::path folder = fs::temp_directory_path() / L"tavo-profile-test" / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::wstring> Names(const fs::path& folder) {
  std::vector<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().wstring());
  return names;
}

bool IsBracedUpperGuid(const std::wstring& text) {
  if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') return false;
  for (wchar_t c : text)
    if (c >= L'a' && c <= L'f') return false;
  return true;
}

TEST(InstallerProfile, FileContentIsKeptOrReplaced) {
  struct Case {
    const char* name;
    std::string content;
    bool kept;
  };
  const std::vector<Case> cases = {
      {"lower-case visitor id", kLowerVisitor, true},
      {"lower-case braced GUID", kLowerGuid, true},
      {"upper-case visitor id", kUpperVisitor, false},
      {"visitor id with a line end", kLowerVisitor + "\n", false},
      {"GUID with a line end", kLowerGuid + "\n", false},
      {"GUID without braces", kLowerGuid.substr(1, 36), false},
      {"empty file", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = Folder(L"content") / L"Tavo" / L"Installer" / L"profile-id";
    Write(path, c.content);
    EXPECT_EQ(!ReadProfile(path.wstring()).empty(), c.kept);
    const std::wstring id = GetOrCreateProfileAt(path.wstring(), L"");
    if (c.kept) {
      EXPECT_EQ(id, std::wstring(c.content.begin(), c.content.end()));
    } else {
      EXPECT_TRUE(IsBracedUpperGuid(id)) << std::string(id.begin(), id.end());
    }
    EXPECT_EQ(Read(path), std::string(id.begin(), id.end()));
    EXPECT_EQ(Names(path.parent_path()), std::vector<std::wstring>{L"profile-id"});
  }
}

TEST(InstallerProfile, NewProfileTakesTheVisitorIdAndKeepsIt) {
  const fs::path path = Folder(L"visitor") / L"Tavo" / L"Installer" / L"profile-id";
  EXPECT_EQ(GetOrCreateProfileAt(path.wstring(), kVstVisitor), kVstVisitor);
  EXPECT_EQ(Read(path), "vst_fedcba9876543210fedcba9876543210");
  // A later run with another visitor id gets the profile that exists.
  EXPECT_EQ(GetOrCreateProfileAt(path.wstring(), L"vis_00000000000000000000000000000000"), kVstVisitor);
  // Not a visitor id: the new profile is a GUID.
  const fs::path other = Folder(L"not-visitor") / L"profile-id";
  EXPECT_TRUE(IsBracedUpperGuid(GetOrCreateProfileAt(other.wstring(), L"VST_FEDCBA9876543210FEDCBA9876543210")));
}

TEST(InstallerProfile, FileInTheWayOfTheFolderGivesEmptyAndNoTemporary) {
  const fs::path root = Folder(L"blocked");
  Write(root / L"Tavo", "not a folder");
  EXPECT_EQ(GetOrCreateProfileAt((root / L"Tavo" / L"Installer" / L"profile-id").wstring(), kVstVisitor), L"");
  EXPECT_EQ(Names(root), std::vector<std::wstring>{L"Tavo"});
  EXPECT_EQ(Read(root / L"Tavo"), "not a folder");
}

TEST(InstallerProfile, ProfilePathIsUnderLocalAppData) {
  const std::wstring path = ProfilePath();
  EXPECT_NE(path.find(L"\\AppData\\Local\\Tavo\\Installer\\profile-id"), std::wstring::npos)
      << std::string(path.begin(), path.end());
}

std::wstring WindowsPath(const std::string& unixPath) {
  std::wstring path = L"Z:" + std::wstring(unixPath.begin(), unixPath.end());
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

// Starts the child with its output in `output`; it sets `ready` and waits for `start`.
UniqueKernelHandle StartChild(const std::wstring& path, const std::wstring& start, const std::wstring& ready,
                              const fs::path& output) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  UniqueFile out(::CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return {};
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out.get();
  startup.hStdError = out.get();
  std::wstring command = L"\"" + WindowsPath(TAVO_PROFILE_CHILD) + L"\" \"" + path + L"\" - " + start + L" " + ready;
  PROCESS_INFORMATION process{};
  DWORD error = tavo::testing::StartRetryingWineRefusal(L"the profile child", [&]() -> DWORD {
    return ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                            &startup, &process)
               ? 0
               : ::GetLastError();
  });
  if (error != 0) return {};
  ::CloseHandle(process.hThread);
  return UniqueKernelHandle(process.hProcess);
}

TEST(InstallerProfile, RacingProcessesReturnTheSameProfile) {
  constexpr int kChildren = 3;
  const fs::path folder = Folder(L"race");
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    const fs::path profile = folder / L"Installer" / L"profile-id";
    fs::remove_all(folder / L"Installer");
    const std::wstring name = L"tavo-profile-race-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(round);
    UniqueKernelHandle start(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(start);
    std::vector<UniqueKernelHandle> ready, children;
    std::vector<HANDLE> readyHandles, childHandles;
    std::vector<fs::path> outputs;
    for (int i = 0; i < kChildren; ++i) {
      const std::wstring readyName = name + L"-ready-" + std::to_wstring(i);
      ready.emplace_back(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
      outputs.push_back(folder / (std::to_wstring(round) + L"-" + std::to_wstring(i) + L".txt"));
      children.push_back(StartChild(profile.wstring(), name, readyName, outputs.back()));
      ASSERT_TRUE(ready.back() && children.back()) << ::GetLastError();
      readyHandles.push_back(ready.back().get());
      childHandles.push_back(children.back().get());
    }
    ASSERT_EQ(::WaitForMultipleObjects(kChildren, readyHandles.data(), TRUE, 60000), WAIT_OBJECT_0);
    ::SetEvent(start.get());
    ASSERT_EQ(::WaitForMultipleObjects(kChildren, childHandles.data(), TRUE, 60000), WAIT_OBJECT_0);
    const std::string first = Read(outputs[0]);
    EXPECT_EQ(first.size(), 38u) << first;
    for (const fs::path& output : outputs) EXPECT_EQ(Read(output), first);
    EXPECT_EQ(Read(profile), first);
    EXPECT_EQ(Names(profile.parent_path()), std::vector<std::wstring>{L"profile-id"});
  }
}

}  // namespace
}  // namespace tavo
