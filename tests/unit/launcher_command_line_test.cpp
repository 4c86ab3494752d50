// The launcher's command line: options, rejections with and without the usage box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/start/launch_options.h"

namespace tavo::launcher {
namespace {

ParsedCommandLine Parse(std::vector<std::wstring> args) { return ParseLaunchArguments(args); }

TEST(LauncherCommandLine, InstallRunsAndTheirOptions) {
  ParsedCommandLine none = Parse({});
  EXPECT_EQ(none.verdict, CommandLineVerdict::Accepted);
  EXPECT_TRUE(none.options.InstallRun());
  EXPECT_FALSE(none.options.installOnly);

  ParsedCommandLine check = Parse({L"--check-only", L"--verbose", L"--report", L"--odd name.json"});
  ASSERT_EQ(check.verdict, CommandLineVerdict::Accepted);
  EXPECT_TRUE(check.options.checkOnly);
  EXPECT_TRUE(check.options.verbose);
  EXPECT_EQ(check.options.reportPath, L"--odd name.json");  // a value is taken even when it starts with --

  ParsedCommandLine repeated = Parse({L"--report", L"a", L"--install", L"--report", L"b", L"--install"});
  ASSERT_EQ(repeated.verdict, CommandLineVerdict::Accepted);
  EXPECT_EQ(repeated.options.reportPath, L"b");
  EXPECT_TRUE(repeated.options.installOnly);
}

TEST(LauncherCommandLine, UnattendedRuns) {
  ParsedCommandLine silent = Parse({L"--silent", L"--install", L"--verbose", L"--report", L"r.json"});
  ASSERT_EQ(silent.verdict, CommandLineVerdict::Accepted);
  EXPECT_TRUE(silent.options.silent && silent.options.InstallRun() && silent.options.Unattended());
  EXPECT_FALSE(silent.options.OpensApplication());
  ParsedCommandLine passive = Parse({L"--passive"});
  ASSERT_EQ(passive.verdict, CommandLineVerdict::Accepted);
  EXPECT_TRUE(passive.options.passive && !passive.options.installOnly && !passive.options.OpensApplication());
  EXPECT_TRUE(Parse({}).options.OpensApplication());
  // Unattended, no box ever comes, not even for an unknown option.
  for (auto args : std::vector<std::vector<std::wstring>>{
           {L"--silent", L"--bogus"}, {L"--Install", L"--silent"}, {L"--silent", L"--report"}}) {
    EXPECT_EQ(Parse(args).verdict, CommandLineVerdict::Rejected) << args.back();
  }
  EXPECT_EQ(Parse({L"--passive", L"--bogus"}).verdict, CommandLineVerdict::Rejected);
  EXPECT_EQ(Parse({L"--bogus"}).verdict, CommandLineVerdict::UsageBox);
}

TEST(LauncherCommandLine, LanguageTakesATagAndRejectsTheRest) {
  for (const wchar_t* tag : {L"de", L"pt-BR", L"zh-Hant-HK", L"qps-ploc", L"xx-YY"}) {
    ParsedCommandLine parsed = Parse({L"--check-only", L"--language", tag});
    ASSERT_EQ(parsed.verdict, CommandLineVerdict::Accepted) << tag;
    EXPECT_EQ(parsed.options.language, tag);  // one we do not ship falls back when the language is chosen
  }
  EXPECT_EQ(Parse({L"--preview", L"--state", L"error", L"--language", L"ja"}).verdict, CommandLineVerdict::Accepted);
  for (const wchar_t* bad : {L"", L"d", L"de_DE", L"de-", L"-de", L"de--AT", L"1de", L"de-ABCDEFGHI", L"de AT"}) {
    EXPECT_EQ(Parse({L"--language", bad}).verdict, CommandLineVerdict::Rejected) << bad;
  }
  EXPECT_EQ(Parse({L"--language"}).verdict, CommandLineVerdict::UsageBox);
  EXPECT_NE(std::wstring(kUsageText).find(L"[--language TAG]"), std::wstring::npos);
}

TEST(LauncherCommandLine, UnknownArgumentsAndMissingValuesShowTheUsageBox) {
  for (auto args : std::vector<std::vector<std::wstring>>{
           {L"--Install"}, {L"--install=yes"}, {L"install"}, {L"--report"}, {L"--install", L"--state"},
           {L"--preview", L"--tip"}, {L""}}) {
    EXPECT_EQ(Parse(args).verdict, CommandLineVerdict::UsageBox) << (args.empty() ? L"" : args.back()).size();
  }
}

TEST(LauncherCommandLine, BadCombinationsAreRejectedSilently) {
  for (auto args : std::vector<std::vector<std::wstring>>{
           {L"--check-only", L"--install"},
           {L"--preview", L"--verbose"},
           {L"--preview", L"--install"},
           {L"--preview", L"--check-only"},
           {L"--percent", L"5"},
           {L"--tip", L"1"},
           {L"--screenshot-scale", L"2"},
           {L"--state", L"error"},
           {L"--screenshot", L"x.png"},
           {L"--error-code", L"0x80070005"},
           {L"--preview", L"--state", L"error", L"--error-code", L"0x8007005"},
           {L"--preview", L"--state", L"installing", L"--error-code", L"0x80070005"},
           {L"--preview", L"--state", L"bogus"},
           {L"--preview", L"--state", L"Error"},
           {L"--install", L"--report", L"C:\\a\" --install x.json"},
           {L"--check-only", L"--report", L"\""},
           {L"--silent", L"--passive"},
           {L"--silent", L"--check-only"},
           {L"--passive", L"--check-only"},
           {L"--silent", L"--preview"},
           {L"--preview", L"--passive"}}) {
    EXPECT_EQ(Parse(args).verdict, CommandLineVerdict::Rejected) << args.back();
  }
}

TEST(LauncherCommandLine, PreviewValuesAreReadAndClamped) {
  ParsedCommandLine error = Parse({L"--preview", L"--state", L"error", L"--error-code", L"0Xabcdef01"});
  ASSERT_EQ(error.verdict, CommandLineVerdict::Accepted);
  EXPECT_TRUE(error.options.errorCodeValid);
  EXPECT_EQ(error.options.errorCode, 0xABCDEF01u);
  EXPECT_EQ(Parse({L"--preview", L"--state", L"error-low-disk", L"--error-code", L"0x80004005"}).verdict,
            CommandLineVerdict::Accepted);

  struct Case { std::wstring option, value; int32_t percent, tip; float scale; };
  for (const Case& c : {Case{L"--percent", L"250", 100, 0, 1}, Case{L"--percent", L"-5", 0, 0, 1},
                        Case{L"--percent", L"abc", 0, 0, 1}, Case{L"--percent", L"37%", 37, 0, 1},
                        Case{L"--tip", L"9", -1, 6, 1}, Case{L"--tip", L"-2", -1, 0, 1},
                        Case{L"--screenshot-scale", L"0.5", -1, 0, 1}, Case{L"--screenshot-scale", L"2.5x", -1, 0, 2.5f},
                        Case{L"--screenshot-scale", L"7", -1, 0, 3}, Case{L"--screenshot-scale", L"nan", -1, 0, 1}}) {
    ParsedCommandLine p = Parse({L"--preview", c.option, c.value});
    ASSERT_EQ(p.verdict, CommandLineVerdict::Accepted) << c.option << L" " << c.value;
    EXPECT_EQ(p.options.percent, c.percent) << c.value;
    EXPECT_EQ(p.options.tip, c.tip) << c.value;
    EXPECT_FLOAT_EQ(p.options.screenshotScale, c.scale) << c.value;
  }
}

TEST(LauncherCommandLine, AcceptedStateNames) {
  for (const wchar_t* name : {L"", L"welcome", L"downloading", L"error-cert", L"cancel", L"unsupported-avx"}) {
    EXPECT_TRUE(IsAcceptedStateName(name)) << name;
  }
  EXPECT_FALSE(IsAcceptedStateName(L"canceled"));
}

}  // namespace
}  // namespace tavo::launcher
