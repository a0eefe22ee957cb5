// TDeinstallPage: the deinstall page, with its list ListBox2 of installed programs and the
// Refresh, Uninstall and Delete buttons. The page keeps the listed programs itself, each with the
// entry it came from. Each item of ListBox2 holds the program's name (at most kMostListedCharacters
// of it, for screen readers and other programs that read the list) and, as its item data, the
// program's number; its row is drawn from the page's whole name.
// Selecting a program shows its uninstall command on the status line; Uninstall runs the command
// selected last, kept across refills and page changes; a selection whose command cannot be read
// forgets it, so Uninstall then starts nothing. Delete removes the selected entry.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CleanReg/Uninstall.h"
#include "MainFrm/Appearance.h"
#include "MainFrm/Page.h"

namespace morvane {

class TMainForm;

// The status line when Uninstall finds no program to start.
inline constexpr char kUninstallerNotFound[] = "The uninstaller was not found.";
// The status line when Delete was refused an entry for lack of rights.
inline constexpr char kRightsToRemoveEntry[] =
    "Administrator rights are needed to remove this entry.";

// The most characters of a name ListBox2 keeps as an item's text, cut on a character's boundary.
// Under Wine the common controls' list box copies an item's text through a fixed buffer when an
// ANSI caller asks for it (LB_GETTEXT): a text of 520 characters came back whole, one of 530
// overran the buffer and ended the program.
inline constexpr std::size_t kMostListedCharacters = 255;

class TDeinstallPage final : public TPage, public ListBoxRows {
 public:
  explicit TDeinstallPage(TMainForm& form) : form_(form) {}

  void ControlsCreated() override;
  void Show() override;
  void PressButton1() override { LoadUninstallList(); }  // Refresh
  void PressButton2() override { Uninstall(); }
  void PressButton3() override { Delete(); }

  // The selection in ListBox2 changed.
  void ListBox2Click();
  const std::string& UninstallCommand() const { return UninstallCommand_; }
  // The listed programs, one for each item of ListBox2, in its order.
  const std::vector<UninstallItem>& Items() const { return items_; }
  std::string_view RowText(ULONG_PTR item) const override;
  // The first row after after (round to the start, ending with after itself) whose name begins
  // with letter (a UTF-16 unit as typed), ASCII letters in either case; -1 when there is none.
  int NextRowStartingWith(wchar_t letter, int after) const;

 private:
  // Empties ListBox2 and lists the programs anew; nothing is selected after it.
  void LoadUninstallList();
  // The program selected in ListBox2, by its item's number; nothing when none is selected.
  const UninstallItem* Selected() const;
  // The entry of the program selected in ListBox2; nothing when none is selected.
  const UninstallEntry* FindUninstallKey() const;
  void Uninstall();
  void Delete();
  const std::vector<UninstallPlace>& Places();
  void Warn(const char* text, const char* caption);

  TMainForm& form_;
  std::optional<std::vector<UninstallPlace>> places_;
  std::vector<UninstallItem> items_;
  std::string UninstallCommand_;
};

}  // namespace morvane
