// Error records: every failure either program notices, with what Windows said about it.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "common/winrt/hresult_error.h"

namespace tavo {

// What Windows reported with a failure (restricted and COM error information).
struct WindowsDetail {
  std::wstring rawMessage;
  std::wstring description;
  std::wstring restrictedDescription;
  std::wstring capabilitySid;
  std::wstring reference;
  std::wstring comDescription;
  std::wstring comSource;
  bool hasRestrictedInfo = false;
  bool hasComInfo = false;
  int32_t restrictedCode = 0;
  int32_t detailsQueryCode = 0;
  int32_t referenceQueryCode = 0;
  int32_t comDescriptionQueryCode = 0;
  int32_t comSourceQueryCode = 0;
};

struct ErrorRecord {
  std::wstring id;  // dotted operation name
  int32_t code = 0;
  std::wstring message;
  uint32_t attempt = 0;
  std::wstring packageFullName;
  std::wstring nativeDomain;  // empty: the record has no native code
  int32_t nativeCode = 0;
  std::optional<WindowsDetail> windows;
  std::wstring activityId;
  uint32_t occurrences = 1;
  uint32_t firstAttempt = 0;
  uint32_t lastAttempt = 0;
  std::wstring lastReference;
};

// A plain record: no native code, no Windows block.
ErrorRecord MakeRecord(int32_t code, std::wstring id, std::wstring message);
// A record for a thrown Windows error, with its message and error information.
ErrorRecord RecordFromWindowsError(std::wstring id, const std::wstring& text, const hresult_error& error);
// A record for an HRESULT or Win32 result that no exception carries.
ErrorRecord RecordFromCode(std::wstring id, const std::wstring& text, int32_t code);
// A record for a standard-library exception.
ErrorRecord RecordFromStdException(std::wstring id, const std::exception& error, int32_t code);

// The message a thrown Windows error carries: the restricted description when
// Windows attached one for the same code, else the system text for the code.
std::wstring WindowsMessage(const hresult_error& error);
// The message a thrown Windows error carries: the text it was made with, else
// what Windows says about its code (WindowsMessage).
std::wstring ExceptionMessage(const hresult_error& error);
// System message table text for a code (inserts ignored), trailing white space kept.
std::wstring SystemMessage(uint32_t code, DWORD language);

// `[` records `]`, compact, fixed key order.
std::string ErrorsJson(const std::vector<ErrorRecord>& records);
// Folds records that are equal but for attempt and Windows reference.
std::vector<ErrorRecord> CompactRecords(const std::vector<ErrorRecord>& records);

}  // namespace tavo
