#include "common/telemetry/installer_profile.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <stdexcept>

#include "common/folders.h"
#include "common/handles.h"
#include "common/known_folders.h"
#include "common/telemetry/visitor_id.h"
#include "common/text.h"

namespace tavo {
namespace {

constexpr size_t kGuidTextBytes = 38;

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool IsBracedGuidBytes(std::string_view bytes) {
  if (bytes.size() != kGuidTextBytes || bytes.front() != '{' || bytes.back() != '}') return false;
  for (size_t i = 1; i < kGuidTextBytes - 1; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? bytes[i] != '-' : !IsHex(bytes[i])) return false;
  }
  return true;
}

bool IsFile(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The profile's folder with every missing parent; false when it cannot be made.
bool EnsureFolder(const std::wstring& folder) {
  try {
    CreateFolders(folder);
    return true;
  } catch (const std::runtime_error&) {
    return false;  // the caller goes on without a profile, as for any profile failure
  }
}

std::wstring NewGuidText() {
  GUID guid{};
  if (FAILED(::CoCreateGuid(&guid))) return {};
  wchar_t text[39] = {};
  if (::StringFromGUID2(guid, text, 39) != 39) return {};
  return text;
}

bool WriteWhole(HANDLE file, const std::string& content) {
  DWORD written = 0;
  return ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size() && ::FlushFileBuffers(file);
}

std::wstring GetOrCreate(const std::wstring& path, std::wstring_view visitorId) {
  if (std::wstring existing = ReadProfile(path); !existing.empty()) return existing;

  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos || !EnsureFolder(path.substr(0, slash))) return {};

  const std::wstring guid = NewGuidText();
  if (guid.empty()) return {};
  const std::string visitor = Utf8(visitorId);
  const std::string content = IsVisitorId(visitor) ? visitor : Utf8(guid);

  // A name of our own: two racing processes never share a temporary file.
  const std::wstring temp = path + L"." + guid + L".tmp";
  {
    UniqueFile file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ReadProfile(path);  // another process may have just made the profile
    if (!WriteWhole(file.get(), content)) {
      file.reset();
      ::DeleteFileW(temp.c_str());
      return {};
    }
  }

  // Never replaces a profile that another process completed first.
  bool moved = ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
  if (!moved && ReadProfile(path).empty() && IsFile(path)) {
    // What is there is no profile at all: a damaged file, replaced.
    moved = ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  if (!moved) ::DeleteFileW(temp.c_str());
  // What is on disk, whichever process won.
  return ReadProfile(path);
}

}  // namespace

bool IsProfileContent(std::string_view bytes) { return IsVisitorId(bytes) || IsBracedGuidBytes(bytes); }

std::wstring ProfilePath() {
  wchar_t* folder = nullptr;
  HRESULT hr = ::SHGetKnownFolderPath(kFolderLocalAppData, 0, nullptr, &folder);
  std::wstring path;
  if (SUCCEEDED(hr) && folder) path = std::wstring(folder) + L"\\Tavo\\Installer\\profile-id";
  ::CoTaskMemFree(folder);  // also after a failure, as the known-folder contract asks
  return path;
}

std::wstring ReadProfile(const std::wstring& path) {
  if (path.empty()) return {};
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) return {};
  if (size.QuadPart != kVisitorIdLength && size.QuadPart != kGuidTextBytes) return {};
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
    return {};
  return IsProfileContent(bytes) ? Utf16(bytes) : std::wstring();
}

std::wstring GetOrCreateProfileAt(const std::wstring& path, std::wstring_view visitorId) {
  try {
    return path.empty() ? std::wstring() : GetOrCreate(path, visitorId);
  } catch (...) {
    // Only memory can run out here; an unknown profile is sent as null.
    return {};
  }
}

std::wstring GetOrCreateProfile(std::wstring_view visitorId) {
  try {
    return GetOrCreateProfileAt(ProfilePath(), visitorId);
  } catch (...) {
    return {};  // as above: the profile is optional, the caller never fails for it
  }
}

}  // namespace tavo
