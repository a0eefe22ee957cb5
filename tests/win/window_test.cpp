// The main window, driven for real under Wine: page roles, routing of presses, the scan's
// window states, menu shortcuts and closing.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "platform/Shell.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/names_table.h"

namespace morvane {
namespace {

using namespace morvane::testing;

// The four buttons as the page shows them: caption and "-off" when disabled, or "hidden".
std::string Buttons(TMainForm& f) {
  std::string text;
  for (TZelButton* b :
       {f.ZelButton1.get(), f.ZelButton2.get(), f.ZelButton3.get(), f.ZelButton4.get()})
    text += (Visible(*b) ? b->Caption() + (b->Enabled() ? "" : "-off") : "hidden") + " ";
  return text;
}

// A row of the list as "type|parameter|section|key".
std::string Row(TMainForm& f, int i) {
  return ListViewText(f.ListView1, i, 0) + "|" + ListViewText(f.ListView1, i, 1) + "|" +
         ListViewText(f.ListView1, i, 2) + "|" + ListViewText(f.ListView1, i, 3);
}

TEST_F(MainWindowTest, StartsOnTheRegistryPage) {
  TMainForm& f = Form();
  RECT client;
  GetClientRect(f.Handle(), &client);
  EXPECT_EQ(std::make_pair(client.right, client.bottom), std::make_pair(679L, 505L));
  EXPECT_EQ(WindowText(f.Handle()), "Morvane v1.0");
  const LONG style = GetWindowLongW(f.Handle(), GWL_STYLE);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), WS_MINIMIZEBOX);
  EXPECT_EQ(f.PageControl1->ActivePage(), 0);
  EXPECT_EQ(TabCaptions(f),
            (std::vector<std::string>{"Register", "Unnecessary files", "Deinstall"}));
  EXPECT_EQ(f.Role(), kRoleRegistry);
  EXPECT_EQ(ListViewRows(f.ListView1), 0);
  EXPECT_EQ(Buttons(f), "Start Cancel-off Correct-off Regedit ");
  EXPECT_EQ(f.StatusText(), "");
  const auto at = [](HWND hwnd, HWND parent) {
    RECT r;
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top};
  };
  const std::pair<HWND, std::vector<LONG>> layout[] = {
      {f.ZelButton1->Handle(), {8, 104, 73, 25}},
      {f.ZelButton2->Handle(), {88, 104, 65, 25}},
      {f.ZelButton3->Handle(), {160, 104, 65, 25}},
      {f.ZelButton4->Handle(), {608, 102, 65, 25}},
      {f.Panel1, {7, 490, 666, 15}},
      {f.PageControl1->Handle(), {-1, 72, 682, 417}}};
  for (const auto& [hwnd, place] : layout) EXPECT_EQ(at(hwnd, f.Handle()), place);
  EXPECT_EQ(at(f.ListView1, f.RCl), (std::vector<LONG>{0, 32, 673, 353}));
}

// Each page sets its role and buttons and empties the status line; coming back to the registry
// page empties the findings. Choosing the page already shown, or a shortcut without Ctrl,
// changes nothing.
TEST_F(MainWindowTest, EnteringEachPageSetsItsRole) {
  TMainForm& f = Form();
  const struct {
    const char* tab;
    char shortcut;
    int role;
    const char* buttons;
  } pages[] = {
      {"Unnecessary files", 0, kRoleFiles, "Refresh hidden Clear hidden "},
      {"Deinstall", 0, kRoleDeinstall, "Refresh Uninstall Delete hidden "},
      {"Register", 0, kRoleRegistry, "Start Cancel-off Correct-off Regedit "},
      {nullptr, 'D', kRoleDeinstall, "Refresh Uninstall Delete hidden "},
      {nullptr, 'U', kRoleFiles, "Refresh hidden Clear hidden "},
      {nullptr, 'R', kRoleRegistry, "Start Cancel-off Correct-off Regedit "},
  };
  for (const auto& page : pages) {
    f.AddFinding({"Incorrect expansion", ".x", "HKCR", "\\.x", ""});
    f.SetStatusText("old");
    const bool entered =
        page.tab == nullptr ? (PressShortcut(f, page.shortcut, true), true) : ClickTab(f, page.tab);
    ASSERT_TRUE(entered) << page.tab;
    EXPECT_EQ(f.Role(), page.role) << page.role;
    EXPECT_EQ(Buttons(f), page.buttons) << page.role;
    EXPECT_EQ(f.StatusText(), "") << page.role;
    EXPECT_EQ(IsWindowVisible(f.TabSheet1) != FALSE, page.role == kRoleFiles);
    EXPECT_EQ(IsWindowVisible(f.RCl) != FALSE, page.role == kRoleRegistry);
    EXPECT_TRUE(page.role != kRoleRegistry || ListViewRows(f.ListView1) == 0);
  }
  f.AddFinding({"Incorrect expansion", ".x", "HKCR", "\\.x", ""});
  f.SetStatusText("kept");
  PressShortcut(f, 'R', true);
  PressShortcut(f, 'U', false);
  EXPECT_EQ(f.Role(), kRoleRegistry);
  EXPECT_EQ(ListViewRows(f.ListView1), 1);
  EXPECT_EQ(f.StatusText(), "kept");
  EXPECT_FALSE(f.FCleanThread);
}

// Regedit starts the editor by its full path in the Windows folder, never found through a search.
// A start the system refuses for want of rights is made again through the shell, whose prompt
// belongs to the window; whatever comes of either start, nothing is said. Hidden on the other
// pages, a press does nothing.
TEST_F(MainWindowTest, RegeditNeedingMoreRightsIsStartedAgainThroughTheShell) {
  const struct {
    long created, shell;
    bool again;
  } cases[] = {{0, 0, false}, {740, 0, true}, {740, 1223, true}, {5, 0, false}, {2, 0, false}};
  TMainForm& f = Form();
  for (const auto& c : cases) {
    services_.started.clear();
    services_.shellStarted.clear();
    services_.createAnswer = [&c](const ProgramStart&) { return c.created; };
    services_.shellAnswer = c.shell;  // 1223: the prompt was refused
    ClickWindow(f, f.ZelButton4->Handle());
    EXPECT_EQ(services_.started, std::vector<ProgramStart>{RegistryEditor()}) << c.created;
    const std::vector<ShellStart> again{{f.Handle(), RegistryEditor().program, ""}};
    EXPECT_EQ(services_.shellStarted, c.again ? again : std::vector<ShellStart>{}) << c.created;
  }
  EXPECT_TRUE(services_.messages.empty());
  EXPECT_EQ(f.StatusText(), "");
  services_.started.clear();
  ASSERT_TRUE(ClickTab(f, "Deinstall"));
  f.ZelButton4->Click();
  EXPECT_TRUE(services_.started.empty());
}

// The built program asks for the highest rights its user has and names the systems it knows.
TEST(ProgramManifest, AsksForTheHighestAvailableRightsAndNamesTheSupportedSystems) {
  const std::string tests = ExecutablePath();
  const std::string program = tests.substr(0, tests.rfind('\\', tests.rfind('\\') - 1));
  const HMODULE module =
      LoadLibraryExA((program + "\\Morvane.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << program;
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                             SizeofResource(module, found));
  FreeLibrary(module);
  for (const char* part :
       {"<requestedExecutionLevel level=\"highestAvailable\" uiAccess=\"false\"/>",
        "Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"",
        "Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"",
        "Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"",
        "Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"",
        "Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"", "Microsoft.Windows.Common-Controls"})
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

TEST_F(MainWindowTest, ScanHidesTheOtherTabsAndRestoresThemAtTheEnd) {
  HoldScan();
  TMainForm& f = Form();
  f.AddFinding({"Incorrect expansion", ".old", "HKCR", "\\.old", ""});
  ClickWindow(f, f.ZelButton1->Handle());
  ASSERT_TRUE(f.FCleanThread);
  // Start empties the list first; rows of the new scan may already be arriving.
  for (int row = 0; row < ListViewRows(f.ListView1); ++row)
    EXPECT_NE(ListViewText(f.ListView1, row, 1), ".old");
  EXPECT_EQ(Buttons(f), "Start-off Cancel Correct-off Regedit ");
  EXPECT_EQ(TabCaptions(f), (std::vector<std::string>{"Register"}));

  ASSERT_TRUE(PumpUntil(f, [&] { return gate_.Reached(); }));
  // The other pages cannot be reached by shortcut or tab while the scan runs.
  PressShortcut(f, 'U', true);
  PressShortcut(f, 'D', true);
  EXPECT_EQ(f.Role(), kRoleRegistry);
  EXPECT_FALSE(ClickTab(f, "Deinstall"));
  EXPECT_EQ(f.StatusText(), kStatusReferences);

  gate_.Open();
  ASSERT_TRUE(PumpUntil(f, [&] { return ScanEnded(f); }));
  EXPECT_EQ(f.StatusText(), kStatusCompleted);
  EXPECT_EQ(TabCaptions(f),
            (std::vector<std::string>{"Register", "Unnecessary files", "Deinstall"}));
  EXPECT_FALSE(f.ZelButton2->Enabled());
  // Findings: the empty extension key and the broken reference, unchecked, in scan order.
  ASSERT_EQ(ListViewRows(f.ListView1), 2);
  EXPECT_EQ(Row(f, 0), "Incorrect expansion|.empty|HKCR|\\.empty");
  EXPECT_EQ(Row(f, 1),
            "The incorrect reference to a file|C:\\Gone\\tool.exe|HKCU|\\SOFTWARE\\Vendor");
  EXPECT_EQ(f.Findings()[1].valueName, "Path");
  EXPECT_FALSE(ListViewChecked(f.ListView1, 0) || ListViewChecked(f.ListView1, 1));
  EXPECT_TRUE(f.ZelButton3->Enabled());
}

// How a scan ends: cancelled while held (pass 1's row stays, pass 3 never ran), stopped by an
// error inside it (the row found before stays and can be corrected; nothing is said), or finding
// nothing (Correct stays disabled). Each returns to idle with every tab.
TEST_F(MainWindowTest, EveryEndOfAScanReturnsToIdle) {
  const struct {
    const char* end;
    const char* status;
    int rows;
  } ends[] = {{"cancel", kStatusCompleted, 1},
              {"error", kStatusStoppedEarly, 1},
              {"nothing", kStatusCompleted, 0}};
  for (const auto& e : ends) {
    const std::string end = e.end;
    if (end == "cancel") HoldScan();
    if (end == "error") {
      mem_.hook = [](const std::string& op, const std::string& path) {
        if (op == "open" && path == "\\SOFTWARE\\Blocker") throw std::runtime_error("gone");
      };
    }
    if (end == "nothing") {
      mem_.hook = nullptr;
      mem_.RemoveKey(RootKey::ClassesRoot, ".empty");
      files_.files.insert("C:\\Gone\\tool.exe");
    }
    TMainForm& f = Form();
    ClickWindow(f, f.ZelButton1->Handle());
    if (end == "cancel") {
      ASSERT_TRUE(PumpUntil(f, [&] { return gate_.Reached(); }));
      ClickWindow(f, f.ZelButton2->Handle());
      gate_.Open();
    }
    ASSERT_TRUE(PumpUntil(f, [&] { return ScanEnded(f); })) << end;
    EXPECT_EQ(f.StatusText(), e.status) << end;
    ASSERT_EQ(ListViewRows(f.ListView1), e.rows) << end;
    EXPECT_TRUE(e.rows == 0 || ListViewText(f.ListView1, 0, 1) == ".empty") << end;
    EXPECT_EQ(Buttons(f), e.rows ? "Start Cancel-off Correct Regedit "
                                 : "Start Cancel-off Correct-off Regedit ")
        << end;
    EXPECT_EQ(TabCaptions(f).size(), 3u) << end;
    EXPECT_TRUE(services_.messages.empty()) << end;
  }
}

TEST_F(MainWindowTest, ClosingDuringAScanEndsPromptly) {
  HoldScan();
  TMainForm& f = Form();
  ClickWindow(f, f.ZelButton1->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return gate_.Reached(); }));
  std::thread opener([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    gate_.Open();
  });
  SendMessageW(f.Handle(), WM_CLOSE, 0, 0);  // waits for the worker, which stops at once
  opener.join();
  EXPECT_FALSE(IsWindow(f.Handle()));
  EXPECT_FALSE(f.FCleanThread);
  form_.reset();
}

TEST_F(MainWindowTest, CloseWaitsForARunningTool) {
  TMainForm& f = Form();
  {
    TMainForm::BusyScope busy(f);
    PostMessageW(f.Handle(), WM_CLOSE, 0, 0);
    Pump(f);
    EXPECT_TRUE(IsWindow(f.Handle()));
  }
  Pump(f);
  EXPECT_FALSE(IsWindow(f.Handle()));
}

TEST_F(MainWindowTest, ExitClosesTheWindow) {
  TMainForm& f = Form();
  PostMessageW(f.Handle(), WM_COMMAND, kCmdExit, 0);
  Pump(f);
  EXPECT_FALSE(IsWindow(f.Handle()));
}

TEST_F(MainWindowTest, RefreshOnTheFilesPageHidesNoTabAtTheEnd) {
  TMainForm& f = Form();
  ASSERT_TRUE(ClickTab(f, "Unnecessary files"));
  ClickWindow(f, f.ZelButton1->Handle());
  EXPECT_EQ(TabCaptions(f).size(), 3u);
  EXPECT_TRUE(f.ZelButton1->Enabled());
}

TEST_F(MainWindowTest, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn) {
  TMainForm& f = Form();
  services_.createAnswer = [](const ProgramStart&) -> long {
    throw std::runtime_error("Cannot start regedit");
  };
  ClickWindow(f, f.ZelButton4->Handle());
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].text, "Cannot start regedit.");  // a full stop is added
  EXPECT_EQ(services_.messages[0].caption, "Morvane v1.0");
  EXPECT_EQ(services_.messages[0].flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
  services_.createAnswer = [](const ProgramStart&) -> long { throw std::runtime_error("Failed."); };
  ClickWindow(f, f.ZelButton4->Handle());
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[1].text, "Failed.");  // ends in a full stop already
  ASSERT_TRUE(ClickTab(f, "Deinstall"));             // the window still works
  EXPECT_EQ(f.Role(), kRoleDeinstall);
}

TEST_F(MainWindowTest, KeyboardReachesTheListsPagesAndCheckBoxes) {
  TMainForm& f = Form();
  f.AddFinding({"Incorrect expansion", ".x", "HKCR", "\\.x", ""});
  f.AddFinding({"Incorrect expansion", ".y", "HKCR", "\\.y", ""});
  SetForegroundWindow(f.Handle());
  SetFocus(f.PageControl1->Handle());
  ASSERT_TRUE(PumpUntil(f, [&] { return GetFocus() == f.PageControl1->Handle(); }));

  // Tab and Shift+Tab: the page control and the list of the page shown; the buttons are no stops.
  PressKey(VK_TAB, false, false, &f);
  EXPECT_EQ(GetFocus(), f.ListView1);
  EXPECT_EQ(SendMessageW(f.Handle(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS, 0)
      << "the focus is shown";
  PressKey(VK_TAB, false, false, &f);
  EXPECT_EQ(GetFocus(), f.PageControl1->Handle());
  PressKey(VK_TAB, false, true, &f);
  EXPECT_EQ(GetFocus(), f.ListView1);

  // No row held the focus: the first row takes it, and nothing is selected by that.
  EXPECT_EQ(ListView_GetNextItem(f.ListView1, -1, LVNI_FOCUSED), 0);
  EXPECT_EQ(ListView_GetSelectedCount(f.ListView1), 0u);
  // Space checks and unchecks the focused row.
  PressKey(VK_SPACE, false, false, &f);
  EXPECT_TRUE(ListViewChecked(f.ListView1, 0));
  EXPECT_FALSE(ListViewChecked(f.ListView1, 1));
  PressKey(VK_SPACE, false, false, &f);
  EXPECT_FALSE(ListViewChecked(f.ListView1, 0));

  // Ctrl+Tab and Ctrl+Shift+Tab turn the pages, round; Tab then reaches that page's list.
  PressKey(VK_TAB, true, false, &f);
  EXPECT_EQ(f.Role(), kRoleFiles);
  PumpUntil(f, [&] { return !f.FilesPage().Collecting(); });
  PressKey(VK_TAB, true, true, &f);
  EXPECT_EQ(f.Role(), kRoleRegistry);
  PressKey(VK_TAB, true, true, &f);
  EXPECT_EQ(f.Role(), kRoleDeinstall);
  SetFocus(f.PageControl1->Handle());
  PressKey(VK_TAB, false, false, &f);
  EXPECT_EQ(GetFocus(), f.ListBox2);
  // The shortcuts still work.
  PressKey('R', true, false, &f);
  EXPECT_EQ(f.Role(), kRoleRegistry);
}

// The action buttons read back the tab orders they were given while they lie over the page
// control: Tab reaches them in their tab order, not in the order they are drawn in.
TEST_F(MainWindowTest, ActionButtonsKeepTheirTabOrdersWhileDrawnOverThePageControl) {
  TMainForm& f = Form();
  TZelButton* const buttons[] = {f.ZelButton1.get(), f.ZelButton2.get(), f.ZelButton3.get(),
                                 f.ZelButton4.get()};
  for (int i = 0; i < 4; ++i) {
    TZelButton& b = *buttons[i];
    EXPECT_EQ(b.TabOrder(), i + 2);
    POINT centre{b.Width() / 2, b.Height() / 2};
    MapWindowPoints(b.Handle(), f.Handle(), &centre, 1);
    EXPECT_EQ(ChildWindowFromPointEx(f.Handle(), centre, CWP_SKIPINVISIBLE), b.Handle())
        << "button " << i + 1 << " is drawn over the page control";
  }
  // As tab stops, the enabled ones (Cancel and Correct are not) come after the list of the page.
  for (TZelButton* b : buttons) b->SetTabStop(true);
  SetForegroundWindow(f.Handle());
  SetFocus(f.ListView1);
  ASSERT_TRUE(PumpUntil(f, [&] { return GetFocus() == f.ListView1; }));
  std::vector<HWND> reached;
  for (int i = 0; i < 4; ++i) {
    PressKey(VK_TAB, false, false, &f);
    reached.push_back(GetFocus());
  }
  EXPECT_EQ(reached, (std::vector<HWND>{f.ZelButton1->Handle(), f.ZelButton4->Handle(),
                                        f.PageControl1->Handle(), f.ListView1}));
}

// Assistive programs read each control with the messages of its kind, and the buttons through
// their accessible objects, which also press them.
TEST_F(MainWindowTest, AssistiveProgramsReadEveryControlAndPressTheButtons) {
  TMainForm& f = Form();
  f.ZelButton4->SetCaption("&Regedit && more");
  SetFocus(f.ZelButton4->Handle());
  const ReadButton regedit = ReadThroughAccessibility(*f.ZelButton4);
  EXPECT_EQ(regedit.name, "Regedit & more");
  EXPECT_EQ(regedit.role, ROLE_SYSTEM_PUSHBUTTON);
  const long shown = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED;
  EXPECT_EQ(regedit.state & (STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE | shown), shown);
  EXPECT_EQ(regedit.defaultAction, "Press");

  // A disabled button says so and cannot be pressed.
  const ReadButton correct = ReadThroughAccessibility(*f.ZelButton3, true);
  EXPECT_EQ(correct.name, "Correct");
  EXPECT_NE(correct.state & STATE_SYSTEM_UNAVAILABLE, 0);
  EXPECT_TRUE(FAILED(correct.pressed));
  Pump(f, 50);
  EXPECT_TRUE(services_.messages.empty());

  // Start, pressed from outside: the click comes after the caller has its answer.
  const ReadButton start = ReadThroughAccessibility(*f.ZelButton1, true);
  EXPECT_EQ(start.name, "Start");
  EXPECT_EQ(start.state & STATE_SYSTEM_FOCUSED, 0);
  EXPECT_EQ(start.pressed, S_OK);
  EXPECT_FALSE(f.FCleanThread);
  ASSERT_TRUE(PumpUntil(f, [&] { return ListViewRows(f.ListView1) == 2 && ScanEnded(f); }));

  // The standard controls answer their own messages with what they show.
  EXPECT_EQ(WindowText(f.Panel1), "The analysis of keys of the register is completed!");
  // Every name is read as itself, whatever the system's code page.
  for (const LookAlikeName& name : LookAlikeNames()) {
    f.ZelButton1->SetCaption(name.name);
    EXPECT_EQ(ReadThroughAccessibility(*f.ZelButton1).name, name.name) << name.what;
    EXPECT_EQ(WindowText(f.ZelButton1->Handle()), name.name) << name.what;
    f.SetStatusText(name.name + " " + name.twin);
    EXPECT_EQ(WindowText(f.Panel1), name.name + " " + name.twin) << name.what;
  }
  // A hidden button says so and cannot be pressed either.
  ASSERT_TRUE(ClickTab(f, "Unnecessary files"));
  const ReadButton hidden = ReadThroughAccessibility(*f.ZelButton4, true);
  EXPECT_NE(hidden.state & STATE_SYSTEM_INVISIBLE, 0);
  EXPECT_TRUE(FAILED(hidden.pressed));
  Pump(f, 50);
  EXPECT_TRUE(services_.started.empty());
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
