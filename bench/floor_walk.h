// The floor of any registry scan: a bare depth-first walk that opens every key below a start
// key and reads every value's name, type and data with one RegEnumValueW call each, and nothing
// else. It uses the same wide calls as the program; it converts no text.
#pragma once

#include <windows.h>

namespace morvane::bench {

struct WalkCounts {
  long keys = 0;  // below the start key
  long values = 0;
  unsigned long long dataBytes = 0;
};

// Walks everything below key (which stays open), opening every key in the registry view given
// (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY).
WalkCounts FloorWalk(HKEY key, REGSAM view = 0);

}  // namespace morvane::bench
