#include "common/telemetry/telemetry_queue.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavo {
namespace {

// A send that records each event and holds the first until the test lets it go.
struct HeldSends {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::wstring> sent;
  bool inFirstSend = false;
  bool released = false;

  void Send(const LauncherOutcomeEvent& event) {
    std::unique_lock<std::mutex> hold(lock);
    if (sent.empty()) {
      inFirstSend = true;
      changed.notify_all();
      changed.wait(hold, [this] { return released; });
    }
    sent.push_back(event.outcome);
    changed.notify_all();
  }
};

TEST(TelemetryQueue, PostReturnsWhileASendIsHeldAndDrainWaitsForEverySendInOrder) {
  HeldSends sends;
  TelemetryQueue queue([&](const LauncherOutcomeEvent& event) { sends.Send(event); });
  queue.Post({L"unsupported", 0x8007047E, {}, false});
  {
    std::unique_lock<std::mutex> hold(sends.lock);
    sends.changed.wait(hold, [&] { return sends.inFirstSend; });
  }
  // The first send is held: posting returns all the same.
  queue.Post({L"failed", 0x80070005, {}, false});
  queue.Post({L"launch_failed", 0x80070002, {}, false});

  bool drained = false;
  std::thread drainer([&] {
    queue.Drain();
    std::lock_guard<std::mutex> hold(sends.lock);
    drained = true;
    EXPECT_EQ(sends.sent.size(), 3u) << "Drain returned before every send";
  });
  {
    std::lock_guard<std::mutex> hold(sends.lock);
    EXPECT_FALSE(drained) << "Drain returned while a send was held";
    sends.released = true;
  }
  sends.changed.notify_all();
  drainer.join();
  EXPECT_EQ(sends.sent, (std::vector<std::wstring>{L"unsupported", L"failed", L"launch_failed"}));

  // The sender stays: a post after a drain is sent too.
  queue.Post({L"cancelled", 0x800704C7, {}, true});
  queue.Drain();
  EXPECT_EQ(sends.sent.back(), L"cancelled");
}

}  // namespace
}  // namespace tavo
