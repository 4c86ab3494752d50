#include "worker/run/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavo::worker {
namespace {

std::optional<Options> Parse(std::vector<const wchar_t*> args) {
  args.insert(args.begin(), L"Tavo.Deploy.exe");
  return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

constexpr wchar_t kLowerId[] = L"vis_0123456789abcdef0123456789abcdef";

TEST(WorkerCommandLine, RejectsEveryMalformedLine) {
  const std::vector<std::vector<const wchar_t*>> rejected = {
      {},
      {L"--bogus"},
      {L"--check", L"--bogus"},
      {L"--CHECK"},
      {L"--check", L"--report"},
      {L"--check", L"--visitor-id"},
      {L"--check", L"--install"},
      {L"--verbose"},
      {L"--open-existing", L"--report", L"r.json"},
      {L"--check", L"--visitor-id", L"vis_0123456789ABCDEF0123456789ABCDEF"},
      {L"--check", L"--visitor-id", L"vis_0123456789abcdef0123456789abcde"},
      {L"--check", L"--visitor-id", L"vis_0123456789abcdef0123456789abcdef0"},
      {L"--check", L"--visitor-id", L"abc_0123456789abcdef0123456789abcdef"},
      {L"--check", L"--visitor-id", L"vis_0123456789abcdef0123456789abcdeg"},
      // Two UTF-16 units that are 4 UTF-8 bytes: the id is measured in bytes.
      {L"--check", L"--visitor-id", L"vis_0123456789abcdef0123456789abcd\U0001F600"},
  };
  for (const auto& args : rejected) EXPECT_FALSE(Parse(args)) << (args.empty() ? L"" : args.back());
}

TEST(WorkerCommandLine, AcceptsModesSwitchesAndValues) {
  auto check = Parse({L"--check", L"--open-existing", L"--verbose"});
  ASSERT_TRUE(check);
  EXPECT_TRUE(check->check);
  EXPECT_FALSE(check->install);
  EXPECT_TRUE(check->verbose);

  auto install = Parse({L"--install", L"--open-existing", L"--visitor-id", kLowerId, L"--report", L"C:\\r.json"});
  ASSERT_TRUE(install);
  EXPECT_TRUE(install->install);
  EXPECT_TRUE(install->openExisting);
  EXPECT_EQ(install->visitorId, kLowerId);
  EXPECT_EQ(install->reportPath, L"C:\\r.json");

  auto vst = Parse({L"--check", L"--visitor-id", L"vst_ffffffffffffffffffffffffffffffff"});
  ASSERT_TRUE(vst);
}

TEST(WorkerCommandLine, TakesValuesAsTheyAreAndLetsLaterReportsWin) {
  auto options = Parse({L"--report", L"--check", L"--install", L"--report", L"second.json", L"--install"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->reportPath, L"second.json");
  EXPECT_TRUE(options->install);
  EXPECT_FALSE(options->check) << "--check was the first report's value";
  auto twice = Parse({L"--check", L"--check"});
  ASSERT_TRUE(twice);
}

}  // namespace
}  // namespace tavo::worker
