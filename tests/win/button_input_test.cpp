// What the button control does without its system libraries.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "ZelButton/ZelAccessible.h"
#include "ZelButton/ZelApplication.h"
#include "platform/SystemLibraries.h"
#include "tests/win/button_host.h"
#include "tests/win/window_harness.h"

namespace morvane {
namespace {

using namespace morvane::testing;

class ButtonInput : public ::testing::Test {
 protected:
  ButtonHost host;
  RecordedApplication app;
};

// Where winmm or oleacc cannot be loaded no sound is played and the buttons are read through the
// system's standard object (that they come from the system folder: planting_test.cpp).
TEST_F(ButtonInput, SystemLibrariesFromTheSystemFolderOrNone) {
  TZelButton& b = host.Add(20, 20, 60, 24, "Go");
  EXPECT_EQ(ReadThroughAccessibility(b).role, ROLE_SYSTEM_PUSHBUTTON);

  static std::vector<std::wstring> asked;
  asked.clear();
  ReplaceSystemLibraryLoader([](const wchar_t* name) -> HMODULE {
    asked.emplace_back(name);
    return nullptr;
  });
  PlayWaveFromMemory("RIFF");  // nothing to play it with: returns quietly
  EXPECT_EQ(WaveLibrary(), nullptr);
  const ReadButton standard = ReadThroughAccessibility(b);
  EXPECT_EQ(standard.role, ROLE_SYSTEM_CLIENT) << "the system's standard object";
  ReadThroughAccessibility(b);
  ReplaceSystemLibraryLoader(nullptr);
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"winmm.dll", L"oleacc.dll"}))
      << "each is asked for once";
  EXPECT_EQ(ReadThroughAccessibility(b).role, ROLE_SYSTEM_PUSHBUTTON);
}

}  // namespace
}  // namespace morvane
