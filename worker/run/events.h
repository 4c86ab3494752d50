// Progress events: one TAB-separated UTF-8 line per event on standard output,
// and a JSON copy kept for the report.
#pragma once

#include <cstdint>
#include <string>

namespace tavo::worker {

// Writes the line and keeps the JSON copy; never fails for a closed output.
void Emit(const std::wstring& type, int32_t percent, const std::wstring& title, const std::wstring& detail,
          int32_t code);

// The standard-output line (with its line feed) and the JSON form, for the texts as given.
std::string EventLine(std::wstring type, int32_t percent, std::wstring title, std::wstring detail, int32_t code);
std::string EventJson(std::wstring type, int32_t percent, std::wstring title, std::wstring detail, int32_t code);

}  // namespace tavo::worker
