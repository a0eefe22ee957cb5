// The Correct command of the registry page: offers a backup, removes the checked findings one
// by one (letting the window repaint between them), marks each removed row, then empties the
// list.
#include "MainFrm/RegistryPage.h"

#include <commctrl.h>

#include <string>
#include <thread>

#include "CleanReg/Repair.h"
#include "MainFrm/MainFrm.h"

namespace morvane {

namespace {

// The status line after the repair: how many rows' entries went, how many stayed.
std::string RepairStatusText(const RepairOutcome& outcome) {
  return "Entries removed: " + std::to_string(outcome.removed) +
         ". Could not be removed: " + std::to_string(outcome.failed) + ".";
}

// The folder a file name lies in (with its backslash at a drive's root); empty when it names none.
std::string FolderOf(const std::string& fileName) {
  const std::size_t slash = fileName.find_last_of("\\/");
  if (slash == std::string::npos) return {};
  std::string folder = fileName.substr(0, slash);
  if (folder.empty() || folder.back() == ':') folder += fileName[slash];
  return folder;
}

}  // namespace

std::vector<RepairRow> TRegistryPage::CheckedRows() const {
  // Row for row; the texts of the checked rows only, which are all the repair reads.
  std::vector<RepairRow> rows(findings_.size());
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (findings_.Checked(i)) rows[i] = {findings_[i], true};
  return rows;
}

void TRegistryPage::CorrectFindings() {
  if (repairing_ || FCleanThread) return;
  // From the first question on, a close request waits for the command to end, and nothing may
  // empty or refill the list, start another repair or a scan, or open the registry editor: while
  // the dialogs and the loop let messages through, those commands are switched off.
  TMainForm::BusyScope busy(form_);
  repairing_ = true;
  form_.ZelButton1->SetEnabled(false);
  form_.ZelButton3->SetEnabled(false);
  form_.ZelButton4->SetEnabled(false);
  form_.SetOtherTabsVisible(kRoleRegistry, false);
  auto restore = [this] {
    repairing_ = false;
    form_.ZelButton1->SetEnabled(true);
    form_.ZelButton4->SetEnabled(true);
    form_.SetOtherTabsVisible(kRoleRegistry, true);
  };

  bool backup = false;
  if (form_.Services.MessageBox(form_.Handle(), "To save a backup copy?", "Information",
                                MB_OKCANCEL | MB_ICONINFORMATION) == IDOK)
    backup = form_.Services.ExecuteSaveDialog(form_.Handle(), form_.SaveDialog1);

  RepairHooks hooks;
  hooks.beforeEach = [this] {
    form_.RefreshApp();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  };
  hooks.stillChecked = [this](std::size_t row) {
    return row < findings_.size() && findings_.Checked(row);
  };
  hooks.corrected = [this](std::size_t row) { MarkCorrected(row); };
  const RepairOutcome outcome =
      RepairFindings(CheckedRows(), backup, form_.SaveDialog1.FileName, *form_.Services.Registry,
                     *form_.Services.Files, hooks);
  restore();
  if (!outcome.backupWritten) {
    // Nothing was removed: the list and Correct stay as they were.
    form_.ZelButton3->SetEnabled(true);
    form_.Services.MessageBox(form_.Handle(),
                              "The backup copy could not be written. Nothing was removed.",
                              "Backup", MB_OK | MB_ICONWARNING);
    return;
  }
  // Restore offers the folder of the backup written last.
  if (backup) form_.OpenDialog1.InitialDir = FolderOf(form_.SaveDialog1.FileName);
  ClearFindings();
  form_.ZelButton3->SetEnabled(false);
  form_.SetStatusText(RepairStatusText(outcome) + form_.RightsSentence(outcome.denied));
}

}  // namespace morvane
