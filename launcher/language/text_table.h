// The text table the launcher carries (resources/languages/make_table.py):
// the English texts and, per language, the same texts in that language.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "launcher/language/translation.h"

namespace tavo::launcher {

class TextTable {
 public:
  // Reads an expanded table. Throws std::invalid_argument for one that is
  // cut short, has the wrong mark or holds a language twice.
  static TextTable Read(std::span<const uint8_t> bytes);

  // The English texts, in the table's order.
  const std::vector<std::wstring>& English() const { return english_; }
  // English and the languages the table carries, in its order.
  std::vector<std::wstring> Languages() const;
  // The translation for one of Languages() (English for "en" or a tag the
  // table lacks).
  Translation For(const std::wstring& language) const;

 private:
  std::vector<std::wstring> english_;
  std::vector<std::pair<std::wstring, std::vector<std::wstring>>> languages_;
};

}  // namespace tavo::launcher
