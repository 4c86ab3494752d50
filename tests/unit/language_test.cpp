// The setup's languages: which one a user's preferred list chooses, how a
// translation shows the code's and the worker's English, and the carried table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/text.h"
#include "launcher/language/language_choice.h"
#include "launcher/language/text_table.h"
#include "launcher/language/translation.h"

namespace tavo::launcher {
namespace {

const std::vector<std::wstring> kShipped = {L"en", L"de", L"fr", L"es", L"it", L"pt-BR", L"nl",
                                            L"pl", L"tr", L"ru", L"ja", L"ko", L"zh-Hans", L"zh-Hant"};

TEST(LanguageChoice, PreferredListChoosesByTagAliasParentThenNextEntry) {
  struct Case {
    std::vector<std::wstring> preferred;
    const wchar_t* chosen;
  };
  const Case cases[] = {
      {{L"de"}, L"de"},                                  // exact
      {{L"DE"}, L"de"},                                  // tags compare without case
      {{L"pt-BR"}, L"pt-BR"},                            // exact with a region
      {{L"de-AT"}, L"de"},                               // neutral parent
      {{L"de-Latn-CH-1901"}, L"de"},                     // parents all the way down
      {{L"zh-TW"}, L"zh-Hant"},                          // aliases of Traditional
      {{L"zh-HK"}, L"zh-Hant"},                          // an alias before its parent zh (Simplified)
      {{L"zh-MO"}, L"zh-Hant"},
      {{L"zh-Hant-HK"}, L"zh-Hant"},
      {{L"zh-CN"}, L"zh-Hans"},                          // aliases of Simplified
      {{L"zh-SG"}, L"zh-Hans"},
      {{L"zh"}, L"zh-Hans"},
      {{L"pt"}, L"pt-BR"},                               // Portuguese without a region
      {{L"pt-PT"}, L"pt-BR"},                            // its parent, then the parent's alias
      {{L"sv-SE", L"fi", L"ru-RU"}, L"ru"},              // not shipped: the next entry
      {{L"en-GB", L"de-DE"}, L"en"},                     // English is a language of its own, not only the last resort
      {{L"sv", L"no"}, L"en"},                           // nothing shipped: English
      {{}, L"en"},                                       // no list at all
      {{L"", L"de_DE", L"ja-JP"}, L"ja"},                // entries that are not tags are passed over
      {{L"x-private", L"ko-KR"}, L"ko"},
  };
  for (const Case& c : cases) {
    std::wstring list;
    for (const auto& entry : c.preferred) list += entry + L";";
    EXPECT_EQ(ChooseLanguage(c.preferred, kShipped), c.chosen) << Utf8(list);
  }
  // The shipped spelling is returned, whatever the case of the entry.
  EXPECT_EQ(ChooseLanguage(std::vector<std::wstring>{L"ZH-hant"}, kShipped), L"zh-Hant");
}

Translation German() {
  return Translation(L"de",
                     {L"Try again", L"Error {code}", L"{percent}%", L"Windows reported: {log}",
                      L"{message} Setup also found less than 3 GB free on {drive}. Free space.",
                      L"Disk full.", L"Installing Tavo Studio, {percent} percent.", L"Close", L"{a}ab{b}bcd"},
                     {L"Erneut versuchen", L"Fehler {code}", L"{percent} %", L"Windows meldete: {log}",
                      L"{message} Auf {drive} sind weniger als 3 GB frei. Speicher freigeben.", L"Datenträger voll.",
                      L"Tavo Studio wird installiert, {percent} Prozent.", L"", L"{a}AB{b}BCD"});
}

TEST(Translation, ShowsTextsAndFilledPatternsInItsLanguageAndTheRestAsItCame) {
  const Translation de = German();
  struct Case {
    const wchar_t* english;
    const wchar_t* shown;
  };
  const Case cases[] = {
      {L"Try again", L"Erneut versuchen"},
      {L"Error 0x80070005", L"Fehler 0x80070005"},
      {L"42%", L"42 %"},
      {L"Installing Tavo Studio, 40 percent.", L"Tavo Studio wird installiert, 40 Prozent."},
      // A pattern's value is shown in turn: the catalogue sentence inside the low-disk note.
      {L"Disk full. Setup also found less than 3 GB free on C:\\. Free space.",
       L"Datenträger voll. Auf C:\\ sind weniger als 3 GB frei. Speicher freigeben."},
      // A value we do not know stays as it came (a Windows message).
      {L"Access is denied. Setup also found less than 3 GB free on D:\\. Free space.",
       L"Access is denied. Auf D:\\ sind weniger als 3 GB frei. Speicher freigeben."},
      {L"Close", L"Close"},                               // an empty translation leaves English
      {L"The parameter is incorrect.", L"The parameter is incorrect."},  // unknown
      {L"Almost 100%", L"Almost 100%"},                   // a number pattern takes digits only
      {L"Error", L"Error"},                               // a pattern needs its value
      {L"Error 0x1 0x2", L"Error 0x1 0x2"},               // a code is one word
      // A literal between two values must end before the closing one begins.
      {L"xabybcd", L"xAByBCD"},
      {L"xabcd", L"xabcd"},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(de.Shown(c.english), c.shown) << Utf8(c.english);
  EXPECT_TRUE(de.Translates(L"Error 0x80070005"));
  EXPECT_FALSE(de.Translates(L"Close"));
  EXPECT_EQ(de.LocaleName(), L"de");
  EXPECT_EQ(Translation().LocaleName(), L"en-us");
  EXPECT_EQ(Translation().Shown(L"Try again"), L"Try again");
  // Japanese and Chinese join a title's parts without a space, by primary subtag.
  for (const auto& [tag, joiner] : std::vector<std::pair<std::wstring, std::wstring>>{
           {L"en", L"\u00A0"}, {L"de", L"\u00A0"}, {L"ko", L"\u00A0"}, {L"ja", L""}, {L"zh-Hans", L""},
           {L"ZH-hant", L""}, {L"jav", L"\u00A0"}, {L"zha", L"\u00A0"}})
    EXPECT_EQ(Translation(tag, {}, {}).TitleJoiner(), joiner) << Utf8(tag);
}

std::vector<uint8_t> Table(std::initializer_list<const char*> strings, uint32_t texts, uint32_t languages) {
  std::vector<uint8_t> bytes{'T', 'V', 'T', '1'};
  for (uint32_t n : {texts, languages})
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(n >> (8 * i)));
  for (const char* s : strings) bytes.insert(bytes.end(), s, s + std::strlen(s) + 1);
  return bytes;
}

TEST(TextTable, ReadsLanguagesAndRefusesDamage) {
  const auto good = Table({"Close", "Try again", "de", "Schlie\xc3\x9f" "en", "", "ja", "\xe9\x96\x89", "x"}, 2, 2);
  const TextTable table = TextTable::Read(good);
  EXPECT_EQ(table.Languages(), (std::vector<std::wstring>{L"en", L"de", L"ja"}));
  EXPECT_EQ(table.For(L"de").Shown(L"Close"), L"Schlie\u00dfen");
  EXPECT_EQ(table.For(L"de").Shown(L"Try again"), L"Try again");  // missing in the table: English
  EXPECT_EQ(table.For(L"fr").Language(), L"en");

  std::vector<uint8_t> cut(good.begin(), good.end() - 1);
  std::vector<uint8_t> trailing = good;
  trailing.push_back(0);
  std::vector<uint8_t> mark = good;
  mark[3] = '2';
  const std::vector<std::vector<uint8_t>> damaged = {
      cut, trailing, mark, {}, {'T', 'V', 'T', '1', 1, 0},
      Table({"Close", "de", "Zu", "de", "Zu"}, 1, 2),          // a language twice
      Table({"Close", "de", "Zu", "DE", "Zu"}, 1, 2),          // twice in another case
      Table({"Close", "EN", "Close"}, 1, 1),
      Table({"Close", "en", "Close"}, 1, 1),                   // English is the base, not an entry
      Table({"Close", "not a tag", "Zu"}, 1, 1),
      Table({"Close"}, 0xFFFFFFFF, 0),                         // counts beyond the bytes
  };
  for (size_t i = 0; i < damaged.size(); ++i)
    EXPECT_THROW(TextTable::Read(damaged[i]), std::invalid_argument) << i;
}

}  // namespace
}  // namespace tavo::launcher
