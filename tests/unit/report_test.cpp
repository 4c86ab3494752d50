#include "worker/run/report.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <thread>

#include "common/atomic_file.h"
#include "common/handles.h"
#include "common/text.h"
#include "worker/run/error_store.h"
#include "worker/run/events.h"
#include "worker/run/operation_log.h"
#include "worker/run/state.h"
#include "worker_test_support.h"

namespace tavo::worker {
namespace {

using nlohmann::ordered_json;
using testing::ReadFileText;

class ReportTest : public testing::WorkerTest {};

TEST_F(ReportTest, AtomicWriteReplacesTheFileAndLeavesNoTemporary) {
  std::wstring path = Scratch(L"install.json");
  ASSERT_EQ(AtomicWrite(path, "first"), 0);
  ASSERT_EQ(AtomicWrite(path, "second"), 0);
  EXPECT_EQ(ReadFileText(path), "second");
  EXPECT_FALSE(std::filesystem::exists(path + L".tmp"));
}

TEST_F(ReportTest, AtomicWriteWaitsForAReaderThatHoldsTheFileBriefly) {
  std::wstring path = Scratch(L"install.json");
  ASSERT_EQ(AtomicWrite(path, "first"), 0);
  // A reader without delete sharing blocks the replacing move until it lets go.
  UniqueFile reader(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(reader);
  bool blocked = false;
  std::thread release([&] {
    // Once the temporary is there the writer is moving it into place; a while
    // later the target must still be the old file, with the temporary beside it.
    while (!std::filesystem::exists(path + L".tmp")) ::Sleep(5);
    ::Sleep(120);
    blocked = std::filesystem::exists(path + L".tmp") && ReadFileText(path) == "first";
    reader.reset();
  });
  int32_t hr = AtomicWrite(path, "second");
  release.join();
  EXPECT_TRUE(blocked) << "the first replacing move should have failed while the reader held the file";
  EXPECT_EQ(hr, 0);
  EXPECT_EQ(ReadFileText(path), "second");
}

TEST_F(ReportTest, AtomicWriteIntoAMissingFolderFailsWithPathNotFound) {
  std::wstring path = Scratch(L"missing\\install.json");
  EXPECT_EQ(static_cast<uint32_t>(AtomicWrite(path, "x")), 0x80070003u);
  EXPECT_FALSE(std::filesystem::exists(path + L".tmp"));
}

TEST_F(ReportTest, AtomicWriteOntoADirectoryFailsAndRemovesTheTemporary) {
  std::wstring path = Scratch(L"taken");
  std::filesystem::create_directory(path);
  int32_t hr = AtomicWrite(path, "x");
  EXPECT_LT(hr, 0);
  EXPECT_EQ(static_cast<uint32_t>(hr) & 0xFFFF0000u, 0x80070000u);
  EXPECT_FALSE(std::filesystem::exists(path + L".tmp"));
  EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(ReportTest, HasTwentyMembersInOrderEachOnItsOwnLine) {
  Worker().reportPath = Scratch(L"r.json");
  Worker().desktopAppInstallerVersion = L"1.21.3133.0";
  Emit(L"checking", -1, L"Checking your Windows setup", L"A quick check before we get started.", 0);
  AddRecord(MakeRecord(5, L"preflight.x", L"m"));
  ASSERT_EQ(WriteReport(0), 0);
  std::string text = ReadFileText(Worker().reportPath);

  ordered_json report = ordered_json::parse(text);
  std::vector<std::string> keys;
  for (auto& [key, value] : report.items()) keys.push_back(key);
  const std::vector<std::string> expected = {
      "schemaVersion", "buildHash", "verbose", "windowsBuild", "windowsVersion", "nativeArchitecture", "exitCode",
      "registered", "packageFullName", "appInstallerUri", "desktopAppInstallerVersion", "activityId", "deployment",
      "updateSettingsInspectable", "automaticBackgroundTask", "errors", "verification", "uma", "verificationTrace",
      "events"};
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(report["exitCode"], "0x00000000");
  EXPECT_EQ(report["schemaVersion"], 1);
  EXPECT_EQ(report["desktopAppInstallerVersion"], "1.21.3133.0");
  EXPECT_EQ(report["buildHash"].get<std::string>().size(), 40u);
  EXPECT_EQ(report["errors"].size(), 1u);
  EXPECT_EQ(report["events"].size(), 2u) << "the event and the record's diagnostic event";
  EXPECT_EQ(report["verificationTrace"][0]["operation"], "preflight.x");
  EXPECT_EQ(report["uma"]["attempted"], false);

  // `{`, then one line per member, then `}`, and a final line feed.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 22);
  EXPECT_EQ(text.substr(0, 18), "{\n\"schemaVersion\":");
  EXPECT_EQ(text.substr(text.size() - 4), "]\n}\n");
}

TEST_F(ReportTest, WithoutAPathNothingIsWritten) {
  EXPECT_EQ(WriteReport(static_cast<int32_t>(0x80004005)), 0);
}

TEST_F(ReportTest, CarriesTheExitCodeText) {
  Worker().reportPath = Scratch(L"r.json");
  ASSERT_EQ(WriteReport(static_cast<int32_t>(0x800704C7)), 0);
  EXPECT_EQ(ordered_json::parse(ReadFileText(Worker().reportPath))["exitCode"], "0x800704C7");
}

}  // namespace
}  // namespace tavo::worker
