// File > Restore from backup...: asks for a backup file, asks whether to put its entries back,
// restores them and tells in the status line what came of them. The reading and the rules are
// CleanReg's; the window only asks, lets its messages run and reports.
#include <chrono>
#include <new>
#include <string>

#include "CleanReg/Restore.h"
#include "MainFrm/MainFrm.h"

namespace morvane {

namespace {

constexpr char kRestoreCaption[] = "Restore";

// How long the window's messages wait at most while entries are restored, and how often the
// status line tells how far the restore has come.
constexpr std::chrono::milliseconds kTurnTime{5}, kProgressTime{100};

std::string RestoreStatusText(const RestoreOutcome& outcome) {
  return "Entries restored: " + std::to_string(outcome.restored) +
         ". Already present: " + std::to_string(outcome.alreadyPresent) +
         ". Not restored: " + std::to_string(outcome.notRestored) + ".";
}

// The file read and taken apart; false when it cannot be read or does not fit in memory.
bool ReadBackup(const std::string& fileName, BackupContents& contents) {
  try {
    std::string text;
    if (!ReadBackupFile(fileName, text)) return false;
    contents = ParseBackup(text);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Restores the entries with the window's messages running before the first and then every few
// milliseconds, as Clear does. Meanwhile the other pages cannot be reached and the action
// buttons are off; File > Restore waits for the end, as does a close request (the caller holds
// the window busy).
RestoreOutcome RestoreWithMessages(TMainForm& form, const std::vector<BackupEntry>& entries) {
  TZelButton* const buttons[] = {form.ZelButton1.get(), form.ZelButton2.get(),
                                 form.ZelButton3.get(), form.ZelButton4.get()};
  bool enabled[std::size(buttons)];
  for (std::size_t i = 0; i < std::size(buttons); ++i) {
    enabled[i] = buttons[i]->Enabled();
    buttons[i]->SetEnabled(false);
  }
  const PageRole page = form.Role();
  form.SetOtherTabsVisible(page, false);
  using Clock = std::chrono::steady_clock;
  Clock::time_point nextTurn = Clock::time_point::min(), nextProgress = nextTurn;
  const std::string total = " of " + std::to_string(entries.size()) + ".";
  const RestoreOutcome outcome =
      RestoreBackup(entries, *form.Services.Registry, [&](std::size_t done) {
        const Clock::time_point now = Clock::now();
        if (now < nextTurn) return;
        if (now >= nextProgress) {
          form.SetStatusText("Restoring: " + std::to_string(done) + total);
          nextProgress = now + kProgressTime;
        }
        form.RefreshApp();
        nextTurn = Clock::now() + kTurnTime;
      });
  form.SetOtherTabsVisible(page, true);
  for (std::size_t i = 0; i < std::size(buttons); ++i) buttons[i]->SetEnabled(enabled[i]);
  return outcome;
}

}  // namespace

void TMainForm::Restorefrombackup1Click() {
  if (ToolRunning()) return;
  // The dialogs and the restore let messages through: a close request meanwhile waits for the
  // command's end.
  BusyScope busy(*this);
  if (!Services.ExecuteOpenDialog(hwnd_, OpenDialog1)) return;
  BackupContents contents;
  if (!ReadBackup(OpenDialog1.FileName, contents)) {
    Services.MessageBox(hwnd_, "This file could not be read.", kRestoreCaption,
                        MB_OK | MB_ICONWARNING);
    return;
  }
  if (!contents.isBackup) {
    Services.MessageBox(hwnd_, "This file is not a backup copy of Morvane.", kRestoreCaption,
                        MB_OK | MB_ICONWARNING);
    return;
  }
  const std::string question =
      "To restore " + std::to_string(contents.entries.size()) + " entries from the backup copy?";
  if (Services.MessageBox(hwnd_, question, kRestoreCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  SetStatusText(RestoreStatusText(RestoreWithMessages(*this, contents.entries)));
}

}  // namespace morvane
