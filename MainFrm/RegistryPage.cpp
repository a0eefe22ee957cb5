#include "MainFrm/RegistryPage.h"

#include <commctrl.h>

#include <windowsx.h>

#include <chrono>
#include <string_view>

#include "MainFrm/MainFrm.h"
#include "platform/Utf.h"
#include "platform/WindowRouting.h"
#include "platform/WindowSubclass.h"

namespace morvane {

TRegistryPage::TRegistryPage(TMainForm& form)
    : form_(form),
      // The worker's hand-overs wait in the queue; the window is told to take them.
      scanQueue_([&form] { PostMessageW(form.Handle(), TMainForm::kScanQueueMessage, 0, 0); }) {}

TRegistryPage::~TRegistryPage() { Closing(); }

void TRegistryPage::ControlsCreated() {
  AttachSubclass(form_.ListView1, FindingsListProc, 0, reinterpret_cast<DWORD_PTR>(this));
  // The list asks for the check boxes as it asks for the texts.
  ListView_SetCallbackMask(form_.ListView1, LVIS_STATEIMAGEMASK);
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
  if (form_.ToolRunning()) return;  // one scan at a time, never during a repair or a restore
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
  if (repairing_) stopRequested_ = true;  // the repair stops after the row in hand
}

void TRegistryPage::Regedit() {
  if (form_.Busy()) return;  // the registry editor would show keys Correct or Restore changes
  // By its full path: a regedit.exe beside Morvane.exe or in the current folder never starts.
  const std::string windows = form_.Services.Folders->WindowsDirectory();
  if (!windows.empty()) form_.StartProgram(ProgramInFolder(windows, "regedit.exe"));
}

// ---- Findings and the scan hand-over ---------------------------------------------------------

// The list is a virtual one (LVS_OWNERDATA): it holds nothing per row, not even a check box,
// and asks for each text and check box as it draws or is asked (LVN_GETDISPINFO). The answers
// come from the findings, which hold each text once. A row then costs the list nothing, however
// many rows and however long their texts.
void TRegistryPage::AddFinding(const Finding& finding) {
  TakeFinding(finding);
  ShowRows();
}

void TRegistryPage::TakeFinding(const Finding& finding) {
  findings_.Add(finding);
  const std::size_t row = findings_.size() - 1;
  columnFit_.AddRow(
      {findings_.Text(row, FindingText::Caption), findings_.Text(row, FindingText::Parameter),
       findings_.Text(row, FindingText::Section), findings_.Text(row, FindingText::KeyPath)});
}

void TRegistryPage::ShowRows() {
  const int rows = static_cast<int>(findings_.size());
  if (ListView_GetItemCount(form_.ListView1) != rows)
    ListView_SetItemCountEx(form_.ListView1, rows, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void TRegistryPage::MarkCorrected(std::size_t row) {
  if (row >= findings_.size()) return;
  findings_.SetCaption(row, kCorrectedCaption);
  ListView_RedrawItems(form_.ListView1, static_cast<int>(row), static_cast<int>(row));
}

void TRegistryPage::SetChecked(int row, bool checked) {
  const int rows = static_cast<int>(findings_.size());
  if (marksHeld_ || form_.Restoring() || row < -1 || row >= rows || rows == 0) return;
  const int first = row < 0 ? 0 : row, last = row < 0 ? rows - 1 : row;
  for (int i = first; i <= last; ++i) findings_.SetChecked(static_cast<std::size_t>(i), checked);
  ListView_RedrawItems(form_.ListView1, first, last);
}

void TRegistryPage::ToggleChecked(int row) {
  if (row >= 0 && static_cast<std::size_t>(row) < findings_.size())
    SetChecked(row, !findings_.Checked(static_cast<std::size_t>(row)));
}

int TRegistryPage::FindCaption(const LVFINDINFOW& find, int start) const {
  const int rows = static_cast<int>(findings_.size());
  if (!(find.flags & (LVFI_STRING | LVFI_PARTIAL)) || find.psz == nullptr || rows == 0) return -1;
  const std::wstring_view wanted = find.psz;
  const bool whole = !(find.flags & LVFI_PARTIAL);
  std::wstring caption;
  auto matches = [&](std::string_view text) {
    caption.clear();
    AppendUtf16(text, caption);
    const std::size_t length = whole ? caption.size() : wanted.size();
    return caption.size() >= wanted.size() &&
           CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, caption.data(),
                          static_cast<int>(length), wanted.data(),
                          static_cast<int>(wanted.size())) == CSTR_EQUAL;
  };
  start = start < 0 || start >= rows ? 0 : start;
  const int count = (find.flags & LVFI_WRAP) ? rows : rows - start;
  for (int n = 0; n < count; ++n) {
    const int row = (start + n) % rows;
    if (matches(findings_.Text(static_cast<std::size_t>(row), FindingText::Caption))) return row;
  }
  return -1;
}

namespace {

template <typename Item>
void AnswerCheckBox(const FindingTable& findings, Item& item) {
  if (!(item.mask & LVIF_STATE) || !(item.stateMask & LVIS_STATEIMAGEMASK) || item.iItem < 0 ||
      static_cast<std::size_t>(item.iItem) >= findings.size())
    return;
  const bool checked = findings.Checked(static_cast<std::size_t>(item.iItem));
  item.state = (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
}

}  // namespace

LRESULT CALLBACK TRegistryPage::FindingsListProc(HWND hwnd, UINT message, WPARAM wParam,
                                                 LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
  auto* page = reinterpret_cast<TRegistryPage*>(data);
  const FindingTable& findings = page->findings_;
  auto textOf = [&findings](int row, int column) -> std::string_view {
    if (row < 0 || static_cast<std::size_t>(row) >= findings.size() || column < 0 ||
        column >= TListColumnFit::kColumns)
      return {};
    return findings.Text(static_cast<std::size_t>(row), static_cast<FindingText>(column));
  };
  switch (message) {
    case LVM_SETITEMSTATE: {
      // The check boxes are the findings' own: a change of one is taken here, and whatever
      // else is being set (selection, focus) goes on to the list.
      if (lParam == 0) break;
      LVITEMW item = *reinterpret_cast<const LVITEMW*>(lParam);
      if (item.stateMask & LVIS_STATEIMAGEMASK) {
        page->SetChecked(static_cast<int>(wParam),
                         (item.state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2));
        item.stateMask &= ~LVIS_STATEIMAGEMASK;
        if (item.stateMask == 0) return TRUE;
      }
      return NextSubclassProc(hwnd, message, wParam, reinterpret_cast<LPARAM>(&item));
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      LVHITTESTINFO hit{};
      hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (ListView_SubItemHitTest(hwnd, &hit) >= 0 && (hit.flags & LVHT_ONITEMSTATEICON))
        page->ToggleChecked(hit.iItem);
      break;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) page->ToggleChecked(ListView_GetNextItem(hwnd, -1, LVNI_FOCUSED));
      break;
    case kReflected + WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      // The list is a wide control (its parent is a wide window): it asks in UTF-16.
      if (header->code == static_cast<UINT>(LVN_GETDISPINFOW)) {
        auto& item = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
        if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0) {
          // Converted into one buffer kept for the next question: the list asks for every text
          // it draws.
          static thread_local std::wstring wide;
          wide.clear();
          AppendUtf16(textOf(item.iItem, item.iSubItem), wide);
          lstrcpynW(item.pszText, wide.c_str(), item.cchTextMax);
        }
        AnswerCheckBox(findings, item);
        return 0;
      }
      // Typing the start of a caption goes to the next row with that caption.
      if (header->code == static_cast<UINT>(LVN_ODFINDITEMW)) {
        const auto& find = *reinterpret_cast<const NMLVFINDITEMW*>(lParam);
        return page->FindCaption(find.lvfi, find.iStart);
      }
      break;
    }
    case WM_SETFOCUS: {
      // Taking the focus with no row holding it, the list gives it to the first row: the focus
      // rectangle then shows where the keyboard acts, and Space checks that row.
      const LRESULT result = NextSubclassProc(hwnd, message, wParam, lParam);
      if (ListView_GetItemCount(hwnd) > 0 && ListView_GetNextItem(hwnd, -1, LVNI_FOCUSED) < 0)
        ListView_SetItemState(hwnd, 0, LVIS_FOCUSED, LVIS_FOCUSED);
      return result;
    }
    case WM_NCDESTROY:
      DetachSubclass(hwnd, FindingsListProc, id);
      break;
  }
  return NextSubclassProc(hwnd, message, wParam, lParam);
}

void TRegistryPage::ClearFindings() {
  ListView_DeleteAllItems(form_.ListView1);
  findings_.Clear();
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
      SendMessageW(list, WM_SETREDRAW, FALSE, 0);
      redrawHeld = true;
    }
    for (ScanMessage& message : messages) {
      switch (message.kind) {
        case ScanMessage::Kind::Status:
          form_.SetStatusText(message.text);
          break;
        case ScanMessage::Kind::Finding:
          TakeFinding(message.finding);
          added = true;
          break;
        case ScanMessage::Kind::End:
          ShowRows();
          EndOfScan();
          break;
      }
    }
  }
  if (added) {
    ShowRows();
    AutoSizeColumns();
  }
  if (redrawHeld) {
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
  }
  if (more) PostMessageW(form_.Handle(), TMainForm::kScanQueueMessage, 0, 0);
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
