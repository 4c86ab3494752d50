#include "common/telemetry/visitor_id.h"

#include <algorithm>

namespace tavo {

bool IsVisitorId(std::string_view text) {
  if (text.size() != kVisitorIdLength) return false;
  if (text.substr(0, 4) != "vis_" && text.substr(0, 4) != "vst_") return false;
  return std::all_of(text.begin() + 4, text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace tavo
