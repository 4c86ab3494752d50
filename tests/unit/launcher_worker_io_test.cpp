// The worker's side channels: its command line, the session folders and their access rule,
// and reading its event lines.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <utility>
#include <vector>

#include "common/diagnostics/error_record.h"
#include "common/child_process.h"
#include "common/folders.h"
#include "common/handles.h"
#include "common/user_sid.h"
#include "common/text.h"
#include "common/winrt/hresult_error.h"
#include "launcher/start/launcher_codes.h"
#include "launcher/session/worker_command.h"
#include "launcher/session/worker_event.h"
#include "launcher/session/worker_session.h"
#include "tests/tools/wine_start.h"

namespace tavo::launcher {
namespace {

std::vector<std::wstring> Argv(const std::wstring& line) {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
  std::vector<std::wstring> out(argv, argv + count);
  LocalFree(argv);
  return out;
}

TEST(LauncherWorkerCommand, ModesAndOptions) {
  WorkerCommand c{L"C:\\S\\{G}\\Tavo.Deploy.exe", WorkerMode::Check, false, L"C:\\r.json", L""};
  EXPECT_EQ(BuildWorkerCommandLine(c), L"\"C:\\S\\{G}\\Tavo.Deploy.exe\" --check --report \"C:\\r.json\"");
  c.mode = WorkerMode::Install;
  c.verbose = true;
  c.visitorId = L"vst_0123456789abcdef0123456789abcdef";
  EXPECT_EQ(BuildWorkerCommandLine(c), L"\"C:\\S\\{G}\\Tavo.Deploy.exe\" --install --verbose --report \"C:\\r.json\" "
                                       L"--visitor-id vst_0123456789abcdef0123456789abcdef");
  c.mode = WorkerMode::InstallOpenExisting;
  c.verbose = false;
  c.visitorId.clear();
  EXPECT_EQ(BuildWorkerCommandLine(c), L"\"C:\\S\\{G}\\Tavo.Deploy.exe\" --install --open-existing --report \"C:\\r.json\"");
}

TEST(LauncherWorkerCommand, ReportPathsRoundTripThroughCommandLineToArgvW) {
  for (const wchar_t* report : {L"C:\\reports\\", L"C:\\a b\\c\\\\", L"\\\\server\\share\\x y.json", L"C:\\r.json"}) {
    WorkerCommand c{L"C:\\S\\Tavo.Deploy.exe", WorkerMode::Check, false, report,
                    L"vis_0123456789abcdef0123456789abcdef"};
    std::vector<std::wstring> argv = Argv(BuildWorkerCommandLine(c));
    ASSERT_EQ(argv.size(), 6u) << report;
    EXPECT_EQ(argv[0], L"C:\\S\\Tavo.Deploy.exe");
    EXPECT_EQ(argv[2], L"--report");
    EXPECT_EQ(argv[3], report);
    EXPECT_EQ(argv[4], L"--visitor-id");
    EXPECT_EQ(argv[5], L"vis_0123456789abcdef0123456789abcdef");
  }
}

TEST(LauncherWorkerCommand, SessionFolderSddl) {
  EXPECT_EQ(SessionFolderSddl(L"S-1-5-21-0-0-0-1000"),
            L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)");
}

// The access list the folder really got, read back from the file system.
TEST(LauncherWorkerCommand, SessionFolderIsPrivateToTheUserSystemAndAdministrators) {
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
  const std::wstring folder = std::wstring(temp) + L"tavo-session-acl-" + std::to_wstring(GetCurrentProcessId());
  RemoveDirectoryW(folder.c_str());
  CreateSessionFolder(folder);

  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                  nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  UniqueLocal owner(descriptor);
  ASSERT_NE(dacl, nullptr) << "no access list: everyone has access";
  const std::wstring user = CurrentUserSid();
  bool userEntry = false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    wchar_t* sid = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidW(&ace->SidStart, &sid));
    UniqueLocal sidOwner(sid);
    SCOPED_TRACE(Utf8(sid));
    // Every entry gives full access, to files and folders below too, and only
    // to SYSTEM, the Administrators or the user: no account inherited from above.
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERITED_ACE),
              OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(ace->Mask & FILE_ALL_ACCESS, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_TRUE(std::wstring(sid) == L"S-1-5-18" || std::wstring(sid) == L"S-1-5-32-544" || sid == user);
    userEntry = userEntry || sid == user;
  }
  EXPECT_TRUE(userEntry) << "the user has no entry";
  RemoveDirectoryW(folder.c_str());
}

// Starts the fake worker on a probe of one inheritable event, once as the
// launcher starts its worker and once inheriting every inheritable handle (which
// shows that the probe sees an inherited one); returns what each probe said.
std::pair<std::string, std::string> ProbeInheritance() {
  const std::wstring name = L"Local\\tavo-inherit-probe-" + std::to_wstring(GetCurrentProcessId());
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  UniqueKernelHandle probe(CreateEventW(&inheritable, TRUE, TRUE, name.c_str()));
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring script =
      std::wstring(temp) + L"tavo-inherit-probe-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  {
    UniqueFile file(CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), "probe-handle\nexit 0\n", 20, &written, nullptr);
  }
  SetEnvironmentVariableW(L"TAVO_FAKE_WORKER_SCRIPT", script.c_str());
  SetEnvironmentVariableW(L"TAVO_FAKE_WORKER_PROBE_EVENT", name.c_str());
  SetEnvironmentVariableW(L"TAVO_FAKE_WORKER_PROBE_HANDLE",
                          std::to_wstring(reinterpret_cast<uintptr_t>(probe.get())).c_str());
  // The build tree's Unix path, as Wine's Z: drive shows it.
  std::wstring program = L"Z:";
  for (const char* c = TAVO_FAKE_WORKER; *c; ++c) program += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);

  auto run = [&](bool asTheLauncherDoes) {
    UniqueKernelHandle outRead, outWrite, inRead, inWrite;
    CreateChildPipe(outRead, outWrite, false);
    CreateChildPipe(inRead, inWrite, true);
    UniqueKernelHandle process;
    StartedChild child;  // its job ends the child when it closes
    DWORD error = testing::StartRetryingWineRefusal(L"the fake worker", [&]() -> DWORD {
      std::wstring commandLine = L"\"" + program + L"\"";
      if (asTheLauncherDoes) {
        try {
          child = StartChildProcess(program, commandLine, nullptr, {inRead.get(), outWrite.get(), nullptr});
          process = std::move(child.process);
          return 0;
        } catch (const hresult_error& failure) {
          return static_cast<DWORD>(failure.code());
        }
      }
      STARTUPINFOW startup{};
      startup.cb = sizeof(startup);
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdInput = inRead.get();
      startup.hStdOutput = outWrite.get();
      PROCESS_INFORMATION info{};
      if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &info)) {
        return GetLastError();
      }
      CloseHandle(info.hThread);
      process.reset(info.hProcess);
      return 0;
    });
    if (error != 0) return "start failed: " + std::to_string(error);
    outWrite.reset();
    inRead.reset();
    std::string output;
    char block[256];
    DWORD read = 0;
    while (ReadFile(outRead.get(), block, sizeof(block), &read, nullptr) && read > 0) output.append(block, read);
    WaitForSingleObject(process.get(), INFINITE);
    return output;
  };
  std::pair<std::string, std::string> said{run(true), run(false)};
  DeleteFileW(script.c_str());
  for (const wchar_t* variable :
       {L"TAVO_FAKE_WORKER_SCRIPT", L"TAVO_FAKE_WORKER_PROBE_EVENT", L"TAVO_FAKE_WORKER_PROBE_HANDLE"}) {
    SetEnvironmentVariableW(variable, nullptr);
  }
  return said;
}

TEST(LauncherWorkerProcess, TheWorkerInheritsOnlyItsTwoPipeEnds) {
  auto [launched, inheritingAll] = ProbeInheritance();
  EXPECT_EQ(inheritingAll, "probe inherited\n") << "the probe cannot see an inherited handle";
  EXPECT_EQ(launched, "probe absent\n");
}

std::vector<std::string> FeedAll(EventLineSplitter& splitter, const std::string& stream, size_t block) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < stream.size(); at += block) {
    for (auto& line : splitter.Feed(std::string_view(stream).substr(at, block))) lines.push_back(line);
  }
  return lines;
}

TEST(LauncherEventLines, SplitsAtLineFeedsAcrossBlocks) {
  EventLineSplitter splitter;
  auto lines = FeedAll(splitter, "a\tb\r\n\nlast-unfinished", 3);
  EXPECT_EQ(lines, (std::vector<std::string>{"a\tb\r", ""}));
}

TEST(LauncherEventLines, OverlongLineIsDroppedUpToItsLineFeed) {
  // 70,000 bytes without a line feed whose tail is itself a valid event line:
  // neither the long line nor its tail may surface as an event.
  std::string tail = "installing\t50\tT\tTAIL\t0x00000000";
  std::string stream = std::string(70000 - tail.size(), 'x') + tail + "\n" + "verifying\t-1\tT\tnext\t0x00000000\n";
  EventLineSplitter splitter;
  auto lines = FeedAll(splitter, stream, 4096);
  ASSERT_EQ(lines.size(), 1u);
  auto event = ParseEventLine(lines[0]);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->type, L"verifying");
  EXPECT_EQ(event->detail, L"next");
}

TEST(LauncherEventLines, LineUpToTheLimitIsKept) {
  std::string line = std::string(kMaxPendingLine - 1, 'y');
  EventLineSplitter splitter;
  auto lines = FeedAll(splitter, line + "\n", 4096);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), kMaxPendingLine - 1);
}

TEST(LauncherEventLines, OnlyFiveFieldLinesBecomeEvents) {
  auto event = ParseEventLine("installing\t37\tInstalling\tX\t0x00000000");
  ASSERT_TRUE(event);
  EXPECT_EQ(*event, (WorkerEvent{L"installing", 37, L"Installing", L"X", L"0x00000000"}));
  EXPECT_FALSE(ParseEventLine(""));
  EXPECT_FALSE(ParseEventLine("a\tb\tc\td"));
  EXPECT_FALSE(ParseEventLine("a\tb\tc\td\te\tf"));
  EXPECT_FALSE(ParseEventLine("a\tb\tc\td\t"));  // a trailing TAB adds no empty field
  auto empties = ParseEventLine("report_ready\t\t\t\t0x0");
  ASSERT_TRUE(empties);
  EXPECT_EQ(empties->percent, 0);  // no digits
  EXPECT_EQ(empties->title, L"");
  EXPECT_EQ(ParseEventLine("x\t-1\t\t\t0x0")->percent, -1);
}

TEST(LauncherEventLines, InvalidUtf8BecomesReplacementCharacters) {
  auto event = ParseEventLine("error\t-1\tT\t\xff\xfe ok \xc3\xa9\t0x80070005");
  ASSERT_TRUE(event);
  EXPECT_EQ(event->detail, L"\uFFFD\uFFFD ok \u00E9");
}

// The session folders: every missing level is created, an existing folder is
// fine, and a failure stays a standard exception whose record keeps the
// launcher's own code (a Windows error would be classed differently).
TEST(LauncherSessionFolders, CreatesMissingLevelsAndFailsAsStandardException) {
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
  const std::wstring root = std::wstring(temp) + L"tavo-folders-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring nested = root + L"\\a\\b/c";
  CreateFolders(nested);
  EXPECT_TRUE(GetFileAttributesW(nested.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  CreateFolders(nested);           // already there
  CreateFolders(root + L"\\a\\");  // trailing separator

  const std::wstring file = root + L"\\file";
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  for (const std::wstring& blocked : {file, file + L"\\below"}) {
    SCOPED_TRACE(Utf8(blocked));
    bool windowsError = false;
    std::string what;
    try {
      CreateFolders(blocked);
    } catch (const hresult_error&) {
      windowsError = true;
    } catch (const std::exception& error) {
      what = error.what();
      const ErrorRecord record = RecordFromStdException(L"launcher.prepare_worker_exception", error,
                                                        static_cast<int32_t>(kCodePrepareWorkerException));
      EXPECT_EQ(static_cast<uint32_t>(record.code), 0xA0041203u);
    }
    EXPECT_FALSE(windowsError);
    EXPECT_NE(what.find(Utf8(file)), std::string::npos) << what;
    EXPECT_NE(what.find("Windows error"), std::string::npos) << what;
  }

  DeleteFileW(file.c_str());
  for (const std::wstring& folder : {nested, root + L"\\a\\b", root + L"\\a", root}) RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace tavo::launcher
