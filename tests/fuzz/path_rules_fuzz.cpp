// libFuzzer target for the path rules: no crash, no out-of-range read (AddressSanitizer), and
// the relations between the parts hold for every input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "CleanReg/PathRules.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}
bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace morvane;
  const std::string text(reinterpret_cast<const char*>(data), size);

  const std::string dir = DirectoryPart(text);
  const std::string name = NamePart(text);
  Require(dir + name == text);
  const std::string ext = ExtensionPart(text);
  Require(EndsWith(text, ext));
  Require(ext.empty() || ext[0] == '.');
  Require(ext.find_first_of("\\:") == std::string::npos);
  Require(StartsWith(text, StripExtension(text)));
  Require(StartsWith(text, CutAt(text, ',')));
  if (size > 0) {
    const std::size_t at = OccursIn(text.substr(size / 2), text);
    Require(at >= 1 && at <= size / 2 + 1);
  }

  std::string rebuilt;
  if (ResolveFilePath(text, rebuilt)) {
    Require(text.size() > 3 && text[1] == ':' && text[2] == '\\');
    Require(StartsWith(rebuilt, dir));
    Require(text.find_first_of("|=*") == std::string::npos);
  } else {
    Require(rebuilt.empty());
  }
  return 0;
}
