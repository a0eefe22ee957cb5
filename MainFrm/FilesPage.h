// TFilesPage: the unnecessary-files page, with its list ListBox1 and the Refresh and Clear
// buttons. The collection runs on the window's thread and lets the window's messages run between
// files, every few milliseconds. Each collection first empties the list.
//
// One collection at a time: entering the page again or Refresh while a collection runs
// abandons it (it adds nothing more, not even its closing lines, and leaves the buttons and
// tabs alone) and a new one starts from zero once the abandoned walk has unwound. Leaving the
// page abandons it too. Clear does nothing while a collection runs.
//
// Clear deletes the listed files with the window's messages running every few milliseconds;
// meanwhile the other pages cannot be reached, Refresh and Clear are off and a close request
// waits. It ends by emptying the list and saying on the status line how many files went.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include "CleanReg/UnnecessaryFiles.h"
#include "MainFrm/Page.h"

namespace morvane {

class TMainForm;

class TFilesPage final : public TPage {
 public:
  explicit TFilesPage(TMainForm& form) : form_(form) {}

  void Show() override;
  void PressButton1() override { Refresh(); }
  void PressButton3() override { Clear(); }
  void Closing() override;

  bool Collecting() const { return collecting_; }
  bool Clearing() const { return clearing_; }
  // The files listed in ListBox1, line for line, with the folder each was collected from.
  const std::vector<ListedFile>& Listed() const { return listed_; }

 private:
  friend class TListBoxCollection;
  void Refresh();
  void Clear();
  // Runs a collection, or, when one is running, abandons it and has a new one run after it.
  void Collect();
  void RunCollection();
  void EmptyList(const std::function<bool()>& going);
  // How long the window's messages wait at most while the page works.
  static constexpr std::chrono::milliseconds kTurnTime{5};

  TMainForm& form_;
  std::vector<ListedFile> listed_;
  unsigned generation_ = 0;  // the collection that may write; any other is abandoned
  bool collecting_ = false, again_ = false, closing_ = false, clearing_ = false;
};

}  // namespace morvane
