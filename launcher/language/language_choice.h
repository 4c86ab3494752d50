// Which of the shipped languages the setup speaks: the user's preferred UI
// languages in their order, each by its exact tag, the aliases people expect
// and its neutral parent, English last. Pure: the entry reads the list from
// Windows and the shipped tags from the text table.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace tavo::launcher {

inline constexpr wchar_t kEnglishLanguage[] = L"en";
// The pseudo-language of test builds: accented and 40 % longer.
inline constexpr wchar_t kPseudoLanguage[] = L"qps-ploc";

// A well-formed BCP-47 tag as Windows names languages: a primary subtag of 2
// to 8 letters, then subtags of 1 to 8 letters or digits, joined by '-', at
// most 84 characters (LOCALE_NAME_MAX_LENGTH with its NUL).
bool IsLanguageTag(std::wstring_view tag);

// The first preferred entry that a shipped language serves, as `shipped`
// spells it; "en" when none does. For each entry in turn: the exact tag, its
// aliases (zh-TW, zh-HK and zh-MO: Traditional Chinese; zh-CN, zh-SG and zh:
// Simplified; pt: Brazilian Portuguese), then each shorter parent with its
// aliases (de-AT: de; zh-Hant-HK: zh-Hant; pt-PT: pt, so pt-BR). Tags compare
// without regard to case; entries that are not tags are passed over.
std::wstring ChooseLanguage(std::span<const std::wstring> preferred, std::span<const std::wstring> shipped);

}  // namespace tavo::launcher
