#include "worker/descriptor/descriptor_download_rules.h"

#include <winhttp.h>


#include "build_info.h"
#include "common/diagnostics/error_record.h"
#include "common/text.h"
#include "worker/run/cancel.h"
#include "worker/run/errors.h"
#include "worker/run/operation_log.h"
#include "worker/run/state.h"

namespace tavo::worker {
namespace {

constexpr HRESULT kHttpStatus = static_cast<HRESULT>(0xA0041101);
constexpr HRESULT kContentLengthExceeded = static_cast<HRESULT>(0xA0041102);
constexpr HRESULT kBodySizeExceeded = static_cast<HRESULT>(0xA0041103);
constexpr wchar_t kSizeMessage[] = L"The App Installer descriptor exceeds its size limit.";
constexpr DWORD kRetryPauseMs = 500;

struct TlsFlagName {
  uint32_t bit;
  const wchar_t* name;
};
constexpr TlsFlagName kTlsFlagNames[] = {
    {WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED, L"CERT_REV_FAILED"},
    {WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CERT, L"INVALID_CERT"},
    {WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED, L"CERT_REVOKED"},
    {WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA, L"INVALID_CA"},
    {WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID, L"CERT_CN_INVALID"},
    {WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID, L"CERT_DATE_INVALID"},
    {WINHTTP_CALLBACK_STATUS_FLAG_CERT_WRONG_USAGE, L"CERT_WRONG_USAGE"},
    {WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR, L"SECURITY_CHANNEL_ERROR"},
};

const std::wstring& LimitText() {
  static const std::wstring text = std::to_wstring(kDescriptorSizeLimit);
  return text;
}

// Compares two canonical decimal texts (no leading zeros) by value.
bool Greater(const std::wstring& a, const std::wstring& b) {
  return a.size() != b.size() ? a.size() > b.size() : a > b;
}

}  // namespace

void CheckDescriptorStatus(DWORD status) {
  if (status == 200) return;
  const std::wstring text = std::to_wstring(status);
  throw SetupError(kHttpStatus, L"The App Installer descriptor returned HTTP " + text, L"descriptor.http_status",
                   L"HTTP status=" + text + L"; uri=" + build::kDescriptorUri);
}

std::optional<std::wstring> AnnouncedLength(std::wstring_view header) {
  auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  while (!header.empty() && blank(header.front())) header.remove_prefix(1);
  while (!header.empty() && blank(header.back())) header.remove_suffix(1);
  if (header.empty()) return std::nullopt;
  for (wchar_t c : header)
    if (c < L'0' || c > L'9') return std::nullopt;
  const size_t first = header.find_first_not_of(L'0');
  return first == std::wstring_view::npos ? std::wstring(L"0") : std::wstring(header.substr(first));
}

void CheckContentLength(std::wstring_view header) {
  const std::optional<std::wstring> length = AnnouncedLength(header);
  if (!length)
    throw hresult_error(HresultFromWin32(ERROR_WINHTTP_INVALID_SERVER_RESPONSE),
                        L"The Content-Length header is not a decimal number.", nullptr);
  if (!Greater(*length, LimitText())) return;
  throw SetupError(kContentLengthExceeded, kSizeMessage, L"descriptor.content_length_exceeded",
                   L"Content-Length=" + *length + L"; limit=" + LimitText());
}

void CheckBodySize(size_t bodyLength) {
  if (bodyLength <= kDescriptorSizeLimit) return;
  throw SetupError(kBodySizeExceeded, kSizeMessage, L"descriptor.body_size_exceeded",
                   L"bytesRead=" + std::to_wstring(bodyLength) + L"; limit=" + LimitText());
}

std::wstring TlsFlagsText(uint32_t flags) {
  std::wstring names;
  for (const TlsFlagName& flag : kTlsFlagNames) {
    if (!(flags & flag.bit)) continue;
    if (!names.empty()) names += L", ";
    names += flag.name;
  }
  std::wstring text = L"(TLS flags: " + Hex8(flags);
  if (!names.empty()) text += L" [" + names + L"]";
  return text + L")";
}

std::wstring WinHttpFailureMessage(std::wstring windowsText, DWORD error, uint32_t tlsFlags) {
  while (!windowsText.empty() &&
         (windowsText.back() == L'\r' || windowsText.back() == L'\n' || windowsText.back() == L' '))
    windowsText.pop_back();
  if (error == ERROR_WINHTTP_SECURE_FAILURE && tlsFlags != 0) {
    if (!windowsText.empty()) windowsText += L' ';
    windowsText += TlsFlagsText(tlsFlags);
  }
  return windowsText;
}

bool IsRetriedDownloadCode(int32_t code) {
  return code == HresultFromWin32(ERROR_WINHTTP_TIMEOUT) || code == HresultFromWin32(ERROR_WINHTTP_CANNOT_CONNECT) ||
         code == HresultFromWin32(ERROR_WINHTTP_CONNECTION_ERROR);
}

std::string RunDescriptorAttempts(const std::function<std::string()>& attempt) {
  RunState& run = Worker();
  std::string body;
  for (uint32_t number = 1;; ++number) {
    ThrowIfCancelled();
    SetCurrentAttempt(number);
    if (number == 2) ++run.descriptorRetries;
    SetCurrentOperation(L"descriptor.download");
    LogOperation(L"descriptor.download", L"begin",
                 L"attempt=" + std::to_wstring(number) + L"; uri=" + build::kDescriptorUri, 0);
    try {
      body = attempt();
      break;
    } catch (const hresult_error& error) {
      if (number != 1 || CancelRequested() || !IsRetriedDownloadCode(error.code())) throw;
      // The record is named after the step that failed; it is kept with the
      // retry statistics, not in the error store, so no diagnostic event is sent.
      ErrorRecord record =
          RecordFromWindowsError(run.currentOperation, L"First descriptor download attempt failed.", error);
      record.attempt = 1;
      LogOperation(L"descriptor.download", L"error", L"attempt=1; retrying once; Windows: " + error.message(),
                   error.code(), record);
      run.retryFailures.push_back(std::move(record));
      ::Sleep(kRetryPauseMs);
      ThrowIfCancelled();
    }
  }
  SetCurrentAttempt(0);
  SetCurrentOperation(L"descriptor.download");
  LogOperation(L"descriptor.download", L"result", L"bytes=" + std::to_wstring(body.size()), 0);
  return body;
}

}  // namespace tavo::worker
