// Shows the test host with buttons in every style, kind and layout, for looking at (and for
// screenshots). Runs until closed, or for the number of seconds given as its argument.
#include <cstdlib>
#include <string>

#include "tests/win/button_host.h"

using namespace morvane;
using namespace morvane::testing;

int main(int argc, char** argv) {
  ButtonHost host(RGB(255, 255, 255), 760, 330);
  const char* styles[] = {"stFlat",    "stDefault",   "stNone",         "stRaised",
                          "stFlatDot", "stRaisedDot", "stFrameLowered", "stFrameRaised"};
  // Row 1: every style at rest; row 2: the same pressed-looking, drawn as hot.
  for (int s = 0; s < 8; ++s) {
    for (int row = 0; row < 2; ++row) {
      TZelButton& b = host.Add(8 + s * 92, 8 + row * 32, 88, 26, styles[s]);
      b.SetButtonStyle(static_cast<TStyle>(s));
      if (row == 1) {
        b.SetHotTrackColor(RgbColor(0, 128, 0));
        b.SetEnabled(s % 2 == 0);
      }
    }
  }
  // Rows 3 and 4: the twelve kinds.
  for (int k = 0; k < 12; ++k) {
    TZelButton& b = host.Add(8 + (k % 6) * 124, 80 + (k / 6) * 32, 118, 28);
    b.SetButtonKind(static_cast<TKind>(k));
    if (k == 0) b.SetCaption("skCustom");
    b.SetButtonStyle(k % 2 ? stFrameRaised : stRaised);
  }
  // Row 5: the four layouts, a popup arrow and a disabled kind.
  const char* layouts[] = {"Left", "Bottom", "Right", "Top"};
  for (int l = 0; l < 4; ++l) {
    TZelButton& b = host.Add(8 + l * 124, 150, 118, 64, layouts[l]);
    b.SetButtonKind(skRetry);
    b.SetCaption(layouts[l]);
    b.SetLayout(static_cast<TLayout>(l));
    b.SetButtonStyle(stDefault);
  }
  TZelPopupMenu menu;
  menu.Add("First", [] {});
  TZelButton& arrow = host.Add(504, 150, 60, 64);
  arrow.SetButtonKind(skAll);
  arrow.SetCaption("");
  arrow.SetPopupMenuMark(true);
  arrow.SetPopupMenu(&menu);
  arrow.SetButtonStyle(stFrameRaised);
  TZelButton& off = host.Add(570, 150, 118, 64);
  off.SetButtonKind(skHelp);
  off.SetLayout(blGlyphTop);
  off.SetEnabled(false);
  // Row 6: hot and pressed looks drawn straight onto their buttons.
  TZelButton& hot = host.Add(8, 230, 118, 28, "Hot");
  TZelButton& pressed = host.Add(132, 230, 118, 28, "Pressed");
  TZelButton& pressedKind = host.Add(256, 230, 118, 28);
  pressedKind.SetButtonKind(skOK);
  pressedKind.SetButtonStyle(stDefault);
  for (TZelButton* b : {&hot, &pressed}) b->SetHotTrackColor(RgbColor(0, 128, 0));
  // A hint on two lines (rest the pointer on it), and a button aligned along the bottom.
  TZelButton& hinted = host.Add(380, 230, 118, 28, "Hint");
  hinted.Hint = "Shows a hint";
  hinted.SetHintSecondLine("on two lines");
  hinted.ShowHint = true;
  TZelButton& bottom = host.Add(0, 0, 10, 24, "Aligned to the bottom");
  bottom.SetButtonStyle(stFrameRaised);
  bottom.SetAlign(alBottom);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 3600;
  for (int t = 0; t < seconds * 10 && IsWindow(host.Handle()); ++t) {
    PumpFor(100);
    hot.DrawLook(TZelCustomButton::TLook::Hot);
    pressed.DrawLook(TZelCustomButton::TLook::Pressed);
    pressedKind.DrawLook(TZelCustomButton::TLook::Pressed);
  }
  return 0;
}
