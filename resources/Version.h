// The program's version, written once: the window and task-bar title, the version resource
// (Morvane.rc) and the release's file names (scripts/release.sh, which reads the two numbers
// below) all take it from here. Plain preprocessor lines: the resource compiler reads this file.
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
