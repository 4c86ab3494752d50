#include "worker/descriptor/descriptor_download.h"

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <optional>

#include "build_info.h"
#include "common/handles.h"
#include "common/text.h"
#include "common/winhttp_handle.h"
#include "common/winrt/hresult_error.h"
#include "worker/run/cancel.h"
#include "worker/descriptor/descriptor_download_rules.h"
#include "worker/run/state.h"

namespace tavo::worker {
namespace {

// Windows' text for a WinHTTP error (its own table first, then the system's).
std::wstring WinHttpErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  ::GetModuleHandleW(L"winhttp.dll"), error, 0, reinterpret_cast<wchar_t*>(&buffer),
                                  0, nullptr);
  UniqueLocal owner(buffer);
  return length ? std::wstring(buffer, length) : std::wstring();
}

// A failed WinHTTP call: cancellation when it was requested (a request closed by
// cancel() fails too), otherwise the call's error with Windows' text.
[[noreturn]] void ThrowWinHttpFailure(DWORD error, uint32_t tlsFlags = 0) {
  ThrowIfCancelled();
  int32_t code = HresultFromWin32(error);
  // A call that failed without saying why still failed.
  if (code == 0) code = E_FAIL;
  throw hresult_error(code, WinHttpFailureMessage(WinHttpErrorText(error), error, tlsFlags), nullptr);
}

[[noreturn]] void ThrowLastWinHttpFailure(uint32_t tlsFlags = 0) { ThrowWinHttpFailure(::GetLastError(), tlsFlags); }

// Collects the flags of a TLS failure into the request's context (a uint32_t).
// WinHTTP calls it on the thread of the synchronous call.
void CALLBACK OnSecureFailure(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
  if (status != WINHTTP_CALLBACK_STATUS_SECURE_FAILURE || !context || !info || length < sizeof(DWORD)) return;
  *reinterpret_cast<uint32_t*>(context) |= *static_cast<const DWORD*>(info);
}

// One download: its handles and the request's cancellation slot.
class Download {
 public:
  Download() = default;
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;
  ~Download();

  std::string Run();

 private:
  // The request handle, or cancellation when cancel() has closed it.
  HINTERNET Request();
  // The final text of the Content-Length header; nullopt when there is none.
  std::optional<std::wstring> ContentLength();

  UniqueInternetHandle session_;
  UniqueInternetHandle connection_;
  // Closed by whoever empties it first: this download or cancel().
  std::atomic<HINTERNET> request_{nullptr};
  bool published_ = false;
  uint32_t tlsFlags_ = 0;
};

Download::~Download() {
  // Withdrawn under the cancel lock: afterwards cancel() no longer reaches the
  // cell, so the request below is ours alone to close.
  if (published_) RegisterActiveRequest(nullptr);
  if (HINTERNET request = request_.exchange(nullptr)) {
    ::WinHttpSetStatusCallback(request, nullptr, 0, 0);
    ::WinHttpCloseHandle(request);
  }
  connection_.reset();
  session_.reset();
}

HINTERNET Download::Request() {
  HINTERNET request = request_.load();
  if (request) return request;
  ThrowIfCancelled();
  // Only cancel() empties the published cell, and it sets the flag first.
  throw hresult_error(HresultFromWin32(ERROR_INVALID_HANDLE), L"", nullptr);
}

std::optional<std::wstring> Download::ContentLength() {
  // Read as text: the numeric form fails under Wine, and the text shows what a
  // malformed value was.
  DWORD size = 0;
  if (!::WinHttpQueryHeaders(Request(), WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    DWORD error = ::GetLastError();
    if (error == ERROR_WINHTTP_HEADER_NOT_FOUND) return std::nullopt;
    if (error != ERROR_INSUFFICIENT_BUFFER) ThrowWinHttpFailure(error);
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (!::WinHttpQueryHeaders(Request(), WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                             WINHTTP_NO_HEADER_INDEX))
    ThrowLastWinHttpFailure();
  text.resize(size / sizeof(wchar_t));
  return text;
}

std::string Download::Run() {
  SetCurrentOperation(L"descriptor.open_session");
  session_.reset(::WinHttpOpen(build::kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session_) ThrowLastWinHttpFailure();

  SetCurrentOperation(L"descriptor.set_timeouts");
  if (!::WinHttpSetTimeouts(session_.get(), 15000, 15000, 30000, 30000)) ThrowLastWinHttpFailure();
  // The wait for the answer's headers has a limit of its own (90 s on Windows,
  // none under Wine); it gets the receive time-out.
  DWORD responseTimeout = 30000;
  if (!::WinHttpSetOption(session_.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                          sizeof(responseTimeout)))
    ThrowLastWinHttpFailure();

  SetCurrentOperation(L"descriptor.connect");
  connection_.reset(::WinHttpConnect(session_.get(), build::kPackageHost, INTERNET_DEFAULT_HTTPS_PORT, 0));
  if (!connection_) ThrowLastWinHttpFailure();

  SetCurrentOperation(L"descriptor.open_request");
  request_ = ::WinHttpOpenRequest(connection_.get(), L"GET", build::kDescriptorPath, nullptr, WINHTTP_NO_REFERER,
                                  WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
  if (!request_.load()) ThrowLastWinHttpFailure();

  SetCurrentOperation(L"descriptor.redirect_policy");
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  if (!::WinHttpSetOption(request_.load(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never)))
    ThrowLastWinHttpFailure();
  if (::WinHttpSetStatusCallback(request_.load(), OnSecureFailure, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0) ==
      WINHTTP_INVALID_STATUS_CALLBACK)
    ThrowLastWinHttpFailure();

  SetCurrentOperation(L"descriptor.send_request");
  // Published first and checked after: a cancel() that came before the
  // publication has set the flag, one that comes after closes the request.
  RegisterActiveRequest(&request_);
  published_ = true;
  ThrowIfCancelled();
  if (!::WinHttpSendRequest(Request(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                            reinterpret_cast<DWORD_PTR>(&tlsFlags_)))
    ThrowLastWinHttpFailure(tlsFlags_);

  SetCurrentOperation(L"descriptor.receive_response");
  if (!::WinHttpReceiveResponse(Request(), nullptr)) ThrowLastWinHttpFailure(tlsFlags_);

  SetCurrentOperation(L"descriptor.read_headers");
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!::WinHttpQueryHeaders(Request(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
    ThrowLastWinHttpFailure();
  CheckDescriptorStatus(status);
  if (std::optional<std::wstring> length = ContentLength()) CheckContentLength(*length);

  SetCurrentOperation(L"descriptor.read_body");
  std::string body;
  while (!CancelRequested()) {
    // Read straight into the body: it never holds more than the limit and one chunk.
    const size_t before = body.size();
    body.resize(before + kDescriptorReadChunk);
    DWORD read = 0;
    if (!::WinHttpReadData(Request(), body.data() + before, kDescriptorReadChunk, &read)) ThrowLastWinHttpFailure();
    body.resize(before + read);
    CheckBodySize(body.size());
    if (read == 0) return body;  // the destructor withdraws and closes the handles
  }
  ThrowIfCancelled();
  return body;  // not reached: the loop only ends once cancellation was requested
}

}  // namespace

std::string DownloadDescriptor() { return Download().Run(); }

std::string DownloadDescriptorWithRetry() { return RunDescriptorAttempts(&DownloadDescriptor); }

}  // namespace tavo::worker
