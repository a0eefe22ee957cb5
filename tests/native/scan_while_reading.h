// A scan on a worker thread while this thread reads the same registry through the same seam,
// as the window does while its scan runs: each thread must read exactly what is there. Used on
// the in-memory registry (natively, also under ThreadSanitizer) and on the real one.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/TRegistry.h"
#include "tests/native/recording_sink.h"
#include "tests/native/reference_scan.h"

namespace morvane {

class ScanWhileReading {
 public:
  // start: a key path under HKEY_CURRENT_USER, without a leading backslash.
  ScanWhileReading(RegistryApi& api, FileSystem& files, std::string start)
      : api_(api), files_(files), start_(std::move(start)) {}

  // Keys whose values have names and texts of many lengths, past any first guess of a buffer
  // size: each text names a file that is not there.
  void Seed(int keys, int valuesPerKey) {
    for (int k = 0; k < keys; ++k) {
      const std::string path = start_ + "\\Key" + std::to_string(k);
      RegKey key = 0;
      ASSERT_EQ(api_.CreateKey(RootHandle(RootKey::CurrentUser), path, kKeyAllAccess, key), kRegOk);
      for (int v = 0; v < valuesPerKey; ++v) {
        const int n = k * valuesPerKey + v;
        const std::string name = "v" + std::to_string(v) +
                                 std::string(static_cast<std::size_t>(100 + n * 137 % 2500), 'n');
        const std::string text = "C:\\MorvaneConcurrent\\" + std::to_string(n) +
                                 std::string(static_cast<std::size_t>(50 + n * 7919 % 20000),
                                             static_cast<char>('a' + n % 26)) +
                                 ".exe";
        ASSERT_EQ(api_.SetValue(key, name, kRegSz, text + '\0'), kRegOk);
        expected_[path][name] = text;
      }
      api_.CloseKey(key);
    }
  }

  // Scans alone, then again on a worker thread while this thread reads every seeded value over
  // and over, through the registry cursor and through the seam, until the scan has ended.
  void Run() {
    RecordingSink aloneSink;
    RecordingScan alone(aloneSink, api_, files_);
    alone.ReferencePass(RootKey::CurrentUser, "\\" + start_);
    aloneFindings = aloneSink.findings;

    RecordingSink sink;
    RecordingScan worker(sink, api_, files_);
    std::atomic<bool> done{false};
    std::thread scan([&] {
      worker.ReferencePass(RootKey::CurrentUser, "\\" + start_);
      done = true;
    });
    do {
      ReadEverything();
      ++rounds;
    } while (!done);
    scan.join();
    findings = sink.findings;
  }

  std::vector<Finding> aloneFindings, findings;
  int rounds = 0;
  int reads = 0;
  std::vector<std::string> misreads;

 private:
  void ReadEverything() {
    for (const auto& [path, values] : expected_) {
      TRegistry cursor(api_);
      cursor.SelectRoot(RootKey::CurrentUser);
      if (!cursor.OpenPathForReading("\\" + path)) {
        misreads.push_back("open " + path);
        continue;
      }
      std::vector<std::string> names;
      cursor.ListValues(names);
      for (const std::string& name : names) {
        auto it = values.find(name);
        if (it == values.end()) {
          misreads.push_back("name " + name.substr(0, 20) + " in " + path);
          continue;
        }
        if (cursor.ReadText(name) != it->second)
          misreads.push_back("text of " + name.substr(0, 20));
        ++reads;
      }
      RegValue value;
      for (std::uint32_t i = 0; api_.EnumValue(cursor.BaseKey(), i, value, true) == kRegOk; ++i) {
        auto it = values.find(value.name);
        if (it == values.end() || value.data != it->second + '\0')
          misreads.push_back("value " + std::to_string(i) + " of " + path);
        ++reads;
      }
    }
  }

  RegistryApi& api_;
  FileSystem& files_;
  std::string start_;
  std::map<std::string, std::map<std::string, std::string>> expected_;
};

// The checks both registries share.
inline void ExpectBothThreadsReadExactly(const ScanWhileReading& run, std::size_t seededValues) {
  EXPECT_EQ(run.aloneFindings.size(), seededValues);
  EXPECT_EQ(run.findings, run.aloneFindings);
  EXPECT_GT(run.reads, 0);
  EXPECT_TRUE(run.misreads.empty())
      << run.misreads.size() << " misreads, first: " << run.misreads.front();
}

}  // namespace morvane
