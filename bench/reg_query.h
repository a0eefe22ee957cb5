// Runs Wine's own reg.exe as a child process, the way a person would compare: `reg query KEY /s`
// with its output going to a file (or to NUL), and times it from start to exit.
#pragma once

#include <string>

namespace morvane::bench {

struct ChildRun {
  double seconds = 0;
  unsigned long exitCode = 0;
  bool started = false;
};

// key is a full key name such as "HKCU\\SOFTWARE\\MorvaneBench"; output is a file name, or "NUL".
ChildRun RegQueryRecursive(const std::string& key, const std::string& output);

}  // namespace morvane::bench
