#include "tests/simplatform/process_counters.h"

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <map>
#include <mutex>
#include <string>

namespace tavo::sim {
namespace {

std::atomic<uint32_t> g_deployment_attempts{0};
std::atomic<UINT32> g_operation_ids{0};
std::mutex g_enumerations_lock;
std::map<std::wstring, uint32_t> g_enumerations;  // by upper-case full name

}  // namespace

uint32_t NextDeploymentAttempt() { return ++g_deployment_attempts; }

uint32_t CountEnumeration(std::wstring_view fullName) {
  // Full names compare ignoring case, as Windows compares them.
  std::wstring key(fullName);
  std::transform(key.begin(), key.end(), key.begin(), [](wchar_t c) { return static_cast<wchar_t>(towupper(c)); });
  const std::lock_guard<std::mutex> hold(g_enumerations_lock);
  return ++g_enumerations[key];
}

UINT32 NextOperationId() { return ++g_operation_ids; }

void ResetProcessCountersForTests() {
  g_deployment_attempts = 0;
  const std::lock_guard<std::mutex> hold(g_enumerations_lock);
  g_enumerations.clear();
}

}  // namespace tavo::sim
