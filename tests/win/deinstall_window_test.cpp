// The deinstall page in the real window over the in-memory registry: the list, the selection
// and its warnings, Refresh, Uninstall and Delete with their questions and answers.
#include <windows.h>

#include "tests/win/main_window_fixture.h"

namespace morvane {
namespace {

constexpr RootKey HKLM = RootKey::LocalMachine;
const std::string kKey = kUninstallPath;
constexpr UINT kWarning = MB_OK | MB_ICONWARNING;

class DeinstallWindowTest : public MainWindowTest {
 protected:
  void Entry(const std::string& name, const char* display, const char* command) {
    mem_.AddKey(HKLM, kKey + "\\" + name);
    if (display) mem_.AddText(HKLM, kKey + "\\" + name, kDisplayName, display);
    if (command) mem_.AddText(HKLM, kKey + "\\" + name, kUninstallString, command);
  }
  TMainForm& Page() {
    TMainForm& f = Form();
    PressShortcut(f, 'D', true);
    EXPECT_EQ(f.Role(), kRoleDeinstall);
    return f;
  }
  std::vector<std::string> Items(TMainForm& f) {
    std::vector<std::string> items;
    const int count = static_cast<int>(SendMessageA(f.ListBox2, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char text[512] = {};
      SendMessageA(f.ListBox2, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      items.push_back(text);
    }
    return items;
  }
  int Selected(TMainForm& f) { return static_cast<int>(SendMessageA(f.ListBox2, LB_GETCURSEL, 0, 0)); }
  // A mouse click on a row, as the user makes it.
  void ClickRow(TMainForm& f, int row) {
    SendMessageA(f.ListBox2, LB_SETTOPINDEX, row, 0);
    RECT r;
    SendMessageA(f.ListBox2, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    const LPARAM point = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(f.ListBox2, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(f.ListBox2, WM_LBUTTONUP, 0, point);
    Pump(f, 30);
  }
  void Press(TMainForm& f, TZelButton& button) { ClickWindow(f, button.Handle()); }
};

TEST_F(DeinstallWindowTest, ThePageListsQualifyingEntriesInKeyOrderAndASelectionShowsTheCommand) {
  Entry("a", "Alpha", "C:\\alpha\\un.exe");
  Entry("b-no-command", "No command", nullptr);
  Entry("c-no-name", nullptr, "x.exe");
  Entry("d-twin", "Twin", "first twin");
  Entry("e-twin", "Twin", "second twin");
  TMainForm& f = Page();
  EXPECT_EQ(f.ZelButton1->Caption(), "Refresh");
  EXPECT_EQ(f.ZelButton2->Caption(), "Uninstall");
  EXPECT_EQ(f.ZelButton3->Caption(), "Delete");
  EXPECT_TRUE(f.ZelButton1->Enabled() && f.ZelButton2->Enabled() && f.ZelButton3->Enabled());
  EXPECT_TRUE(Visible(*f.ZelButton2));
  EXPECT_FALSE(Visible(*f.ZelButton4));
  EXPECT_EQ(f.StatusText(), "");
  EXPECT_EQ(Items(f), (std::vector<std::string>{"Alpha", "Twin", "Twin"}));
  EXPECT_EQ(Selected(f), LB_ERR);

  ClickRow(f, 2);  // the second twin shows the first one's command
  EXPECT_EQ(Selected(f), 2);
  EXPECT_EQ(f.StatusText(), "first twin");
  // With the keyboard as well.
  SetFocus(f.ListBox2);
  PostMessageA(f.ListBox2, WM_KEYDOWN, VK_HOME, 1);
  Pump(f, 30);
  EXPECT_EQ(f.StatusText(), "C:\\alpha\\un.exe");
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(DeinstallWindowTest, SelectionWarnsWhenTheEntryWentOrNoLongerOpensAndKeepsTheCommand) {
  Entry("a", "Alpha", "alpha.exe");
  Entry("b", "Beta", "beta.exe");
  Entry("c", "Gamma", "gamma.exe");
  TMainForm& f = Page();
  ClickRow(f, 0);
  mem_.RemoveKey(HKLM, kKey + "\\b");
  ClickRow(f, 1);
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].text, "UninstallString not found");
  EXPECT_EQ(services_.messages[0].caption, "UninstallString");
  EXPECT_EQ(services_.messages[0].flags, kWarning);
  // The look-up opens the entry; the selection's own open of it then fails.
  int opens = 0;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "open" && path == "\\" + kKey + "\\c" && ++opens == 2) mem_.RestrictAccess(HKLM, kKey + "\\c", 0);
  };
  ClickRow(f, 2);
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[1].text, "Error of opened key");
  EXPECT_EQ(services_.messages[1].caption, "Key");
  EXPECT_EQ(services_.messages[1].flags, kWarning);
  EXPECT_EQ(f.StatusText(), "alpha.exe");
  EXPECT_EQ(f.UninstallCommand(), "alpha.exe");
}

TEST_F(DeinstallWindowTest, UninstallRunsTheLastCommandReadAcrossRefillsAndPageChangesQuotingItsProgram) {
  Entry("a", "Mv App", "C:\\Program Files\\Mv App\\uninst.exe /x");
  files_.files = {"C:\\Program Files\\Mv App\\uninst.exe", "C:\\Program.exe"};
  TMainForm& f = Page();
  Press(f, *f.ZelButton2);  // nothing selected in this run yet
  EXPECT_TRUE(services_.started.empty());
  EXPECT_TRUE(services_.messages.empty());
  EXPECT_EQ(f.StatusText(), "");

  ClickRow(f, 0);
  EXPECT_EQ(f.StatusText(), "C:\\Program Files\\Mv App\\uninst.exe /x");
  Press(f, *f.ZelButton1);  // Refresh
  EXPECT_EQ(Selected(f), LB_ERR);
  EXPECT_EQ(f.StatusText(), "C:\\Program Files\\Mv App\\uninst.exe /x");
  PressShortcut(f, 'R', true);
  PressShortcut(f, 'D', true);
  EXPECT_EQ(f.StatusText(), "");
  EXPECT_EQ(Items(f), std::vector<std::string>{"Mv App"});
  Press(f, *f.ZelButton2);
  EXPECT_EQ(services_.started, std::vector<std::string>{"\"C:\\Program Files\\Mv App\\uninst.exe\" /x"});
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(DeinstallWindowTest, DeleteAsksOnlyAboutAChosenEntryAndRemovesItWithItsSubkeys) {
  TMainForm& f = Page();
  std::vector<std::string> deleted;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "deletekey") deleted.push_back(path);
  };
  Press(f, *f.ZelButton3);  // an empty list: no question
  EXPECT_TRUE(services_.messages.empty());

  Entry("a", "Alpha", "alpha.exe");
  Entry("b", "Beta", "beta.exe");
  mem_.AddKey(HKLM, kKey + "\\b\\Sub\\Deeper");
  Entry("c", "Gamma", "gamma.exe");
  Press(f, *f.ZelButton1);
  Press(f, *f.ZelButton3);  // nothing selected: no question, nothing deleted
  EXPECT_TRUE(services_.messages.empty());

  ClickRow(f, 1);
  services_.answer = IDNO;
  Press(f, *f.ZelButton3);
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].text, "To remove a key from the register?");
  EXPECT_EQ(services_.messages[0].caption, "Removal");
  EXPECT_EQ(services_.messages[0].flags, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(Items(f), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
  EXPECT_EQ(Selected(f), 1);

  // The selected entry went after the fill: told as the selection tells it, nothing deleted.
  mem_.RemoveKey(HKLM, kKey + "\\c");
  ClickRow(f, 2);
  Press(f, *f.ZelButton3);
  ASSERT_EQ(services_.messages.size(), 3u);
  EXPECT_EQ(services_.messages[2].text, "UninstallString not found");
  EXPECT_TRUE(deleted.empty());
  EXPECT_TRUE(mem_.KeyExists(HKLM, "SOFTWARE\\Blocker"));

  services_.messages.clear();
  services_.answer = IDYES;
  ClickRow(f, 1);
  Press(f, *f.ZelButton3);
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[1].text, "The section is removed!");
  EXPECT_EQ(services_.messages[1].caption, "");
  EXPECT_EQ(services_.messages[1].flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_FALSE(mem_.KeyExists(HKLM, kKey + "\\b"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\a"));
  EXPECT_EQ(deleted.size(), 3u);
  EXPECT_EQ(Items(f), std::vector<std::string>{"Alpha"});
  EXPECT_EQ(Selected(f), LB_ERR);
  EXPECT_EQ(f.StatusText(), "beta.exe");
}

TEST_F(DeinstallWindowTest, WithoutWriteAccessTheListShowsAndDeleteReportsAnError) {
  Entry("a", "Alpha", "alpha.exe");
  for (const std::string& path : {kKey, kKey + "\\a"}) mem_.RestrictAccess(HKLM, path, kKeyRead);
  TMainForm& f = Page();
  EXPECT_EQ(Items(f), std::vector<std::string>{"Alpha"});
  ClickRow(f, 0);
  EXPECT_EQ(f.StatusText(), "alpha.exe");
  services_.answer = IDYES;
  Press(f, *f.ZelButton3);
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[1].text, "Error!");
  EXPECT_EQ(services_.messages[1].caption, "");
  EXPECT_EQ(services_.messages[1].flags, kWarning);
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\a"));
  EXPECT_EQ(Items(f), std::vector<std::string>{"Alpha"});
}

TEST_F(DeinstallWindowTest, ADisplayNameThatIsNotTextEndsTheFillWithTheErrorShown) {
  Entry("a", "Alpha", "alpha.exe");
  Entry("b", nullptr, "beta.exe");
  mem_.AddValue(HKLM, kKey + "\\b", kDisplayName, kRegBinary, "\x01\x02");
  Entry("c", "Gamma", "gamma.exe");
  TMainForm& f = Page();
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].text, "Invalid data type for 'DisplayName'");
  EXPECT_EQ(services_.messages[0].caption, kApplicationTitle);
  EXPECT_EQ(Items(f), std::vector<std::string>{"Alpha"});
  EXPECT_EQ(f.Role(), kRoleDeinstall);
}

}  // namespace
}  // namespace morvane
