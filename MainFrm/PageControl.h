// TPageControl: a tab control with one sheet window per page. Tabs of pages can be hidden and
// shown again; a hidden page cannot be reached by its tab or by SelectPage. Page indexes are
// fixed (the order the pages were added); tab indexes count the visible tabs only. The tab
// strip draws its own labels and answers its own notifications, which its parent reflects to it
// (see ReflectToChild); the sheets reflect their children's in the same way.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/WinHandles.h"

namespace morvane {

class TPageControl {
 public:
  // The tab control is created as a child of parent; sheets are children of parent too, laid
  // over the tab control's display area. Sheets reflect their children's draw and notify
  // messages to those children and pass their commands and colour questions on to parent.
  TPageControl(HWND parent, int left, int top, int width, int height, COLORREF background);
  ~TPageControl();
  TPageControl(const TPageControl&) = delete;
  TPageControl& operator=(const TPageControl&) = delete;

  // Adds a page and returns its sheet window.
  HWND AddPage(const std::string& caption);
  HWND Handle() const { return tabs_; }
  HWND Sheet(int page) const { return pages_[page].sheet; }
  const std::string& Caption(int page) const { return pages_[page].caption; }
  int PageCount() const { return static_cast<int>(pages_.size()); }

  // Page currently shown, -1 before the first selection.
  int ActivePage() const { return active_; }
  // Shows the page if its tab is visible and it is not shown already; then OnShow runs.
  // Returns whether the page changed.
  bool SelectPage(int page);
  bool TabVisible(int page) const { return pages_[page].tabVisible; }
  void SetTabVisible(int page, bool visible);
  // Page index of a visible tab, -1 when out of range.
  int PageOfTab(int tab) const;
  int TabCount() const;

  std::function<void(int page)> OnShow;

  static const wchar_t* SheetClassName() { return L"TTabSheet"; }

 private:
  struct Page {
    std::string caption;
    HWND sheet = nullptr;
    bool tabVisible = true;
  };
  static LRESULT CALLBACK TabsProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
  void RebuildTabs();
  // Writes a tab's label: the caption of the tab's own page, which differs from the tab index
  // while some tabs are hidden.
  void DrawTab(const DRAWITEMSTRUCT& draw);
  void ShowSheet(int page);
  RECT SheetRect() const;

  HWND parent_;
  HWND tabs_ = nullptr;
  COLORREF backgroundColor_;
  GdiObject<HBRUSH> background_;
  std::vector<Page> pages_;
  int active_ = -1;
};

}  // namespace morvane
