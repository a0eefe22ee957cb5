#include "MainFrm/MainFrm.h"

#include <commctrl.h>

#include "AboutU/About.h"
#include "AboutU/WebLinks.h"
#include "MainFrm/Appearance.h"
#include "platform/Process.h"
#include "platform/Shell.h"
#include "platform/SystemLibraries.h"
#include "platform/WideText.h"
#include "platform/WindowClass.h"
#include "platform/WindowRouting.h"

namespace morvane {

TMainForm* MainForm = nullptr;

namespace {

constexpr int kClientWidth = 679;
constexpr int kClientHeight = 505;
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr wchar_t kWindowClass[] = L"TMainForm";

HFONT MakeFont(const wchar_t* face, int pixelHeight, bool bold, BYTE charset = DEFAULT_CHARSET,
               bool underline = false) {
  return CreateFontW(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline, FALSE,
                     charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH, face);
}

void SetFont(HWND hwnd, HFONT font) {
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// A list of the page. It always keeps strings, which is what screen readers and other programs
// read from it; with rows, the rows are drawn from rows rather than from those strings.
HWND MakeList(HWND sheet, HFONT font, const ListBoxRows* rows = nullptr) {
  HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY |
                                  LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                              0, 32, 673, 353, sheet, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetFont(list, font);
  DrawListBoxRows(list, rows);
  return list;
}

std::string WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
  return Narrow(text.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

// An error's message as the application shows it: with a full stop added when the message
// ends in a character that sorts after it.
std::string ErrorMessageText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace

TMainFormServices DefaultServices() {
  TMainFormServices services;
  services.MessageBox = [](HWND owner, const std::string& text, const std::string& caption,
                           UINT flags) {
    return MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), flags);
  };
  services.ShellOpen = [](HWND owner, const std::string& target) { ShellOpen(owner, target); };
  services.ExecuteSaveDialog = [](HWND owner, TSaveDialog& dialog) {
    return dialog.Execute(owner);
  };
  services.ExecuteOpenDialog = [](HWND owner, TOpenDialog& dialog) {
    return dialog.Execute(owner);
  };
  services.Registry = &SystemRegistry();
  services.Files = &SystemFileSystem();
  services.Tree = &SystemFileTree();
  services.Folders = &SystemFolderApi();
  services.Process = &SystemProcess();
  return services;
}

TMainForm::BusyScope::BusyScope(TMainForm& form) : form_(form) { ++form_.busy_; }

TMainForm::BusyScope::~BusyScope() {
  if (--form_.busy_ == 0 && form_.closeRequested_) PostMessageW(form_.hwnd_, WM_CLOSE, 0, 0);
}

void TMainForm::MessageTurns::operator()() {
  if (std::chrono::steady_clock::now() < next_) return;
  form_.RefreshApp();
  next_ = std::chrono::steady_clock::now() + kTurnTime;
}

std::string TMainForm::RightsSentence(std::size_t denied) {
  if (denied == 0 || !LacksRights()) return "";
  return " Administrator rights are needed for " + std::to_string(denied) + " of them.";
}

TMainForm::TMainForm(TMainFormServices services)
    : registryPage_(*this),
      filesPage_(*this),
      deinstallPage_(*this),
      FCleanThread(registryPage_.FCleanThread),
      Services(std::move(services)) {
  INITCOMMONCONTROLSEX icc{sizeof icc,
                           ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  if (const CommonControlsCalls* controls = CommonControlsLibrary())
    controls->InitCommonControlsEx(&icc);
  WindowClassSpec spec{kWindowClass, &RouteToObject<TMainForm>};
  spec.background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  spec.icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  RegisterWindowClass(spec);

  windowFont_.reset(MakeFont(L"MS Sans Serif", 11, false));
  tabFont_.reset(MakeFont(L"Verdana", 13, true, RUSSIAN_CHARSET));
  listFont_.reset(MakeFont(L"Verdana", 13, false, RUSSIAN_CHARSET));
  buttonFont_.reset(MakeFont(L"MS Sans Serif", 13, true));
  panelBrush_.reset(CreateSolidBrush(kEvenRowColor));
  whiteBrush_.reset(CreateSolidBrush(RGB(255, 255, 255)));
  banner_.reset(static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), L"BANNER", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));

  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&frame, kWindowStyle, TRUE);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  CreateMenus();
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Widen(kApplicationTitle).c_str(),
                          kWindowStyle, x, y, width, height, nullptr, MainMenu1,
                          GetModuleHandleW(nullptr), this);
  MainForm = this;
  CreateControls();
  for (TPage* page : pages_) page->ControlsCreated();
  // FormCreate: the page control's background colour is set with its creation above.
  PageControl1->SelectPage(kRoleRegistry);
}

TMainForm::~TMainForm() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    for (TPage* page : pages_) page->Closing();
    ZelButton1.reset();
    ZelButton2.reset();
    ZelButton3.reset();
    ZelButton4.reset();
    PageControl1.reset();
    DestroyWindow(hwnd_);
  }
  if (MainForm == this) MainForm = nullptr;
}

void TMainForm::CreateMenus() {
  MainMenu1 = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, kCmdRestore, L"Restore from backup...");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, kCmdExit, L"Exit");
  HMENU unit = CreatePopupMenu();
  AppendMenuW(unit, MF_STRING, kCmdRegister, L"Register\tCtrl+R");
  AppendMenuW(unit, MF_STRING, kCmdUnnecessaryFiles, L"Unnecessary files\tCtrl+U");
  AppendMenuW(unit, MF_STRING, kCmdDeinstall, L"Deinstall\tCtrl+D");
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, kCmdHelp, L"Support\tF1");
  AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(help, MF_STRING, kCmdHomePage, L"Quorvial Ltd. home page");
  AppendMenuW(help, MF_STRING, kCmdProductPage, L"Morvane home page");
  AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(help, MF_STRING, kCmdAbout, L"About\tCtrl+A");
  AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
  AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(unit), L"Unit");
  AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"Help");

  ACCEL keys[] = {
      {FVIRTKEY | FCONTROL, 'R', kCmdRegister},  {FVIRTKEY | FCONTROL, 'U', kCmdUnnecessaryFiles},
      {FVIRTKEY | FCONTROL, 'D', kCmdDeinstall}, {FVIRTKEY, VK_F1, kCmdHelp},
      {FVIRTKEY | FCONTROL, 'A', kCmdAbout},
  };
  accelerators_.reset(CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys))));
}

void TMainForm::CreateControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  SetFont(hwnd_, windowFont_.get());

  // The banner is painted by the window itself (see Paint); Image1 marks its area.
  Image1 = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_OWNERDRAW, 0, 0, 681, 169, hwnd_,
                           nullptr, instance, nullptr);

  PageControl1 = std::make_unique<TPageControl>(hwnd_, -1, 72, 682, 417, kPageControlColor);
  SetFont(PageControl1->Handle(), tabFont_.get());
  // In the order of their roles.
  RCl = PageControl1->AddPage("Register");
  TabSheet1 = PageControl1->AddPage("Unnecessary files");
  TabSheet2 = PageControl1->AddPage("Deinstall");
  PageControl1->OnShow = [this](int page) { OnPageShown(page); };

  ListView1 = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                                  LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                              0, 32, 673, 353, RCl, nullptr, instance, nullptr);
  SetFont(ListView1, listFont_.get());
  ListView_SetExtendedListViewStyle(ListView1, LVS_EX_CHECKBOXES);
  ListView_SetBkColor(ListView1, RGB(255, 255, 255));
  ListView_SetTextColor(ListView1, RGB(0, 0, 0));
  DrawRowsAlternately(ListView1);
  const wchar_t* columns[] = {L"Type of error", L"Parameter", L"Section", L"Key of register"};
  for (int i = 0; i < 4; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(columns[i]);
    column.iSubItem = i;
    column.cx = 100;
    SendMessageW(ListView1, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }

  SaveDialog1.DefaultExt = ".reg";
  SaveDialog1.Filter = "Registry files|*.reg";
  OpenDialog1.DefaultExt = ".reg";
  OpenDialog1.Filter = "Registry files|*.reg";

  ListBox1 = MakeList(TabSheet1, listFont_.get());
  ListBox2 = MakeList(TabSheet2, listFont_.get(), &deinstallPage_);

  Panel1 = CreateWindowExW(WS_EX_STATICEDGE, L"STATIC", L"",
                           WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, 7, 490, 666, 15,
                           hwnd_, nullptr, instance, nullptr);
  SetFont(Panel1, windowFont_.get());

  // The four action buttons as the window stores them: each button's stored properties are
  // applied in their declaration order while it is loading.
  struct StoredButton {
    std::unique_ptr<TZelButton>* field;
    int left, top, width, height;
    const char* caption;
    int tabOrder;
    bool boldFont;  // otherwise the window's font
  };
  const StoredButton stored[] = {
      {&ZelButton1, 8, 104, 73, 25, "Start", 2, true},
      {&ZelButton2, 88, 104, 65, 25, "Cancel", 3, true},
      {&ZelButton3, 160, 104, 65, 25, "Correct", 4, true},
      {&ZelButton4, 608, 102, 65, 25, "Regedit", 5, false},
  };
  TZelFont boldFont;
  boldFont.Height = 13;
  boldFont.Bold = true;
  for (const StoredButton& s : stored) {
    auto button = std::make_unique<TZelButton>(hwnd_);
    {
      TZelLoadScope loading(*button);
      button->SetBounds(s.left, s.top, s.width, s.height);
      button->SetCursor(1);
      button->SetRepeatInterval(50);
      button->SetRepeatStartInterval(50);
      button->SetHotTrackColor(RgbColor(0, 128, 0));
      button->SetCaption(s.caption);
      if (s.boldFont) {
        button->SetParentFont(false);
        button->SetFont(boldFont);
      }
      button->SetTabOrder(s.tabOrder);
    }
    *s.field = std::move(button);
  }
  // Buttons lie over the page control, in the strip between the tabs and the lists: raised
  // to the top of the z-order, which leaves their tab orders as they were set.
  for (auto* field : {&ZelButton4, &ZelButton3, &ZelButton2, &ZelButton1})
    SetWindowPos((*field)->Handle(), HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ZelButton1->OnClick = [this] { RunHandler([this] { ZelButton1Click(); }); };
  ZelButton2->OnClick = [this] { RunHandler([this] { ZelButton2Click(); }); };
  ZelButton3->OnClick = [this] { RunHandler([this] { ZelButton3Click(); }); };
  ZelButton4->OnClick = [this] { RunHandler([this] { ZelButton4Click(); }); };
}

void TMainForm::Show() {
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
}

bool TMainForm::PreTranslate(MSG& msg) {
  if (!accelerators_.valid() || hwnd_ == nullptr) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  if (root != hwnd_) return false;
  if (TranslateAcceleratorW(hwnd_, accelerators_.get(), &msg) != 0) return true;
  return msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && TabKey();
}

// Ctrl+Tab and Ctrl+Shift+Tab show the next or previous page whose tab is shown. Tab and
// Shift+Tab move the focus among the tab stops in their tab order, into the page shown and out
// of it, with its rectangle shown from then on: the buttons' input (ZelButton/ZelInput.h) does
// that before the key comes here, in every window that holds buttons. The window runs no
// dialog's key handling, which would take Enter and Escape from the buttons as well.
bool TMainForm::TabKey() {
  if (GetKeyState(VK_MENU) < 0 || GetKeyState(VK_CONTROL) >= 0) return false;
  const bool back = GetKeyState(VK_SHIFT) < 0;
  const int tabs = PageControl1->TabCount();
  if (tabs > 1) {
    const int shown = TabCtrl_GetCurSel(PageControl1->Handle());
    PageControl1->SelectPage(PageControl1->PageOfTab((shown + (back ? tabs - 1 : 1)) % tabs));
  }
  return true;
}

void TMainForm::RefreshApp() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!PreTranslate(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

void TMainForm::RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    Services.MessageBox(hwnd_, ErrorMessageText(error.what()), kApplicationTitle,
                        MB_OK | MB_ICONERROR);
  }
}

// ---- Pages
// ---------------------------------------------------------------------------------------

void TMainForm::OnPageShown(int page) {
  static constexpr void (TMainForm::*kShow[kPageCount])() = {
      &TMainForm::RClShow, &TMainForm::TabSheet1Show, &TMainForm::TabSheet2Show};
  if (page >= 0 && page < kPageCount) RunHandler([this, page] { (this->*kShow[page])(); });
}

void TMainForm::RClShow() { registryPage_.Show(); }
void TMainForm::TabSheet1Show() { filesPage_.Show(); }
void TMainForm::TabSheet2Show() { deinstallPage_.Show(); }
void TMainForm::ListBox2Click() { deinstallPage_.ListBox2Click(); }

void TMainForm::SetOtherTabsVisible(PageRole page, bool visible) {
  for (int other = 0; other < kPageCount; ++other)
    if (other != page) PageControl1->SetTabVisible(other, visible);
}

// ---- Action buttons ----------------------------------------------------------------------------

void TMainForm::ZelButton1Click() { CurrentPage().PressButton1(); }
void TMainForm::ZelButton2Click() {
  // During a restore the button is its Cancel, whatever the page.
  if (restoring_) {
    restoreStopped_ = true;
    return;
  }
  CurrentPage().PressButton2();
}
void TMainForm::ZelButton3Click() { CurrentPage().PressButton3(); }
void TMainForm::ZelButton4Click() { CurrentPage().PressButton4(); }

// ---- Menu ------------------------------------------------------------------------------------

void TMainForm::Exit1Click() { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }
void TMainForm::Register1Click() { PageControl1->SelectPage(kRoleRegistry); }
void TMainForm::Unnecessaryfiles1Click() { PageControl1->SelectPage(kRoleFiles); }
void TMainForm::Deinstall1Click() { PageControl1->SelectPage(kRoleDeinstall); }
void TMainForm::About1Click() {
  if (About != nullptr) About->ShowModal();
}

void TMainForm::Help1Click() {
  const std::string page = HelpPagePath(ExecutablePath());
  if (!page.empty() && Services.Files->FileExists(page)) Services.ShellOpen(hwnd_, page);
}

void TMainForm::homepageClick() { Services.ShellOpen(hwnd_, kHomePage); }
void TMainForm::Morvanehomepage1Click() { Services.ShellOpen(hwnd_, ProductPage()); }

void TMainForm::OnCommand(WORD id) {
  RunHandler([this, id] {
    switch (id) {
      case kCmdExit:
        Exit1Click();
        break;
      case kCmdRegister:
        Register1Click();
        break;
      case kCmdUnnecessaryFiles:
        Unnecessaryfiles1Click();
        break;
      case kCmdDeinstall:
        Deinstall1Click();
        break;
      case kCmdHelp:
        Help1Click();
        break;
      case kCmdHomePage:
        homepageClick();
        break;
      case kCmdProductPage:
        Morvanehomepage1Click();
        break;
      case kCmdAbout:
        About1Click();
        break;
      case kCmdRestore:
        Restorefrombackup1Click();
        break;
      default:
        break;
    }
  });
}

// ---- Status line -------------------------------------------------------------------------------

std::string TMainForm::StatusText() const { return WindowText(Panel1); }

void TMainForm::SetStatusText(const std::string& text) {
  SetWindowTextW(Panel1, Widen(text).c_str());
}

void TMainForm::StartProgram(const ProgramStart& start) {
  morvane::StartProgram(*Services.Process, hwnd_, start.program, start.commandLine);
}

// ---- Window procedure
// ----------------------------------------------------------------------------

void TMainForm::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  if (banner_.get() != nullptr) {
    MemoryDc memory(CreateCompatibleDC(dc));
    SelectedObject bitmap(memory.get(), banner_.get());
    BitBlt(dc, 0, 0, 681, 169, memory.get(), 0, 0, SRCCOPY);
  }
  EndPaint(hwnd_, &ps);
}

LRESULT TMainForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // The tab strip draws its own labels and answers its own notifications.
  LRESULT reflected = 0;
  if (ReflectToChild(message, wParam, lParam, reflected)) return reflected;
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_COMMAND:
      if (lParam == 0) {
        OnCommand(LOWORD(wParam));
      } else if (reinterpret_cast<HWND>(lParam) == ListBox2 && HIWORD(wParam) == LBN_SELCHANGE) {
        RunHandler([this] { ListBox2Click(); });
      }
      return 0;
    case WM_INITMENUPOPUP:
      // Restore waits while a tool runs, as the commands on the pages do.
      EnableMenuItem(MainMenu1, kCmdRestore,
                     MF_BYCOMMAND | (ToolRunning() ? MF_GRAYED : MF_ENABLED));
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == Panel1) {
        SetBkColor(reinterpret_cast<HDC>(wParam), kEvenRowColor);
        return reinterpret_cast<LRESULT>(panelBrush_.get());
      }
      break;
    case WM_CTLCOLORBTN:
      // The action buttons take the window's colour.
      return reinterpret_cast<LRESULT>(whiteBrush_.get());
    case kScanQueueMessage:
      registryPage_.ApplyScanMessages();
      return 0;
    case WM_CLOSE:
      if (busy_ > 0) {
        closeRequested_ = true;  // the running tool finishes first
        return 0;
      }
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      for (TPage* page : pages_) page->Closing();
      if (QuitWhenDestroyed) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace morvane
