// The scan worker and the window's thread on one in-memory registry at once. Built natively
// also under ThreadSanitizer, which reports any datum the two threads share unguarded.
#include <gtest/gtest.h>

#include "testing/MemRegistryApi.h"
#include "tests/native/fake_files.h"
#include "tests/native/scan_while_reading.h"

namespace morvane {
namespace {

TEST(ConcurrentScanTest, ScanWhileTheOtherThreadReadsGivesBothTheirExactData) {
  MemRegistryApi mem;
  FakeFiles files;
  ScanWhileReading run(mem, files, "SOFTWARE\\Concurrent");
  ASSERT_NO_FATAL_FAILURE(run.Seed(20, 6));
  run.Run();
  ExpectBothThreadsReadExactly(run, 20 * 6);
  EXPECT_EQ(mem.OpenHandles(), 0);
}

}  // namespace
}  // namespace morvane
