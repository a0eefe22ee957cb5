#include "ZelButton/ZelApplication.h"

#include <mmsystem.h>

#include "platform/SystemLibraries.h"
#include "platform/WindowClass.h"

namespace morvane {

namespace {

constexpr wchar_t kModalResultProperty[] = L"ZelModalResult";

class SystemClock : public TZelClock {
 public:
  void Start(HWND owner, UINT_PTR id, UINT interval) override {
    SetTimer(owner, id, interval, nullptr);
  }
  void Stop(HWND owner, UINT_PTR id) override { KillTimer(owner, id); }
};

SystemClock systemClock;
TZelClock* currentClock = &systemClock;

}  // namespace

std::map<int, HCURSOR>& TZelCursors::Table() {
  static std::map<int, HCURSOR> table;
  return table;
}

HCURSOR TZelCursors::Get(int index) {
  auto& table = Table();
  auto found = table.find(index);
  if (found != table.end() && found->second != nullptr) return found->second;
  return LoadCursorW(nullptr, IDC_ARROW);
}

void TZelCursors::Set(int index, HCURSOR cursor) { Table()[index] = cursor; }

void PlayWaveFromMemory(const void* wave) {
  // Without winmm, or without a wave output device, there is nothing to play: return at once,
  // quietly.
  if (wave == nullptr) return;
  const WaveCalls* calls = WaveLibrary();
  if (calls == nullptr || calls->waveOutGetNumDevs() == 0) return;
  calls->sndPlaySoundW(static_cast<const wchar_t*>(wave), SND_MEMORY);
}

TZelApplication& ZelApplication() {
  static TZelApplication application{
      &PlayWaveFromMemory,
      [](HWND form, DWORD context) {
        HELPINFO info{};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.hItemHandle = form;
        info.dwContextId = context;
        GetCursorPos(&info.MousePos);
        if (form != nullptr) SendMessageW(form, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
      },
  };
  return application;
}

HWND FormOf(HWND control) {
  if (control == nullptr || GetParent(control) == nullptr) return nullptr;
  return GetAncestor(control, GA_ROOT);
}

void SetModalResult(HWND form, int result) {
  if (form != nullptr)
    SetPropW(form, kModalResultProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(result)));
}

int ModalResult(HWND form) {
  return form == nullptr
             ? 0
             : static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(form, kModalResultProperty)));
}

void CloseForm(HWND form) {
  if (form != nullptr) SendMessageW(form, WM_CLOSE, 0, 0);
}

TZelClock& TZelClock::Current() { return *currentClock; }

TZelClock* TZelClock::Replace(TZelClock* clock) {
  TZelClock* previous = currentClock;
  currentClock = clock != nullptr ? clock : &systemClock;
  return previous;
}

void TZelTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (owner_ == nullptr) return;
  if (enabled_)
    TZelClock::Current().Start(owner_, id_, interval_);
  else
    TZelClock::Current().Stop(owner_, id_);
}

void TZelTimer::SetInterval(UINT interval) {
  if (interval == interval_) return;
  interval_ = interval;
  if (enabled_ && owner_ != nullptr) TZelClock::Current().Start(owner_, id_, interval_);
}

void TZelTimer::Stop() {
  if (enabled_ && owner_ != nullptr) TZelClock::Current().Stop(owner_, id_);
  enabled_ = false;
}

}  // namespace morvane
