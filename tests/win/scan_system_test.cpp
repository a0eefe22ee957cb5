// The scan on the real (Wine) registry and disk of the test prefix, in a scratch key: the real
// seams act as the in-memory registry and the fake files do, and links are never followed.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/native/random_tree.h"
#include "tests/native/recording_sink.h"
#include "tests/native/reference_scan.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

const std::string kData = "C:\\MorvaneScanTest";

// A random tree gives what the plain reference scan gives, key for key and finding for finding;
// texts that name something on this disk, read the ways the registry uses them (folders with
// dots, names in any script, paths past 260 characters, variables, either view of the system
// folder), are not reported, and missing targets are.
TEST(ScanSystemTest, RealSeamsActAsTheStandIns) {
  const ScratchKey scratch("Scan");
  const std::string windows = WindowsFolder(), system = windows + "\\system32\\";
  std::wstring longFolder = L"\\\\?\\" + Widen(kData);
  std::string longPath = kData;
  RemoveTree(longFolder);
  ASSERT_TRUE(CreateDirectoryW(longFolder.c_str(), nullptr));
  CreateDirectoryW((longFolder + L"\\Mr. Brown").c_str(), nullptr);
  for (wchar_t c = L'a'; c < L'f'; ++c) {
    longFolder += L"\\" + std::wstring(60, c);
    longPath += "\\" + std::string(60, static_cast<char>(c));
    ASSERT_TRUE(CreateDirectoryW(longFolder.c_str(), nullptr));
  }
  const std::string lodz = kData +
                           "\\\xC5\x81\xC3\xB3"
                           "d\xC5\xBA.txt";  // in Polish letters
  for (const std::wstring& file : {longFolder + L"\\present.exe", Widen(lodz)})
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(SetEnvironmentVariableW(L"MVSCANDIR", L"MorvaneScanTest"));
  std::vector<std::pair<std::string, std::string>> rows = {
      {"gone", kData + "\\Tool\\tool.exe -u"},
      {"notepad", windows + "\\notepad.exe readme.txt"},
      {"rundll", system + "rundll32.exe shell32.dll,Control_RunDLL"},
      {"folder", windows + "\\system32"},
      {"dotted", kData + "\\Mr. Brown"},
      {"lodz", lodz},
      {"\xE5\x90\x8D\xE5\x89\x8D", kData + "\\gone.exe"},  // a name in Japanese
      {"longPresent", longPath + "\\present.exe -u"},
      {"longGone", longPath + "\\gone.exe"},
      {"expanded",
       "C:\\%MVSCANDIR%\\\xC5\x81\xC3\xB3"
       "d\xC5\xBA.txt"},
      {"expandedGone", "C:\\%MVSCANDIR%\\gone.txt"},
      {"neither", system + "morvane-scan-neither.dll"}};
  if (IsWow64Process32()) {
    rows.push_back({"native", FileInSystemFolder("morvane-scan-native.dll", true)});
    rows.push_back({"wow", FileInSystemFolder("morvane-scan-wow.dll", false)});
    ASSERT_FALSE(rows.back().second.empty() || rows[rows.size() - 2].second.empty());
  }
  for (const auto& [name, text] : rows)
    ASSERT_TRUE(SetTextExactly(HKEY_CURRENT_USER, scratch.path + "\\Rows", name, text)) << name;
  std::vector<std::string> texts = {"plain words", "%SystemRoot%\\notepad.exe"};
  for (const auto& row : rows)
    for (const char* tail : {"", " -u", ",0", " %1", " /s"}) texts.push_back(row.second + tail);
  RandomTree tree(7, texts);
  ASSERT_GT(
      tree.Seed(SystemRegistry(), RootKey::CurrentUser, scratch.path + "\\Random", 150, 4).size(),
      100u);

  ReferenceScan reference(SystemRegistry(), SystemFileSystem());
  reference.ReferencePass(RootKey::CurrentUser, "\\" + scratch.path);
  RecordingSink sink;
  RecordingScan worker(sink, SystemRegistry(), SystemFileSystem());
  worker.ReferencePass(RootKey::CurrentUser, "\\" + scratch.path);
  EXPECT_EQ(worker.inspected, reference.inspected);
  EXPECT_EQ(sink.findings, reference.findings);
  std::vector<std::string> reported;
  for (const Finding& f : sink.findings)
    if (f.keyPath == "\\" + scratch.path + "\\Rows")
      reported.push_back(f.valueName + "=" + f.parameter);
  std::sort(reported.begin(), reported.end());  // the registry's own order of values
  EXPECT_EQ(reported,
            (std::vector<std::string>{"expandedGone=" + rows[10].second, "gone=" + rows[0].second,
                                      "longGone=" + rows[8].second, "neither=" + rows[11].second,
                                      rows[6].first + "=" + rows[6].second}));
  EXPECT_GT(sink.findings.size(), reported.size() + 20);
  SetEnvironmentVariableW(L"MVSCANDIR", nullptr);
  if (IsWow64Process32()) DeleteFileA(rows.back().second.c_str());
  RemoveTree(L"\\\\?\\" + Widen(kData));
}

// Two registry links that point at each other's parents: the walk inspects each link key once
// as the key it is and never goes through it, so it ends and the value inside is reported once.
TEST(ScanSystemTest, LoopOfRegistryLinksIsNotFollowed) {
  const ScratchKey scratch("Scan");
  const std::wstring base = Widen(scratch.path), toB = base + L"\\LoopA\\ToB",
                     toA = base + L"\\LoopB\\ToA";
  ASSERT_TRUE(SetUserValueBytes(scratch.path + "\\LoopA", "broken", REG_SZ, "C:\\MvLoop\\x.exe"));
  ASSERT_TRUE(SetUserValueBytes(scratch.path + "\\LoopB", "number", REG_DWORD, "1234"));
  struct Unlink {  // before the scratch tree goes: deleting through a loop would never end
    std::wstring a, b;
    ~Unlink() { DeleteUserLink(a), DeleteUserLink(b); }
  } unlink{toB, toA};
  ASSERT_TRUE(MakeUserLink(toB, base + L"\\LoopB"));
  ASSERT_TRUE(MakeUserLink(toA, base + L"\\LoopA"));
  ASSERT_TRUE(KeyExistsIn(HKEY_CURRENT_USER, Narrow(toB + L"\\ToA\\ToB\\ToA")));  // links work
  RecordingSink sink;
  RecordingScan worker(sink, SystemRegistry(), SystemFileSystem());
  worker.ReferencePass(RootKey::CurrentUser, "\\" + scratch.path);
  const std::string in = "HKCU\\" + scratch.path;
  EXPECT_EQ(worker.inspected, (std::vector<std::string>{in + "\\LoopA", in + "\\LoopA\\ToB",
                                                        in + "\\LoopB", in + "\\LoopB\\ToA"}));
  ASSERT_EQ(sink.findings.size(), 1u);
  EXPECT_EQ(sink.findings[0].valueName, "broken");
}

}  // namespace
}  // namespace morvane
