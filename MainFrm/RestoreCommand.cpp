// File > Restore from backup...: asks for a backup file, asks whether to put its entries back,
// restores them and tells in the status line what came of them. The reading and the rules are
// CleanReg's; the window only asks and reports.
#include <string>

#include "CleanReg/Restore.h"
#include "MainFrm/MainFrm.h"

namespace morvane {

namespace {

constexpr char kRestoreCaption[] = "Restore";

std::string RestoreStatusText(const RestoreOutcome& outcome) {
  return "Entries restored: " + std::to_string(outcome.restored) +
         ". Already present: " + std::to_string(outcome.alreadyPresent) +
         ". Not restored: " + std::to_string(outcome.notRestored) + ".";
}

}  // namespace

void TMainForm::Restorefrombackup1Click() {
  if (ToolRunning()) return;
  // The dialogs let messages through: a close request meanwhile waits for the command's end.
  BusyScope busy(*this);
  if (!Services.ExecuteOpenDialog(hwnd_, OpenDialog1)) return;
  std::string text;
  if (!ReadBackupFile(OpenDialog1.FileName, text)) {
    Services.MessageBox(hwnd_, "This file could not be read.", kRestoreCaption,
                        MB_OK | MB_ICONWARNING);
    return;
  }
  const BackupContents contents = ParseBackup(text);
  if (!contents.isBackup) {
    Services.MessageBox(hwnd_, "This file is not a backup copy of Morvane.", kRestoreCaption,
                        MB_OK | MB_ICONWARNING);
    return;
  }
  const std::string question =
      "To restore " + std::to_string(contents.entries.size()) + " entries from the backup copy?";
  if (Services.MessageBox(hwnd_, question, kRestoreCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  SetStatusText(RestoreStatusText(RestoreBackup(contents.entries, *Services.Registry)));
}

}  // namespace morvane
