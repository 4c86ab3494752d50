#include "worker/run/events.h"

#include <gtest/gtest.h>

#include "worker/run/reporting.h"
#include "worker_test_support.h"

namespace tavo::worker {
namespace {

using testing::Fields;

TEST(EventLine, HasFiveFieldsAndTheCodeText) {
  EXPECT_EQ(EventLine(L"installing", 42, L"Getting your studio ready", L"Downloading and installing Tavo Studio.", 0),
            "installing\t42\tGetting your studio ready\tDownloading and installing Tavo Studio.\t0x00000000\n");
  EXPECT_EQ(EventLine(L"cancelled", -1, L"T", L"", static_cast<int32_t>(0x800704C7)),
            "cancelled\t-1\tT\t\t0x800704C7\n");
}

TEST(EventLine, ReplacesTabsAndLineBreaksInsideTexts) {
  std::string line = EventLine(L"ty\tpe", -1, L"a\r\nb", L"c\td\ne", 1);
  EXPECT_EQ(line, "ty pe\t-1\ta  b\tc d e\t0x00000001\n");
  EXPECT_EQ(Fields(line.substr(0, line.size() - 1)).size(), 5u);
  EXPECT_EQ(EventJson(L"t", -1, L"a\tb", L"\"q\"\\", 0),
            R"({"type":"t","percent":-1,"title":"a b","detail":"\"q\"\\","code":"0x00000000"})");
}

TEST(EventLine, IsUtf8WithoutAByteOrderMark) {
  std::string line = EventLine(L"diagnostic", -1, L"x", L"Zugriff verweigert \u00e9\u4e2d", 5);
  EXPECT_EQ(line.substr(0, 10), "diagnostic");
  EXPECT_NE(line.find("\xc3\xa9\xe4\xb8\xad"), std::string::npos);
}

class EmitTest : public testing::WorkerTest {};

TEST_F(EmitTest, WritesTheLineAndKeepsTheJsonCopyInOrder) {
  Emit(L"checking", -1, L"Checking\tyour Windows setup", L"A quick check.", 0);
  Emit(L"checked", 0, L"Your PC is ready", L"ok", 0);
  auto lines = TakeOutputLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "checking\t-1\tChecking your Windows setup\tA quick check.\t0x00000000");
  ASSERT_EQ(Report().events.size(), 2u);
  EXPECT_EQ(Report().events[0],
            R"({"type":"checking","percent":-1,"title":"Checking your Windows setup","detail":"A quick check.","code":"0x00000000"})");
  EXPECT_NE(Report().events[1].find(R"("type":"checked","percent":0)"), std::string::npos);
}

TEST_F(EmitTest, StillKeepsTheEventWhenStandardOutputIsGone) {
  HANDLE saved = ::GetStdHandle(STD_OUTPUT_HANDLE);
  ::SetStdHandle(STD_OUTPUT_HANDLE, INVALID_HANDLE_VALUE);
  Emit(L"report_ready", -1, L"", L"", 0);
  ::SetStdHandle(STD_OUTPUT_HANDLE, saved);
  ASSERT_EQ(Report().events.size(), 1u);
  EXPECT_TRUE(TakeOutputLines().empty());
}

}  // namespace
}  // namespace tavo::worker
