// Reading registry texts as file paths.
#include <gtest/gtest.h>

#include "CleanReg/PathRules.h"

namespace morvane {
namespace {

TEST(PathParts, DirectoryNameAndExtension) {
  EXPECT_EQ(DirectoryPart("C:\\dir\\file.txt"), "C:\\dir\\");
  EXPECT_EQ(DirectoryPart("C:file.txt"), "C:");
  EXPECT_EQ(DirectoryPart("file.txt"), "");
  EXPECT_EQ(NamePart("C:\\dir\\file.txt"), "file.txt");
  EXPECT_EQ(NamePart("C:file"), "file");
  EXPECT_EQ(NamePart("file"), "file");
  EXPECT_EQ(NamePart("C:\\dir\\"), "");
  EXPECT_EQ(ExtensionPart("C:\\dir\\file.txt"), ".txt");
  EXPECT_EQ(ExtensionPart("C:\\x.y\\file"), "");
  EXPECT_EQ(ExtensionPart("a.b.c"), ".c");
  EXPECT_EQ(ExtensionPart("C:\\tool.exe -u"), ".exe -u");
  EXPECT_EQ(ExtensionPart("noext"), "");
  EXPECT_EQ(ExtensionPart("."), ".");
  EXPECT_EQ(ExtensionPart(""), "");
}

TEST(PathParts, OccursInAndCutAt) {
  EXPECT_EQ(OccursIn(".b", "a.b.b"), 2u);
  EXPECT_EQ(OccursIn("", "abc"), 0u);
  EXPECT_EQ(OccursIn("x", "abc"), 0u);
  EXPECT_EQ(OccursIn("abc", "abc"), 1u);
  EXPECT_EQ(CutAt("a,b,c", ','), "a");
  EXPECT_EQ(CutAt("abc", ','), "abc");
  EXPECT_EQ(CutAt(",abc", ','), "");
}

TEST(StripExtension, FirstOccurrenceCounts) {
  EXPECT_EQ(StripExtension("a.b.b"), "a");
  EXPECT_EQ(StripExtension("tool.exe"), "tool");
  EXPECT_EQ(StripExtension("noext"), "noext");
  EXPECT_EQ(StripExtension("tool.exe -u"), "tool");
  EXPECT_EQ(StripExtension(""), "");
}

// What a registry text names as a file, rebuilt; where it names none, nothing is written.
TEST(ResolveFilePath, WorkedResults) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Program Files\\Tool\\tool.exe -u", "C:\\Program Files\\Tool\\tool.exe"},
      {"C:\\Tool\\lib.dll,0", "C:\\Tool\\lib.dll"},
      {"C:\\Tool\\run.exe %1", "C:\\Tool\\run.exe"},
      {"C:\\Tool\\x.exe!1", "C:\\Tool\\x.exe"},
      {"C:\\Tool\\a^b.txt", "C:\\Tool\\a.txt"},
      {"C:\\x\\a.b.b", "C:\\x\\a.b"},
      {"C:\\dir\\file.", "C:\\dir\\file."},
      {"C:\\WINDOWS\\system32\\rundll32.exe shell32.dll,Control_RunDLL",
       "C:\\WINDOWS\\system32\\rundll32.exe shell32.dll"},
  };
  for (const auto& [text, rebuilt] : cases) {
    std::string out;
    EXPECT_TRUE(ResolveFilePath(text, out)) << text;
    EXPECT_EQ(out, rebuilt);
  }
  for (const char* text :
       {"C:\\Tool\\app.exe /s", "C:\\Tool\\run.exe \"%1\"", "C:\\a.exe C:\\b.txt",
        "C:\\Tool\\a=b.txt", "C:\\Tool\\a|b.txt", "C:\\Tool\\*.txt", "C:\\x.y\\file", "C:\\",
        "C:\\a", "", "\\\\server\\share\\a.txt", "\"C:\\Tool\\a.exe\"", "C:/Tool/a.txt",
        "C:\\Tool\\%x.txt"}) {  // the last: no name after the cut at '%'
    std::string out = "untouched";
    EXPECT_FALSE(ResolveFilePath(text, out)) << text;
    EXPECT_EQ(out, "untouched") << text;
  }
}

TEST(CommandLines, ProgramPrefixesAndWildcards) {
  const auto prefixes = [](const std::string& text) {
    std::vector<std::string> list;
    for (const std::size_t length : ProgramPrefixLengths(text))
      list.push_back(text.substr(0, length));
    return list;
  };
  using List = std::vector<std::string>;
  EXPECT_EQ(prefixes("C:\\Windows\\system32\\rundll32.exe shell32.dll,Control_RunDLL"),
            (List{"C:\\Windows\\system32\\rundll32.exe"}));
  EXPECT_EQ(
      prefixes("C:\\Program Files\\V\\a.exe  -u x"),
      (List{"C:\\Program", "C:\\Program Files\\V\\a.exe", "C:\\Program Files\\V\\a.exe  -u"}));
  EXPECT_EQ(prefixes("C:\\plain.exe"), List{});
  EXPECT_EQ(prefixes(" C:\\lead.exe "), (List{" C:\\lead.exe"}));
  EXPECT_EQ(prefixes(""), List{});
  EXPECT_TRUE(HoldsWildcard("C:\\L?dz.txt"));
  EXPECT_TRUE(HoldsWildcard("C:\\*.txt"));
  EXPECT_FALSE(HoldsWildcard("C:\\Lodz.txt"));
}

// A long text of many words gives only the prefixes that can name a file: none holds a name of
// more than 255 UTF-16 units (a character beyond the Basic Multilingual Plane counts two) nor is
// longer than 32,767 units.
TEST(CommandLines, ProgramPrefixesOfALongTextAreBounded) {
  const struct {
    const char* word;
    std::size_t lastNameBytes;  // of the longest prefix's last name: 254 units
  } rows[] = {
      {" w", 254},                 // 8 + 123 words of 2 units
      {" \xE6\x97\xA5", 500},      // " 日": 2 units, 4 bytes
      {" \xF0\x9F\x98\x80", 418},  // " 😀": 3 units, 5 bytes; 82 words
  };
  for (const auto& row : rows) {
    std::string words = "C:\\Gone\\tool.exe";
    while (words.size() < 120000) words += row.word;
    const std::vector<std::size_t> lengths = ProgramPrefixLengths(words);
    ASSERT_FALSE(lengths.empty());
    EXPECT_EQ(lengths.front(), 16u);                               // "C:\Gone\tool.exe"
    EXPECT_EQ(lengths.back() - 8, row.lastNameBytes) << row.word;  // after "C:\Gone\"
  }
  // Each backslash begins a new name: the bound is then the whole path's length.
  std::string names = "C:";
  while (names.size() < 120000) names += "\\a b";
  const std::vector<std::size_t> many = ProgramPrefixLengths(names);
  ASSERT_FALSE(many.empty());
  EXPECT_LE(many.back(), 32767u);
  EXPECT_GT(many.back(), 32700u);
}

// Variables are expanded as the system expands a path; a command line's own '%' signs stay.
TEST(ExpandVariables, NamesAndWhatStaysAsItIs) {
  const auto variable = [](const std::string& name) -> std::optional<std::string> {
    if (name == "USERNAME") return std::string("ann");
    if (name == "ProgramFiles(x86)") return std::string("C:\\Program Files (x86)");
    if (name == "EMPTY") return std::string();
    return std::nullopt;
  };
  const struct {
    const char* text;
    const char* expanded;  // null: a name is not defined
  } cases[] = {
      {"C:\\users\\%USERNAME%\\App\\data.txt", "C:\\users\\ann\\App\\data.txt"},
      {"%ProgramFiles(x86)%\\V\\a.exe %1", "C:\\Program Files (x86)\\V\\a.exe %1"},
      {"%USERNAME%%USERNAME%", "annann"},
      {"C:\\x%EMPTY%.exe", "C:\\x.exe"},
      {"C:\\a.exe %1 %2", "C:\\a.exe %1 %2"},  // "%1 %" holds a blank: no name
      {"C:\\a.exe \"%1\"", "C:\\a.exe \"%1\""},
      {"C:\\100%", "C:\\100%"},
      {"C:\\%%\\a.exe", "C:\\%%\\a.exe"},
      {"C:\\%9x%\\a.exe", "C:\\%9x%\\a.exe"},  // a name begins with a letter
      {"C:\\users\\%UNSET%\\a.exe", nullptr},
      {"%USERNAME%\\%Unset_2%", nullptr},
      {"", ""},
  };
  for (const auto& c : cases) {
    std::string expanded = "stale";
    const bool ok = ExpandVariables(c.text, variable, expanded);
    EXPECT_EQ(ok, c.expanded != nullptr) << c.text;
    if (ok) {
      EXPECT_EQ(expanded, c.expanded) << c.text;
    }
  }
}

TEST(ParentFolder, OnlyForPathsTheSystemReadsAsWritten) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Gone\\app.exe", "C:\\Gone"},
      {"C:\\Gone", "C:\\"},
      {"c:\\a b\\c.d\\e f.txt", "c:\\a b\\c.d"},
      {"C:\\Program Files\\V\\lib.dll -u", "C:\\Program Files\\V"},
      // No parent to ask about, or one the system would not read as written.
      {"C:\\", ""},
      {"C:", ""},
      {"", ""},
      {"1:\\x\\y", ""},
      {"\\\\server\\share\\f", ""},
      {"C:\\x\\..\\Windows", ""},
      {"C:\\x\\.\\y", ""},
      {"C:\\Gone.\\app.exe", ""},
      {"C:\\Gone \\app.exe", ""},
      {"C:\\a\\\\b", ""},
      {"C:\\a\\", ""},
      {"C:\\a/b\\c", ""},
      {"C:\\a\\?.txt", ""},
      {"C:\\a\\f.txt:stream", ""},
      {"C:\\a\\\"q\".txt", ""}};
  for (const auto& [path, parent] : cases) EXPECT_EQ(ParentFolder(path), parent) << path;
}

}  // namespace
}  // namespace morvane
