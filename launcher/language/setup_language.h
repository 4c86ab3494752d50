// The entry's language step: reads what Windows and the command line ask for
// and the carried text table, and makes the chosen language the active one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tavo::launcher {

// The user's preferred UI languages, most preferred first
// (GetUserPreferredUILanguages with language names); empty if Windows gives
// none.
std::vector<std::wstring> PreferredUiLanguages();

// Chooses the language (`requested`, the --language tag, before the user's
// own list) among those the table of `module` carries, and sets it as the
// active translation. Returns its tag; "en" when the table is missing or
// damaged, which leaves every text in English.
std::wstring UseSetupLanguage(HMODULE module, const std::wstring& requested);

}  // namespace tavo::launcher
