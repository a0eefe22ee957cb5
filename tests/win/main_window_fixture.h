// A main window over an in-memory registry seeded with one finding of each kind, whose scan
// can be held inside the registry until the test lets it go.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "testing/MemRegistryApi.h"
#include "tests/native/fake_files.h"
#include "tests/win/window_harness.h"

namespace morvane {

using namespace morvane::testing;

// Holds the scan worker inside the registry until the test lets it go.
class Gate {
 public:
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    reached_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  bool Reached() {
    std::lock_guard<std::mutex> lock(mutex_);
    return reached_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false, reached_ = false;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mem_.AddKey(RootKey::ClassesRoot, ".empty");
    mem_.AddKey(RootKey::ClassesRoot, ".full\\ShellNew");
    mem_.AddText(RootKey::CurrentUser, "SOFTWARE\\Vendor", "Path", "C:\\Gone\\tool.exe");
    mem_.AddKey(RootKey::LocalMachine, "SOFTWARE\\Blocker");
  }
  void TearDown() override {
    gate_.Open();
    form_.reset();
  }
  TMainForm& Form() {
    form_ = std::make_unique<TMainForm>(services_.Make(&mem_, &files_));
    form_->Show();
    Pump(*form_);
    return *form_;
  }
  // The next scan stops inside the registry at \SOFTWARE\Blocker until gate_.Open().
  void HoldScan() {
    mem_.hook = [this](const std::string& op, const std::string& path) {
      if (op == "open" && path == "\\SOFTWARE\\Blocker") gate_.Wait();
    };
  }
  bool ScanEnded(TMainForm& form) { return !form.FCleanThread && form.ZelButton1->Enabled(); }

  MemRegistryApi mem_;
  FakeFiles files_;
  RecordedServices services_;
  Gate gate_;
  std::unique_ptr<TMainForm> form_;
};

}  // namespace morvane
