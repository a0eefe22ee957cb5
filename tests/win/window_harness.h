// Drives a real TMainForm in-process: pumps its messages, presses its buttons and tabs with
// mouse messages, and types its shortcuts through its accelerator table.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "MainFrm/MainFrm.h"

namespace morvane::testing {

struct ShownMessage {
  std::string text, caption;
  UINT flags;
};

// Services that record instead of showing dialogs or starting programs.
struct RecordedServices {
  std::vector<ShownMessage> messages;
  std::vector<std::string> started;
  int answer = IDOK;
  // Runs while a message box would be open, before it is answered.
  std::function<void(const ShownMessage&)> whileShown;
  std::function<bool(TSaveDialog&)> saveDialog = [](TSaveDialog&) { return false; };
  TMainFormServices Make(RegistryApi* registry = nullptr, FileSystem* files = nullptr);
};

// Lets the form's messages run until pred holds or the timeout passes; returns pred().
bool PumpUntil(TMainForm& form, const std::function<bool()>& pred,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
void Pump(TMainForm& form, int milliseconds = 30);

// A left click in the middle of a window, as mouse messages.
void ClickWindow(TMainForm& form, HWND hwnd);
// A left click on the tab that shows page (by its caption); false when no tab shows it.
bool ClickTab(TMainForm& form, const std::string& caption);
// Ctrl (when ctrl) plus a key, through the form's accelerators.
void PressShortcut(TMainForm& form, UINT key, bool ctrl);

std::vector<std::string> TabCaptions(TMainForm& form);
std::string ListViewText(HWND list, int row, int column);
bool ListViewChecked(HWND list, int row);
int ListViewRows(HWND list);
bool Visible(TZelButton& button);

}  // namespace morvane::testing
