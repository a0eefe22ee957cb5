// The file-system questions, the unnecessary files and the start of programs on the real (Wine)
// file system of the test prefix, each for every name of the names table beside its look-alike.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <set>

#include "CleanReg/FileAnswers.h"
#include "CleanReg/ProgramPath.h"
#include "CleanReg/SpecialFolders.h"
#include "CleanReg/UnnecessaryFiles.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/WideText.h"
#include "tests/win/names_table.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

// The test program doubles as the program that the process tests start: started with
// "--probe FILE" it writes the path it was started from into FILE, as UTF-8, and ends before
// any test runs.
[[maybe_unused]] const bool kStartedAsProbe = [] {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr || count != 3 || std::wstring(args[1]) != L"--probe") return false;
  wchar_t self[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  const std::string path = Narrow(self, length);
  HANDLE out = CreateFileW(args[2], GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  DWORD written = 0;
  WriteFile(out, path.data(), static_cast<DWORD>(path.size()), &written, nullptr);
  CloseHandle(out);
  ExitProcess(0);
}();

// Files, folders and drives as the scan asks about them; a path no system can name is one that
// cannot be looked at, not a missing one; variables come from the program's environment, whatever
// their length; a file written is replaced whole, and none is written into a missing folder.
TEST(SystemFileSystem, FilesFoldersDrivesAndVariables) {
  FileSystem& files = SystemFileSystem();
  const std::string win = WindowsFolder();
  const std::pair<std::string, PathKind> looks[] = {
      {win + "\\notepad.exe", PathKind::File},
      {win, PathKind::Folder},
      {win + "\\no-such-file.exe", PathKind::Missing},
      {win + "\\no-such\\x", PathKind::Missing},
      {"C:\\" + std::string(40000, 'x'), PathKind::Unknown}};
  for (const auto& [path, kind] : looks) EXPECT_EQ(files.Look(path), kind) << path.substr(0, 60);
  EXPECT_NE(files.DriveSerial(win[0]), 0u);
  for (const char drive : {'Q', '"', '%', '7'}) EXPECT_EQ(files.DriveSerial(drive), 0u) << drive;
  EXPECT_EQ(Narrow(static_cast<const wchar_t*>(nullptr)), "");  // a text the system left out
  const std::string value(1000, 'v');
  ASSERT_TRUE(SetEnvironmentVariableA("MVFILESTEST", value.c_str()));
  EXPECT_EQ(files.Variable("mvfilestest"), std::optional<std::string>(value));
  SetEnvironmentVariableA("MVFILESTEST", nullptr);
  EXPECT_EQ(files.Variable("MVFILESTEST"), std::nullopt);
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "morvane-whole.txt";
  ASSERT_TRUE(files.WriteWholeFile(file, "longer text") && files.WriteWholeFile(file, "short"));
  EXPECT_EQ(ReadNamedFile(file), "short");
  DeleteFileA(file.c_str());
  EXPECT_FALSE(files.WriteWholeFile(win + "\\no-such\\kopia.reg", "x"));
  EXPECT_EQ(files.OpenForReading(win), nullptr) << "a folder is no file";
}

TEST(SystemFileSystem, SystemFolderFileExistsInEitherView) {
  if (!IsWow64Process32()) GTEST_SKIP() << "not a 32-bit process on 64-bit Windows";
  const std::string nativeOnly = FileInSystemFolder("morvane-native-only.txt", true);
  const std::string wowOnly = FileInSystemFolder("morvane-wow-only.txt", false);
  ASSERT_FALSE(nativeOnly.empty());
  ASSERT_FALSE(wowOnly.empty());
  // Each is invisible from one of the two views...
  EXPECT_EQ(GetFileAttributesA(nativeOnly.c_str()), INVALID_FILE_ATTRIBUTES);
  // ...but exists for the scan, whichever view holds it; a file in neither does not.
  FileSystem& files = SystemFileSystem();
  EXPECT_TRUE(files.FileExists(nativeOnly));
  EXPECT_TRUE(files.FileExists(wowOnly));
  EXPECT_FALSE(files.FileExists(WindowsFolder() + "\\System32\\morvane-in-neither.txt"));
  EXPECT_TRUE(files.FolderExists(WindowsFolder() + "\\system32\\drivers"));
  EXPECT_FALSE(files.FolderExists(nativeOnly));
  DeleteFileA(wowOnly.c_str());
}

// A scratch folder, with a folder per name of the names table and, where the twin can name a file,
// per twin.
class NamesOnRealFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    scratch_ = Narrow(temp) + "morvane-names-" + std::to_string(GetCurrentProcessId());
    RemoveTree(Widen(scratch_));  // left by a run that was stopped
    ASSERT_TRUE(CreateDirectoryW(Widen(scratch_).c_str(), nullptr));
  }
  void TearDown() override {
    // A program started from here may still be ending, and its file cannot go until it has.
    for (int i = 0; i < 100 && Exists(scratch_); ++i) {
      RemoveTree(Widen(scratch_));
      if (Exists(scratch_)) Sleep(50);
    }
    EXPECT_FALSE(Exists(scratch_));
  }
  static std::vector<std::string> NamesAndTwins() {
    std::vector<std::string> names;
    for (const testing::LookAlikeName& row : testing::LookAlikeNames()) {
      names.push_back(row.name);
      if (row.twinIsFileName) names.push_back(row.twin);
    }
    return names;
  }
  // Waits for the probe's report; "(none)" when none came.
  static std::string ProbeReport(const std::string& file) {
    for (int i = 0; i < 500; ++i) {
      const std::string report = ReadNamedFile(file);
      if (report != "(missing)" && !report.empty()) return report;
      Sleep(10);
    }
    return "(none)";
  }

  std::string scratch_;
};

// The scan asks whether the file a registry text names exists, through its remembered answers:
// each name's file is there and its other file is missing, exactly, and never the twin's answer.
TEST_F(NamesOnRealFiles, ExistenceAnswersAreExactForEveryNameAndItsTwin) {
  for (const testing::LookAlikeName& row : testing::LookAlikeNames()) {
    ASSERT_TRUE(MakeFile(scratch_ + "\\" + row.name + "\\there.exe")) << row.what;
    if (!row.twinIsFileName) continue;
    // The twin holds what the name lacks: a look-alike's answer would be the wrong one.
    ASSERT_TRUE(MakeFile(scratch_ + "\\" + row.twin + "\\gone.exe")) << row.what;
  }
  FileAnswers answers(SystemFileSystem());
  for (const testing::LookAlikeName& row : testing::LookAlikeNames()) {
    const std::string folder = scratch_ + "\\" + row.name;
    EXPECT_EQ(answers.Look(folder + "\\there.exe"), PathKind::File) << row.what;
    EXPECT_EQ(answers.Look(folder + "\\gone.exe"), PathKind::Missing) << row.what;
    EXPECT_EQ(answers.Look(folder), PathKind::Folder) << row.what;
    EXPECT_EQ(answers.Look(folder + "-gone\\gone.exe"), PathKind::Missing) << row.what;
    // The variables a registry text names are read as they are set.
    ASSERT_TRUE(SetEnvironmentVariableW(L"MORVANE_NAME", Widen(folder).c_str()));
    EXPECT_EQ(answers.Variable("MORVANE_NAME"), std::optional<std::string>(folder)) << row.what;
    if (!row.twinIsFileName) continue;
    EXPECT_EQ(answers.Look(scratch_ + "\\" + row.twin + "\\there.exe"), PathKind::Missing)
        << row.what;
    EXPECT_EQ(answers.Look(scratch_ + "\\" + row.twin + "\\gone.exe"), PathKind::File) << row.what;
  }
  SetEnvironmentVariableW(L"MORVANE_NAME", nullptr);
  // A text that is no UTF-8 (a name's bytes in some code page) names nothing exactly: it is never
  // answered missing.
  EXPECT_EQ(answers.Look(scratch_ + "\\Caf\xE9\\gone.exe"), PathKind::Unknown);
  EXPECT_EQ(answers.Look(scratch_ + "\\\xEF\xBF\xBD\\gone.exe"), PathKind::Missing);  // U+FFFD
}

struct ListedSink final : CollectionSink {
  bool BetweenFiles() override { return true; }
  void AddFile(const ListedFile& file) override { files.push_back(file); }
  void AddLine(const std::string&) override {}
  void FolderRefused(const std::string&) override {}
  std::vector<ListedFile> files;
};

// TEMP, itself named in three scripts, holds a file and a folder of every name and twin: each
// file is listed once as itself, with a size of its own (a look-alike's would change the sum),
// and Clear deletes each and counts truly.
TEST_F(NamesOnRealFiles, TempFilesOfEveryNameAreListedSizedAndDeletedAsThemselves) {
  const std::string tempFolder = scratch_ + "\\Temp-\xC5\x81\xCE\xA9\xE6\x97\xA5";
  std::multiset<std::string> seeded;
  for (const std::string& name : NamesAndTwins())
    for (const std::string& file :
         {tempFolder + "\\" + name + ".tmp", tempFolder + "\\" + name + "\\a.tmp"}) {
      ASSERT_TRUE(MakeFile(file, static_cast<long long>(seeded.size() + 1) * 1024));
      seeded.insert(file);
    }
  wchar_t oldTemp[MAX_PATH * 4] = {};
  GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH * 4);
  ASSERT_TRUE(SetEnvironmentVariableW(L"TEMP", Widen(tempFolder).c_str()));
  // TEMP as the collection resolves and walks it (the Prefetch folder is another test's).
  const CleanedFolder temp = ResolveTempFolder(SystemFolderApi(), SystemFileTree());
  const std::string shown = GetSpecialFolderPath(SystemFolderApi(), nullptr, kFolderTemp);
  SetEnvironmentVariableW(L"TEMP", oldTemp);
  EXPECT_EQ(temp.problem, "");
  EXPECT_EQ(shown, tempFolder + "\\");
  ListedSink sink;
  TotalSizeMb = 0;
  ASSERT_TRUE(CollectFiles(SystemFileTree(), temp.location, sink, shown));
  std::multiset<std::string> listed;
  for (const ListedFile& file : sink.files) listed.insert(file.Line());
  EXPECT_EQ(listed, seeded);
  EXPECT_DOUBLE_EQ(TotalSizeMb, seeded.size() * (seeded.size() + 1) / 2 / 1024.0);
  const ClearOutcome outcome = DeleteListedFiles(SystemFileTree(), sink.files);
  EXPECT_EQ(outcome.deleted, seeded.size());
  EXPECT_EQ(outcome.kept, 0u);
  for (const std::string& file : seeded) EXPECT_FALSE(Exists(file)) << file;
  for (const std::string& name : NamesAndTwins()) EXPECT_TRUE(Exists(tempFolder + "\\" + name));
}

// An uninstall command that names a program under a folder of each name finds it, and it starts
// exactly that program, beside a twin folder holding a program of the same name; so does the
// start through the shell.
TEST_F(NamesOnRealFiles, ProgramsUnderEveryNameStartExactly) {
  // A copy of this program, linked into each folder (the running program's own file could not be
  // deleted afterwards).
  wchar_t self[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  ASSERT_GT(length, 0u);
  const std::wstring copy = Widen(scratch_ + "\\probe.exe");
  ASSERT_TRUE(CopyFileW(self, copy.c_str(), TRUE));
  for (const std::string& name : NamesAndTwins()) {
    const std::wstring program = Widen(scratch_ + "\\" + name + "\\uninst.exe");
    ASSERT_TRUE(CreateDirectoryW(Widen(scratch_ + "\\" + name).c_str(), nullptr));
    ASSERT_TRUE(CreateHardLinkW(program.c_str(), copy.c_str(), nullptr) ||
                CopyFileW(copy.c_str(), program.c_str(), TRUE));
  }
  int reports = 0;
  for (const testing::LookAlikeName& row : testing::LookAlikeNames()) {
    const std::string program = scratch_ + "\\" + row.name + "\\uninst.exe";
    const std::string report = scratch_ + "\\report" + std::to_string(++reports);
    const std::optional<ProgramStart> start =
        ResolveCommand("\"" + program + "\" --probe \"" + report + "\"", {},
                       [](const std::string& path) { return SystemFileSystem().FileExists(path); });
    ASSERT_TRUE(start.has_value()) << row.what;
    EXPECT_EQ(start->program, program) << row.what;
    EXPECT_EQ(StartProgram(SystemProcess(), nullptr, start->program, start->commandLine), 0)
        << row.what;
    EXPECT_EQ(ProbeReport(report), program) << row.what;

    const std::string shellReport = scratch_ + "\\report" + std::to_string(++reports);
    EXPECT_EQ(
        SystemProcess().ShellStartProgram(nullptr, program, "--probe \"" + shellReport + "\""), 0)
        << row.what;
    EXPECT_EQ(ProbeReport(shellReport), program) << row.what;
  }
}

}  // namespace
}  // namespace morvane
