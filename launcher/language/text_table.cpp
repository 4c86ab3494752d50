#include "launcher/language/text_table.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <stdexcept>

#include "common/text.h"
#include "launcher/language/language_choice.h"

namespace tavo::launcher {
namespace {

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint32_t Number() {
    if (bytes_.size() - at_ < 4) throw std::invalid_argument("the text table is cut short");
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | bytes_[at_ + static_cast<size_t>(i)];
    at_ += 4;
    return value;
  }

  std::wstring String() {
    const uint8_t* start = bytes_.data() + at_;
    const void* nul = std::memchr(start, 0, bytes_.size() - at_);
    if (!nul) throw std::invalid_argument("the text table is cut short");
    const size_t length = static_cast<const uint8_t*>(nul) - start;
    at_ += length + 1;
    return Utf16(std::string_view(reinterpret_cast<const char*>(start), length));
  }

  bool Mark(const char (&mark)[5]) {
    if (bytes_.size() < 4 || std::memcmp(bytes_.data(), mark, 4) != 0) return false;
    at_ = 4;
    return true;
  }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

}  // namespace

TextTable TextTable::Read(std::span<const uint8_t> bytes) {
  Reader reader(bytes);
  if (!reader.Mark("TVT1")) throw std::invalid_argument("the text table has the wrong mark");
  const uint32_t texts = reader.Number();
  const uint32_t languages = reader.Number();
  // Each string takes one byte at least: counts beyond the size are damage,
  // not a reason to reserve gigabytes.
  if (texts > bytes.size() || languages > bytes.size()) throw std::invalid_argument("the text table is cut short");
  TextTable table;
  for (uint32_t i = 0; i < texts; ++i) table.english_.push_back(reader.String());
  for (uint32_t l = 0; l < languages; ++l) {
    std::wstring tag = reader.String();
    // Tags are chosen without regard to case, so they are told apart so too.
    const auto same = [](std::wstring_view a, std::wstring_view b) {
      return std::ranges::equal(a, b, [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
    };
    if (!IsLanguageTag(tag) || same(tag, kEnglishLanguage))
      throw std::invalid_argument("the text table names a bad language");
    for (const auto& [known, values] : table.languages_)
      if (same(known, tag)) throw std::invalid_argument("the text table holds a language twice");
    std::vector<std::wstring> values;
    for (uint32_t i = 0; i < texts; ++i) values.push_back(reader.String());
    table.languages_.emplace_back(std::move(tag), std::move(values));
  }
  if (!reader.AtEnd()) throw std::invalid_argument("the text table has bytes after its end");
  return table;
}

std::vector<std::wstring> TextTable::Languages() const {
  std::vector<std::wstring> tags{kEnglishLanguage};
  for (const auto& [tag, values] : languages_) tags.push_back(tag);
  return tags;
}

Translation TextTable::For(const std::wstring& language) const {
  for (const auto& [tag, values] : languages_)
    if (tag == language) return Translation(tag, english_, values);
  return Translation();
}

}  // namespace tavo::launcher
