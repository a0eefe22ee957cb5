// A scan sink that records what the worker hands over, in order.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "CleanReg/ScanQueue.h"

namespace morvane {

class RecordingSink final : public ScanSink {
 public:
  void Status(const std::string& text) override { Add("status:" + text); }
  void Found(const Finding& finding) override {
    Add("finding:" + finding.keyPath + "|" + finding.valueName, &finding);
  }
  void End() override { Add("end"); }

  std::vector<std::string> events;
  std::vector<Finding> findings;

 private:
  void Add(const std::string& e, const Finding* finding = nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    events.push_back(e);
    if (finding) findings.push_back(*finding);
  }
  std::mutex mutex_;
};

}  // namespace morvane
