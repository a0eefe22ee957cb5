// A scan on a worker thread while this thread reads the same registry through the same seam,
// as the window does while its scan runs: each thread must read exactly what is there. On the
// in-memory registry (natively also under ThreadSanitizer, which reports any datum the two
// threads share unguarded) and, in the Windows build, on the real one.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "testing/MemRegistryApi.h"
#include "tests/native/fake_files.h"
#include "tests/native/recording_sink.h"
#include "tests/native/reference_scan.h"

namespace morvane {
namespace {

// Scans start, a key under HKEY_CURRENT_USER holding keys * perKey values whose names and texts
// (each naming a missing file) have many lengths, past any first guess of a buffer size: alone,
// then on a worker while this thread reads every value, by the cursor and by the seam.
void ScanWhileReading(RegistryApi& api, FileSystem& files, const std::string& start, int keys,
                      int perKey) {
  std::map<std::string, std::map<std::string, std::string>> expected;
  for (int k = 0; k < keys; ++k) {
    const std::string path = start + "\\Key" + std::to_string(k);
    RegKey key = 0;
    ASSERT_EQ(api.CreateKey(RootHandle(RootKey::CurrentUser), path, kKeyAllAccess, key), kRegOk);
    for (int v = 0, n = k * perKey; v < perKey; ++v, ++n) {
      const std::string name = "v" + std::to_string(v) + std::string(100 + n * 137 % 2500, 'n');
      const std::string text = "C:\\MorvaneConcurrent\\" + std::to_string(n) +
                               std::string(50 + n * 7919 % 20000, static_cast<char>('a' + n % 26)) +
                               ".exe";
      ASSERT_EQ(api.SetValue(key, name, kRegSz, text + '\0'), kRegOk);
      expected[path][name] = text;
    }
    api.CloseKey(key);
  }
  RecordingSink aloneSink, sink;
  RecordingScan(aloneSink, api, files).ReferencePass(RootKey::CurrentUser, "\\" + start);
  RecordingScan worker(sink, api, files);
  std::atomic<bool> done{false};
  std::thread scan([&] {
    worker.ReferencePass(RootKey::CurrentUser, "\\" + start);
    done = true;
  });
  int reads = 0;
  std::vector<std::string> misreads;
  do {
    for (const auto& [path, values] : expected) {
      TRegistry cursor(api);
      cursor.SelectRoot(RootKey::CurrentUser);
      if (!cursor.OpenPathForReading("\\" + path)) misreads.push_back("open " + path);
      std::vector<std::string> names;
      cursor.ListValues(names);
      for (const std::string& name : names) {
        auto it = values.find(name);
        ++reads;
        if (it == values.end() || cursor.ReadText(name) != it->second)
          misreads.push_back(name.substr(0, 20) + " in " + path);
      }
      RegValue value;
      for (std::uint32_t i = 0; api.EnumValue(cursor.BaseKey(), i, value, true) == kRegOk; ++i) {
        auto it = values.find(value.name);
        if (it == values.end() || value.data != it->second + '\0')
          misreads.push_back("value " + std::to_string(i) + " of " + path);
        ++reads;
      }
    }
  } while (!done);
  scan.join();
  EXPECT_EQ(aloneSink.findings.size(), static_cast<std::size_t>(keys * perKey));
  EXPECT_EQ(sink.findings, aloneSink.findings);
  EXPECT_GT(reads, 0);
  EXPECT_TRUE(misreads.empty()) << misreads.size() << " misreads, first: " << misreads.front();
}

TEST(ConcurrentScanTest, InMemory) {
  MemRegistryApi mem;
  FakeFiles files;
  ScanWhileReading(mem, files, "SOFTWARE\\Concurrent", 20, 6);
  EXPECT_EQ(mem.OpenHandles(), 0);
}

#ifdef _WIN32
// Through the one seam the window hands its worker, with enough values, long enough, that the
// two threads' calls overlap many times over.
TEST(ConcurrentScanTest, OnTheRealRegistry) {
  TRegistry().DeleteTree("\\Software\\MorvaneTest");
  ScanWhileReading(SystemRegistry(), SystemFileSystem(), "Software\\MorvaneTest\\Concurrent", 60,
                   8);
  EXPECT_TRUE(TRegistry().DeleteTree("\\Software\\MorvaneTest"));
}
#endif

}  // namespace
}  // namespace morvane
