// The key inspection: which keys and values the scan reports.
#include "CleanReg/CleanThread.h"
#include "CleanReg/ReferenceRule.h"

namespace morvane {

namespace {

// The data of a text value as the program reads text: up to its first NUL.
std::string TextPart(const std::string& data) { return data.substr(0, data.find('\0')); }

// A value name read through the ANSI calls holds '?' where the code page has no character for
// one of the name's own; such a name does not find its value again, and the value is read back
// by name exactly as any lookup by name would.
bool NameMayBeLossy(const std::string& name) { return name.find('?') != std::string::npos; }

}  // namespace

void TCleanThread::CheckKey(const std::string& keyPath, const std::string& keyName, RootKey root, RegKey key) {
  if (!FRunning || key == 0) return;
  RegKeyInfo info;
  if (registry_.QueryInfo(key, info) != kRegOk) info = RegKeyInfo{};

  if (root == RootKey::ClassesRoot) {
    if (!keyName.empty() && keyName[0] == '.' && info.values == 0 && info.subkeys == 0)
      sink_.Found({kCaptionExpansion, keyName, SectionCode(root), keyPath, ""});
    return;
  }

  // One call per value gives its name, type and data together. All of the key's values are
  // read before any is looked into, so that what changes while the slower checks run cannot
  // shift the positions still to be read.
  if (values_.size() < info.values) values_.resize(info.values);
  std::size_t count = 0;
  for (std::uint32_t i = 0; i < info.values; ++i)
    if (registry_.EnumValue(key, i, values_[count], true) == kRegOk) ++count;  // else gone since

  for (std::size_t n = 0; n < count; ++n) {
    const RegValue& value = values_[n];
    if (value.type != kRegSz) continue;
    std::string text;
    if (NameMayBeLossy(value.name)) {
      std::uint32_t type = 0;
      if (registry_.QueryValue(key, value.name, type, nullptr) != kRegOk || type != kRegSz) continue;
      std::string data;
      if (registry_.QueryValue(key, value.name, type, &data) != kRegOk || data.empty()) continue;
      if (type != kRegSz && type != kRegExpandSz) continue;  // the value changed type since
      text = TextPart(data);
    } else {
      text = TextPart(value.data);
    }
    if (!IsBrokenReference(text, answers_)) continue;
    // The narrow reading spells a character that the ANSI code page lacks as a look-alike or a
    // '?', and then names some other file. Only a text read the same through the wide call is
    // reported; asked only here, for the few values about to be reported.
    std::string exactText;
    bool exact = false;
    if (registry_.QueryExactText(key, value.name, exactText, exact) != kRegOk || !exact || exactText != text)
      continue;
    sink_.Found({kCaptionReference, text, SectionCode(root), keyPath, value.name});
  }
}

}  // namespace morvane
