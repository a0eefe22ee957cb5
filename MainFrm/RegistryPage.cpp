#include "MainFrm/RegistryPage.h"

#include <commctrl.h>

#include <chrono>

#include "MainFrm/MainFrm.h"
#include "platform/WindowRouting.h"
#include "platform/WindowSubclass.h"

namespace morvane {

TRegistryPage::TRegistryPage(TMainForm& form)
    : form_(form),
      // The worker's hand-overs wait in the queue; the window is told to take them.
      scanQueue_([&form] { PostMessageA(form.Handle(), TMainForm::kScanQueueMessage, 0, 0); }) {}

TRegistryPage::~TRegistryPage() { Closing(); }

void TRegistryPage::ControlsCreated() {
  AttachSubclass(form_.ListView1, FindingsListProc, 0, reinterpret_cast<DWORD_PTR>(this));
  // The column fit learns the list's margins while the list is still empty.
  AutoSizeColumns();
}

void TRegistryPage::Closing() {
  if (IsWindow(form_.ListView1)) DetachSubclass(form_.ListView1, FindingsListProc, 0);
  scanQueue_.Detach();
  FCleanThread.reset();  // stops the walk after at most one more key and waits for it
}

void TRegistryPage::Show() {
  ClearFindings();
  form_.ZelButton3->SetCaption("Correct");
  form_.ZelButton2->SetCaption("Cancel");
  form_.ZelButton1->SetCaption("Start");
  form_.ZelButton1->SetEnabled(true);
  form_.ZelButton2->SetEnabled(false);
  form_.ZelButton2->SetVisible(true);
  form_.ZelButton3->SetEnabled(false);
  form_.ZelButton4->SetVisible(true);
  form_.ZelButton1->Tag = kRoleRegistry;
  form_.SetStatusText("");
}

void TRegistryPage::Start() {
  if (FCleanThread || repairing_) return;  // one scan at a time, never during a repair
  ClearFindings();
  auto worker =
      std::make_unique<TCleanThread>(scanQueue_, *form_.Services.Registry, *form_.Services.Files);
  worker->FScanExtensions = true;
  worker->FScanReferences = true;
  FCleanThread = std::move(worker);
  FCleanThread->Start();
  form_.SetOtherTabsVisible(kRoleRegistry, false);
  form_.ZelButton1->SetEnabled(false);
  form_.ZelButton3->SetEnabled(false);
  form_.ZelButton2->SetEnabled(true);
}

void TRegistryPage::Cancel() {
  if (FCleanThread) FCleanThread->Cancel();
}

void TRegistryPage::Regedit() {
  // By its full path: a regedit.exe beside Morvane.exe or in the current folder never starts.
  const std::string windows = form_.Services.Folders->WindowsDirectory();
  if (!windows.empty()) form_.Services.StartProgram(ProgramInFolder(windows, "regedit.exe"));
}

// ---- Findings and the scan hand-over ---------------------------------------------------------

// The list holds no texts of its own: it asks for each as it draws or is asked (LVN_GETDISPINFO),
// and the answer comes from the findings. A row then costs the list the same whatever the
// length of its texts, and the texts are held once.
void TRegistryPage::AddFinding(const Finding& finding) {
  HWND list = form_.ListView1;
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(findings_.size());
  item.pszText = LPSTR_TEXTCALLBACKA;
  const int row = ListView_InsertItem(list, &item);
  if (row < 0) return;
  for (int column = 1; column < TListColumnFit::kColumns; ++column)
    ListView_SetItemText(list, row, column, LPSTR_TEXTCALLBACKA);
  findings_.push_back(finding);
  columnFit_.AddRow({&finding.caption, &finding.parameter, &finding.section, &finding.keyPath});
}

void TRegistryPage::MarkCorrected(std::size_t row) {
  if (row >= findings_.size()) return;
  findings_[row].caption = kCorrectedCaption;
  ListView_RedrawItems(form_.ListView1, static_cast<int>(row), static_cast<int>(row));
}

const std::string* TRegistryPage::TextOf(int row, int column) const {
  if (row < 0 || static_cast<std::size_t>(row) >= findings_.size()) return nullptr;
  const Finding& finding = findings_[static_cast<std::size_t>(row)];
  switch (column) {
    case 0:
      return &finding.caption;
    case 1:
      return &finding.parameter;
    case 2:
      return &finding.section;
    case 3:
      return &finding.keyPath;
    default:
      return nullptr;
  }
}

LRESULT CALLBACK TRegistryPage::FindingsListProc(HWND hwnd, UINT message, WPARAM wParam,
                                                 LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
  if (message == kReflected + WM_NOTIFY) {
    const auto* page = reinterpret_cast<const TRegistryPage*>(data);
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == static_cast<UINT>(LVN_GETDISPINFOA)) {
      auto& item = reinterpret_cast<NMLVDISPINFOA*>(lParam)->item;
      const std::string* text = page->TextOf(item.iItem, item.iSubItem);
      if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0)
        lstrcpynA(item.pszText, text != nullptr ? text->c_str() : "", item.cchTextMax);
      return 0;
    }
    if (header->code == static_cast<UINT>(LVN_GETDISPINFOW)) {
      auto& item = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
      const std::string* text = page->TextOf(item.iItem, item.iSubItem);
      if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0) {
        std::wstring wide;
        if (text != nullptr && !text->empty()) {
          wide.resize(text->size());  // never more characters than bytes
          wide.resize(static_cast<std::size_t>(
              MultiByteToWideChar(CP_ACP, 0, text->data(), static_cast<int>(text->size()),
                                  wide.data(), static_cast<int>(wide.size()))));
        }
        lstrcpynW(item.pszText, wide.c_str(), item.cchTextMax);
      }
      return 0;
    }
  }
  if (message == WM_SETFOCUS) {
    // Taking the focus with no row holding it, the list gives it to the first row: the focus
    // rectangle then shows where the keyboard acts, and Space checks that row.
    const LRESULT result = NextSubclassProc(hwnd, message, wParam, lParam);
    if (ListView_GetItemCount(hwnd) > 0 && ListView_GetNextItem(hwnd, -1, LVNI_FOCUSED) < 0)
      ListView_SetItemState(hwnd, 0, LVIS_FOCUSED, LVIS_FOCUSED);
    return result;
  }
  if (message == WM_NCDESTROY) DetachSubclass(hwnd, FindingsListProc, id);
  return NextSubclassProc(hwnd, message, wParam, lParam);
}

void TRegistryPage::ClearFindings() {
  ListView_DeleteAllItems(form_.ListView1);
  findings_.clear();
  columnFit_.Clear();
}

void TRegistryPage::AutoSizeColumns() {
  // Each column as wide as its header and its widest text, the last filling the rest; the
  // texts were measured as their rows were added.
  columnFit_.Apply(form_.ListView1);
}

void TRegistryPage::ApplyScanMessages() {
  // A scan can hand over tens of thousands of rows faster than the list takes them, and the
  // window has to go on answering input and repainting meanwhile. So the hand-over is applied
  // a slice at a time: after about kSliceTime the window posts itself another turn for what is
  // left, which comes behind whatever else is waiting.
  constexpr std::size_t kSliceMessages = 32;
  constexpr auto kSliceTime = std::chrono::milliseconds(15);
  HWND list = form_.ListView1;
  const auto deadline = std::chrono::steady_clock::now() + kSliceTime;
  bool more = true, redrawHeld = false, added = false;
  while (more && std::chrono::steady_clock::now() < deadline) {
    std::vector<ScanMessage> messages = scanQueue_.Take(kSliceMessages, more);
    if (messages.empty()) break;
    // Rows arriving together are added with drawing held off, so a large batch costs one repaint.
    if (!redrawHeld && (more || messages.size() > 16)) {
      SendMessageA(list, WM_SETREDRAW, FALSE, 0);
      redrawHeld = true;
    }
    for (ScanMessage& message : messages) {
      switch (message.kind) {
        case ScanMessage::Kind::Status:
          form_.SetStatusText(message.text);
          break;
        case ScanMessage::Kind::Finding:
          AddFinding(message.finding);
          added = true;
          break;
        case ScanMessage::Kind::End:
          EndOfScan();
          break;
      }
    }
  }
  if (added) AutoSizeColumns();
  if (redrawHeld) {
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
  }
  if (more) PostMessageA(form_.Handle(), TMainForm::kScanQueueMessage, 0, 0);
}

void TRegistryPage::EndOfScan() {
  // The worker has handed over its last message; its body is returning.
  FCleanThread.reset();
  AutoSizeColumns();
  form_.ZelButton1->SetEnabled(true);
  form_.ZelButton2->SetEnabled(false);
  form_.SetOtherTabsVisible(kRoleRegistry, true);
  form_.ZelButton3->SetEnabled(!findings_.empty());
}

}  // namespace morvane
