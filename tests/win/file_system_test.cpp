// The file-system questions on the real (Wine) file system of the test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

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

}  // namespace
}  // namespace morvane
