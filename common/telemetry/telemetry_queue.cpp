#include "common/telemetry/telemetry_queue.h"

#include <system_error>
#include <utility>

namespace tavo {

TelemetryQueue::TelemetryQueue(Send send) : send_(std::move(send)) {}

TelemetryQueue::~TelemetryQueue() {
  Drain();
  {
    std::lock_guard<std::mutex> hold(lock_);
    ending_ = true;
  }
  changed_.notify_all();
  if (sender_.joinable()) sender_.join();
}

void TelemetryQueue::Post(LauncherOutcomeEvent event) {
  std::unique_lock<std::mutex> hold(lock_);
  if (!sender_.joinable()) {
    try {
      sender_ = std::thread(&TelemetryQueue::Run, this);
    } catch (const std::system_error&) {
      // No thread can be made: this one sends, late rather than never.
      hold.unlock();
      send_(event);
      return;
    }
  }
  pending_.push_back(std::move(event));
  hold.unlock();
  changed_.notify_all();
}

void TelemetryQueue::Drain() {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [this] { return pending_.empty() && !sending_; });
}

void TelemetryQueue::Run() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    changed_.wait(hold, [this] { return ending_ || !pending_.empty(); });
    if (pending_.empty()) return;  // ending, with everything sent
    LauncherOutcomeEvent event = std::move(pending_.front());
    pending_.pop_front();
    sending_ = true;
    hold.unlock();
    send_(event);
    hold.lock();
    sending_ = false;
    changed_.notify_all();
  }
}

TelemetryQueue& LauncherTelemetry() {
  // The delivery's result goes nowhere: the launcher's sends are outcome
  // events of a run that has ended on screen, and the transport already
  // bounds and records what it tried.
  static TelemetryQueue queue([](const LauncherOutcomeEvent& event) { SendLauncherOutcome(event); });
  return queue;
}

}  // namespace tavo
