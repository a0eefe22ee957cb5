#include "CleanReg/CleanThread.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include "platform/RegKeyHandle.h"

namespace morvane {

const char* SectionCode(RootKey root) {
  switch (root) {
    case RootKey::ClassesRoot:
      return "HKCR";
    case RootKey::CurrentUser:
      return "HKCU";
    case RootKey::LocalMachine:
      return "HKLM";
  }
  return "";
}

std::string PositionName(std::size_t index) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.04d", static_cast<int>(index));
  return buffer;
}

TCleanThread::TCleanThread(ScanSink& sink, RegistryApi& registry, FileSystem& files)
    : sink_(sink), registry_(registry), files_(files), answers_(files) {}

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
  depth_ = 0;
  view_ = WholeView(registry_);
  if (!FRunning) return;
  std::string subPath = startKey.empty() || startKey[0] != '\\' ? startKey : startKey.substr(1);
  subPath = TrimTrailingBackslashes(subPath);
  ScopedRegKey start = OpenForReading(registry_, RootHandle(root), subPath, nullptr, Links::Follow,
                                      ViewAccess(view_));
  RegKeyInfo info;
  if (start.valid() && registry_.QueryInfo(start.get(), info) == kRegOk)
    WalkKeys(start.get(), info, startKey, root);
}

void TCleanThread::RunScan() {
  // A Cancel that arrives before the body starts must not be undone here.
  FRunning = !cancelRequested_;
  answers_.Forget();
  bool stoppedEarly = false;
  try {
    if (FScanExtensions) RunPass(kStatusExtensions, RootKey::ClassesRoot, "");
    if (FScanReferences) {
      RunPass(kStatusReferences, RootKey::LocalMachine, "\\SOFTWARE");
      RunPass(kStatusReferences, RootKey::CurrentUser, "\\SOFTWARE");
    }
  } catch (...) {
    // Whatever went wrong, the window must get back to idle: fall through to the end, which
    // says that the scan did not finish. The walk's keys were closed as the error passed
    // through it.
    stoppedEarly = true;
  }
  // What the scan kept is freed here, on the worker's own thread, rather than later by whoever
  // destroys the worker: that is the window, which should not spend its time on it.
  answers_.Forget();
  std::vector<RegValue>().swap(values_);
  sink_.Status(stoppedEarly ? kStatusStoppedEarly : kStatusCompleted);
  FRunning = false;
  sink_.End();
}

void TCleanThread::WalkKeys(RegKey key, const RegKeyInfo& info, const std::string& keyPath,
                            RootKey root) {
  if (!FRunning || info.subkeys == 0) return;
  // The names are listed before any subkey is visited, so that what the inspection or the
  // world does to the key meanwhile cannot shift the positions still to come. The count was
  // read a moment before: subkeys that went since end the list where the registry says there
  // are no more.
  std::vector<std::string> names(info.subkeys);
  for (std::uint32_t i = 0; i < info.subkeys; ++i) {
    const long rc = registry_.EnumKey(key, i, names[i]);
    if (rc == kRegNoMoreItems) {
      names.resize(i);
      break;
    }
    if (rc != kRegOk) names[i].clear();
  }

  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!FRunning) return;
    if (names[i].empty()) names[i] = PositionName(i);
    const std::string childPath = keyPath + "\\" + names[i];
    // A registry link is inspected as the link key it is and never walked through: followed,
    // a link that points back up the tree would make the walk endless.
    ScopedRegKey child =
        OpenForReading(registry_, key, names[i], nullptr, Links::OpenItself, ViewAccess(view_));
    RegKeyInfo childInfo;
    if (!child.valid() || registry_.QueryInfo(child.get(), childInfo) != kRegOk)
      childInfo = RegKeyInfo{};
    try {
      CheckKey(childPath, names[i], root, child.get(), childInfo);
    } catch (const ERegistryException&) {
      // A value changed under the inspection: that key's remaining values are passed over.
    }
    // Links can make a walk go deeper than the registry's levels allow any real tree to go.
    if (root != RootKey::ClassesRoot && depth_ < kMaxKeyDepth && child.valid()) {
      ++depth_;
      WalkKeys(child.get(), childInfo, childPath, root);
      --depth_;
    }
  }
}

}  // namespace morvane
