#include "launcher/start/account_check.h"

#include "common/diagnostics/catalogue.h"
#include "common/text.h"
#include "launcher/start/launcher_codes.h"

namespace tavo::launcher {

AccountVerdict JudgeAccount(const AccountFacts& facts) {
  // A service, the system account or a deployment account without a desktop:
  // nobody to install for, and nothing may land in this account's profile.
  if (!facts.shellPresent) return AccountVerdict::Refuse;
  // The person at the desktop, elevated through their own consent or not:
  // the registration is theirs either way.
  if (!facts.ownSid.empty() && facts.ownSid == facts.shellSid) return AccountVerdict::Proceed;
  // Someone else (or a shell whose owner this account may not even read).
  // Once only: a relaunched setup that still is not the desktop's person
  // would start itself again for ever.
  return facts.relaunched ? AccountVerdict::Refuse : AccountVerdict::Relaunch;
}

std::wstring DescribeAccountFacts(const AccountFacts& facts) {
  const wchar_t* elevation = facts.elevation == Elevation::Full      ? L"full"
                             : facts.elevation == Elevation::Limited ? L"limited"
                                                                     : L"default";
  std::wstring shell = !facts.shellPresent ? L"none" : facts.shellSid.empty() ? L"unreadable" : facts.shellSid;
  return L"ownAccount=" + facts.ownSid + L"; shellAccount=" + shell + L"; elevation=" + elevation +
         L"; relaunched=" + (facts.relaunched ? L"true" : L"false");
}

ErrorRecord WrongAccountRecord(const AccountFacts& facts) {
  return MakeRecord(static_cast<int32_t>(kCodeWrongAccount), L"launcher.wrong_account",
                    std::wstring(facts.shellPresent ? L"Setup still runs as another user than the desktop's"
                                                    : L"No interactive desktop shell to install for") +
                        L"; " + DescribeAccountFacts(facts) + L".");
}

FallbackReportInput WrongAccountReport(const LaunchOptions& options, const ErrorRecord& record,
                                       const HostFacts& host) {
  FallbackReportInput input;
  input.optionReportPath = options.reportPath;
  input.verbose = options.verbose;
  input.host = host;
  input.errorCodeText = Hex8(kCodeWrongAccount);
  input.statusText = CatalogueMessage(static_cast<int32_t>(kCodeWrongAccount));
  input.errors.push_back(record);
  return input;
}

}  // namespace tavo::launcher
