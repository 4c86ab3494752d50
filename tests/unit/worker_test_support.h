// Shared fixture for worker unit tests: a fresh process-wide worker state, the
// worker's standard output captured in a pipe, and a scratch folder.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/handles.h"

namespace tavo::worker::testing {

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Lines written to standard output since the last call, without line feeds.
  std::vector<std::string> TakeOutputLines();
  // A path in this test's scratch folder.
  std::wstring Scratch(const std::wstring& name) const;

 private:
  UniqueKernelHandle read_;
  UniqueKernelHandle write_;
  HANDLE savedOutput_ = nullptr;
  std::filesystem::path scratch_;
  std::string pending_;
};

// Splits an event line into its TAB-separated fields.
std::vector<std::string> Fields(const std::string& line);
std::string ReadFileText(const std::wstring& path);

}  // namespace tavo::worker::testing
