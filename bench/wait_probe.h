// How long a window keeps others waiting: while probing, another thread asks the window a
// question (WM_NULL) every few milliseconds and notes how long the answer takes, which is how
// long a click or a repaint would wait.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace morvane::bench {

class WaitProbe {
 public:
  explicit WaitProbe(HWND window) : window_(window), thread_([this] { Run(); }) {}
  // Stop() must have run: a question still waiting for its answer would keep the thread.
  ~WaitProbe() {
    stop_ = true;
    thread_.join();
  }
  WaitProbe(const WaitProbe&) = delete;
  WaitProbe& operator=(const WaitProbe&) = delete;

  void Start() { probing_ = true; }
  // Asks no more; pump runs the window's messages until the question being asked is answered.
  void Stop(const std::function<void()>& pump) {
    probing_ = false;
    while (asking_ > 0) pump();
  }
  // The waits noted so far, in ms, in the order asked. Read only while stopped.
  const std::vector<double>& Waits() const { return waits_; }
  // The longest of the waits from the first-th on; 0 when none.
  double LongestFrom(std::size_t first) const {
    double longest = 0;
    for (std::size_t i = first; i < waits_.size(); ++i) longest = std::max(longest, waits_[i]);
    return longest;
  }

 private:
  void Run() {
    while (!stop_) {
      ++asking_;
      if (!probing_) {
        --asking_;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      const auto asked = std::chrono::steady_clock::now();
      DWORD_PTR result = 0;
      SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
      waits_.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked)
              .count());
      --asking_;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  const HWND window_;
  std::atomic<bool> probing_{false}, stop_{false};
  std::atomic<int> asking_{0};
  std::vector<double> waits_;
  std::thread thread_;  // last: it starts once the rest is ready
};

}  // namespace morvane::bench
