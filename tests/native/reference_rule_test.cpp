// When a string value's text counts as naming a file that is gone: the rebuilt path, and the
// other readings that keep a text that still names something from being reported.
#include <gtest/gtest.h>

#include "CleanReg/ReferenceRule.h"
#include "tests/native/fake_files.h"

namespace morvane {
namespace {

struct Case {
  const char* text;
  bool broken;
};

class ReferenceRuleTest : public ::testing::TestWithParam<Case> {};

TEST_P(ReferenceRuleTest, ExistingFilesAndFoldersSaveTheText) {
  FakeFiles files;
  files.files = {"C:\\Windows\\system32\\rundll32.exe", "C:\\Windows\\notepad.exe", "C:\\Tool\\present.exe",
                 "C:\\Whole\\name.txt"};
  files.folders = {"C:\\Data\\Mr. Brown", "C:\\Data\\v1.2 beta", "C:\\Data\\store.d", "C:\\Windows"};
  const Case& c = GetParam();
  EXPECT_EQ(IsBrokenReference(c.text, files), c.broken) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReferenceRuleTest,
    ::testing::Values(
        // Command lines whose program exists, whatever the rebuilt path makes of them.
        Case{"C:\\Windows\\system32\\rundll32.exe shell32.dll,Control_RunDLL", false},
        Case{"C:\\Windows\\notepad.exe readme.txt", false},
        Case{"C:\\Tool\\present.exe -u", false},
        // Folders whose names hold a dot and later a blank, named as they stand.
        Case{"C:\\Data\\Mr. Brown", false}, Case{"C:\\Data\\v1.2 beta", false}, Case{"C:\\Data\\store.d", false},
        Case{"C:\\Whole\\name.txt", false},
        // A text the file calls would take as a pattern is never judged by them.
        Case{"C:\\Gone\\L?dz.txt", false}, Case{"C:\\Gone\\?.txt", false},
        // Truly missing targets stay reported, with their arguments.
        Case{"C:\\Tool\\tool.exe -u", true}, Case{"C:\\Gone\\app.exe", true}, Case{"C:\\Tool\\lib.dll,0", true},
        Case{"C:\\Windows\\gone.exe readme.txt", true}, Case{"C:\\Data\\Mrs. Brown", true},
        Case{"C:\\Program Files\\Gone\\x.exe /s", false},  // a slash in the name: not a path at all
        Case{"C:\\Program Files\\Gone\\x.exe %1", true},
        // Never reported, as before: no drive, drive A, no extension.
        Case{"Q:\\gone.exe", false}, Case{"a:\\gone.exe", false}, Case{"C:\\dir\\gone", false}, Case{"", false}));

}  // namespace
}  // namespace morvane
