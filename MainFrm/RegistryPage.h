// TRegistryPage: the registry page. Start runs the registry scan on its worker and takes the
// worker's hand-over into the findings list; Cancel stops it; Correct removes the checked
// findings after offering a backup; Regedit starts the registry editor.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CleanReg/CleanThread.h"
#include "CleanReg/Finding.h"
#include "CleanReg/FindingTable.h"
#include "CleanReg/Repair.h"
#include "CleanReg/ScanQueue.h"
#include "MainFrm/ListColumnFit.h"
#include "MainFrm/Page.h"

namespace morvane {

class TMainForm;

class TRegistryPage final : public TPage {
 public:
  explicit TRegistryPage(TMainForm& form);
  ~TRegistryPage() override;
  TRegistryPage(const TRegistryPage&) = delete;
  TRegistryPage& operator=(const TRegistryPage&) = delete;

  void ControlsCreated() override;
  void Show() override;
  void PressButton1() override { Start(); }
  void PressButton2() override { Cancel(); }
  void PressButton3() override { CorrectFindings(); }
  void PressButton4() override { Regedit(); }
  void Closing() override;

  // The findings shown in ListView1, row for row, with their check boxes.
  const FindingTable& Findings() const { return findings_; }
  void AddFinding(const Finding& finding);
  void ClearFindings();
  // Shows the row as "Corrected!".
  void MarkCorrected(std::size_t row);
  bool Repairing() const { return repairing_; }
  // Applies what the worker has handed over, a slice at a time (the frame calls it when the
  // scan queue posts kScanQueueMessage).
  void ApplyScanMessages();

  // The scan worker started last, until its end of scan has been applied.
  std::unique_ptr<TCleanThread> FCleanThread;

 private:
  void Start();
  void Cancel();
  // The Correct command (RepairCommand.cpp).
  void CorrectFindings();
  // What Correct changes in the window while it runs (RepairCommand.cpp).
  class CorrectRunning;
  // Every row, with the texts of the checked ones; between runs after each row.
  std::vector<RepairRow> CheckedRows(const std::function<void()>& between) const;
  // The pause before each removal, with the window's messages running as they come.
  void PauseBeforeRemoval();
  // Cancel was pressed or the window was asked to close while Correct runs.
  bool StopRequested() const;
  void Regedit();
  void EndOfScan();
  void AutoSizeColumns();
  // Takes a row into the findings, not yet into the list; ShowRows lets the list know of every
  // row taken.
  void TakeFinding(const Finding& finding);
  void ShowRows();
  // Sets the check box of a row, or of every row for -1, and redraws it.
  void SetChecked(int row, bool checked);
  void ToggleChecked(int row);
  // The list's search for a row by its text (typing the start of a caption): the first row from
  // start on whose caption is, or begins with, the text, ignoring case; -1 for none.
  int FindCaption(const LVFINDINFOW& find, int start) const;
  // Keeps the list's rows: answers its questions for their texts and check boxes, and takes
  // the check boxes' changes.
  static LRESULT CALLBACK FindingsListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR data);

  TMainForm& form_;
  ScanQueue scanQueue_;
  FindingTable findings_;
  TListColumnFit columnFit_;  // widths of ListView1's columns, kept as rows are added
  bool repairing_ = false;
  bool stopRequested_ = false;  // by Cancel, during a repair
  // The check boxes take no change: while Correct runs, what the list shows is what it does.
  bool marksHeld_ = false;
};

}  // namespace morvane
