// Which of a log's rows a filter shows: one bit per row evaluated, and a
// count of the rows shown before each block of kBlockRows, so that the n-th
// row shown is found in O(log rows) and the heap holds a little over one
// bit per row, whatever the number of rows.
#ifndef PINWORTH_EXPLORER_SHOWN_ROWS_H
#define PINWORTH_EXPLORER_SHOWN_ROWS_H

#include <cstdint>
#include <vector>

namespace explorer {

class ShownRows {
public:
  static constexpr uint64_t kBlockRows = 4096;

  void clear();
  // Evaluates the next row.
  void append(bool shown);
  // Rows evaluated.
  uint64_t size() const { return size_; }
  uint64_t shownCount() const { return shownCount_; }
  // The n-th row shown (n < shownCount()), counting from 0.
  uint64_t nthShown(uint64_t n) const;
  // How many rows before row (row <= size()) are shown.
  uint64_t shownBefore(uint64_t row) const;
  // The first row shown at or after row; size() when there is none.
  uint64_t nextShown(uint64_t row) const;

private:
  std::vector<uint64_t> words_;
  std::vector<uint64_t> shownBeforeBlock_;
  uint64_t size_ = 0;
  uint64_t shownCount_ = 0;
};

} // namespace explorer

#endif
