// A Finding: one row of the findings list, produced by the scan and consumed by the repair.
#pragma once

#include <string>

#include "platform/RegistryApi.h"

namespace morvane {

inline constexpr char kCaptionExpansion[] = "Incorrect expansion";
inline constexpr char kCaptionReference[] = "The incorrect reference to a file";

struct Finding {
  std::string caption;    // the kind of error
  std::string parameter;  // extension key name, or the value's text as read
  std::string section;    // "HKCR", "HKCU" or "HKLM"
  std::string keyPath;    // from the root, beginning with a backslash
  std::string valueName;  // empty for an extension key and for a default value

  bool operator==(const Finding& other) const {
    return caption == other.caption && parameter == other.parameter && section == other.section &&
           keyPath == other.keyPath && valueName == other.valueName;
  }
};

// Section code of a root key: "HKCR", "HKCU" or "HKLM".
const char* SectionCode(RootKey root);

}  // namespace morvane
