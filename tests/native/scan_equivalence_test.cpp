// The worker against the reference scan on random in-memory trees with faults: the same keys
// inspected in the same order, the same findings in the same order.
#include <gtest/gtest.h>

#include "testing/MemRegistryApi.h"
#include "tests/native/fake_files.h"
#include "tests/native/random_tree.h"
#include "tests/native/recording_sink.h"
#include "tests/native/reference_scan.h"

namespace morvane {
namespace {

std::vector<std::string> Texts() {
  std::vector<std::string> texts;
  for (const char* drive : {"C:", "c:", "D:", "Q:", "A:", "a:", "1:"})
    for (const char* file : {"\\Tool\\app.exe", "\\Program Files\\V\\lib.dll", "\\Data\\store.d",
                             "\\readme", "\\x.txt.", "\\Gone\\doc.pdf", "\\Gone\\"})
      for (const char* tail : {"", " -u", ",0", "!1", " %1", "^x", " /s", " \"%1\"", "|x", "*"})
        texts.push_back(std::string(drive) + file + tail);
  for (const char* other : {"", "plain words", "%TEMP%\\a.exe", "\"C:\\q.exe\"",
                            "\\\\server\\share\\f.exe", "C:\\a:\\b.exe", "C:\\Tool\\app.exe"})
    texts.push_back(other);
  return texts;
}

class ScanEquivalenceTest : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  void SetUp() override {
    files_.files = {"C:\\Tool\\app.exe", "c:\\readme", "C:\\Program Files\\V\\lib.dll -u",
                    "D:\\Gone\\doc.pdf"};
    files_.folders = {"C:\\Data\\store.d", "D:\\Tool\\app.exe"};
    files_.serials['D'] = 0x77;
  }
  MemRegistryApi mem_;
  FakeFiles files_;
};

TEST_P(ScanEquivalenceTest, SameKeysAndFindingsInTheSameOrder) {
  RandomTree tree(GetParam(), Texts());
  std::vector<std::string> keys;
  for (const char* top : {".a", ".b", ".c", "ab", ".D", "progid"})
    tree.Seed(mem_, RootKey::ClassesRoot, top + std::to_string(tree.Next(9)), 2, 1);
  for (RootKey root : {RootKey::LocalMachine, RootKey::CurrentUser}) {
    const std::vector<std::string> made = tree.Seed(mem_, root, "SOFTWARE", 150, 4);
    for (const std::string& path : made) {
      switch (tree.Next(30)) {
        case 0:
          mem_.RestrictAccess(root, path, 0);
          break;  // cannot be opened
        case 1:
          mem_.RestrictAccess(root, path, kKeyQueryValue);
          break;  // only by the last try
        case 2:
          mem_.BreakSubkeyIndex(root, path, tree.Next(3));
          break;  // a name that cannot be read
        default:
          break;
      }
    }
  }
  mem_.AddKey(RootKey::ClassesRoot, ".empty");

  ReferenceScan reference(mem_, files_);
  reference.FullScan();

  RecordingSink sink;
  RecordingScan worker(sink, mem_, files_);
  worker.FScanExtensions = worker.FScanReferences = true;
  worker.RunScan();

  ASSERT_GT(reference.inspected.size(), 40u);
  EXPECT_EQ(worker.inspected, reference.inspected);
  EXPECT_EQ(sink.findings, reference.findings);
  EXPECT_FALSE(reference.findings.empty());
  EXPECT_EQ(mem_.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ScanEquivalenceTest, ::testing::Range(1u, 25u));

}  // namespace
}  // namespace morvane
