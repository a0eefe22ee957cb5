// The scan on the real (Wine) registry and disk of the test prefix, in a scratch key under
// HKEY_CURRENT_USER\Software: a known tree gives its known findings, and a random tree gives
// what the plain reference scan gives, key for key and finding for finding.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/native/random_tree.h"
#include "tests/native/recording_sink.h"
#include "tests/native/reference_scan.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

constexpr char kScratch[] = "Software\\MorvaneTest\\Scan";

class ScanSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    windows_ = windows;
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\MorvaneTest"); }

  void SetText(const std::string& key, const std::string& name, const std::string& text,
               DWORD type = REG_SZ) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kScratch) + "\\" + key).c_str(), 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(k);
  }

  std::string windows_;
};

TEST_F(ScanSystemTest, KnownTreeGivesItsFindingsInWalkOrder) {
  SetText("Alpha", "tool", "C:\\MorvaneScanTest\\one.exe");
  SetText("Alpha", "number", "1", REG_DWORD);
  SetText("Alpha\\Deep", "", "C:\\MorvaneScanTest\\two.dll,0");
  SetText("Alpha\\Deep\\Deeper", "run", "C:\\MorvaneScanTest\\three.exe -u");
  SetText("Alpha\\Zed", "ok", windows_ + "\\notepad.exe");
  SetText("Beta", "expand", "C:\\MorvaneScanTest\\four.exe", REG_EXPAND_SZ);
  SetText("Beta", "folder", windows_ + "\\system32");
  SetText("Beta", "args", windows_ + "\\notepad.exe /x");
  SetText("Beta", "floppy", "A:\\MorvaneScanTest\\five.exe");
  SetText("gamma", "cut", "C:\\MorvaneScanTest\\six.exe");

  RecordingSink sink;
  RecordingScan worker(sink, SystemRegistry(), SystemFileSystem());
  worker.ReferencePass(RootKey::CurrentUser, std::string("\\") + kScratch);

  const std::string base = std::string("\\") + kScratch;
  EXPECT_EQ(worker.inspected,
            (std::vector<std::string>{"HKCU" + base + "\\Alpha", "HKCU" + base + "\\Alpha\\Deep",
                                      "HKCU" + base + "\\Alpha\\Deep\\Deeper",
                                      "HKCU" + base + "\\Alpha\\Zed", "HKCU" + base + "\\Beta",
                                      "HKCU" + base + "\\gamma"}));
  const char* ref = kCaptionReference;
  EXPECT_EQ(
      sink.findings,
      (std::vector<Finding>{
          {ref, "C:\\MorvaneScanTest\\one.exe", "HKCU", base + "\\Alpha", "tool"},
          {ref, "C:\\MorvaneScanTest\\two.dll,0", "HKCU", base + "\\Alpha\\Deep", ""},
          {ref, "C:\\MorvaneScanTest\\three.exe -u", "HKCU", base + "\\Alpha\\Deep\\Deeper", "run"},
          {ref, "C:\\MorvaneScanTest\\six.exe", "HKCU", base + "\\gamma", "cut"}}));
}

TEST_F(ScanSystemTest, RandomTreeGivesWhatTheReferenceScanGives) {
  std::vector<std::string> texts;
  for (const std::string& file :
       {windows_ + "\\notepad.exe", windows_ + "\\system32\\shell32.dll", windows_ + "\\system32",
        std::string("C:\\MorvaneScanTest\\gone.exe"), std::string("C:\\MorvaneScanTest\\lib.dll"),
        std::string("c:\\MorvaneScanTest\\x.txt."), std::string("Q:\\nowhere.exe"),
        std::string("A:\\floppy.exe")})
    for (const char* tail : {"", " -u", ",0", "!1", " %1", " /s", " \"%1\""})
      texts.push_back(file + tail);
  texts.push_back("plain words");
  texts.push_back("%SystemRoot%\\notepad.exe");

  RandomTree tree(7, texts);
  ASSERT_GT(tree.Seed(SystemRegistry(), RootKey::CurrentUser, kScratch, 300, 4).size(), 200u);
  // A value whose name the ANSI code page may not spell.
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kScratch) + "\\Wide").c_str(), 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  const wchar_t data[] = L"C:\\MorvaneScanTest\\wide.exe";
  RegSetValueExW(k, L"\x540D\x524D", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
  RegCloseKey(k);

  const std::string start = std::string("\\") + kScratch;
  ReferenceScan reference(SystemRegistry(), SystemFileSystem());
  reference.ReferencePass(RootKey::CurrentUser, start);
  RecordingSink sink;
  RecordingScan worker(sink, SystemRegistry(), SystemFileSystem());
  worker.ReferencePass(RootKey::CurrentUser, start);

  EXPECT_GT(reference.inspected.size(), 200u);
  EXPECT_EQ(worker.inspected, reference.inspected);
  EXPECT_GT(reference.findings.size(), 20u);
  EXPECT_EQ(sink.findings, reference.findings);
}

// Texts that name something that exists, read in one of the ways a registry uses them, are not
// reported; truly missing targets are.
TEST_F(ScanSystemTest, ValidReferencesAreNotReportedAndMissingOnesAre) {
  const std::string data = "C:\\MorvaneScanTest";
  for (const char* folder : {"", "\\Mr. Brown", "\\v1.2 beta"})
    CreateDirectoryA((data + folder).c_str(), nullptr);
  const std::wstring wideFile =
      L"C:\\MorvaneScanTest\\\x141\xF3"
      L"d\x17A.txt";  // Lodz with its Polish letters
  HANDLE file = CreateFileW(wideFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  const std::string system = windows_ + "\\system32\\";
  std::string nativeOnly, wowOnly;
  if (IsWow64Process32()) {
    nativeOnly = FileInSystemFolder("morvane-scan-native.dll", true);
    wowOnly = FileInSystemFolder("morvane-scan-wow.dll", false);
    ASSERT_FALSE(nativeOnly.empty());
    ASSERT_FALSE(wowOnly.empty());
    SetText("Views", "native", nativeOnly);
    SetText("Views", "wow", wowOnly);
  }
  SetText("Views", "neither", system + "morvane-scan-neither.dll");
  SetText("Lines", "rundll", system + "rundll32.exe shell32.dll,Control_RunDLL");
  SetText("Lines", "notepad", windows_ + "\\notepad.exe readme.txt");
  SetText("Lines", "gone", data + "\\Tool\\tool.exe -u");
  SetText("Folders", "mr", data + "\\Mr. Brown");
  SetText("Folders", "beta", data + "\\v1.2 beta");
  ASSERT_TRUE(SetUserValueWide(std::string(kScratch) + "\\Wide", L"lodz", wideFile));

  RecordingSink sink;
  RecordingScan worker(sink, SystemRegistry(), SystemFileSystem());
  worker.ReferencePass(RootKey::CurrentUser, std::string("\\") + kScratch);

  std::vector<std::string> reported;
  for (const Finding& f : sink.findings) reported.push_back(f.valueName + "=" + f.parameter);
  EXPECT_EQ(reported, (std::vector<std::string>{"gone=" + data + "\\Tool\\tool.exe -u",
                                                "neither=" + system + "morvane-scan-neither.dll"}));
  DeleteFileW(wideFile.c_str());
  DeleteFileA(wowOnly.c_str());
  for (const char* folder : {"\\Mr. Brown", "\\v1.2 beta", ""})
    RemoveDirectoryA((data + folder).c_str());
}

// Two registry links that point at each other's parents: the walk inspects each link key once
// as the key it is and never goes through it, so it ends and the value inside is reported once.
TEST_F(ScanSystemTest, LoopOfRegistryLinksIsNotFollowed) {
  const std::wstring scratch = L"Software\\MorvaneTest\\Scan";
  const std::wstring toB = scratch + L"\\LoopA\\ToB", toA = scratch + L"\\LoopB\\ToA";
  SetText("LoopA", "broken", "C:\\MorvaneScanTest\\looped.exe");
  SetText("LoopB", "number", "1", REG_DWORD);
  struct Unlink {  // before the scratch tree goes: deleting through a loop would never end
    std::wstring a, b;
    ~Unlink() {
      DeleteUserLink(a);
      DeleteUserLink(b);
    }
  } unlink{toB, toA};
  ASSERT_TRUE(MakeUserLink(toB, scratch + L"\\LoopB"));
  ASSERT_TRUE(MakeUserLink(toA, scratch + L"\\LoopA"));
  // The links work: through them the loop can be gone round.
  HKEY through = nullptr;
  ASSERT_EQ(
      RegOpenKeyExW(HKEY_CURRENT_USER, (toB + L"\\ToA\\ToB\\ToA").c_str(), 0, KEY_READ, &through),
      ERROR_SUCCESS);
  RegCloseKey(through);

  RecordingSink sink;
  RecordingScan worker(sink, SystemRegistry(), SystemFileSystem());
  worker.ReferencePass(RootKey::CurrentUser, std::string("\\") + kScratch);

  const std::string base = std::string("HKCU\\") + kScratch;
  EXPECT_EQ(worker.inspected, (std::vector<std::string>{base + "\\LoopA", base + "\\LoopA\\ToB",
                                                        base + "\\LoopB", base + "\\LoopB\\ToA"}));
  ASSERT_EQ(sink.findings.size(), 1u);
  EXPECT_EQ(sink.findings[0].valueName, "broken");
}

// Files behind a path of more than 260 characters are looked at, not passed over as missing;
// environment variables after the drive are expanded for the check while the row keeps the text
// as stored, and a text that begins with one is never reported; a value of 120 KB made of many
// words does not stop the walk before the stale value after it.
TEST_F(ScanSystemTest, LongPathsVariablesAndLongValues) {
  const std::string data = "C:\\MorvaneScanTest";
  std::wstring longFolder = L"\\\\?\\C:\\MorvaneScanTest";
  std::string longPath = data;
  CreateDirectoryA(data.c_str(), nullptr);
  for (wchar_t c = L'a'; c < L'f'; ++c) {
    longFolder += L"\\" + std::wstring(60, c);
    longPath += "\\" + std::string(60, static_cast<char>(c));
    ASSERT_TRUE(CreateDirectoryW(longFolder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
  }
  ASSERT_GT(longPath.size(), 300u);
  HANDLE file = CreateFileW((longFolder + L"\\present.exe").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  file = CreateFileA((data + "\\expanded.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                     nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  ASSERT_TRUE(SetEnvironmentVariableA("MVSCANDATA", data.c_str()));
  ASSERT_TRUE(SetEnvironmentVariableA("MVSCANDIR", "MorvaneScanTest"));

  // In a folder that is gone: every one of its readings is asked about.
  std::string words = "C:\\MorvaneScanGone\\tool.exe";
  while (words.size() < 120 * 1024) words += " w";
  SetText("A", "long", words);
  SetText("B", "present", longPath + "\\present.exe");
  SetText("B", "presentArgs", longPath + "\\present.exe -u");
  SetText("B", "gone", longPath + "\\gone.exe");
  SetText("C", "expanded", "C:\\%MVSCANDIR%\\expanded.txt");
  SetText("C", "expandedGone", "C:\\%MVSCANDIR%\\gone.txt");
  SetText("C", "leadingVariable", "%MVSCANDATA%\\gone.txt");
  SetText("C", "undefined", "%MVSCANUNSET%\\gone.txt");

  RecordingSink sink;
  RecordingScan worker(sink, SystemRegistry(), SystemFileSystem());
  worker.ReferencePass(RootKey::CurrentUser, std::string("\\") + kScratch);

  std::vector<std::string> reported;
  for (const Finding& f : sink.findings) reported.push_back(f.valueName);
  EXPECT_EQ(reported, (std::vector<std::string>{"long", "gone", "expandedGone"}));
  ASSERT_EQ(sink.findings.size(), 3u);
  EXPECT_EQ(sink.findings[0].parameter, words);
  EXPECT_EQ(sink.findings[1].parameter, longPath + "\\gone.exe");
  EXPECT_EQ(sink.findings[2].parameter, "C:\\%MVSCANDIR%\\gone.txt");
  SetEnvironmentVariableA("MVSCANDATA", nullptr);
  SetEnvironmentVariableA("MVSCANDIR", nullptr);
  DeleteFileW((longFolder + L"\\present.exe").c_str());
  for (wchar_t c = L'e'; c >= L'a'; --c) {
    RemoveDirectoryW(longFolder.c_str());
    longFolder.resize(longFolder.size() - 61);
  }
  DeleteFileA((data + "\\expanded.txt").c_str());
  RemoveDirectoryA(data.c_str());
}

}  // namespace
}  // namespace morvane
