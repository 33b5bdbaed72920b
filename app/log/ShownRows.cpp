#include "app/log/ShownRows.h"

#include <algorithm>
#include <bit>

namespace explorer {

namespace {

constexpr uint64_t kWordsPerBlock = ShownRows::kBlockRows / 64;

// The position of the n-th set bit of word (n < popcount(word)).
int NthSetBit(uint64_t word, int n) {
  for (; n > 0; --n)
    word &= word - 1;
  return std::countr_zero(word);
}

} // namespace

void ShownRows::clear() {
  std::vector<uint64_t>().swap(words_);
  std::vector<uint64_t>().swap(shownBeforeBlock_);
  size_ = 0;
  shownCount_ = 0;
}

void ShownRows::append(bool shown) {
  if (size_ % kBlockRows == 0)
    shownBeforeBlock_.push_back(shownCount_);
  if (size_ % 64 == 0)
    words_.push_back(0);
  if (shown) {
    words_.back() |= uint64_t(1) << (size_ % 64);
    ++shownCount_;
  }
  ++size_;
}

uint64_t ShownRows::nthShown(uint64_t n) const {
  // The last block with at most n rows shown before it holds the row.
  const auto after =
      std::upper_bound(shownBeforeBlock_.begin(), shownBeforeBlock_.end(), n);
  const uint64_t block = uint64_t(after - shownBeforeBlock_.begin()) - 1;
  uint64_t left = n - shownBeforeBlock_[block];
  for (uint64_t word = block * kWordsPerBlock;; ++word) {
    const auto count = uint64_t(std::popcount(words_[word]));
    if (left < count)
      return word * 64 + uint64_t(NthSetBit(words_[word], int(left)));
    left -= count;
  }
}

uint64_t ShownRows::shownBefore(uint64_t row) const {
  if (row >= size_)
    return shownCount_;
  const uint64_t block = row / kBlockRows;
  uint64_t count = shownBeforeBlock_[block];
  const uint64_t lastWord = row / 64;
  for (uint64_t word = block * kWordsPerBlock; word < lastWord; ++word)
    count += uint64_t(std::popcount(words_[word]));
  const uint64_t below = (uint64_t(1) << (row % 64)) - 1;
  return count + uint64_t(std::popcount(words_[lastWord] & below));
}

uint64_t ShownRows::nextShown(uint64_t row) const {
  if (row >= size_)
    return size_;
  uint64_t word = row / 64;
  uint64_t bits = words_[word] & ~((uint64_t(1) << (row % 64)) - 1);
  while (bits == 0) {
    if (++word == words_.size())
      return size_;
    bits = words_[word];
  }
  return word * 64 + uint64_t(std::countr_zero(bits));
}

} // namespace explorer
