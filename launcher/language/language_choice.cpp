#include "launcher/language/language_choice.h"

#include <algorithm>
#include <cwctype>
#include <optional>
#include <vector>

namespace tavo::launcher {
namespace {

bool SameTag(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return std::towlower(x) == std::towlower(y);
         });
}

bool AsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool AsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

struct Alias {
  const wchar_t* tag;
  const wchar_t* language;
};
// Regions and legacy names that Windows users have for the two Chinese
// scripts, and Portuguese without a region, which we serve in Brazilian.
constexpr Alias kAliases[] = {
    {L"zh-TW", L"zh-Hant"}, {L"zh-HK", L"zh-Hant"}, {L"zh-MO", L"zh-Hant"}, {L"zh-CHT", L"zh-Hant"},
    {L"zh-CN", L"zh-Hans"}, {L"zh-SG", L"zh-Hans"}, {L"zh-CHS", L"zh-Hans"}, {L"zh", L"zh-Hans"},
    {L"pt", L"pt-BR"},
};

std::optional<std::wstring> Shipped(std::wstring_view tag, std::span<const std::wstring> shipped) {
  for (const std::wstring& s : shipped)
    if (SameTag(s, tag)) return s;
  return std::nullopt;
}

std::optional<std::wstring> ServedBy(std::wstring_view tag, std::span<const std::wstring> shipped) {
  if (auto exact = Shipped(tag, shipped)) return exact;
  for (const Alias& alias : kAliases)
    if (SameTag(alias.tag, tag))
      if (auto aliased = Shipped(alias.language, shipped)) return aliased;
  return std::nullopt;
}

// The tag without its last subtag (and a singleton left before it), or empty.
std::wstring_view Parent(std::wstring_view tag) {
  size_t dash = tag.rfind(L'-');
  if (dash == std::wstring_view::npos) return {};
  tag = tag.substr(0, dash);
  dash = tag.rfind(L'-');
  if (dash != std::wstring_view::npos && tag.size() - dash == 2) tag = tag.substr(0, dash);
  return tag;
}

}  // namespace

bool IsLanguageTag(std::wstring_view tag) {
  if (tag.empty() || tag.size() > 84) return false;
  size_t start = 0;
  bool first = true;
  for (;;) {
    size_t end = tag.find(L'-', start);
    std::wstring_view subtag = tag.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start);
    if (subtag.empty() || subtag.size() > 8) return false;
    if (first && (subtag.size() < 2 || !std::all_of(subtag.begin(), subtag.end(), AsciiLetter))) return false;
    if (!std::all_of(subtag.begin(), subtag.end(), [](wchar_t c) { return AsciiLetter(c) || AsciiDigit(c); }))
      return false;
    if (end == std::wstring_view::npos) return true;
    start = end + 1;
    first = false;
  }
}

std::wstring ChooseLanguage(std::span<const std::wstring> preferred, std::span<const std::wstring> shipped) {
  for (const std::wstring& entry : preferred) {
    if (!IsLanguageTag(entry)) continue;
    for (std::wstring_view tag = entry; !tag.empty(); tag = Parent(tag))
      if (auto served = ServedBy(tag, shipped)) return *served;
  }
  return kEnglishLanguage;
}

}  // namespace tavo::launcher
