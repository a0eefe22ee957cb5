// The findings table gives back every row exactly as it was added, whatever the texts' lengths
// and however many blocks the rows fill.
#include "CleanReg/FindingTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvane {
namespace {

TEST(FindingTable, GivesBackEveryRowAsAdded) {
  const std::vector<Finding> kinds = {
      {"Incorrect expansion", ".x", "HKCR", "\\.x", ""},
      {"The incorrect reference to a file", "", "HKCU", "\\SOFTWARE\\A", ""},  // empty default
      {"The incorrect reference to a file", std::string(300000, 'p'), "HKLM",  // block of its own
       "\\SOFTWARE\\" + std::string(1000, 'k'), std::string(16383, 'v')},
      {"", std::string(1, '\0') + "after a zero", "", "", "v"},
  };
  FindingTable table;
  std::vector<Finding> added;
  for (int i = 0; i < 3000; ++i) {  // rows of about 1 KB fill several blocks
    Finding f = kinds[i % kinds.size()];
    f.keyPath += std::to_string(i);
    table.Add(f);
    added.push_back(f);
  }
  ASSERT_EQ(table.size(), added.size());
  for (std::size_t i = 0; i < added.size(); ++i) {
    ASSERT_EQ(table[i], added[i]) << i;
    ASSERT_EQ(table.Text(i, FindingText::KeyPath).data()[added[i].keyPath.size()], '\0') << i;
    ASSERT_FALSE(table.Checked(i)) << i;
  }

  table.SetChecked(1, true);
  table.SetCaption(2, "Corrected!");
  EXPECT_TRUE(table.Checked(1));
  EXPECT_FALSE(table.Checked(2));
  EXPECT_EQ(table.Text(2, FindingText::Caption), "Corrected!");
  EXPECT_EQ(table.Text(6, FindingText::Caption), "The incorrect reference to a file");
  EXPECT_EQ(table[2].parameter, std::string(300000, 'p'));

  table.Clear();
  EXPECT_TRUE(table.empty());
  table.Add(kinds[0]);
  EXPECT_EQ(table[0], kinds[0]);
}

}  // namespace
}  // namespace morvane
