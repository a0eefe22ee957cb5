// Fits the columns of a report-view list to their texts as LVSCW_AUTOSIZE_USEHEADER does: every
// column but the last as wide as the widest of its header and its texts, the last filling what
// is left. The control itself measures every row again on every fit, which takes most of a
// second on a list of 50,000 rows; here each row's texts are measured once, as the row is
// added, with the control's own margins and header widths read from it while it was empty.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <string_view>

#include "platform/WinHandles.h"

namespace morvane {

class TListColumnFit {
 public:
  static constexpr int kColumns = 4;

  // Forgets the rows' widths (the list has been emptied).
  void Clear();
  // Takes note of one row's texts, column by column.
  void AddRow(const std::array<std::string_view, kColumns>& texts);
  // Sets the column widths. Learns the control's margins first if it has not yet, which needs
  // the list empty; a list that was never seen empty is fitted by the control itself.
  void Apply(HWND list);

 private:
  bool Learn(HWND list);
  int Measure(std::string_view text);

  bool learned_ = false;
  int margin_[kColumns] = {};  // width the control gives the column for an empty text
  int header_[kColumns] = {};  // width the control gives the column for its header alone
  int widest_[kColumns] = {};  // widest text of the column among the rows, in pixels
  std::string
      last_[kColumns];  // the column's last text measured (rows often repeat it), and its width
  int lastWidth_[kColumns] = {};
  MemoryDc dc_;  // a memory DC holding the list's font
};

}  // namespace morvane
