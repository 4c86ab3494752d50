#include "common/text.h"

#include <gtest/gtest.h>

namespace tavo {
namespace {

TEST(JsonStringForm, EscapesQuotesBackslashesAndControlBytesOnly) {
  EXPECT_EQ(JsonString(L"plain"), "\"plain\"");
  EXPECT_EQ(JsonString(L"say \"hi\" \\ there"), "\"say \\\"hi\\\" \\\\ there\"");
  EXPECT_EQ(JsonString(L"tab\tline\nreturn\r"), "\"tab\\u0009line\\u000areturn\\u000d\"");
  EXPECT_EQ(JsonString(std::wstring(1, L'\0')), "\"\\u0000\"");
  EXPECT_EQ(JsonString(L"\x1f\x7f/"), "\"\\u001f\x7f/\"");
}

TEST(JsonStringForm, WritesMultiByteSequencesUnchanged) {
  EXPECT_EQ(JsonString(L"caf\u00e9 \u20ac"), "\"caf\xc3\xa9 \xe2\x82\xac\"");
  EXPECT_EQ(JsonString(L"\U0001F600"), "\"\xf0\x9f\x98\x80\"");
}

TEST(Utf8Conversion, RoundTripsAndReplacesUnpairedSurrogates) {
  std::wstring text = L"Tavo \u00e9\u4e2d\U0001F600";
  EXPECT_EQ(Utf16(Utf8(text)), text);
  EXPECT_EQ(Utf8(std::wstring(1, wchar_t(0xD800))), "\xef\xbf\xbd");
  EXPECT_EQ(Utf8(std::wstring(1, wchar_t(0xDC00)) + L"a"), "\xef\xbf\xbd" "a");
  EXPECT_EQ(Utf16(""), L"");
}

TEST(CodeText, HasFixedWidthUpperCaseDigits) {
  EXPECT_EQ(Hex8(0x80004002), L"0x80004002");
  EXPECT_EQ(Hex8(5), L"0x00000005");
  EXPECT_EQ(Hex8(0), L"0x00000000");
  EXPECT_EQ(Hex8(0xA004110D), L"0xA004110D");
  EXPECT_EQ(Hex16(0x7), L"0x0000000000000007");
  EXPECT_EQ(Hex16(0xFFFFFFFFFFFFFFFFull), L"0xFFFFFFFFFFFFFFFF");
}

TEST(HresultFromWin32, WrapsPositiveErrorsAndKeepsTheRest) {
  EXPECT_EQ(HresultFromWin32(0), 0);
  EXPECT_EQ(static_cast<uint32_t>(HresultFromWin32(5)), 0x80070005u);
  EXPECT_EQ(static_cast<uint32_t>(HresultFromWin32(1060)), 0x80070424u);
  EXPECT_EQ(static_cast<uint32_t>(HresultFromWin32(0x80072EFD)), 0x80072EFDu);
}

}  // namespace
}  // namespace tavo
