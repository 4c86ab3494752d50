// Whom setup installs for: the verdict over the account facts.
#include "launcher/start/account_check.h"

#include <gtest/gtest.h>

namespace tavo::launcher {
namespace {

constexpr wchar_t kUser[] = L"S-1-5-21-1-2-3-1001";
constexpr wchar_t kAdmin[] = L"S-1-5-21-1-2-3-500";

TEST(AccountCheck, VerdictTable) {
  struct Row {
    const char* name;
    const wchar_t* own;
    bool shell;
    const wchar_t* shellSid;
    Elevation elevation;
    bool relaunched;
    AccountVerdict verdict;
  };
  const Row rows[] = {
      {"the user, not elevated", kUser, true, kUser, Elevation::Limited, false, AccountVerdict::Proceed},
      {"the user, UAC off", kUser, true, kUser, Elevation::Default, false, AccountVerdict::Proceed},
      {"the user's own Run as administrator", kUser, true, kUser, Elevation::Full, false, AccountVerdict::Proceed},
      {"relaunched and now the user", kUser, true, kUser, Elevation::Limited, true, AccountVerdict::Proceed},
      {"over-the-shoulder administrator", kAdmin, true, kUser, Elevation::Full, false, AccountVerdict::Relaunch},
      {"Run as different user", kAdmin, true, kUser, Elevation::Default, false, AccountVerdict::Relaunch},
      {"a shell this account may not read", kAdmin, true, L"", Elevation::Default, false, AccountVerdict::Relaunch},
      {"relaunched and still someone else", kAdmin, true, kUser, Elevation::Full, true, AccountVerdict::Refuse},
      {"the system account, no desktop", L"S-1-5-18", false, L"", Elevation::Default, false, AccountVerdict::Refuse},
      {"no desktop, even when relaunched", kUser, false, L"", Elevation::Limited, true, AccountVerdict::Refuse},
      {"an account that cannot name itself", L"", true, L"", Elevation::Default, false, AccountVerdict::Relaunch},
  };
  for (const Row& row : rows) {
    AccountFacts facts{row.own, row.shell, row.shellSid, row.elevation, row.relaunched};
    EXPECT_EQ(JudgeAccount(facts), row.verdict) << row.name;
  }
}

TEST(AccountCheck, TheRefusalSaysWhatItWasDecidedOn) {
  AccountFacts facts{L"S-1-5-18", false, L"", Elevation::Default, false};
  const ErrorRecord record = WrongAccountRecord(facts);
  EXPECT_EQ(record.id, L"launcher.wrong_account");
  EXPECT_EQ(record.code, static_cast<int32_t>(0xA0041207));
  EXPECT_NE(record.message.find(L"ownAccount=S-1-5-18; shellAccount=none; elevation=default; relaunched=false"),
            std::wstring::npos)
      << record.message;
}

}  // namespace
}  // namespace tavo::launcher
