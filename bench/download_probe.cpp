// One HTTPS GET of the descriptor from the package host, with the options the
// worker's download sets, and nothing else. Prints the milliseconds from the
// session's open to the body's last read.
#include <windows.h>
#include <winhttp.h>

#include <cstdio>
#include <string>

#include "build_info.h"
#include "common/winhttp_handle.h"

int wmain() {
  LARGE_INTEGER frequency{}, start{}, end{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  tavo::UniqueInternetHandle session(::WinHttpOpen(tavo::build::kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session || !::WinHttpSetTimeouts(session.get(), 15000, 15000, 30000, 30000)) return 1;
  DWORD responseTimeout = 30000;
  if (!::WinHttpSetOption(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                          sizeof(responseTimeout)))
    return 1;
  tavo::UniqueInternetHandle connection(
      ::WinHttpConnect(session.get(), tavo::build::kPackageHost, INTERNET_DEFAULT_HTTPS_PORT, 0));
  if (!connection) return 1;
  tavo::UniqueInternetHandle request(::WinHttpOpenRequest(connection.get(), L"GET", tavo::build::kDescriptorPath,
                                                          nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                          WINHTTP_FLAG_SECURE));
  if (!request) return 1;
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  if (!::WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never))) return 1;
  if (!::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !::WinHttpReceiveResponse(request.get(), nullptr))
    return 2;
  DWORD status = 0, size = sizeof(status);
  if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
      status != 200)
    return 3;
  std::string body;
  for (;;) {
    char chunk[16384];
    DWORD read = 0;
    if (!::WinHttpReadData(request.get(), chunk, sizeof(chunk), &read)) return 4;
    if (read == 0) break;
    body.append(chunk, read);
  }
  ::QueryPerformanceCounter(&end);
  std::printf("%.3f\n", static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
                            static_cast<double>(frequency.QuadPart));
  return body.empty() ? 5 : 0;
}
