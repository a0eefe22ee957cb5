// Deinstall benchmark: seeds the machine's Uninstall key (native view) with 1,000 and then
// 10,000 entries and prints, for each size: the time of the list's fill on its own and through
// the real window's deinstall page, the registry calls per listed entry against the four a fill
// cannot do without (an open, two value tests, one read), and the time to select the last
// entry (the item knows its entry: one open and one read, whatever the list's length). Needs a
// display (run it under Xvfb) and a throwaway prefix: the seeded entries stay.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "CleanReg/Uninstall.h"
#include "MainFrm/MainFrm.h"
#include "bench/bench_measure.h"
#include "bench/counting_registry.h"
#include "platform/SystemFolders.h"

using namespace morvane;
using namespace morvane::bench;

namespace {

// Entries MorvaneBench00000 ... up to count, in the native view.
bool Seed(int from, int count) {
  for (int i = from; i < count; ++i) {
    char path[160], name[64], command[96];
    std::snprintf(path, sizeof path, "%s\\MorvaneBench%05d", kUninstallPath, i);
    std::snprintf(name, sizeof name, "Bench program %05d", i);
    std::snprintf(command, sizeof command, "C:\\Bench\\%05d\\uninstall.exe /quiet", i);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
      return false;
    RegSetValueExA(key, kDisplayName, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                   static_cast<DWORD>(std::strlen(name) + 1));
    RegSetValueExA(key, kUninstallString, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                   static_cast<DWORD>(std::strlen(command) + 1));
    RegCloseKey(key);
  }
  return true;
}

void Measure(int entries) {
  RegistryApi& system = SystemRegistry();
  const std::vector<UninstallPlace> places = UninstallPlaces(system);

  std::vector<double> fills;
  std::size_t listed = 0;
  for (int run = 0; run < 3; ++run)
    fills.push_back(Seconds([&] { listed = LoadUninstallList(system, places).size(); }));
  bench::CountingRegistry counting(system);
  LoadUninstallList(counting, places);
  const double perEntry = double(counting.Total()) / listed;

  TMainFormServices services = DefaultServices();
  services.MessageBox = [](HWND, const std::string& text, const std::string&, UINT) {
    std::printf("  message: %s\n", text.c_str());
    return IDOK;
  };
  TMainForm form(services);
  form.Show();
  std::vector<double> pageFills;
  for (int run = 0; run < 3; ++run) pageFills.push_back(Seconds([&] { form.TabSheet2Show(); }));
  const int items = static_cast<int>(SendMessageW(form.ListBox2, LB_GETCOUNT, 0, 0));

  // The last bench entry is the last item of the native view.
  char last[64];
  std::snprintf(last, sizeof last, "Bench program %05d", entries - 1);
  const std::vector<UninstallItem>& listedItems = form.DeinstallPage().Items();
  const auto item = std::find_if(listedItems.begin(), listedItems.end(),
                                 [&](const UninstallItem& i) { return i.displayName == last; });
  if (item == listedItems.end()) {
    std::printf("  the last bench entry is not listed\n");
    return;
  }
  SendMessageW(form.ListBox2, LB_SETCURSEL, static_cast<WPARAM>(item - listedItems.begin()), 0);
  std::vector<double> readOnly;
  for (int run = 0; run < 3; ++run)
    readOnly.push_back(
        Seconds([&] { ReadUninstallCommand(system, item->entry, SystemFolderApi()); }));
  std::vector<double> selections;
  for (int run = 0; run < 3; ++run) selections.push_back(Seconds([&] { form.ListBox2Click(); }));

  std::printf("%d bench entries (%zu listed, %d items in the window):\n", entries, listed, items);
  std::printf("  fill, routine only:        %.3f s (median of 3)\n", Median(fills));
  std::printf("  fill, deinstall page shown: %.3f s (median of 3)\n", Median(pageFills));
  std::printf(
      "  registry calls per entry:  %.2f (opens %.2f, value queries %.2f, closes %.2f, other "
      "%.2f); "
      "needed at least 4 (open, two value tests, one read)\n",
      perEntry, double(counting.opens) / listed, double(counting.queries) / listed,
      double(counting.closes) / listed, double(counting.Listings()) / listed);
  std::printf("  read of the last entry's command: %.6f s (median of 3)\n", Median(readOnly));
  std::printf("  select the last entry:     %.6f s (median of 3), status line \"%s\"\n",
              Median(selections), form.StatusText().c_str());
}

}  // namespace

int main() {
  if (!Seed(0, 1000)) {
    std::printf("cannot write the Uninstall key\n");
    return 1;
  }
  Measure(1000);
  if (!Seed(1000, 10000)) return 1;
  Measure(10000);
  return 0;
}
