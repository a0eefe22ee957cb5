#include "ZelButton/ZelPopupMenu.h"

#include "platform/WideText.h"

namespace morvane {

TZelPopupMenu::TZelPopupMenu() : menu_(CreatePopupMenu()) {}

TZelPopupMenu::~TZelPopupMenu() {
  *alive_ = false;
  auto listeners = std::move(listeners_);
  for (auto& listener : listeners) listener.second(this);
  if (menu_ != nullptr) DestroyMenu(menu_);
}

void TZelPopupMenu::Add(const std::string& caption, std::function<void()> onClick) {
  items_.push_back(std::move(onClick));
  AppendMenuW(menu_, MF_STRING, items_.size(), Widen(caption).c_str());
}

void TZelPopupMenu::Popup(HWND owner, int x, int y) {
  if (OnPopup) OnPopup(*this, POINT{x, y});
  const UINT align = Alignment == paRight ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  const std::weak_ptr<bool> alive = alive_;
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(
      menu_, align | TPM_TOPALIGN | TPM_RETURNCMD | TPM_LEFTBUTTON, x, y, 0, owner, nullptr));
  // An item's handler runs after the menu has closed; the menu may be gone by then.
  if (alive.expired() || !*alive.lock()) return;
  if (chosen >= 1 && chosen <= items_.size() && items_[chosen - 1]) {
    auto handler = items_[chosen - 1];
    handler();
  }
}

int TZelPopupMenu::FreeNotification(std::function<void(TZelPopupMenu*)> notify) {
  listeners_.emplace_back(nextKey_, std::move(notify));
  return nextKey_++;
}

void TZelPopupMenu::RemoveFreeNotification(int key) {
  for (auto it = listeners_.begin(); it != listeners_.end(); ++it)
    if (it->first == key) {
      listeners_.erase(it);
      return;
    }
}

}  // namespace morvane
