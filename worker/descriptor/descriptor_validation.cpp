#include "worker/descriptor/descriptor_validation.h"

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>

#include "build_info.h"
#include "common/diagnostics/error_record.h"
#include "worker/run/error_store.h"
#include "worker/run/errors.h"
#include "worker/run/state.h"

namespace tavo::worker {
namespace {

// The App Installer file schema's namespaces, exactly as the schema writes them.
constexpr std::wstring_view kAcceptedNamespaces[] = {
    L"http://schemas.microsoft.com/appx/appinstaller/2017",
    L"http://schemas.microsoft.com/appx/appinstaller/2017/2",
    L"http://schemas.microsoft.com/appx/appinstaller/2018",
    L"http://schemas.microsoft.com/appx/appinstaller/2021",
};

struct Rejection {
  uint32_t code;
  const wchar_t* operation;
  const wchar_t* message;
};

constexpr wchar_t kInvalidUpdateSettings[] = L"The update descriptor contains invalid update settings.";

constexpr Rejection kNamespaceInvalid{0xA0041104, L"descriptor.namespace_invalid",
                                      L"The update descriptor uses an unexpected XML namespace."};
constexpr Rejection kSourceInvalid{0xA0041105, L"descriptor.source_invalid",
                                   L"The update source doesn't match Tavo's trusted update address."};
constexpr Rejection kIdentityInvalid{0xA0041106, L"descriptor.identity_invalid",
                                     L"The download descriptor doesn't match the expected Tavo package identity."};
constexpr Rejection kUpdateSettingsInvalid{0xA0041107, L"descriptor.update_settings_invalid", kInvalidUpdateSettings};
constexpr Rejection kOnLaunchInvalid{0xA0041108, L"descriptor.on_launch_invalid", kInvalidUpdateSettings};
constexpr Rejection kBackgroundInvalid{0xA0041109, L"descriptor.background_invalid", kInvalidUpdateSettings};
constexpr Rejection kForceUpdateInvalid{0xA004110A, L"descriptor.force_update_invalid", kInvalidUpdateSettings};
constexpr Rejection kUnsupportedElement{0xA004110B, L"descriptor.unsupported_element",
                                        L"The update descriptor contains a package or setting this installer doesn't "
                                        L"support. Download the latest setup from Tavo's website."};
constexpr Rejection kRequiredElementsMissing{0xA004110C, L"descriptor.required_elements_missing",
                                             L"The descriptor is missing its package or automatic update settings."};

constexpr wchar_t kXmlParseError[] = L"descriptor.xml_parse_error";
constexpr wchar_t kXmlParseMessage[] =
    L"The update descriptor isn't valid XML. Check your internet connection or network sign-in page, then try again.";

[[noreturn]] void Reject(const Rejection& rule) {
  throw SetupError(static_cast<HRESULT>(rule.code), rule.message, rule.operation);
}

// The reader's own failure is recorded here, with the reader's code, so that
// the report shows what XmlLite said; the run's entry does not record it again.
[[noreturn]] void RejectUnreadable(HRESULT readError) {
  ErrorRecord record = RecordFromCode(kXmlParseError, L"IXmlReader::Read failed.", readError);
  record.attempt = Worker().currentAttempt;
  AddRecord(std::move(record));
  SetupError error(readError, kXmlParseMessage, kXmlParseError);
  error.set_recorded(true);
  throw error;
}

bool IsAcceptedNamespace(std::wstring_view uri) {
  for (std::wstring_view accepted : kAcceptedNamespaces)
    if (uri == accepted) return true;
  return false;
}

struct Seen {
  bool appInstaller = false;
  bool mainPackage = false;
  bool updateSettings = false;
  bool onLaunch = false;
  bool automaticBackgroundTask = false;
  bool forceUpdateFromAnyVersion = false;
  bool insideUpdateSettings = false;
};

// Name, Publisher, Version, ProcessorArchitecture and Uri, in that order.
bool IsTavoPackage(DescriptorXml& xml) {
  return xml.Attribute(L"Name") == build::kPackageName && xml.Attribute(L"Publisher") == build::kPackagePublisher &&
         IsVersionText(xml.Attribute(L"Version")) &&
         xml.Attribute(L"ProcessorArchitecture") == build::kProcessorArchitecture &&
         TrustedUri(xml.Attribute(L"Uri"), false);
}

// OnLaunch, AutomaticBackgroundTask and ForceUpdateFromAnyVersion: once each,
// directly inside UpdateSettings.
void CheckUpdateSetting(bool& seen, const Seen& state, uint32_t depth, const Rejection& rule) {
  if (!state.insideUpdateSettings || depth != 2 || seen) Reject(rule);
  seen = true;
}

void CheckElement(DescriptorXml& xml, Seen& seen) {
  const std::wstring name = xml.LocalName();
  const uint32_t depth = xml.Depth();
  if (!IsAcceptedNamespace(xml.NamespaceUri())) Reject(kNamespaceInvalid);

  if (name == L"AppInstaller") {
    if (seen.appInstaller || depth != 0 || !IsVersionText(xml.Attribute(L"Version")) ||
        !TrustedUri(xml.Attribute(L"Uri"), true))
      Reject(kSourceInvalid);
    seen.appInstaller = true;
  } else if (name == L"MainPackage") {
    if (!seen.appInstaller || depth != 1 || seen.mainPackage || !IsTavoPackage(xml)) Reject(kIdentityInvalid);
    seen.mainPackage = true;
  } else if (name == L"UpdateSettings") {
    if (!seen.appInstaller || depth != 1 || seen.updateSettings) Reject(kUpdateSettingsInvalid);
    seen.updateSettings = true;
    // An empty element has no end element to close it.
    seen.insideUpdateSettings = !xml.IsEmptyElement();
  } else if (name == L"OnLaunch") {
    CheckUpdateSetting(seen.onLaunch, seen, depth, kOnLaunchInvalid);
  } else if (name == L"AutomaticBackgroundTask") {
    CheckUpdateSetting(seen.automaticBackgroundTask, seen, depth, kBackgroundInvalid);
  } else if (name == L"ForceUpdateFromAnyVersion") {
    CheckUpdateSetting(seen.forceUpdateFromAnyVersion, seen, depth, kForceUpdateInvalid);
  } else {
    Reject(kUnsupportedElement);
  }
}

}  // namespace

void ValidateDescriptor(std::string_view body) {
  std::unique_ptr<DescriptorXml> xml = OpenDescriptorXml(body);
  ValidateDescriptorXml(*xml);
}

void ValidateDescriptorXml(DescriptorXml& xml) {
  Seen seen;
  for (;;) {
    DescriptorXml::Node node = DescriptorXml::Node::Other;
    HRESULT hr = xml.Read(node);
    if (FAILED(hr)) RejectUnreadable(hr);
    if (hr != S_OK) break;  // S_FALSE: the end of the document
    if (node == DescriptorXml::Node::Element) {
      CheckElement(xml, seen);
    } else if (node == DescriptorXml::Node::EndElement && xml.LocalName() == L"UpdateSettings") {
      seen.insideUpdateSettings = false;
    }
  }
  if (!seen.appInstaller || !seen.mainPackage || !seen.onLaunch || !seen.automaticBackgroundTask)
    Reject(kRequiredElementsMissing);
}

bool TrustedUri(std::wstring_view text, bool exact) {
  // WinHttpCrackUrl stops at a null character, so text holding one would be
  // judged by its first part alone.
  if (text.empty() || text.size() > INT32_MAX || text.find(L'\0') != std::wstring_view::npos) return false;
  const std::wstring url(text);

  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  // Non-zero lengths ask for pointers into `url`.
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUserNameLength = static_cast<DWORD>(-1);
  parts.dwPasswordLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;

  if (parts.nScheme != INTERNET_SCHEME_HTTPS || parts.nPort != INTERNET_DEFAULT_HTTPS_PORT) return false;
  if (parts.dwUserNameLength != 0 || parts.dwPasswordLength != 0) return false;
  if (parts.dwUrlPathLength < 2 || parts.dwExtraInfoLength != 0) return false;
  // Not every WinHTTP splits a fragment off the path (Wine's keeps it there).
  if (std::wstring_view(parts.lpszUrlPath, parts.dwUrlPathLength).find_first_of(L"?#") != std::wstring_view::npos)
    return false;
  if (!parts.lpszHostName || parts.dwHostNameLength > INT32_MAX) return false;
  if (::CompareStringOrdinal(parts.lpszHostName, static_cast<int>(parts.dwHostNameLength), build::kPackageHost, -1,
                             TRUE) != CSTR_EQUAL)
    return false;
  return !exact || text == build::kDescriptorUri;
}

bool IsVersionText(std::wstring_view text) {
  int parts = 0;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(L'.', start);
    std::wstring_view part = text.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start);
    if (part.empty() || part.size() > 5) return false;
    uint32_t value = 0;
    for (wchar_t c : part) {
      if (c < L'0' || c > L'9') return false;
      value = value * 10 + static_cast<uint32_t>(c - L'0');
    }
    if (value > 65535) return false;
    ++parts;
    if (end == std::wstring_view::npos) break;
    start = end + 1;
  }
  return parts == 4;
}

}  // namespace tavo::worker
