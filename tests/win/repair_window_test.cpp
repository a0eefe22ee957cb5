// The Correct command in the real window: the backup question and dialog, the removal with its
// "Corrected!" marks, the emptied list, what the window refuses while the repair runs, and what
// stops it.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <new>
#include <thread>

#include "platform/WideText.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

std::string ReadFile(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// 日本, Ωmega and ソフト (whose last two letters end in byte 0x5C, the backslash, in code page
// 932).

class RepairWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    file_ = std::string(temp) + "morvane-repair-test.reg";
    DeleteFileA(file_.c_str());
    services_.saveDialog = [this](TSaveDialog& dialog) {
      ++dialogs_;
      previousName_ = dialog.FileName;
      if (!confirm_) return false;
      dialog.FileName = file_;
      return true;
    };
  }
  void TearDown() override {
    DeleteFileA(file_.c_str());
    MainWindowTest::TearDown();
  }
  // A finished scan with its rows: the empty extension key and the broken reference, and any
  // reference a test added.
  TMainForm& Scanned(int rows = 2) {
    TMainForm& f = Form();
    ClickWindow(f, f.ZelButton1->Handle());
    EXPECT_TRUE(PumpUntil(f, [&] { return ScanEnded(f); }));
    EXPECT_EQ(ListViewRows(f.ListView1), rows);
    return f;
  }
  void Check(TMainForm& f, int row) { ListView_SetCheckState(f.ListView1, row, TRUE); }
  // A click posted to a window, taken when its messages next run.
  static void PostClick(HWND hwnd, POINT p) {
    const LPARAM point = MAKELPARAM(p.x, p.y);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, point);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, point);
  }
  static POINT Middle(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    return {(r.right - r.left) / 2, (r.bottom - r.top) / 2};
  }

  std::string file_;
  std::string previousName_;
  bool confirm_ = true;
  int dialogs_ = 0;
};

TEST_F(RepairWindowTest, CorrectWithBackupRemovesTheCheckedRowsOnly) {
  TMainForm& f = Scanned();
  Check(f, 1);
  ClickWindow(f, f.ZelButton3->Handle());
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].text, "To save a backup copy?");
  EXPECT_EQ(services_.messages[0].caption, "Information");
  EXPECT_EQ(services_.messages[0].flags, static_cast<UINT>(MB_OKCANCEL | MB_ICONINFORMATION));
  EXPECT_EQ(dialogs_, 1);
  EXPECT_EQ(previousName_, "");
  EXPECT_EQ(f.SaveDialog1.DefaultExt, ".reg");
  EXPECT_EQ(f.SaveDialog1.Filter, "Registry files|*.reg");
  EXPECT_EQ(ReadFile(file_),
            "Morvane "
            "v1.0\r\n\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Vendor]\r\n\"Path\"=\"C:\\Gone\\tool."
            "exe\"\r\n");
  EXPECT_FALSE(mem_.ValueExists(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Path"));
  EXPECT_TRUE(mem_.KeyExists(RootKey::ClassesRoot, ".empty"));  // unchecked
  EXPECT_EQ(ListViewRows(f.ListView1), 0);
  EXPECT_TRUE(f.Findings().empty());
  EXPECT_FALSE(f.ZelButton3->Enabled());
  EXPECT_TRUE(f.ZelButton1->Enabled());
  EXPECT_EQ(TabCaptions(f).size(), 3u);

  // The next use of the dialog offers the name chosen before.
  mem_.AddKey(RootKey::ClassesRoot, ".again");
  ClickWindow(f, f.ZelButton1->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return ScanEnded(f); }));
  ClickWindow(f, f.ZelButton3->Handle());
  EXPECT_EQ(previousName_, file_);
}

// A dialog of the calling thread, found from another one: the save dialog (it has a Save
// button and no No button) or a Yes/No question.
struct DialogSearch {
  bool question;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (std::string(cls) != "#32770" || !IsWindowVisible(hwnd)) return TRUE;
  if ((GetDlgItem(hwnd, IDNO) != nullptr) != search->question ||
      GetDlgItem(hwnd, search->question ? IDYES : IDOK) == nullptr)
    return TRUE;
  search->found = hwnd;
  return FALSE;
}

HWND DialogOfThread(DWORD thread, bool question) {
  DialogSearch search{question, nullptr};
  EnumThreadWindows(thread, &MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForDialog(DWORD thread, bool question) {
  for (int i = 0; i < 400; ++i) {
    if (HWND found = DialogOfThread(thread, question)) return found;
    Sleep(25);
  }
  return nullptr;
}

// The second Correct offers the name of the first backup again. The system's save dialog asks
// before replacing it; No leaves the first backup as it was.
TEST_F(RepairWindowTest, SaveDialogAsksBeforeReplacingTheEarlierBackup) {
  TMainForm& f = Scanned();
  Check(f, 0);
  ClickWindow(f, f.ZelButton3->Handle());
  const std::string first = ReadFile(file_);
  ASSERT_NE(first.find("[HKEY_CLASSES_ROOT\\.empty]"), std::string::npos);

  mem_.AddKey(RootKey::ClassesRoot, ".again");
  ClickWindow(f, f.ZelButton1->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return ScanEnded(f); }));
  Check(f, 0);
  services_.saveDialog = [&](TSaveDialog& dialog) { return dialog.Execute(f.Handle()); };
  bool asked = false, cancelled = false;
  std::thread user([&, thread = GetCurrentThreadId()] {
    // Save with the name offered, No to the question, then Cancel.
    HWND save = WaitForDialog(thread, false);
    if (save == nullptr) return;
    PostMessageW(save, WM_COMMAND, IDOK, 0);
    if (HWND question = WaitForDialog(thread, true)) {
      asked = true;
      PostMessageW(question, WM_COMMAND, IDNO, 0);
      for (int i = 0; i < 400 && IsWindow(question); ++i) Sleep(25);
    }
    cancelled = PostMessageW(save, WM_COMMAND, IDCANCEL, 0) != FALSE;
  });
  ClickWindow(f, f.ZelButton3->Handle());
  user.join();
  EXPECT_TRUE(asked);
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(f.SaveDialog1.FileName, file_);
  EXPECT_EQ(ReadFile(file_), first);
  // Without a backup the repair still ran.
  EXPECT_EQ(ListViewRows(f.ListView1), 0);
}

// The system's save dialog gives the name as it holds it, and asks before replacing only the
// file of that very name: BkŁukasz\kopia.reg is new although BkLukasz\kopia.reg exists.
TEST_F(RepairWindowTest, SaveDialogGivesTheExactNameAndAsksOnlyAboutThatFile) {
  BackupFolders folders;
  TSaveDialog dialog;
  dialog.DefaultExt = ".reg";
  dialog.Filter = "Registry files|*.reg";
  dialog.FileName = folders.Backup();
  TMainForm& f = Form();
  for (const bool exists : {false, true}) {
    if (exists) WriteNamedFile(folders.Backup(), "earlier");
    bool asked = false;
    std::thread user([&, thread = GetCurrentThreadId()] {
      HWND save = WaitForDialog(thread, false);
      if (save == nullptr) return;
      PostMessageW(save, WM_COMMAND, IDOK, 0);
      HWND question = exists ? WaitForDialog(thread, true) : nullptr;
      if (!exists) {
        Sleep(500);
        question = DialogOfThread(thread, true);
      }
      asked = question != nullptr;
      if (question != nullptr) PostMessageW(question, WM_COMMAND, exists ? IDYES : IDNO, 0);
      // Whatever else the dialog still shows (a refused name) is closed, and the dialog with it.
      for (int i = 0; i < 200 && IsWindow(save); ++i) {
        Sleep(25);
        if (i % 40 == 39) {
          if (HWND other = GetLastActivePopup(save); other != save)
            PostMessageW(other, WM_COMMAND, IDCANCEL, 0);
          PostMessageW(save, WM_COMMAND, IDCANCEL, 0);
        }
      }
    });
    const bool confirmed = dialog.Execute(f.Handle());
    user.join();
    EXPECT_TRUE(confirmed) << "exists " << exists;
    EXPECT_EQ(asked, exists);
    EXPECT_EQ(dialog.FileName, folders.Backup());
  }
  EXPECT_EQ(ReadNamedFile(folders.Twin()), "twin");
}

TEST_F(RepairWindowTest, CancelOnTheQuestionSkipsTheDialogButRepairs) {
  services_.answer = IDCANCEL;
  TMainForm& f = Scanned();
  Check(f, 0);
  ClickWindow(f, f.ZelButton3->Handle());
  EXPECT_EQ(dialogs_, 0);
  EXPECT_EQ(GetFileAttributesA(file_.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(mem_.KeyExists(RootKey::ClassesRoot, ".empty"));
  EXPECT_EQ(ListViewRows(f.ListView1), 0);
  EXPECT_FALSE(f.ZelButton3->Enabled());
}

TEST_F(RepairWindowTest, CancelInTheDialogLeavesAnEarlierFileAlone) {
  { std::ofstream(file_, std::ios::binary) << "earlier backup"; }
  confirm_ = false;
  TMainForm& f = Scanned();
  Check(f, 0);
  ClickWindow(f, f.ZelButton3->Handle());
  EXPECT_EQ(dialogs_, 1);
  EXPECT_EQ(ReadFile(file_), "earlier backup");
  EXPECT_FALSE(mem_.KeyExists(RootKey::ClassesRoot, ".empty"));
}

// A backup that cannot be written, or an error on the way (memory running out on a huge list):
// nothing is removed, the window says so, and all that Correct held is free again.
TEST_F(RepairWindowTest, FailedCorrectRemovesNothingAndFreesWhatItHeld) {
  for (const bool thrown : {false, true}) {
    SCOPED_TRACE(thrown ? "an exception" : "a backup that cannot be written");
    TearDown();
    SetUp();
    services_.messages.clear();
    TMainForm& f = Scanned();
    services_.saveDialog = [](TSaveDialog& dialog) {
      dialog.FileName = "Q:\\no\\such\\drive\\backup.reg";
      return true;
    };
    if (thrown) {  // at the first removal, without a backup
      services_.answer = IDCANCEL;
      mem_.hook = [](const std::string& op, const std::string&) {
        if (op == "deletekey") throw std::bad_alloc();
      };
    }
    Check(f, 0);
    Check(f, 1);
    ClickWindow(f, f.ZelButton3->Handle());
    mem_.hook = nullptr;
    ASSERT_EQ(services_.messages.size(), 2u);
    EXPECT_EQ(services_.messages[1].flags & MB_ICONMASK,
              static_cast<UINT>(thrown ? MB_ICONERROR : MB_ICONWARNING));
    EXPECT_TRUE(mem_.KeyExists(RootKey::ClassesRoot, ".empty"));
    EXPECT_TRUE(mem_.ValueExists(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Path"));
    EXPECT_EQ(ListViewRows(f.ListView1), 2);
    EXPECT_EQ(ListViewText(f.ListView1, 0, 0), "Incorrect expansion");
    EXPECT_FALSE(f.Repairing());
    EXPECT_TRUE(f.ZelButton3->Enabled());
    EXPECT_TRUE(f.ZelButton1->Enabled());
    EXPECT_FALSE(f.ZelButton2->Enabled());
    EXPECT_EQ(TabCaptions(f).size(), 3u);
    PostClick(f.ListView1, CheckBoxOf(f.ListView1, 0));
    Pump(f);
    EXPECT_FALSE(ListViewChecked(f.ListView1, 0));
  }
}

TEST_F(RepairWindowTest, WhileRepairingRowsAreMarkedAndNothingElseRuns) {
  TMainForm& f = Scanned();
  Check(f, 0);
  Check(f, 1);
  std::string captionSeen;
  bool probed = false;
  // The removal of the second row happens inside the repair, after the first was marked:
  // that is the moment to look at the window and to try the other commands.
  mem_.hook = [&](const std::string& op, const std::string&) {
    if (op != "deletevalue" || probed) return;
    probed = true;
    captionSeen = ListViewText(f.ListView1, 0, 0);
    EXPECT_TRUE(f.Repairing());
    EXPECT_FALSE(f.ZelButton1->Enabled());
    EXPECT_FALSE(f.ZelButton3->Enabled());
    EXPECT_FALSE(f.ZelButton4->Enabled());
    EXPECT_EQ(TabCaptions(f), (std::vector<std::string>{"Register"}));
    f.ZelButton1Click();  // a press that slipped through still starts no scan
    f.ZelButton3Click();  // nor a second repair
    f.ZelButton4Click();  // nor the registry editor
    PressShortcut(f, 'U', true);
    EXPECT_FALSE(f.FCleanThread);
    EXPECT_EQ(f.Role(), kRoleRegistry);
    EXPECT_EQ(ListViewRows(f.ListView1), 2);
  };
  ClickWindow(f, f.ZelButton3->Handle());
  EXPECT_TRUE(probed);
  EXPECT_EQ(captionSeen, "Corrected!");
  EXPECT_EQ(services_.messages.size(), 1u);  // one question: the second Correct asked nothing
  EXPECT_EQ(ListViewRows(f.ListView1), 0);
  EXPECT_FALSE(f.Repairing());
  EXPECT_TRUE(services_.started.empty());
  EXPECT_TRUE(f.ZelButton4->Enabled());
}

// Cancel, or a close of the window, stops Correct after the row in hand: the rows after it stay,
// the status line counts them, and the backup, written first, names every checked row. A close
// then closes the window; one that comes while the question or the save dialog is open stops the
// repair before its first row.
TEST_F(RepairWindowTest, CancelOrCloseStopsAfterTheRowInHand) {
  enum class When { FirstRemoval, SecondRemoval, Question, SaveDialog };
  const std::string left = " checked entries were left as they were.";
  const struct {
    const char* name;
    bool close;
    When when;
    int removed;
    std::string status;
  } cases[] = {
      {"Cancel during the first removal", false, When::FirstRemoval, 1,
       "Entries removed: 1. Could not be removed: 0. Stopped: 2" + left},
      {"Cancel during the second removal", false, When::SecondRemoval, 2,
       "Entries removed: 2. Could not be removed: 0. Stopped: 1 checked entry was left as it was."},
      {"close during the first removal", true, When::FirstRemoval, 1,
       "Entries removed: 1. Could not be removed: 0. Stopped: 2" + left},
      {"close while the question is open", true, When::Question, 0,
       "Entries removed: 0. Could not be removed: 0. Stopped: 3" + left},
      {"close while the save dialog is open", true, When::SaveDialog, 0,
       "Entries removed: 0. Could not be removed: 0. Stopped: 3" + left}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    mem_.AddText(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Other", "C:\\Gone\\other.exe");
    TMainForm& f = Scanned(3);
    for (int row = 0; row < 3; ++row) Check(f, row);
    const HWND hwnd = f.Handle();
    bool cancelEnabled = false, stillThere = true;
    auto stop = [&] {
      cancelEnabled = f.ZelButton2->Enabled();
      if (c.close)
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
      else
        PostClick(f.ZelButton2->Handle(), Middle(f.ZelButton2->Handle()));
    };
    auto stopInDialog = [&] {
      stop();
      Pump(f);  // a modal dialog lets the window's messages run
      stillThere = IsWindow(hwnd) != FALSE;
    };
    mem_.hook = [&](const std::string& op, const std::string&) {
      if (op == (c.when == When::FirstRemoval ? "deletekey" : "deletevalue") &&
          c.when <= When::SecondRemoval)
        stop();
    };
    services_.whileShown = [&](const ShownMessage&) {
      if (c.when == When::Question) stopInDialog();
    };
    const auto confirm = services_.saveDialog;
    services_.saveDialog = [&](TSaveDialog& dialog) {
      if (c.when == When::SaveDialog) stopInDialog();
      return confirm(dialog);
    };
    f.ZelButton3Click();
    mem_.hook = nullptr;
    services_.whileShown = nullptr;
    EXPECT_TRUE(cancelEnabled);
    EXPECT_TRUE(stillThere);
    EXPECT_EQ(mem_.KeyExists(RootKey::ClassesRoot, ".empty"), c.removed == 0);
    EXPECT_EQ(mem_.ValueExists(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Path") +
                  mem_.ValueExists(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Other"),
              c.removed == 2 ? 1 : 2);
    EXPECT_EQ(f.StatusText(), c.status);
    const std::string backup = ReadFile(file_);
    for (const char* entry :
         {"[HKEY_CLASSES_ROOT\\.empty]\r\n", "\"Path\"=\"C:\\Gone\\tool.exe\"\r\n",
          "\"Other\"=\"C:\\Gone\\other.exe\"\r\n"})
      EXPECT_NE(backup.find(entry), std::string::npos) << entry;
    EXPECT_EQ(ListViewRows(f.ListView1), 0);
    EXPECT_FALSE(f.ZelButton2->Enabled());
    Pump(f);
    EXPECT_EQ(IsWindow(hwnd) != FALSE, !c.close);
    if (c.close) continue;
    // The stop was this Correct's: the next one removes what is left.
    ClickWindow(f, f.ZelButton1->Handle());
    ASSERT_TRUE(PumpUntil(f, [&] { return ScanEnded(f); }));
    for (int row = 0; row < 3 - c.removed; ++row) Check(f, row);
    f.ZelButton3Click();
    EXPECT_EQ(f.StatusText(),
              "Entries removed: " + std::to_string(3 - c.removed) + ". Could not be removed: 0.");
  }
}

// From the answer to the backup question until the list is emptied, a click or Space on a check
// box changes nothing: what the list shows checked is what is removed and what the backup names.
TEST_F(RepairWindowTest, CheckBoxesHoldStillWhileCorrectRuns) {
  mem_.AddText(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Other", "C:\\Gone\\other.exe");
  TMainForm& f = Scanned(3);
  Check(f, 0);
  Check(f, 2);
  const std::string kept = f.Findings()[1].valueName, gone = f.Findings()[2].valueName;
  // From the answer to the question on: a click while the save dialog is open changes nothing.
  const auto confirm = services_.saveDialog;
  services_.saveDialog = [&](TSaveDialog& dialog) {
    PostClick(f.ListView1, CheckBoxOf(f.ListView1, 1));
    Pump(f);
    return confirm(dialog);
  };
  std::string marks;  // rows 1 and 2 as the list shows them when row 2 is removed
  mem_.hook = [&](const std::string& op, const std::string&) {
    if (op == "deletekey") {  // row 0; the clicks and the key are taken in row 2's pause
      PostClick(f.ListView1, CheckBoxOf(f.ListView1, 1));
      ListView_SetItemState(f.ListView1, 2, LVIS_FOCUSED, LVIS_FOCUSED);
      PostMessageW(f.ListView1, WM_KEYDOWN, VK_SPACE, 1);
    } else if (op == "deletevalue") {
      marks = std::to_string(ListViewChecked(f.ListView1, 1)) +
              std::to_string(ListViewChecked(f.ListView1, 2));
    }
  };
  f.ZelButton3Click();
  mem_.hook = nullptr;
  EXPECT_EQ(marks, "01");
  EXPECT_FALSE(mem_.KeyExists(RootKey::ClassesRoot, ".empty"));
  EXPECT_TRUE(mem_.ValueExists(RootKey::CurrentUser, "SOFTWARE\\Vendor", kept));
  EXPECT_FALSE(mem_.ValueExists(RootKey::CurrentUser, "SOFTWARE\\Vendor", gone));
  const std::string backup = ReadFile(file_);
  EXPECT_NE(backup.find("\"" + gone + "\"="), std::string::npos);
  EXPECT_EQ(backup.find("\"" + kept + "\"="), std::string::npos);
  EXPECT_EQ(f.StatusText(), "Entries removed: 2. Could not be removed: 0.");
}

// The window answers all through the pause before a removal, not only as it begins: a message
// another thread sends some way into the pause is handled before the row is removed.
// The pause before a removal lets the window answer as messages come: a message sent during a
// pause of a minute is answered, and Cancel, clicked after the answer, ends the pause at once
// and no removal follows. A window that slept through the pause would leave the message
// unanswered for the minute, past its five seconds.
TEST_F(RepairWindowTest, WindowAnswersDuringThePauseBeforeARemoval) {
  TMainForm& f = Scanned();
  Check(f, 0);
  Check(f, 1);
  std::thread sender;
  bool answered = false;
  mem_.hook = [&](const std::string& op, const std::string&) {
    if (op != "deletekey") return;  // row 0; row 1's pause comes next
    f.Services.PauseBeforeRemoval = std::chrono::minutes(1);
    sender = std::thread([&answered, panel = f.Panel1, cancel = f.ZelButton2->Handle()] {
      DWORD_PTR result = 0;
      answered = SendMessageTimeoutW(panel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"answered"),
                                     SMTO_NORMAL, 5000, &result) != 0;
      PostClick(cancel, Middle(cancel));
    });
  };
  services_.answer = IDCANCEL;
  const auto start = std::chrono::steady_clock::now();
  f.ZelButton3Click();
  const auto took = std::chrono::steady_clock::now() - start;
  sender.join();
  mem_.hook = nullptr;
  EXPECT_TRUE(answered);
  EXPECT_LT(took, std::chrono::seconds(30));  // ended by Cancel, not by the minute
  EXPECT_TRUE(mem_.ValueExists(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Path"));
  EXPECT_NE(f.StatusText().find("Stopped: 1 checked"), std::string::npos) << f.StatusText();
}

// Rows the registry refused with access denied are counted apart, but only said to need an
// administrator when the program is not elevated: an elevated one is refused for other reasons.
// Rows that failed with nothing refused say nothing of rights.
TEST_F(RepairWindowTest, RefusedRowsNeedAdministratorRightsOnlyWhenNotElevated) {
  const std::string counts = "Entries removed: 0. Could not be removed: 2.";
  const struct {
    bool elevated, keyGone;
    std::string status;
    bool locked = true;
  } cases[] = {{false, false, counts + " Administrator rights are needed for 2 of them."},
               {false, true, counts + " Administrator rights are needed for 1 of them."},
               {true, false, counts},
               {false, true, "Entries removed: 1. Could not be removed: 1.", false}};
  for (const auto& c : cases) {
    TearDown();
    SetUp();
    const std::uint32_t access = c.locked ? kKeyRead : ~0u;
    mem_.RestrictAccess(RootKey::ClassesRoot, ".empty", access);
    mem_.RestrictAccess(RootKey::CurrentUser, "SOFTWARE\\Vendor", access);
    services_.elevated = c.elevated;
    services_.answer = IDCANCEL;
    TMainForm& f = Scanned();
    Check(f, 0);
    Check(f, 1);
    if (c.keyGone) mem_.RemoveKey(RootKey::ClassesRoot, ".empty");  // not found: no refusal
    ClickWindow(f, f.ZelButton3->Handle());
    EXPECT_EQ(f.StatusText(), c.status);
    EXPECT_EQ(mem_.ValueExists(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Path"), c.locked);
  }
}

// Restore counts apart the entries the registry refused with access denied (a value it may not
// write, a key it may not make), and says so only when the program is not elevated; with nothing
// refused, it says nothing of rights.
TEST_F(RepairWindowTest, RestoreRefusedEntriesNeedAdministratorRightsOnlyWhenNotElevated) {
  services_.openDialog = [this](TOpenDialog& dialog) {
    dialog.FileName = file_;
    return true;
  };
  services_.answer = IDYES;
  const std::string counts = "Entries restored: 0. Already present: 0. Not restored: 3.";
  const struct {
    bool elevated, locked;
    std::string status;
  } cases[] = {{false, true, counts + " Administrator rights are needed for 2 of them."},
               {true, true, counts},
               {false, false, "Entries restored: 2. Already present: 0. Not restored: 1."}};
  for (const auto& c : cases) {
    TearDown();
    SetUp();
    std::ofstream(file_, std::ios::binary)
        << "Morvane v1.0\r\n\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Locked]\r\n\"A\"=\"a\"\r\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\Locked\\New]\r\n\"B\"=\"b\"\r\n"
           "[HKEY_CURRENT_USER\\SOFTWARE\\Vendor]\r\n\"Path\"=\"other\"\r\n";
    mem_.RestrictAccess(RootKey::CurrentUser, "SOFTWARE\\Locked", c.locked ? kKeyRead : ~0u);
    services_.elevated = c.elevated;
    TMainForm& f = Form();
    SendMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
    EXPECT_EQ(f.StatusText(), c.status);
  }
}

// File > Restore from backup...: its place in the menu, greyed and refused while a tool runs, the
// open dialog in the folder of the backup just written, the question, the window answering while
// it reads and restores with the other commands waiting, the counts in the status line.
TEST_F(RepairWindowTest, RestoreFromTheFileMenuAsksThenReports) {
  TMainForm& f = Scanned();
  const HMENU file = GetSubMenu(GetMenu(f.Handle()), 0);
  char caption[64] = {};
  GetMenuStringA(file, 0, caption, sizeof caption, MF_BYPOSITION);
  EXPECT_STREQ(caption, "Restore from backup...");
  EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(kCmdRestore));
  EXPECT_NE(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR, 0u);
  EXPECT_EQ(GetMenuItemID(file, 2), static_cast<UINT>(kCmdExit));
  std::vector<std::string> dialogs;  // the folder each open dialog showed first
  std::string chosen = file_;
  services_.openDialog = [&](TOpenDialog& dialog) {
    dialogs.push_back(dialog.InitialDir + "|" + dialog.DefaultExt + "|" + dialog.Filter);
    dialog.FileName = chosen;
    return true;
  };
  // Greyed, and refused even when asked, while a tool runs.
  auto refused = [&] {
    SendMessageW(f.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    SendMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
    return (GetMenuState(file, kCmdRestore, MF_BYCOMMAND) & MF_GRAYED) != 0 && dialogs.empty();
  };
  bool refusedDuringCorrect = false;
  mem_.hook = [&](const std::string& op, const std::string&) {
    if (op == "deletevalue") refusedDuringCorrect = refused();
  };
  Check(f, 1);
  ClickWindow(f, f.ZelButton3->Handle());  // Correct with a backup of the value row
  mem_.hook = nullptr;
  EXPECT_TRUE(refusedDuringCorrect);
  HoldScan();
  ClickWindow(f, f.ZelButton1->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return gate_.Reached(); }));
  EXPECT_TRUE(refused());
  gate_.Open();
  ASSERT_TRUE(PumpUntil(f, [&] { return ScanEnded(f); }));
  EXPECT_FALSE(refused());

  ASSERT_FALSE(mem_.ValueExists(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Path"));
  services_.messages.clear();
  services_.answer = IDNO;
  // Reading the file lets the window's messages run too: a File > Restore posted before has been
  // taken (and refused) by the time the question is asked.
  PostMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
  bool waiting = true;
  services_.whileShown = [&](const ShownMessage&) {
    MSG message;
    waiting = PeekMessageW(&message, f.Handle(), WM_COMMAND, WM_COMMAND, PM_NOREMOVE) != 0;
  };
  SendMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
  services_.whileShown = nullptr;
  EXPECT_FALSE(waiting);
  EXPECT_FALSE(mem_.ValueExists(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Path"));
  // Meanwhile the window's messages run: a File > Restore posted before waits and is refused.
  std::string during;
  mem_.hook = [&](const std::string& op, const std::string&) {
    if (op != "setvalue:Path") return;
    const std::size_t asked = dialogs.size();
    SendMessageW(f.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    SendMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
    const bool grey = (GetMenuState(file, kCmdRestore, MF_BYCOMMAND) & MF_GRAYED) != 0;
    during = f.StatusText() + "|tabs " + std::to_string(TabCaptions(f).size()) + "|Start " +
             std::to_string(f.ZelButton1->Enabled()) + "|grey " + std::to_string(grey) +
             "|dialogs " + std::to_string(dialogs.size() - asked);
  };
  services_.answer = IDYES;
  PostMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
  SendMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
  mem_.hook = nullptr;
  Pump(f);
  EXPECT_EQ(during, "Restoring: 0 of 1.|tabs 1|Start 0|grey 1|dialogs 0");
  EXPECT_TRUE(mem_.ValueExists(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Path"));
  EXPECT_EQ(f.StatusText(), "Entries restored: 1. Already present: 0. Not restored: 0.");
  EXPECT_EQ(TabCaptions(f).size(), 3u);
  EXPECT_TRUE(f.ZelButton1->Enabled());
  // A file that cannot be opened, then a large one that is no backup (3 GB of zeros, sparse):
  // its first line is read no further than a header could reach.
  chosen = file_ + ".missing";
  SendMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
  chosen = file_ + ".big";
  {
    HANDLE big = CreateFileA(chosen.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = 3LL << 30;
    ASSERT_TRUE(SetFilePointerEx(big, size, nullptr, FILE_BEGIN) && SetEndOfFile(big));
    CloseHandle(big);
  }
  SendMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
  DeleteFileA(chosen.c_str());
  // A file that is not a backup: a warning and nothing else.
  chosen = file_ + ".txt";
  {
    std::ofstream(chosen, std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\X]\r\n\"v\"=\"x\"\r\n";
  }
  SendMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
  DeleteFileA(chosen.c_str());
  EXPECT_FALSE(mem_.KeyExists(RootKey::CurrentUser, "SOFTWARE\\X"));
  const std::string question = "To restore 1 entries from the backup copy?|Restore|" +
                               std::to_string(MB_YESNO | MB_ICONQUESTION);
  std::vector<std::string> shown;
  for (const ShownMessage& m : services_.messages)
    shown.push_back(m.text + "|" + m.caption + "|" + std::to_string(m.flags));
  const std::string warning = "|Restore|" + std::to_string(MB_OK | MB_ICONWARNING);
  EXPECT_EQ(shown,
            (std::vector<std::string>{question, question, "This file could not be read." + warning,
                                      "This file is not a backup copy of Morvane." + warning,
                                      "This file is not a backup copy of Morvane." + warning}));
  const std::string folder = file_.substr(0, file_.rfind('\\'));
  EXPECT_EQ(dialogs, std::vector<std::string>(6, folder + "|.reg|Registry files|*.reg"));
}

}  // namespace
}  // namespace morvane
