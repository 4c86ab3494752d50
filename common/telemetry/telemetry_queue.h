// The launcher's telemetry sends leave the window thread: one background
// sender posts them in the order they were made, each as one synchronous send
// bounded by the transport's own time-outs. Behind a firewall that drops
// packets a send can take a minute; the window must draw and answer meanwhile.
// Before the process ends it waits for the sends still queued or in flight
// (Drain), so that nothing is lost.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "common/telemetry/launcher_events.h"

namespace tavo {

class TelemetryQueue {
 public:
  using Send = std::function<void(const LauncherOutcomeEvent&)>;
  // `send` runs on the sender thread, one event at a time; it must not throw.
  explicit TelemetryQueue(Send send);
  ~TelemetryQueue();  // drains, then ends the sender
  TelemetryQueue(const TelemetryQueue&) = delete;
  TelemetryQueue& operator=(const TelemetryQueue&) = delete;

  // Queues one event and returns at once; starts the sender on the first one
  // (when no thread can be made, sends the event on the calling thread).
  void Post(LauncherOutcomeEvent event);
  // Waits until every event posted so far has been sent.
  void Drain();

 private:
  void Run();

  Send send_;
  std::mutex lock_;
  std::condition_variable changed_;  // an event queued, one sent, or the end
  std::deque<LauncherOutcomeEvent> pending_;
  bool sending_ = false;  // the sender holds an event taken from pending_
  bool ending_ = false;
  std::thread sender_;
};

// The launcher's queue over SendLauncherOutcome; the entry drains it before
// the process ends.
TelemetryQueue& LauncherTelemetry();

}  // namespace tavo
