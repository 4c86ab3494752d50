#include "tests/simplatform/package_store.h"

#include <windows.h>
#include <sddl.h>

#include <utility>

#include "common/handles.h"

namespace tavo::sim {
namespace {

bool SameText(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace

PackageStore::PackageStore(const std::vector<PackageRecord>& packages, std::wstring currentUser)
    : currentUser_(std::move(currentUser)) {
  for (const PackageRecord& package : packages) packages_.push_back(std::make_shared<const PackageRecord>(package));
}

void PackageStore::Register(const PackageRecord& package) {
  auto registered = std::make_shared<const PackageRecord>(package);
  for (PackagePtr& existing : packages_) {
    if (BelongsTo(*existing, L"") && SameText(existing->fullName, package.fullName)) {
      existing = std::move(registered);
      return;
    }
  }
  packages_.push_back(std::move(registered));
}

bool PackageStore::BelongsTo(const PackageRecord& package, std::wstring_view user) const {
  const std::wstring_view owner = package.user.empty() ? std::wstring_view(currentUser_) : package.user;
  return SameText(owner, user.empty() ? std::wstring_view(currentUser_) : user);
}

std::vector<PackagePtr> PackageStore::FindForUser(std::wstring_view user, std::wstring_view name,
                                                  std::wstring_view publisher) const {
  std::vector<PackagePtr> found;
  for (const PackagePtr& package : packages_) {
    if (BelongsTo(*package, user) && SameText(package->name, name) && SameText(package->publisher, publisher)) {
      found.push_back(package);
    }
  }
  return found;
}

PackagePtr PackageStore::FindByFullName(std::wstring_view user, std::wstring_view fullName) const {
  for (const PackagePtr& package : packages_) {
    if (BelongsTo(*package, user) && SameText(package->fullName, fullName)) {
      return package->registered ? package : nullptr;
    }
  }
  return nullptr;
}

std::wstring CurrentUserSid() {
  HANDLE raw_token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw_token)) return {};
  const UniqueKernelHandle token(raw_token);
  alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!::GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size)) return {};
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) return {};
  const UniqueLocal owner(text);
  return text;
}

}  // namespace tavo::sim
