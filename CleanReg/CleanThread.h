// TCleanThread: the registry scan worker. It runs up to three passes (extension keys under
// HKEY_CLASSES_ROOT, then file references under HKEY_LOCAL_MACHINE\SOFTWARE and
// HKEY_CURRENT_USER\SOFTWARE), walks each tree depth-first and hands every key it reaches to
// CheckKey. It never touches a window: status texts, findings and the end of the scan leave
// through the ScanSink, in order.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "CleanReg/ScanQueue.h"
#include "platform/FileSystem.h"
#include "platform/TRegistry.h"

namespace morvane {

inline constexpr char kStatusExtensions[] = "Search of incorrect expansions. Please wait!";
inline constexpr char kStatusReferences[] = "Search of incorrect references to files. Please wait!";
inline constexpr char kStatusCompleted[] = "The analysis of keys of the register is completed!";

// "\" for an empty text; otherwise the text with one trailing backslash, and a leading double
// backslash reduced to one.
std::string NormalizeParentPath(const std::string& text);

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
  // Walks the subkeys of one key: keyPath is its absolute path ("" for the root), openName what
  // the walk cursor opens to reach it, parentPath the absolute path of its parent.
  void WalkKeys(const std::string& keyPath, const std::string& openName, const std::string& parentPath);
  // Inspects one key and hands over what it finds.
  virtual void CheckKey(const std::string& keyPath, const std::string& keyName, RootKey root);
  // Volume serial of drive letter c, asked of the system once per scan.
  std::uint32_t DriveSerial(char c);
  // One pass: shows status, then walks the subtree below startKey (an absolute path under
  // root, "" for the root itself; the start key is not inspected). RunScan runs the passes of
  // a normal scan; a subclass may run a pass over a start key of its own choosing, as the scan
  // benchmark does over its scratch tree. FRunning must be set by the caller.
  void RunPass(const char* status, RootKey root, const std::string& startKey);

  ScanSink& sink_;
  RegistryApi& registry_;
  FileSystem& files_;

 private:
  std::unique_ptr<TRegistry> walk_;
  int depth_ = 0;
  std::uint32_t driveSerial_[256] = {};
  bool driveKnown_[256] = {};
  std::atomic<bool> cancelRequested_{false};
  std::thread thread_;
};

}  // namespace morvane
