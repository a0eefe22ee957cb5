#include "MainFrm/DeinstallPage.h"

#include "MainFrm/MainFrm.h"

namespace morvane {

void TDeinstallPage::Show() {
  form_.ZelButton3->SetCaption("Delete");
  form_.ZelButton2->SetCaption("Uninstall");
  form_.ZelButton1->SetCaption("Refresh");
  form_.ZelButton1->SetEnabled(true);
  form_.ZelButton2->SetVisible(true);
  form_.ZelButton2->SetEnabled(true);
  form_.ZelButton3->SetEnabled(true);
  form_.ZelButton4->SetVisible(false);
  form_.ZelButton1->Tag = kRoleDeinstall;
  form_.SetStatusText("");
}

}  // namespace morvane
