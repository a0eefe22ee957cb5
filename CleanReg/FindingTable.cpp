#include "CleanReg/FindingTable.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace morvane {

namespace {

// Blocks of kBlockBytes come straight from the system and go straight back to it (on Windows
// and under Wine, heap blocks above half a megabyte do): a block's end unused is the only waste.
// A row's texts longer than this get a block of their own, so that a block's unused end stays
// under a quarter of it.
constexpr std::size_t kOwnBlockBytes = FindingTable::kBlockBytes / 4;

std::uint32_t Length(const std::string& text) {
  if (text.size() >= std::numeric_limits<std::uint32_t>::max())
    throw std::length_error("a finding's text is too long");
  return static_cast<std::uint32_t>(text.size());
}

}  // namespace

static_assert(FindingTable::kMaxKinds - 1 <= std::numeric_limits<std::uint16_t>::max(),
              "a kind's position in a row is 16 bits");

std::uint16_t FindingTable::Label(const std::string& text) {
  // A scan has a handful of captions and sections: the newest is met most often.
  for (std::size_t i = labels_.size(); i-- > 0;)
    if (labels_[i] == text) return static_cast<std::uint16_t>(i);
  if (labels_.size() >= maxKinds_) throw std::length_error("too many kinds of finding");
  labels_.push_back(text);
  return static_cast<std::uint16_t>(labels_.size() - 1);
}

char* FindingTable::Room(std::size_t bytes) {
  if (bytes > kOwnBlockBytes) {
    blocks_.push_back(std::unique_ptr<char[]>(new char[bytes]));
    return blocks_.back().get();
  }
  if (bytes > left_) {
    blocks_.push_back(std::unique_ptr<char[]>(new char[kBlockBytes]));
    next_ = blocks_.back().get();
    left_ = kBlockBytes;
  }
  char* room = next_;
  next_ += bytes;
  left_ -= bytes;
  return room;
}

void FindingTable::Add(const Finding& finding) {
  Row row{};
  row.keyPathLength = Length(finding.keyPath);
  row.parameterLength = Length(finding.parameter);
  row.valueNameLength = Length(finding.valueName);
  const std::size_t bytes =
      std::size_t{row.keyPathLength} + row.parameterLength + row.valueNameLength + 3;
  if (bytes < row.keyPathLength) throw std::length_error("a finding's texts are too long");
  row.caption = Label(finding.caption);
  row.section = Label(finding.section);
  rows_.push_back(row);
  char* texts = nullptr;
  try {
    texts = Room(bytes);
  } catch (...) {
    rows_.pop_back();
    throw;
  }
  rows_.back().texts = texts;
  for (const std::string* text : {&finding.keyPath, &finding.parameter, &finding.valueName}) {
    std::memcpy(texts, text->data(), text->size());
    texts += text->size();
    *texts++ = '\0';
  }
}

std::string_view FindingTable::Text(std::size_t row, FindingText text) const {
  const Row& r = rows_[row];
  switch (text) {
    case FindingText::Caption:
      return labels_[r.caption];
    case FindingText::Section:
      return labels_[r.section];
    case FindingText::KeyPath:
      return {r.texts, r.keyPathLength};
    case FindingText::Parameter:
      return {r.texts + r.keyPathLength + 1, r.parameterLength};
    case FindingText::ValueName:
      return {r.texts + r.keyPathLength + 1 + r.parameterLength + 1, r.valueNameLength};
  }
  return {};
}

Finding FindingTable::operator[](std::size_t row) const {
  auto text = [&](FindingText t) { return std::string(Text(row, t)); };
  return {text(FindingText::Caption), text(FindingText::Parameter), text(FindingText::Section),
          text(FindingText::KeyPath), text(FindingText::ValueName)};
}

void FindingTable::SetCaption(std::size_t row, const std::string& caption) {
  rows_[row].caption = Label(caption);
}

void FindingTable::Clear() {
  std::vector<Row>().swap(rows_);
  std::vector<std::string>().swap(labels_);
  std::vector<std::unique_ptr<char[]>>().swap(blocks_);
  next_ = nullptr;
  left_ = 0;
}

}  // namespace morvane
