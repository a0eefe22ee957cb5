// The hand-over from the scan worker to the user-interface thread: status texts, findings and
// the end of the scan, applied by the UI thread in exactly the order the worker issued them.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "CleanReg/Finding.h"

namespace morvane {

// What the worker reports. Implemented by ScanQueue for the window and by vectors in tests.
class ScanSink {
 public:
  virtual ~ScanSink() = default;
  virtual void Status(const std::string& text) = 0;
  virtual void Found(const Finding& finding) = 0;
  virtual void End() = 0;
};

struct ScanMessage {
  enum class Kind { Status, Finding, End };
  Kind kind;
  std::string text;  // Status only
  Finding finding;   // Finding only
};

// A locked FIFO. The worker pushes; whenever the queue turns from empty to non-empty the
// wake-up callback runs (on the worker thread) so that the UI thread can drain it. The UI thread
// takes what has arrived, all at once or a slice at a time, and applies it in order.
//
// The worker runs at most maxPending messages ahead of the window: a push into a full queue
// waits until the window has taken some, so the queue's memory stays bounded whatever the
// registry holds, and a Cancel is reached after at most that many rows still to be listed.
class ScanQueue final : public ScanSink {
 public:
  static constexpr std::size_t kDefaultMaxPending = 1024;

  explicit ScanQueue(std::function<void()> wakeUp, std::size_t maxPending = kDefaultMaxPending)
      : wakeUp_(std::move(wakeUp)), maxPending_(maxPending == 0 ? 1 : maxPending) {}

  void Status(const std::string& text) override { Push({ScanMessage::Kind::Status, text, {}}); }
  void Found(const Finding& finding) override { Push({ScanMessage::Kind::Finding, {}, finding}); }
  void End() override { Push({ScanMessage::Kind::End, {}, {}}); }

  std::vector<ScanMessage> TakeAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ScanMessage> out(std::make_move_iterator(pending_.begin()),
                                 std::make_move_iterator(pending_.end()));
    pending_.clear();
    space_.notify_all();
    return out;
  }

  // Takes at most max of the oldest messages, in order; more tells whether any are left. While
  // any are left the worker's pushes wake nobody: the taker comes back for them by itself.
  std::vector<ScanMessage> Take(std::size_t max, bool& more) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t n = std::min(max, pending_.size());
    std::vector<ScanMessage> out(
        std::make_move_iterator(pending_.begin()),
        std::make_move_iterator(pending_.begin() + static_cast<std::ptrdiff_t>(n)));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    more = !pending_.empty();
    if (n > 0) space_.notify_all();
    return out;
  }

  // Drops whatever is pending, stops waking anybody up and lets a waiting push return (the
  // window is going away).
  void Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.clear();
    wakeUp_ = nullptr;
    space_.notify_all();
  }

  std::size_t Pending() {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_.size();
  }

 private:
  void Push(ScanMessage message) {
    std::function<void()> wake;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      space_.wait(lock, [this] { return !wakeUp_ || pending_.size() < maxPending_; });
      if (!wakeUp_) return;
      if (pending_.empty()) wake = wakeUp_;
      pending_.push_back(std::move(message));
    }
    if (wake) wake();
  }

  std::mutex mutex_;
  std::condition_variable space_;
  std::deque<ScanMessage> pending_;
  std::function<void()> wakeUp_;
  const std::size_t maxPending_;
};

}  // namespace morvane
