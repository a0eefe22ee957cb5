#include "MainFrm/DeinstallPage.h"

#include "CleanReg/ProgramPath.h"
#include "MainFrm/MainFrm.h"
#include "platform/TRegistry.h"
#include "platform/Utf.h"
#include "platform/WideText.h"
#include "platform/WindowSubclass.h"

namespace morvane {

namespace {

// Keeps a list from repainting while it is refilled, and repaints it once at the end.
class NoRedraw {
 public:
  explicit NoRedraw(HWND list) : list_(list) { SendMessageW(list_, WM_SETREDRAW, FALSE, 0); }
  ~NoRedraw() {
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
  }
  NoRedraw(const NoRedraw&) = delete;
  NoRedraw& operator=(const NoRedraw&) = delete;

 private:
  HWND list_;
};

// Letters compare with ASCII case folded; every other character compares as itself.
wchar_t FoldAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

// A typed letter selects the next program whose name begins with it, every time: the list box's
// own search on Windows gathers the letters typed in quick succession into one prefix (a letter
// typed twice looks for a name beginning with two of it). Reports the change of selection as the
// list box does.
LRESULT CALLBACK TypeAheadProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR page) {
  if (message == WM_CHAR && wParam >= ' ' && wParam <= 0xFFFF) {
    const int current = static_cast<int>(SendMessageW(hwnd, LB_GETCURSEL, 0, 0));
    const int row = reinterpret_cast<const TDeinstallPage*>(page)->NextRowStartingWith(
        static_cast<wchar_t>(wParam), current);
    if (row >= 0 && row != current) {
      SendMessageW(hwnd, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
      SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(hwnd));
    }
    return 0;
  }
  if (message == WM_NCDESTROY) DetachSubclass(hwnd, TypeAheadProc, id);
  return NextSubclassProc(hwnd, message, wParam, lParam);
}

// The first kMostListedCharacters characters of name, ending on a character's boundary.
std::wstring ListedText(const std::string& name) {
  return Widen(std::string_view(name).substr(0, CharacterPrefix(name, kMostListedCharacters)));
}

}  // namespace

void TDeinstallPage::ControlsCreated() {
  AttachSubclass(form_.ListBox2, TypeAheadProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

int TDeinstallPage::NextRowStartingWith(wchar_t letter, int after) const {
  const int count = static_cast<int>(items_.size());
  if (count == 0) return -1;
  const wchar_t wanted = FoldAscii(letter);
  const int start = after < 0 || after >= count ? count - 1 : after;
  for (int step = 1; step <= count; ++step) {
    const int row = (start + step) % count;
    // The name's first UTF-16 unit: its first character, or the first half of one beyond the
    // first plane, which no typed character matches.
    const std::string& name = items_[static_cast<std::size_t>(row)].displayName;
    std::wstring first;
    AppendUtf16(std::string_view(name).substr(0, CharacterPrefix(name, 1)), first);
    if (!first.empty() && FoldAscii(first[0]) == wanted) return row;
  }
  return -1;
}

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

const std::vector<UninstallPlace>& TDeinstallPage::Places() {
  if (!places_) places_ = UninstallPlaces(*form_.Services.Registry);
  return *places_;
}

std::string_view TDeinstallPage::RowText(ULONG_PTR item) const {
  if (item >= items_.size()) return {};
  return items_[item].displayName;
}

// Each command of the page does nothing while a tool runs (Correct or Restore, whose page this
// may be): its button is off then, and it checks for itself.
void TDeinstallPage::LoadUninstallList() {
  if (form_.ToolRunning()) return;
  std::vector<UninstallItem> items = morvane::LoadUninstallList(*form_.Services.Registry, Places());
  HWND list = form_.ListBox2;
  NoRedraw quiet(list);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  items_ = std::move(items);
  SendMessageW(list, LB_INITSTORAGE, items_.size(), items_.size() * 32);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const std::wstring text = ListedText(items_[i].displayName);
    const LRESULT index =
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index < 0) break;  // out of memory: the programs listed so far stay
    SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(i));
  }
}

const UninstallItem* TDeinstallPage::Selected() const {
  const LRESULT index = SendMessageW(form_.ListBox2, LB_GETCURSEL, 0, 0);
  if (index < 0) return nullptr;
  const LRESULT item = SendMessageW(form_.ListBox2, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  if (item == LB_ERR || static_cast<std::size_t>(item) >= items_.size()) return nullptr;
  return &items_[static_cast<std::size_t>(item)];
}

const UninstallEntry* TDeinstallPage::FindUninstallKey() const {
  const UninstallItem* item = Selected();
  return item != nullptr ? &item->entry : nullptr;
}

void TDeinstallPage::Warn(const char* text, const char* caption) {
  form_.Services.MessageBox(form_.Handle(), text, caption, MB_OK | MB_ICONWARNING);
}

void TDeinstallPage::ListBox2Click() {
  if (form_.ToolRunning()) return;
  const UninstallEntry* entry = FindUninstallKey();
  // Nothing selected (as after every refill): nothing to show.
  if (entry == nullptr) return;
  UninstallCommandText read =
      ReadUninstallCommand(*form_.Services.Registry, *entry, *form_.Services.Folders);
  if (read.outcome != UninstallCommandText::kRead) {
    // Uninstall must never run a command read for another program than the one selected.
    UninstallCommand_.clear();
    form_.SetStatusText("");
  }
  switch (read.outcome) {
    case UninstallCommandText::kNotOpened:
      return Warn("Error of opened key", "Key");
    case UninstallCommandText::kMissing:
      return Warn("UninstallString not found", "UninstallString");
    case UninstallCommandText::kNotText:
      throw ERegistryException(std::string("Invalid data type for '") + kUninstallString + "'");
    case UninstallCommandText::kRead:
      break;
  }
  UninstallCommand_ = std::move(read.text);
  form_.SetStatusText(UninstallCommand_);
}

void TDeinstallPage::Uninstall() {
  if (UninstallCommand_.empty() || form_.ToolRunning()) return;
  SystemFolders& folders = *form_.Services.Folders;
  FileSystem& files = *form_.Services.Files;
  const std::optional<ProgramStart> start =
      ResolveCommand(UninstallCommand_, {folders.SystemDirectory(), folders.WindowsDirectory()},
                     [&files](const std::string& path) { return files.FileExists(path); });
  if (!start) return form_.SetStatusText(kUninstallerNotFound);
  form_.StartProgram(*start);
}

void TDeinstallPage::Delete() {
  if (form_.ToolRunning() || SendMessageW(form_.ListBox2, LB_GETCOUNT, 0, 0) <= 0) return;
  // Only a chosen entry is ever deleted: with nothing selected there is nothing to ask about.
  const UninstallEntry* selected = FindUninstallKey();
  if (selected == nullptr) return;
  const UninstallEntry entry = *selected;  // the refill below replaces the items
  if (form_.Services.MessageBox(form_.Handle(), "To remove a key from the register?", "Removal",
                                MB_YESNO) != IDYES)
    return;
  long error = kRegOk;
  if (DeleteUninstallEntry(*form_.Services.Registry, entry, &error)) {
    form_.Services.MessageBox(form_.Handle(), "The section is removed!", "",
                              MB_OK | MB_ICONINFORMATION);
  } else {
    // Said where the user looks next, and already there while the box is up.
    if (error == kRegAccessDenied && form_.LacksRights()) form_.SetStatusText(kRightsToRemoveEntry);
    form_.Services.MessageBox(form_.Handle(), "Error!", "", MB_OK | MB_ICONWARNING);
  }
  LoadUninstallList();
  ListBox2Click();
}

}  // namespace morvane
