// The program's version, written once: the window and task-bar title, the version resource
// (Morvane.rc), the help page's title and the download's README.txt (CMakeLists.txt) and the
// zip's name (scripts/release.sh) all take it from here; the last two read the two numbers below.
// Plain preprocessor lines: the resource compiler reads this file.
// The backup file's first line is a file format's mark, not this version (CleanReg/Repair.h).
#ifndef MORVANE_RESOURCES_VERSION_H
#define MORVANE_RESOURCES_VERSION_H

#define MORVANE_VERSION_MAJOR 1
#define MORVANE_VERSION_MINOR 0

#define MORVANE_VERSION_STRING_(n) #n
#define MORVANE_VERSION_STRING(n) MORVANE_VERSION_STRING_(n)
// "1.0": the version as people read it.
#define MORVANE_VERSION_TEXT \
  MORVANE_VERSION_STRING(MORVANE_VERSION_MAJOR) "." MORVANE_VERSION_STRING(MORVANE_VERSION_MINOR)

#endif
