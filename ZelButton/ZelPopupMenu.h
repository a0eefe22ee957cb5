// TZelPopupMenu: a popup menu a button can drop down. Popup opens it at a screen point and
// returns when it closes, after running the chosen item's handler. Whoever holds a pointer to
// the menu asks to be told when it is destroyed (FreeNotification).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace morvane {

class TZelPopupMenu {
 public:
  enum TPopupAlignment { paLeft, paRight };

  TZelPopupMenu();
  ~TZelPopupMenu();
  TZelPopupMenu(const TZelPopupMenu&) = delete;
  TZelPopupMenu& operator=(const TZelPopupMenu&) = delete;

  void Add(const std::string& caption, std::function<void()> onClick);
  HMENU Handle() const { return menu_; }

  TPopupAlignment Alignment = paLeft;
  bool AutoPopup = true;
  // The component that opened the menu last.
  const void* PopupComponent = nullptr;
  // Raised just before the menu opens, with the point and alignment it opens at.
  std::function<void(TZelPopupMenu&, POINT)> OnPopup;

  // Opens the menu at screen point (x, y), owned by owner; returns when it has closed.
  void Popup(HWND owner, int x, int y);

  // Calls notify with this menu when it is destroyed; returns a key for RemoveFreeNotification.
  int FreeNotification(std::function<void(TZelPopupMenu*)> notify);
  void RemoveFreeNotification(int key);

 private:
  HMENU menu_ = nullptr;
  std::vector<std::function<void()>> items_;
  std::vector<std::pair<int, std::function<void(TZelPopupMenu*)>>> listeners_;
  int nextKey_ = 1;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace morvane
