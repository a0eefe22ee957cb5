// File > Restore from backup...: asks for a backup file, asks whether to put its entries back,
// restores them and tells in the status line what came of them. The reading and the rules are
// CleanReg's; the window asks, lets its messages run and reports.
#include <algorithm>
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
constexpr char kUnreadable[] = "This file could not be read.";

using Clock = std::chrono::steady_clock;

using MessageTurns = TMainForm::MessageTurns;

// How often the status line tells how far the restore has come.
constexpr std::chrono::milliseconds kProgressTime{100};

std::string RestoreStatusText(const RestoreOutcome& outcome) {
  return "Entries restored: " + std::to_string(outcome.restored) +
         ". Already present: " + std::to_string(outcome.alreadyPresent) +
         ". Not restored: " + std::to_string(outcome.notRestored) + ".";
}

// What the status line adds when the restore was stopped before some entries.
std::string StoppedText(std::size_t left) {
  if (left == 0) return "";
  return " Stopped: " + std::to_string(left) +
         (left == 1 ? " entry was not restored." : " entries were not restored.");
}

}  // namespace

// While the command reads and restores with the window's messages running, the other pages
// cannot be reached and the action buttons are off but Cancel, which stops the command; File >
// Restore waits for the end, as a close request does (the command holds the window busy).
// Everything is put back as it was on every way out.
class TMainForm::RestoreHeld {
 public:
  explicit RestoreHeld(TMainForm& form)
      : form_(form),
        page_(form.Role()),
        buttons_{form.ZelButton1.get(), form.ZelButton2.get(), form.ZelButton3.get(),
                 form.ZelButton4.get()},
        cancelCaption_(form.ZelButton2->Caption()),
        cancelVisible_(form.ZelButton2->Visible()) {
    for (std::size_t i = 0; i < std::size(buttons_); ++i) {
      enabled_[i] = buttons_[i]->Enabled();
      buttons_[i]->SetEnabled(false);
    }
    form_.SetOtherTabsVisible(page_, false);
    form_.restoring_ = true;
    form_.restoreStopped_ = false;
    form_.ZelButton2->SetCaption("Cancel");
    form_.ZelButton2->SetVisible(true);
    form_.ZelButton2->SetEnabled(true);
  }
  ~RestoreHeld() {
    form_.restoring_ = form_.restoreStopped_ = false;
    form_.ZelButton2->SetCaption(cancelCaption_);
    form_.ZelButton2->SetVisible(cancelVisible_);
    form_.SetOtherTabsVisible(page_, true);
    for (std::size_t i = 0; i < std::size(buttons_); ++i) buttons_[i]->SetEnabled(enabled_[i]);
  }
  RestoreHeld(const RestoreHeld&) = delete;
  RestoreHeld& operator=(const RestoreHeld&) = delete;

  // Cancel was pressed or the window was asked to close.
  bool Stopped() const { return form_.restoreStopped_ || form_.CloseRequested(); }

 private:
  TMainForm& form_;
  const PageRole page_;
  TZelButton* const buttons_[4];
  bool enabled_[4] = {};
  const std::string cancelCaption_;
  const bool cancelVisible_;
};

void TMainForm::Restorefrombackup1Click() {
  if (ToolRunning()) return;
  // The dialogs, the reading and the restore let messages through: a close request meanwhile
  // stops the command and closes the window at its end.
  BusyScope busy(*this);
  if (!Services.ExecuteOpenDialog(hwnd_, OpenDialog1)) return;
  RestoreHeld held(*this);
  MessageTurns turns(*this);
  // The file is opened once, shared with readers only, and read twice through that one handle,
  // in slices: once to count its entries for the question, once to restore them. Nobody can write
  // or replace it meanwhile: what the question counted is what is restored.
  const std::unique_ptr<FileReader> file = Services.Files->OpenForReading(OpenDialog1.FileName);
  const auto warn = [this](const char* text) {
    Services.MessageBox(hwnd_, text, kRestoreCaption, MB_OK | MB_ICONWARNING);
  };
  if (!file) return warn(kUnreadable);
  BackupReader reader(*file, SystemAnsiCodePage(), kBackupBlockBytes, [&] {
    turns();
    return !held.Stopped();
  });
  std::size_t entries = 0;
  switch (reader.ReadHeader()) {
    case BackupReader::Start::kBackup:
      if (reader.Count(entries)) break;
      if (reader.Stopped()) return;
      return warn(kUnreadable);
    case BackupReader::Start::kNotBackup:
      return warn("This file is not a backup copy of Morvane.");
    case BackupReader::Start::kUnreadable:
      return warn(kUnreadable);
  }
  const std::string question =
      "To restore " + std::to_string(entries) + " entries from the backup copy?";
  if (Services.MessageBox(hwnd_, question, kRestoreCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  RestoreSession session(*Services.Registry);
  const std::string total = " of " + std::to_string(entries) + ".";
  Clock::time_point nextProgress = Clock::time_point::min();
  std::size_t done = 0;
  BackupEntry entry;
  while (!held.Stopped() && reader.Next(entry)) {
    if (Clock::now() >= nextProgress) {
      SetStatusText("Restoring: " + std::to_string(done) + total);
      nextProgress = Clock::now() + kProgressTime;
    }
    session.Restore(entry);
    ++done;
    turns();
  }
  const RestoreOutcome& outcome = session.Outcome();
  const bool stopped = held.Stopped();
  if (reader.Failed() && !stopped) warn(kUnreadable);
  SetStatusText(RestoreStatusText(outcome) + RightsSentence(outcome.denied) +
                StoppedText(stopped ? entries - std::min(done, entries) : 0));
}

}  // namespace morvane
