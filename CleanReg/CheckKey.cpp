// The key inspection: which keys and values the scan reports.
#include "CleanReg/CleanThread.h"
#include "CleanReg/ReferenceRule.h"

namespace morvane {

namespace {

// The data of a text value as the program reads text: up to its first NUL.
std::string TextPart(const std::string& data) { return data.substr(0, data.find('\0')); }

}  // namespace

void TCleanThread::CheckKey(const std::string& keyPath, const std::string& keyName, RootKey root,
                            RegKey key, const RegKeyInfo& info) {
  if (!FRunning || key == 0) return;

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
    const std::string text = TextPart(value.data);
    if (!IsBrokenReference(text, answers_)) continue;
    sink_.Found({kCaptionReference, text, SectionCode(root), keyPath, value.name});
  }
}

}  // namespace morvane
