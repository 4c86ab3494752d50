// The descriptor download's rules that need no network: the answer checks, the
// Content-Length text, the message of a failed WinHTTP call, and the retry loop
// around single attempts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tavo::worker {

// Both the announced and the received length of a descriptor stay within this.
inline constexpr uint64_t kDescriptorSizeLimit = 262144;
inline constexpr DWORD kDescriptorReadChunk = 8192;

// Throws SetupError 0xA0041101 (`descriptor.http_status`) for any status but 200;
// redirects end here too, since they are never followed.
void CheckDescriptorStatus(DWORD status);

// The number a Content-Length value announces, as decimal digits without leading
// zeros, exact at any size. The value is ASCII digits only, between optional
// spaces or tabs; anything else (a sign, a list, letters, nothing) is malformed:
// nullopt.
std::optional<std::wstring> AnnouncedLength(std::wstring_view header);

// Throws SetupError 0xA0041102 (`descriptor.content_length_exceeded`) when the
// header announces more than the limit, however large the number. A malformed
// header leaves the body's end undefined (WinHTTP under Wine reads "abc" as 0
// bytes): the answer is refused as an invalid server response, 0x80072F78.
void CheckContentLength(std::wstring_view header);

// Throws SetupError 0xA0041103 (`descriptor.body_size_exceeded`) once the body
// read so far is longer than the limit.
void CheckBodySize(size_t bodyLength);

// `(TLS flags: 0x00000008 [INVALID_CA])`: the flags of a secure failure with the
// names of the known bits in their fixed order (no brackets when none is known).
std::wstring TlsFlagsText(uint32_t flags);

// The message of a failed WinHTTP call: Windows' text for the error with trailing
// CR, LF and spaces removed, followed by the TLS flags for a secure failure
// (12175) that reported any.
std::wstring WinHttpFailureMessage(std::wstring windowsText, DWORD error, uint32_t tlsFlags);

// The failures of a first attempt that a second one may not meet: time-out,
// cannot connect, connection error.
bool IsRetriedDownloadCode(int32_t code);

// Runs `attempt` once and, after a retried failure of the first run, once more
// (500 ms later), keeping the retry statistics, the retried failure's record and
// the `descriptor.download` log entries. Returns the body; throws the failure
// that is not retried, or 0x800704C7 once cancellation was requested.
std::string RunDescriptorAttempts(const std::function<std::string()>& attempt);

}  // namespace tavo::worker
