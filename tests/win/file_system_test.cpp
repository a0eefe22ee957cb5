// The file-system questions on the real (Wine) file system of the test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"

namespace morvane {
namespace {

// Creates a file in the real System32 of 64-bit Windows, where a 32-bit program normally sees
// SysWOW64 instead; returns its path as the program would write it, or "" on 32-bit Windows.
std::string FileOnlyInNativeSystem32() {
  using Disable = BOOL(WINAPI*)(PVOID*);
  using Revert = BOOL(WINAPI*)(PVOID);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto disable = reinterpret_cast<Disable>(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
  auto revert = reinterpret_cast<Revert>(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
  BOOL wow64 = FALSE;
  if (disable == nullptr || !IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return "";
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string path = std::string(windows) + "\\system32\\morvane-native-only.txt";
  PVOID state = nullptr;
  disable(&state);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  revert(state);
  return file == INVALID_HANDLE_VALUE ? "" : path;
}

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
}

TEST(SystemFileSystem, SeesTheNativeSystemFolderFromA32BitProcess) {
  const std::string path = FileOnlyInNativeSystem32();
  if (path.empty()) GTEST_SKIP() << "not a 32-bit process on 64-bit Windows";
  // Through the redirection a 32-bit program would not see it...
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  // ...but the scan's existence test does, so the reference is not taken for a broken one.
  EXPECT_TRUE(SystemFileSystem().FileExists(path));
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  EXPECT_TRUE(SystemFileSystem().FolderExists(std::string(windows) + "\\system32\\drivers"));
}

}  // namespace
}  // namespace morvane
