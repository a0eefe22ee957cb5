// The scan worker's passes and key walk: with a recording inspector in place of CheckKey, and
// against the plain reference scan on random trees with faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "CleanReg/CleanThread.h"
#include "testing/MemRegistryApi.h"
#include "tests/native/fake_files.h"
#include "tests/native/random_tree.h"
#include "tests/native/recording_sink.h"
#include "tests/native/reference_scan.h"

namespace morvane {
namespace {

using Keys = std::vector<std::string>;
constexpr RootKey HKCR = RootKey::ClassesRoot, HKLM = RootKey::LocalMachine,
                  HKCU = RootKey::CurrentUser;

// Records every key the walk hands to the inspection; may cancel or throw there.
class RecordingWalker final : public TCleanThread {
 public:
  using TCleanThread::TCleanThread;
  void CheckKey(const std::string& keyPath, const std::string& keyName, RootKey root, RegKey key,
                const RegKeyInfo&) override {
    inspected.push_back(std::string(SectionCode(root)) + keyPath);
    names.push_back(keyName);
    opened.push_back(key != 0);
    if (onInspect) onInspect(keyPath);
  }
  Keys inspected, names;
  std::vector<bool> opened;  // whether the walk had the key open for the inspection
  std::function<void(const std::string&)> onInspect;
};

const Keys kReferenceKeys = {"HKLM\\SOFTWARE\\Alpha",
                             "HKLM\\SOFTWARE\\Vendor",
                             "HKLM\\SOFTWARE\\Vendor\\Tool",
                             "HKLM\\SOFTWARE\\Vendor\\Tool\\Deep",
                             "HKLM\\SOFTWARE\\Vendor\\Zed",
                             "HKLM\\SOFTWARE\\Wow6432Node",
                             "HKLM\\SOFTWARE\\Wow6432Node\\Vendor",
                             "HKLM\\SOFTWARE\\Wow6432Node\\Vendor\\Wow",
                             "HKCU\\SOFTWARE\\Mine",
                             "HKCU\\SOFTWARE\\Mine\\Sub"};
const Keys kAllEvents = {
    "status:" + std::string(kStatusExtensions), "status:" + std::string(kStatusReferences),
    "status:" + std::string(kStatusReferences), "status:" + std::string(kStatusCompleted), "end"};

class WalkTest : public ::testing::Test {
 protected:
  // As on 64-bit Windows, where \SOFTWARE holds the 32-bit view's keys in Wow6432Node.
  void SetUp() override {
    mem_.SetTwoViews(true);
    for (const char* k : {".txt\\ShellNew", ".abc", "txtfile\\shell\\open"}) mem_.AddKey(HKCR, k);
    for (const char* k :
         {"SOFTWARE\\Vendor\\Tool\\Deep", "SOFTWARE\\Vendor\\Zed", "SOFTWARE\\Alpha",
          "SYSTEM\\Outside", "SOFTWARE\\Wow6432Node\\Vendor\\Wow"})
      mem_.AddKey(HKLM, k);
    for (const char* k : {"SOFTWARE\\Mine\\Sub", "Environment"}) mem_.AddKey(HKCU, k);
  }
  RecordingWalker& Walk(bool extensions = true) {
    walker_ = std::make_unique<RecordingWalker>(sink_, mem_, files_);
    walker_->FScanExtensions = extensions;
    walker_->FScanReferences = true;
    walker_->RunScan();
    return *walker_;
  }
  MemRegistryApi mem_;
  FakeFiles files_;
  RecordingSink sink_;
  std::unique_ptr<RecordingWalker> walker_;
};

// Three passes in order: the top-level keys of HKEY_CLASSES_ROOT, then \SOFTWARE of the machine
// and of the user, each key before its own subtree, the 32-bit view's once under their native
// paths. Every key is opened once, below its parent, and the inspection uses the walk's handle.
TEST_F(WalkTest, ThreePassesInOrderEachKeyOpenedOnce) {
  std::map<std::string, int> opens;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "open") ++opens[path];
  };
  RecordingWalker& w = Walk();
  Keys expected = {"HKCR\\.abc", "HKCR\\.txt", "HKCR\\txtfile"};
  expected.insert(expected.end(), kReferenceKeys.begin(), kReferenceKeys.end());
  EXPECT_EQ(w.inspected, expected);
  EXPECT_EQ(w.names[4], "Vendor");
  EXPECT_EQ(sink_.events, kAllEvents);
  EXPECT_FALSE(w.FRunning);
  EXPECT_EQ(mem_.OpenHandles(), 0);
  EXPECT_EQ(w.opened, std::vector<bool>(13, true));
  // The three start keys (the root of HKEY_CLASSES_ROOT and \SOFTWARE twice) and each key.
  EXPECT_EQ(opens[""], 1);
  EXPECT_EQ(opens["\\SOFTWARE"], 2);
  for (const std::string& key : w.inspected) EXPECT_EQ(opens[key.substr(4)], 1) << key;
  EXPECT_EQ(opens.size(), 2u + 13u);

  sink_.events.clear();
  walker_ = std::make_unique<RecordingWalker>(sink_, mem_, files_);
  walker_->FScanExtensions = true;  // the extension pass alone
  walker_->RunScan();
  EXPECT_EQ(walker_->inspected.size(), 3u);
  EXPECT_EQ(sink_.events.size(), 3u);
}

// A cancel at any point stops the walk at once; every pass still says its status, the scan
// ends, and every key is closed.
TEST_F(WalkTest, CancelStopsAtOnceAtEveryPoint) {
  const struct {
    const char* at;  // the key whose inspection cancels; null: before the scan starts
    std::size_t inspected;
  } rows[] = {
      {nullptr, 0}, {"\\.abc", 1}, {"\\SOFTWARE\\Vendor\\Tool", 6}, {"\\SOFTWARE\\Mine", 12}};
  for (const auto& row : rows) {
    sink_.events.clear();
    walker_ = std::make_unique<RecordingWalker>(sink_, mem_, files_);
    RecordingWalker& w = *walker_;
    w.FScanExtensions = w.FScanReferences = true;
    w.onInspect = [&](const std::string& path) {
      if (row.at && path == row.at) w.Cancel();
    };
    if (!row.at) w.Cancel();
    w.RunScan();
    EXPECT_EQ(w.inspected.size(), row.inspected) << (row.at ? row.at : "before");
    EXPECT_EQ(w.inspected.empty() ? "" : w.inspected.back().substr(4), row.at ? row.at : "");
    EXPECT_EQ(sink_.events, kAllEvents);
    EXPECT_EQ(mem_.OpenHandles(), 0);
  }
}

// Faults inside the walk skip only what they touch.
TEST_F(WalkTest, FaultsSkipOnlyWhatTheyTouch) {
  // A name that cannot be read is walked under its position (opening it by that fails).
  for (int i = 0; i < 9; ++i) mem_.AddKey(HKCU, "SOFTWARE\\Mine\\k" + std::to_string(i));
  mem_.BreakSubkeyIndex(HKCU, "SOFTWARE\\Mine", 7);  // k0..k8, Sub: position 7 is k7
  // A key that cannot be opened is inspected without a handle and not walked into.
  mem_.AddKey(HKLM, "SOFTWARE\\Vendor\\Tool\\Deep\\Deeper");
  mem_.RestrictAccess(HKLM, "SOFTWARE\\Vendor\\Tool", 0);
  // A key that goes after its parent's subkeys were counted ends the list early.
  walker_ = std::make_unique<RecordingWalker>(sink_, mem_, files_);
  RecordingWalker* w = walker_.get();
  w->FScanReferences = true;
  w->onInspect = [&](const std::string& path) {
    if (path == "\\SOFTWARE\\Vendor") mem_.RemoveKey(HKLM, "SOFTWARE\\Vendor\\Zed");
  };
  w->RunScan();
  Keys expected = kReferenceKeys;
  expected.erase(expected.begin() + 3, expected.begin() + 5);  // below Tool, and Zed
  expected.pop_back();
  for (const char* k : {"k0", "k1", "k2", "k3", "k4", "k5", "k6", "0007", "k8", "Sub"})
    expected.push_back("HKCU\\SOFTWARE\\Mine\\" + std::string(k));
  EXPECT_EQ(w->inspected, expected);
  EXPECT_EQ(w->opened[2], false);
  EXPECT_EQ(w->opened[14], false);
  EXPECT_EQ(std::count(w->opened.begin(), w->opened.end(), false), 2);
  EXPECT_EQ(mem_.OpenHandles(), 0);
  EXPECT_EQ(PositionName(12345), "12345");
}

// An error inside one inspection skips that key only; any other failure ends the scan early.
TEST_F(WalkTest, ErrorsInTheInspection) {
  struct Throwing final : TCleanThread {
    using TCleanThread::TCleanThread;
    void CheckKey(const std::string& path, const std::string&, RootKey, RegKey,
                  const RegKeyInfo&) override {
      seen.push_back(path);
      if (path == "\\SOFTWARE\\Alpha") throw ERegistryException("Invalid data type for 'x'");
      if (path == "\\SOFTWARE\\Mine\\Sub" && fatal) throw std::bad_alloc();
    }
    Keys seen;
    bool fatal = false;
  };
  for (bool fatal : {false, true}) {
    sink_.events.clear();
    Throwing w(sink_, mem_, files_);
    w.FScanReferences = true;
    w.fatal = fatal;
    w.RunScan();
    EXPECT_EQ(w.seen.size(), 10u);
    EXPECT_EQ(sink_.events.back(), "end");
    EXPECT_EQ(sink_.events[sink_.events.size() - 2],
              "status:" + std::string(fatal ? kStatusStoppedEarly : kStatusCompleted));
    EXPECT_FALSE(w.FRunning);
    EXPECT_EQ(mem_.OpenHandles(), 0);
  }
}

// A chain deeper than the registry allows stands in for a link that loops back on itself.
TEST_F(WalkTest, LinkLoopDepthIsBounded) {
  std::string path = "SOFTWARE";
  for (int i = 0; i < 600; ++i) path += "\\L";
  mem_.AddKey(HKCU, path);
  std::size_t deepest = 0;
  for (const std::string& key : Walk(false).inspected)
    deepest = std::max<std::size_t>(deepest, std::count(key.begin(), key.end(), '\\'));
  EXPECT_LE(deepest, 514u);
  EXPECT_GE(deepest, 500u);
  EXPECT_EQ(sink_.events.back(), "end");
}

// The worker against the reference scan on random trees with keys that cannot be opened, open
// only by the last try, and names that cannot be read: the same keys inspected in the same
// order, the same findings in the same order.
TEST(ScanEquivalence, SameKeysAndFindingsAsTheReferenceScan) {
  std::vector<std::string> texts = {"",
                                    "plain words",
                                    "%TEMP%\\a.exe",
                                    "\"C:\\q.exe\"",
                                    "\\\\server\\share\\f.exe",
                                    "C:\\a:\\b.exe"};
  for (const char* drive : {"C:", "c:", "D:", "Q:", "A:", "1:"})
    for (const char* file : {"\\Tool\\app.exe", "\\Program Files\\V\\lib.dll", "\\Data\\store.d",
                             "\\readme", "\\x.txt.", "\\Gone\\doc.pdf", "\\Gone\\"})
      for (const char* tail : {"", " -u", ",0", "!1", " %1", " /s", " \"%1\"", "|x", "*"})
        texts.push_back(std::string(drive) + file + tail);
  for (std::uint32_t seed = 1; seed < 13; ++seed) {
    MemRegistryApi mem;
    FakeFiles files;
    files.files = {"C:\\Tool\\app.exe", "c:\\readme", "C:\\Program Files\\V\\lib.dll -u",
                   "D:\\Gone\\doc.pdf"};
    files.folders = {"C:\\Data\\store.d", "D:\\Tool\\app.exe"};
    files.serials['D'] = 0x77;
    RandomTree tree(seed, texts);
    for (const char* top : {".a", ".b", "ab", ".D"})
      tree.Seed(mem, HKCR, top + std::to_string(tree.Next(9)), 2, 1);
    mem.AddKey(HKCR, ".empty");
    for (RootKey root : {HKLM, HKCU})
      for (const std::string& path : tree.Seed(mem, root, "SOFTWARE", 100, 4)) {
        const std::uint32_t fault = tree.Next(30);
        if (fault < 2) mem.RestrictAccess(root, path, fault == 0 ? 0u : kKeyQueryValue);
        if (fault == 2) mem.BreakSubkeyIndex(root, path, tree.Next(3));
      }
    ReferenceScan reference(mem, files);
    reference.FullScan();
    RecordingSink sink;
    RecordingScan worker(sink, mem, files);
    worker.FScanExtensions = worker.FScanReferences = true;
    worker.RunScan();
    ASSERT_GT(reference.inspected.size(), 40u);
    EXPECT_EQ(worker.inspected, reference.inspected) << seed;
    EXPECT_EQ(sink.findings, reference.findings) << seed;
    EXPECT_FALSE(reference.findings.empty());
    EXPECT_EQ(mem.OpenHandles(), 0);
  }
}

}  // namespace
}  // namespace morvane
