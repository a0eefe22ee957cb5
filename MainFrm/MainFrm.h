// TMainForm: Morvane's main window. It holds the banner, the page control with the registry,
// unnecessary-files and deinstall pages, one list per page, the status line, the menu, the save
// dialog and the four action buttons. The page shown decides the buttons' captions and states
// and is kept as the page role in ZelButton1.Tag; every press is routed by that role.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CleanReg/CleanThread.h"
#include "CleanReg/Finding.h"
#include "CleanReg/Repair.h"
#include "CleanReg/ScanQueue.h"
#include "MainFrm/ListColumnFit.h"
#include "MainFrm/PageControl.h"
#include "MainFrm/SaveDialog.h"
#include "ZelButton/ZelButton.h"
#include "platform/WinHandles.h"

namespace morvane {

inline constexpr char kApplicationTitle[] = "Morvane v1.0";

enum PageRole : std::int32_t { kRoleRegistry = 0, kRoleFiles = 1, kRoleDeinstall = 2 };

// Menu command identifiers.
enum MenuCommand : WORD {
  kCmdExit = 100,
  kCmdRegister,
  kCmdUnnecessaryFiles,
  kCmdDeinstall,
  kCmdHelp,
  kCmdHomePage,
  kCmdProductPage,
  kCmdAbout,
};

// What the window asks of the world besides drawing. Tests replace these to answer dialogs and
// to see which programs would start.
struct TMainFormServices {
  std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT flags)> MessageBox;
  std::function<void(const std::string& commandLine)> StartProgram;
  std::function<bool(HWND owner, TSaveDialog& dialog)> ExecuteSaveDialog;
  RegistryApi* Registry = nullptr;
  FileSystem* Files = nullptr;
};
TMainFormServices DefaultServices();

class TMainForm {
 public:
  explicit TMainForm(TMainFormServices services = DefaultServices());
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  HWND Handle() const { return hwnd_; }
  void Show();
  // Accelerators; call from every message loop before TranslateMessage.
  bool PreTranslate(MSG& msg);
  // Lets every pending window message run, then returns.
  void RefreshApp();

  // Controls.
  std::unique_ptr<TPageControl> PageControl1;
  HWND RCl = nullptr, TabSheet1 = nullptr, TabSheet2 = nullptr;
  HWND ListView1 = nullptr;
  HWND Panel1 = nullptr;
  TSaveDialog SaveDialog1;
  HWND ListBox1 = nullptr, ListBox2 = nullptr;
  HMENU MainMenu1 = nullptr;
  HWND Image1 = nullptr;
  std::unique_ptr<TZelButton> ZelButton1, ZelButton2, ZelButton3, ZelButton4;
  // The scan worker started last, until its end of scan has been applied.
  std::unique_ptr<TCleanThread> FCleanThread;

  // Page-show handlers.
  void RClShow();
  void TabSheet1Show();
  void TabSheet2Show();
  // Menu handlers.
  void Exit1Click();
  void Register1Click();
  void Unnecessaryfiles1Click();
  void Deinstall1Click();
  void About1Click();
  // Action buttons.
  void ZelButton1Click();
  void ZelButton2Click();
  void ZelButton3Click();
  void ZelButton4Click();

  // The findings shown in ListView1, row for row.
  const std::vector<Finding>& Findings() const { return findings_; }
  void AddFinding(const Finding& finding);
  void ClearFindings();
  std::string StatusText() const;
  void SetStatusText(const std::string& text);
  PageRole Role() const { return static_cast<PageRole>(ZelButton1->Tag); }
  bool Repairing() const { return repairing_; }

  // While work that lets messages through runs, a close request waits for it to end.
  class BusyScope {
   public:
    explicit BusyScope(TMainForm& form);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    TMainForm& form_;
  };
  bool Busy() const { return busy_ > 0; }

  TMainFormServices Services;
  // The program's own main window ends the message loop when it goes.
  bool QuitWhenDestroyed = false;

  // Posted by the scan queue when hand-overs are waiting.
  static constexpr UINT kScanQueueMessage = WM_APP + 1;

 private:
  template <typename T>
  friend LRESULT CALLBACK RouteToObject(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  void CreateMenus();
  void OnCommand(WORD id);
  void OnPageShown(int page);
  void ApplyScanMessages();
  // The Correct command (ZelButton3 on the registry page).
  void CorrectFindings();
  std::vector<RepairRow> CheckedRows() const;
  void EndOfScan();
  void AutoSizeColumns();
  // Runs a handler; an error escaping it is shown in a message box and the program goes on.
  void RunHandler(const std::function<void()>& handler);
  void Paint();

  HWND hwnd_ = nullptr;
  AcceleratorTable accelerators_;
  GdiObject<HFONT> windowFont_, tabFont_, listFont_, buttonFont_;
  GdiObject<HBRUSH> panelBrush_, whiteBrush_;
  GdiObject<HBITMAP> banner_;
  std::unique_ptr<ScanQueue> scanQueue_;
  std::vector<Finding> findings_;
  TListColumnFit columnFit_;  // widths of ListView1's columns, kept as rows are added
  int busy_ = 0;
  bool repairing_ = false;
  bool closeRequested_ = false;
};

// The one main window of the running program.
extern TMainForm* MainForm;

}  // namespace morvane
