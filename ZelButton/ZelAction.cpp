#include "ZelButton/ZelAction.h"

namespace morvane {

TZelAction::~TZelAction() {
  *alive_ = false;
  auto listeners = std::move(listeners_);
  for (auto& listener : listeners) listener.second(nullptr, state_);
}

template <typename T>
void TZelAction::Change(T State::*field, const T& value) {
  if (state_.*field == value) return;
  const State before = state_;
  state_.*field = value;
  // A listener may unlink itself or others, or destroy the action.
  const std::weak_ptr<bool> alive = alive_;
  auto listeners = listeners_;
  for (auto& listener : listeners) {
    if (alive.expired()) return;
    bool linked = false;
    for (auto& current : listeners_) linked |= current.first == listener.first;
    if (linked) listener.second(this, before);
  }
}

void TZelAction::SetCaption(const std::string& caption) { Change(&State::Caption, caption); }
void TZelAction::SetEnabled(bool enabled) { Change(&State::Enabled, enabled); }
void TZelAction::SetVisible(bool visible) { Change(&State::Visible, visible); }
void TZelAction::SetHint(const std::string& hint) { Change(&State::Hint, hint); }
void TZelAction::SetHelpContext(DWORD context) { Change(&State::HelpContext, context); }

bool TZelAction::Execute(TZelCustomButton* component) {
  if (!state_.Enabled || !OnExecute) return false;
  const std::weak_ptr<bool> alive = alive_;
  TZelCustomButton* const previous = ActionComponent;
  ActionComponent = component;
  auto handler = OnExecute;
  handler(*this);
  if (!alive.expired()) ActionComponent = previous;
  return true;
}

int TZelAction::Link(Listener listener) {
  listeners_.emplace_back(nextKey_, std::move(listener));
  return nextKey_++;
}

void TZelAction::Unlink(int key) {
  for (auto it = listeners_.begin(); it != listeners_.end(); ++it)
    if (it->first == key) {
      listeners_.erase(it);
      return;
    }
}

}  // namespace morvane
