#include "common/diagnostics/error_record.h"

#include <windows.h>

#include <typeinfo>
#include <system_error>

#include "common/handles.h"
#include "common/text.h"
#include "common/winrt/error_info.h"

namespace tavo {
namespace {

// Owns a BSTR that Windows returned.
struct Bstr {
  BSTR value = nullptr;
  ~Bstr() { ::SysFreeString(value); }
  std::wstring str() const { return value ? std::wstring(value, ::SysStringLen(value)) : std::wstring(); }
};

std::wstring TrimTrailingSpace(std::wstring text) {
  while (!text.empty() && iswspace(text.back())) text.pop_back();
  return text;
}

}  // namespace

std::wstring SystemMessage(uint32_t code, DWORD language) {
  wchar_t* buffer = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  UniqueLocal owner(buffer);
  return length ? std::wstring(buffer, length) : std::wstring();
}

ErrorRecord MakeRecord(int32_t code, std::wstring id, std::wstring message) {
  ErrorRecord record;
  record.id = std::move(id);
  record.code = code;
  record.message = std::move(message);
  return record;
}

std::wstring WindowsMessage(const hresult_error& error) {
  ComPtr<IRestrictedErrorInfo> restricted;
  if (error.error_info() && SUCCEEDED(error.error_info().As(kIID_IRestrictedErrorInfo, restricted))) {
    Bstr description, restrictedDescription, sid;
    HRESULT code = error.code();
    if (SUCCEEDED(restricted->GetErrorDetails(&description.value, &code, &restrictedDescription.value, &sid.value)) &&
        code == error.code()) {
      if (restrictedDescription.value) return restrictedDescription.str();
      return description.str();
    }
  }
  // A message given when the error was made stands for the error information
  // that Windows would have originated with it (WinHTTP texts, ErrorText).
  if (!error.message().empty()) return error.message();
  return TrimTrailingSpace(SystemMessage(static_cast<uint32_t>(error.code()), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)));
}

std::wstring ExceptionMessage(const hresult_error& error) {
  return error.message().empty() ? WindowsMessage(error) : error.message();
}


ErrorRecord RecordFromWindowsError(std::wstring id, const std::wstring& text, const hresult_error& error) {
  ErrorRecord record;
  record.id = std::move(id);
  record.code = error.code();
  std::wstring windowsText = WindowsMessage(error);
  record.message = text + L" Windows: " + windowsText;
  WindowsDetail& detail = record.windows.emplace();
  detail.rawMessage = windowsText;

  if (!error.error_info()) return record;
  ComPtr<IRestrictedErrorInfo> restricted;
  if (SUCCEEDED(error.error_info().As(kIID_IRestrictedErrorInfo, restricted))) {
    detail.hasRestrictedInfo = true;
    Bstr description, restrictedDescription, sid, reference;
    HRESULT code = error.code();
    detail.detailsQueryCode =
        restricted->GetErrorDetails(&description.value, &code, &restrictedDescription.value, &sid.value);
    detail.restrictedCode = code;
    detail.description = description.str();
    detail.restrictedDescription = restrictedDescription.str();
    detail.capabilitySid = sid.str();
    detail.referenceQueryCode = restricted->GetReference(&reference.value);
    detail.reference = reference.str();
  }
  ComPtr<IErrorInfo> com;
  if (SUCCEEDED(error.error_info().As(IID_IErrorInfo, com))) {
    detail.hasComInfo = true;
    Bstr description, source;
    detail.comDescriptionQueryCode = com->GetDescription(&description.value);
    detail.comDescription = description.str();
    detail.comSourceQueryCode = com->GetSource(&source.value);
    detail.comSource = source.str();
  }
  return record;
}

ErrorRecord RecordFromCode(std::wstring id, const std::wstring& text, int32_t code) {
  ErrorRecord record;
  record.id = std::move(id);
  record.code = code;
  record.windows.emplace();
  auto bits = static_cast<uint32_t>(code);
  // Win32 errors wrapped as HRESULTs are looked up by their own number.
  uint32_t lookup = ((bits >> 16) & 0x1FFF) == FACILITY_WIN32 ? (bits & 0xFFFF) : bits;
  std::wstring windowsText = SystemMessage(lookup, 0);
  if (!windowsText.empty()) {
    record.windows->rawMessage = windowsText;
    record.message = text + L" Windows: " + windowsText;
  } else {
    record.message = text;
  }
  return record;
}

ErrorRecord RecordFromStdException(std::wstring id, const std::exception& error, int32_t code) {
  ErrorRecord record;
  record.id = std::move(id);
  record.code = code;
  record.message = L"C++ exception (" + Utf16(typeid(error).name()) + L"): " + Utf16(error.what());
  if (const auto* system = dynamic_cast<const std::system_error*>(&error)) {
    const std::error_code& ec = system->code();
    record.nativeDomain = Utf16(ec.category().name());
    record.nativeCode = ec.value();
    record.message += L" [domain " + record.nativeDomain + L", code " + std::to_wstring(ec.value()) + L"]";
    if (ec.category() == std::system_category() && ec.value() > 0)
      record.code = HresultFromWin32(static_cast<uint32_t>(ec.value()));
  }
  return record;
}

namespace {

void AppendKey(std::string& out, const char* key) { out.append(key); }

void AppendHex8(std::string& out, int32_t value) { AppendJsonString(out, Hex8(static_cast<uint32_t>(value))); }

void AppendRecordJson(std::string& out, const ErrorRecord& r) {
  AppendKey(out, "{\"id\":");
  AppendJsonString(out, r.id);
  AppendKey(out, ",\"code\":");
  AppendHex8(out, r.code);
  AppendKey(out, ",\"message\":");
  AppendJsonString(out, r.message);
  AppendKey(out, ",\"attempt\":");
  out += std::to_string(r.attempt);
  AppendKey(out, ",\"packageFullName\":");
  AppendJsonString(out, r.packageFullName);
  if (!r.nativeDomain.empty()) {
    AppendKey(out, ",\"nativeDomain\":");
    AppendJsonString(out, r.nativeDomain);
    AppendKey(out, ",\"nativeCode\":");
    out += std::to_string(r.nativeCode);
  }
  if (!r.activityId.empty()) {
    AppendKey(out, ",\"activityId\":");
    AppendJsonString(out, r.activityId);
  }
  if (r.occurrences > 1) {
    AppendKey(out, ",\"occurrences\":");
    out += std::to_string(r.occurrences);
    AppendKey(out, ",\"firstAttempt\":");
    out += std::to_string(r.firstAttempt);
    AppendKey(out, ",\"lastAttempt\":");
    out += std::to_string(r.lastAttempt);
  }
  if (!r.lastReference.empty()) {
    AppendKey(out, ",\"lastReference\":");
    AppendJsonString(out, r.lastReference);
  }
  if (r.windows) {
    const WindowsDetail& w = *r.windows;
    AppendKey(out, ",\"windows\":{\"rawMessage\":");
    AppendJsonString(out, w.rawMessage);
    AppendKey(out, ",\"hasRestrictedInfo\":");
    out += w.hasRestrictedInfo ? "true" : "false";
    AppendKey(out, ",\"description\":");
    AppendJsonString(out, w.description);
    AppendKey(out, ",\"restrictedDescription\":");
    AppendJsonString(out, w.restrictedDescription);
    AppendKey(out, ",\"capabilitySid\":");
    AppendJsonString(out, w.capabilitySid);
    AppendKey(out, ",\"reference\":");
    AppendJsonString(out, w.reference);
    AppendKey(out, ",\"restrictedCode\":");
    AppendHex8(out, w.restrictedCode);
    AppendKey(out, ",\"detailsQueryCode\":");
    AppendHex8(out, w.detailsQueryCode);
    AppendKey(out, ",\"referenceQueryCode\":");
    AppendHex8(out, w.referenceQueryCode);
    AppendKey(out, ",\"hasComInfo\":");
    out += w.hasComInfo ? "true" : "false";
    AppendKey(out, ",\"comDescription\":");
    AppendJsonString(out, w.comDescription);
    AppendKey(out, ",\"comSource\":");
    AppendJsonString(out, w.comSource);
    AppendKey(out, ",\"comDescriptionQueryCode\":");
    AppendHex8(out, w.comDescriptionQueryCode);
    AppendKey(out, ",\"comSourceQueryCode\":");
    AppendHex8(out, w.comSourceQueryCode);
    out.push_back('}');
  }
  out.push_back('}');
}

}  // namespace

std::string ErrorsJson(const std::vector<ErrorRecord>& records) {
  std::string out = "[";
  for (size_t i = 0; i < records.size(); ++i) {
    if (i) out.push_back(',');
    AppendRecordJson(out, records[i]);
  }
  out.push_back(']');
  return out;
}

std::vector<ErrorRecord> CompactRecords(const std::vector<ErrorRecord>& records) {
  std::vector<ErrorRecord> output;
  std::vector<std::string> keys;
  for (const ErrorRecord& record : records) {
    ErrorRecord normal = record;
    normal.attempt = normal.firstAttempt = normal.lastAttempt = 0;
    normal.occurrences = 1;
    normal.lastReference.clear();
    if (normal.windows) normal.windows->reference.clear();
    std::string key = ErrorsJson({normal});

    size_t k = 0;
    while (k < keys.size() && keys[k] != key) ++k;
    if (k == keys.size()) {
      keys.push_back(std::move(key));
      ErrorRecord first = record;
      first.firstAttempt = first.lastAttempt = record.attempt;
      output.push_back(std::move(first));
      continue;
    }
    ErrorRecord& kept = output[k];
    kept.occurrences += 1;
    kept.lastAttempt = record.attempt;
    if (record.windows && kept.windows && record.windows->reference != kept.windows->reference)
      kept.lastReference = record.windows->reference;
  }
  return output;
}

}  // namespace tavo
