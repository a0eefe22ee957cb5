// TFilesPage: the unnecessary-files page, with its list ListBox1 and the Refresh and Clear
// buttons.
#pragma once

#include "MainFrm/Page.h"

namespace morvane {

class TMainForm;

class TFilesPage final : public TPage {
 public:
  explicit TFilesPage(TMainForm& form) : form_(form) {}

  void Show() override;
  void PressButton1() override { Refresh(); }

 private:
  void Refresh();

  TMainForm& form_;
};

}  // namespace morvane
