// The unnecessary files' rules over a file tree in memory: the special folders, which TEMP paths
// are refused, the size arithmetic and the total's text, the walk and the deletion.
#include <gtest/gtest.h>

#include "CleanReg/SpecialFolders.h"
#include "CleanReg/UnnecessaryFiles.h"
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
      {"TEMP not normalised", 35, [](FakeSystemFolders& s) { s.variables["%TEMP%"] = "c:/x/../Temp\\"; }, "c:/x/../Temp\\"},
      {"TEMP undefined stays", 35, [](FakeSystemFolders& s) { s.variables.erase("%TEMP%"); }, "%TEMP%\\"},
      {"TEMP too long", 35, [](FakeSystemFolders& s) { s.variables["%TEMP%"] = "C:\\" + std::string(300, 'x'); }, ""},
      {"Windows", 36, nullptr, "C:\\Windows\\"},
      {"Windows at a root", 36, [](FakeSystemFolders& s) { s.windows = "D:\\"; }, "D:\\"},
      {"no Windows folder", 36, [](FakeSystemFolders& s) { s.windows = ""; }, ""},
      {"system", 37, nullptr, "C:\\Windows\\system32\\"},
      {"program files", 38, nullptr, "C:\\Program Files\\"},
      {"program files undefined", 38,
       [](FakeSystemFolders& s) { s.variables.erase("%ProgramFiles%"); s.system = "E:\\Win\\system32"; },
       "E:\\Program Files\\"},
      {"common files", 43, nullptr, "C:\\Program Files\\Common Files\\"},
      {"common files undefined", 43, [](FakeSystemFolders& s) { s.variables.erase("%ProgramFiles%"); },
       "C:\\Program Files\\Common Files\\"},
      {"shell folder", 5, nullptr, "C:\\Users\\me\\Documents\\"},
      {"shell has none", 7, nullptr, ""},
  };
  for (const Case& c : cases) {
    FakeSystemFolders system;
    if (c.set) c.set(system);
    EXPECT_EQ(GetSpecialFolderPath(system, nullptr, c.number), c.expected) << c.name;
    // Only numbers outside the table reach the shell.
    EXPECT_EQ(system.shellAsked.empty(), c.number >= 35 && c.number <= 43 && c.number != 40) << c.name;
  }
}

TEST(SpecialFolders, TempThatIsNoPlainFolderOfItsOwnIsRefused) {
  const std::string tooLong = "TEMP is not cleaned: its path is too long.";
  const std::string relative = "TEMP is not cleaned: its path is not absolute.";
  const std::string root = "TEMP is not cleaned: it is the root of a drive.";
  const std::string system = "TEMP is not cleaned: it is or holds a system folder.";
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Users\\me\\Temp", ""},
      {"C:\\Users\\me\\Temp\\", ""},
      {"d:\\scratch", ""},
      {"C:\\Windows\\Temp", ""},  // inside the Windows folder is fine
      {"\\\\server\\share\\temp", ""},
      {"%TEMP%", relative},
      {"C:\\Users\\%USERNAME%\\Temp", relative},
      {"Temp", relative},
      {"\\Temp", relative},
      {"C:Temp", relative},
      {"C:\\Users\\me\\..\\..", relative},
      {"C:\\Users\\.\\me", relative},
      {"C:\\Temp\\*", relative},
      {"\\\\?\\C:\\Temp", relative},
      {"\\\\.\\C:\\Temp", relative},
      {"", relative},
      {"C:\\", root},
      {"C:", relative},
      {"c:/", root},
      {"C:\\\\", root},
      {"\\\\server\\share", root},
      {"\\\\server\\share\\", root},
      {"C:\\WINDOWS", system},
      {"c:/windows/", system},
      {"C:\\Windows\\System32", system},
      {"C:\\Program Files", system},
      {"C:\\Users\\me", system},
      {"C:\\Users", system},  // holds the profile folder
      {"C:\\Users\\me2", ""},
  };
  for (const auto& [temp, expected] : cases) {
    FakeSystemFolders folders;
    folders.variables["%TEMP%"] = temp;
    EXPECT_EQ(TempFolderProblem(folders), expected) << temp;
  }
  // A 32-bit program on 64-bit Windows: the native program files and the 32-bit system folder
  // count as well; short names are compared spelled in full.
  const std::pair<std::string, std::string> wow64[] = {
      {"C:\\Program Files (x86)", system}, {"C:\\PROGRA~1", system},    {"C:\\Windows\\SysWOW64", system},
      {"C:\\Users\\ME~1", system},          {"C:\\Users\\ME~1\\Temp", ""}, {"C:\\Program Files\\Temp", ""},
  };
  for (const auto& [temp, expected] : wow64) {
    FakeSystemFolders folders;
    folders.variables["%TEMP%"] = temp;
    folders.variables["%ProgramFiles%"] = "C:\\Program Files (x86)";
    folders.variables["%ProgramW6432%"] = "C:\\Program Files";
    folders.wow64System = "C:\\Windows\\SysWOW64";
    folders.longPaths = {{"C:\\PROGRA~1", "C:\\Program Files"},
                         {"C:\\Users\\ME~1", "C:\\Users\\me"},
                         {"C:\\Users\\ME~1\\Temp", "C:\\Users\\me\\Temp"}};
    EXPECT_EQ(TempFolderProblem(folders), expected) << temp;
  }
  FakeSystemFolders folders;
  folders.tooLong.insert("%TEMP%");
  EXPECT_EQ(TempFolderProblem(folders), tooLong);
}

TEST(FileSizes, WholeKilobytesThenMegabytesIn64Bits) {
  const std::pair<std::string, double> sizes[] = {
      {"0", 0},          {"1023", 0},           {"1024", 1.0 / 1024}, {"2047", 1.0 / 1024},
      {"524288", 0.5},   {"-1", 0},             {"-2048", -2.0 / 1024},
      {"3221225472", 3072}, {"4294967296", 4096}, {"", 0},          {"size", 0},
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
      {0, ".", "0.00"},         {1, ",", "1,00"},         {0.5 + 0.5, ".", "1.00"}, {0.004, ".", "0.00"},
      {0.006, ".", "0.01"},     {12345.678, ".", "12345.68"}, {3072, ",", "3072,00"}, {1.5, " dec ", "1 dec 50"},
  };
  for (const auto& [mb, separator, number] : cases) EXPECT_EQ(TotalLineText(mb, separator), number + suffix);
}

TEST(FileFilter, ExtensionFromTheLastDotWithoutRegardToAsciiCase) {
  const std::tuple<std::string, std::string, bool> cases[] = {
      {"", "anything", true},    {"", "", true},           {".pf", "A.PF", true},  {".pf", "b.pf", true},
      {".pf", "c.pf.bak", false}, {".pf", "readme", false}, {".pf", "pf", false},   {".pf", ".pf", true},
      {".pf", "x.pff", false},   {".pf", "x.p", false},    {".PF", "x.pf", true},  {".pf", "x\xC4.pf", true},
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
    lines.push_back(file.path);
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
  EXPECT_TRUE(sink.refused.empty());
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
  std::vector<std::string> expected = {t + "a.tmp", t + "sub\\deep\\x", t + "sub\\y.log", t + "b",
                                       "C:\\Windows\\Prefetch\\A.PF", "C:\\Windows\\Prefetch\\Old\\b.pf"};
  for (const std::string& line : Closing("1,00")) expected.push_back(line);
  EXPECT_EQ(sink.lines, expected);
  EXPECT_DOUBLE_EQ(TotalSizeMb, 1 + 2.0 / 1024);
  EXPECT_EQ(sink.between, 8);  // every file, collected or not
  EXPECT_EQ(sink.files[2].rootLength, t.size());
  EXPECT_EQ(sink.files[5].rootLength, std::string("C:\\Windows\\Prefetch\\").size());
  EXPECT_EQ(FileFilter, ".pf");  // kept after the collection
}

TEST_F(Collection, LinksForeignNamesAndOverlongPathsArePassedOver) {
  const std::string t = "C:\\Users\\me\\Temp\\";
  tree.AddFile(t + "link\\outside.txt", 1 << 20);
  tree.At(t + "link").entry.reparsePoint = true;
  tree.AddFile(t + "foreign\\inner.txt", 1 << 20);
  tree.At(t + "foreign").entry.ansiName = false;
  tree.AddFile(t + "f?.txt", 1 << 20);
  tree.At(t + "f?.txt").entry.ansiName = false;
  const std::string longFolder = t + std::string(256 - t.size(), 'd');  // its "\*.*" reaches 260
  tree.AddFile(longFolder + "\\x", 1 << 20);  // 258 characters, but its folder cannot be searched
  const std::string fitting = t + std::string(200, 'e');
  tree.AddFile(fitting + "\\" + std::string(258 - fitting.size() - 1, 'k'), 1024);  // 258 characters
  tree.AddFile(fitting + "\\" + std::string(259 - fitting.size() - 1, 'l'), 1 << 20);  // 259
  tree.AddFile(fitting + "\\" + std::string(260 - fitting.size() - 1, 'm'), 1 << 20);  // 260: too long
  tree.AddFile(t + "kept.txt", 0);
  ASSERT_TRUE(FindUnnecessaryFiles(tree, system, sink));
  ASSERT_EQ(sink.files.size(), 3u);
  EXPECT_EQ(sink.files[0].path.size(), 258u);
  EXPECT_EQ(sink.files[1].path.size(), 259u);
  EXPECT_EQ(sink.files[2].path, t + "kept.txt");
  EXPECT_DOUBLE_EQ(TotalSizeMb, 1.0 + 1.0 / 1024);
  for (const std::string& sized : tree.sized) EXPECT_LT(sized.size(), 260u);
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
  EXPECT_EQ(sink.refused, std::vector<std::string>{"TEMP is not cleaned: it is or holds a system folder."});
  ASSERT_EQ(sink.files.size(), 1u);
  EXPECT_EQ(sink.files[0].path, "C:\\Windows\\Prefetch\\x.pf");
}

TEST(DeleteListedFiles, OnlyThroughFoldersStillPlainAndHeldInsideTheRoot) {
  FakeFileTree tree;
  tree.roots.insert("C:\\T");
  for (const char* path : {"C:\\T\\a", "C:\\T\\s\\b", "C:\\T\\s\\u\\c", "C:\\T\\s\\u\\c2", "C:\\T\\s\\b2",
                           "C:\\T\\v\\d", "C:\\T\\held", "C:\\T\\w\\x\\e"})
    tree.AddFile(path, 10);
  tree.At("C:\\T\\held").size = -1;  // cannot be deleted
  tree.At("C:\\T\\s\\u").entry.reparsePoint = true;  // swapped for a link since the collection
  const std::size_t root = 5;
  std::vector<ListedFile> listed;
  for (const char* path : {"C:\\T\\a", "C:\\T\\s\\b", "C:\\T\\s\\u\\c", "C:\\T\\s\\u\\c2", "C:\\T\\s\\b2",
                           "C:\\T\\v\\d", "C:\\T\\held", "C:\\T\\gone", "C:\\T\\w\\x\\e"})
    listed.push_back({path, root});
  listed.push_back({"C:\\T\\w\\x\\e", 0});  // no root: never deleted
  tree.folders.erase("C:\\T\\v\\");  // the folder of d went away and is a file now
  tree.At("C:\\T\\v").entry.folder = false;
  tree.AddFile("C:\\T\\w\\x\\e", 10);
  EXPECT_EQ(DeleteListedFiles(tree, listed), 4u);
  EXPECT_EQ(tree.removed, (std::vector<std::string>{"C:\\T\\a", "C:\\T\\s\\b", "C:\\T\\s\\b2", "C:\\T\\w\\x\\e"}));
  EXPECT_TRUE(tree.unheldRemovals.empty());
  EXPECT_TRUE(tree.held.empty());  // every folder let go at the end
  // Each folder is asked for once per run of files below it, not once per file: T, s, u (refused
  // once for both c and c2), v, w, x.
  EXPECT_EQ(tree.holds, 6);

  // The root itself turned into a link: nothing below it is deleted.
  FakeFileTree linked;
  linked.AddFolder("C:\\T");
  linked.AddFile("C:\\T\\x", 10);
  linked.At("C:\\T").entry.reparsePoint = true;
  EXPECT_EQ(DeleteListedFiles(linked, {{"C:\\T\\x", root}}), 0u);
}

}  // namespace
}  // namespace morvane
