// The packages installed on the simulated PC as one query of a package manager
// sees them: the scenario's, then those that deployments registered for the
// current user. Identity texts compare as Windows compares them: ordinal,
// ignoring case.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/simplatform/scenario.h"

namespace tavo::sim {

using PackagePtr = std::shared_ptr<const PackageRecord>;

class PackageStore {
 public:
  // `currentUser` is the security id that an empty user stands for.
  PackageStore(const std::vector<PackageRecord>& packages, std::wstring currentUser);

  // A package that a deployment registered for the current user; it replaces
  // the current user's package with the same full name.
  void Register(const PackageRecord& package);

  // FindPackagesForUser: the user's packages with this Name and Publisher, in
  // store order. An empty user is the current user.
  std::vector<PackagePtr> FindForUser(std::wstring_view user, std::wstring_view name,
                                      std::wstring_view publisher) const;
  // FindPackageForUser: the user's package with this full name, or null; also
  // null for a package that the scenario marks as not registered.
  PackagePtr FindByFullName(std::wstring_view user, std::wstring_view fullName) const;

 private:
  bool BelongsTo(const PackageRecord& package, std::wstring_view user) const;

  std::vector<PackagePtr> packages_;
  std::wstring currentUser_;
};

// The security id of the user this process runs as ("S-1-5-21-..."); empty if
// the token cannot be read.
std::wstring CurrentUserSid();

}  // namespace tavo::sim
