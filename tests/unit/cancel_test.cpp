#include "worker/run/cancel.h"

#include <gtest/gtest.h>

#include <thread>

#include "common/handles.h"
#include "common/winrt/abi.h"
#include "common/winrt/hresult_error.h"
#include "worker_test_support.h"

namespace tavo::worker {
namespace {

class CancelWatcherTest : public testing::WorkerTest {
 protected:
  UniqueKernelHandle read, write;
  void SetUp() override {
    WorkerTest::SetUp();
    ASSERT_TRUE(::CreatePipe(read.put(), write.put(), nullptr, 0));
  }
  void Send(const char* bytes) {
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(write.get(), bytes, static_cast<DWORD>(strlen(bytes)), &written, nullptr));
  }
};

TEST_F(CancelWatcherTest, ACByteCancelsForTheUserAfterIgnoringOtherBytes) {
  Send("xc\nC");
  RunCancelWatcher(read.get());  // returns once it has seen the C
  EXPECT_TRUE(CancelRequested());
  EXPECT_TRUE(UserCancelled());
}

TEST_F(CancelWatcherTest, OtherBytesAloneDoNotCancel) {
  std::thread watcher([&] { RunCancelWatcher(read.get()); });
  Send("abc");
  ::Sleep(50);
  EXPECT_FALSE(CancelRequested());
  write.reset();  // now the launcher is gone
  watcher.join();
  EXPECT_TRUE(CancelRequested());
  EXPECT_FALSE(UserCancelled());
}

TEST_F(CancelWatcherTest, AClosedPipeCancelsWithoutTheUserMark) {
  write.reset();
  RunCancelWatcher(read.get());
  EXPECT_TRUE(CancelRequested());
  EXPECT_FALSE(UserCancelled());
  try {
    ThrowIfCancelled();
    FAIL() << "expected cancellation";
  } catch (const hresult_error& error) {
    EXPECT_EQ(static_cast<uint32_t>(error.code()), 0x800704C7u);
  }
}

TEST_F(CancelWatcherTest, AFileAtItsEndDoesNotCancel) {
  std::wstring path = Scratch(L"stdin.txt");
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file);
  RunCancelWatcher(file.get());
  EXPECT_FALSE(CancelRequested());
  RunCancelWatcher(nullptr);
  RunCancelWatcher(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CancelRequested());
  EXPECT_NO_THROW(ThrowIfCancelled());
}

// A running deployment as the cancel operation sees it.
class FakeOperation final : public abi::IAsyncInfo {
 public:
  int cancels = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == abi::IID_IAsyncInfo) {
      *out = static_cast<abi::IAsyncInfo*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }  // lives on the test's stack
  HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Id(UINT32*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Status(abi::AsyncStatus*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Cancel() override {
    ++cancels;
    return E_FAIL;  // a failing Cancel() is ignored
  }
  HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }
};

TEST_F(CancelWatcherTest, CancelClosesTheActiveRequestAndCancelsTheDeployment) {
  std::atomic<HINTERNET> cell{::WinHttpOpen(L"test", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0)};
  HINTERNET request = cell.load();
  ASSERT_NE(request, nullptr);
  FakeOperation operation;
  RegisterActiveRequest(&cell);
  RegisterActiveDeployment(ComPtr<IUnknown>::Copy(static_cast<abi::IAsyncInfo*>(&operation)));
  Cancel();
  EXPECT_TRUE(CancelRequested());
  EXPECT_FALSE(UserCancelled());
  EXPECT_EQ(cell.load(), nullptr) << "the cell is emptied by whoever closes the handle";
  EXPECT_EQ(operation.cancels, 1);
  Cancel();
  EXPECT_EQ(operation.cancels, 2);
  RegisterActiveDeployment(nullptr);  // the fake lives on this stack
}

TEST_F(CancelWatcherTest, AnOperationRegisteredAfterTheCancelIsCancelledAndAFailingCancelIsNotThrown) {
  FakeOperation operation;
  Cancel();
  EXPECT_NO_THROW(RegisterActiveDeployment(ComPtr<IUnknown>::Copy(static_cast<abi::IAsyncInfo*>(&operation))))
      << "the deployment waits for the operation's own completion";
  EXPECT_EQ(operation.cancels, 1);
  RegisterActiveDeployment(nullptr);
}

TEST_F(CancelWatcherTest, AfterTheWorkFinishedCancelOnlySetsTheFlag) {
  FakeOperation operation;
  RegisterActiveDeployment(ComPtr<IUnknown>::Copy(static_cast<abi::IAsyncInfo*>(&operation)));
  CloseCancellationWindow();
  Cancel();
  EXPECT_TRUE(CancelRequested());
  EXPECT_EQ(operation.cancels, 0);
}

}  // namespace
}  // namespace tavo::worker
