// The unnecessary-files page on real files: TEMP points at a scratch folder of the test
// prefix's drive, and the Windows folder's Prefetch folder is made and removed by the fixture.
// The rules themselves are shown over a file tree in memory (unnecessary_files_test); here, what
// only the real file system shows: attributes, sizes, files held open, links, folders swapped
// meanwhile, and the spellings that lead to the system folders.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "CleanReg/SpecialFolders.h"
#include "platform/FileTree.h"
#include "tests/native/fake_file_tree.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

const std::string kSuffix = "Mb it is ready to removal - The provisional size..";

std::string Env(const char* name) {
  char buffer[1024] = {};
  GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return buffer;
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
    for (const std::string& folder : {temp_, outside_, prefetch_}) RemoveTree(Widen(folder));
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
  // The file lines, sorted (the walk's order is the file system's), after checking the closing
  // lines and the state after a collection: Refresh and Clear enabled, every tab shown.
  std::vector<std::string> Files(TMainForm& f) {
    std::vector<std::string> lines = ListBoxTexts(f.ListBox1);
    EXPECT_FALSE(f.FilesPage().Collecting());
    EXPECT_TRUE(f.ZelButton1->Enabled() && f.ZelButton3->Enabled());
    EXPECT_EQ(TabCaptions(f).size(), 3u);
    EXPECT_EQ(f.FilesPage().Listed().size() + 3, lines.size());
    if (lines.size() < 3) return {"(no closing lines)"};
    EXPECT_EQ(lines[lines.size() - 3], "");
    EXPECT_EQ(lines[lines.size() - 2], std::string(70, '='));
    lines.resize(lines.size() - 3);
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  std::string Total(TMainForm& f) {
    const std::vector<std::string> lines = ListBoxTexts(f.ListBox1);
    return lines.empty() ? "" : lines.back();
  }
  // Clear, and the state after it: an empty list, Clear disabled until the next collection.
  void Clear(TMainForm& f, const std::string& status) {
    ClickWindow(f, f.ZelButton3->Handle());
    EXPECT_EQ(ListBoxTexts(f.ListBox1).size(), 0u);
    EXPECT_FALSE(f.ZelButton3->Enabled());
    EXPECT_TRUE(f.ZelButton1->Enabled());
    EXPECT_EQ(f.StatusText(), status);
  }
  // Posts a click on a button or on the tab of a page without letting it run yet.
  static void PostClick(HWND hwnd, int x = 10, int y = 10) {
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  static void PostTabClick(TMainForm& f, int page) {
    TPageControl& pages = *f.PageControl1;
    RECT r;
    for (int tab = 0; tab < pages.TabCount(); ++tab)
      if (pages.PageOfTab(tab) == page && TabCtrl_GetItemRect(pages.Handle(), tab, &r))
        PostClick(pages.Handle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }

  std::string oldTemp_, temp_, outside_, prefetch_;
};

TEST_F(FilesPageTest, NeitherFolderGivesTheClosingLinesAndSaysWhy) {
  SetEnvironmentVariableA("TEMP", (temp_ + "\\missing").c_str());
  TMainForm& f = FilesForm();
  EXPECT_EQ(Files(f), std::vector<std::string>{});
  EXPECT_EQ(Total(f), "0.00" + kSuffix);
  EXPECT_EQ(f.StatusText(), "TEMP is not cleaned: the folder does not exist.");
  Clear(f, "Files deleted: 0. Could not be deleted: 0.");
}

// TEMP's whole tree, hidden and system files too, and Prefetch's .pf files; sizes in 64 bits
// with the user's decimal separator; a file held open is listed, counts nothing and stays;
// Clear deletes files only, never a folder.
TEST_F(FilesPageTest, RealFilesAreListedSizedAndClearedAndFoldersStay) {
  char oldSeparator[8] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, oldSeparator, sizeof oldSeparator);
  SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, ",");
  std::vector<std::string> listed = {
      temp_ + "\\a.bin",        temp_ + "\\sub\\hidden.dat", temp_ + "\\sub\\deeper\\system.sys",
      temp_ + "\\sparse.img",   temp_ + "\\held.log",        prefetch_ + "\\A.PF",
      prefetch_ + "\\old\\c.Pf"};
  const long long sizes[] = {524288, 524288, 1023, 3LL << 30, 4 << 20, 10, 10};
  const DWORD hidden = FILE_ATTRIBUTE_HIDDEN, system = FILE_ATTRIBUTE_SYSTEM | hidden;
  for (std::size_t i = 0; i < listed.size(); ++i)
    ASSERT_TRUE(MakeFile(listed[i], sizes[i], i == 1 ? hidden : i == 2 ? system : 0)) << i;
  for (const std::string& kept : {prefetch_ + "\\readme", prefetch_ + "\\old\\d.pff"})
    ASSERT_TRUE(MakeFile(kept, 10));
  CreateDirectoryA((temp_ + "\\empty").c_str(), nullptr);
  HANDLE held = CreateFileA(listed[4].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  TMainForm& f = FilesForm();
  SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, oldSeparator);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(Files(f), listed);
  EXPECT_EQ(Total(f), "3073,00" + kSuffix);
  Clear(f, "Files deleted: 6. Could not be deleted: 1.");
  CloseHandle(held);
  for (const std::string& path : listed) EXPECT_EQ(Exists(path), path == temp_ + "\\held.log");
  for (const std::string& folder : {temp_ + "\\sub\\deeper", temp_ + "\\empty",
                                    prefetch_ + "\\readme", prefetch_ + "\\old\\d.pff"})
    EXPECT_TRUE(Exists(folder)) << folder;
}

// Prefetch refused for want of rights is said after anything said of TEMP, which is collected
// all the same; an elevated program says nothing of it, nor of an empty Prefetch, nor of Prefetch
// refused for another reason (here a sharing violation).
TEST_F(MainWindowTest, PrefetchRefusedForWantOfRightsIsSaidAfterTemp) {
  const std::string prefetch = "C:\\Windows\\Prefetch", temp = "C:\\Users\\me\\Temp",
                    rights = "Prefetch is not cleaned: administrator rights are needed.";
  const struct {
    bool elevated;
    std::set<std::string> unreadable, unlisted;
    std::string temp, status;
    long refusal = kFileAccessDenied;
  } cases[] = {
      {false, {}, {prefetch + "\\"}, temp, rights},
      {false,
       {prefetch},
       {},
       "C:\\Gone",
       "TEMP is not cleaned: the folder does not exist. " + rights},
      {true, {prefetch}, {prefetch + "\\"}, temp, ""},
      {false, {}, {}, temp, ""},
      {false, {prefetch}, {}, temp, "", 32},
      {false, {}, {prefetch + "\\"}, temp, "", 32},
  };
  for (const auto& c : cases) {
    FakeFileTree tree;
    FakeSystemFolders folders;
    tree.roots = {temp, "C:\\Windows"};
    tree.AddFile(temp + "\\a.tmp", 10);
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
    EXPECT_EQ(f.FilesPage().Listed().size(), c.temp == temp ? 1u : 0u);
    form_.reset();
  }
}

TEST_F(FilesPageTest, LinksAreNeitherWalkedNorDeletedThrough) {
  for (const char* name : {"\\keep.txt", "\\moved.txt", "\\document.txt", "\\trace.pf"})
    ASSERT_TRUE(MakeFile(outside_ + name, 10));
  ASSERT_TRUE(MakeUnixLink(temp_ + "\\link", outside_));
  // Links to files: Wine shows them as plain files, and deleting by name removes the target.
  ASSERT_TRUE(MakeUnixLink(temp_ + "\\document-link.txt", outside_ + "\\document.txt", false));
  CreateDirectoryA(prefetch_.c_str(), nullptr);
  ASSERT_TRUE(MakeUnixLink(prefetch_ + "\\trace.pf", outside_ + "\\trace.pf", false));
  ASSERT_TRUE(MakeFile(temp_ + "\\swapped\\moved.txt", 10));
  ASSERT_TRUE(MakeFile(temp_ + "\\mine.txt", 10));
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
  Clear(f, "Files deleted: 1. Could not be deleted: 3.");
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
  for (int i = 0; i < kFiles; ++i)
    for (const std::string& folder : {temp_ + "\\one", temp_ + "\\two", outside_})
      ASSERT_TRUE(MakeFile(folder + "\\f" + std::to_string(i)));
  TMainForm& f = FilesForm();
  ASSERT_EQ(Files(f).size(), 2u * kFiles);
  // Once Clear has deleted the first file of the folder walked second, and so has checked and
  // holds that folder, a Unix program swaps it for a link to the outside folder, which holds
  // files of the same names; Clear goes on only when the swap is done.
  const std::vector<ListedFile>& listed = f.FilesPage().Listed();
  const std::string first = listed[kFiles].path, second = first.substr(0, first.rfind('\\'));
  ASSERT_EQ(listed.back().path.substr(0, second.size() + 1), second + "\\");
  struct SwapAfterFirst final : FileTree {
    std::string first, second, outside;
    bool swapped = false;
    FileTree& system = SystemFileTree();
    bool ListFolder(const std::string& folder, const std::function<bool(const FolderEntry&)>& each,
                    long* error) override {
      return system.ListFolder(folder, each, error);
    }
    std::int64_t FileSize(const std::string& path) override { return system.FileSize(path); }
    Removal RemoveFile(const std::string& path,
                       const std::function<bool(const std::string&)>& inside) override {
      const Removal removal = system.RemoveFile(path, inside);
      if (path == first && !swapped) {
        swapped = RunUnix("/bin/sh -c \"mv '" + UnixName(second) + "' '" + UnixName(second) +
                          "-was'; ln -s '" + UnixName(outside) + "' '" + UnixName(second) + "'\"");
        for (int i = 0; i < 3000 && !(Exists(second + "-was") && IsLink(second)); ++i) Sleep(10);
      }
      return removal;
    }
    ResolvedFolder ResolveFolder(const std::string& path) override {
      return system.ResolveFolder(path);
    }
    std::unique_ptr<FolderHold> HoldPlainFolder(const std::string& path) override {
      return system.HoldPlainFolder(path);
    }
    static bool IsLink(const std::string& path) {
      const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
      return attributes != INVALID_FILE_ATTRIBUTES &&
             (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }
  } tree;
  tree.first = first;
  tree.second = second;
  tree.outside = outside_;
  f.Services.Tree = &tree;
  Clear(f, "Files deleted: " + std::to_string(kFiles + 1) +
               ". Could not be deleted: " + std::to_string(kFiles - 1) + ".");
  ASSERT_TRUE(tree.swapped);
  int outside = 0, swappedLeft = 0;
  for (int i = 0; i < kFiles; ++i) {
    outside += Exists(outside_ + "\\f" + std::to_string(i));
    swappedLeft += Exists(second + "-was\\f" + std::to_string(i));
  }
  EXPECT_EQ(outside, kFiles);
  EXPECT_EQ(swappedLeft, kFiles - 1);
}

// TEMP spelled through real links, a short name, trailing dots and spaces, a share of this
// machine and a second drive letter, against the system folders as this system names them: one
// spelling for each way the system names a folder, each way to reach one.
TEST_F(FilesPageTest, TempIsJudgedWhereItLeadsNotHowItIsSpelled) {
  const std::string windows = WindowsFolder();
  const std::string holds = "TEMP is not cleaned: it is or holds a system folder.";
  const std::string inside = "TEMP is not cleaned: it lies inside a system folder.";
  ASSERT_TRUE(MakeUnixLink(temp_ + "\\lnk", windows));  // a link higher up on TEMP's way
  ASSERT_TRUE(MakeFile(temp_ + "\\lnk-target\\keep.txt", 10));
  ASSERT_TRUE(MakeUnixLink(temp_ + "\\temp-link", temp_ + "\\lnk-target"));
  ASSERT_TRUE(MakeFile(Env("ProgramData") + "\\MvTemp\\keep.txt", 10));
  char shortName[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA(Env("ProgramFiles").c_str(), shortName, MAX_PATH), 0u);
  ASSERT_NE(shortName, Env("ProgramFiles"));
  const auto problem = [](const std::string& temp) {
    SetEnvironmentVariableA("TEMP", temp.c_str());
    return ResolveTempFolder(SystemFolderApi(), SystemFileTree()).problem;
  };
  const std::pair<std::string, std::string> cases[] = {
      {temp_ + "\\temp-link", "TEMP is not cleaned: it is a link to another folder."},
      {temp_ + "\\lnk-target\\keep.txt", "TEMP is not cleaned: it is not a folder."},
      {windows + ". .", holds},
      // The 32-bit system folder is what a 32-bit program finds in system32 there; spelled
      // otherwise, system32 is the native one, inside the Windows folder.
      {temp_ + "\\lnk\\system32", inside},
      {temp_ + "\\lnk\\Fonts", inside},
      {shortName, holds},
      {Env("USERPROFILE"), holds},
      {Env("ProgramData"), holds},
      {Env("ProgramData") + "\\MvTemp", inside},
      {"C:\\users\\Public", inside},
      {windows + "\\Temp", ""},
  };
  for (const auto& [temp, why] : cases) EXPECT_EQ(problem(temp), why) << temp;
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
       {"\\\\localhost\\c$\\windows", "M:\\", "M:\\system32", "M:\\Fonts", "C:\\windows"})
    EXPECT_EQ(problem(temp).find("TEMP is not cleaned: "), 0u) << temp;
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
  HWND refresh = f.ZelButton1->Handle(), clear = f.ZelButton3->Handle();
  // Each step is posted behind the click on the tab, so it arrives while that collection runs.
  const struct {
    const char* name;
    std::function<void()> during;
    PageRole endRole;
  } cases[] = {
      {"Refresh", [&] { PostClick(refresh); }, kRoleFiles},
      {"Refresh twice and Clear",
       [&] {
         for (HWND button : {refresh, refresh, clear}) PostClick(button);
       },
       kRoleFiles},
      {"leaving", [&] { PostTabClick(f, kRoleRegistry); }, kRoleRegistry},
      {"Refresh while a long list is being emptied",
       [&] {
         // Lines of an earlier collection, so many that emptying them lets messages run.
         for (int i = 0; i < 60000; ++i)
           SendMessageA(f.ListBox1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("stale"));
         PostClick(refresh);
       },
       kRoleFiles},
      {"leaving and coming back",
       [&] {
         PostTabClick(f, kRoleDeinstall);
         PostTabClick(f, kRoleFiles);
       },
       kRoleFiles},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(ClickTab(f, "Register"));
    PostTabClick(f, kRoleFiles);
    c.during();
    Pump(f, 50);
    ASSERT_TRUE(Idle(f)) << c.name;
    Pump(f, 50);
    EXPECT_EQ(f.Role(), c.endRole) << c.name;
    EXPECT_EQ(TabCaptions(f).size(), 3u) << c.name;
    if (c.endRole == kRoleFiles) {
      // Collected anew from zero, each file once.
      const std::vector<std::string> files = Files(f);
      EXPECT_EQ(files.size(), 300u) << c.name;
      EXPECT_EQ(std::set<std::string>(files.begin(), files.end()).size(), 300u) << c.name;
      EXPECT_EQ(Total(f), total) << c.name;
    } else {
      // The abandoned collection wrote no closing lines and left the registry page's buttons alone.
      EXPECT_LT(ListBoxTexts(f.ListBox1).size(), 300u) << c.name;
      EXPECT_NE(Total(f), total) << c.name;
      EXPECT_EQ(f.ZelButton3->Caption(), "Correct");
      EXPECT_FALSE(f.ZelButton3->Enabled()) << c.name;
      EXPECT_TRUE(f.ZelButton1->Enabled()) << c.name;
    }
  }
  // Clear is no use while Refresh's collection runs, even after a collection had enabled it:
  // the click on Clear arrives inside the collection that the click on Refresh started.
  ASSERT_TRUE(ClickTab(f, "Unnecessary files"));
  ASSERT_TRUE(Idle(f));
  ASSERT_TRUE(f.ZelButton3->Enabled());
  PostClick(refresh);
  PostClick(clear);
  ASSERT_TRUE(Idle(f));
  EXPECT_TRUE(Exists(temp_ + "\\d9\\f299"));
  EXPECT_EQ(Files(f).size(), 300u);
}

}  // namespace
}  // namespace morvane
