#include "MainFrm/FilesPage.h"

#include "MainFrm/MainFrm.h"

namespace morvane {

void TFilesPage::Show() {
  SendMessageA(form_.ListBox1, LB_RESETCONTENT, 0, 0);
  form_.ZelButton3->SetCaption("Clear");
  form_.ZelButton1->SetCaption("Refresh");
  form_.ZelButton1->SetEnabled(true);
  form_.ZelButton1->SetVisible(true);
  form_.ZelButton2->SetVisible(false);
  form_.ZelButton3->SetEnabled(false);
  form_.ZelButton4->SetVisible(false);
  form_.ZelButton1->Tag = kRoleFiles;
  form_.SetStatusText("");
}

void TFilesPage::Refresh() {
  form_.SetOtherTabsVisible(kRoleFiles, false);
  SendMessageA(form_.ListBox1, LB_RESETCONTENT, 0, 0);
  form_.SetOtherTabsVisible(kRoleFiles, true);
  form_.ZelButton1->SetEnabled(true);
}

}  // namespace morvane
