// The scan worker and the window's thread on the real (Wine) registry at once, through the one
// seam the window hands its worker: neither may read the other's names or data.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/native/scan_while_reading.h"

namespace morvane {
namespace {

constexpr char kScratch[] = "Software\\MorvaneTest\\Concurrent";

TEST(ConcurrentScanSystemTest, ScanWhileTheOtherThreadReadsGivesBothTheirExactData) {
  RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
  {
    // Enough values, long enough, that the two threads' calls overlap many times over.
    ScanWhileReading run(SystemRegistry(), SystemFileSystem(), kScratch);
    ASSERT_NO_FATAL_FAILURE(run.Seed(60, 8));
    run.Run();
    ExpectBothThreadsReadExactly(run, 60 * 8);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\MorvaneTest");
}

}  // namespace
}  // namespace morvane
