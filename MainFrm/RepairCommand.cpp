// The Correct command of the registry page: offers a backup, removes the checked findings one
// by one (letting the window repaint between them), marks each removed row, then empties the
// list.
#include "MainFrm/MainFrm.h"

#include <commctrl.h>

#include <string>
#include <thread>

#include "CleanReg/Repair.h"

namespace morvane {

namespace {

constexpr int kPageFiles = 1, kPageDeinstall = 2;

// The status line after the repair: how many rows' entries went, how many stayed.
std::string RepairStatusText(const RepairOutcome& outcome) {
  return "Entries removed: " + std::to_string(outcome.removed) +
         ". Could not be removed: " + std::to_string(outcome.failed) + ".";
}

}  // namespace

std::vector<RepairRow> TMainForm::CheckedRows() const {
  std::vector<RepairRow> rows;
  const int count = ListView_GetItemCount(ListView1);
  rows.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count && static_cast<std::size_t>(i) < findings_.size(); ++i)
    rows.push_back({findings_[static_cast<std::size_t>(i)], ListView_GetCheckState(ListView1, i) != 0});
  return rows;
}

void TMainForm::CorrectFindings() {
  if (repairing_ || FCleanThread) return;
  // From the first question on, a close request waits for the command to end, and nothing may
  // empty or refill the list or start another repair or a scan: while the dialogs and the loop
  // let messages through, those commands are switched off.
  BusyScope busy(*this);
  repairing_ = true;
  ZelButton1->SetEnabled(false);
  ZelButton3->SetEnabled(false);
  PageControl1->SetTabVisible(kPageFiles, false);
  PageControl1->SetTabVisible(kPageDeinstall, false);
  auto restore = [this] {
    repairing_ = false;
    ZelButton1->SetEnabled(true);
    PageControl1->SetTabVisible(kPageFiles, true);
    PageControl1->SetTabVisible(kPageDeinstall, true);
  };

  bool backup = false;
  if (Services.MessageBox(hwnd_, "To save a backup copy?", "Information", MB_OKCANCEL | MB_ICONINFORMATION) == IDOK)
    backup = Services.ExecuteSaveDialog(hwnd_, SaveDialog1);

  RepairHooks hooks;
  hooks.beforeEach = [this] {
    RefreshApp();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  };
  hooks.stillChecked = [this](std::size_t row) {
    return ListView_GetCheckState(ListView1, static_cast<int>(row)) != 0;
  };
  hooks.corrected = [this](std::size_t row) {
    ListView_SetItemText(ListView1, static_cast<int>(row), 0, const_cast<char*>(kCorrectedCaption));
  };
  const RepairOutcome outcome = RepairFindings(CheckedRows(), backup, SaveDialog1.FileName, *Services.Registry, hooks);
  restore();
  if (!outcome.backupWritten) {
    // Nothing was removed: the list and Correct stay as they were.
    ZelButton3->SetEnabled(true);
    Services.MessageBox(hwnd_, "The backup copy could not be written. Nothing was removed.", "Backup",
                        MB_OK | MB_ICONWARNING);
    return;
  }
  ClearFindings();
  ZelButton3->SetEnabled(false);
  SetStatusText(RepairStatusText(outcome));
}

}  // namespace morvane
