// Text helpers shared by both programs: UTF-16/UTF-8 conversion, the JSON string
// form and the code texts used in events, logs, reports and screens.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavo {

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf8(std::wstring_view text);
// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::wstring Utf16(std::string_view text);

// Appends the JSON string form of UTF-8 text: quotes around, `"` and `\` escaped,
// bytes 0x00-0x1F as \u00xx (lower-case hex), every other byte unchanged.
void AppendJsonString(std::string& out, std::string_view utf8);
void AppendJsonString(std::string& out, std::wstring_view text);
std::string JsonString(std::wstring_view text);

// "0x" + 8 upper-case hexadecimal digits.
std::wstring Hex8(uint32_t value);
// "0x" + 16 upper-case hexadecimal digits.
std::wstring Hex16(uint64_t value);

// HRESULT_FROM_WIN32: 0 stays 0, positive values become 0x8007xxxx, others unchanged.
int32_t HresultFromWin32(uint32_t error);

std::wstring BoolText(bool value);

}  // namespace tavo
