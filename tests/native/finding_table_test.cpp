// The findings table gives back every row exactly as it was added, whatever the texts' lengths
// and however many blocks the rows fill; it gives its blocks back when cleared, and a row it
// cannot take leaves it as it was.
#include "CleanReg/FindingTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// On this thread, the allocation this many allocations from now fails; -1: none fails.
thread_local long allocationsBeforeFailure = -1;

void* Allocate(std::size_t size) {
  if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

}  // namespace

// Every allocation of the test program goes through Allocate, so that a test can make one fail.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& n) noexcept {
  return operator new(size, n);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace morvane {
namespace {

TEST(FindingTable, GivesBackEveryRowAsAdded) {
  const std::string key = "\\SOFTWARE\\" + std::string(1000, 'k');  // rows of 1 KB fill blocks
  const std::vector<Finding> kinds = {
      {"Incorrect expansion", ".x", "HKCR", key, ""},
      {"The incorrect reference to a file", "", "HKCU", key, ""},  // empty default
      {"", std::string(1, '\0') + "after a zero", "", key, "v"},
  };
  FindingTable table;
  std::vector<Finding> added;
  for (int i = 0; i < 3000; ++i) {
    Finding f = i == 2 ? Finding{"The incorrect reference to a file", std::string(300000, 'p'),
                                 "HKLM", key, std::string(16383, 'v')}  // a block of its own
                       : kinds[i % kinds.size()];
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
  EXPECT_EQ(table.Text(4, FindingText::Caption), "The incorrect reference to a file");
  EXPECT_EQ(table[2].parameter, std::string(300000, 'p'));
  ASSERT_GT(table.BlocksHeld(), 3u);
  table.Clear();
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(table.BlocksHeld(), 0u);
  table.Add(kinds[0]);
  EXPECT_EQ(table[0], kinds[0]);
}

// A row taking bytes of a block: its key path, and its three texts' zeros.
Finding RowOf(std::size_t bytes, char fill) {
  return {"c", "", "s", std::string(bytes - 3, fill), ""};
}

// A row one byte longer than the room left in the block being filled goes into a new block, and
// every row reads back whole. (Under AddressSanitizer, a row written past its block's end fails
// here.)
TEST(FindingTable, ARowLongerThanTheRoomLeftTakesANewBlock) {
  const std::size_t room = 100;
  FindingTable table;
  std::vector<Finding> added;
  for (std::size_t left = FindingTable::kBlockBytes; left > room;) {
    const std::size_t bytes = std::min(FindingTable::kBlockBytes / 4, left - room);
    added.push_back(RowOf(bytes, static_cast<char>('a' + added.size())));
    table.Add(added.back());
    left -= bytes;
  }
  ASSERT_EQ(table.BlocksHeld(), 1u);
  added.push_back(RowOf(room + 1, 'z'));
  table.Add(added.back());
  EXPECT_EQ(table.BlocksHeld(), 2u);
  for (std::size_t i = 0; i < added.size(); ++i) EXPECT_EQ(table[i], added[i]) << i;
}

// Captions and sections are kept once each, up to the table's most (here 4): a row that would
// bring one more, as its caption or as its section, is refused and the table stays as it was.
TEST(FindingTable, ARowPastTheLastKindOfFindingIsRefused) {
  FindingTable table(4);
  const std::vector<Finding> rows = {{"c0", "", "s0", "\\k0", ""}, {"c1", "", "s1", "\\k1", ""}};
  for (const Finding& row : rows) table.Add(row);
  for (const Finding& more :
       {Finding{"another", "", "s0", "\\k", ""}, Finding{"c0", "", "another", "\\k", ""}}) {
    EXPECT_THROW(table.Add(more), std::length_error) << more.caption << " " << more.section;
    ASSERT_EQ(table.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(table[i], rows[i]) << i;
  }
  table.Add({"c1", "", "s0", "\\k", ""});
  EXPECT_EQ(table[2].section, "s0");
}

// An allocation that fails while a row is added, whichever of them it is, leaves the table as
// it was; the same row is added whole once none fails.
TEST(FindingTable, AFailedAllocationLeavesTheTableAsItWas) {
  const Finding first = {"Incorrect expansion", ".x", "HKCR", "\\.x", ""},
                more = {"The incorrect reference to a file", std::string(300000, 'p'), "HKLM",
                        "\\SOFTWARE\\A", "v"};  // new kinds, in a block of its own
  int failures = 0;
  for (long fail = 0;; ++fail) {
    FindingTable table;
    table.Add(first);
    allocationsBeforeFailure = fail;
    bool failed = false;
    try {
      table.Add(more);
    } catch (const std::bad_alloc&) {
      failed = true;
    }
    allocationsBeforeFailure = -1;
    if (!failed) {
      ASSERT_EQ(table.size(), 2u);
      EXPECT_EQ(table[1], more);
      break;
    }
    ++failures;
    ASSERT_EQ(table.size(), 1u) << "allocation " << fail;
    ASSERT_EQ(table[0], first) << "allocation " << fail;
  }
  EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace morvane
