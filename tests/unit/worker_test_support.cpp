#include "worker_test_support.h"

#include <fstream>
#include <sstream>

#include "worker/run/cancel.h"
#include "worker/run/state.h"

namespace tavo::worker::testing {

void WorkerTest::SetUp() {
  ResetWorkerStateForTests();
  ResetCancelForTests();
  ASSERT_TRUE(::CreatePipe(read_.put(), write_.put(), nullptr, 1 << 20));
  savedOutput_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
  ::SetStdHandle(STD_OUTPUT_HANDLE, write_.get());
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  scratch_ = std::filesystem::temp_directory_path() / "tavo-unit" /
             (std::string(info->test_suite_name()) + "." + info->name());
  std::filesystem::remove_all(scratch_);
  std::filesystem::create_directories(scratch_);
}

void WorkerTest::TearDown() {
  ::SetStdHandle(STD_OUTPUT_HANDLE, savedOutput_);
  std::error_code ignored;  // a leftover scratch folder is harmless
  std::filesystem::remove_all(scratch_, ignored);
  ResetWorkerStateForTests();
  ResetCancelForTests();
}

std::vector<std::string> WorkerTest::TakeOutputLines() {
  DWORD available = 0;
  while (::PeekNamedPipe(read_.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    std::string chunk(available, '\0');
    DWORD got = 0;
    if (!::ReadFile(read_.get(), chunk.data(), available, &got, nullptr)) break;
    pending_.append(chunk.data(), got);
  }
  std::vector<std::string> lines;
  size_t start = 0, end;
  while ((end = pending_.find('\n', start)) != std::string::npos) {
    lines.push_back(pending_.substr(start, end - start));
    start = end + 1;
  }
  pending_.erase(0, start);
  return lines;
}

std::wstring WorkerTest::Scratch(const std::wstring& name) const { return (scratch_ / name).wstring(); }

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  std::string field;
  while (std::getline(stream, field, '\t')) fields.push_back(field);
  if (!line.empty() && line.back() == '\t') fields.emplace_back();
  return fields;
}

std::string ReadFileText(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace tavo::worker::testing
