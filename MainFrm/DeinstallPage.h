// TDeinstallPage: the deinstall page, with its list ListBox2 and the Refresh, Uninstall and
// Delete buttons.
#pragma once

#include "MainFrm/Page.h"

namespace morvane {

class TMainForm;

class TDeinstallPage final : public TPage {
 public:
  explicit TDeinstallPage(TMainForm& form) : form_(form) {}

  void Show() override;

 private:
  TMainForm& form_;
};

}  // namespace morvane
