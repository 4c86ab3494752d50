#include "launcher/language/setup_language.h"

#include <stdexcept>

#include "common/winrt/hresult_error.h"
#include "launcher/language/language_choice.h"
#include "launcher/language/text_table.h"
#include "launcher/packed/packed_resource.h"
#include "resources/resource_ids.h"

namespace tavo::launcher {

std::vector<std::wstring> PreferredUiLanguages() {
  ULONG count = 0, size = 0;
  if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0) return {};
  std::wstring buffer(size, L'\0');
  if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, buffer.data(), &size)) return {};
  std::vector<std::wstring> languages;
  for (const wchar_t* entry = buffer.c_str(); *entry; entry += wcslen(entry) + 1) languages.emplace_back(entry);
  return languages;
}

std::wstring UseSetupLanguage(HMODULE module, const std::wstring& requested) {
  TextTable table;
  try {
    const std::vector<uint8_t> bytes = ExpandResource(module, TAVO_RESOURCE_TEXTS);
    table = TextTable::Read(bytes);
  } catch (const hresult_error&) {
    return kEnglishLanguage;  // a missing or damaged table: the code's own English texts show
  } catch (const std::exception&) {
    return kEnglishLanguage;  // the same for a table that reads wrong, or no memory to read it
  }
  std::vector<std::wstring> preferred;
  if (!requested.empty()) preferred.push_back(requested);
  for (std::wstring& language : PreferredUiLanguages()) preferred.push_back(std::move(language));
  const std::vector<std::wstring> shipped = table.Languages();
  std::wstring chosen = ChooseLanguage(preferred, shipped);
  SetActiveTranslation(table.For(chosen));
  return chosen;
}

}  // namespace tavo::launcher
