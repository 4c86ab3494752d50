#include "common/diagnostics/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace tavo {
namespace {

constexpr uint32_t kListed[] = {
    0x80040154, 0x80070032, 0x8007007E, 0x80070424, 0x80070005, 0x80070027, 0x80070070, 0x80073CF4, 0x80070422,
    0x80070641, 0x800704EC, 0x80073CFF, 0x80073D01, 0x80070652, 0x80072EE2, 0x80072EE7, 0x80072EFD, 0x80072EFE,
    0x80073CF5, 0x80004004, 0x800703E3, 0x800704C7, 0x80072EF1, 0x80072EF3, 0x80073CF8, 0x80072F8F, 0x80073CF3,
    0x80073CFB, 0x80073D06, 0x80073CFD, 0x80073D02, 0x80073D0A, 0x80096005, 0x800B0101, 0x80096010, 0x800B0100,
    0x800B0109, 0x800B010D, 0x800B010A, 0x800B010C};

std::wstring Message(uint32_t code) { return CatalogueMessage(static_cast<int32_t>(code)); }
const std::wstring kDefault = Message(0x12345678);

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
    bool listed = std::find(std::begin(kListed), std::end(kListed), code) != std::end(kListed);
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
