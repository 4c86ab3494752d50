#include "common/diagnostics/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace tavo {
namespace {

// Every listed code with its sentence, as people read it.
struct Listed {
  std::vector<uint32_t> codes;
  const wchar_t* sentence;
};
const std::vector<Listed> kTable = {
    {{0x80040154, 0x80070032, 0x8007007E, 0x80070424},
     L"A required Windows installation component is missing or unavailable. Update Windows and App Installer, then "
     L"try again."},
    {{0x80070005},
     L"Windows denied access during setup. Check folder permissions or ask your IT team if software installation is "
     L"restricted."},
    {{0x80070027, 0x80070070, 0x80073CF4},
     L"There isn't enough free space to install Tavo. Free up at least 3 GB on your Windows drive and try again."},
    {{0x80070422, 0x80070641},
     L"A Windows installation service is disabled or unavailable. Your IT team can help enable AppX Deployment "
     L"Service or Delivery Optimization."},
    {{0x800704EC, 0x80073CFF, 0x80073D01},
     L"Windows policy doesn't allow this installation. Ask your IT team to allow trusted apps from Tavo."},
    {{0x80070652}, L"Another installation is already in progress. Wait for Windows to finish it, then try again."},
    {{0x80072EE2, 0x80072EE7, 0x80072EFD, 0x80072EFE, 0x80073CF5},
     L"We couldn't reach the download server. Check your internet connection and try again."},
    {{0x80004004, 0x800703E3, 0x800704C7, 0x80072EF1, 0x80072EF3, 0x80073CF8},
     L"Installation was cancelled. You can start again whenever you're ready."},
    {{0x80072F8F},
     L"Windows couldn't verify a secure connection to Tavo. Check your PC's date and time and run Windows Update, or "
     L"ask your IT team to check certificate trust and network security."},
    {{0x80073CF3},
     L"A Windows app dependency is missing, incompatible, or conflicts with an existing package. Update Windows and "
     L"App Installer, then try again."},
    {{0x80073CFB, 0x80073D06}, L"A newer Tavo version is already installed. This installer won't downgrade it."},
    {{0x80073CFD},
     L"This Tavo release needs a newer Windows version or a missing Windows component. Update Windows, then try "
     L"again. The diagnostic log has the exact requirement."},
    {{0x80073D02}, L"Tavo or one of its components is open. Save your work, close Tavo, then try again."},
    {{0x80073D0A},
     L"Windows Defender Firewall service isn't running, which Windows requires to install apps. Start the Windows "
     L"Defender Firewall service, then try again."},
    {{0x80096005, 0x800B0101},
     L"The installer's signing certificate is outside its validity period. Check your date and time, then contact "
     L"Tavo support."},
    {{0x80096010, 0x800B0100},
     L"The installer package signature is missing or damaged. Download a fresh installer from Tavo's website and try "
     L"again."},
    {{0x800B0109, 0x800B010D},
     L"Windows doesn't trust this installer's certificate. Run Windows Update or ask your IT team to check "
     L"certificate trust."},
    {{0x800B010A},
     L"Windows couldn't build a trusted certificate chain for Tavo's signature. Check your internet connection and "
     L"run Windows Update, or ask your IT team to check certificate trust."},
    {{0x800B010C},
     L"The installer's signing certificate has been revoked. Download a fresh installer from Tavo's website or "
     L"contact Tavo support."},
};

std::vector<uint32_t> ListedCodes() {
  std::vector<uint32_t> codes;
  for (const Listed& row : kTable) codes.insert(codes.end(), row.codes.begin(), row.codes.end());
  return codes;
}
const std::vector<uint32_t> kListed = ListedCodes();

std::wstring Message(uint32_t code) { return CatalogueMessage(static_cast<int32_t>(code)); }
const std::wstring kDefault = Message(0x12345678);

TEST(Catalogue, EveryListedCodeGivesItsOwnSentence) {
  EXPECT_EQ(kListed.size(), 40u);
  EXPECT_EQ(std::set<uint32_t>(kListed.begin(), kListed.end()).size(), kListed.size()) << "a code listed twice";
  for (const Listed& row : kTable) {
    for (uint32_t code : row.codes) EXPECT_EQ(Message(code), row.sentence) << std::hex << code;
  }
}

TEST(Catalogue, HasNineteenSpecificMessagesAndADefault) {
  std::set<std::wstring> messages;
  for (uint32_t code : kListed) {
    EXPECT_NE(Message(code), kDefault) << std::hex << code;
    messages.insert(Message(code));
  }
  EXPECT_EQ(messages.size(), 19u);
  EXPECT_EQ(kDefault,
            L"Windows couldn't finish the installation. Try again, or share the diagnostic log with Tavo support.");
}

TEST(Catalogue, NetworkCodesOutsideTheListGetTheDefault) {
  const std::wstring reach = L"We couldn't reach the download server. Check your internet connection and try again.";
  EXPECT_EQ(Message(0x80072EE7), reach);
  EXPECT_EQ(Message(0x80072EFD), reach);
  EXPECT_EQ(Message(0x80072EE8), kDefault);
  EXPECT_EQ(Message(0x80072EF2), kDefault);
  EXPECT_EQ(Message(0x80072F8E), kDefault);
  EXPECT_EQ(Message(0x80072EF1), L"Installation was cancelled. You can start again whenever you're ready.");
  EXPECT_NE(Message(0x80072F8F), reach);
}

TEST(Catalogue, ComparesTheWholeCodeWithoutMasking) {
  EXPECT_EQ(Message(0x80073CF9), kDefault);
  EXPECT_EQ(Message(0x00000005), kDefault);
  EXPECT_EQ(Message(0x80070005),
            L"Windows denied access during setup. Check folder permissions or ask your IT team if software "
            L"installation is restricted.");
  for (uint32_t code = 0x80073CF3; code <= 0x80073D0A; ++code) {
    bool listed = std::find(kListed.begin(), kListed.end(), code) != kListed.end();
    EXPECT_EQ(Message(code) == kDefault, !listed) << std::hex << code;
  }
}

TEST(LowDiskNote, IsAppendedOnlyWhenSpaceWasLimited) {
  EXPECT_EQ(WithLowDiskNote(L"M", {false, L"C:\\"}), L"M");
  EXPECT_EQ(WithLowDiskNote(L"M", {true, L"C:\\"}),
            L"M Setup also found less than 3 GB free on C:\\. Low disk space may have contributed to this failure. "
            L"Free space and try again.");
}

TEST(ServiceTexts, NameTheServiceAndTheCode) {
  EXPECT_EQ(ServiceDisabledMessage(L"Windows AppX Deployment Service"),
            L"Windows AppX Deployment Service is disabled or missing. Ask your IT team to restore it, then try again.");
  EXPECT_EQ(ServiceDisabledDetail(L"AppXSvc", static_cast<int32_t>(0x80070422)),
            L"AppXSvc service disabled or missing; error=0x80070422");
}

}  // namespace
}  // namespace tavo
