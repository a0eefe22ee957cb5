// TDeinstallPage: the deinstall page, with its list ListBox2 of installed programs and the
// Refresh, Uninstall and Delete buttons. Selecting a program shows its uninstall command on the
// status line; Uninstall runs the command selected last, kept across refills and page changes.
#pragma once

#include <optional>
#include <string>

#include "CleanReg/Uninstall.h"
#include "MainFrm/Page.h"

namespace morvane {

class TMainForm;

class TDeinstallPage final : public TPage {
 public:
  explicit TDeinstallPage(TMainForm& form) : form_(form) {}

  void Show() override;
  void PressButton1() override { LoadUninstallList(); }  // Refresh
  void PressButton2() override { Uninstall(); }
  void PressButton3() override { Delete(); }

  // The selection in ListBox2 changed.
  void ListBox2Click();
  const std::string& UninstallCommand() const { return UninstallCommand_; }

 private:
  // Empties ListBox2 and lists the programs anew; nothing is selected after it.
  void LoadUninstallList();
  UninstallEntry FindUninstallKey();
  std::optional<std::string> SelectedItem() const;
  void Uninstall();
  void Delete();
  const UninstallPlace& Place();
  void Warn(const char* text, const char* caption);

  TMainForm& form_;
  std::optional<UninstallPlace> place_;
  std::string UninstallCommand_;
};

}  // namespace morvane
