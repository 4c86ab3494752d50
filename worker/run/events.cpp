#include "worker/run/events.h"

#include <windows.h>

#include "common/text.h"
#include "worker/run/reporting.h"

namespace tavo::worker {
namespace {

// A line always has exactly five fields: no TAB or line break inside a text.
std::wstring Sanitise(std::wstring text) {
  for (wchar_t& c : text)
    if (c == L'\r' || c == L'\n' || c == L'\t') c = L' ';
  return text;
}

std::string Line(const std::wstring& type, int32_t percent, const std::wstring& title, const std::wstring& detail,
                 int32_t code) {
  std::wstring line = type + L'\t' + std::to_wstring(percent) + L'\t' + title + L'\t' + detail + L'\t' +
                      Hex8(static_cast<uint32_t>(code)) + L'\n';
  return Utf8(line);
}

std::string Json(const std::wstring& type, int32_t percent, const std::wstring& title, const std::wstring& detail,
                 int32_t code) {
  std::string out = "{\"type\":";
  AppendJsonString(out, type);
  out += ",\"percent\":" + std::to_string(percent) + ",\"title\":";
  AppendJsonString(out, title);
  out += ",\"detail\":";
  AppendJsonString(out, detail);
  out += ",\"code\":";
  AppendJsonString(out, Hex8(static_cast<uint32_t>(code)));
  out.push_back('}');
  return out;
}

}  // namespace

std::string EventLine(std::wstring type, int32_t percent, std::wstring title, std::wstring detail, int32_t code) {
  return Line(Sanitise(std::move(type)), percent, Sanitise(std::move(title)), Sanitise(std::move(detail)), code);
}

std::string EventJson(std::wstring type, int32_t percent, std::wstring title, std::wstring detail, int32_t code) {
  return Json(Sanitise(std::move(type)), percent, Sanitise(std::move(title)), Sanitise(std::move(detail)), code);
}

void Emit(const std::wstring& type, int32_t percent, const std::wstring& title, const std::wstring& detail,
          int32_t code) {
  std::wstring t = Sanitise(type), ti = Sanitise(title), d = Sanitise(detail);
  Reporting& report = Report();
  std::lock_guard guard(report.lock);
  std::string line = Line(t, percent, ti, d, code);
  DWORD written = 0;
  // A closed or missing output is not the worker's failure: the event still
  // reaches the report, so the write result is deliberately not checked.
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  report.events.push_back(Json(t, percent, ti, d, code));
}

}  // namespace tavo::worker
