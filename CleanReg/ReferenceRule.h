// The reference rule: when a string value's text counts as naming a file that is gone.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace morvane {

// True when the text, read as a path on a drive that is present, names neither an existing
// file nor an existing folder. A text that begins with an environment variable names no drive
// and is never reported; any other is judged with its variables expanded (one that is not
// defined leaves it unjudged). Besides the path rebuilt from the text
// (arguments cut off), the text is also tried as a file or folder and as a command line whose
// program is the text up to one of its blanks; a text that holds a wildcard character is
// never called broken. Only the system's "not found" counts: a path it cannot look at saves
// the text.
bool IsBrokenReference(const std::string& text, FileSystem& files);

}  // namespace morvane
