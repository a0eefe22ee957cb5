// The deinstall page in the real window over the in-memory registry: the list, the selection and
// its warnings, Uninstall and Delete with their questions and answers. Which entries are listed,
// how a command is read and resolved and what is deleted are shown without a window
// (uninstall_test, and uninstall_system_test on the real registry).
#include <windows.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/WideText.h"
#include "tests/native/fake_file_tree.h"
#include "tests/win/main_window_fixture.h"

namespace morvane {
namespace {

constexpr RootKey HKLM = RootKey::LocalMachine;
constexpr RootKey HKCU = RootKey::CurrentUser;
const std::string kKey = kUninstallPath;
constexpr UINT kWarning = MB_OK | MB_ICONWARNING;

// The names the page lists, after checking that the list box holds the same texts.
std::vector<std::string> Items(TMainForm& f) {
  std::vector<std::string> items;
  for (const UninstallItem& item : f.DeinstallPage().Items()) items.push_back(item.displayName);
  EXPECT_EQ(ListBoxTexts(f.ListBox2), items);
  return items;
}

int Selected(TMainForm& f) {
  return static_cast<int>(SendMessageW(f.ListBox2, LB_GETCURSEL, 0, 0));
}

// A mouse click on a row, as the user makes it.
void ClickRow(TMainForm& f, int row) {
  SendMessageW(f.ListBox2, LB_SETTOPINDEX, row, 0);
  RECT r;
  SendMessageW(f.ListBox2, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  const LPARAM point = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageW(f.ListBox2, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageW(f.ListBox2, WM_LBUTTONUP, 0, point);
  Pump(f, 30);
}

void Press(TMainForm& f, TZelButton& button) { ClickWindow(f, button.Handle()); }

class DeinstallWindowTest : public MainWindowTest {
 protected:
  void Entry(const std::string& name, const char* display, const char* command,
             RootKey root = HKLM) {
    mem_.AddKey(root, kKey + "\\" + name);
    if (display) mem_.AddText(root, kKey + "\\" + name, kDisplayName, display);
    if (command) mem_.AddText(root, kKey + "\\" + name, kUninstallString, command);
  }
  TMainForm& Page() {
    TMainForm& f = Form();
    f.Services.Folders = &folders_;
    PressShortcut(f, 'D', true);
    EXPECT_EQ(f.Role(), kRoleDeinstall);
    return f;
  }
  FakeSystemFolders folders_;
};

// Past 255 characters a name is cut after its 255th, never inside one: after the Ł, and after
// the emoji that takes two UTF-16 units. A selected row is drawn white on green across the whole
// width.
TEST_F(DeinstallWindowTest,
       ThePageListsTheMachinesThenTheUsersProgramsAndEachRowShowsItsOwnCommand) {
  const std::string w254(254, 'W'), polish = w254 + "\xC5\x81ukasz",
                                    emoji = w254 + "\xF0\x9F\x98\x80smile";
  Entry("0-number", nullptr, "n.exe");
  mem_.AddValue(HKLM, kKey + "\\0-number", kDisplayName, kRegDword, std::string("\x01\0\0\0", 4));
  Entry("a", "Alpha", "C:\\alpha\\un.exe");
  Entry("b-no-command", "No command", nullptr);
  Entry("c-no-name", nullptr, "x.exe");
  Entry("d-twin", "Twin", "first twin");
  Entry("e-twin", "Twin", "second twin");
  Entry("f-blank", "", "blank");
  Entry("g-amp", "Tom && Jerry", "amp");
  Entry("h-long", polish.c_str(), "long");
  Entry("i-wide", emoji.c_str(), "wide");
  Entry("a-user", "Twin", "user twin", HKCU);
  TMainForm& f = Page();
  std::vector<std::string> names = {"Alpha",        "Twin", "Twin", "",
                                    "Tom && Jerry", polish, emoji,  "Twin"};
  std::vector<std::string> shown;
  for (const UninstallItem& item : f.DeinstallPage().Items()) shown.push_back(item.displayName);
  EXPECT_EQ(shown, names);
  names[5] = w254 + "\xC5\x81";
  names[6] = w254 + "\xF0\x9F\x98\x80";
  EXPECT_EQ(ListBoxTexts(f.ListBox2), names);
  EXPECT_EQ(Selected(f), LB_ERR);
  EXPECT_EQ(f.StatusText(), "");

  const char* commands[] = {
      "C:\\alpha\\un.exe", "first twin", "second twin", "blank", "amp", "long", "wide",
      "user twin"};
  for (int row : {2, 3, 7, 1, 6}) {
    ClickRow(f, row);
    EXPECT_EQ(Selected(f), row);
    EXPECT_EQ(f.StatusText(), commands[row]) << "row " << row;
  }
  RECT r;
  SendMessageW(f.ListBox2, LB_GETITEMRECT, 6, reinterpret_cast<LPARAM>(&r));
  SetFocus(f.ListBox2);
  RedrawWindow(f.ListBox2, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Pump(f, 30);
  const RECT right{r.right - 60, r.top + 1, r.right - 2, r.bottom - 1};
  EXPECT_GT(CountColour(f.ListBox2, right, kFocusedTextColor), 20);
  EXPECT_GT(CountColour(f.ListBox2, right, kFocusedRowColor), 20);
  // With the keyboard as well: a typed letter goes to the next row whose name begins with it,
  // round to the start.
  PostMessageW(f.ListBox2, WM_KEYDOWN, VK_HOME, 1);
  Pump(f, 30);
  EXPECT_EQ(f.StatusText(), "C:\\alpha\\un.exe");
  for (const auto& [key, row] : {std::pair{'t', 1}, std::pair{'T', 2}, std::pair{'t', 4},
                                 std::pair{'t', 7}, std::pair{'w', 5}, std::pair{'t', 7},
                                 std::pair{'t', 1}, std::pair{'a', 0}, std::pair{'z', 0}}) {
    PostMessageW(f.ListBox2, WM_CHAR, static_cast<WPARAM>(key), 1);
    Pump(f, 30);
    EXPECT_EQ(Selected(f), row) << key;
    EXPECT_EQ(f.StatusText(), commands[row]) << key;
  }
  EXPECT_TRUE(services_.messages.empty());  // the number in the first entry is passed over
}

// Each selection shows its command, or warns and forgets the command read before; Uninstall
// starts only an existing program, by its full path, or says there is none.
TEST_F(DeinstallWindowTest, UninstallStartsOnlyTheSelectedEntrysExistingProgram) {
  Entry("a", "Mv App", "C:\\Program Files\\Mv App\\uninst.exe /x");
  Entry("b", "Gone", "C:\\Program Files\\Gone App\\un.exe /x");
  Entry("c", "Msi", "MsiExec.exe /X{1234}");
  Entry("d", "Expanding", nullptr);
  mem_.AddValue(HKLM, kKey + "\\d", kUninstallString, kRegExpandSz,
                "%ProgramFiles%\\Mv App\\uninst.exe /q");
  Entry("e", "Polish", "\"C:\\Uni\\\xC5\x81ukasz\\uninst.exe\" /n");  // Łukasz
  Entry("f", "Went", "C:\\Program Files\\Mv App\\uninst.exe /went");
  Entry("g", "Lost", "C:\\Program Files\\Mv App\\uninst.exe /lost");
  Entry("h", "Number", nullptr);
  mem_.AddValue(HKLM, kKey + "\\h", kUninstallString, kRegDword, std::string("\x01\0\0\0", 4));
  files_.files = {"C:\\Program Files\\Mv App\\uninst.exe",
                  "C:\\Program.exe",
                  "C:\\Windows\\system32\\MsiExec.exe",
                  "MsiExec.exe",
                  "C:\\Morvane\\MsiExec.exe",
                  "C:\\Uni\\\xC5\x81ukasz\\uninst.exe",
                  "C:\\Uni\\Lukasz\\uninst.exe"};
  TMainForm& f = Page();
  Press(f, *f.ZelButton2);  // nothing selected in this run yet
  EXPECT_TRUE(services_.started.empty());
  EXPECT_EQ(f.StatusText(), "");
  // Listed, then gone: one entry removed, one without its command.
  mem_.RemoveKey(HKLM, kKey + "\\f");
  mem_.RemoveKey(HKLM, kKey + "\\g");
  Entry("g", "Lost", nullptr);

  // In this order, each selection that fails comes after one whose program would start.
  const std::string mv = "C:\\Program Files\\Mv App\\uninst.exe",
                    msi = "C:\\Windows\\system32\\MsiExec.exe",
                    lukasz = "C:\\Uni\\\xC5\x81ukasz\\uninst.exe";
  const struct {
    int row;
    std::string shown;
    std::optional<ProgramStart> started;
    std::optional<ShownMessage> warning;  // the selection's, when it fails
  } cases[] = {
      {0, mv + " /x", ProgramStart{mv, "\"" + mv + "\" /x"}, std::nullopt},
      {5, "", std::nullopt, ShownMessage{"Error of opened key", "Key", kWarning}},
      {1, "C:\\Program Files\\Gone App\\un.exe /x", std::nullopt, std::nullopt},
      {2, "MsiExec.exe /X{1234}", ProgramStart{msi, "\"" + msi + "\" /X{1234}"}, std::nullopt},
      {6, "", std::nullopt, ShownMessage{"UninstallString not found", "UninstallString", kWarning}},
      {3, mv + " /q", ProgramStart{mv, "\"" + mv + "\" /q"}, std::nullopt},
      // No full stop is added after a closing quote, which sorts before it.
      {7, "", std::nullopt,
       ShownMessage{"Invalid data type for 'UninstallString'", "Morvane v1.0",
                    MB_OK | MB_ICONERROR}},
      {4, "\"" + lukasz + "\" /n", ProgramStart{lukasz, "\"" + lukasz + "\" /n"}, std::nullopt},
  };
  for (const auto& c : cases) {
    services_.started.clear();
    services_.messages.clear();
    ClickRow(f, c.row);
    EXPECT_EQ(f.StatusText(), c.shown) << "row " << c.row;
    ASSERT_EQ(services_.messages.size(), c.warning ? 1u : 0u) << "row " << c.row;
    if (c.warning) {
      EXPECT_EQ(services_.messages[0].text, c.warning->text);
      EXPECT_EQ(services_.messages[0].caption, c.warning->caption);
      EXPECT_EQ(services_.messages[0].flags, c.warning->flags);
    }
    Press(f, *f.ZelButton2);
    EXPECT_EQ(services_.started,
              c.started ? std::vector<ProgramStart>{*c.started} : std::vector<ProgramStart>{})
        << "row " << c.row;
    // A failed selection has forgotten the command: there was nothing to look for.
    EXPECT_EQ(f.StatusText(), c.started || c.warning ? c.shown : kUninstallerNotFound);
  }
  services_.messages.clear();

  // The command selected last is kept across a refill and a change of page.
  ClickRow(f, 0);
  Press(f, *f.ZelButton1);  // Refresh
  EXPECT_EQ(Selected(f), LB_ERR);
  PressShortcut(f, 'R', true);
  PressShortcut(f, 'D', true);
  EXPECT_EQ(f.StatusText(), "");
  services_.started.clear();
  Press(f, *f.ZelButton2);
  ASSERT_EQ(services_.started.size(), 1u);
  EXPECT_EQ(services_.started[0].program, mv);

  // An uninstaller that needs an administrator: the shell starts it with the same arguments.
  services_.createAnswer = [](const ProgramStart&) { return kErrorElevationRequired; };
  Press(f, *f.ZelButton2);
  EXPECT_EQ(services_.shellStarted, (std::vector<ShellStart>{{f.Handle(), mv, "/x"}}));
  EXPECT_TRUE(services_.messages.empty());
}

// File > Restore from this page: the question counts the file's entries, the status line shows
// how far the restore has come, and the list's selection does nothing meanwhile; Cancel (the
// Uninstall button until the end) or a close stops it after the entry in hand, and the close then
// closes the window; a read refused in the second pass is said. The page is as it was afterwards.
TEST_F(DeinstallWindowTest, RestoreFromThisPageStopsAfterTheEntryInHand) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "morvane-restore-stop.reg";
  std::string text = "Morvane v1.0\r\n\r\n\r\n";  // two blocks
  for (const std::string name : {"A", "B", "C", "D"})
    text += "[HKEY_CURRENT_USER\\SOFTWARE\\Mv]\r\n\"" + name + "\"=\"" + std::string(30000, 'x') +
            "\"\r\n";
  std::ofstream(file, std::ios::binary) << text;
  enum How { kCancel, kClose, kRefuse };
  const struct {
    const char* at;
    How how;
    std::string during, status;
  } cases[] = {
      {"setvalue:C", kCancel, "Restoring: 2 of 4.|Cancel 1|0 0",
       "3. Already present: 0. Not restored: 0. Stopped: 1 entry was not restored."},
      {"setvalue:A", kClose, "Restoring: 0 of 4.|Cancel 1|0 0",
       "1. Already present: 0. Not restored: 0. Stopped: 3 entries were not restored."},
      {"", kRefuse, "", "2. Already present: 0. Not restored: 0."}};  // A and B in the block
  for (const auto& c : cases) {
    TearDown();
    SetUp();
    Entry("a", "Alpha", "alpha.exe");
    TMainForm& f = Page();
    services_.openDialog = [&](TOpenDialog& dialog) {
      dialog.FileName = file;
      return true;
    };
    services_.answer = IDYES;
    services_.messages.clear();
    files_.readsBeforeRefusal = c.how == kRefuse ? 4 : -1;  // two to count, then one and a half
    std::string during;
    mem_.hook = [&](const std::string& op, const std::string&) {
      // The progress is shown again once 100 ms have passed.
      if (op == "setvalue:B") std::this_thread::sleep_for(std::chrono::milliseconds(110));
      if (op != c.at) return;
      SendMessageW(f.ListBox2, LB_SETCURSEL, 0, 0);
      SendMessageW(f.Handle(), WM_COMMAND, MAKEWPARAM(0, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(f.ListBox2));
      during = f.StatusText() + "|" + f.ZelButton2->Caption() + " " +
               std::to_string(f.ZelButton2->Enabled()) + "|" +
               std::to_string(f.ZelButton1->Enabled()) + " " +
               std::to_string(f.ZelButton3->Enabled());
      if (c.how == kCancel) Press(f, *f.ZelButton2);
      if (c.how == kClose) SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
    };
    SendMessageW(f.Handle(), WM_COMMAND, kCmdRestore, 0);
    mem_.hook = nullptr;
    EXPECT_EQ(during, c.during);
    EXPECT_EQ(f.StatusText(), "Entries restored: " + c.status);
    ASSERT_FALSE(services_.messages.empty());
    EXPECT_EQ(services_.messages[0].text, "To restore 4 entries from the backup copy?");
    EXPECT_EQ(services_.messages.size() == 2 &&
                  services_.messages[1].text == "This file could not be read.",
              c.how == kRefuse);
    EXPECT_EQ(f.ZelButton2->Caption() + std::to_string(f.ZelButton2->Enabled()), "Uninstall1");
    Pump(f);
    EXPECT_EQ(IsWindow(f.Handle()) == FALSE, c.how == kClose);
    files_.readsBeforeRefusal = -1;
    mem_.RemoveKey(HKCU, "SOFTWARE\\Mv");
  }
  DeleteFileA(file.c_str());
}

// Delete asks only about a chosen entry and removes that entry alone, with its subkeys; an entry
// gone since the fill, or one the user may not delete, is reported and nothing else goes.
TEST_F(DeinstallWindowTest, DeleteAsksOnlyAboutAChosenEntryAndRemovesThatEntryAlone) {
  TMainForm& f = Page();
  std::vector<std::string> deleted;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "deletekey") deleted.push_back(path);
  };
  Press(f, *f.ZelButton3);  // an empty list: no question
  EXPECT_TRUE(services_.messages.empty());

  Entry("a", "Alpha", "alpha.exe");
  Entry("b-twin", "Twin", "first.exe");
  Entry("c-twin", "Twin", "second.exe");
  mem_.AddKey(HKLM, kKey + "\\c-twin\\Sub\\Deeper");
  Entry("d", "Gamma", "gamma.exe");
  Press(f, *f.ZelButton1);
  Press(f, *f.ZelButton3);  // nothing selected: no question, nothing deleted
  EXPECT_TRUE(services_.messages.empty());

  ClickRow(f, 2);
  services_.answer = IDNO;
  Press(f, *f.ZelButton3);
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].text, "To remove a key from the register?");
  EXPECT_EQ(services_.messages[0].caption, "Removal");
  EXPECT_EQ(services_.messages[0].flags, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(Items(f), (std::vector<std::string>{"Alpha", "Twin", "Twin", "Gamma"}));
  EXPECT_EQ(Selected(f), 2);
  EXPECT_TRUE(deleted.empty());

  // The second twin goes with its subkeys; the first stays.
  services_.answer = IDYES;
  Press(f, *f.ZelButton3);
  ASSERT_EQ(services_.messages.size(), 3u);
  EXPECT_EQ(services_.messages[2].text, "The section is removed!");
  EXPECT_EQ(services_.messages[2].caption, "");
  EXPECT_EQ(services_.messages[2].flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_FALSE(mem_.KeyExists(HKLM, kKey + "\\c-twin"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\b-twin"));
  EXPECT_EQ(deleted.size(), 3u);
  EXPECT_EQ(Items(f), (std::vector<std::string>{"Alpha", "Twin", "Gamma"}));
  EXPECT_EQ(Selected(f), LB_ERR);
  EXPECT_EQ(f.StatusText(), "second.exe");

  // The selected entry went after the fill: nothing else is deleted in its place, and, not
  // found, it needs no rights. Then an entry the user may only read: refused, and the rights
  // are named only when the program lacks them.
  services_.elevated = false;
  ClickRow(f, 2);
  mem_.RemoveKey(HKLM, kKey + "\\d");
  for (const std::string& path : {kKey, kKey + "\\a"}) mem_.RestrictAccess(HKLM, path, kKeyRead);
  deleted.clear();
  const struct {
    bool select, elevated;
    std::string status;
  } refusals[] = {{false, false, "gamma.exe"},
                  {true, true, "alpha.exe"},
                  {true, false, "Administrator rights are needed to remove this entry."}};
  for (const auto& refusal : refusals) {
    services_.elevated = refusal.elevated;
    if (refusal.select) ClickRow(f, 0);
    services_.messages.clear();
    Press(f, *f.ZelButton3);
    ASSERT_EQ(services_.messages.size(), 2u);
    EXPECT_EQ(services_.messages[1].text, "Error!");
    EXPECT_EQ(services_.messages[1].flags, kWarning);
    EXPECT_EQ(f.StatusText(), refusal.status);
    EXPECT_EQ(Items(f), (std::vector<std::string>{"Alpha", "Twin"}));
  }
  EXPECT_TRUE(deleted.empty());
}

}  // namespace
}  // namespace morvane
