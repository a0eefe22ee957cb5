// The unnecessary-files page on real files: TEMP points at a scratch folder of the test
// prefix's drive, and the Windows folder's Prefetch folder is made and removed by the fixture.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <thread>

#include "CleanReg/SpecialFolders.h"
#include "platform/FileTree.h"
#include "platform/WideText.h"
#include "tests/native/fake_file_tree.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

using namespace morvane::testing;

const std::string kSuffix = "Mb it is ready to removal - The provisional size..";

std::string Env(const char* name) {
  char buffer[1024] = {};
  GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return buffer;
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFile(const std::string& path, long long size, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryW(Widen(path.substr(0, at)).c_str(), nullptr);
  HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            attributes, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  LARGE_INTEGER end;
  end.QuadPart = size;
  SetFilePointerEx(file, end, nullptr, FILE_BEGIN);  // the gap stays sparse on the Unix side
  SetEndOfFile(file);
  CloseHandle(file);
}

std::string UnixName(const std::string& path) {
  using Call = char*(CDECL*)(const wchar_t*);
  auto call = reinterpret_cast<Call>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  const char* name = call == nullptr ? nullptr : call(Widen(path).c_str());
  return name == nullptr ? "" : name;
}

// Starts a Unix program; it is not waited for through its handle.
bool RunUnix(std::string command) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const std::string program = "Z:" + command.substr(0, command.find(' '));
  if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// A Unix symbolic link at link pointing at target (a Unix path when it begins with '/'), made by
// the system's ln. Wine shows a link to a folder as a folder that is a reparse point, and a link
// to a file as a plain file.
bool MakeUnixLink(const std::string& link, const std::string& target, bool folder = true) {
  const std::string to = target[0] == '/' ? target : UnixName(target);
  const std::string at = link[0] == '/' ? link : UnixName(link);
  if (to.empty() || at.empty() || !RunUnix("/bin/ln -sfn \"" + to + "\" \"" + at + "\""))
    return false;
  if (link[0] == '/') return true;  // the caller waits for it in its Windows form
  for (int i = 0; i < 500 && !Exists(link); ++i) Sleep(10);
  const DWORD folderLink = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  return (GetFileAttributesA(link.c_str()) & folderLink) == (folder ? folderLink : 0);
}

std::string ShortPath(const std::string& path) {
  char buffer[MAX_PATH] = {};
  const DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? buffer : path;
}

class FilesPageTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    oldTemp_ = Env("TEMP");
    const std::string id = std::to_string(GetCurrentProcessId());
    temp_ = oldTemp_ + "\\morvane-files-" + id;
    outside_ = oldTemp_ + "\\morvane-outside-" + id;
    prefetch_ = WindowsFolder() + "\\Prefetch";
    CreateDirectoryA(temp_.c_str(), nullptr);
    CreateDirectoryA(outside_.c_str(), nullptr);
    SetEnvironmentVariableA("TEMP", temp_.c_str());
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    SetEnvironmentVariableA("TEMP", oldTemp_.c_str());
    RemoveTree(Widen(temp_));
    RemoveTree(Widen(outside_));
    RemoveTree(Widen(prefetch_));
  }
  // The main window on the files page, its first collection done.
  TMainForm& FilesForm() {
    TMainForm& f = Form();
    EXPECT_TRUE(ClickTab(f, "Unnecessary files"));
    EXPECT_TRUE(Idle(f));
    return f;
  }
  bool Idle(TMainForm& f) {
    return PumpUntil(f, [&] { return !f.FilesPage().Collecting(); });
  }
  // The list's lines, read back wide.
  std::vector<std::string> Lines(TMainForm& f) {
    std::vector<std::string> lines;
    const int count = static_cast<int>(SendMessageW(f.ListBox1, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      std::wstring line(static_cast<std::size_t>(SendMessageW(f.ListBox1, LB_GETTEXTLEN, i, 0)),
                        L'\0');
      SendMessageW(f.ListBox1, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
      lines.push_back(Narrow(line));
    }
    return lines;
  }
  // The files Clear deletes, by the lines that name them, sorted.
  std::vector<std::string> ListedPaths(TMainForm& f) {
    std::vector<std::string> paths;
    for (const ListedFile& file : f.FilesPage().Listed()) paths.push_back(file.Line());
    std::sort(paths.begin(), paths.end());
    return paths;
  }
  // The file lines, sorted (the walk's order is the file system's).
  std::vector<std::string> Files(TMainForm& f) {
    std::vector<std::string> lines = Lines(f);
    EXPECT_GE(lines.size(), 3u);
    if (lines.size() < 3) return {};
    EXPECT_EQ(lines[lines.size() - 3], "");
    EXPECT_EQ(lines[lines.size() - 2], std::string(70, '='));
    lines.resize(lines.size() - 3);
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  std::string Total(TMainForm& f) {
    const std::vector<std::string> lines = Lines(f);
    return lines.empty() ? "" : lines.back();
  }
  // After a collection: Refresh and Clear enabled, every tab shown.
  void ExpectIdleAfterCollection(TMainForm& f) {
    EXPECT_FALSE(f.FilesPage().Collecting());
    EXPECT_TRUE(f.ZelButton1->Enabled());
    EXPECT_TRUE(f.ZelButton3->Enabled());
    EXPECT_EQ(TabCaptions(f).size(), 3u);
    EXPECT_EQ(f.FilesPage().Listed().size() + 3, Lines(f).size());
  }
  void Clear(TMainForm& f) {
    ClickWindow(f, f.ZelButton3->Handle());
    EXPECT_EQ(Lines(f).size(), 0u);
    EXPECT_FALSE(f.ZelButton3->Enabled());
    EXPECT_TRUE(f.ZelButton1->Enabled());
  }
  // Posts a click without letting it run yet.
  void PostClick(HWND hwnd, int x, int y) {
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  void PostTabClick(TMainForm& f, int page) {
    TPageControl& pages = *f.PageControl1;
    for (int tab = 0; tab < pages.TabCount(); ++tab) {
      if (pages.PageOfTab(tab) != page) continue;
      RECT r;
      TabCtrl_GetItemRect(pages.Handle(), tab, &r);
      PostClick(pages.Handle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
  }
  void PostButtonClick(TZelButton& button) { PostClick(button.Handle(), 10, 10); }

  std::string oldTemp_, temp_, outside_, prefetch_;
};

TEST_F(FilesPageTest, NeitherFolderGivesExactlyTheClosingLinesAndClearEmptiesThem) {
  SetEnvironmentVariableA("TEMP", (temp_ + "\\missing").c_str());
  TMainForm& f = FilesForm();
  EXPECT_EQ(Lines(f), (std::vector<std::string>{"", std::string(70, '='), "0.00" + kSuffix}));
  ExpectIdleAfterCollection(f);
  EXPECT_EQ(f.StatusText(), "TEMP is not cleaned: the folder does not exist.");
  Clear(f);
  EXPECT_EQ(f.StatusText(), "Files deleted: 0. Could not be deleted: 0.");
}

TEST_F(FilesPageTest, SizesCountWholeKilobytesWithTheUsersSeparatorAndSixtyFourBits) {
  char oldSeparator[8] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, oldSeparator, sizeof oldSeparator);
  struct Case {
    const char* separator;
    long long extra;  // a further file's size, 0 for none
    std::string total;
  };
  const Case cases[] = {{".", 0, "1.00"}, {",", 0, "1,00"}, {",", 3LL << 30, "3073,00"}};
  for (const Case& c : cases) {
    SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, c.separator);
    MakeFile(temp_ + "\\a.bin", 524288);
    MakeFile(temp_ + "\\b.bin", 524288);
    MakeFile(temp_ + "\\small.txt", 1023);
    if (c.extra) MakeFile(temp_ + "\\sparse.img", c.extra);
    // Held open without sharing: listed, counts nothing, survives Clear.
    MakeFile(temp_ + "\\held.log", 4 << 20);
    HANDLE held = CreateFileA((temp_ + "\\held.log").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TMainForm& f = FilesForm();
    EXPECT_EQ(Total(f), c.total + kSuffix) << c.separator;
    EXPECT_EQ(Files(f).size(), c.extra ? 5u : 4u);
    ExpectIdleAfterCollection(f);
    Clear(f);
    EXPECT_EQ(f.StatusText(), std::string("Files deleted: ") + (c.extra ? "4" : "3") +
                                  ". Could not be deleted: 1.");
    EXPECT_TRUE(Exists(temp_ + "\\held.log"));
    EXPECT_FALSE(Exists(temp_ + "\\a.bin"));
    EXPECT_FALSE(Exists(temp_ + "\\small.txt"));
    CloseHandle(held);
    form_.reset();
    DeleteFileA((temp_ + "\\held.log").c_str());
  }
  SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, oldSeparator);
}

TEST_F(FilesPageTest, TempTreeWholeAndPrefetchFilesOnlySubfoldersNeverListedNorDeleted) {
  const std::vector<std::string> temp = {temp_ + "\\plain.tmp", temp_ + "\\sub\\hidden.dat",
                                         temp_ + "\\sub\\deeper\\system.sys",
                                         temp_ + "\\sub\\deeper\\readonly.txt"};
  MakeFile(temp[0], 10);
  MakeFile(temp[1], 10, FILE_ATTRIBUTE_HIDDEN);
  MakeFile(temp[2], 10, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
  MakeFile(temp[3], 10);
  CreateDirectoryA((temp_ + "\\empty").c_str(), nullptr);
  const std::vector<std::string> prefetch = {prefetch_ + "\\A.PF", prefetch_ + "\\b.pf",
                                             prefetch_ + "\\old\\c.Pf"};
  for (const std::string& path : prefetch) MakeFile(path, 10);
  for (const char* name : {"\\c.pf.bak", "\\readme", "\\old\\d.pff"})
    MakeFile(prefetch_ + name, 10);

  TMainForm& f = FilesForm();
  std::vector<std::string> expected = temp;
  expected.insert(expected.end(), prefetch.begin(), prefetch.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Files(f), expected);
  ExpectIdleAfterCollection(f);
  Clear(f);
  for (const std::string& path : expected) EXPECT_FALSE(Exists(path)) << path;
  for (const char* folder : {"\\sub", "\\sub\\deeper", "\\empty"})
    EXPECT_TRUE(Exists(temp_ + folder)) << folder;
  EXPECT_TRUE(Exists(prefetch_ + "\\old\\d.pff"));
  EXPECT_TRUE(Exists(prefetch_ + "\\readme"));

  // Leaving the page and coming back collects anew, from zero.
  MakeFile(temp_ + "\\one.bin", 1 << 20);
  ASSERT_TRUE(ClickTab(f, "Register"));
  ASSERT_TRUE(ClickTab(f, "Unnecessary files"));
  ASSERT_TRUE(Idle(f));
  ASSERT_TRUE(ClickTab(f, "Deinstall"));
  ASSERT_TRUE(ClickTab(f, "Unnecessary files"));
  ASSERT_TRUE(Idle(f));
  EXPECT_EQ(Files(f), std::vector<std::string>{temp_ + "\\one.bin"});
  EXPECT_EQ(Total(f), "1.00" + kSuffix);
}

// Prefetch refused for want of rights is said after anything said of TEMP, which is collected
// all the same; an elevated program says nothing of it, nor of an empty Prefetch, nor of Prefetch
// refused for another reason (here a sharing violation).
TEST_F(MainWindowTest, PrefetchRefusedForWantOfRightsIsSaidAfterTemp) {
  const std::string prefetch = "C:\\Windows\\Prefetch",
                    rights = "Prefetch is not cleaned: administrator rights are needed.";
  const struct {
    bool elevated;
    std::set<std::string> unreadable, unlisted;
    const char* temp;
    std::string status;
    long refusal = kFileAccessDenied;
  } cases[] = {
      {false, {}, {prefetch + "\\"}, "C:\\Users\\me\\Temp", rights},
      {false,
       {prefetch},
       {},
       "C:\\Gone",
       "TEMP is not cleaned: the folder does not exist. " + rights},
      {true, {prefetch}, {prefetch + "\\"}, "C:\\Users\\me\\Temp", ""},
      {false, {}, {}, "C:\\Users\\me\\Temp", ""},
      {false, {prefetch}, {}, "C:\\Users\\me\\Temp", "", 32},
      {false, {}, {prefetch + "\\"}, "C:\\Users\\me\\Temp", "", 32},
  };
  for (const auto& c : cases) {
    FakeFileTree tree;
    FakeSystemFolders folders;
    tree.roots = {"C:\\Users\\me\\Temp", "C:\\Windows"};
    tree.AddFile("C:\\Users\\me\\Temp\\a.tmp", 10);
    tree.AddFolder(prefetch);
    tree.unreadable = c.unreadable;
    tree.unlisted.insert(c.unlisted.begin(), c.unlisted.end());
    tree.refusal = c.refusal;
    folders.variables["%TEMP%"] = c.temp;
    services_.elevated = c.elevated;
    TMainForm& f = Form();
    f.Services.Tree = &tree;
    f.Services.Folders = &folders;
    ASSERT_TRUE(ClickTab(f, "Unnecessary files"));
    ASSERT_TRUE(PumpUntil(f, [&] { return !f.FilesPage().Collecting(); }));
    EXPECT_EQ(f.StatusText(), c.status);
    EXPECT_EQ(f.FilesPage().Listed().size(), std::string(c.temp) == "C:\\Gone" ? 0u : 1u);
    form_.reset();
  }
}

TEST_F(FilesPageTest, LinksAreNeitherWalkedNorDeletedThrough) {
  MakeFile(outside_ + "\\keep.txt", 10);
  MakeFile(outside_ + "\\moved.txt", 10);
  MakeFile(outside_ + "\\document.txt", 10);
  MakeFile(outside_ + "\\trace.pf", 10);
  ASSERT_TRUE(MakeUnixLink(temp_ + "\\link", outside_));
  // Links to files: Wine shows them as plain files, and deleting by name removes the target.
  ASSERT_TRUE(MakeUnixLink(temp_ + "\\document-link.txt", outside_ + "\\document.txt", false));
  CreateDirectoryA(prefetch_.c_str(), nullptr);
  ASSERT_TRUE(MakeUnixLink(prefetch_ + "\\trace.pf", outside_ + "\\trace.pf", false));
  MakeFile(temp_ + "\\swapped\\moved.txt", 10);
  MakeFile(temp_ + "\\mine.txt", 10);
  TMainForm& f = FilesForm();
  std::vector<std::string> listed = {prefetch_ + "\\trace.pf", temp_ + "\\document-link.txt",
                                     temp_ + "\\mine.txt", temp_ + "\\swapped\\moved.txt"};
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(Files(f), listed);
  // Between the collection and Clear the folder is swapped for a link to the outside folder,
  // which holds a file of the same name.
  ASSERT_TRUE(MoveFileA((temp_ + "\\swapped").c_str(), (temp_ + "\\was-swapped").c_str()));
  ASSERT_TRUE(MakeUnixLink(temp_ + "\\swapped", outside_));
  ASSERT_TRUE(Exists(temp_ + "\\swapped\\moved.txt"));
  Clear(f);
  EXPECT_EQ(f.StatusText(), "Files deleted: 1. Could not be deleted: 3.");
  for (const char* name : {"\\keep.txt", "\\moved.txt", "\\document.txt", "\\trace.pf"})
    EXPECT_TRUE(Exists(outside_ + name)) << name;
  EXPECT_TRUE(Exists(temp_ + "\\was-swapped\\moved.txt"));
  EXPECT_FALSE(Exists(temp_ + "\\mine.txt"));

  // Clear holds each folder while it deletes below it; links, files and missing folders are not
  // held. (Windows then refuses to rename or move a held folder; Wine does not enforce that for
  // folders, so only the choice of what is held can be seen here.)
  FileTree& tree = SystemFileTree();
  EXPECT_NE(tree.HoldPlainFolder(temp_ + "\\was-swapped"), nullptr);
  EXPECT_EQ(tree.HoldPlainFolder(temp_ + "\\swapped"), nullptr);
  EXPECT_EQ(tree.HoldPlainFolder(outside_ + "\\keep.txt"), nullptr);
  EXPECT_EQ(tree.HoldPlainFolder(temp_ + "\\missing"), nullptr);
}

// Another program swaps a folder for a link while Clear runs: nothing outside goes.
TEST_F(FilesPageTest, FolderSwappedForALinkDuringClearLosesNothingOutside) {
  constexpr int kFiles = 300;
  for (const char* folder : {"\\one", "\\two"}) CreateDirectoryA((temp_ + folder).c_str(), nullptr);
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "\\f" + std::to_string(i);
    for (const std::string& folder : {temp_ + "\\one", temp_ + "\\two", outside_})
      CloseHandle(CreateFileA((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                              nullptr));
  }
  TMainForm& f = FilesForm();
  ASSERT_EQ(Files(f).size(), 2u * kFiles);
  // The folder walked second is swapped for a link to the outside folder, which holds files of
  // the same names, by a Unix program that waits for Clear to delete its first file: Clear has
  // checked and holds it by then.
  const std::vector<ListedFile>& listed = f.FilesPage().Listed();
  std::string second = listed.back().path;
  second.resize(second.rfind('\\'));
  const std::string first = listed[kFiles].path;
  ASSERT_EQ(first.substr(0, first.rfind('\\')), second);
  const std::string script = "while [ -e '" + UnixName(first) + "' ]; do :; done; mv '" +
                             UnixName(second) + "' '" + UnixName(second) + "-was'; ln -s '" +
                             UnixName(outside_) + "' '" + UnixName(second) + "'";
  ASSERT_TRUE(RunUnix("/bin/sh -c \"" + script + "\""));
  ClickWindow(f, f.ZelButton3->Handle());
  for (int i = 0; i < 500 && !Exists(second + "-was"); ++i) Sleep(10);
  int outside = 0, swappedLeft = 0;
  for (int i = 0; i < kFiles; ++i) {
    outside += Exists(outside_ + "\\f" + std::to_string(i));
    swappedLeft += Exists(second + "-was\\f" + std::to_string(i));
  }
  EXPECT_EQ(outside, kFiles);
  EXPECT_GT(swappedLeft, 0);  // the swap came while Clear was inside the folder
  // A file opened before the swap and deleted through its handle after it may be counted while
  // Wine, which deletes by name when the handle closes, finds its name gone: one file either way.
  int deleted = -1, kept = -1;
  ASSERT_EQ(std::sscanf(f.StatusText().c_str(), "Files deleted: %d. Could not be deleted: %d.",
                        &deleted, &kept),
            2);
  EXPECT_EQ(deleted + kept, 2 * kFiles);
  EXPECT_LE(std::abs(deleted - (2 * kFiles - swappedLeft)), 1);
}

TEST_F(FilesPageTest, TempIsJudgedWhereItLeadsNotHowItIsSpelled) {
  MakeFile(prefetch_ + "\\x.pf", 10);
  const std::string windows = WindowsFolder();
  const std::string holds = "TEMP is not cleaned: it is or holds a system folder.";
  const std::string inside = "TEMP is not cleaned: it lies inside a system folder.";
  // A link to the Windows folder higher up on TEMP's way.
  ASSERT_TRUE(MakeUnixLink(temp_ + "\\lnk", windows));
  MakeFile(temp_ + "\\lnk-target\\keep.txt", 10);
  ASSERT_TRUE(MakeUnixLink(temp_ + "\\temp-link", temp_ + "\\lnk-target"));
  MakeFile(Env("ProgramData") + "\\MvTemp\\keep.txt", 10);
  CreateDirectoryA((windows + "\\system32\\drivers").c_str(), nullptr);
  const std::pair<std::string, std::string> cases[] = {
      {"", "TEMP is not cleaned: it is not set."},
      {"users\\Temp", "TEMP is not cleaned: its path is not absolute."},
      {"C:\\", "TEMP is not cleaned: it is the root of a drive."},
      {"C:\\" + std::string(300, 'x'), "TEMP is not cleaned: its path is too long."},
      {temp_ + "\\temp-link", "TEMP is not cleaned: it is a link to another folder."},
      {prefetch_ + "\\x.pf", "TEMP is not cleaned: it is not a folder."},
      {windows, holds},
      {windows + ".", holds},
      {windows + ". .", holds},
      // The 32-bit system folder is what a 32-bit program finds in system32 there; spelled
      // otherwise, system32 is the native one, inside the Windows folder.
      {temp_ + "\\lnk\\system32", inside},
      {temp_ + "\\lnk\\Fonts", inside},
      {"C:\\users", holds},
      {Env("USERPROFILE"), holds},
      {ShortPath(Env("ProgramFiles")), holds},
      {Env("ProgramData"), holds},
      {windows + "\\Fonts", inside},
      {windows + "\\system32\\drivers", inside},
      {Env("ProgramFiles") + "\\Common Files", inside},
      {Env("ProgramData") + "\\MvTemp", inside},
      {"C:\\users\\Public", inside},
      {windows + "\\Temp", ""},
  };
  ASSERT_NE(ShortPath(Env("ProgramFiles")), Env("ProgramFiles"));
  for (const auto& [temp, why] : cases) {
    SetEnvironmentVariableA("TEMP", temp.empty() ? nullptr : temp.c_str());
    TMainForm& f = FilesForm();
    EXPECT_EQ(f.StatusText(), why) << temp;
    if (!why.empty()) {
      EXPECT_EQ(Files(f), std::vector<std::string>{prefetch_ + "\\x.pf"}) << temp;
    }
    ExpectIdleAfterCollection(f);
    form_.reset();
  }
  // TEMP named in any script is cleaned as itself, and not its best-fit look-alike, whose files
  // stay.
  const std::string polish = temp_ + "\\\xC5\x81ukasz", omega = polish + "\\\xCE\xA9mega.tmp";
  MakeFile(omega, 10);
  MakeFile(temp_ + "\\Lukasz\\look-alike.txt", 10);
  SetEnvironmentVariableW(L"TEMP", Widen(polish).c_str());
  TMainForm& polishForm = FilesForm();
  EXPECT_EQ(polishForm.StatusText(), "");
  std::vector<std::string> listed = {prefetch_ + "\\x.pf", omega};
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(ListedPaths(polishForm), listed);
  Clear(polishForm);
  EXPECT_EQ(polishForm.StatusText(), "Files deleted: 2. Could not be deleted: 0.");
  EXPECT_FALSE(Exists(omega));
  EXPECT_TRUE(Exists(temp_ + "\\Lukasz\\look-alike.txt"));
  form_.reset();
  MakeFile(prefetch_ + "\\x.pf", 10);
  // A share of this machine, and a drive letter mapped to the Windows folder: Wine names the
  // Windows folder by that letter's root from then on, so the reason given varies; refused
  // either way. Wine names a folder by the drive whose root lies deepest above it, from a list
  // each process refreshes at most once a second: until then, one collection could see the
  // Windows folder under one letter and TEMP under the other. Each step waits until the
  // Windows folder is named by the drive it expects.
  const auto windowsOn = [&windows](const char* drive) {
    for (int i = 0; i < 500; ++i, Sleep(10))
      if (FolderKey(SystemFileTree().ResolveFolder(windows).location).rfind(drive, 0) == 0)
        return true;
    return false;
  };
  const std::string prefix = Env("WINEPREFIX");
  ASSERT_FALSE(prefix.empty());
  ASSERT_TRUE(MakeUnixLink(prefix + "/dosdevices/m:", UnixName(windows)));
  ASSERT_TRUE(windowsOn("m:"));
  for (const char* temp :
       {"\\\\localhost\\c$\\windows", "M:\\", "M:\\system32", "M:\\Fonts", "C:\\windows"}) {
    SetEnvironmentVariableA("TEMP", temp);
    TMainForm& f = FilesForm();
    EXPECT_EQ(f.StatusText().find("TEMP is not cleaned: "), 0u) << temp;
    EXPECT_EQ(Files(f).size(), 1u) << temp;  // the prefetch file alone
    form_.reset();
  }
  ASSERT_TRUE(RunUnix("/bin/rm -f \"" + prefix + "/dosdevices/m:\""));
  ASSERT_TRUE(windowsOn("c:"));
  EXPECT_TRUE(Exists(temp_ + "\\lnk-target\\keep.txt"));
  RemoveTree(Widen(Env("ProgramData") + "\\MvTemp"));
}

TEST_F(FilesPageTest, OneCollectionAtATime) {
  for (int i = 0; i < 300; ++i)
    MakeFile(temp_ + "\\d" + std::to_string(i % 10) + "\\f" + std::to_string(i), 2048);
  const std::string total = "0.59" + kSuffix;  // 300 files of 2 KB
  TMainForm& f = Form();
  // Each step is posted behind the click on the tab, so it arrives while that collection runs.
  struct Case {
    const char* name;
    std::function<void()> during;
    PageRole endRole;
  };
  const Case cases[] = {
      {"Refresh", [&] { PostButtonClick(*f.ZelButton1); }, kRoleFiles},
      {"Refresh twice and Clear",
       [&] {
         PostButtonClick(*f.ZelButton1);
         PostButtonClick(*f.ZelButton1);
         PostButtonClick(*f.ZelButton3);
       },
       kRoleFiles},
      {"leaving", [&] { PostTabClick(f, kRoleRegistry); }, kRoleRegistry},
      {"Refresh while a long list is being emptied",
       [&] {
         // Lines of an earlier collection, so many that emptying them lets messages run.
         for (int i = 0; i < 60000; ++i)
           SendMessageA(f.ListBox1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("stale"));
         PostButtonClick(*f.ZelButton1);
       },
       kRoleFiles},
      {"leaving and coming back",
       [&] {
         PostTabClick(f, kRoleDeinstall);
         PostTabClick(f, kRoleFiles);
       },
       kRoleFiles},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(ClickTab(f, "Register"));
    PostTabClick(f, kRoleFiles);
    c.during();
    Pump(f, 50);
    ASSERT_TRUE(Idle(f)) << c.name;
    Pump(f, 50);
    EXPECT_EQ(f.Role(), c.endRole) << c.name;
    EXPECT_EQ(TabCaptions(f).size(), 3u) << c.name;
    if (c.endRole == kRoleFiles) {
      const std::vector<std::string> files = Files(f);
      EXPECT_EQ(files.size(), 300u) << c.name;
      EXPECT_EQ(std::set<std::string>(files.begin(), files.end()).size(), files.size()) << c.name;
      EXPECT_EQ(Total(f), total) << c.name;
      ExpectIdleAfterCollection(f);
    } else {
      // The abandoned collection wrote no closing lines and left the registry page's buttons alone.
      EXPECT_LT(Lines(f).size(), 300u) << c.name;
      EXPECT_NE(Total(f), total) << c.name;
      EXPECT_EQ(f.ZelButton3->Caption(), "Correct");
      EXPECT_FALSE(f.ZelButton3->Enabled()) << c.name;
      EXPECT_TRUE(f.ZelButton1->Enabled()) << c.name;
    }
  }
  // Clear is no use while Refresh's collection runs, even after a collection had enabled it:
  // the click on Clear arrives inside the collection that the click on Refresh started.
  EXPECT_TRUE(Exists(temp_ + "\\d0\\f0"));
  ASSERT_TRUE(ClickTab(f, "Unnecessary files"));
  ASSERT_TRUE(Idle(f));
  ASSERT_TRUE(f.ZelButton3->Enabled());
  PostButtonClick(*f.ZelButton1);
  PostButtonClick(*f.ZelButton3);
  ASSERT_TRUE(Idle(f));
  EXPECT_TRUE(Exists(temp_ + "\\d9\\f299"));
  EXPECT_EQ(Files(f).size(), 300u);
  ExpectIdleAfterCollection(f);
}

// Names in any script are listed and deleted as themselves, never as their best-fit look-alike;
// paths longer than the system takes are passed over and kept.
TEST_F(FilesPageTest, NamesInAnyScriptAreClearedOverlongPathsAreKept) {
  const std::wstring temp = Widen(temp_);
  const std::string rune = "\xE1\x9A\xA0", foreign = temp_ + "\\" + rune + "\xC4\x81.txt";  // ᚠā
  MakeFile(foreign, 10);
  MakeFile(temp_ + "\\" + rune + "\\inner.txt", 10);
  MakeFile(temp_ + "\\a.txt", 10);  // what a best-fit spelling of the foreign name would give
  // A chain of folders below which paths pass MAX_PATH, made through the long-path prefix.
  std::wstring deep = L"\\\\?\\" + temp;
  for (int i = 0; i < 4; ++i) {
    deep += L"\\" + std::wstring(70, static_cast<wchar_t>(L'k' + i));
    CreateDirectoryW(deep.c_str(), nullptr);
  }
  const std::wstring deepFile = deep + L"\\far.txt";
  CloseHandle(CreateFileW(deepFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_NE(GetFileAttributesW(deepFile.c_str()), INVALID_FILE_ATTRIBUTES);

  TMainForm& f = FilesForm();
  for (const std::string& line : Files(f)) EXPECT_LT(line.size(), 260u) << line;
  std::vector<std::string> listed = {temp_ + "\\a.txt", foreign,
                                     temp_ + "\\" + rune + "\\inner.txt"};
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(ListedPaths(f), listed);
  Clear(f);
  EXPECT_EQ(f.StatusText(), "Files deleted: 3. Could not be deleted: 0.");
  EXPECT_FALSE(Exists(foreign));
  EXPECT_FALSE(Exists(temp_ + "\\" + rune + "\\inner.txt"));
  EXPECT_FALSE(Exists(temp_ + "\\a.txt"));
  EXPECT_NE(GetFileAttributesW(deepFile.c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileW(deepFile.c_str());
  for (int i = 0; i < 4; ++i) {
    RemoveDirectoryW(deep.c_str());
    deep.resize(deep.rfind(L'\\'));
  }
}

}  // namespace
}  // namespace morvane
