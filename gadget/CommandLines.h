// The gadget's commands as standard input brings them: bytes in, whole lines
// out, each at most kMaxLineBytes long, so that input without line ends
// cannot grow without bound. Plain C++; one thread.
#ifndef PINWORTH_GADGET_COMMAND_LINES_H
#define PINWORTH_GADGET_COMMAND_LINES_H

#include <cstddef>
#include <optional>
#include <string>

namespace gadget {

class CommandLines {
public:
  // The most bytes a line takes, without its line end, as in a pinworth
  // session.
  static constexpr size_t kMaxLineBytes = 4096;

  // Takes size bytes read; nothing more once a line was too long.
  void add(const char *bytes, size_t size);
  // The next whole line, without its line end; none until one is whole, or
  // once a line was too long.
  std::optional<std::string> next();
  // Whether a line was longer than kMaxLineBytes: the input is not read on.
  bool tooLong() const { return tooLong_; }

private:
  std::string pending_;
  bool tooLong_ = false;
};

} // namespace gadget

#endif
