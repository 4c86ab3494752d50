#include "common/telemetry/transport.h"

#include <windows.h>
#include <winhttp.h>

#include "build_info.h"
#include "common/text.h"
#include "common/winhttp_handle.h"

namespace tavo {
namespace {

constexpr wchar_t kPath[] = L"/api/uma/";

std::wstring RequestHeaders() {
  return L"Content-Type: application/json\r\nAuthorization: Bearer " + Utf16(build::kTelemetryToken) + L"\r\n";
}

// A failed WinHTTP call: what the result records, and why the posting stops.
struct CallFailed {
  const wchar_t* call;
  DWORD error;
};

void Check(bool succeeded, const wchar_t* call) {
  if (!succeeded) throw CallFailed{call, ::GetLastError()};
}

bool IsSuccessStatus(DWORD status) { return status >= 200 && status <= 299; }

// One POST on the open connection; true when the answer was 2xx.
bool PostOne(HINTERNET connection, const std::wstring& headers, const std::string& body, TelemetryDelivery& result) {
  UniqueInternetHandle request(::WinHttpOpenRequest(connection, L"POST", kPath, nullptr, WINHTTP_NO_REFERER,
                                                    WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
  Check(static_cast<bool>(request), L"WinHttpOpenRequest");
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  Check(::WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never)), L"WinHttpSetOption");
  const DWORD length = static_cast<DWORD>(body.size());
  Check(::WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                             const_cast<char*>(body.data()), length, length, 0),
        L"WinHttpSendRequest");
  Check(::WinHttpReceiveResponse(request.get(), nullptr), L"WinHttpReceiveResponse");

  DWORD status = 0;
  DWORD size = sizeof(status);
  Check(::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                              WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX),
        L"WinHttpQueryHeaders");
  result.httpStatus = status;
  if (IsSuccessStatus(status)) ++result.sentEvents;

  // The body is kept for the report, bounded: a read that would pass the
  // bound is dropped and the rest is not read.
  std::string answer;
  result.responseTruncated = false;
  char chunk[kResponseReadBytes];
  for (;;) {
    DWORD read = 0;
    Check(::WinHttpReadData(request.get(), chunk, sizeof(chunk), &read), L"WinHttpReadData");
    if (read == 0) break;
    if (answer.size() + read > kMaxResponseBytes) {
      result.responseTruncated = true;
      break;
    }
    answer.append(chunk, read);
  }
  result.responseBody = Utf16(answer);
  if (!IsSuccessStatus(status)) {
    result.operation = L"HTTP response";
    return false;
  }
  return true;
}

}  // namespace

void PostEvents(const std::vector<std::string>& events, TelemetryDelivery& result) {
  try {
    UniqueInternetHandle session(::WinHttpOpen(build::kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    Check(static_cast<bool>(session), L"WinHttpOpen");
    const int timeout = static_cast<int>(kTelemetryTimeoutMs);
    Check(::WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout), L"WinHttpSetTimeouts");
    // The wait for an answer's headers has its own bound (90 s by default on
    // Windows, none under Wine); it gets the same 15 s as the rest.
    DWORD responseTimeout = kTelemetryTimeoutMs;
    Check(::WinHttpSetOption(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                             sizeof(responseTimeout)),
          L"WinHttpSetOption");
    UniqueInternetHandle connection(
        ::WinHttpConnect(session.get(), build::kTelemetryHost, INTERNET_DEFAULT_HTTPS_PORT, 0));
    Check(static_cast<bool>(connection), L"WinHttpConnect");

    const std::wstring headers = RequestHeaders();
    for (const std::string& body : events) {
      if (!PostOne(connection.get(), headers, body, result)) return;
    }
  } catch (const CallFailed& failure) {
    // The result says which call failed and why; the caller records it.
    // A call that failed without saying why still failed: it must not read as "no error".
    result.transportError = failure.error != 0 ? failure.error : ERROR_GEN_FAILURE;
    result.operation = failure.call;
  }
}

}  // namespace tavo
