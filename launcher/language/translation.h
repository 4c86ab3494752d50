// The texts of one language, looked up by their English: the code and the
// worker keep writing English (reports, traces and telemetry stay as they
// are), and what a person reads passes through Shown() on its way to the
// screen, the screen reader or a message box.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tavo::launcher {

class Translation {
 public:
  // English: every text shows as it is.
  Translation() = default;
  // `english[i]` reads `translated[i]` in `language`; an empty translation
  // leaves that text in English. A text with placeholders ("{percent}%")
  // also serves every text it matches ("42%").
  Translation(std::wstring language, const std::vector<std::wstring>& english,
              const std::vector<std::wstring>& translated);

  // The language's tag, "en" for English.
  const std::wstring& Language() const { return language_; }
  // The locale name that DirectWrite lays its texts out under, so that Han
  // characters take the language's own forms: the tag, "en-us" for English.
  std::wstring LocaleName() const;
  // What joins the two parts of a title drawn on one row: a no-break space,
  // or nothing in Japanese and Chinese, which set no space between phrases
  // or after their full stop.
  std::wstring TitleJoiner() const;

  // What a person reads for `english`: its translation; the translation of
  // the text with placeholders it matches, each value shown in turn; or, for
  // a text we do not know (a Windows message inside a detail), the text as it
  // came.
  std::wstring Shown(std::wstring_view english) const;
  // Whether `english`, or a text with placeholders that it matches, has a
  // translation here.
  bool Translates(std::wstring_view english) const;

 private:
  struct Pattern {
    std::vector<std::wstring> literals;  // one more than names: the texts around the placeholders
    std::vector<std::wstring> names;
    std::wstring translated;
  };
  const Pattern* Match(std::wstring_view text, std::vector<std::wstring>& values) const;

  std::wstring language_ = L"en";
  std::unordered_map<std::wstring, std::wstring> exact_;
  std::vector<Pattern> patterns_;
};

// The translation every screen, box and announcement of this process reads.
// Set once by the entry, before the first window or thread exists; English
// until then.
const Translation& ActiveTranslation();
void SetActiveTranslation(Translation translation);
inline std::wstring Shown(std::wstring_view english) { return ActiveTranslation().Shown(english); }
inline std::wstring ShownTitleJoiner() { return ActiveTranslation().TitleJoiner(); }

}  // namespace tavo::launcher
