// The deinstall page in the real window: over the in-memory registry, the list, the selection
// and its warnings, Refresh, Uninstall and Delete with their questions and answers; over the
// real registry, twins in both views, per-user entries and names of any length.
#include <windows.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/WideText.h"
#include "tests/native/fake_file_tree.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

constexpr RootKey HKLM = RootKey::LocalMachine;
constexpr RootKey HKCU = RootKey::CurrentUser;
const std::string kKey = kUninstallPath;
constexpr UINT kWarning = MB_OK | MB_ICONWARNING;

// The texts of the list box's items, as a screen reader reads them (LB_GETTEXT).
std::vector<std::string> ListedTexts(HWND list) { return ListBoxTexts(list); }

// The names the page lists, after checking that the list box holds the same texts.
std::vector<std::string> Items(TMainForm& f) {
  std::vector<std::string> items;
  for (const UninstallItem& item : f.DeinstallPage().Items()) items.push_back(item.displayName);
  EXPECT_EQ(ListedTexts(f.ListBox2), items);
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

TEST_F(DeinstallWindowTest,
       ThePageListsTheMachinesThenTheUsersProgramsAndEachRowShowsItsOwnCommand) {
  Entry("0-number", nullptr, "n.exe");
  mem_.AddValue(HKLM, kKey + "\\0-number", kDisplayName, kRegDword, std::string("\x01\0\0\0", 4));
  Entry("a", "Alpha", "C:\\alpha\\un.exe");
  Entry("b-no-command", "No command", nullptr);
  Entry("c-no-name", nullptr, "x.exe");
  Entry("d-twin", "Twin", "first twin");
  Entry("e-twin", "Twin", "second twin");
  Entry("f-blank", "", "blank");
  Entry("g-amp", "Tom && Jerry", "amp");
  Entry("a-user", "Twin", "user twin", HKCU);
  TMainForm& f = Page();
  EXPECT_EQ(f.ZelButton1->Caption(), "Refresh");
  EXPECT_EQ(f.ZelButton2->Caption(), "Uninstall");
  EXPECT_EQ(f.ZelButton3->Caption(), "Delete");
  EXPECT_TRUE(f.ZelButton1->Enabled() && f.ZelButton2->Enabled() && f.ZelButton3->Enabled());
  EXPECT_TRUE(Visible(*f.ZelButton2));
  EXPECT_FALSE(Visible(*f.ZelButton4));
  EXPECT_EQ(f.StatusText(), "");
  EXPECT_EQ(Items(f),
            (std::vector<std::string>{"Alpha", "Twin", "Twin", "", "Tom && Jerry", "Twin"}));
  EXPECT_EQ(Selected(f), LB_ERR);
  EXPECT_TRUE(services_.messages.empty());  // the number in the first entry is passed over

  const char* commands[] = {"C:\\alpha\\un.exe", "first twin", "second twin", "blank", "amp",
                            "user twin"};
  for (int row : {2, 3, 5, 1}) {
    ClickRow(f, row);
    EXPECT_EQ(Selected(f), row);
    EXPECT_EQ(f.StatusText(), commands[row]) << "row " << row;
  }
  // With the keyboard as well.
  SetFocus(f.ListBox2);
  PostMessageW(f.ListBox2, WM_KEYDOWN, VK_HOME, 1);
  Pump(f, 30);
  EXPECT_EQ(f.StatusText(), "C:\\alpha\\un.exe");
  // A typed letter goes to the next row whose name begins with it, round to the start.
  for (const auto& [key, row] :
       {std::pair{'t', 1}, std::pair{'T', 2}, std::pair{'t', 4}, std::pair{'t', 5},
        std::pair{'t', 1}, std::pair{'a', 0}, std::pair{'z', 0}}) {
    PostMessageW(f.ListBox2, WM_CHAR, static_cast<WPARAM>(key), 1);
    Pump(f, 30);
    EXPECT_EQ(Selected(f), row) << key;
    EXPECT_EQ(f.StatusText(), commands[row]) << key;
  }
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(DeinstallWindowTest, SelectionWarnsWhenTheEntryWentOrLostItsCommandAndForgetsTheCommand) {
  Entry("a", "Alpha", "alpha.exe");
  Entry("b", "Beta", "beta.exe");
  Entry("c", "Gamma", "gamma.exe");
  Entry("d", "Number", "delta.exe");
  mem_.AddValue(HKLM, kKey + "\\d", kUninstallString, kRegDword, std::string("\x01\0\0\0", 4));
  TMainForm& f = Page();
  EXPECT_EQ(Items(f), (std::vector<std::string>{"Alpha", "Beta", "Gamma", "Number"}));
  ClickRow(f, 0);
  mem_.RemoveKey(HKLM, kKey + "\\b");
  ClickRow(f, 1);
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].text, "Error of opened key");
  EXPECT_EQ(services_.messages[0].caption, "Key");
  EXPECT_EQ(services_.messages[0].flags, kWarning);
  mem_.RemoveKey(HKLM, kKey + "\\c");
  Entry("c", "Gamma", nullptr);
  ClickRow(f, 2);
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[1].text, "UninstallString not found");
  EXPECT_EQ(services_.messages[1].caption, "UninstallString");
  EXPECT_EQ(services_.messages[1].flags, kWarning);
  EXPECT_EQ(f.StatusText(), "");
  EXPECT_EQ(f.UninstallCommand(), "");
  // A command that is not text: the registry's error, and the command read before is forgotten.
  ClickRow(f, 0);
  ClickRow(f, 3);
  ASSERT_EQ(services_.messages.size(), 3u);
  // No full stop is added after a closing quote, which sorts before it.
  EXPECT_EQ(services_.messages[2].text, "Invalid data type for 'UninstallString'");
  EXPECT_EQ(services_.messages[2].caption, "Morvane v1.0");
  EXPECT_EQ(services_.messages[2].flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(f.StatusText(), "");
  Press(f, *f.ZelButton2);
  EXPECT_TRUE(services_.started.empty());
}

TEST_F(DeinstallWindowTest,
       UninstallStartsOnlyAnExistingProgramByItsFullPathAndSaysSoWhenThereIsNone) {
  Entry("a", "Mv App", "C:\\Program Files\\Mv App\\uninst.exe /x");
  Entry("b", "Gone", "C:\\Program Files\\Gone App\\un.exe /x");
  Entry("c", "Msi", "MsiExec.exe /X{1234}");
  Entry("d", "Expanding", nullptr);
  mem_.AddValue(HKLM, kKey + "\\d", kUninstallString, kRegExpandSz,
                "%ProgramFiles%\\Mv App\\uninst.exe /q");
  Entry("e", "Polish", "\"C:\\Uni\\\xC5\x81ukasz\\uninst.exe\" /n");  // Łukasz
  Entry("f", "Went", "C:\\Program Files\\Mv App\\uninst.exe /went");
  Entry("g", "Lost", "C:\\Program Files\\Mv App\\uninst.exe /lost");
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
  const struct {
    int row;
    const char* shown;
    std::optional<ProgramStart> started;
    const char* warning = nullptr;  // the selection's, when it fails
  } cases[] = {
      {0, "C:\\Program Files\\Mv App\\uninst.exe /x",
       ProgramStart{"C:\\Program Files\\Mv App\\uninst.exe",
                    "\"C:\\Program Files\\Mv App\\uninst.exe\" /x"}},
      {5, "", std::nullopt, "Error of opened key"},
      {1, "C:\\Program Files\\Gone App\\un.exe /x", std::nullopt},
      {2, "MsiExec.exe /X{1234}",
       ProgramStart{"C:\\Windows\\system32\\MsiExec.exe",
                    "\"C:\\Windows\\system32\\MsiExec.exe\" /X{1234}"}},
      {6, "", std::nullopt, "UninstallString not found"},
      {3, "C:\\Program Files\\Mv App\\uninst.exe /q",
       ProgramStart{"C:\\Program Files\\Mv App\\uninst.exe",
                    "\"C:\\Program Files\\Mv App\\uninst.exe\" /q"}},
      {4, "\"C:\\Uni\\\xC5\x81ukasz\\uninst.exe\" /n",
       ProgramStart{"C:\\Uni\\\xC5\x81ukasz\\uninst.exe",
                    "\"C:\\Uni\\\xC5\x81ukasz\\uninst.exe\" /n"}},
  };
  for (const auto& c : cases) {
    services_.started.clear();
    services_.messages.clear();
    ClickRow(f, c.row);
    EXPECT_EQ(f.StatusText(), c.shown) << "row " << c.row;
    if (c.warning) {
      ASSERT_EQ(services_.messages.size(), 1u) << "row " << c.row;
      EXPECT_EQ(services_.messages[0].text, c.warning);
    } else {
      EXPECT_TRUE(services_.messages.empty()) << "row " << c.row;
    }
    Press(f, *f.ZelButton2);
    if (c.started) {
      EXPECT_EQ(services_.started, std::vector<ProgramStart>{*c.started}) << "row " << c.row;
      EXPECT_EQ(f.StatusText(), c.shown);
    } else {
      EXPECT_TRUE(services_.started.empty()) << "row " << c.row;
      // A failed selection has forgotten the command: there was nothing to look for.
      EXPECT_EQ(f.StatusText(), c.warning ? "" : "The uninstaller was not found.")
          << "row " << c.row;
    }
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
  EXPECT_EQ(services_.started[0].program, "C:\\Program Files\\Mv App\\uninst.exe");

  // An uninstaller that needs an administrator: the shell starts it with the same arguments.
  services_.createAnswer = [](const ProgramStart&) { return kErrorElevationRequired; };
  Press(f, *f.ZelButton2);
  EXPECT_EQ(services_.shellStarted,
            (std::vector<ShellStart>{{f.Handle(), "C:\\Program Files\\Mv App\\uninst.exe", "/x"}}));
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
  services_.messages.clear();
  services_.answer = IDYES;
  Press(f, *f.ZelButton3);
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[1].text, "The section is removed!");
  EXPECT_EQ(services_.messages[1].caption, "");
  EXPECT_EQ(services_.messages[1].flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_FALSE(mem_.KeyExists(HKLM, kKey + "\\c-twin"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\b-twin"));
  EXPECT_EQ(deleted.size(), 3u);
  EXPECT_EQ(Items(f), (std::vector<std::string>{"Alpha", "Twin", "Gamma"}));
  EXPECT_EQ(Selected(f), LB_ERR);
  EXPECT_EQ(f.StatusText(), "second.exe");

  // The selected entry went after the fill: nothing else is deleted in its place, and, not found,
  // it needs no rights.
  services_.elevated = false;
  ClickRow(f, 2);
  mem_.RemoveKey(HKLM, kKey + "\\d");
  deleted.clear();
  services_.messages.clear();
  Press(f, *f.ZelButton3);
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[1].text, "Error!");
  EXPECT_EQ(services_.messages[1].flags, kWarning);
  EXPECT_EQ(Items(f), (std::vector<std::string>{"Alpha", "Twin"}));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\a"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\b-twin"));
  EXPECT_EQ(f.StatusText(), "gamma.exe");
}

// Uni Łódź, and the name a best-fit spelling makes of it.
const std::string kLodz =
    "Uni \xC5\x81\xC3\xB3"
    "d\xC5\xBA";
const std::string kLodzTwin = "Uni Lodz";

// The row whose entry is named name; -1 when none is.
int RowOfEntry(TMainForm& f, const std::string& name) {
  const std::vector<UninstallItem>& items = f.DeinstallPage().Items();
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i].entry.name == name) return static_cast<int>(i);
  return -1;
}

// Past 255 characters a name is cut after its 255th, never inside one: after the Ł, and after
// the emoji that takes two UTF-16 units. (Look-alike entries are told apart on the real registry
// below.)
TEST_F(DeinstallWindowTest, LongNamesAreCutAfterACharacterNeverInsideOne) {
  const std::string polish = std::string(254, 'W') + "\xC5\x81ukasz";
  const std::string emoji = std::string(254, 'W') + "\xF0\x9F\x98\x80smile";
  Entry("long", polish.c_str(), "long.exe");
  Entry("wide", emoji.c_str(), "wide.exe");
  TMainForm& f = Page();
  const std::vector<std::string> listed = ListedTexts(f.ListBox2);
  ASSERT_EQ(listed.size(), 2u);
  const std::pair<std::string, std::string> shown[] = {
      {"long", std::string(254, 'W') + "\xC5\x81"},
      {"wide", std::string(254, 'W') + "\xF0\x9F\x98\x80"},
  };
  for (const auto& [entry, text] : shown) {
    const int row = RowOfEntry(f, entry);
    ASSERT_GE(row, 0) << entry;
    EXPECT_EQ(listed[static_cast<std::size_t>(row)], text) << entry;
  }
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
  EXPECT_EQ(f.StatusText(), "alpha.exe");  // elevated: refused for some other reason

  services_.elevated = false;
  ClickRow(f, 0);
  Press(f, *f.ZelButton3);
  ASSERT_EQ(services_.messages.size(), 4u);
  EXPECT_EQ(services_.messages[3].text, "Error!");
  EXPECT_EQ(f.StatusText(), "Administrator rights are needed to remove this entry.");
}

// The page over the real registry of the test prefix.
class DeinstallRealRegistryTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    TearDown();
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
      for (const char* name : {"MorvaneTest-Twin", "MorvaneTest-Blank", "MorvaneTest-NoName"})
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, Entry(name).c_str(), view, 0);
    for (const char* name : {"MorvaneTest-Long5000", "MorvaneTest-Long32767"})
      RegDeleteKeyA(HKEY_CURRENT_USER, Entry(name).c_str());
    for (const std::string& name : {kLodz + " Key", kLodzTwin + " Key"})
      RegDeleteKeyW(HKEY_CURRENT_USER, Widen(Entry(name.c_str())).c_str());
  }
  // A user's entry written with the wide calls, so that its names are exactly these.
  static void MakeWideEntry(const std::string& key, const std::string& display,
                            const std::string& command) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Widen(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &k, nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, text] :
         {std::pair{kDisplayName, display}, std::pair{kUninstallString, command}}) {
      const std::wstring wide = Widen(text);
      RegSetValueExW(k, Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                     static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(k);
  }
  static std::string Entry(const std::string& name) { return kKey + "\\" + name; }
  TMainForm& Page() {
    form_ = std::make_unique<TMainForm>(services_.Make(nullptr, &files_));
    form_->Show();
    Pump(*form_);
    PressShortcut(*form_, 'D', true);
    return *form_;
  }
  // The rows whose entries are named name, in list order.
  static std::vector<int> Rows(TMainForm& f, const std::string& name) {
    std::vector<int> rows;
    const std::vector<UninstallItem>& items = f.DeinstallPage().Items();
    for (std::size_t i = 0; i < items.size(); ++i)
      if (items[i].entry.name == name) rows.push_back(static_cast<int>(i));
    return rows;
  }
};

TEST_F(DeinstallRealRegistryTest,
       BlankNamesAreListedAndUninstallAndDeleteOnTheSecondOfTwoTwinsActOnTheSecond) {
  if (!IsWow64Process32()) GTEST_SKIP() << "one registry view here";
  ASSERT_TRUE(MakeUninstallEntry(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-Twin"), KEY_WOW64_64KEY,
                                 "Morvane twin", "C:\\Twin\\native.exe /x"));
  ASSERT_TRUE(MakeUninstallEntry(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-Twin"), KEY_WOW64_32KEY,
                                 "Morvane twin", "C:\\Twin\\wow.exe /x"));
  ASSERT_TRUE(MakeUninstallEntry(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-Blank"), KEY_WOW64_64KEY,
                                 "", "blank.exe"));
  ASSERT_TRUE(MakeUninstallEntry(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-NoName"), KEY_WOW64_64KEY,
                                 nullptr, "none.exe"));
  files_.files = {"C:\\Twin\\native.exe", "C:\\Twin\\wow.exe"};
  TMainForm& f = Page();
  // A blank name is listed as its own entry; no name at all is not listed.
  ASSERT_EQ(Rows(f, "MorvaneTest-Blank").size(), 1u);
  EXPECT_EQ(f.DeinstallPage().Items()[Rows(f, "MorvaneTest-Blank")[0]].displayName, "");
  EXPECT_TRUE(Rows(f, "MorvaneTest-NoName").empty());
  const std::vector<int> twins = Rows(f, "MorvaneTest-Twin");
  ASSERT_EQ(twins.size(), 2u);
  ClickRow(f, twins[1]);
  EXPECT_EQ(f.StatusText(), "C:\\Twin\\wow.exe /x");
  Press(f, *f.ZelButton2);
  EXPECT_EQ(services_.started,
            (std::vector<ProgramStart>{{"C:\\Twin\\wow.exe", "\"C:\\Twin\\wow.exe\" /x"}}));

  services_.answer = IDYES;
  Press(f, *f.ZelButton3);
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[1].text, "The section is removed!");
  EXPECT_FALSE(KeyExistsIn(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-Twin"), KEY_WOW64_32KEY));
  EXPECT_TRUE(KeyExistsIn(HKEY_LOCAL_MACHINE, Entry("MorvaneTest-Twin"), KEY_WOW64_64KEY));
  EXPECT_EQ(Rows(f, "MorvaneTest-Twin").size(), 1u);
}

TEST_F(DeinstallRealRegistryTest,
       UsersProgramsWithNamesOfAnyLengthShowClippedAndCanBeSelectedAndDeleted) {
  const std::string long5000(5000, 'W'), long32767(32767, 'W');
  ASSERT_TRUE(MakeUninstallEntry(HKEY_CURRENT_USER, Entry("MorvaneTest-Long5000"), 0,
                                 long5000.c_str(), "C:\\Long\\five.exe"));
  ASSERT_TRUE(MakeUninstallEntry(HKEY_CURRENT_USER, Entry("MorvaneTest-Long32767"), 0,
                                 long32767.c_str(), "C:\\Long\\most.exe"));
  TMainForm& f = Page();
  const std::vector<int> five = Rows(f, "MorvaneTest-Long5000"),
                         most = Rows(f, "MorvaneTest-Long32767");
  ASSERT_EQ(five.size(), 1u);
  ASSERT_EQ(most.size(), 1u);
  EXPECT_EQ(f.DeinstallPage().Items()[most[0]].displayName.size(), 32767u);
  // What a screen reader reads of each is the name's first 255 characters.
  const std::vector<std::string> listed = ListedTexts(f.ListBox2);
  EXPECT_EQ(listed[five[0]], std::string(255, 'W'));
  EXPECT_EQ(listed[most[0]], std::string(255, 'W'));
  SetFocus(f.ListBox2);
  for (const auto& [row, command] :
       {std::pair{five[0], "C:\\Long\\five.exe"}, std::pair{most[0], "C:\\Long\\most.exe"}}) {
    ClickRow(f, row);
    ASSERT_EQ(Selected(f), row);
    EXPECT_EQ(f.StatusText(), command);
    // The row is drawn, white on green, across the whole width.
    RECT r;
    SendMessageW(f.ListBox2, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    RedrawWindow(f.ListBox2, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Pump(f, 30);
    const RECT right{r.right - 60, r.top + 1, r.right - 2, r.bottom - 1};
    EXPECT_GT(CountColour(f.ListBox2, right, kFocusedTextColor), 20) << "row " << row;
    EXPECT_GT(CountColour(f.ListBox2, right, kFocusedRowColor), 20) << "row " << row;
  }
  // The user's entry is deleted in the user's key.
  services_.answer = IDYES;
  Press(f, *f.ZelButton3);
  EXPECT_FALSE(KeyExistsIn(HKEY_CURRENT_USER, Entry("MorvaneTest-Long32767")));
  EXPECT_TRUE(KeyExistsIn(HKEY_CURRENT_USER, Entry("MorvaneTest-Long5000")));
  EXPECT_TRUE(Rows(f, "MorvaneTest-Long32767").empty());
}

// Names the ANSI code page cannot spell, on the real registry: the program under Łukasz is the
// one started, and of two look-alike entries Delete removes the chosen one.
TEST_F(DeinstallRealRegistryTest, UninstallStartsTheProgramUnderLukaszAndDeleteTakesTheChosenTwin) {
  const std::string program = "C:\\Uni\\\xC5\x81ukasz\\uninst.exe";
  MakeWideEntry(Entry(kLodz + " Key"), kLodz, "\"" + program + "\" /u");
  MakeWideEntry(Entry(kLodzTwin + " Key"), kLodzTwin, "\"C:\\Uni\\Lukasz\\uninst.exe\" /u");
  files_.files = {program, "C:\\Uni\\Lukasz\\uninst.exe"};
  TMainForm& f = Page();
  const std::vector<int> rows = Rows(f, kLodz + " Key");
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(Rows(f, kLodzTwin + " Key").size(), 1u);
  EXPECT_EQ(ListedTexts(f.ListBox2)[static_cast<std::size_t>(rows[0])], kLodz);
  ClickRow(f, rows[0]);
  EXPECT_EQ(f.StatusText(), "\"" + program + "\" /u");
  Press(f, *f.ZelButton2);
  EXPECT_EQ(services_.started, (std::vector<ProgramStart>{{program, "\"" + program + "\" /u"}}));

  services_.answer = IDYES;
  Press(f, *f.ZelButton3);
  HKEY k;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, Widen(Entry(kLodz + " Key")).c_str(), 0, KEY_READ, &k),
            ERROR_SUCCESS);
  ASSERT_EQ(
      RegOpenKeyExW(HKEY_CURRENT_USER, Widen(Entry(kLodzTwin + " Key")).c_str(), 0, KEY_READ, &k),
      ERROR_SUCCESS);
  RegCloseKey(k);
  EXPECT_TRUE(Rows(f, kLodz + " Key").empty());
}

}  // namespace
}  // namespace morvane
