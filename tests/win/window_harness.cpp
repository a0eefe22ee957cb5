#include "tests/win/window_harness.h"

#include "platform/SystemLibraries.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <commctrl.h>

#include <thread>

#include "platform/WideText.h"
#include "platform/WinHandles.h"

namespace morvane::testing {

TMainFormServices RecordedServices::Make(RegistryApi* registry, FileSystem* files) {
  TMainFormServices services = DefaultServices();
  services.MessageBox = [this](HWND, const std::string& text, const std::string& caption,
                               UINT flags) {
    messages.push_back({text, caption, flags});
    if (whileShown) whileShown(messages.back());
    return answer;
  };
  services.Process = this;
  services.ShellOpen = [this](HWND owner, const std::string& target) {
    opened.push_back({owner, target});
  };
  services.ExecuteSaveDialog = [this](HWND, TSaveDialog& dialog) { return saveDialog(dialog); };
  services.ExecuteOpenDialog = [this](HWND, TOpenDialog& dialog) { return openDialog(dialog); };
  if (registry != nullptr) services.Registry = registry;
  if (files != nullptr) services.Files = files;
  return services;
}

ProgramStart RegistryEditor() {
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string program = std::string(windows) + "\\regedit.exe";
  return {program, "\"" + program + "\""};
}

bool PumpUntil(TMainForm& form, const std::function<bool()>& pred,
               std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    form.RefreshApp();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void Pump(TMainForm& form, int milliseconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < until) {
    form.RefreshApp();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    Settle();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void Settle() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void ClickAt(TMainForm& form, HWND hwnd, int x, int y) {
  const LPARAM point = MAKELPARAM(x, y);
  PostMessageW(hwnd, WM_MOUSEMOVE, 0, point);
  PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageW(hwnd, WM_LBUTTONUP, 0, point);
  Pump(form, 20);
}

void ClickWindow(TMainForm& form, HWND hwnd) {
  RECT r;
  GetClientRect(hwnd, &r);
  ClickAt(form, hwnd, (r.right - r.left) / 2, (r.bottom - r.top) / 2);
}

bool ClickTab(TMainForm& form, const std::string& caption) {
  TPageControl& pages = *form.PageControl1;
  for (int tab = 0; tab < pages.TabCount(); ++tab) {
    if (pages.Caption(pages.PageOfTab(tab)) != caption) continue;
    RECT r;
    TabCtrl_GetItemRect(pages.Handle(), tab, &r);
    ClickAt(form, pages.Handle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return true;
  }
  return false;
}

void PressKey(UINT key, bool ctrl, bool shift, TMainForm* form) {
  BYTE saved[256], state[256];
  GetKeyboardState(saved);
  std::copy(std::begin(saved), std::end(saved), state);
  state[VK_CONTROL] = state[VK_LCONTROL] = ctrl ? 0x80 : 0;
  state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(state);
  HWND target = GetFocus();
  if (form != nullptr && (target == nullptr || GetAncestor(target, GA_ROOT) != form->Handle()))
    target = form->Handle();
  PostMessageW(target, WM_KEYDOWN, key, 1);
  if (form != nullptr)
    Pump(*form, 20);
  else
    Settle();
  SetKeyboardState(saved);
}

void TypeChar(HWND target, wchar_t c, bool alt) {
  PostMessageW(target, alt ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(c), alt ? (1 << 29) | 1 : 1);
  Settle();
}

namespace {
void PostPointer(TZelCustomButton& button, UINT message, WPARAM keys, int x, int y) {
  POINT screen{x, y};
  ClientToScreen(button.Handle(), &screen);
  HWND target = GetCapture();
  if (target == nullptr) target = WindowFromPoint(screen);
  ScreenToClient(target, &screen);
  PostMessageW(target, message, keys, MAKELPARAM(screen.x, screen.y));
  Settle();
}
}  // namespace

void MoveTo(TZelCustomButton& button, int x, int y) {
  PostPointer(button, WM_MOUSEMOVE, GetCapture() != nullptr ? MK_LBUTTON : 0, x, y);
}
void MoveToCentre(TZelCustomButton& button) {
  MoveTo(button, button.Width() / 2, button.Height() / 2);
}
void Leave(TZelCustomButton& button) {
  PostMessageW(button.Handle(), WM_MOUSELEAVE, 0, 0);
  Settle();
}
void LeftDown(TZelCustomButton& button, int x, int y) {
  PostPointer(button, WM_LBUTTONDOWN, MK_LBUTTON, x, y);
}
void LeftUp(TZelCustomButton& button, int x, int y) { PostPointer(button, WM_LBUTTONUP, 0, x, y); }

std::vector<std::string> TabCaptions(TMainForm& form) {
  std::vector<std::string> captions;
  HWND tabs = form.PageControl1->Handle();
  const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  for (int tab = 0; tab < count; ++tab) {
    wchar_t text[256] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    SendMessageW(tabs, TCM_GETITEMW, tab, reinterpret_cast<LPARAM>(&item));
    captions.push_back(Narrow(item.pszText));
  }
  return captions;
}

std::string ListViewText(HWND list, int row, int column) {
  std::wstring buffer(4096, L'\0');
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer.data();
  item.cchTextMax = static_cast<int>(buffer.size());
  const LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return Narrow(item.pszText, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::vector<std::string> ListBoxTexts(HWND list) {
  std::vector<std::string> texts;
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
    std::wstring text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, L'\0');
    const LRESULT copied = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    texts.push_back(Narrow(text.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0));
  }
  return texts;
}

std::string WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
  return Narrow(text.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

bool ListViewChecked(HWND list, int row) { return ListView_GetCheckState(list, row) != 0; }

int ListViewRows(HWND list) { return ListView_GetItemCount(list); }

bool Visible(TZelButton& button) { return button.Visible(); }

POINT CheckBoxOf(HWND list, int row) {
  RECT r{};
  ListView_GetItemRect(list, row, &r, LVIR_BOUNDS);
  LVHITTESTINFO hit{};
  for (hit.pt = {r.left, (r.top + r.bottom) / 2}; hit.pt.x < r.right; ++hit.pt.x)
    if (ListView_HitTest(list, &hit) == row && (hit.flags & LVHT_ONITEMSTATEICON)) break;
  return hit.pt;
}

void WriteNamedFile(const std::string& name, const std::string& content) {
  HANDLE file =
      CreateFileW(Widen(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

BackupFolders::BackupFolders() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  folder_ = Narrow(temp) + "Bk\xC5\x81ukasz";
  twinFolder_ = Narrow(temp) + "BkLukasz";
  Remove();
  CreateDirectoryW(Widen(folder_).c_str(), nullptr);
  CreateDirectoryW(Widen(twinFolder_).c_str(), nullptr);
  WriteNamedFile(Twin(), "twin");
}

BackupFolders::~BackupFolders() { Remove(); }

void BackupFolders::Remove() {
  for (const std::string& folder : {folder_, twinFolder_}) {
    DeleteFileW(Widen(folder + "\\kopia.reg").c_str());
    RemoveDirectoryW(Widen(folder).c_str());
  }
}

COLORREF PixelAt(HWND hwnd, int x, int y) {
  WindowDc dc(hwnd);
  return GetPixel(dc.get(), x, y);
}

int CountColour(HWND hwnd, const RECT& r, COLORREF colour) {
  WindowDc dc(hwnd);
  int count = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (GetPixel(dc.get(), x, y) == colour) ++count;
  return count;
}

RECT Pixels::BoxOf(COLORREF colour) const {
  RECT box{width, height, -1, -1};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (At(x, y) == colour)
        box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                   std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
  return box.right < 0 ? RECT{0, 0, 0, 0} : box;
}

int Pixels::Count(COLORREF colour) const {
  return static_cast<int>(std::count(data.begin(), data.end(), colour));
}

Pixels Grab(HWND hwnd) {
  Pixels pixels;
  RECT r;
  GetClientRect(hwnd, &r);
  pixels.width = r.right;
  pixels.height = r.bottom;
  TZelBitmap copy(r.right, r.bottom);
  WindowDc window(hwnd);
  MemoryDc memory(CreateCompatibleDC(window.get()));
  {
    SelectedObject selected(memory.get(), copy.Handle());
    BitBlt(memory.get(), 0, 0, r.right, r.bottom, window.get(), 0, 0, SRCCOPY);
    GdiFlush();
  }
  for (int y = 0; y < r.bottom; ++y)
    for (int x = 0; x < r.right; ++x) pixels.data.push_back(copy.Pixel(x, y));
  return pixels;
}

namespace {

// The text of an answer (ASCII here), freed.
std::string TakeText(BSTR text) {
  if (text == nullptr) return {};
  std::string utf8 = Narrow(text, SysStringLen(text));
  SysFreeString(text);
  return utf8;
}

}  // namespace

ReadButton ReadThroughAccessibility(TZelButton& button, bool press) {
  ReadButton read;
  IAccessible* object = nullptr;
  // Found at run time, as an assistive program would: the test programs import no oleacc.
  using FromWindow = HRESULT(STDAPICALLTYPE*)(HWND, DWORD, REFIID, void**);
  static const auto AccessibleObjectFromWindow =
      reinterpret_cast<FromWindow>(reinterpret_cast<void*>(
          GetProcAddress(LoadFromSystemFolder(L"oleacc.dll"), "AccessibleObjectFromWindow")));
  if (AccessibleObjectFromWindow == nullptr) {
    ADD_FAILURE() << "no oleacc";
    return read;
  }
  if (FAILED(AccessibleObjectFromWindow(button.Handle(), static_cast<DWORD>(OBJID_CLIENT),
                                        IID_IAccessible, reinterpret_cast<void**>(&object))) ||
      object == nullptr) {
    ADD_FAILURE() << "no accessible object for " << button.Caption();
    return read;
  }
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  if (SUCCEEDED(object->get_accName(self, &text))) read.name = TakeText(text);
  text = nullptr;
  if (SUCCEEDED(object->get_accDefaultAction(self, &text))) read.defaultAction = TakeText(text);
  VARIANT value;
  VariantInit(&value);
  if (SUCCEEDED(object->get_accRole(self, &value)) && value.vt == VT_I4) read.role = value.lVal;
  VariantInit(&value);
  if (SUCCEEDED(object->get_accState(self, &value)) && value.vt == VT_I4) read.state = value.lVal;
  if (press) read.pressed = object->accDoDefaultAction(self);
  object->Release();
  return read;
}

}  // namespace morvane::testing
