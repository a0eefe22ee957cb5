// TCleanThread: the registry scan worker. It runs up to three passes (extension keys under
// HKEY_CLASSES_ROOT, then file references under HKEY_LOCAL_MACHINE\SOFTWARE and
// HKEY_CURRENT_USER\SOFTWARE), walks each tree depth-first and hands every key it reaches to
// CheckKey. On 64-bit Windows it reads the native view, where HKEY_LOCAL_MACHINE\SOFTWARE holds
// the 32-bit programs' keys as SOFTWARE\Wow6432Node: one walk covers both views, each key once,
// and the key paths are the native ones. It never touches a window: status texts, findings and
// the end of the scan leave through the ScanSink, in order.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "CleanReg/FileAnswers.h"
#include "CleanReg/ScanQueue.h"
#include "platform/FileSystem.h"
#include "platform/RegistryApi.h"
#include "platform/TRegistry.h"

namespace morvane {

inline constexpr char kStatusExtensions[] = "Search of incorrect expansions. Please wait!";
inline constexpr char kStatusReferences[] = "Search of incorrect references to files. Please wait!";
inline constexpr char kStatusCompleted[] = "The analysis of keys of the register is completed!";
inline constexpr char kStatusStoppedEarly[] =
    "The analysis of keys of the register stopped early because of an error!";

// The name under which a subkey whose name could not be read is walked: its list position
// written with at least four digits ("0007").
std::string PositionName(std::size_t index);

class TCleanThread {
 public:
  TCleanThread(ScanSink& sink, RegistryApi& registry = SystemRegistry(),
               FileSystem& files = SystemFileSystem());
  virtual ~TCleanThread();
  TCleanThread(const TCleanThread&) = delete;
  TCleanThread& operator=(const TCleanThread&) = delete;

  // Runs RunScan on a thread of its own.
  void Start();
  // Clears FRunning; the walk stops after at most one more key inspection.
  void Cancel();
  // Waits for the thread body to return (no-op when it never started).
  void Join();

  // The thread body. Also callable directly, which runs the scan on the calling thread.
  void RunScan();

  std::atomic<bool> FRunning{false};
  bool FScanExtensions = false;
  bool FScanReferences = false;

 protected:
  // Walks the subkeys of key, which the walk holds open for reading; info is what the registry
  // said of it (counts); keyPath is its absolute path ("" for the root). Each subkey is opened
  // and asked for its counts once, relative to key: the inspection and the walk below it both
  // use that handle and that answer.
  void WalkKeys(RegKey key, const RegKeyInfo& info, const std::string& keyPath, RootKey root);
  // Inspects one key and hands over what it finds. key is the walk's handle on it, open for
  // reading, or 0 when it could not be opened (then there is nothing to inspect); info holds
  // its counts (all zero when they could not be read).
  virtual void CheckKey(const std::string& keyPath, const std::string& keyName, RootKey root,
                        RegKey key, const RegKeyInfo& info);
  // One pass: shows status, then walks the subtree below startKey (an absolute path under
  // root, "" for the root itself; the start key is not inspected). RunScan runs the passes of
  // a normal scan; a subclass may run a pass over a start key of its own choosing, as the scan
  // benchmark does over its scratch tree. FRunning must be set by the caller.
  void RunPass(const char* status, RootKey root, const std::string& startKey);

  ScanSink& sink_;
  RegistryApi& registry_;
  FileSystem& files_;

 private:
  int depth_ = 0;
  RegView view_ = RegView::Own;  // the view every open of the scan asks for
  // The file-system questions of the scan running, each asked once.
  FileAnswers answers_;
  std::vector<RegValue> values_;  // the inspection's buffers for a key's values, reused
  std::atomic<bool> cancelRequested_{false};
  std::thread thread_;
};

}  // namespace morvane
