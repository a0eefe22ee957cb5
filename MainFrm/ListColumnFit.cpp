#include "MainFrm/ListColumnFit.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "platform/WideText.h"

namespace morvane {

void TListColumnFit::Clear() { std::fill(std::begin(widest_), std::end(widest_), 0); }

bool TListColumnFit::Learn(HWND list) {
  if (learned_) return true;
  if (ListView_GetItemCount(list) != 0) return false;
  for (int c = 0; c < kColumns; ++c) {
    ListView_SetColumnWidth(list, c, LVSCW_AUTOSIZE);
    margin_[c] = ListView_GetColumnWidth(list, c);
    ListView_SetColumnWidth(list, c, LVSCW_AUTOSIZE_USEHEADER);
    header_[c] = ListView_GetColumnWidth(list, c);
  }
  dc_.reset(CreateCompatibleDC(nullptr));
  SelectObject(dc_.get(), reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
  learned_ = true;
  return true;
}

int TListColumnFit::Measure(std::string_view text) {
  // As the control measures: the text in UTF-16, in the list's font.
  const std::wstring wide = Widen(text);
  SIZE size{};
  GetTextExtentPoint32W(dc_.get(), wide.data(), static_cast<int>(wide.size()), &size);
  return size.cx;
}

void TListColumnFit::AddRow(const std::array<std::string_view, kColumns>& texts) {
  if (!learned_) return;
  // The last column fills what is left whatever its texts.
  for (int c = 0; c + 1 < kColumns; ++c) {
    if (texts[c] != last_[c]) {
      last_[c] = texts[c];
      lastWidth_[c] = Measure(last_[c]);
    }
    widest_[c] = std::max(widest_[c], lastWidth_[c]);
  }
}

void TListColumnFit::Apply(HWND list) {
  if (!Learn(list)) {
    for (int c = 0; c < kColumns; ++c) ListView_SetColumnWidth(list, c, LVSCW_AUTOSIZE_USEHEADER);
    return;
  }
  for (int c = 0; c + 1 < kColumns; ++c) {
    const int width = std::max(header_[c], margin_[c] + widest_[c]);
    if (ListView_GetColumnWidth(list, c) != width) ListView_SetColumnWidth(list, c, width);
  }
  ListView_SetColumnWidth(list, kColumns - 1, LVSCW_AUTOSIZE_USEHEADER);
}

}  // namespace morvane
