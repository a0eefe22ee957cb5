#include "CleanReg/CleanThread.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace morvane {

namespace {

// The registry allows 512 levels; links can make a walk go deeper than any real tree.
constexpr int kMaxWalkDepth = 512;

}  // namespace

const char* SectionCode(RootKey root) {
  switch (root) {
    case RootKey::ClassesRoot: return "HKCR";
    case RootKey::CurrentUser: return "HKCU";
    case RootKey::LocalMachine: return "HKLM";
  }
  return "";
}

std::string NormalizeParentPath(const std::string& text) {
  if (text.empty()) return "\\";
  std::string result = text;
  if (result.back() != '\\') result += '\\';
  if (result.size() > 1 && result[0] == '\\' && result[1] == '\\') result.erase(0, 1);
  return result;
}

std::string PositionName(std::size_t index) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.04d", static_cast<int>(index));
  return buffer;
}

TCleanThread::TCleanThread(ScanSink& sink, RegistryApi& registry, FileSystem& files)
    : sink_(sink), registry_(registry), files_(files) {}

TCleanThread::~TCleanThread() {
  Cancel();
  Join();
}

void TCleanThread::Start() {
  if (thread_.joinable()) return;
  FRunning = true;
  thread_ = std::thread([this] { RunScan(); });
}

void TCleanThread::Cancel() {
  cancelRequested_ = true;
  FRunning = false;
}

void TCleanThread::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TCleanThread::RunPass(const char* status, RootKey root, const std::string& startKey) {
  sink_.Status(status);
  walk_ = std::make_unique<TRegistry>(registry_);
  walk_->SelectRoot(root);
  depth_ = 0;
  WalkKeys(startKey, startKey, "");
  walk_.reset();
}

void TCleanThread::RunScan() {
  // A Cancel that arrives before the body starts must not be undone here.
  FRunning = !cancelRequested_;
  std::fill(std::begin(driveKnown_), std::end(driveKnown_), false);
  try {
    if (FScanExtensions) RunPass(kStatusExtensions, RootKey::ClassesRoot, "");
    if (FScanReferences) {
      RunPass(kStatusReferences, RootKey::LocalMachine, "\\SOFTWARE");
      RunPass(kStatusReferences, RootKey::CurrentUser, "\\SOFTWARE");
    }
  } catch (...) {
    // Whatever went wrong, the window must get back to idle: fall through to the end.
    walk_.reset();
  }
  sink_.Status(kStatusCompleted);
  FRunning = false;
  sink_.End();
}

void TCleanThread::WalkKeys(const std::string& keyPath, const std::string& openName,
                            const std::string& parentPath) {
  if (!FRunning) return;
  const std::string parent = NormalizeParentPath(parentPath);
  if (walk_->OpenPathForReading(openName) && walk_->HasChildKeys()) {
    std::vector<std::string> names;
    walk_->ListSubkeys(names);
    const RootKey root = walk_->Root();
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (!FRunning) return;
      if (names[i].empty()) names[i] = PositionName(i);
      const std::string childPath = keyPath + "\\" + names[i];
      try {
        CheckKey(childPath, names[i], root);
      } catch (const ERegistryException&) {
        // A value changed under the inspection: that key's remaining values are passed over.
      }
      if (root != RootKey::ClassesRoot && depth_ < kMaxWalkDepth) {
        ++depth_;
        WalkKeys(childPath, names[i], parent + openName);
        --depth_;
      }
    }
  }
  walk_->OpenPathForReading(parent);
}

}  // namespace morvane

namespace morvane {

std::uint32_t TCleanThread::DriveSerial(char c) {
  const auto slot = static_cast<unsigned char>(c);
  if (!driveKnown_[slot]) {
    driveSerial_[slot] = files_.DriveSerial(c);
    driveKnown_[slot] = true;
  }
  return driveSerial_[slot];
}

}  // namespace morvane
