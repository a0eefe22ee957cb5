// File > Restore from backup...: asks for a backup file, asks whether to put its entries back,
// restores them and tells in the status line what came of them. The reading and the rules are
// CleanReg's; the window asks, lets its messages run and reports.
#include <chrono>
#include <functional>
#include <memory>
#include <new>
#include <string>

#include "CleanReg/BackupReader.h"
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

// How a reading of the file ended.
enum class Reading { kDone, kNotBackup, kUnreadable };

// Reads the file's entries in order, a block at a time, and hands each to take; the window's
// messages run between blocks and between entries.
Reading ReadEntries(FileSystem& files, const std::string& fileName, MessageTurns& turns,
                    const std::function<void(const BackupEntry&)>& take) {
  const std::unique_ptr<FileReader> file = files.OpenForReading(fileName);
  if (!file) return Reading::kUnreadable;
  BackupReader reader(*file, SystemAnsiCodePage(), kBackupBlockBytes, [&turns] { turns(); });
  switch (reader.ReadHeader()) {
    case BackupReader::Start::kBackup:
      break;
    case BackupReader::Start::kNotBackup:
      return Reading::kNotBackup;
    case BackupReader::Start::kUnreadable:
      return Reading::kUnreadable;
  }
  BackupEntry entry;
  while (reader.Next(entry)) {
    take(entry);
    turns();
  }
  return reader.Failed() ? Reading::kUnreadable : Reading::kDone;
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
  // The file is read twice, in slices: once to count its entries for the question, once to
  // restore them. Neither keeps more of it than the entry in hand.
  std::size_t entries = 0;
  const Reading counted = ReadEntries(*Services.Files, OpenDialog1.FileName, turns,
                                      [&entries](const BackupEntry&) { ++entries; });
  if (counted != Reading::kDone) {
    Services.MessageBox(hwnd_,
                        counted == Reading::kNotBackup
                            ? "This file is not a backup copy of Morvane."
                            : "This file could not be read.",
                        kRestoreCaption, MB_OK | MB_ICONWARNING);
    return;
  }
  const std::string question =
      "To restore " + std::to_string(entries) + " entries from the backup copy?";
  if (Services.MessageBox(hwnd_, question, kRestoreCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  RestoreSession session(*Services.Registry);
  const std::string total = " of " + std::to_string(entries) + ".";
  Clock::time_point nextProgress = Clock::time_point::min();
  std::size_t done = 0;
  const Reading restored =
      ReadEntries(*Services.Files, OpenDialog1.FileName, turns, [&](const BackupEntry& entry) {
        if (Clock::now() >= nextProgress) {
          SetStatusText("Restoring: " + std::to_string(done) + total);
          nextProgress = Clock::now() + kProgressTime;
        }
        session.Restore(entry);
        ++done;
      });
  const RestoreOutcome& outcome = session.Outcome();
  if (restored != Reading::kDone)
    Services.MessageBox(hwnd_, "This file could not be read.", kRestoreCaption,
                        MB_OK | MB_ICONWARNING);
  SetStatusText(RestoreStatusText(outcome) + RightsSentence(outcome.denied));
}

}  // namespace morvane
