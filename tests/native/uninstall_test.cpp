// The installed-programs list over the in-memory registry: the fill and what each item
// remembers, the places and views, the reading of a command, the deletion; and which program a
// command line starts.
#include <gtest/gtest.h>

#include <set>

#include "CleanReg/ProgramPath.h"
#include "CleanReg/Uninstall.h"
#include "platform/Process.h"
#include "testing/MemRegistryApi.h"
#include "tests/native/fake_file_tree.h"

namespace morvane {
namespace {

constexpr RootKey HKLM = RootKey::LocalMachine;
constexpr RootKey HKCU = RootKey::CurrentUser;
const std::string kKey = kUninstallPath;
const std::string kWow = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class UninstallTest : public ::testing::Test {
 protected:
  void Entry(const std::string& name, const char* display, const char* command, RootKey root = HKLM,
             const std::string& base = kUninstallPath) {
    mem_.AddKey(root, base + "\\" + name);
    if (display) mem_.AddText(root, base + "\\" + name, kDisplayName, display);
    if (command) mem_.AddText(root, base + "\\" + name, kUninstallString, command);
  }
  std::vector<std::string> Names(const std::vector<UninstallItem>& items) {
    std::vector<std::string> names;
    for (const UninstallItem& item : items) names.push_back(item.displayName);
    return names;
  }
  std::vector<UninstallItem> Load() { return LoadUninstallList(mem_, UninstallPlaces(mem_)); }

  MemRegistryApi mem_;
  FakeSystemFolders system_;
};

TEST_F(UninstallTest, EntriesLackingAValueArePassedOverAndTwinsAndBlanksKeepTheirOwnEntry) {
  // The first entry's display name is a number: passed over, the rest listed. A command that is
  // not text is listed: selecting it says so.
  Entry("a-number-name", nullptr, "n.exe");
  mem_.AddValue(HKLM, kKey + "\\a-number-name", kDisplayName, kRegDword,
                std::string("\x01\0\0\0", 4));
  Entry("b-binary-command", "Binary command", nullptr);
  mem_.AddValue(HKLM, kKey + "\\b-binary-command", kUninstallString, kRegBinary, "\x01\x02");
  Entry("c-only-name", "Only name", nullptr);
  Entry("d-only-command", nullptr, "x.exe");
  Entry("e-closed", "Closed", "x.exe");
  mem_.RestrictAccess(HKLM, kKey + "\\e-closed", 0);
  Entry("f-twin", "Twin", "first.exe");
  Entry("g-twin", "Twin", "second.exe");
  Entry("h-blank", "", "blank.exe");
  Entry("i-expand", nullptr, "x.exe");
  mem_.AddValue(HKLM, kKey + "\\i-expand", kDisplayName, kRegExpandSz,
                std::string("Expanding\0junk", 14));
  Entry("j-unreadable", "Unreadable index", "x.exe");
  mem_.BreakSubkeyIndex(HKLM, kKey, 9);

  const std::vector<UninstallItem> items = Load();
  ASSERT_EQ(Names(items),
            (std::vector<std::string>{"Binary command", "Twin", "Twin", "", "Expanding"}));
  // Listed in key order, each remembering its own key.
  EXPECT_EQ(items[1].entry.Path(), kKey + "\\f-twin");
  EXPECT_EQ(items[2].entry.Path(), kKey + "\\g-twin");
  EXPECT_EQ(items[3].entry.Path(), kKey + "\\h-blank");
  // No Uninstall key at all: an empty list.
  mem_.RemoveKey(HKLM, kKey);
  EXPECT_TRUE(Load().empty());
}

TEST_F(UninstallTest, TheMachineInBothViewsThenTheUserAreListedAndEachEntryIsActedOnInItsOwnPlace) {
  mem_.SetTwoViews(true);
  const std::vector<UninstallPlace> places = UninstallPlaces(mem_);
  ASSERT_EQ(places.size(), 3u);
  EXPECT_EQ(places[0].view, RegView::Native);
  EXPECT_EQ(places[1].view, RegView::Wow32);
  EXPECT_EQ(places[2].root, HKCU);
  Entry("same", "Twin", "native.exe");
  Entry("same", "Twin", "wow.exe", HKLM, kWow);
  Entry("same", "Twin", "user.exe", HKCU);
  Entry("z-user", "User app", "u.exe", HKCU);
  std::vector<UninstallItem> items = Load();
  ASSERT_EQ(Names(items), (std::vector<std::string>{"Twin", "Twin", "Twin", "User app"}));

  const std::vector<std::string> commands = {"native.exe", "wow.exe", "user.exe", "u.exe"};
  for (std::size_t i = 0; i < items.size(); ++i) {
    const UninstallCommandText read = ReadUninstallCommand(mem_, items[i].entry, system_);
    EXPECT_EQ(read.outcome, UninstallCommandText::kRead);
    EXPECT_EQ(read.text, commands[i]);
  }
  // The second twin goes, and only it.
  EXPECT_TRUE(DeleteUninstallEntry(mem_, items[1].entry));
  EXPECT_FALSE(mem_.KeyExists(HKLM, kWow + "\\same"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\same"));
  EXPECT_TRUE(mem_.KeyExists(HKCU, kKey + "\\same"));
  items = Load();
  EXPECT_EQ(Names(items), (std::vector<std::string>{"Twin", "Twin", "User app"}));
  EXPECT_TRUE(DeleteUninstallEntry(mem_, items[1].entry));
  EXPECT_FALSE(mem_.KeyExists(HKCU, kKey + "\\same"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\same"));
}

TEST_F(UninstallTest, TheCommandIsReadAsTextExpandedWhenExpandableAndMarkedWhenNotSpelledExactly) {
  system_.failing = {"%USERPROFILE%"};
  const struct {
    const char* name;
    std::uint32_t type;
    std::string data;
    UninstallCommandText::Outcome outcome;
    const char* text;
    bool exact;
  } cases[] = {
      {"plain", kRegSz, std::string("C:\\A\\un.exe /x\0tail", 19), UninstallCommandText::kRead,
       "C:\\A\\un.exe /x", true},
      {"plain-percent", kRegSz, "%ProgramFiles%\\A\\un.exe", UninstallCommandText::kRead,
       "%ProgramFiles%\\A\\un.exe", true},
      {"expand", kRegExpandSz, "%ProgramFiles%\\App\\un.exe /x", UninstallCommandText::kRead,
       "C:\\Program Files\\App\\un.exe /x", true},
      {"expand-undefined", kRegExpandSz, "%NoSuchVariable%\\un.exe", UninstallCommandText::kRead,
       "%NoSuchVariable%\\un.exe", true},
      {"expand-fails", kRegExpandSz, "%USERPROFILE%\\un.exe", UninstallCommandText::kRead,
       "%USERPROFILE%\\un.exe", false},
      {"empty", kRegSz, "", UninstallCommandText::kRead, "", true},
      {"number", kRegDword, std::string("\x01\0\0\0", 4), UninstallCommandText::kNotText, "", true},
      {"multi", kRegMultiSz, std::string("a\0b\0\0", 5), UninstallCommandText::kNotText, "", true},
  };
  for (const auto& c : cases) {
    const std::string path = kKey + "\\" + c.name;
    mem_.AddValue(HKLM, path, kUninstallString, c.type, c.data);
    const UninstallCommandText read =
        ReadUninstallCommand(mem_, UninstallEntry{UninstallPlace{}, c.name}, system_);
    EXPECT_EQ(read.outcome, c.outcome) << c.name;
    EXPECT_EQ(read.text, c.text) << c.name;
    EXPECT_EQ(read.exact, c.exact) << c.name;
  }
  Entry("no-command", "Name", nullptr);
  EXPECT_EQ(ReadUninstallCommand(mem_, {UninstallPlace{}, "no-command"}, system_).outcome,
            UninstallCommandText::kMissing);
  EXPECT_EQ(ReadUninstallCommand(mem_, {UninstallPlace{}, "gone"}, system_).outcome,
            UninstallCommandText::kNotOpened);
  EXPECT_EQ(ReadUninstallCommand(mem_, {UninstallPlace{}, ""}, system_).outcome,
            UninstallCommandText::kNotOpened);
}

TEST_F(UninstallTest, DeletionRemovesTheEntryWithItsSubkeysOnlyAndNeverMoreThanOneKey) {
  Entry("a", "A", "a.exe");
  Entry("b", "B", "b.exe");
  mem_.AddKey(HKLM, kKey + "\\b\\x\\y");
  Entry("c", "C", "c.exe");
  mem_.AddKey(HKLM, kKey + "\\c\\x");
  EXPECT_TRUE(DeleteUninstallEntry(mem_, {UninstallPlace{}, "b"}));
  EXPECT_FALSE(mem_.KeyExists(HKLM, kKey + "\\b"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\a"));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\c"));

  std::vector<std::string> deleted;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "deletekey") deleted.push_back(path);
  };
  EXPECT_FALSE(DeleteUninstallEntry(mem_, {UninstallPlace{}, ""}));
  EXPECT_FALSE(DeleteUninstallEntry(mem_, {UninstallPlace{}, "c\\x"}));  // a key further down
  EXPECT_FALSE(DeleteUninstallEntry(mem_, {UninstallPlace{HKLM, "", RegView::Own}, "SOFTWARE"}));
  EXPECT_FALSE(DeleteUninstallEntry(mem_, {UninstallPlace{}, "gone"}));
  EXPECT_TRUE(deleted.empty());

  // Without the right to delete, nothing goes.
  mem_.AddKey(HKLM, kKey + "\\a\\inner");
  for (const std::string& path : {kKey, kKey + "\\a", kKey + "\\a\\inner"})
    mem_.RestrictAccess(HKLM, path, kKeyRead);
  EXPECT_EQ(Names(Load()), (std::vector<std::string>{"A", "C"}));
  EXPECT_FALSE(DeleteUninstallEntry(mem_, {UninstallPlace{}, "a"}));
  EXPECT_TRUE(mem_.KeyExists(HKLM, kKey + "\\a\\inner"));
}

TEST(ResolveCommand, StartsOnlyAnExistingProgramNamedInFullOrFoundInTheSystemFolders) {
  const std::set<std::string> files = {"C:\\Program Files\\Mv App\\uninst.exe", "C:\\Program.exe",
                                       "C:\\Program Files\\Mv.exe", "C:\\Tools\\un.exe",
                                       "C:\\A B\\c d.exe", "C:\\Win\\system32\\msiexec.exe",
                                       "C:\\Win\\system32\\rundll32.exe", "C:\\Win\\hh.exe",
                                       "C:\\Win\\system32\\tool", "\\\\server\\share\\un.exe",
                                       // Look-alikes beside the program and in the current folder.
                                       "msiexec.exe", ".\\msiexec.exe", "C:\\Morvane\\msiexec.exe",
                                       "hh.exe", "un.exe", "sub\\un.exe"};
  const auto exists = [&](const std::string& path) { return files.count(path) != 0; };
  const ProgramFolders folders{"C:\\Win\\system32", "C:\\Win"};
  const struct {
    const char* in;
    const char* program;  // null: nothing starts
    const char* line;
  } cases[] = {
      {"C:\\Program Files\\Mv App\\uninst.exe /x", "C:\\Program Files\\Mv App\\uninst.exe",
       "\"C:\\Program Files\\Mv App\\uninst.exe\" /x"},
      {"  C:\\Program Files\\Mv App\\uninst.exe", "C:\\Program Files\\Mv App\\uninst.exe",
       "\"C:\\Program Files\\Mv App\\uninst.exe\""},
      {"C:\\A B\\c d.exe  -q -r", "C:\\A B\\c d.exe", "\"C:\\A B\\c d.exe\"  -q -r"},
      {"\"C:\\Program Files\\Mv App\\uninst.exe\" /x", "C:\\Program Files\\Mv App\\uninst.exe",
       "\"C:\\Program Files\\Mv App\\uninst.exe\" /x"},
      {"C:\\Tools\\un.exe /a b", "C:\\Tools\\un.exe", "\"C:\\Tools\\un.exe\" /a b"},
      {"C:\\Tools\\un.exe\t/a", "C:\\Tools\\un.exe", "\"C:\\Tools\\un.exe\"\t/a"},
      {"\\\\server\\share\\un.exe /s", "\\\\server\\share\\un.exe",
       "\"\\\\server\\share\\un.exe\" /s"},
      // The program gone: C:\Program.exe is not C:\Program, and nothing starts.
      {"C:\\Program Files\\Gone App\\un.exe /x", nullptr, nullptr},
      // A shorter prefix only when no longer one names an existing file.
      {"C:\\Program Files\\Mv.exe Gone\\un.exe /x", "C:\\Program Files\\Mv.exe",
       "\"C:\\Program Files\\Mv.exe\" Gone\\un.exe /x"},
      {"\"C:\\Program Files\\Gone App\\un.exe\" /x", nullptr, nullptr},
      {"\"C:\\Program Files\\Mv App\\uninst.exe /x", nullptr, nullptr},  // no closing quote
      // Bare names: the system folder, then the Windows folder; never beside Morvane or here.
      {"msiexec.exe /X{1234}", "C:\\Win\\system32\\msiexec.exe",
       "\"C:\\Win\\system32\\msiexec.exe\" /X{1234}"},
      {"msiexec /x {1234}", "C:\\Win\\system32\\msiexec.exe",
       "\"C:\\Win\\system32\\msiexec.exe\" /x {1234}"},
      {"\"msiexec.exe\" /x", "C:\\Win\\system32\\msiexec.exe",
       "\"C:\\Win\\system32\\msiexec.exe\" /x"},
      {"rundll32.exe shell32.dll,Run x", "C:\\Win\\system32\\rundll32.exe",
       "\"C:\\Win\\system32\\rundll32.exe\" shell32.dll,Run x"},
      {"hh.exe help.chm", "C:\\Win\\hh.exe", "\"C:\\Win\\hh.exe\" help.chm"},
      {"tool /q", nullptr, nullptr},  // a bare name without a dot is looked for with ".exe"
      {"un.exe", nullptr, nullptr},
      {".\\msiexec.exe /x", nullptr, nullptr},
      {"sub\\un.exe", nullptr, nullptr},
      {"C:un.exe", nullptr, nullptr},
      {"", nullptr, nullptr},
      {" \t ", nullptr, nullptr},
      {"\"\"", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<ProgramStart> start = ResolveCommand(c.in, folders, exists);
    if (c.program == nullptr) {
      EXPECT_FALSE(start.has_value()) << c.in << " started " << start->program;
      continue;
    }
    ASSERT_TRUE(start.has_value()) << c.in;
    EXPECT_EQ(start->program, c.program) << c.in;
    EXPECT_EQ(start->commandLine, c.line) << c.in;
  }
  // With no system folder the Windows folder is still looked in; with neither, nothing is.
  EXPECT_EQ(ResolveCommand("hh.exe", {"", "C:\\Win"}, exists)->program, "C:\\Win\\hh.exe");
  EXPECT_FALSE(ResolveCommand("msiexec.exe", {"", ""}, exists).has_value());
  EXPECT_EQ(ProgramInFolder("D:\\", "regedit.exe"),
            (ProgramStart{"D:\\regedit.exe", "\"D:\\regedit.exe\""}));
}

// A start made again through the shell hands it the arguments the command line gave the program.
TEST(ArgumentsOf, WhatFollowsTheQuotedProgram) {
  const std::string program = "C:\\Program Files\\App\\un.exe";
  const std::pair<std::string, std::string> cases[] = {
      {"\"C:\\Program Files\\App\\un.exe\" /x", "/x"},
      {"\"C:\\Program Files\\App\\un.exe\" \t /S \"_?=C:\\Program Files\\App\"",
       "/S \"_?=C:\\Program Files\\App\""},
      {"\"C:\\Program Files\\App\\un.exe\"", ""},
      {"\"C:\\Program Files\\App\\un.exe\"   ", ""},
      // Not the quoted program at its head: the whole line is arguments.
      {"C:\\Program Files\\App\\un.exe /x", "C:\\Program Files\\App\\un.exe /x"},
      {"  /quiet", "/quiet"},
  };
  for (const auto& [line, arguments] : cases)
    EXPECT_EQ(ArgumentsOf(program, line), arguments) << line;
}

}  // namespace
}  // namespace morvane
