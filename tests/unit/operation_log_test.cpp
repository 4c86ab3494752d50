#include "worker/run/operation_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "worker/run/error_store.h"
#include "worker/run/reporting.h"
#include "worker/run/state.h"
#include "worker_test_support.h"

namespace tavo::worker {
namespace {

using testing::ReadFileText;

TEST(OperationLogFilter, KeepsErrorsVerificationAndFiveNamedOperations) {
  EXPECT_FALSE(KeepEntry(false, L"descriptor.download", L"begin"));
  EXPECT_FALSE(KeepEntry(false, L"preflight", L"result"));
  EXPECT_FALSE(KeepEntry(false, L"Verification.find_registration", L"begin"));
  EXPECT_TRUE(KeepEntry(false, L"verification.find_registration", L"begin"));
  EXPECT_TRUE(KeepEntry(false, L"descriptor.download", L"error"));
  for (const wchar_t* name : {L"preflight.download_service.DoSvc", L"preflight.system_disk", L"worker.start",
                              L"deployment.result", L"telemetry.result"})
    EXPECT_TRUE(KeepEntry(false, name, L"result")) << name;
  EXPECT_FALSE(KeepEntry(false, L"preflight.system_disk.extra", L"result"));
  EXPECT_TRUE(KeepEntry(true, L"descriptor.download", L"begin"));
}

TEST(EntryJson, CarriesErrorsOnlyWhenTheEntryHasARecord) {
  LogEntry entry{L"preflight", L"begin", L"a=1; b=2", 0, 12, 0, std::nullopt};
  EXPECT_EQ(EntryJson(entry),
            R"({"operation":"preflight","phase":"begin","detail":"a=1; b=2","attempt":0,"elapsedMs":12,"code":"0x00000000"})");
  entry.error = MakeRecord(5, L"x", L"m");
  entry.code = 5;
  EXPECT_EQ(EntryJson(entry),
            R"({"operation":"preflight","phase":"begin","detail":"a=1; b=2","attempt":0,"elapsedMs":12,"code":"0x00000005",)"
            R"("errors":[{"id":"x","code":"0x00000005","message":"m","attempt":0,"packageFullName":""}]})");
  EXPECT_EQ(OperationLogJson({}), "[]");
}

class SidecarTest : public testing::WorkerTest {};

TEST_F(SidecarTest, FirstEntryReplacesAnOldSidecarAndLaterEntriesAppend) {
  Worker().reportPath = Scratch(L"install.json");
  const std::wstring sidecar = Worker().reportPath + L".trace.jsonl";
  {
    std::FILE* old = _wfopen(sidecar.c_str(), L"wb");
    ASSERT_TRUE(old);
    std::fputs("left by an earlier run\n", old);
    std::fclose(old);
  }
  LogOperation(L"worker.start", L"begin", L"one", 0);
  LogOperation(L"descriptor.download", L"begin", L"dropped", 0);
  LogOperation(L"verification.attempt", L"begin", L"mode=x", 0);
  std::string text = ReadFileText(sidecar);
  EXPECT_EQ(text.find("earlier run"), std::string::npos);
  EXPECT_EQ(text.find("dropped"), std::string::npos);
  ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
  EXPECT_EQ(text.substr(0, text.find('\n')), EntryJson(Report().log[0]));
  EXPECT_EQ(Report().log.size(), 2u);
}

TEST_F(SidecarTest, VerboseKeepsEveryEntry) {
  Worker().verbose = true;
  Worker().reportPath = Scratch(L"r.json");
  LogOperation(L"descriptor.download", L"begin", L"", 0);
  EXPECT_EQ(Report().log.size(), 1u);
  EXPECT_NE(ReadFileText(Worker().reportPath + L".trace.jsonl").find("descriptor.download"), std::string::npos);
}

TEST_F(SidecarTest, AFailedSidecarIsRecordedOnceAndTheLogGoesOn) {
  Worker().reportPath = Scratch(L"r.json");
  std::filesystem::create_directory(Worker().reportPath + L".trace.jsonl");  // cannot be opened as a file
  LogOperation(L"worker.start", L"begin", L"", 0);
  LogOperation(L"preflight.system_disk", L"result", L"", 0);
  auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].id, L"logging.trace_write_failed");
  EXPECT_EQ(records[0].message, L"Writing the raw trace sidecar failed.");
  EXPECT_EQ(records[0].nativeDomain, L"Win32");
  EXPECT_EQ(static_cast<uint32_t>(records[0].code), 0x80070000u | static_cast<uint32_t>(records[0].nativeCode));
  EXPECT_NE(records[0].nativeCode, 0);
  // worker.start, the record's own error entry, then the disk entry.
  ASSERT_EQ(Report().log.size(), 3u);
  EXPECT_EQ(Report().log[1].phase, L"error");
  EXPECT_TRUE(Report().traceFailed);
}

TEST_F(SidecarTest, NoReportPathMeansNoSidecar) {
  LogOperation(L"worker.start", L"begin", L"", 0);
  EXPECT_EQ(Report().log.size(), 1u);
  EXPECT_FALSE(Report().traceCreated);
  EXPECT_TRUE(Records().empty());
}

}  // namespace
}  // namespace tavo::worker
