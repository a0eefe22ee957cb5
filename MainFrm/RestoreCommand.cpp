// File > Restore from backup...: asks for a backup file, asks whether to put its entries back,
// restores them and tells in the status line what came of them. The reading and the rules are
// CleanReg's; the window asks, lets its messages run and reports.
#include <chrono>
#include <new>
#include <string>

#include "CleanReg/Restore.h"
#include "MainFrm/MainFrm.h"

namespace morvane {

namespace {

constexpr char kRestoreCaption[] = "Restore";

using Clock = std::chrono::steady_clock;

using MessageTurns = TMainForm::MessageTurns;

// How often the status line tells how far the restore has come.
constexpr std::chrono::milliseconds kProgressTime{100};

std::string RestoreStatusText(const RestoreOutcome& outcome) {
  return "Entries restored: " + std::to_string(outcome.restored) +
         ". Already present: " + std::to_string(outcome.alreadyPresent) +
         ". Not restored: " + std::to_string(outcome.notRestored) + ".";
}

// While the command reads and restores with the window's messages running, the other pages
// cannot be reached and the action buttons are off; File > Restore waits for the end, as a close
// request does (the command holds the window busy).
class OtherCommandsHeld {
 public:
  explicit OtherCommandsHeld(TMainForm& form)
      : form_(form),
        page_(form.Role()),
        buttons_{form.ZelButton1.get(), form.ZelButton2.get(), form.ZelButton3.get(),
                 form.ZelButton4.get()} {
    for (std::size_t i = 0; i < std::size(buttons_); ++i) {
      enabled_[i] = buttons_[i]->Enabled();
      buttons_[i]->SetEnabled(false);
    }
    form_.SetOtherTabsVisible(page_, false);
  }
  ~OtherCommandsHeld() {
    form_.SetOtherTabsVisible(page_, true);
    for (std::size_t i = 0; i < std::size(buttons_); ++i) buttons_[i]->SetEnabled(enabled_[i]);
  }
  OtherCommandsHeld(const OtherCommandsHeld&) = delete;
  OtherCommandsHeld& operator=(const OtherCommandsHeld&) = delete;

 private:
  TMainForm& form_;
  const PageRole page_;
  TZelButton* const buttons_[4];
  bool enabled_[4] = {};
};

// The file read and taken apart; false when it cannot be read or does not fit in memory.
bool ReadBackup(const std::string& fileName, FileSystem& files, BackupContents& contents,
                MessageTurns& turns) {
  try {
    std::string text;
    if (!ReadBackupFile(fileName, text, files)) return false;
    contents = ParseBackup(text, [&turns] { turns(); });
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

RestoreOutcome RestoreWithMessages(TMainForm& form, const std::vector<BackupEntry>& entries,
                                   MessageTurns& turns) {
  const std::string total = " of " + std::to_string(entries.size()) + ".";
  Clock::time_point nextProgress = Clock::time_point::min();
  return RestoreBackup(entries, *form.Services.Registry, [&](std::size_t done) {
    if (Clock::now() >= nextProgress) {
      form.SetStatusText("Restoring: " + std::to_string(done) + total);
      nextProgress = Clock::now() + kProgressTime;
    }
    turns();
  });
}

}  // namespace

void TMainForm::Restorefrombackup1Click() {
  if (ToolRunning()) return;
  // The dialogs, the reading and the restore let messages through: a close request meanwhile
  // waits for the command's end.
  BusyScope busy(*this);
  if (!Services.ExecuteOpenDialog(hwnd_, OpenDialog1)) return;
  OtherCommandsHeld held(*this);
  MessageTurns turns(*this);
  BackupContents contents;
  if (!ReadBackup(OpenDialog1.FileName, *Services.Files, contents, turns)) {
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
  const RestoreOutcome outcome = RestoreWithMessages(*this, contents.entries, turns);
  SetStatusText(RestoreStatusText(outcome) + RightsSentence(outcome.denied));
}

}  // namespace morvane
