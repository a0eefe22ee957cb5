// FindingTable: the findings a scan handed over, row by row, as the findings list holds them.
// A scan of a large registry can find hundreds of thousands of rows with key paths of a thousand
// characters, and a 32-bit program has 2 GB of address space: the table holds each row's texts
// once, packed one after another in large blocks, beside one small record per row. The kind of
// error and the section repeat on every row and are kept once each. Large blocks go to and come
// back from the system whole, so the rows leave no heap behind them when they are cleared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CleanReg/Finding.h"

namespace morvane {

// The texts of a row; the first four are the findings list's columns, in order.
enum class FindingText { Caption, Parameter, Section, KeyPath, ValueName };

class FindingTable {
 public:
  // Rows' texts are packed into blocks of this many bytes.
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
  // The most distinct captions and sections a table keeps, together: all that the 16-bit
  // position of each tells apart.
  static constexpr std::size_t kMaxKinds = std::size_t{1} << 16;

  // maxKinds, below kMaxKinds, lets a test reach the limit with a few rows.
  explicit FindingTable(std::size_t maxKinds = kMaxKinds)
      : maxKinds_(maxKinds < kMaxKinds ? maxKinds : kMaxKinds) {}

  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }

  // Appends a row, unchecked. Throws std::length_error past maxKinds distinct captions and
  // sections, or past 4 GB in one text; the table is then as it was.
  void Add(const Finding& finding);
  // The row as added, with its caption as last set. row must be below size().
  Finding operator[](std::size_t row) const;
  // One text of a row, followed in memory by a zero character. row must be below size().
  std::string_view Text(std::size_t row, FindingText text) const;
  void SetCaption(std::size_t row, const std::string& caption);
  bool Checked(std::size_t row) const { return rows_[row].checked; }
  void SetChecked(std::size_t row, bool checked) { rows_[row].checked = checked; }
  // Forgets every row and gives all the memory back.
  void Clear();
  // The blocks the rows' texts are packed into, held now.
  std::size_t BlocksHeld() const { return blocks_.size(); }

 private:
  struct Row {
    const char* texts;  // key path, parameter and value name, each followed by a zero
    std::uint32_t keyPathLength, parameterLength, valueNameLength;
    std::uint16_t caption, section;  // positions in labels_
    bool checked;
  };

  std::uint16_t Label(const std::string& text);
  char* Room(std::size_t bytes);

  std::vector<Row> rows_;
  std::vector<std::string> labels_;  // the captions and sections met, each once
  std::size_t maxKinds_;             // the most of them
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* next_ = nullptr;  // the free end of the block rows are packed into
  std::size_t left_ = 0;  // and its length
};

}  // namespace morvane
