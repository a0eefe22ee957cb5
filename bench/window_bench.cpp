// Window benchmark: the real main window takes 50,000 findings from a real scan (over the
// in-memory registry, so that the worker is not what is measured). Prints how long the window
// takes from Start until every row is in the list, the longest time any single message kept
// the window busy, and how long another thread waited for the window to answer a message while
// the rows came in. Needs a display (run it under Xvfb).
//
// Usage: window_bench [--findings N]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "MainFrm/MainFrm.h"
#include "platform/MemRegistryApi.h"

using namespace morvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kValuesPerKey = 10;

// Drive C is there and holds nothing: every path on it is a broken reference.
class EmptyDriveC final : public FileSystem {
 public:
  bool FileExists(const std::string&) override { return false; }
  bool FolderExists(const std::string&) override { return false; }
  std::uint32_t DriveSerial(char c) override { return c == 'C' ? 0x1234 : 0; }
};

class CountingSink final : public ScanSink {
 public:
  void Status(const std::string&) override {}
  void Found(const Finding&) override { ++findings; }
  void End() override {}
  long findings = 0;
};

std::string KeyPath(int key) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "SOFTWARE\\Flood\\k%05d", key);
  return buffer;
}

std::string ValueName(int value) { return "v" + std::to_string(value); }

std::string Text(int key, int value) {
  return "C:\\Program Files\\Flood\\k" + std::to_string(key) + "\\file" + std::to_string(value) + ".exe -u";
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string ListText(HWND list, int row, int column) {
  char buffer[512] = {};
  ListView_GetItemText(list, row, column, buffer, sizeof buffer);
  return buffer;
}

}  // namespace

int main(int argc, char** argv) {
  int wanted = 50000;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--findings") && i + 1 < argc) wanted = std::max(kValuesPerKey, std::atoi(argv[++i]));
  }
  const int keys = wanted / kValuesPerKey;
  const int total = keys * kValuesPerKey;

  MemRegistryApi mem;
  mem.AddKey(RootKey::ClassesRoot, "txtfile");
  mem.AddKey(RootKey::LocalMachine, "SOFTWARE");
  for (int k = 0; k < keys; ++k)
    for (int v = 0; v < kValuesPerKey; ++v) mem.AddText(RootKey::CurrentUser, KeyPath(k), ValueName(v), Text(k, v));
  EmptyDriveC files;

  // The worker alone, with no window: what the scan costs before the window sees anything.
  double workerMs = 0;
  {
    CountingSink sink;
    TCleanThread worker(sink, mem, files);
    worker.FScanExtensions = worker.FScanReferences = true;
    const auto begin = Clock::now();
    worker.RunScan();
    workerMs = Ms(Clock::now() - begin);
    if (sink.findings != total) {
      std::fprintf(stderr, "the scan found %ld rows, expected %d\n", sink.findings, total);
      return 1;
    }
  }

  TMainFormServices services = DefaultServices();
  services.MessageBox = [](HWND, const std::string&, const std::string&, UINT) { return IDOK; };
  services.StartProgram = [](const std::string&) {};
  services.Registry = &mem;
  services.Files = &files;
  TMainForm form(services);
  form.Show();
  form.RefreshApp();

  // Another thread asks the window a question every few milliseconds and notes how long the
  // answer takes: that is how long a click or a repaint would wait.
  std::atomic<bool> probing{true}, proberDone{false};
  std::vector<double> waits;
  std::thread prober([&] {
    while (probing) {
      const auto asked = Clock::now();
      DWORD_PTR result = 0;
      SendMessageTimeoutA(form.Handle(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
      waits.push_back(Ms(Clock::now() - asked));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    proberDone = true;
  });

  const auto begin = Clock::now();
  form.ZelButton1Click();  // Start
  double longestDispatch = 0;
  UINT longestMessage = 0;
  long dispatched = 0;
  MSG msg;
  while (form.FCleanThread || !form.ZelButton1->Enabled()) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      continue;
    }
    const auto start = Clock::now();
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    const double took = Ms(Clock::now() - start);
    if (took > longestDispatch) {
      longestDispatch = took;
      longestMessage = msg.message;
    }
    ++dispatched;
  }
  const double elapsed = Ms(Clock::now() - begin);
  probing = false;
  // Let the prober's last question be answered.
  while (!proberDone) form.RefreshApp();
  prober.join();

  // Everything arrived, in scan order.
  const std::vector<Finding>& rows = form.Findings();
  const int listed = ListView_GetItemCount(form.ListView1);
  bool inOrder = static_cast<int>(rows.size()) == total && listed == total;
  for (int i = 0; inOrder && i < total; ++i) {
    const int k = i / kValuesPerKey, v = i % kValuesPerKey;
    inOrder = rows[i].keyPath == "\\" + KeyPath(k) && rows[i].valueName == ValueName(v) &&
              rows[i].parameter == Text(k, v);
  }
  for (int i : {0, total / 2, total - 1})
    if (inOrder) inOrder = ListText(form.ListView1, i, 1) == rows[i].parameter && ListText(form.ListView1, i, 3) == rows[i].keyPath;

  std::sort(waits.begin(), waits.end());
  const double p99 = waits.empty() ? 0 : waits[std::min(waits.size() - 1, waits.size() * 99 / 100)];
  const double worst = waits.empty() ? 0 : waits.back();
  std::printf("window: %d findings; the worker alone takes %.0f ms\n", total, workerMs);
  std::printf("  Start to every row listed:       %8.0f ms  (%.0f rows/s)\n", elapsed, total / (elapsed / 1000));
  std::printf("  longest single message:          %8.1f ms  (message 0x%04X; %ld messages dispatched)\n",
              longestDispatch, longestMessage, dispatched);
  std::printf("  answer to another thread: worst  %8.1f ms, 99th percentile %.1f ms (%zu questions)\n", worst, p99,
              waits.size());
  std::printf("  rows complete and in scan order: %s\n", inOrder ? "yes" : "NO");
  return inOrder ? 0 : 1;
}
