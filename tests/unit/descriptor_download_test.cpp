// The descriptor download: its rules in-process, and whole downloads against the
// loopback package host (tests/hosts/package_host.py), which each test scripts
// through the host's control port.
#include "worker/descriptor/descriptor_download.h"

#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stdexcept>
#include <thread>

#include "common/text.h"
#include "common/winhttp_handle.h"
#include "worker/run/cancel.h"
#include "worker/descriptor/descriptor_download_rules.h"
#include "worker/run/errors.h"
#include "worker/run/reporting.h"
#include "worker/run/state.h"
#include "worker_test_support.h"

namespace tavo::worker {
namespace {

using nlohmann::json;

constexpr int32_t kCancelled = static_cast<int32_t>(0x800704C7);
constexpr int32_t kTimeout = static_cast<int32_t>(0x80072EE2);
constexpr int32_t kCannotConnect = static_cast<int32_t>(0x80072EFD);
constexpr int32_t kConnectionError = static_cast<int32_t>(0x80072EFE);

// ---------------------------------------------------------------- rules

TEST(DescriptorRules, TlsFlagsAreNamedInTheirFixedOrder) {
  EXPECT_EQ(TlsFlagsText(0x00000008), L"(TLS flags: 0x00000008 [INVALID_CA])");
  EXPECT_EQ(TlsFlagsText(0x80000031),
            L"(TLS flags: 0x80000031 [CERT_REV_FAILED, CERT_CN_INVALID, CERT_DATE_INVALID, SECURITY_CHANNEL_ERROR])");
  EXPECT_EQ(TlsFlagsText(0x0000007F), L"(TLS flags: 0x0000007F [CERT_REV_FAILED, INVALID_CERT, CERT_REVOKED, "
                                      L"INVALID_CA, CERT_CN_INVALID, CERT_DATE_INVALID, CERT_WRONG_USAGE])");
  EXPECT_EQ(TlsFlagsText(0x00000100), L"(TLS flags: 0x00000100)") << "no known bit: no brackets";
  EXPECT_EQ(TlsFlagsText(0x00000104), L"(TLS flags: 0x00000104 [CERT_REVOKED])");
}

TEST(DescriptorRules, FailureMessageTrimsWindowsTextAndAddsTheFlagsOfASecureFailure) {
  EXPECT_EQ(WinHttpFailureMessage(L"The connection failed. \r\n", 12030, 0x8), L"The connection failed.")
      << "flags belong to secure failures only";
  EXPECT_EQ(WinHttpFailureMessage(L"Secure failure.\r\n", ERROR_WINHTTP_SECURE_FAILURE, 0x4),
            L"Secure failure. (TLS flags: 0x00000004 [CERT_REVOKED])");
  EXPECT_EQ(WinHttpFailureMessage(L"", ERROR_WINHTTP_SECURE_FAILURE, 0x8), L"(TLS flags: 0x00000008 [INVALID_CA])");
  EXPECT_EQ(WinHttpFailureMessage(L"Secure failure.", ERROR_WINHTTP_SECURE_FAILURE, 0), L"Secure failure.");
  EXPECT_EQ(WinHttpFailureMessage(L"Text\tkept\t", 12002, 0), L"Text\tkept\t") << "only CR, LF and spaces go";
}

TEST(DescriptorRules, ContentLengthIsDigitsOnly) {
  struct Case {
    const wchar_t* header;
    std::optional<std::wstring> length;
  } cases[] = {
      {L"262144", L"262144"},
      {L" 42\t", L"42"},  // the blanks around a header value are not part of it
      {L"0", L"0"},
      {L"000", L"0"},
      {L"0262145", L"262145"},
      {L"123456789012345678901234567890", L"123456789012345678901234567890"},
      {L"", std::nullopt},
      {L"  ", std::nullopt},
      {L"-1", std::nullopt},
      {L"+5", std::nullopt},
      {L"1 2", std::nullopt},
      {L"5, 5", std::nullopt},
      {L"0x10", std::nullopt},
      {L"12a", std::nullopt},
      {L"\x0661\x0662", std::nullopt},  // digits of another script
      {L"1\r\n", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(AnnouncedLength(c.header), c.length) << Utf8(c.header);
}

SetupError ThrownSetupError(const std::function<void()>& check) {
  try {
    check();
  } catch (const SetupError& error) {
    return error;
  }
  return SetupError(S_OK, L"", L"none");
}

TEST(DescriptorRules, AnnouncedLengthAboveTheLimitIsRefused) {
  EXPECT_NO_THROW(CheckContentLength(L"262144"));
  EXPECT_NO_THROW(CheckContentLength(L"0000000000262144"));
  try {
    CheckContentLength(L"-1");
    FAIL() << "a malformed value leaves the body's end undefined";
  } catch (const SetupError&) {
    FAIL() << "a malformed value is not a size failure";
  } catch (const hresult_error& error) {
    EXPECT_EQ(static_cast<uint32_t>(error.code()), 0x80072F78u);
  }

  SetupError error = ThrownSetupError([] { CheckContentLength(L"262145"); });
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0xA0041102u);
  EXPECT_EQ(error.operation(), L"descriptor.content_length_exceeded");
  EXPECT_EQ(error.message(), L"The App Installer descriptor exceeds its size limit.");
  EXPECT_EQ(error.detail(), L"Content-Length=262145; limit=262144");

  // Beyond 64 bits the value is still compared, and reported, exactly.
  error = ThrownSetupError([] { CheckContentLength(L"018446744073709551616"); });
  EXPECT_EQ(error.detail(), L"Content-Length=18446744073709551616; limit=262144");
}

TEST(DescriptorRules, BodyAboveTheLimitIsRefused) {
  EXPECT_NO_THROW(CheckBodySize(262144));
  SetupError error = ThrownSetupError([] { CheckBodySize(262145); });
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0xA0041103u);
  EXPECT_EQ(error.operation(), L"descriptor.body_size_exceeded");
  EXPECT_EQ(error.message(), L"The App Installer descriptor exceeds its size limit.");
  EXPECT_EQ(error.detail(), L"bytesRead=262145; limit=262144");
}

TEST(DescriptorRules, OnlyStatus200IsAccepted) {
  EXPECT_NO_THROW(CheckDescriptorStatus(200));
  for (DWORD status : {204u, 301u, 404u}) {
    SetupError error = ThrownSetupError([&] { CheckDescriptorStatus(status); });
    EXPECT_EQ(static_cast<uint32_t>(error.code()), 0xA0041101u);
    EXPECT_EQ(error.operation(), L"descriptor.http_status");
    EXPECT_EQ(error.message(), L"The App Installer descriptor returned HTTP " + std::to_wstring(status));
    EXPECT_EQ(error.detail(),
              L"HTTP status=" + std::to_wstring(status) + L"; uri=https://localhost/TavoStudio.appinstaller");
  }
}

TEST(DescriptorRules, OnlyNetworkFailuresAreRetried) {
  for (int32_t code : {kTimeout, kCannotConnect, kConnectionError}) EXPECT_TRUE(IsRetriedDownloadCode(code));
  for (uint32_t code : {0x80072EE7u, 0x80072F8Fu, 0x80072F7Du, 0x800704C7u, 0xA0041101u, 0x00002EFDu})
    EXPECT_FALSE(IsRetriedDownloadCode(static_cast<int32_t>(code))) << std::hex << code;
}

// ---------------------------------------------------------------- attempts

class DescriptorAttemptsTest : public testing::WorkerTest {
 protected:
  int calls = 0;
  std::vector<LogEntry> DownloadLog(const std::wstring& phase) {
    std::vector<LogEntry> found;
    std::lock_guard guard(Report().lock);  // the download may be logging on another thread
    for (const LogEntry& entry : Report().log)
      if (entry.operation == L"descriptor.download" && entry.phase == phase) found.push_back(entry);
    return found;
  }
};

TEST_F(DescriptorAttemptsTest, AFailureThatIsNotRetriedPassesOnUnchanged) {
  try {
    RunDescriptorAttempts([&]() -> std::string {
      ++calls;
      throw SetupError(static_cast<HRESULT>(0xA0041101), L"message", L"descriptor.http_status", L"detail");
    });
    FAIL() << "expected the SetupError";
  } catch (const SetupError& error) {
    EXPECT_EQ(error.operation(), L"descriptor.http_status");
  }
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(Worker().currentAttempt, 1u);
  EXPECT_EQ(Worker().descriptorRetries, 0u);
  EXPECT_TRUE(Worker().retryFailures.empty());
}

TEST_F(DescriptorAttemptsTest, ARetriedFailureAfterCancellationIsNotRetried) {
  try {
    RunDescriptorAttempts([&]() -> std::string {
      ++calls;
      Cancel();
      throw hresult_error(kCannotConnect, L"", nullptr);
    });
    FAIL() << "expected the failure";
  } catch (const hresult_error& error) {
    EXPECT_EQ(error.code(), kCannotConnect);
  }
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(Worker().retryFailures.empty());

  calls = 0;
  EXPECT_THROW(RunDescriptorAttempts([&] { return std::string(++calls, 'x'); }), hresult_error);
  EXPECT_EQ(calls, 0) << "a cancelled run starts no attempt";
}

TEST_F(DescriptorAttemptsTest, AStandardExceptionIsNotRetried) {
  EXPECT_THROW(RunDescriptorAttempts([&]() -> std::string {
                 ++calls;
                 throw std::runtime_error("bad");
               }),
               std::runtime_error);
  EXPECT_EQ(calls, 1);
}

// ---------------------------------------------------------------- the live host

// The host's control port (CONTROL_PORT in tests/hosts/package_host.py).
constexpr INTERNET_PORT kControlPort = 14443;

// One plain-HTTP call to the host's control port; returns the answer body.
std::string ControlCall(const wchar_t* verb, const wchar_t* path, const std::string& body = {}) {
  UniqueInternetHandle session(::WinHttpOpen(L"tavo-test", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                             WINHTTP_NO_PROXY_BYPASS, 0));
  UniqueInternetHandle connection(session ? ::WinHttpConnect(session.get(), L"127.0.0.1", kControlPort, 0) : nullptr);
  UniqueInternetHandle request(
      connection ? ::WinHttpOpenRequest(connection.get(), verb, path, nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                 : nullptr);
  DWORD status = 0, size = sizeof(status);
  if (!request ||
      !::WinHttpSendRequest(request.get(), L"Content-Type: application/json\r\n", DWORD(-1),
                            const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
                            static_cast<DWORD>(body.size()), 0) ||
      !::WinHttpReceiveResponse(request.get(), nullptr) ||
      !::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
    throw std::runtime_error("package host control port: error " + std::to_string(::GetLastError()));
  std::string answer;
  char chunk[4096];
  DWORD read = 0;
  while (::WinHttpReadData(request.get(), chunk, sizeof(chunk), &read) && read > 0) answer.append(chunk, read);
  if (status != 200) throw std::runtime_error("package host control port: " + std::to_string(status) + " " + answer);
  return answer;
}

class PackageHostTest : public DescriptorAttemptsTest {
 protected:
  void TearDown() override {
    ControlCall(L"PUT", L"/script", "{}");  // listening again, for whatever runs next
    DescriptorAttemptsTest::TearDown();
  }
  void Script(const json& script) { ControlCall(L"PUT", L"/script", script.dump()); }
  json HostState() { return json::parse(ControlCall(L"GET", L"/state")); }

  // The failure of a download that must fail.
  static hresult_error Failure(std::string (*download)() = &DownloadDescriptor) {
    try {
      download();
    } catch (const hresult_error& error) {
      return error;
    }
    ADD_FAILURE() << "the download did not fail";
    return hresult_error(S_OK, L"", nullptr);
  }
  static SetupError SetupFailure() {
    return ThrownSetupError([] { DownloadDescriptor(); });
  }
};

TEST_F(PackageHostTest, ReturnsTheBodyOfA200Answer) {
  const std::string descriptor = "<?xml version=\"1.0\"?>\n<AppInstaller \xC3\xA9/>";
  Script({{"body", descriptor}});
  EXPECT_EQ(DownloadDescriptor(), descriptor);

  json requests = HostState()["requests"];
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0]["method"], "GET");
  EXPECT_EQ(requests[0]["path"], "/TavoStudio.appinstaller");
  EXPECT_EQ(requests[0]["headers"]["User-Agent"], "TavoSetup/0.1");
  EXPECT_EQ(Worker().currentOperation, L"descriptor.read_body");
}

TEST_F(PackageHostTest, RedirectsAreNotFollowed) {
  for (int status : {301, 302}) {
    Script({{"status", status}, {"headers", {{"Location", "https://localhost/elsewhere.appinstaller"}}},
            {"body", "moved"}});
    SetupError error = SetupFailure();
    EXPECT_EQ(static_cast<uint32_t>(error.code()), 0xA0041101u);
    EXPECT_EQ(error.operation(), L"descriptor.http_status");
    EXPECT_EQ(error.message(), L"The App Installer descriptor returned HTTP " + std::to_wstring(status));
    EXPECT_EQ(HostState()["requests"].size(), 1u) << "the Location was not visited";
  }
}

TEST_F(PackageHostTest, AnnouncedLengthIsLimitedBeforeTheBodyIsRead) {
  Script({{"body_length", 262144}});
  EXPECT_EQ(DownloadDescriptor().size(), 262144u);

  Script({{"body_length", 262145}});
  SetupError error = SetupFailure();
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0xA0041102u);
  EXPECT_EQ(error.detail(), L"Content-Length=262145; limit=262144");
  EXPECT_EQ(Worker().currentOperation, L"descriptor.read_headers") << "no byte of the body was read";

  // A length announced far beyond 64 bits is refused the same way.
  Script({{"body", "small"}, {"content_length", "99999999999999999999999"}});
  error = SetupFailure();
  EXPECT_EQ(error.detail(), L"Content-Length=99999999999999999999999; limit=262144");

  // Under Wine a malformed length would read as an empty body.
  Script({{"body", "<AppInstaller/>"}, {"content_length", "abc"}});
  EXPECT_EQ(static_cast<uint32_t>(Failure().code()), 0x80072F78u);
  EXPECT_EQ(Worker().currentOperation, L"descriptor.read_headers");
}

TEST_F(PackageHostTest, ReceivedLengthIsLimitedWithoutContentLength) {
  Script({{"body_length", 262144}, {"content_length", "none"}});
  EXPECT_EQ(DownloadDescriptor(), std::string(262144, 'x'));

  Script({{"body_length", 262145}, {"content_length", "none"}});
  SetupError error = SetupFailure();
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0xA0041103u);
  EXPECT_EQ(error.operation(), L"descriptor.body_size_exceeded");
  // The body is read in chunks of up to 8192 bytes: the limit is passed within one.
  const std::wstring& detail = error.detail();
  ASSERT_TRUE(detail.starts_with(L"bytesRead=") && detail.ends_with(L"; limit=262144")) << Utf8(detail);
  const uint64_t read = std::stoull(detail.substr(10));
  EXPECT_GT(read, 262144u);
  EXPECT_LE(read, 262144u + 8192u);
}

TEST_F(PackageHostTest, UntrustedCertificateFailsTheSendAndIsNotRetried) {
  Script({{"certificate", "untrusted"}, {"body", "never sent"}});
  hresult_error error = Failure(&DownloadDescriptorWithRetry);
  // Wine reports an untrusted chain as 12157 and never calls the secure-failure
  // callback (Windows: 12175 with the TLS flags in the message). Wine's
  // winhttp.dll has no message table, so the message is empty here.
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0x80072F7Du);
  EXPECT_EQ(Worker().currentOperation, L"descriptor.send_request");
  EXPECT_EQ(error.message().find(L"TLS flags"), std::wstring::npos);
  EXPECT_EQ(HostState()["connections"], 1);
  EXPECT_TRUE(HostState()["requests"].empty());
  EXPECT_EQ(Worker().descriptorRetries, 0u);
}

TEST_F(PackageHostTest, AConnectionClosedWithoutAnAnswerIsNotRetried) {
  Script({{"first_connections", {"hangup"}}, {"body", "<AppInstaller/>"}});
  hresult_error error = Failure(&DownloadDescriptorWithRetry);
  EXPECT_EQ(static_cast<uint32_t>(error.code()), 0x80072F78u) << "invalid server response";
  EXPECT_EQ(Worker().currentOperation, L"descriptor.receive_response");
  EXPECT_EQ(HostState()["connections"], 1);
  EXPECT_TRUE(Worker().retryFailures.empty());
}

TEST_F(PackageHostTest, AFirstConnectionFailureIsRetriedOnce) {
  // Refused until the first attempt has failed (its log entry comes before the
  // pause): a closed listener gives "cannot connect" under Wine, while a
  // connection closed before or during the handshake gives a TLS error.
  Script({{"refuse", true}, {"body", "<AppInstaller/>"}});
  std::thread listener([&] {
    for (int i = 0; i < 400 && DownloadLog(L"error").empty(); ++i) ::Sleep(10);
    ControlCall(L"POST", L"/listen");
  });
  std::string body;
  EXPECT_NO_THROW(body = DownloadDescriptorWithRetry());
  listener.join();
  EXPECT_EQ(body, "<AppInstaller/>");

  EXPECT_EQ(HostState()["connections"], 1);
  EXPECT_EQ(Worker().descriptorRetries, 1u);
  EXPECT_EQ(Worker().currentAttempt, 0u);
  ASSERT_EQ(Worker().retryFailures.size(), 1u);
  const ErrorRecord& record = Worker().retryFailures[0];
  EXPECT_EQ(record.code, kCannotConnect);
  EXPECT_EQ(record.id, L"descriptor.send_request");
  EXPECT_EQ(record.attempt, 1u);
  EXPECT_TRUE(record.message.starts_with(L"First descriptor download attempt failed. Windows: "));
  std::vector<LogEntry> errors = DownloadLog(L"error");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].code, kCannotConnect);
  EXPECT_TRUE(errors[0].detail.starts_with(L"attempt=1; retrying once; Windows: ")) << Utf8(errors[0].detail);
  ASSERT_TRUE(errors[0].error);
  EXPECT_EQ(errors[0].error->id, record.id);
  EXPECT_TRUE(TakeOutputLines().empty()) << "a retried failure sends no diagnostic event";
}

TEST_F(PackageHostTest, WhenBothAttemptsFailTheSecondFailureIsThrown) {
  Script({{"refuse", true}});
  hresult_error error = Failure(&DownloadDescriptorWithRetry);
  EXPECT_EQ(error.code(), kCannotConnect);
  EXPECT_EQ(Worker().currentOperation, L"descriptor.send_request");
  EXPECT_EQ(Worker().currentAttempt, 2u);
  EXPECT_EQ(Worker().descriptorRetries, 1u);
  EXPECT_EQ(Worker().retryFailures.size(), 1u);
  EXPECT_EQ(DownloadLog(L"error").size(), 1u);
}

TEST_F(PackageHostTest, CancellingDuringASlowAnswerEndsAsCancellation) {
  Script({{"delay", 3}, {"body", "<AppInstaller/>"}});
  std::thread canceller([&] {
    // Cancel once the request has reached the host and waits for its answer.
    for (int i = 0; i < 200 && HostState()["requests"].empty(); ++i) ::Sleep(25);
    Cancel();
  });
  hresult_error error = Failure(&DownloadDescriptorWithRetry);
  canceller.join();
  EXPECT_EQ(error.code(), kCancelled) << "not a network error";
  EXPECT_TRUE(Worker().retryFailures.empty());
}

TEST_F(PackageHostTest, ACancelledRunStartsNoRequest) {
  Script({{"body", "<AppInstaller/>"}});
  Cancel();
  EXPECT_EQ(Failure(&DownloadDescriptorWithRetry).code(), kCancelled);
  EXPECT_EQ(HostState()["connections"], 0);
}
}  // namespace
}  // namespace tavo::worker
