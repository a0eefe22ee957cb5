// The maker's addresses that the program opens, and where its help page lies. The addresses
// are kept here and nowhere else; their domain is one reserved for examples.
#pragma once

#include <string>

namespace morvane {

inline constexpr char kHomePage[] = "http://www.example.com";
inline constexpr char kSupportMail[] = "support@example.com";

// The product page lies under the home page.
inline std::string ProductPage() { return std::string(kHomePage) + "/mv.php"; }
inline std::string SupportMailTo() { return std::string("mailto:") + kSupportMail; }

// "help.html" in the executable's folder; empty when the path names no folder.
inline std::string HelpPagePath(const std::string& executable) {
  const std::size_t cut = executable.find_last_of('\\');
  if (cut == std::string::npos) return std::string();
  return executable.substr(0, cut) + "\\help.html";
}

}  // namespace morvane
