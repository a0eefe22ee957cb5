// The file-system questions, the unnecessary files and the start of programs on the real (Wine)
// file system of the test prefix.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <map>
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

TEST(SystemFileSystem, FilesFoldersAndDrives) {
  FileSystem& files = SystemFileSystem();
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string win = windows;
  EXPECT_TRUE(files.FileExists(win + "\\notepad.exe"));
  EXPECT_FALSE(files.FileExists(win));  // a folder is no file
  EXPECT_TRUE(files.FolderExists(win));
  EXPECT_FALSE(files.FolderExists(win + "\\notepad.exe"));
  EXPECT_FALSE(files.FileExists(win + "\\no-such-file.exe"));
  EXPECT_FALSE(files.FolderExists(win + "\\no-such-folder"));
  EXPECT_NE(files.DriveSerial(win[0]), 0u);
  EXPECT_EQ(files.DriveSerial('Q'), 0u);  // no volume
  EXPECT_EQ(files.DriveSerial('"'), 0u);
  EXPECT_EQ(files.DriveSerial('%'), 0u);
  EXPECT_EQ(files.DriveSerial('7'), 0u);
  EXPECT_EQ(Narrow(static_cast<const wchar_t*>(nullptr)), "");  // a text the system left out
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

// A path no system can name is one that cannot be looked at, not a missing one; variables come
// from the program's environment, whatever their length.
TEST(SystemFileSystem, OverlongPathsAndVariables) {
  FileSystem& files = SystemFileSystem();
  EXPECT_EQ(files.Look("C:\\" + std::string(40000, 'x')), PathKind::Unknown);
  const std::string value(1000, 'v');
  ASSERT_TRUE(SetEnvironmentVariableA("MVFILESTEST", value.c_str()));
  EXPECT_EQ(files.Variable("mvfilestest"), std::optional<std::string>(value));
  SetEnvironmentVariableA("MVFILESTEST", nullptr);
  EXPECT_EQ(files.Variable("MVFILESTEST"), std::nullopt);
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
  static bool MakeFolder(const std::string& path) {
    return CreateDirectoryW(Widen(path).c_str(), nullptr) != FALSE;
  }
  static bool MakeFile(const std::string& path, std::int64_t size) {
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return sized;
  }
  static bool Exists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
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
    ASSERT_TRUE(MakeFolder(scratch_ + "\\" + row.name)) << row.what;
    ASSERT_TRUE(MakeFile(scratch_ + "\\" + row.name + "\\there.exe", 0)) << row.what;
    if (!row.twinIsFileName) continue;
    // The twin holds what the name lacks: a look-alike's answer would be the wrong one.
    ASSERT_TRUE(MakeFolder(scratch_ + "\\" + row.twin)) << row.what;
    ASSERT_TRUE(MakeFile(scratch_ + "\\" + row.twin + "\\gone.exe", 0)) << row.what;
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

// The backup file is created under exactly the name given, beside a twin that already holds a
// file of that name, which stays as it was; it reads back from that name.
TEST_F(NamesOnRealFiles, TheBackupFileIsWrittenAndReadUnderItsExactName) {
  FileSystem& files = SystemFileSystem();
  for (const std::string& name : NamesAndTwins()) ASSERT_TRUE(MakeFolder(scratch_ + "\\" + name));
  for (const testing::LookAlikeName& row : testing::LookAlikeNames()) {
    if (row.twinIsFileName) {
      ASSERT_TRUE(files.WriteWholeFile(scratch_ + "\\" + row.twin + "\\kopia.reg", "twin"));
    }
  }
  for (const testing::LookAlikeName& row : testing::LookAlikeNames()) {
    const std::string file = scratch_ + "\\" + row.name + "\\kopia.reg";
    const std::string text = std::string("Morvane v1.0\r\n") + row.what + "\r\n";
    ASSERT_TRUE(files.WriteWholeFile(file, text)) << row.what;
    EXPECT_EQ(ReadNamedFile(file), text) << row.what;
    // Read back as Restore reads it, through the seam, by the exact name.
    {
      const std::unique_ptr<FileReader> reader = files.OpenForReading(file);
      ASSERT_TRUE(reader) << row.what;
      char read[256];
      const long long got = reader->Read(read, sizeof read);
      EXPECT_EQ(std::string(read, got > 0 ? static_cast<std::size_t>(got) : 0), text) << row.what;
    }
    // Written again: replaced whole.
    ASSERT_TRUE(files.WriteWholeFile(file, "x")) << row.what;
    EXPECT_EQ(ReadNamedFile(file), "x") << row.what;
    if (row.twinIsFileName) {
      EXPECT_EQ(ReadNamedFile(scratch_ + "\\" + row.twin + "\\kopia.reg"), "twin") << row.what;
    }
  }
  EXPECT_FALSE(files.WriteWholeFile(scratch_ + "\\missing\\kopia.reg", "x"));
  EXPECT_EQ(files.OpenForReading(scratch_ + "\\missing.reg"), nullptr);
  EXPECT_EQ(files.OpenForReading(scratch_), nullptr) << "a folder is no file";
}

// Records the size the walk read for each file.
class SizeRecorder final : public FileTree {
 public:
  explicit SizeRecorder(FileTree& tree) : tree_(tree) {}
  bool ListFolder(const std::string& folder, const std::function<bool(const FolderEntry&)>& each,
                  long* error) override {
    return tree_.ListFolder(folder, each, error);
  }
  std::int64_t FileSize(const std::string& path) override {
    const std::int64_t size = tree_.FileSize(path);
    sizes.emplace(path, size);
    return size;
  }
  Removal RemoveFile(const std::string& path,
                     const std::function<bool(const std::string&)>& inside) override {
    return tree_.RemoveFile(path, inside);
  }
  ResolvedFolder ResolveFolder(const std::string& path) override {
    return tree_.ResolveFolder(path);
  }
  std::unique_ptr<FolderHold> HoldPlainFolder(const std::string& path) override {
    return tree_.HoldPlainFolder(path);
  }
  std::multimap<std::string, std::int64_t> sizes;

 private:
  FileTree& tree_;
};

struct ListedSink final : CollectionSink {
  bool BetweenFiles() override { return true; }
  void AddFile(const ListedFile& file) override { files.push_back(file); }
  void AddLine(const std::string&) override {}
  void FolderRefused(const std::string&) override {}
  std::vector<ListedFile> files;
};

// TEMP, itself named in three scripts, holds a file and a folder of every name and twin: each
// file is listed once as itself, with its own size, and Clear deletes each and counts truly.
TEST_F(NamesOnRealFiles, TempFilesOfEveryNameAreListedSizedAndDeletedAsThemselves) {
  const std::string tempFolder = scratch_ + "\\Temp-\xC5\x81\xCE\xA9\xE6\x97\xA5";
  ASSERT_TRUE(MakeFolder(tempFolder));
  std::multimap<std::string, std::int64_t> seeded;
  std::int64_t kilobytes = 0;
  for (const std::string& name : NamesAndTwins()) {
    const std::string file = tempFolder + "\\" + name + ".tmp",
                      inner = tempFolder + "\\" + name + "\\a.tmp";
    ASSERT_TRUE(MakeFolder(tempFolder + "\\" + name));
    ASSERT_TRUE(MakeFile(file, ++kilobytes * 1024));
    ASSERT_TRUE(MakeFile(inner, ++kilobytes * 1024));
    seeded.emplace(file, (kilobytes - 1) * 1024);
    seeded.emplace(inner, kilobytes * 1024);
  }
  wchar_t oldTemp[MAX_PATH * 4] = {};
  GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH * 4);
  ASSERT_TRUE(SetEnvironmentVariableW(L"TEMP", Widen(tempFolder).c_str()));
  // TEMP as the collection resolves and walks it (the Prefetch folder is another test's).
  SizeRecorder tree(SystemFileTree());
  const CleanedFolder temp = ResolveTempFolder(SystemFolderApi(), tree);
  const std::string shown = GetSpecialFolderPath(SystemFolderApi(), nullptr, kFolderTemp);
  SetEnvironmentVariableW(L"TEMP", oldTemp);
  EXPECT_EQ(temp.problem, "");
  EXPECT_EQ(shown, tempFolder + "\\");
  ListedSink sink;
  TotalSizeMb = 0;
  ASSERT_TRUE(CollectFiles(tree, temp.location, sink, shown));
  EXPECT_EQ(tree.sizes, seeded);
  std::multiset<std::string> listed, expected;
  for (const ListedFile& file : sink.files) listed.insert(file.Line());
  for (const auto& [path, size] : seeded) expected.insert(path);
  EXPECT_EQ(listed, expected);
  EXPECT_DOUBLE_EQ(TotalSizeMb, kilobytes * (kilobytes + 1) / 2 / 1024.0);

  const ClearOutcome outcome = DeleteListedFiles(SystemFileTree(), sink.files);
  EXPECT_EQ(outcome.deleted, seeded.size());
  EXPECT_EQ(outcome.kept, 0u);
  ListedSink left;  // what a collection would find now
  ASSERT_TRUE(CollectFiles(SystemFileTree(), temp.location, left, shown));
  EXPECT_EQ(left.files.size(), 0u);
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
    ASSERT_TRUE(MakeFolder(scratch_ + "\\" + name));
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
