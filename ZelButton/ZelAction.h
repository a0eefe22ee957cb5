// TZelAction: a command that buttons can be linked to. A linked button shows the action's
// caption, enabled and visible states, hint and help context, and its click executes the
// action. A button follows a later change of the action only where it still shows what the
// action showed before: a caption the program gave the button itself stays.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace morvane {

class TZelCustomButton;

class TZelAction {
 public:
  // What a linked control takes over from the action.
  struct State {
    std::string Caption;
    bool Enabled = true, Visible = true;
    std::string Hint;
    DWORD HelpContext = 0;
  };
  // Told of every change with the state before it; with nullptr when the action is destroyed.
  using Listener = std::function<void(const TZelAction* action, const State& before)>;

  TZelAction() = default;
  ~TZelAction();
  TZelAction(const TZelAction&) = delete;
  TZelAction& operator=(const TZelAction&) = delete;

  const State& Current() const { return state_; }
  const std::string& Caption() const { return state_.Caption; }
  void SetCaption(const std::string& caption);
  bool Enabled() const { return state_.Enabled; }
  void SetEnabled(bool enabled);
  bool Visible() const { return state_.Visible; }
  void SetVisible(bool visible);
  const std::string& Hint() const { return state_.Hint; }
  void SetHint(const std::string& hint);
  DWORD HelpContext() const { return state_.HelpContext; }
  void SetHelpContext(DWORD context);

  std::function<void(TZelAction& action)> OnExecute;
  // The control whose click executes the action, while OnExecute runs (else nullptr).
  TZelCustomButton* ActionComponent = nullptr;

  // Runs OnExecute when the action is enabled and has one; true when it ran.
  bool Execute(TZelCustomButton* component = nullptr);

  int Link(Listener listener);
  void Unlink(int key);

 private:
  template <typename T>
  void Change(T State::*field, const T& value);

  State state_;
  std::vector<std::pair<int, Listener>> listeners_;
  int nextKey_ = 1;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace morvane
