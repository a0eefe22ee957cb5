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
  files.files = {"C:\\Windows\\system32\\rundll32.exe", "C:\\Windows\\notepad.exe",
                 "C:\\Tool\\present.exe", "C:\\Whole\\name.txt"};
  files.folders = {"C:\\Data\\Mr. Brown", "C:\\Data\\v1.2 beta", "C:\\Data\\store.d", "C:\\Windows",
                   "C:\\users\\ann\\App"};
  files.files.insert("C:\\users\\ann\\App\\data.txt");
  // Paths the system could not look at (access denied, a sharing violation, a refused name).
  files.unknown = {"C:\\Locked\\tool.exe", "C:\\Busy\\page.sys", "C:\\Half\\run.exe -x",
                   "C:\\Odd\\a"};
  files.variables = {{"USERNAME", "ann"}, {"GONE", "C:\\Gone"}};
  const Case& c = GetParam();
  EXPECT_EQ(IsBrokenReference(c.text, files), c.broken) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReferenceRuleTest,
    ::testing::Values(
        // Command lines whose program exists, whatever the rebuilt path makes of them.
        Case{"C:\\Windows\\system32\\rundll32.exe shell32.dll,Control_RunDLL", false},
        Case{"C:\\Windows\\notepad.exe readme.txt", false}, Case{"C:\\Tool\\present.exe -u", false},
        // Folders whose names hold a dot and later a blank, named as they stand.
        Case{"C:\\Data\\Mr. Brown", false}, Case{"C:\\Data\\v1.2 beta", false},
        Case{"C:\\Data\\store.d", false}, Case{"C:\\Whole\\name.txt", false},
        // A text the file calls would take as a pattern is never judged by them.
        Case{"C:\\Gone\\L?dz.txt", false}, Case{"C:\\Gone\\?.txt", false},
        // Truly missing targets stay reported, with their arguments.
        Case{"C:\\Tool\\tool.exe -u", true}, Case{"C:\\Gone\\app.exe", true},
        Case{"C:\\Tool\\lib.dll,0", true}, Case{"C:\\Windows\\gone.exe readme.txt", true},
        Case{"C:\\Data\\Mrs. Brown", true},
        Case{"C:\\Program Files\\Gone\\x.exe /s", false},  // a slash in the name: not a path at all
        Case{"C:\\Program Files\\Gone\\x.exe %1", true},
        // Never reported, as before: no drive, drive A, no extension.
        Case{"Q:\\gone.exe", false}, Case{"a:\\gone.exe", false}, Case{"C:\\dir\\gone", false},
        Case{"", false},
        // Only "not found" makes a path missing: any other answer, for any reading, saves the text.
        Case{"C:\\Locked\\tool.exe", false}, Case{"C:\\Locked\\tool.exe -u", false},
        Case{"C:\\Busy\\page.sys", false}, Case{"C:\\Half\\run.exe -x", false},
        Case{"C:\\Odd\\a b.exe", false},
        // Variables are expanded for the check; a name that is not defined leaves the text alone.
        // A text that begins with one names no drive as it stands and is never reported.
        Case{"C:\\users\\%USERNAME%\\App\\data.txt", false},
        Case{"C:\\users\\%USERNAME%\\App", false},
        Case{"C:\\users\\%USERNAME%\\App\\gone.txt", true}, Case{"%GONE%\\app.exe -u", false},
        Case{"C:\\users\\%NOBODY%\\gone.txt", false}, Case{"%TEMP%\\gone.txt", false}));

}  // namespace
}  // namespace morvane
