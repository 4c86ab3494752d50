#include "common/telemetry/payload.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <system_error>

#include "build_info.h"
#include "common/telemetry/send_report.h"
#include "common/telemetry/telemetry_policy.h"

namespace tavo {
namespace {

const std::wstring kVisitor = L"vst_0123456789abcdef0123456789abcdef";

EnvironmentFacts Facts() {
  return {19045, L"Windows 10 (build 19045)", L"x64", true, std::nullopt, L""};
}

ErrorRecord Record(const std::wstring& message, uint32_t attempt = 0) {
  ErrorRecord r = MakeRecord(static_cast<int32_t>(0x80070005), L"deployment.add_package", message);
  r.attempt = attempt;
  return r;
}

ReportInputs Report(std::wstring outcome, uint32_t exitCode) {
  ReportInputs inputs;
  inputs.outcome = std::move(outcome);
  inputs.exitCode = exitCode;
  return inputs;
}

struct MemberCase {
  const char* name;
  ReportInputs inputs;
  std::string_view trigger;
  std::vector<std::string> present;
  std::vector<std::string> absent;
};

TEST(TelemetryPayload, TriggerAndOptionalMembersFollowTheOutcome) {
  ReportInputs retried = Report(L"failed", 0x80D05011);
  retried.descriptorRetries = 1;
  retried.deploymentRetries = 1;
  retried.retryFailures = {Record(L"first try")};
  ReportInputs retriedCancelled = retried;
  retriedCancelled.outcome = L"cancelled";
  ReportInputs cancelledMarked = Report(L"cancelled", 0x800704C7);
  cancelledMarked.userCancelled = true;
  ReportInputs failedMarked = Report(L"failed", 0x800704C7);
  failedMarked.userCancelled = true;
  ReportInputs lowDisk = Report(L"failed", 0x80070070);
  lowDisk.limitedDiskSpace = true;
  ReportInputs lowDiskCancelled = lowDisk;
  lowDiskCancelled.outcome = L"cancelled";
  ReportInputs lowDiskSucceeded = Report(L"installed", 0);
  lowDiskSucceeded.limitedDiskSpace = true;

  const std::vector<MemberCase> cases = {
      {"failed access denied", Report(L"failed", 0x80070005), "installerError", {"\"exitCode\":\"0x80070005\""},
       {"userCanceled", "retryCount", "descriptorRetries", "deploymentRetries", "retryFailures", "errors\""}},
      {"installed", Report(L"installed", 0), "installerFinished", {"\"outcome\":\"installed\",\"exitCode\":\"0x00000000\","}, {}},
      {"cancelled with a code", Report(L"cancelled", 0x800704C7), "installerFinished", {}, {"userCanceled"}},
      {"cancelled by the user", cancelledMarked, "installerFinished", {",\"userCanceled\":true"}, {}},
      {"user mark without a cancellation", failedMarked, "installerError", {}, {"userCanceled"}},
      {"launch failed", Report(L"launch_failed", 0xA0041204), "installerError", {"\"outcome\":\"launch_failed\""}, {}},
      {"low disk, failed", lowDisk, "installerError", {",\"limitedDiskSpace\":true"}, {}},
      {"low disk, cancelled", lowDiskCancelled, "installerFinished", {}, {"limitedDiskSpace"}},
      {"low disk, succeeded", lowDiskSucceeded, "installerFinished", {}, {"limitedDiskSpace"}},
      {"retried and failed", retried, "installerError",
       {",\"retryCount\":2,\"descriptorRetries\":1,\"deploymentRetries\":1,\"retryFailures\":[{\"id\":"}, {}},
      {"retried and cancelled", retriedCancelled, "installerFinished", {",\"retryCount\":2"}, {"retryFailures"}},
  };
  const std::string environment = EnvironmentFragment(Facts());
  for (const MemberCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EventName(c.inputs), c.trigger);
    const std::string object = OutcomeObject(c.inputs, environment);
    for (const std::string& text : c.present) EXPECT_NE(object.find(text), std::string::npos) << text << "\n" << object;
    for (const std::string& text : c.absent) EXPECT_EQ(object.find(text), std::string::npos) << text << "\n" << object;
    EXPECT_TRUE(nlohmann::json::accept(object)) << object;
  }
}

TEST(TelemetryPayload, EnvironmentEnvelopeAndStringFormAreExact) {
  EnvironmentFacts facts = Facts();
  EXPECT_EQ(EnvironmentFragment(facts),
            ",\"windowsBuild\":19045,\"windowsVersion\":\"Windows 10 (build 19045)\",\"nativeArchitecture\":\"x64\","
            "\"avxAvailable\":true,\"deliveryOptimizationServiceAvailable\":null,\"installerProfileId\":null");
  facts.deliveryOptimizationServiceAvailable = false;
  facts.installerProfileId = kVisitor;
  EXPECT_NE(EnvironmentFragment(facts).find(
                ",\"deliveryOptimizationServiceAvailable\":false,\"installerProfileId\":\"" + std::string(kVisitor.begin(), kVisitor.end()) + "\""),
            std::string::npos);

  const std::string hash = build::kBuildHash;
  EXPECT_EQ(Envelope("installerFinished", "{}", L""),
            "{\"trigger\":\"installerFinished\",\"repo\":\"installer\",\"hash\":\"" + hash + "\",\"data\":{}}");
  EXPECT_EQ(Envelope("installerError", "{\"a\":1}", kVisitor),
            "{\"trigger\":\"installerError\",\"repo\":\"installer\",\"hash\":\"" + hash +
                "\",\"user_id\":\"vst_0123456789abcdef0123456789abcdef\",\"data\":{\"a\":1}}");

  ReportInputs inputs = Report(L"failed", 0x80070005);
  inputs.errors = {Record(L"tab\x1F" L"end caf\u00E9")};
  const std::string object = OutcomeObject(inputs, "");
  EXPECT_NE(object.find("\"message\":\"tab\\u001fend caf\xC3\xA9\""), std::string::npos) << object;
}

// The outcome object of `inputs` padded through its deployment member to `size` bytes.
ReportInputs PaddedTo(ReportInputs inputs, const std::string& environment, size_t size) {
  inputs.deploymentJson = "\"\"";
  const size_t base = OutcomeObject(inputs, environment).size();
  inputs.deploymentJson = "\"" + std::string(size - base, 'd') + "\"";
  return inputs;
}

TEST(TelemetryPayload, LargeOutcomeBecomesSummaryAndFragmentsThatJoinBack) {
  const std::string environment = EnvironmentFragment(Facts());
  ReportInputs inputs = Report(L"failed", 0x80D05011);
  inputs.visitorId = kVisitor;
  inputs.errors = {Record(L"same", 1), Record(L"same", 2), Record(L"same", 3), Record(L"other", 1)};
  inputs = PaddedTo(inputs, environment, 100000);
  const std::string object = OutcomeObject(inputs, environment);
  ASSERT_EQ(object.size(), 100000u);

  const std::vector<std::string> events = BuildEvents(inputs, environment, L"{DIAG}");
  ASSERT_EQ(events.size(), 14u);
  const nlohmann::json summary = nlohmann::json::parse(events[0]);
  EXPECT_EQ(summary["trigger"], "installerError");
  EXPECT_EQ(summary["user_id"], "vst_0123456789abcdef0123456789abcdef");
  EXPECT_EQ(summary["data"]["errorCount"], 2) << "the compacted list";
  EXPECT_EQ(summary["data"]["partCount"], 13);
  EXPECT_EQ(summary["data"]["format"], "json-fragments");
  EXPECT_EQ(summary["data"]["diagnosticsId"], "{DIAG}");
  EXPECT_FALSE(summary["data"].contains("errors"));
  std::string joined;
  for (size_t i = 1; i < events.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_LE(events[i].size(), kMaxSingleEventBytes);
    const nlohmann::json fragment = nlohmann::json::parse(events[i]);
    EXPECT_EQ(fragment["trigger"], "installerDiagnostics");
    EXPECT_EQ(fragment["data"]["diagnosticsId"], "{DIAG}");
    EXPECT_EQ(fragment["data"]["partCount"], 13);
    EXPECT_EQ(fragment["data"]["partIndex"], i - 1);
    const std::string payload = fragment["data"]["payload"];
    EXPECT_EQ(payload.size(), i < 13 ? 8192u : 1696u);
    joined += payload;
  }
  EXPECT_EQ(joined, object);
  EXPECT_EQ(nlohmann::json::parse(joined)["errors"][0]["occurrences"], 3);
}

TEST(TelemetryPayload, SingleEventLimitIsInclusive) {
  const std::string environment = EnvironmentFragment(Facts());
  ReportInputs inputs = Report(L"installed", 0);
  const size_t envelope = Envelope("installerFinished", "", L"").size();
  EXPECT_EQ(BuildEvents(PaddedTo(inputs, environment, kMaxSingleEventBytes - envelope), environment, L"d").size(), 1u);
  EXPECT_EQ(BuildEvents(PaddedTo(inputs, environment, kMaxSingleEventBytes - envelope + 1), environment, L"d").size(),
            9u);  // a summary and 8 fragments of 61441 - envelope bytes
}

TEST(TelemetryPayload, CutsMoveBackToTheStartOfAUtf8Sequence) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<size_t> sizes;
  };
  const std::string twoByte = "\xC3\xA9", fourByte = "\xF0\x9F\x98\x80";
  const std::vector<Case> cases = {
      {"ascii", std::string(20, 'a'), {8, 8, 4}},
      {"two-byte letter across the cut", std::string(7, 'a') + twoByte + "b", {7, 3}},
      {"two-byte letter ending at the cut", std::string(6, 'a') + twoByte + "b", {8, 1}},
      {"four-byte sequence across the cut", std::string(5, 'a') + fourByte + "bc", {5, 6}},
      {"no sequence start at all", std::string(10, '\x80'), {8, 2}},
      {"empty", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<size_t> sizes;
    std::string joined;
    for (std::string_view piece : SplitUtf8(c.text, 8)) {
      sizes.push_back(piece.size());
      joined += piece;
    }
    EXPECT_EQ(sizes, c.sizes);
    EXPECT_EQ(joined, c.text);
  }
}

TEST(TelemetryPolicy, TheMachinesValueWinsAndAnyNonZeroValueTurnsTelemetryOff) {
  struct Case {
    std::optional<uint32_t> machine, user;
    bool off;
  };
  for (const Case& c : {Case{std::nullopt, std::nullopt, false}, Case{1, std::nullopt, true},
                        Case{std::nullopt, 7, true}, Case{0, 1, false},  // the machine allows it
                        Case{2, 0, true}, Case{std::nullopt, 0, false}}) {
    EXPECT_EQ(TelemetryOffByPolicy(c.machine, c.user), c.off)
        << c.machine.value_or(99) << " / " << c.user.value_or(99);
  }
}

TEST(TelemetryGuard, EscapingExceptionsEndTheDeliveryWithARecord) {
  struct Case {
    const char* name;
    std::function<void()> throwIt;
    std::wstring operation, id;
  };
  const std::vector<Case> cases = {
      {"Windows error", [] { throw hresult_error(E_OUTOFMEMORY, L"no memory", nullptr); },
       L"UMA serialization or transport exception", L"telemetry.exception"},
      {"standard exception", [] { throw std::length_error("too long"); }, L"UMA serialization or transport exception",
       L"telemetry.exception"},
      {"system error", [] { throw std::system_error(5, std::system_category(), "denied"); },
       L"UMA serialization or transport exception", L"telemetry.exception"},
      {"anything else", [] { throw 42; }, L"UMA unknown exception", L"telemetry.unknown_exception"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TelemetryDelivery result = GuardedDelivery([&](TelemetryDelivery& r) {
      r.totalEvents = 2;
      c.throwIt();
    });
    EXPECT_TRUE(result.configured);
    EXPECT_EQ(result.totalEvents, 2u);
    EXPECT_EQ(result.operation, c.operation);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->id, c.id);
    EXPECT_EQ(static_cast<uint32_t>(result.error->code), 0xA0041206u);
  }
  EXPECT_FALSE(GuardedDelivery([](TelemetryDelivery&) {}).error);
}

}  // namespace
}  // namespace tavo
