#include "MainFrm/DeinstallPage.h"

#include "MainFrm/MainFrm.h"
#include "platform/TRegistry.h"

namespace morvane {

namespace {

// Keeps a list from repainting while it is refilled, and repaints it once at the end.
class NoRedraw {
 public:
  explicit NoRedraw(HWND list) : list_(list) { SendMessageA(list_, WM_SETREDRAW, FALSE, 0); }
  ~NoRedraw() {
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
  }
  NoRedraw(const NoRedraw&) = delete;
  NoRedraw& operator=(const NoRedraw&) = delete;

 private:
  HWND list_;
};

}  // namespace

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
  LoadUninstallList();
}

const UninstallPlace& TDeinstallPage::Place() {
  if (!place_) place_ = MachineUninstallPlace(*form_.Services.Registry);
  return *place_;
}

void TDeinstallPage::LoadUninstallList() {
  HWND list = form_.ListBox2;
  NoRedraw quiet(list);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  morvane::LoadUninstallList(*form_.Services.Registry, Place(), [list](const std::string& name) {
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  });
}

std::optional<std::string> TDeinstallPage::SelectedItem() const {
  const LRESULT index = SendMessageA(form_.ListBox2, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return std::nullopt;
  const LRESULT length = SendMessageA(form_.ListBox2, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return std::nullopt;
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const LRESULT got = SendMessageA(form_.ListBox2, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(got == LB_ERR ? 0 : static_cast<std::size_t>(got));
  return text;
}

UninstallEntry TDeinstallPage::FindUninstallKey() {
  return morvane::FindUninstallKey(*form_.Services.Registry, Place(), SelectedItem());
}

void TDeinstallPage::Warn(const char* text, const char* caption) {
  form_.Services.MessageBox(form_.Handle(), text, caption, MB_OK | MB_ICONWARNING);
}

void TDeinstallPage::ListBox2Click() {
  const UninstallEntry entry = FindUninstallKey();
  // Nothing selected (as after every refill): nothing to show.
  if (!SelectedItem()) return;
  if (!entry.Found()) return Warn("UninstallString not found", "UninstallString");
  TRegistry registry(*form_.Services.Registry);
  registry.SelectRoot(Place().root);
  registry.SelectView(entry.view);
  if (!registry.OpenPathForReading(entry.path)) return Warn("Error of opened key", "Key");
  if (!registry.HasValue(kUninstallString)) return Warn("UninstallString not found", "UninstallString");
  UninstallCommand_ = registry.ReadText(kUninstallString);
  form_.SetStatusText(UninstallCommand_);
}

void TDeinstallPage::Uninstall() {
  if (UninstallCommand_.empty()) return;
  FileSystem& files = *form_.Services.Files;
  form_.Services.StartProgram(
      QuoteProgramPath(UninstallCommand_, [&files](const std::string& path) { return files.FileExists(path); }));
}

void TDeinstallPage::Delete() {
  const UninstallEntry entry = FindUninstallKey();
  if (SendMessageA(form_.ListBox2, LB_GETCOUNT, 0, 0) <= 0) return;
  // Only a chosen entry is ever deleted: with nothing selected there is nothing to ask about,
  // and a selected program whose entry has gone is reported as by the selection.
  if (!SelectedItem()) return;
  if (!entry.Found()) return Warn("UninstallString not found", "UninstallString");
  if (form_.Services.MessageBox(form_.Handle(), "To remove a key from the register?", "Removal", MB_YESNO) != IDYES)
    return;
  if (DeleteUninstallEntry(*form_.Services.Registry, Place(), entry))
    form_.Services.MessageBox(form_.Handle(), "The section is removed!", "", MB_OK | MB_ICONINFORMATION);
  else
    form_.Services.MessageBox(form_.Handle(), "Error!", "", MB_OK | MB_ICONWARNING);
  LoadUninstallList();
  ListBox2Click();
}

}  // namespace morvane
