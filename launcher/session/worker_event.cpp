#include "launcher/session/worker_event.h"

#include <algorithm>
#include <cwchar>

#include "common/text.h"

namespace tavo::launcher {

std::vector<std::string> EventLineSplitter::Feed(std::string_view block) {
  std::vector<std::string> lines;
  while (!block.empty()) {
    size_t feed = block.find('\n');
    if (discarding_) {
      if (feed == std::string_view::npos) return lines;  // the whole block belongs to the dropped line
      discarding_ = false;
      block.remove_prefix(feed + 1);
      continue;
    }
    if (feed == std::string_view::npos) {
      pending_.append(block);
      break;
    }
    pending_.append(block.substr(0, feed));
    lines.push_back(std::move(pending_));
    pending_.clear();
    block.remove_prefix(feed + 1);
  }
  if (pending_.size() > kMaxPendingLine) {
    pending_.clear();
    pending_.shrink_to_fit();
    discarding_ = true;
  }
  return lines;
}

std::optional<WorkerEvent> ParseEventLine(std::string_view line) {
  std::wstring text = Utf16(line);
  std::vector<std::wstring> fields;
  size_t start = 0;
  while (start < text.size()) {
    size_t tab = text.find(L'\t', start);
    if (tab == std::wstring::npos) {
      fields.push_back(text.substr(start));
      break;
    }
    fields.push_back(text.substr(start, tab - start));
    start = tab + 1;
  }
  if (fields.size() != 5) return std::nullopt;
  WorkerEvent event;
  event.type = std::move(fields[0]);
  long long percent = std::wcstoll(fields[1].c_str(), nullptr, 10);
  event.percent = static_cast<int32_t>(std::clamp<long long>(percent, INT32_MIN, INT32_MAX));
  event.title = std::move(fields[2]);
  event.detail = std::move(fields[3]);
  event.codeText = std::move(fields[4]);
  return event;
}

}  // namespace tavo::launcher
