#include "launcher/outcome/fallback_report.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "build_info.h"
#include "common/text.h"

namespace tavo::launcher {
namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

FallbackReportInput RefusedHost() {
  FallbackReportInput input;
  input.host.windowsBuild = 18363;
  input.host.windowsVersion = L"Windows 10 1909";
  input.host.nativeArchitecture = kArchitectureX64;
  input.errorCodeText = L"0x8007047E";
  input.statusText = L"Tavo Studio needs Windows 10 \"2004\"\nor later.";
  input.technicalLog = L"gate refused\r\nbuild=18363";
  input.errors.push_back(MakeRecord(static_cast<int32_t>(0x8007047E), L"compatibility.unsupported_host", L"old"));
  return input;
}

fs::path ScratchFolder(const wchar_t* name) {
  fs::path folder = fs::temp_directory_path() / L"tavo-fallback-report-test" / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FallbackReportText, HasTheFixedKeysOneALineInOrder) {
  FallbackReportInput input = RefusedHost();
  const std::string text = FallbackReportText(input);
  const std::string expected = std::string("{\n\"schemaVersion\":1,\n\"buildHash\":\"") + build::kBuildHash +
                               "\",\n\"verbose\":false,\n\"windowsBuild\":18363,\n"
                               "\"windowsVersion\":\"Windows 10 1909\",\n\"nativeArchitecture\":\"x64\",\n"
                               "\"exitCode\":\"0x8007047E\",\n"
                               "\"registered\":false,\n\"packageFullName\":\"\",\n\"appInstallerUri\":\"\",\n"
                               "\"desktopAppInstallerVersion\":\"\",\n\"activityId\":\"\",\n"
                               "\"updateSettingsInspectable\":false,\n\"automaticBackgroundTask\":false,\n"
                               "\"message\":\"Tavo Studio needs Windows 10 \\\"2004\\\"\\u000aor later.\",\n"
                               "\"diagnosticDetail\":\"gate refused\\u000d\\u000abuild=18363\",\n"
                               "\"errors\":" + ErrorsJson(input.errors) + ",\n\"events\":[]\n}\n";
  EXPECT_EQ(text, expected);
}

TEST(FallbackReportText, ParsesAsOneJsonDocumentWithTheGivenValues) {
  FallbackReportInput input = RefusedHost();
  input.verbose = true;
  input.statusText = L"Caf\u00e9 \u2197 \\ done";
  const ordered_json report = ordered_json::parse(FallbackReportText(input));
  std::vector<std::string> keys;
  for (const auto& item : report.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"schemaVersion", "buildHash", "verbose", "windowsBuild", "windowsVersion",
                                             "nativeArchitecture", "exitCode", "registered", "packageFullName",
                                             "appInstallerUri", "desktopAppInstallerVersion", "activityId",
                                             "updateSettingsInspectable", "automaticBackgroundTask", "message",
                                             "diagnosticDetail", "errors", "events"}));
  EXPECT_EQ(report["schemaVersion"], 1);
  EXPECT_EQ(report["buildHash"].get<std::string>().size(), 40u);
  EXPECT_EQ(report["verbose"], true);
  EXPECT_EQ(report["message"], Utf8(input.statusText));
  EXPECT_EQ(report["diagnosticDetail"], "gate refused\r\nbuild=18363");
  ASSERT_EQ(report["errors"].size(), 1u);
  EXPECT_EQ(report["errors"][0]["id"], "compatibility.unsupported_host");
  EXPECT_TRUE(report["events"].is_array());
  EXPECT_TRUE(report["events"].empty());
}

TEST(FallbackReportText, UnknownHostAndNoFailureStillGiveValidJson) {
  FallbackReportInput input;
  const ordered_json report = ordered_json::parse(FallbackReportText(input));
  EXPECT_EQ(report["windowsBuild"], 0);
  EXPECT_EQ(report["exitCode"], "");
  EXPECT_EQ(report["nativeArchitecture"], Utf8(ArchitectureName(kArchitectureUnknown)));
  EXPECT_EQ(report["errors"], ordered_json::array());
}

TEST(FallbackReportPath, SessionPathWinsOverTheOption) {
  FallbackReportInput input;
  EXPECT_EQ(FallbackReportPath(input), L"");
  input.optionReportPath = L"C:\\r\\option.json";
  EXPECT_EQ(FallbackReportPath(input), L"C:\\r\\option.json");
  input.sessionReportPath = L"C:\\r\\session.json";
  EXPECT_EQ(FallbackReportPath(input), L"C:\\r\\session.json");
}

TEST(WriteFallbackReport, WithoutAPathWritesNothingAndSucceeds) {
  FallbackReportResult result = WriteFallbackReport(RefusedHost());
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.writtenPath, L"");
  EXPECT_FALSE(result.record.has_value());
}

TEST(WriteFallbackReport, ReplacesAnExistingFileWholeAndLeavesNoTemporary) {
  const fs::path folder = ScratchFolder(L"replace");
  const fs::path path = folder / L"r.json";
  std::ofstream(path, std::ios::binary) << std::string(100000, 'x');
  FallbackReportInput input = RefusedHost();
  input.optionReportPath = path.wstring();
  FallbackReportResult result = WriteFallbackReport(input);
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.writtenPath, path.wstring());
  EXPECT_FALSE(result.record.has_value());
  EXPECT_EQ(ReadText(path), FallbackReportText(input));
  EXPECT_FALSE(fs::exists(path.wstring() + L".tmp"));
}

TEST(WriteFallbackReport, MissingFolderFailsWithARecordAndNoTemporary) {
  const fs::path folder = ScratchFolder(L"missing");
  const fs::path path = folder / L"absent" / L"r.json";
  FallbackReportInput input = RefusedHost();
  input.sessionReportPath = path.wstring();
  FallbackReportResult result = WriteFallbackReport(input);
  EXPECT_EQ(static_cast<uint32_t>(result.code), 0x80070003u);
  EXPECT_EQ(result.writtenPath, L"");
  ASSERT_TRUE(result.record.has_value());
  EXPECT_EQ(result.record->id, L"launcher.report_write_failed");
  EXPECT_EQ(result.record->code, result.code);
  EXPECT_TRUE(result.record->message.starts_with(L"WriteReport failed in the launcher."));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(fs::exists(path.wstring() + L".tmp"));
}

TEST(WriteFallbackReport, PathThatIsAFolderFailsAndKeepsTheFolder) {
  const fs::path folder = ScratchFolder(L"folder");
  FallbackReportInput input = RefusedHost();
  input.sessionReportPath = folder.wstring();
  FallbackReportResult result = WriteFallbackReport(input);
  EXPECT_LT(result.code, 0);
  ASSERT_TRUE(result.record.has_value());
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_FALSE(fs::exists(folder.wstring() + L".tmp"));
}

}  // namespace
}  // namespace tavo::launcher
