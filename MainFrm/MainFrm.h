// TMainForm: Morvane's main window, the frame around its three pages. It creates the banner,
// the page control with the registry, unnecessary-files and deinstall pages, one list per page,
// the status line, the menu, the save dialog and the four action buttons; it dispatches the
// window's messages and holds a close request while a tool runs. The page shown decides the
// buttons' captions and states and is kept as the page role in ZelButton1.Tag; every press is
// handed to the page of that role (TRegistryPage, TFilesPage, TDeinstallPage), which does the
// work.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CleanReg/ProgramPath.h"
#include "MainFrm/DeinstallPage.h"
#include "MainFrm/FilesPage.h"
#include "MainFrm/PageControl.h"
#include "MainFrm/PageRole.h"
#include "MainFrm/RegistryPage.h"
#include "MainFrm/SaveDialog.h"
#include "ZelButton/ZelButton.h"
#include "platform/FileSystem.h"
#include "platform/FileTree.h"
#include "platform/Process.h"
#include "platform/RegistryApi.h"
#include "platform/SystemFolders.h"
#include "platform/WinHandles.h"
#include "resources/Version.h"

namespace morvane {

inline constexpr char kApplicationTitle[] = "Morvane v" MORVANE_VERSION_TEXT;

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
  kCmdRestore,
};

// What the window asks of the world besides drawing. Tests replace these to answer dialogs and
// to see which programs would start.
struct TMainFormServices {
  std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT flags)>
      MessageBox;
  // Opens a file or a web or mail address with the program the system has for it.
  std::function<void(HWND owner, const std::string& target)> ShellOpen;
  std::function<bool(HWND owner, TSaveDialog& dialog)> ExecuteSaveDialog;
  std::function<bool(HWND owner, TOpenDialog& dialog)> ExecuteOpenDialog;
  RegistryApi* Registry = nullptr;
  FileSystem* Files = nullptr;
  // Starts programs by their full paths (nothing searches for them) and tells whether this
  // process runs elevated.
  ProcessApi* Process = nullptr;
  FileTree* Tree = nullptr;  // the unnecessary-files page's walk, size read and deletion
  SystemFolders* Folders = nullptr;
  // How long Correct waits before each removal, the window answering meanwhile.
  std::chrono::milliseconds PauseBeforeRemoval{100};
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
  // Accelerators and the Tab key; call from every message loop before TranslateMessage.
  bool PreTranslate(MSG& msg);
  // Lets every pending window message run, then returns.
  void RefreshApp();

 private:
  // The pages come first: FCleanThread below refers into the registry page.
  TRegistryPage registryPage_;
  TFilesPage filesPage_;
  TDeinstallPage deinstallPage_;

 public:
  // Controls.
  std::unique_ptr<TPageControl> PageControl1;
  HWND RCl = nullptr, TabSheet1 = nullptr, TabSheet2 = nullptr;
  HWND ListView1 = nullptr;
  HWND Panel1 = nullptr;
  TSaveDialog SaveDialog1;
  TOpenDialog OpenDialog1;  // the backup file to restore from
  HWND ListBox1 = nullptr, ListBox2 = nullptr;
  HMENU MainMenu1 = nullptr;
  HWND Image1 = nullptr;
  std::unique_ptr<TZelButton> ZelButton1, ZelButton2, ZelButton3, ZelButton4;
  // The registry scan worker started last, until its end of scan has been applied. The
  // registry page owns it.
  const std::unique_ptr<TCleanThread>& FCleanThread;

  // Page-show handlers.
  void RClShow();
  void TabSheet1Show();
  void TabSheet2Show();
  // The selection in ListBox2 changed (by mouse or keyboard).
  void ListBox2Click();
  // The command the last selection on the deinstall page read; Uninstall runs it.
  const std::string& UninstallCommand() const { return deinstallPage_.UninstallCommand(); }
  // Menu handlers.
  void Exit1Click();
  void Register1Click();
  void Unnecessaryfiles1Click();
  void Deinstall1Click();
  void About1Click();
  void Help1Click();             // the help page beside the executable, when there is one
  void homepageClick();          // the maker's home page
  void Morvanehomepage1Click();  // the product page
  // Puts back what a backup file records (RestoreCommand.cpp); does nothing while a tool runs.
  // Cancel, whatever the page, or a close of the window stops it after the entry in hand.
  void Restorefrombackup1Click();
  bool Restoring() const { return restoring_; }
  // Action buttons: each hands the press to the page of the current role.
  void ZelButton1Click();
  void ZelButton2Click();
  void ZelButton3Click();
  void ZelButton4Click();

  PageRole Role() const { return static_cast<PageRole>(ZelButton1->Tag); }
  // Shows or hides the tabs of every page but this one: while a page's tool runs, the other
  // pages cannot be reached.
  void SetOtherTabsVisible(PageRole page, bool visible);
  std::string StatusText() const;
  void SetStatusText(const std::string& text);
  // Starts a program by its full path, through the system's prompt when it asks for more rights
  // than the program has; a failed start shows nothing.
  void StartProgram(const ProgramStart& start);
  // The program lacks an administrator's full rights: a refusal with "access denied" may mean
  // that rights are missing, and the user is told so.
  bool LacksRights() { return !Services.Process->Elevated(); }
  // What follows a count of entries not removed or restored when denied of them were refused
  // with access denied and rights may be what is missing: " Administrator rights are needed for
  // K of them."; empty otherwise.
  std::string RightsSentence(std::size_t denied);

  // The registry page's findings list and repair, as the tests and benchmarks look at them.
  const FindingTable& Findings() const { return registryPage_.Findings(); }
  void AddFinding(const Finding& finding) { registryPage_.AddFinding(finding); }
  void ClearFindings() { registryPage_.ClearFindings(); }
  bool Repairing() const { return registryPage_.Repairing(); }
  // The unnecessary-files page, as the tests and benchmarks look at it.
  const TFilesPage& FilesPage() const { return filesPage_; }
  // The deinstall page, as the tests and benchmarks look at it.
  const TDeinstallPage& DeinstallPage() const { return deinstallPage_; }

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
  // Called between the steps of long work on the window's thread: lets the window's pending
  // messages run at the first call and then at the first call after each kTurnTime. Looking for
  // messages costs a round trip to the system even when there are none.
  class MessageTurns {
   public:
    static constexpr std::chrono::milliseconds kTurnTime{5};
    explicit MessageTurns(TMainForm& form) : form_(form) {}
    void operator()();

   private:
    TMainForm& form_;
    std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::time_point::min();
  };
  bool Busy() const { return busy_ > 0; }
  // A close request is waiting for the running work to end.
  bool CloseRequested() const { return closeRequested_; }
  // A scan, a collection of the files or a repair is running (or a restore).
  bool ToolRunning() const { return Busy() || FCleanThread != nullptr; }

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
  bool TabKey();
  TPage& CurrentPage() { return *pages_[Role()]; }
  // Runs a handler; an error escaping it is shown in a message box and the program goes on.
  void RunHandler(const std::function<void()>& handler);
  void Paint();

  TPage* const pages_[kPageCount] = {&registryPage_, &filesPage_, &deinstallPage_};  // by role
  HWND hwnd_ = nullptr;
  AcceleratorTable accelerators_;
  GdiObject<HFONT> windowFont_, tabFont_, listFont_, buttonFont_;
  GdiObject<HBRUSH> panelBrush_, whiteBrush_;
  GdiObject<HBITMAP> banner_;
  int busy_ = 0;
  bool closeRequested_ = false;
  // Restore runs, and Cancel was pressed during it; RestoreHeld sets and puts back both.
  class RestoreHeld;
  bool restoring_ = false, restoreStopped_ = false;
};

// The one main window of the running program.
extern TMainForm* MainForm;

}  // namespace morvane
