// Pins the hand-written Windows Runtime declarations of common/winrt/abi.h to the
// Windows ABI recorded in tests/data/winrt_abi_expected.txt: every IID, the vtable
// slot of every method (and that no interface has extra slots), the parameterised
// IIDs recomputed from their signatures, and the layout of the plain types.
// The worker and the simulated platform share the header, so a wrong slot would
// work under test and fail on Windows; only this comparison catches it.
#include <windows.h>
#include <bcrypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"
#include "common/winrt/abi.h"

#ifndef TAVO_TEST_DATA_DIR
#error "TAVO_TEST_DATA_DIR must be defined as the test data directory (a string literal)"
#endif

namespace {

namespace abi = tavo::abi;

// ---- Declarations under test ----------------------------------------------

const std::map<std::string, IID>& DeclaredIids() {
#define TAVO_DECLARED_IID(name) {#name, abi::IID_##name}
  static const std::map<std::string, IID> iids = {
      TAVO_DECLARED_IID(IApiInformationStatics),  TAVO_DECLARED_IID(IPackageManager),
      TAVO_DECLARED_IID(IPackageManager6),        TAVO_DECLARED_IID(IIterable_Package),
      TAVO_DECLARED_IID(IIterator_Package),       TAVO_DECLARED_IID(IPackage),
      TAVO_DECLARED_IID(IPackage3),               TAVO_DECLARED_IID(IPackage6),
      TAVO_DECLARED_IID(IPackageId),              TAVO_DECLARED_IID(IPackageStatus),
      TAVO_DECLARED_IID(IPackageStatus2),         TAVO_DECLARED_IID(IAppInstallerInfo),
      TAVO_DECLARED_IID(IAppInstallerInfo2),      TAVO_DECLARED_IID(IUriRuntimeClass),
      TAVO_DECLARED_IID(IUriRuntimeClassFactory), TAVO_DECLARED_IID(IAsyncInfo),
      TAVO_DECLARED_IID(IDeploymentResult),       TAVO_DECLARED_IID(IDeploymentResult2),
      TAVO_DECLARED_IID(IDeploymentOperation),    TAVO_DECLARED_IID(IDeploymentProgressHandler),
      TAVO_DECLARED_IID(IDeploymentCompletedHandler),
  };
#undef TAVO_DECLARED_IID
  return iids;
}

// With g++'s (Itanium) C++ ABI a pointer to a virtual member function holds
// 1 + the byte offset of its vtable entry, followed by a this-adjustment.
template <typename Method>
std::size_t SlotOf(Method method) {
  struct Raw {
    std::uintptr_t ptr;
    std::ptrdiff_t adjust;
  };
  static_assert(sizeof(Method) == sizeof(Raw));
  Raw raw;
  std::memcpy(&raw, &method, sizeof raw);
  EXPECT_EQ(raw.ptr % sizeof(void*), 1u) << "not a virtual member function";
  EXPECT_EQ(raw.adjust, 0);
  return (raw.ptr - 1) / sizeof(void*);
}

// A method appended by a derived interface takes the first slot after the base's
// last one, so its slot is the number of slots the base declares.
template <typename Interface>
struct Extended : Interface {
  virtual void Appended() = 0;
  virtual ~Extended() = default;
};
template <typename Interface>
std::size_t SlotCount() {
  return SlotOf(&Extended<Interface>::Appended);
}

struct DeclaredInterface {
  std::size_t slot_count;
  std::map<std::string, std::size_t> slots;  // method -> slot
};

const std::map<std::string, DeclaredInterface>& DeclaredInterfaces() {
#define TAVO_INTERFACE(name, ...) {#name, {SlotCount<abi::name>(), {__VA_ARGS__}}}
#define TAVO_SLOT(iface, method) {#method, SlotOf(&abi::iface::method)}
  static const std::map<std::string, DeclaredInterface> interfaces = {
      TAVO_INTERFACE(IApiInformationStatics, TAVO_SLOT(IApiInformationStatics, IsTypePresent),
                     TAVO_SLOT(IApiInformationStatics, IsMethodPresent),
                     TAVO_SLOT(IApiInformationStatics, IsMethodPresentWithArity),
                     TAVO_SLOT(IApiInformationStatics, IsEventPresent),
                     TAVO_SLOT(IApiInformationStatics, IsPropertyPresent),
                     TAVO_SLOT(IApiInformationStatics, IsReadOnlyPropertyPresent),
                     TAVO_SLOT(IApiInformationStatics, IsWriteablePropertyPresent),
                     TAVO_SLOT(IApiInformationStatics, IsEnumNamedValuePresent),
                     TAVO_SLOT(IApiInformationStatics, IsApiContractPresentByMajor),
                     TAVO_SLOT(IApiInformationStatics, IsApiContractPresentByMajorAndMinor)),
      TAVO_INTERFACE(IPackageManager, TAVO_SLOT(IPackageManager, AddPackageAsync),
                     TAVO_SLOT(IPackageManager, UpdatePackageAsync), TAVO_SLOT(IPackageManager, RemovePackageAsync),
                     TAVO_SLOT(IPackageManager, StagePackageAsync), TAVO_SLOT(IPackageManager, RegisterPackageAsync),
                     TAVO_SLOT(IPackageManager, FindPackages), TAVO_SLOT(IPackageManager, FindPackagesByUserSecurityId),
                     TAVO_SLOT(IPackageManager, FindPackagesByNamePublisher),
                     TAVO_SLOT(IPackageManager, FindPackagesByUserSecurityIdNamePublisher),
                     TAVO_SLOT(IPackageManager, FindUsers), TAVO_SLOT(IPackageManager, SetPackageState),
                     TAVO_SLOT(IPackageManager, FindPackageByPackageFullName),
                     TAVO_SLOT(IPackageManager, CleanupPackageForUserAsync),
                     TAVO_SLOT(IPackageManager, FindPackagesByPackageFamilyName),
                     TAVO_SLOT(IPackageManager, FindPackagesByUserSecurityIdPackageFamilyName),
                     TAVO_SLOT(IPackageManager, FindPackageByUserSecurityIdPackageFullName)),
      TAVO_INTERFACE(IPackageManager6, TAVO_SLOT(IPackageManager6, ProvisionPackageForAllUsersAsync),
                     TAVO_SLOT(IPackageManager6, AddPackageByAppInstallerFileAsync),
                     TAVO_SLOT(IPackageManager6, RequestAddPackageByAppInstallerFileAsync),
                     TAVO_SLOT(IPackageManager6, AddPackageToVolumeAndRelatedSetAsync),
                     TAVO_SLOT(IPackageManager6, StagePackageToVolumeAndRelatedSetAsync),
                     TAVO_SLOT(IPackageManager6, RequestAddPackageAsync)),
      TAVO_INTERFACE(IIterable_Package, TAVO_SLOT(IIterable_Package, First)),
      TAVO_INTERFACE(IIterator_Package, TAVO_SLOT(IIterator_Package, get_Current),
                     TAVO_SLOT(IIterator_Package, get_HasCurrent), TAVO_SLOT(IIterator_Package, MoveNext),
                     TAVO_SLOT(IIterator_Package, GetMany)),
      TAVO_INTERFACE(IPackage, TAVO_SLOT(IPackage, get_Id), TAVO_SLOT(IPackage, get_InstalledLocation),
                     TAVO_SLOT(IPackage, get_IsFramework), TAVO_SLOT(IPackage, get_Dependencies)),
      TAVO_INTERFACE(IPackage3, TAVO_SLOT(IPackage3, get_Status), TAVO_SLOT(IPackage3, get_InstalledDate),
                     TAVO_SLOT(IPackage3, GetAppListEntriesAsync)),
      TAVO_INTERFACE(IPackage6, TAVO_SLOT(IPackage6, GetAppInstallerInfo),
                     TAVO_SLOT(IPackage6, CheckUpdateAvailabilityAsync)),
      TAVO_INTERFACE(IPackageId, TAVO_SLOT(IPackageId, get_Name), TAVO_SLOT(IPackageId, get_Version),
                     TAVO_SLOT(IPackageId, get_Architecture), TAVO_SLOT(IPackageId, get_ResourceId),
                     TAVO_SLOT(IPackageId, get_Publisher), TAVO_SLOT(IPackageId, get_PublisherId),
                     TAVO_SLOT(IPackageId, get_FullName), TAVO_SLOT(IPackageId, get_FamilyName)),
      TAVO_INTERFACE(IPackageStatus, TAVO_SLOT(IPackageStatus, VerifyIsOK), TAVO_SLOT(IPackageStatus, get_NotAvailable),
                     TAVO_SLOT(IPackageStatus, get_PackageOffline), TAVO_SLOT(IPackageStatus, get_DataOffline),
                     TAVO_SLOT(IPackageStatus, get_Disabled), TAVO_SLOT(IPackageStatus, get_NeedsRemediation),
                     TAVO_SLOT(IPackageStatus, get_LicenseIssue), TAVO_SLOT(IPackageStatus, get_Modified),
                     TAVO_SLOT(IPackageStatus, get_Tampered), TAVO_SLOT(IPackageStatus, get_DependencyIssue),
                     TAVO_SLOT(IPackageStatus, get_Servicing), TAVO_SLOT(IPackageStatus, get_DeploymentInProgress)),
      TAVO_INTERFACE(IPackageStatus2, TAVO_SLOT(IPackageStatus2, get_IsPartiallyStaged)),
      TAVO_INTERFACE(IAppInstallerInfo, TAVO_SLOT(IAppInstallerInfo, get_Uri)),
      TAVO_INTERFACE(IAppInstallerInfo2, TAVO_SLOT(IAppInstallerInfo2, get_OnLaunch),
                     TAVO_SLOT(IAppInstallerInfo2, get_HoursBetweenUpdateChecks),
                     TAVO_SLOT(IAppInstallerInfo2, get_ShowPrompt),
                     TAVO_SLOT(IAppInstallerInfo2, get_UpdateBlocksActivation),
                     TAVO_SLOT(IAppInstallerInfo2, get_AutomaticBackgroundTask),
                     TAVO_SLOT(IAppInstallerInfo2, get_ForceUpdateFromAnyVersion),
                     TAVO_SLOT(IAppInstallerInfo2, get_IsAutoRepairEnabled), TAVO_SLOT(IAppInstallerInfo2, get_Version),
                     TAVO_SLOT(IAppInstallerInfo2, get_LastChecked), TAVO_SLOT(IAppInstallerInfo2, get_PausedUntil),
                     TAVO_SLOT(IAppInstallerInfo2, get_UpdateUris), TAVO_SLOT(IAppInstallerInfo2, get_RepairUris),
                     TAVO_SLOT(IAppInstallerInfo2, get_DependencyPackageUris),
                     TAVO_SLOT(IAppInstallerInfo2, get_OptionalPackageUris),
                     TAVO_SLOT(IAppInstallerInfo2, get_PolicySource)),
      TAVO_INTERFACE(IUriRuntimeClass, TAVO_SLOT(IUriRuntimeClass, get_AbsoluteUri),
                     TAVO_SLOT(IUriRuntimeClass, get_DisplayUri), TAVO_SLOT(IUriRuntimeClass, get_Domain),
                     TAVO_SLOT(IUriRuntimeClass, get_Extension), TAVO_SLOT(IUriRuntimeClass, get_Fragment),
                     TAVO_SLOT(IUriRuntimeClass, get_Host), TAVO_SLOT(IUriRuntimeClass, get_Password),
                     TAVO_SLOT(IUriRuntimeClass, get_Path), TAVO_SLOT(IUriRuntimeClass, get_Query),
                     TAVO_SLOT(IUriRuntimeClass, get_QueryParsed), TAVO_SLOT(IUriRuntimeClass, get_RawUri),
                     TAVO_SLOT(IUriRuntimeClass, get_SchemeName), TAVO_SLOT(IUriRuntimeClass, get_UserName),
                     TAVO_SLOT(IUriRuntimeClass, get_Port), TAVO_SLOT(IUriRuntimeClass, get_Suspicious),
                     TAVO_SLOT(IUriRuntimeClass, Equals), TAVO_SLOT(IUriRuntimeClass, CombineUri)),
      TAVO_INTERFACE(IUriRuntimeClassFactory, TAVO_SLOT(IUriRuntimeClassFactory, CreateUri),
                     TAVO_SLOT(IUriRuntimeClassFactory, CreateWithRelativeUri)),
      TAVO_INTERFACE(IAsyncInfo, TAVO_SLOT(IAsyncInfo, get_Id), TAVO_SLOT(IAsyncInfo, get_Status),
                     TAVO_SLOT(IAsyncInfo, get_ErrorCode), TAVO_SLOT(IAsyncInfo, Cancel),
                     TAVO_SLOT(IAsyncInfo, Close)),
      TAVO_INTERFACE(IDeploymentResult, TAVO_SLOT(IDeploymentResult, get_ErrorText),
                     TAVO_SLOT(IDeploymentResult, get_ActivityId), TAVO_SLOT(IDeploymentResult, get_ExtendedErrorCode)),
      TAVO_INTERFACE(IDeploymentResult2, TAVO_SLOT(IDeploymentResult2, get_IsRegistered)),
      TAVO_INTERFACE(IDeploymentOperation, TAVO_SLOT(IDeploymentOperation, put_Progress),
                     TAVO_SLOT(IDeploymentOperation, get_Progress), TAVO_SLOT(IDeploymentOperation, put_Completed),
                     TAVO_SLOT(IDeploymentOperation, get_Completed), TAVO_SLOT(IDeploymentOperation, GetResults)),
      TAVO_INTERFACE(IDeploymentProgressHandler, TAVO_SLOT(IDeploymentProgressHandler, Invoke)),
      TAVO_INTERFACE(IDeploymentCompletedHandler, TAVO_SLOT(IDeploymentCompletedHandler, Invoke)),
  };
#undef TAVO_SLOT
#undef TAVO_INTERFACE
  return interfaces;
}

// ---- The expected table ---------------------------------------------------

using GuidBytes = std::array<std::uint8_t, 16>;  // RFC 4122 (big-endian) order

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" -> bytes in text order.
std::optional<GuidBytes> ParseGuid(std::string_view text) {
  if (text.size() != 36) return {};
  std::string hex;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash != (text[i] == '-')) return {};
    if (!dash) hex += text[i];
  }
  GuidBytes bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = HexDigit(hex[2 * i]);
    const int low = HexDigit(hex[2 * i + 1]);
    if (high < 0 || low < 0) return {};
    bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return bytes;
}

GuidBytes BytesOf(const IID& iid) {
  GuidBytes b{};
  for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(iid.Data1 >> (24 - 8 * i));
  b[4] = static_cast<std::uint8_t>(iid.Data2 >> 8);
  b[5] = static_cast<std::uint8_t>(iid.Data2);
  b[6] = static_cast<std::uint8_t>(iid.Data3 >> 8);
  b[7] = static_cast<std::uint8_t>(iid.Data3);
  std::memcpy(&b[8], iid.Data4, 8);
  return b;
}

std::string Text(const GuidBytes& b) {
  char out[37];
  std::snprintf(out, sizeof out, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return out;
}

struct ExpectedTable {
  std::map<std::string, GuidBytes> iids;
  std::map<std::string, std::map<std::string, std::size_t>> slots;  // interface -> method -> slot
  std::map<std::string, std::string> signatures;                     // interface -> signature
  std::vector<std::pair<GuidBytes, std::string>> known;              // published IID, signature
};

// Parses the table; malformed lines become test failures naming the line.
ExpectedTable LoadTable() {
  const std::string path = std::string(TAVO_TEST_DATA_DIR) + "/winrt_abi_expected.txt";
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << "cannot open " << path;
  ExpectedTable table;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::size_t start = 0;
    // The last field of `signature` and `known` lines runs to the end of the line.
    const std::size_t fields = line.rfind("slot ", 0) == 0 ? 4 : 3;
    while (f.size() + 1 < fields) {
      const std::size_t space = line.find(' ', start);
      if (space == std::string::npos) break;
      f.push_back(line.substr(start, space - start));
      start = space + 1;
    }
    f.push_back(line.substr(start));
    const std::string where = path + ":" + std::to_string(number) + ": ";
    if (f.size() != fields) {
      ADD_FAILURE() << where << "malformed line: " << line;
      continue;
    }
    if (f[0] == "iid" || f[0] == "known") {
      const auto guid = ParseGuid(f[f[0] == "iid" ? 2 : 1]);
      if (!guid) {
        ADD_FAILURE() << where << "malformed IID: " << line;
      } else if (f[0] == "iid") {
        EXPECT_TRUE(table.iids.emplace(f[1], *guid).second) << where << "duplicate";
      } else {
        table.known.emplace_back(*guid, f[2]);
      }
    } else if (f[0] == "slot") {
      std::size_t slot = 0;
      const auto [end, error] = std::from_chars(f[3].data(), f[3].data() + f[3].size(), slot);
      if (error != std::errc() || end != f[3].data() + f[3].size()) {
        ADD_FAILURE() << where << "malformed slot: " << line;
        continue;
      }
      EXPECT_TRUE(table.slots[f[1]].emplace(f[2], slot).second) << where << "duplicate";
    } else if (f[0] == "signature") {
      EXPECT_TRUE(table.signatures.emplace(f[1], f[2]).second) << where << "duplicate";
    } else {
      ADD_FAILURE() << where << "unknown kind: " << line;
    }
  }
  EXPECT_FALSE(table.iids.empty()) << path << " lists no IIDs";
  return table;
}

// ---- Parameterised-interface IIDs -----------------------------------------

struct AlgorithmTraits {
  using type = BCRYPT_ALG_HANDLE;
  static type invalid() { return nullptr; }
  static void close(type h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};

std::array<std::uint8_t, 20> Sha1(const std::vector<std::uint8_t>& data) {
  tavo::UniqueHandle<AlgorithmTraits> algorithm;
  std::array<std::uint8_t, 20> digest{};
  NTSTATUS status = ::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA1_ALGORITHM, nullptr, 0);
  EXPECT_EQ(status, 0) << "BCryptOpenAlgorithmProvider(SHA1)";
  if (status != 0) return digest;
  status = ::BCryptHash(algorithm.get(), nullptr, 0, const_cast<PUCHAR>(data.data()), static_cast<ULONG>(data.size()),
                        digest.data(), static_cast<ULONG>(digest.size()));
  EXPECT_EQ(status, 0) << "BCryptHash";
  return digest;
}

// The IID of a parameterised interface is the UUIDv5 (SHA-1) of its signature
// in the Windows Runtime namespace 11f47ad5-7b73-42c0-abae-878b1e16adee.
GuidBytes PinterfaceIid(const std::string& signature) {
  const GuidBytes ns = *ParseGuid("11f47ad5-7b73-42c0-abae-878b1e16adee");
  std::vector<std::uint8_t> data(ns.begin(), ns.end());
  data.insert(data.end(), signature.begin(), signature.end());
  const auto digest = Sha1(data);
  GuidBytes iid{};
  std::memcpy(iid.data(), digest.data(), iid.size());
  iid[6] = static_cast<std::uint8_t>((iid[6] & 0x0F) | 0x50);
  iid[8] = static_cast<std::uint8_t>((iid[8] & 0x3F) | 0x80);
  return iid;
}

// ---- Tests -----------------------------------------------------------------

TEST(WinrtAbi, DeclaredIidsMatchTheTable) {
  const ExpectedTable table = LoadTable();
  for (const auto& [name, iid] : DeclaredIids()) {
    const auto expected = table.iids.find(name);
    if (expected == table.iids.end()) {
      ADD_FAILURE() << "IID_" << name << " is declared but not in the table";
      continue;
    }
    EXPECT_EQ(Text(BytesOf(iid)), Text(expected->second)) << "IID_" << name;
  }
  for (const auto& [name, iid] : table.iids) {
    EXPECT_TRUE(DeclaredIids().count(name)) << name << " is in the table but IID_" << name << " is not declared";
  }
}

TEST(WinrtAbi, EveryMethodSitsInItsWindowsSlotAndNoInterfaceHasExtraSlots) {
  const ExpectedTable table = LoadTable();
  for (const auto& [name, declared] : DeclaredInterfaces()) {
    const auto expected = table.slots.find(name);
    if (expected == table.slots.end()) {
      ADD_FAILURE() << name << " is declared but has no slots in the table";
      continue;
    }
    std::size_t last = 0;
    for (const auto& [method, slot] : expected->second) {
      last = std::max(last, slot);
      const auto found = declared.slots.find(method);
      if (found == declared.slots.end()) {
        ADD_FAILURE() << name << "::" << method << " (slot " << slot << ") is not declared";
        continue;
      }
      EXPECT_EQ(found->second, slot) << name << "::" << method;
    }
    for (const auto& [method, slot] : declared.slots) {
      EXPECT_TRUE(expected->second.count(method)) << name << "::" << method << " is declared but not in the table";
    }
    EXPECT_EQ(declared.slot_count, last + 1) << name << " declares a different number of vtable slots";
  }
  for (const auto& [name, slots] : table.slots) {
    EXPECT_TRUE(DeclaredInterfaces().count(name)) << name << " is in the table but not declared";
  }
}

TEST(WinrtAbi, ParameterisedIidsAreTheUuid5OfTheirSignatures) {
  const ExpectedTable table = LoadTable();
  // Published instantiations first: they prove the hashing itself.
  ASSERT_FALSE(table.known.empty());
  for (const auto& [iid, signature] : table.known) {
    EXPECT_EQ(Text(PinterfaceIid(signature)), Text(iid)) << signature;
  }
  ASSERT_FALSE(table.signatures.empty());
  for (const auto& [name, signature] : table.signatures) {
    const GuidBytes computed = PinterfaceIid(signature);
    const auto listed = table.iids.find(name);
    ASSERT_NE(listed, table.iids.end()) << name << " has a signature but no IID";
    EXPECT_EQ(Text(computed), Text(listed->second)) << name << ": " << signature;
    const auto declared = DeclaredIids().find(name);
    ASSERT_NE(declared, DeclaredIids().end()) << name;
    EXPECT_EQ(Text(computed), Text(BytesOf(declared->second))) << "IID_" << name;
  }
}

TEST(WinrtAbi, PlainTypesHaveTheWindowsLayout) {
  EXPECT_EQ(sizeof(boolean), 1u);
  EXPECT_EQ(sizeof(abi::PackageVersion), 8u);
  EXPECT_EQ(offsetof(abi::PackageVersion, Minor), 2u);
  EXPECT_EQ(offsetof(abi::PackageVersion, Build), 4u);
  EXPECT_EQ(offsetof(abi::PackageVersion, Revision), 6u);
  EXPECT_EQ(sizeof(abi::DeploymentProgress), 8u);
  EXPECT_EQ(offsetof(abi::DeploymentProgress, percentage), 4u);
  EXPECT_EQ(sizeof(abi::DateTime), 8u);
  EXPECT_EQ(sizeof(abi::AsyncStatus), 4u);
  EXPECT_EQ(sizeof(abi::ProcessorArchitecture), 4u);
  EXPECT_EQ(sizeof(abi::AddPackageByAppInstallerOptions), 4u);
}

}  // namespace
