// The scan worker's passes and key walk, with a recording inspector in place of CheckKey.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "CleanReg/CleanThread.h"
#include "testing/MemRegistryApi.h"
#include "tests/native/recording_sink.h"

namespace morvane {
namespace {

class NoFiles final : public FileSystem {
 public:
  PathKind Look(const std::string&) override { return PathKind::Missing; }
  std::uint32_t DriveSerial(char) override { return 0; }
  std::optional<std::string> Variable(const std::string&) override { return std::nullopt; }
};

// Records every key the walk hands to the inspection.
class RecordingWalker final : public TCleanThread {
 public:
  RecordingWalker(ScanSink& sink, RegistryApi& api, FileSystem& files)
      : TCleanThread(sink, api, files) {}
  void CheckKey(const std::string& keyPath, const std::string& keyName, RootKey root, RegKey key,
                const RegKeyInfo& info) override {
    inspected.push_back(std::string(SectionCode(root)) + keyPath);
    names.push_back(keyName);
    opened.push_back(key != 0);
    if (onInspect) onInspect(keyPath);
  }
  std::vector<std::string> inspected;
  std::vector<std::string> names;
  std::vector<bool> opened;  // whether the walk had the key open for the inspection
  std::function<void(const std::string&)> onInspect;
};

class WalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mem_.AddKey(RootKey::ClassesRoot, ".txt\\ShellNew");
    mem_.AddKey(RootKey::ClassesRoot, ".abc");
    mem_.AddKey(RootKey::ClassesRoot, "txtfile\\shell\\open");
    mem_.AddKey(RootKey::LocalMachine, "SOFTWARE\\Vendor\\Tool\\Deep");
    mem_.AddKey(RootKey::LocalMachine, "SOFTWARE\\Vendor\\Zed");
    mem_.AddKey(RootKey::LocalMachine, "SOFTWARE\\Alpha");
    mem_.AddKey(RootKey::LocalMachine, "SYSTEM\\Outside");
    mem_.AddKey(RootKey::CurrentUser, "SOFTWARE\\Mine\\Sub");
    mem_.AddKey(RootKey::CurrentUser, "Environment");
  }
  RecordingWalker& Walker() {
    walker_ = std::make_unique<RecordingWalker>(sink_, mem_, files_);
    walker_->FScanExtensions = true;
    walker_->FScanReferences = true;
    return *walker_;
  }
  MemRegistryApi mem_;
  NoFiles files_;
  RecordingSink sink_;
  std::unique_ptr<RecordingWalker> walker_;
};

// On 64-bit Windows the walk reads the native view: \SOFTWARE with its Wow6432Node, whose keys
// are the 32-bit view's, each inspected once under its native path and never walked again
// under the 32-bit names.
TEST_F(WalkTest, TwoViewsAreWalkedOnceInTheNativeView) {
  mem_.SetTwoViews(true);
  mem_.AddKey(RootKey::LocalMachine, "SOFTWARE\\Wow6432Node\\Vendor\\Wow");
  RecordingWalker& w = Walker();
  w.FScanExtensions = false;
  w.RunScan();
  EXPECT_EQ(w.inspected,
            (std::vector<std::string>{
                "HKLM\\SOFTWARE\\Alpha", "HKLM\\SOFTWARE\\Vendor", "HKLM\\SOFTWARE\\Vendor\\Tool",
                "HKLM\\SOFTWARE\\Vendor\\Tool\\Deep", "HKLM\\SOFTWARE\\Vendor\\Zed",
                "HKLM\\SOFTWARE\\Wow6432Node", "HKLM\\SOFTWARE\\Wow6432Node\\Vendor",
                "HKLM\\SOFTWARE\\Wow6432Node\\Vendor\\Wow", "HKCU\\SOFTWARE\\Mine",
                "HKCU\\SOFTWARE\\Mine\\Sub"}));
  EXPECT_TRUE(std::all_of(w.opened.begin(), w.opened.end(), [](bool opened) { return opened; }));
  EXPECT_EQ(mem_.OpenHandles(), 0);
}

TEST_F(WalkTest, ThreePassesInOrderPreOrderWithinEach) {
  RecordingWalker& w = Walker();
  w.RunScan();
  EXPECT_EQ(w.inspected,
            (std::vector<std::string>{
                // Pass 1: only the top-level keys of HKEY_CLASSES_ROOT.
                "HKCR\\.abc", "HKCR\\.txt", "HKCR\\txtfile",
                // Pass 2: \SOFTWARE's descendants, each before its own subtree.
                "HKLM\\SOFTWARE\\Alpha", "HKLM\\SOFTWARE\\Vendor", "HKLM\\SOFTWARE\\Vendor\\Tool",
                "HKLM\\SOFTWARE\\Vendor\\Tool\\Deep", "HKLM\\SOFTWARE\\Vendor\\Zed",
                // Pass 3.
                "HKCU\\SOFTWARE\\Mine", "HKCU\\SOFTWARE\\Mine\\Sub"}));
  EXPECT_EQ(w.names[4], "Vendor");
  EXPECT_EQ(sink_.events,
            (std::vector<std::string>{"status:" + std::string(kStatusExtensions),
                                      "status:" + std::string(kStatusReferences),
                                      "status:" + std::string(kStatusReferences),
                                      "status:" + std::string(kStatusCompleted), "end"}));
  EXPECT_FALSE(w.FRunning);
  EXPECT_EQ(mem_.OpenHandles(), 0);
}

TEST_F(WalkTest, PassOptionsChooseThePasses) {
  RecordingWalker& w = Walker();
  w.FScanExtensions = false;
  w.RunScan();
  ASSERT_FALSE(w.inspected.empty());
  EXPECT_EQ(w.inspected.front(), "HKLM\\SOFTWARE\\Alpha");
  EXPECT_EQ(sink_.events.front(), "status:" + std::string(kStatusReferences));

  sink_.events.clear();
  RecordingWalker& only1 = Walker();
  only1.FScanReferences = false;
  only1.RunScan();
  EXPECT_EQ(only1.inspected.size(), 3u);
  EXPECT_EQ(sink_.events.size(), 3u);  // status, completed, end
}

TEST_F(WalkTest, UnreadableNameIsWalkedAsItsPosition) {
  for (int i = 0; i < 9; ++i)
    mem_.AddKey(RootKey::CurrentUser, "SOFTWARE\\Mine\\k" + std::to_string(i));
  // Enumerated as k0..k8, Sub: position 7 is k7.
  mem_.BreakSubkeyIndex(RootKey::CurrentUser, "SOFTWARE\\Mine", 7);
  std::vector<std::string> opens;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "open") opens.push_back(path);
  };
  RecordingWalker& w = Walker();
  w.FScanExtensions = false;
  w.RunScan();
  EXPECT_NE(std::find(w.inspected.begin(), w.inspected.end(), "HKCU\\SOFTWARE\\Mine\\0007"),
            w.inspected.end());
  EXPECT_EQ(std::find(w.inspected.begin(), w.inspected.end(), "HKCU\\SOFTWARE\\Mine\\k7"),
            w.inspected.end());
  // The walk also tries to open it under that name (which fails), and goes on with k8.
  EXPECT_NE(std::find(opens.begin(), opens.end(), "\\SOFTWARE\\Mine\\0007"), opens.end());
  EXPECT_NE(std::find(w.inspected.begin(), w.inspected.end(), "HKCU\\SOFTWARE\\Mine\\k8"),
            w.inspected.end());
}

TEST_F(WalkTest, KeyThatCannotBeOpenedSkipsOnlyItsSubtree) {
  mem_.AddKey(RootKey::LocalMachine, "SOFTWARE\\Vendor\\Tool\\Deep\\Deeper");
  mem_.RestrictAccess(RootKey::LocalMachine, "SOFTWARE\\Vendor\\Tool", 0);
  RecordingWalker& w = Walker();
  w.FScanExtensions = false;
  w.RunScan();
  EXPECT_EQ(w.inspected,
            (std::vector<std::string>{"HKLM\\SOFTWARE\\Alpha", "HKLM\\SOFTWARE\\Vendor",
                                      "HKLM\\SOFTWARE\\Vendor\\Tool", "HKLM\\SOFTWARE\\Vendor\\Zed",
                                      "HKCU\\SOFTWARE\\Mine", "HKCU\\SOFTWARE\\Mine\\Sub"}));
  // The inspection of Tool gets no key to look into.
  EXPECT_EQ(w.opened, (std::vector<bool>{true, true, false, true, true, true}));
  EXPECT_EQ(mem_.OpenHandles(), 0);
}

TEST_F(WalkTest, EachKeyIsOpenedOnceBelowItsParent) {
  std::map<std::string, int> opens;
  mem_.hook = [&](const std::string& op, const std::string& path) {
    if (op == "open") ++opens[path];
  };
  RecordingWalker& w = Walker();
  w.RunScan();
  ASSERT_EQ(w.inspected.size(), 10u);
  // The three start keys (the root of HKEY_CLASSES_ROOT and \SOFTWARE of the other two) and
  // every inspected key, each opened once: the inspection uses the walk's own handle.
  EXPECT_EQ(opens[""], 1);
  EXPECT_EQ(opens["\\SOFTWARE"], 2);
  int total = 0;
  for (const auto& [path, count] : opens) total += count;
  EXPECT_EQ(total, 3 + 10);
  for (const std::string& key : w.inspected) EXPECT_EQ(opens[key.substr(4)], 1) << key;
  EXPECT_EQ(w.opened, std::vector<bool>(10, true));
}

TEST_F(WalkTest, CancelDeepInTheWalkStopsAtOnceAndClosesEveryKey) {
  RecordingWalker& w = Walker();
  w.onInspect = [&](const std::string& path) {
    if (path == "\\SOFTWARE\\Vendor\\Tool") w.Cancel();
  };
  w.RunScan();
  EXPECT_EQ(w.inspected.back(), "HKLM\\SOFTWARE\\Vendor\\Tool");
  EXPECT_EQ(w.inspected.size(), 3u + 3u);
  EXPECT_EQ(sink_.events.back(), "end");
  EXPECT_EQ(mem_.OpenHandles(), 0);
}

TEST_F(WalkTest, KeyVanishingMidScanDoesNotDisturbItsSiblings) {
  RecordingWalker& w = Walker();
  w.FScanExtensions = false;
  w.onInspect = [&](const std::string& path) {
    if (path == "\\SOFTWARE\\Vendor")
      mem_.RemoveKey(RootKey::LocalMachine, "SOFTWARE\\Vendor\\Tool");
  };
  w.RunScan();
  EXPECT_EQ(w.inspected,
            (std::vector<std::string>{"HKLM\\SOFTWARE\\Alpha", "HKLM\\SOFTWARE\\Vendor",
                                      "HKLM\\SOFTWARE\\Vendor\\Zed", "HKCU\\SOFTWARE\\Mine",
                                      "HKCU\\SOFTWARE\\Mine\\Sub"}));
}

TEST_F(WalkTest, CancelDuringPassOneStillReportsTheLaterPassesAndTheEnd) {
  RecordingWalker& w = Walker();
  w.onInspect = [&](const std::string& path) {
    if (path == "\\.abc") w.Cancel();
  };
  w.RunScan();
  EXPECT_EQ(w.inspected, (std::vector<std::string>{"HKCR\\.abc"}));
  EXPECT_EQ(sink_.events,
            (std::vector<std::string>{"status:" + std::string(kStatusExtensions),
                                      "status:" + std::string(kStatusReferences),
                                      "status:" + std::string(kStatusReferences),
                                      "status:" + std::string(kStatusCompleted), "end"}));
  EXPECT_EQ(mem_.OpenHandles(), 0);
}

TEST_F(WalkTest, CancelBeforeTheBodyStartsIsNotUndone) {
  RecordingWalker& w = Walker();
  w.Cancel();
  w.RunScan();
  EXPECT_TRUE(w.inspected.empty());
  EXPECT_EQ(sink_.events.back(), "end");
}

TEST_F(WalkTest, ErrorInsideTheInspectionSkipsThatKeyOnly) {
  class Throwing final : public TCleanThread {
   public:
    using TCleanThread::TCleanThread;
    void CheckKey(const std::string& keyPath, const std::string&, RootKey, RegKey,
                  const RegKeyInfo&) override {
      seen.push_back(keyPath);
      if (keyPath == "\\SOFTWARE\\Alpha") throw ERegistryException("Invalid data type for 'x'");
    }
    std::vector<std::string> seen;
  } w(sink_, mem_, files_);
  w.FScanReferences = true;
  w.RunScan();
  EXPECT_EQ(w.seen.size(), 7u);
  EXPECT_EQ(sink_.events.back(), "end");
}

TEST_F(WalkTest, AnyOtherFailureStillEndsTheScan) {
  class Failing final : public TCleanThread {
   public:
    using TCleanThread::TCleanThread;
    void CheckKey(const std::string&, const std::string&, RootKey, RegKey,
                  const RegKeyInfo&) override {
      throw std::bad_alloc();
    }
  } w(sink_, mem_, files_);
  w.FScanExtensions = true;
  w.FScanReferences = true;
  w.RunScan();
  EXPECT_EQ(sink_.events.back(), "end");
  EXPECT_EQ(sink_.events[sink_.events.size() - 2], "status:" + std::string(kStatusStoppedEarly));
  EXPECT_FALSE(w.FRunning);
}

TEST_F(WalkTest, LinkLoopDepthIsBounded) {
  // A chain deeper than the registry allows stands in for a link that loops back on itself.
  std::string path = "SOFTWARE";
  for (int i = 0; i < 600; ++i) path += "\\L";
  mem_.AddKey(RootKey::CurrentUser, path);
  RecordingWalker& w = Walker();
  w.FScanExtensions = false;
  w.RunScan();
  std::size_t deepest = 0;
  for (const std::string& key : w.inspected)
    deepest = std::max<std::size_t>(deepest, std::count(key.begin(), key.end(), '\\'));
  EXPECT_LE(deepest, 514u);
  EXPECT_GE(deepest, 500u);
  EXPECT_EQ(sink_.events.back(), "end");
}

TEST_F(WalkTest, ThreadedScanHandsOverInOrderAndEnds) {
  for (int i = 0; i < 200; ++i)
    mem_.AddKey(RootKey::LocalMachine, "SOFTWARE\\Many\\k" + std::to_string(1000 + i));
  RecordingWalker& w = Walker();
  w.Start();
  w.Join();
  EXPECT_EQ(sink_.events.back(), "end");
  EXPECT_EQ(w.inspected.size(), 3u + 5u + 200u + 1u + 2u);
}

TEST(PositionName, FourDigitsAtLeast) {
  EXPECT_EQ(PositionName(7), "0007");
  EXPECT_EQ(PositionName(0), "0000");
  EXPECT_EQ(PositionName(12345), "12345");
}

}  // namespace
}  // namespace morvane
