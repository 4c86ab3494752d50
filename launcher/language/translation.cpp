#include "launcher/language/translation.h"

#include <algorithm>
#include <cwctype>

namespace tavo::launcher {
namespace {

// Splits "{message} Setup also found ... on {drive}." into its literals and
// placeholder names; false for a text without placeholders.
bool SplitPattern(std::wstring_view text, std::vector<std::wstring>& literals, std::vector<std::wstring>& names) {
  literals.assign(1, std::wstring());
  names.clear();
  for (size_t i = 0; i < text.size();) {
    if (text[i] == L'{') {
      size_t close = text.find(L'}', i);
      std::wstring_view name = close == std::wstring_view::npos ? std::wstring_view() : text.substr(i + 1, close - i - 1);
      if (!name.empty() && std::all_of(name.begin(), name.end(), [](wchar_t c) {
            return (c >= L'a' && c <= L'z') || c == L'_';
          })) {
        names.emplace_back(name);
        literals.emplace_back();
        i = close + 1;
        continue;
      }
    }
    literals.back() += text[i++];
  }
  return !names.empty();
}

// Numbers are digits only, so that "{percent}%" never takes a sentence that
// happens to end in a percent sign; codes and drives are one word.
bool AcceptableValue(std::wstring_view name, std::wstring_view value) {
  if (value.empty()) return false;
  if (name == L"percent" || name == L"status")
    return std::all_of(value.begin(), value.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
  if (name == L"code" || name == L"drive")
    return std::none_of(value.begin(), value.end(), [](wchar_t c) { return std::iswspace(c) != 0; });
  return true;
}

Translation& Active() {
  static Translation active;
  return active;
}

}  // namespace

Translation::Translation(std::wstring language, const std::vector<std::wstring>& english,
                         const std::vector<std::wstring>& translated)
    : language_(std::move(language)) {
  const size_t count = std::min(english.size(), translated.size());
  for (size_t i = 0; i < count; ++i) {
    if (translated[i].empty()) continue;
    Pattern pattern;
    if (SplitPattern(english[i], pattern.literals, pattern.names)) {
      // A text that is nothing but placeholders would match everything.
      if (std::all_of(pattern.literals.begin(), pattern.literals.end(), [](const auto& l) { return l.empty(); }))
        continue;
      pattern.translated = translated[i];
      patterns_.push_back(std::move(pattern));
    } else {
      exact_.emplace(english[i], translated[i]);
    }
  }
  // The longest literal text first: "Error {code}" must not take what
  // "{message} Setup also found ..." should.
  std::stable_sort(patterns_.begin(), patterns_.end(), [](const Pattern& a, const Pattern& b) {
    size_t la = 0, lb = 0;
    for (const auto& l : a.literals) la += l.size();
    for (const auto& l : b.literals) lb += l.size();
    return la > lb;
  });
}

std::wstring Translation::LocaleName() const { return language_ == L"en" ? L"en-us" : language_; }

std::wstring Translation::TitleJoiner() const {
  const std::wstring_view primary = std::wstring_view(language_).substr(0, language_.find(L'-'));
  const auto is = [primary](std::wstring_view subtag) {
    return primary.size() == subtag.size() &&
           std::equal(primary.begin(), primary.end(), subtag.begin(),
                      [](wchar_t a, wchar_t b) { return std::towlower(a) == b; });
  };
  return is(L"ja") || is(L"zh") ? std::wstring() : std::wstring(L"\u00A0");
}

const Translation::Pattern* Translation::Match(std::wstring_view text, std::vector<std::wstring>& values) const {
  for (const Pattern& pattern : patterns_) {
    const auto& literals = pattern.literals;
    if (!text.starts_with(literals.front()) || !text.ends_with(literals.back())) continue;
    if (literals.front().size() + literals.back().size() > text.size()) continue;
    values.clear();
    size_t at = literals.front().size();
    const size_t end = text.size() - literals.back().size();
    bool matched = true;
    for (size_t n = 0; n < pattern.names.size() && matched; ++n) {
      size_t next = end;
      if (n + 1 < pattern.names.size()) {
        next = literals[n + 1].empty() ? std::wstring_view::npos : text.find(literals[n + 1], at);
        // The literal must end before the closing one begins.
        if (next == std::wstring_view::npos || next + literals[n + 1].size() > end) {
          matched = false;
          break;
        }
      }
      values.emplace_back(text.substr(at, next - at));
      matched = AcceptableValue(pattern.names[n], values.back());
      at = next + (n + 1 < pattern.names.size() ? literals[n + 1].size() : 0);
    }
    if (matched) return &pattern;
  }
  return nullptr;
}

std::wstring Translation::Shown(std::wstring_view english) const {
  if (exact_.empty() && patterns_.empty()) return std::wstring(english);
  if (auto found = exact_.find(std::wstring(english)); found != exact_.end()) return found->second;
  std::vector<std::wstring> values;
  const Pattern* pattern = Match(english, values);
  if (!pattern) return std::wstring(english);
  std::wstring shown;
  std::wstring_view rest = pattern->translated;
  while (!rest.empty()) {
    size_t open = rest.find(L'{');
    size_t close = open == std::wstring_view::npos ? open : rest.find(L'}', open);
    if (close == std::wstring_view::npos) {
      shown += rest;
      break;
    }
    shown += rest.substr(0, open);
    std::wstring_view name = rest.substr(open + 1, close - open - 1);
    auto index = std::find(pattern->names.begin(), pattern->names.end(), name) - pattern->names.begin();
    if (static_cast<size_t>(index) < values.size()) {
      shown += Shown(values[static_cast<size_t>(index)]);
    } else {
      shown += rest.substr(open, close - open + 1);  // not the English text's: kept as written
    }
    rest = rest.substr(close + 1);
  }
  return shown;
}

bool Translation::Translates(std::wstring_view english) const {
  if (exact_.contains(std::wstring(english))) return true;
  std::vector<std::wstring> values;
  return Match(english, values) != nullptr;
}

const Translation& ActiveTranslation() { return Active(); }
void SetActiveTranslation(Translation translation) { Active() = std::move(translation); }

}  // namespace tavo::launcher
