// The unnecessary files' rules over a file tree in memory: the special folders, which TEMP paths
// are refused, the size arithmetic and the total's text, the walk and the deletion.
#include <gtest/gtest.h>

#include "CleanReg/SpecialFolders.h"
#include "CleanReg/UnnecessaryFiles.h"
#include "platform/Utf.h"
#include "tests/native/fake_file_tree.h"

namespace morvane {
namespace {

TEST(SpecialFolders, EachNumberHasItsWayAndATrailingBackslash) {
  struct Case {
    const char* name;
    std::uint16_t number;
    std::function<void(FakeSystemFolders&)> set;
    std::string expected;
  };
  const Case cases[] = {
      {"TEMP as it expands", 35, nullptr, "C:\\Users\\me\\Temp\\"},
      {"TEMP not normalised", 35,
       [](FakeSystemFolders& s) { s.variables["%TEMP%"] = "c:/x/../Temp\\"; }, "c:/x/../Temp\\"},
      {"TEMP undefined stays", 35, [](FakeSystemFolders& s) { s.variables.erase("%TEMP%"); },
       "%TEMP%\\"},
      {"TEMP too long", 35,
       [](FakeSystemFolders& s) { s.variables["%TEMP%"] = "C:\\" + std::string(300, 'x'); }, ""},
      {"Windows", 36, nullptr, "C:\\Windows\\"},
      {"Windows at a root", 36, [](FakeSystemFolders& s) { s.windows = "D:\\"; }, "D:\\"},
      {"no Windows folder", 36, [](FakeSystemFolders& s) { s.windows = ""; }, ""},
      {"system", 37, nullptr, "C:\\Windows\\system32\\"},
      {"program files", 38, nullptr, "C:\\Program Files\\"},
      {"program files undefined", 38,
       [](FakeSystemFolders& s) {
         s.variables.erase("%ProgramFiles%");
         s.system = "E:\\Win\\system32";
       },
       "E:\\Program Files\\"},
      {"common files", 43, nullptr, "C:\\Program Files\\Common Files\\"},
      {"common files undefined", 43,
       [](FakeSystemFolders& s) { s.variables.erase("%ProgramFiles%"); },
       "C:\\Program Files\\Common Files\\"},
      {"shell folder", 5, nullptr, "C:\\Users\\me\\Documents\\"},
      {"shell has none", 7, nullptr, ""},
  };
  for (const Case& c : cases) {
    FakeSystemFolders system;
    if (c.set) c.set(system);
    EXPECT_EQ(GetSpecialFolderPath(system, nullptr, c.number), c.expected) << c.name;
    // Only numbers outside the table reach the shell.
    EXPECT_EQ(system.shellAsked.empty(), c.number >= 35 && c.number <= 43 && c.number != 40)
        << c.name;
  }
}

// A machine of folders and of other spellings that lead to them: links, a mapped drive, a share
// on this machine, trailing dots and short names.
struct SpelledMachine {
  SpelledMachine() {
    for (const char* folder :
         {"C:\\Windows\\system32\\drivers", "C:\\Windows\\SysWOW64", "C:\\Windows\\Temp\\sub",
          "C:\\Windows\\Fonts", "C:\\Windows\\Prefetch", "C:\\Program Files\\Common Files",
          "C:\\Program Files (x86)\\App", "C:\\ProgramData\\Temp", "C:\\Users\\me\\Temp",
          "C:\\Users\\me\\AppData\\Local\\Temp", "C:\\Users\\Public", "D:\\scratch"})
      tree.AddFolder(folder);
    tree.roots = {"C:", "D:"};
    tree.AddFile("C:\\Users\\me\\Temp\\file.txt");
    tree.AddFolder("C:\\lnk");
    tree.At("C:\\lnk").entry.reparsePoint = true;
    tree.resolvesTo = {{"C:\\lnk", "C:\\Windows"},
                       {"X:", "C:\\Windows"},
                       {"\\\\localhost\\c$", "C:"},
                       {"C:\\Windows.", "C:\\Windows"},
                       {"C:\\PROGRA~1", "C:\\Program Files"},
                       {"C:\\Users\\ME~1", "C:\\Users\\me"},
                       {"\\\\server\\share", "\\\\server\\share"}};
    tree.sameFolder = {{"Y:", "C:\\Windows"}};
    tree.AddFolder("\\\\server\\share\\temp");
    tree.unreadable.insert("C:\\locked");
    system.variables = {{"%ProgramFiles%", "C:\\Program Files (x86)"},
                        {"%ProgramW6432%", "C:\\PROGRA~1"}};
    system.wow64System = "C:\\Windows\\SysWOW64";
    system.shell = {{40, "C:\\Users\\me"}, {0x23, "C:\\ProgramData"}};
  }
  FakeFileTree tree;
  FakeSystemFolders system;
};

TEST(SpecialFolders, TempIsComparedWhereItResolvesAndRefusedWithAReason) {
  const std::string no = "TEMP is not cleaned: ";
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      // What users have: the profile's temporary folders, the Windows folder's Temp, a data drive,
      // and the Temp of a second drive letter that the system names as itself.
      {"",
       {"C:\\Users\\me\\AppData\\Local\\Temp", "C:\\Users\\me\\Temp\\", "C:\\Users\\ME~1\\Temp",
        "C:\\Windows\\Temp", "c:\\windows\\temp\\sub", "D:\\scratch", "Y:\\Temp"}},
      // Spellings that lead to a system folder, by identity too (Y:).
      {no + "it is or holds a system folder.",
       {"C:\\Windows.", "\\\\localhost\\c$\\windows", "X:\\system32", "X:\\", "C:\\lnk\\system32",
        "C:\\PROGRA~1", "C:\\Windows\\SysWOW64", "C:\\Program Files (x86)", "C:\\ProgramData",
        "C:\\Users", "C:\\Users\\me", "Y:\\system32"}},
      {no + "it lies inside a system folder.",
       {"C:\\Windows\\Fonts", "X:\\Fonts", "Y:\\Fonts", "C:\\Windows\\system32\\drivers",
        "C:\\Program Files\\Common Files", "C:\\Program Files (x86)\\App", "C:\\ProgramData\\Temp",
        "C:\\Users\\Public"}},
      // Nothing to clean, or nowhere to say.
      {no + "it is the root of a drive.", {"C:\\", "c:/", "\\\\localhost\\c$"}},
      {no + "it is on a network share.", {"\\\\server\\share\\temp"}},
      {no + "the folder does not exist.", {"C:\\missing"}},
      {no + "it is a link to another folder.", {"C:\\lnk"}},
      {no + "it is not a folder.", {"C:\\Users\\me\\Temp\\file.txt"}},
      {no + "the folder cannot be opened.", {"C:\\locked"}},
      {no + "it is not set.", {"%TEMP%"}},
      {no + "its path is not absolute.",
       {"C:\\Users\\%USERNAME%\\Temp", "Temp", "\\Temp", "C:Temp", "C:\\Users\\me\\..\\..",
        "C:\\Temp\\*", "\\\\?\\C:\\Temp", "\\\\.\\C:\\Temp", ""}},
      {no + "its path is too long.", {"C:\\" + std::string(300, 'x')}},
  };
  for (const auto& [expected, temps] : cases) {
    for (const std::string& temp : temps) {
      SpelledMachine machine;
      if (temp != "%TEMP%") machine.system.variables["%TEMP%"] = temp;
      const CleanedFolder folder = ResolveTempFolder(machine.system, machine.tree);
      EXPECT_EQ(folder.problem, expected) << temp;
      EXPECT_EQ(folder.location.empty(), !expected.empty()) << temp;
    }
  }
  SpelledMachine machine;
  machine.system.variables["%TEMP%"] = "C:\\Users\\ME~1\\Temp";
  EXPECT_EQ(ResolveTempFolder(machine.system, machine.tree).location, "C:\\Users\\me\\Temp\\");
}

TEST(SpecialFolders, PrefetchMustResolveDirectlyInTheWindowsFolder) {
  const std::pair<std::function<void(SpelledMachine&)>, std::string> cases[] = {
      {nullptr, "C:\\Windows\\Prefetch\\"},
      {[](SpelledMachine& m) { m.system.windows = "X:\\"; }, "C:\\Windows\\Prefetch\\"},
      {[](SpelledMachine& m) { m.tree.resolvesTo["C:\\Windows\\Prefetch"] = "D:\\scratch"; }, ""},
      {[](SpelledMachine& m) { m.tree.At("C:\\Windows\\Prefetch").entry.reparsePoint = true; }, ""},
      {[](SpelledMachine& m) { m.tree.folders["C:\\Windows\\"].clear(); }, ""},
      {[](SpelledMachine& m) { m.system.windows = ""; }, ""},
  };
  for (const auto& [change, expected] : cases) {
    SpelledMachine machine;
    if (change) change(machine);
    EXPECT_EQ(ResolvePrefetchFolder(machine.system, machine.tree), expected) << expected;
  }
}

TEST(FileSizes, WholeKilobytesThenMegabytesIn64Bits) {
  const std::pair<std::string, double> sizes[] = {
      {"0", 0},
      {"1023", 0},
      {"1024", 1.0 / 1024},
      {"2047", 1.0 / 1024},
      {"524288", 0.5},
      {"-1", 0},
      {"-2048", -2.0 / 1024},
      {"3221225472", 3072},
      {"4294967296", 4096},
      {"", 0},
      {"size", 0},
  };
  for (const auto& [text, mb] : sizes) EXPECT_DOUBLE_EQ(SizeTextInMb(text), mb) << text;

  FakeFileTree tree;
  tree.roots.insert("C:\\T");
  tree.AddFile("C:\\T\\big", 3LL << 30);
  tree.AddFile("C:\\T\\held", -1);
  EXPECT_EQ(GetFileSizeText(tree, "C:\\T\\big"), "3221225472");
  EXPECT_EQ(GetFileSizeText(tree, "C:\\T\\held"), "-1");
}

TEST(FileSizes, TotalLineHasTwoDecimalsTheUsersSeparatorAndNoThousands) {
  const std::string suffix = "Mb it is ready to removal - The provisional size..";
  const std::tuple<double, std::string, std::string> cases[] = {
      {0, ".", "0.00"},
      {1, ",", "1,00"},
      {0.5 + 0.5, ".", "1.00"},
      {0.004, ".", "0.00"},
      {0.006, ".", "0.01"},
      {12345.678, ".", "12345.68"},
      {3072, ",", "3072,00"},
      {1.5, " dec ", "1 dec 50"},
      // Halves go away from zero: 128 KB and 640 KB.
      {128.0 / 1024, ".", "0.13"},
      {640.0 / 1024, ".", "0.63"},
      {5.0 / 1024, ".", "0.00"},
      {10.0 / 1024, ".", "0.01"},
  };
  for (const auto& [mb, separator, number] : cases)
    EXPECT_EQ(TotalLineText(mb, separator), number + suffix);
}

TEST(FileFilter, ExtensionFromTheLastDotWithoutRegardToAsciiCase) {
  const std::tuple<std::string, std::string, bool> cases[] = {
      {"", "anything", true},     {"", "", true},
      {".pf", "A.PF", true},      {".pf", "b.pf", true},
      {".pf", "c.pf.bak", false}, {".pf", "readme", false},
      {".pf", "pf", false},       {".pf", ".pf", true},
      {".pf", "x.pff", false},    {".pf", "x.p", false},
      {".PF", "x.pf", true},      {".pf", "x\xC4.pf", true},
  };
  for (const auto& [filter, name, passes] : cases) {
    FileFilter = filter;
    EXPECT_EQ(PassesFileFilter(name), passes) << filter << " " << name;
  }
  FileFilter.clear();
}

// Records what a collection adds; can abandon it at a given file.
struct Recorder final : CollectionSink {
  bool BetweenFiles() override { return ++between != abandonAt; }
  void AddFile(const ListedFile& file) override {
    files.push_back(file);
    lines.push_back(file.Line());
  }
  void AddLine(const std::string& line) override { lines.push_back(line); }
  void FolderRefused(const std::string& why) override { refused.push_back(why); }
  int between = 0, abandonAt = -1;
  std::vector<ListedFile> files;
  std::vector<std::string> lines, refused;
};

class Collection : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.roots = {"C:\\Users\\me\\Temp", "C:\\Windows"};
    tree.folders["C:\\Users\\me\\Temp\\"];
  }
  std::vector<std::string> Closing(const std::string& total) {
    return {"", std::string(70, '='), total + "Mb it is ready to removal - The provisional size.."};
  }
  FakeFileTree tree;
  FakeSystemFolders system;
  Recorder sink;
};

TEST_F(Collection, NeitherFolderGivesOnlyTheClosingLines) {
  tree.roots.clear();
  tree.folders.clear();
  TotalSizeMb = 99;
  EXPECT_TRUE(FindUnnecessaryFiles(tree, system, sink));
  EXPECT_EQ(sink.lines, Closing("0.00"));
  EXPECT_EQ(sink.refused,
            std::vector<std::string>{"TEMP is not cleaned: the folder does not exist."});
}

TEST_F(Collection, TempWholeTreeDepthFirstThenPrefetchFiltered) {
  const std::string t = "C:\\Users\\me\\Temp\\";
  tree.AddFile(t + "a.tmp", 524288);
  tree.AddFile(t + "sub\\deep\\x", 1023);
  tree.AddFile(t + "sub\\y.log", 2047);
  tree.AddFile(t + "b", 524288);
  tree.AddFile("C:\\Windows\\Prefetch\\A.PF", 1024);
  tree.AddFile("C:\\Windows\\Prefetch\\c.pf.bak", 1 << 20);
  tree.AddFile("C:\\Windows\\Prefetch\\readme", 1 << 20);
  tree.AddFile("C:\\Windows\\Prefetch\\Old\\b.pf", 1023);
  system.decimal = ",";
  ASSERT_TRUE(FindUnnecessaryFiles(tree, system, sink));
  std::vector<std::string> expected = {t + "a.tmp",
                                       t + "sub\\deep\\x",
                                       t + "sub\\y.log",
                                       t + "b",
                                       "C:\\Windows\\Prefetch\\A.PF",
                                       "C:\\Windows\\Prefetch\\Old\\b.pf"};
  for (const std::string& line : Closing("1,00")) expected.push_back(line);
  EXPECT_EQ(sink.lines, expected);
  EXPECT_DOUBLE_EQ(TotalSizeMb, 1 + 2.0 / 1024);
  EXPECT_EQ(sink.between, 8);  // every file, collected or not
  EXPECT_EQ(sink.files[2].rootLength, t.size());
  EXPECT_EQ(sink.files[5].rootLength, std::string("C:\\Windows\\Prefetch\\").size());
  EXPECT_EQ(FileFilter, ".pf");  // kept after the collection
}

std::string Repeat(const std::string& character, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += character;
  return text;
}

// A path's length is counted as the system counts it, in UTF-16 units: a character of three
// UTF-8 bytes counts one, one beyond the first plane (four bytes) counts two.
TEST_F(Collection, LinksAndPathsLongerThanTheSystemTakesArePassedOver) {
  const std::string t = "C:\\Users\\me\\Temp\\";
  const std::string hi = "\xE6\x97\xA5", zhe = "\xD0\xB6", smile = "\xF0\x9F\x98\x80";
  tree.AddFile(t + "link\\outside.txt", 1 << 20);
  tree.At(t + "link").entry.reparsePoint = true;
  const std::string longFolder = t + Repeat(zhe, 256 - t.size());  // its "\*.*" reaches 260
  tree.AddFile(longFolder + "\\x", 1 << 20);  // 258 characters, but its folder cannot be searched
  const std::string fitting = t + Repeat(hi, 200);
  tree.AddFile(fitting + "\\" + std::string(258 - 217 - 1, 'k'), 1024);     // 258 characters
  tree.AddFile(fitting + "\\" + std::string(259 - 217 - 1, 'l'), 1 << 20);  // 259
  tree.AddFile(fitting + "\\" + std::string(260 - 217 - 1, 'm'), 1 << 20);  // 260: too long
  tree.AddFile(t + Repeat(smile, 121), 0);                                  // 259 units
  tree.AddFile(t + Repeat(smile, 122), 1 << 20);  // 261 units, though 139 characters
  tree.AddFile(t + "kept.txt", 0);
  ASSERT_TRUE(FindUnnecessaryFiles(tree, system, sink));
  ASSERT_EQ(sink.files.size(), 4u);
  EXPECT_EQ(Utf16Length(sink.files[0].path), 258u);
  EXPECT_EQ(Utf16Length(sink.files[1].path), 259u);
  EXPECT_EQ(sink.files[2].path, t + Repeat(smile, 121));
  EXPECT_EQ(sink.files[3].path, t + "kept.txt");
  EXPECT_DOUBLE_EQ(TotalSizeMb, 1.0 + 1.0 / 1024);
  for (const std::string& sized : tree.sized) EXPECT_LT(Utf16Length(sized), 260u);
}

TEST_F(Collection, AbandonedWalkAddsNothingMoreAndNoClosingLines) {
  for (int i = 0; i < 5; ++i) tree.AddFile("C:\\Users\\me\\Temp\\d\\f" + std::to_string(i), 2048);
  tree.AddFile("C:\\Windows\\Prefetch\\x.pf", 2048);
  sink.abandonAt = 3;
  EXPECT_FALSE(FindUnnecessaryFiles(tree, system, sink));
  EXPECT_EQ(sink.lines.size(), 2u);
  EXPECT_EQ(sink.between, 3);
  EXPECT_EQ(tree.searches, 2);  // neither the rest of TEMP nor Prefetch was searched
}

TEST_F(Collection, RefusedTempSaysWhyAndPrefetchIsStillCollected) {
  system.variables["%TEMP%"] = "C:\\Windows";
  tree.AddFile("C:\\Windows\\Prefetch\\x.pf", 2048);
  tree.AddFile("C:\\Windows\\notepad.exe", 2048);
  ASSERT_TRUE(FindUnnecessaryFiles(tree, system, sink));
  EXPECT_EQ(sink.refused,
            std::vector<std::string>{"TEMP is not cleaned: it is or holds a system folder."});
  ASSERT_EQ(sink.files.size(), 1u);
  EXPECT_EQ(sink.files[0].path, "C:\\Windows\\Prefetch\\x.pf");
}

// The folders are walked where they resolve to; the lines spell them as the system names them.
TEST(SpelledFolders, LinesSpellTheFoldersAsNamedWhileFilesAreFoundWhereTheyLie) {
  SpelledMachine machine;
  machine.system.variables["%TEMP%"] = "C:\\Users\\ME~1\\Temp";
  machine.system.windows = "X:\\";
  machine.tree.AddFile("C:\\Users\\me\\Temp\\sub\\a.tmp", 1024);
  machine.tree.AddFile("C:\\Windows\\Prefetch\\A.PF", 1024);
  Recorder sink;
  ASSERT_TRUE(FindUnnecessaryFiles(machine.tree, machine.system, sink));
  ASSERT_EQ(sink.files.size(), 3u);  // with the machine's own file.txt
  EXPECT_EQ(std::vector<std::string>(sink.lines.begin(), sink.lines.begin() + 3),
            (std::vector<std::string>{"C:\\Users\\ME~1\\Temp\\file.txt",
                                      "C:\\Users\\ME~1\\Temp\\sub\\a.tmp", "X:\\Prefetch\\A.PF"}));
  EXPECT_EQ(sink.files[1].path, "C:\\Users\\me\\Temp\\sub\\a.tmp");
  EXPECT_EQ(sink.files[2].path, "C:\\Windows\\Prefetch\\A.PF");
  EXPECT_EQ(DeleteListedFiles(machine.tree, sink.files).deleted, 3u);
}

TEST(DeleteListedFiles, OnlyThroughFoldersStillPlainAndHeldInsideTheRoot) {
  FakeFileTree tree;
  tree.roots.insert("C:\\T");
  for (const char* path : {"C:\\T\\a", "C:\\T\\s\\b", "C:\\T\\s\\u\\c", "C:\\T\\s\\u\\c2",
                           "C:\\T\\s\\b2", "C:\\T\\v\\d", "C:\\T\\held", "C:\\T\\w\\x\\e"})
    tree.AddFile(path, 10);
  tree.At("C:\\T\\held").size = -1;                  // cannot be deleted
  tree.At("C:\\T\\s\\u").entry.reparsePoint = true;  // swapped for a link since the collection
  const std::size_t root = 5;
  std::vector<ListedFile> listed;
  for (const char* path :
       {"C:\\T\\a", "C:\\T\\s\\b", "C:\\T\\s\\u\\c", "C:\\T\\s\\u\\c2", "C:\\T\\s\\b2",
        "C:\\T\\v\\d", "C:\\T\\held", "C:\\T\\gone", "C:\\T\\w\\x\\e"})
    listed.push_back({path, root, nullptr});
  listed.push_back({"C:\\T\\w\\x\\e", 0, nullptr});  // no root: never deleted
  tree.folders.erase("C:\\T\\v\\");                  // the folder of d went away and is a file now
  tree.At("C:\\T\\v").entry.folder = false;
  tree.AddFile("C:\\T\\w\\x\\e", 10);
  // Wine shows a link to a file as a plain file: its handle leads outside, and so does a folder
  // swapped for a link where holding it is not enforced.
  tree.AddFile("C:\\T\\doc-link", 10);
  tree.AddFile("C:\\T\\y\\f", 10);
  tree.AddFolder("C:\\Td\\y");
  tree.resolvesTo = {{"C:\\T\\doc-link", "C:\\Documents\\doc"}, {"C:\\T\\y", "C:\\Td\\y"}};
  listed.push_back({"C:\\T\\doc-link", root, nullptr});
  listed.push_back({"C:\\T\\y\\f", root, nullptr});
  int between = 0;
  const ClearOutcome outcome = DeleteListedFiles(tree, listed, [&] { ++between; });
  EXPECT_EQ(outcome.deleted, 4u);
  EXPECT_EQ(outcome.kept, listed.size() - 4);
  EXPECT_EQ(between, static_cast<int>(listed.size()));
  EXPECT_EQ(tree.outside, (std::vector<std::string>{"C:\\T\\doc-link", "C:\\T\\y\\f"}));
  EXPECT_EQ(tree.removed, (std::vector<std::string>{"C:\\T\\a", "C:\\T\\s\\b", "C:\\T\\s\\b2",
                                                    "C:\\T\\w\\x\\e"}));
  EXPECT_TRUE(tree.unheldRemovals.empty());
  EXPECT_TRUE(tree.held.empty());  // every folder let go at the end
  // Each folder is asked for once per run of files below it, not once per file: T, s, u (refused
  // once for both c and c2), v, w, x, y.
  EXPECT_EQ(tree.holds, 7);

  // The root itself turned into a link: nothing below it is deleted.
  FakeFileTree linked;
  linked.AddFolder("C:\\T");
  linked.AddFile("C:\\T\\x", 10);
  linked.At("C:\\T").entry.reparsePoint = true;
  EXPECT_EQ(DeleteListedFiles(linked, {{"C:\\T\\x", root, nullptr}}).deleted, 0u);
}

}  // namespace
}  // namespace morvane
