#include "ZelButton/ZelHint.h"

#include <commctrl.h>

#include "platform/SystemLibraries.h"
#include "platform/WideText.h"

namespace morvane {

namespace {

// A carriage return alone does not end a line for the tooltip's text drawing: make it CR LF.
std::string TipText(const std::string& text) {
  std::string lines;
  for (std::size_t i = 0; i < text.size(); ++i) {
    lines += text[i];
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) lines += '\n';
  }
  return lines;
}

TTTOOLINFOW ToolOf(HWND control, std::wstring* text) {
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = control;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = text != nullptr ? text->data() : nullptr;
  return tool;
}

constexpr int kMaxTipWidth = 400;  // lets the text run over several lines

}  // namespace

TZelHint::~TZelHint() { Destroy(); }

void TZelHint::Destroy() {
  // The tooltip is owned by the form and goes with it: it may be gone already.
  if (tip_ != nullptr && IsWindow(tip_)) DestroyWindow(tip_);
  tip_ = nullptr;
  control_ = nullptr;
  shown_.clear();
}

void TZelHint::Relay(HWND control, const std::string& text, UINT message, WPARAM wParam,
                     LPARAM lParam) {
  if (text.empty()) {
    Hide();
    return;
  }
  if (tip_ == nullptr) {
    static const bool registered = [] {
      INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
      const CommonControlsCalls* controls = CommonControlsLibrary();
      return controls != nullptr && controls->InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)registered;
    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                           WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, GetAncestor(control, GA_ROOT), nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    if (tip_ == nullptr) return;
    SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
  }
  std::wstring lines = Widen(TipText(text));
  if (control != control_) {
    if (control_ != nullptr) {
      TTTOOLINFOW old = ToolOf(control_, nullptr);
      SendMessageW(tip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&old));
    }
    control_ = control;
    shown_ = lines;
    TTTOOLINFOW tool = ToolOf(control, &shown_);
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  } else if (lines != shown_) {
    shown_ = lines;
    TTTOOLINFOW tool = ToolOf(control, &shown_);
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  SendMessageW(tip_, TTM_ACTIVATE, TRUE, 0);
  MSG msg{control, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
  GetCursorPos(&msg.pt);
  SendMessageW(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

void TZelHint::Hide() {
  if (tip_ == nullptr) return;
  SendMessageW(tip_, TTM_POP, 0, 0);
  SendMessageW(tip_, TTM_ACTIVATE, FALSE, 0);
}

}  // namespace morvane
