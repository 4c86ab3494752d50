// Reading the worker's standard output: event lines of five TAB-separated fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavo::launcher {

// One worker event line, read back by field position.
struct WorkerEvent {
  std::wstring type;
  int32_t percent = 0;
  std::wstring title;
  std::wstring detail;
  std::wstring codeText;

  bool operator==(const WorkerEvent&) const = default;
};

// An unfinished line may grow to this many bytes; past that it is dropped.
inline constexpr size_t kMaxPendingLine = 65536;

// Splits the output stream into lines at line feeds (a carriage return stays part
// of the line). A line that outgrows kMaxPendingLine without a line feed is dropped
// together with the rest of it up to its line feed, so its tail never reads as a
// line of its own.
class EventLineSplitter {
 public:
  // Appends one block read from the pipe; returns the lines it completed.
  std::vector<std::string> Feed(std::string_view block);

 private:
  std::string pending_;
  bool discarding_ = false;  // inside an over-long line, dropping up to its line feed
};

// One line (UTF-8, without its line feed) as an event: exactly five fields after
// splitting at TABs the way a stream read with a TAB delimiter does (an empty line
// has no fields, a trailing TAB adds no empty field, empty inner fields count).
// Invalid UTF-8 becomes U+FFFD. Percent: leading signed decimal, no digits give 0.
std::optional<WorkerEvent> ParseEventLine(std::string_view line);

}  // namespace tavo::launcher
