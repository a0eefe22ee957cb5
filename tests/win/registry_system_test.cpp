// The registry cursor on the real registry (Wine's, in the throwaway prefix of the test run),
// each test in a scratch key that is removed afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/WideText.h"
#include "tests/native/registry_contract.h"
#include "tests/win/system_fixtures.h"

namespace morvane {
namespace {

class SystemRegistryTest : public ::testing::Test {
 protected:
  RegistryApi& api() { return SystemRegistry(); }
  std::string base() const { return scratch_.path; }
  const ScratchKey scratch_{"Registry"};
};

TEST_F(SystemRegistryTest, Contract) { RegistryContract(api(), base()); }

// The roots open and list; HKEY_LOCAL_MACHINE\SOFTWARE opens for reading whatever the rights.
TEST_F(SystemRegistryTest, RootsOpenForReading) {
  TRegistry reg;
  reg.SelectRoot(RootKey::ClassesRoot);
  ASSERT_TRUE(reg.OpenPathForReading(""));
  std::vector<std::string> names;
  reg.ListSubkeys(names);
  EXPECT_GT(names.size(), 10u);  // a fresh prefix has many classes
  reg.SelectRoot(RootKey::LocalMachine);
  ASSERT_TRUE(reg.OpenPathForReading("\\SOFTWARE\\Microsoft"));
  EXPECT_TRUE(reg.HasChildKeys());
  EXPECT_EQ(reg.Access(), static_cast<std::uint32_t>(KEY_READ));
}

// Text data read through the seam is the UTF-8 of every unit the registry holds, and written
// back it is the same bytes again: terminators and NULs inside kept where they are, characters
// no code page spells, a character beyond the first plane and a lone surrogate included. Other
// types are their bytes.
TEST_F(SystemRegistryTest, TextReadAndWrittenBackIsTheSameBytes) {
  using namespace std::string_literals;
  const auto bytes = [](const std::wstring& wide) {
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
  };
  const struct {
    DWORD type;
    std::string stored;  // the registry's bytes
    std::string read;    // the seam's
  } rows[] = {
      {REG_SZ, bytes(L"C:\\\x141ukasz\\gone.exe\0"s), "C:\\\xC5\x81ukasz\\gone.exe\0"s},
      {REG_SZ, bytes(L"\x65E5\x672C no terminator"s), "\xE6\x97\xA5\xE6\x9C\xAC no terminator"s},
      {REG_SZ, bytes(L"C:\\a.exe\0C:\\tail\0\0"s), "C:\\a.exe\0C:\\tail\0\0"s},
      {REG_EXPAND_SZ, bytes(L"%TEMP%\\\xD83D\xDE00.txt\0"s), "%TEMP%\\\xF0\x9F\x98\x80.txt\0"s},
      {REG_MULTI_SZ, bytes(L"\x3A9mega\0\x416\0\0"s), "\xCE\xA9mega\0\xD0\x96\0\0"s},
      {REG_SZ, bytes(L"lone \xD800 unit\0"s), "lone \xED\xA0\x80 unit\0"s},
      {REG_BINARY, "\x01\xD8\x00"s, "\x01\xD8\x00"s},
  };
  TRegistry reg;
  ASSERT_TRUE(reg.OpenPath("\\" + base(), false));
  const HKEY key = reinterpret_cast<HKEY>(reg.BaseKey());
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const std::wstring in = L"in" + std::to_wstring(i);
    // Followed by a unit that is not NUL: the call would take a NUL there as a terminator.
    const std::string given = rows[i].stored + "\x01\x01";
    ASSERT_EQ(RegSetValueExW(key, in.c_str(), 0, rows[i].type,
                             reinterpret_cast<const BYTE*>(given.data()),
                             static_cast<DWORD>(rows[i].stored.size())),
              ERROR_SUCCESS);
    std::uint32_t type = 0;
    std::string data;
    ASSERT_EQ(api().QueryValue(reg.BaseKey(), Narrow(in), type, &data), kRegOk);
    EXPECT_EQ(type, rows[i].type) << i;
    EXPECT_EQ(data, rows[i].read) << i;
    ASSERT_EQ(api().SetValue(reg.BaseKey(), "out" + std::to_string(i), type, data), kRegOk);
    std::string back(rows[i].stored.size() + 16, '\0');
    DWORD size = static_cast<DWORD>(back.size()), backType = 0;
    ASSERT_EQ(RegQueryValueExW(key, (L"out" + std::to_wstring(i)).c_str(), nullptr, &backType,
                               reinterpret_cast<BYTE*>(back.data()), &size),
              ERROR_SUCCESS);
    back.resize(size);
    EXPECT_EQ(back, rows[i].stored) << i;
  }
  // The scan's reading, every value with its data in one call, gives the same.
  for (std::uint32_t i = 0; i < std::size(rows); ++i) {
    RegValue value;
    ASSERT_EQ(api().EnumValue(reg.BaseKey(), i, value, true), kRegOk);
    EXPECT_EQ(value.name, "in" + std::to_string(i));
    EXPECT_EQ(value.data, rows[i].read) << i;
  }
}

}  // namespace
}  // namespace morvane
