// The Correct command of the registry page: offers a backup, removes the checked findings one
// by one after a pause in which the window answers, marks each removed row, then empties the
// list. Cancel, or a close of the window, stops it after the row in hand.
#include "MainFrm/RegistryPage.h"

#include <commctrl.h>

#include <chrono>
#include <functional>
#include <string>

#include "CleanReg/Repair.h"
#include "MainFrm/MainFrm.h"

namespace morvane {

namespace {

// The status line after the repair: how many rows' entries went, how many stayed.
std::string RepairStatusText(const RepairOutcome& outcome) {
  return "Entries removed: " + std::to_string(outcome.removed) +
         ". Could not be removed: " + std::to_string(outcome.failed) + ".";
}

// What follows the counts when the repair was stopped before some checked rows.
std::string StoppedText(const RepairOutcome& outcome) {
  if (outcome.left == 0) return "";
  return " Stopped: " + std::to_string(outcome.left) +
         (outcome.left == 1 ? " checked entry was left as it was."
                            : " checked entries were left as they were.");
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

// While Correct runs, the other commands are off, Cancel is on and only the registry page can be
// reached; however Correct ends, an exception included, all of it is put back, and Correct is on
// again (the normal end switches it off once the list is emptied).
class TRegistryPage::CorrectRunning {
 public:
  explicit CorrectRunning(TRegistryPage& page) : page_(page), form_(page.form_) {
    page_.repairing_ = true;
    page_.stopRequested_ = false;
    form_.ZelButton1->SetEnabled(false);
    form_.ZelButton3->SetEnabled(false);
    form_.ZelButton4->SetEnabled(false);
    form_.ZelButton2->SetEnabled(true);
    form_.SetOtherTabsVisible(kRoleRegistry, false);
  }
  ~CorrectRunning() {
    page_.repairing_ = false;
    page_.marksHeld_ = false;
    form_.ZelButton1->SetEnabled(true);
    form_.ZelButton2->SetEnabled(false);
    form_.ZelButton3->SetEnabled(true);
    form_.ZelButton4->SetEnabled(true);
    form_.SetOtherTabsVisible(kRoleRegistry, true);
  }
  CorrectRunning(const CorrectRunning&) = delete;
  CorrectRunning& operator=(const CorrectRunning&) = delete;

 private:
  TRegistryPage& page_;
  TMainForm& form_;
};

std::vector<RepairRow> TRegistryPage::CheckedRows(const std::function<void()>& between) const {
  // Row for row; the texts of the checked rows only, which are all the repair reads.
  std::vector<RepairRow> rows(findings_.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (findings_.Checked(i)) rows[i] = {findings_[i], true};
    between();
  }
  return rows;
}

bool TRegistryPage::StopRequested() const { return stopRequested_ || form_.CloseRequested(); }

void TRegistryPage::PauseBeforeRemoval() {
  // Waits for messages rather than sleeping, so that each is handled as it comes. A stop ends
  // the pause at once: no removal follows it.
  const auto end = std::chrono::steady_clock::now() + form_.Services.PauseBeforeRemoval;
  for (;;) {
    form_.RefreshApp();
    if (StopRequested()) return;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

void TRegistryPage::CorrectFindings() {
  if (repairing_ || form_.ToolRunning()) return;
  // From the first question on, a close request stops the command after the row in hand and
  // then closes the window, and nothing may empty or refill the list, start another repair or
  // a scan, or open the registry editor: while the dialogs and the loop let messages through,
  // those commands are switched off. Cancel stops the command as a close does.
  TMainForm::BusyScope busy(form_);
  RepairOutcome outcome;
  bool backup = false;
  {
    CorrectRunning running(*this);
    const bool wanted =
        form_.Services.MessageBox(form_.Handle(), "To save a backup copy?", "Information",
                                  MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
    // From the answer on, the check boxes hold still: the backup and the removals follow the
    // rows checked now, as the list shows them until it is emptied.
    marksHeld_ = true;
    backup = wanted && form_.Services.ExecuteSaveDialog(form_.Handle(), form_.SaveDialog1);

    // The rows and the backup are made a slice at a time, with the window answering between.
    TMainForm::MessageTurns turns(form_);
    RepairHooks hooks;
    hooks.between = [&turns] { turns(); };
    hooks.beforeEach = [this] { PauseBeforeRemoval(); };
    hooks.stop = [this] { return StopRequested(); };
    hooks.corrected = [this](std::size_t row) { MarkCorrected(row); };
    outcome = RepairFindings(CheckedRows(hooks.between), backup, form_.SaveDialog1.FileName,
                             *form_.Services.Registry, *form_.Services.Files, hooks);
  }
  if (!outcome.backupWritten) {
    // Nothing was removed: the list and Correct stay as they were.
    form_.Services.MessageBox(form_.Handle(),
                              "The backup copy could not be written. Nothing was removed.",
                              "Backup", MB_OK | MB_ICONWARNING);
    return;
  }
  // Restore offers the folder of the backup written last.
  if (backup) form_.OpenDialog1.InitialDir = FolderOf(form_.SaveDialog1.FileName);
  ClearFindings();
  form_.ZelButton3->SetEnabled(false);
  form_.SetStatusText(RepairStatusText(outcome) + form_.RightsSentence(outcome.denied) +
                      StoppedText(outcome));
}

}  // namespace morvane
