#include "core/text/SkimmedJson.h"

#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace core {

namespace json {

namespace {

constexpr size_t kChunkBytes = 64 << 10;
// A run of a string's raw bytes is checked as UTF-8 a piece of about this
// many bytes at a time.
constexpr qsizetype kCheckedPiece = 4096;

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
         (c >= 'A' && c <= 'F');
}

// Reads a file as json::Parse reads text, keeping what it needs: the
// strings are followed, checked and, when long, left out. A fault is noted
// and the bytes after it taken on: a fault in the text before it, which
// json::Parse finds there, would come first.
class Skimmer {
public:
  explicit Skimmer(qsizetype longest) : longest_(longest) {}

  // Takes the size bytes read at the file's offset at.
  void take(const char *bytes, size_t size, qint64 at) {
    for (size_t i = 0; i < size;) {
      size_t end = i;
      if (!inString_) {
        const void *quote = std::memchr(bytes + i, '"', size - i);
        end = quote ? size_t(static_cast<const char *>(quote) - bytes) : size;
        skimmed_.text.append(bytes + i, qsizetype(end - i));
      } else if (!escaped_ && hexLeft_ == 0) {
        while (end < size && bytes[end] != '"' && bytes[end] != '\\' &&
               uint8_t(bytes[end]) >= 0x20)
          ++end;
        takeRaw(bytes + i, end - i);
      }
      if (end < size)
        take(bytes[end], at + qint64(end));
      i = end + 1;
    }
  }

private:
  // Takes a byte that is not a run of a string's raw bytes.
  void take(char c, qint64 at) {
    if (!inString_) {
      skimmed_.text += c; // the opening quote
      beginString(at + 1);
      return;
    }
    if (hexLeft_ > 0) {
      if (!IsHexDigit(c))
        fail(uAt_, "four hexadecimal digits were expected");
      if (--hexLeft_ == 0)
        runAt_ = at + 1;
      return keep(c);
    }
    if (escaped_) {
      escaped_ = false;
      if (c == 'u') {
        hexLeft_ = 4;
        uAt_ = at + 1;
      } else if (!QByteArrayView("\"\\/bfnrt").contains(c)) {
        fail(at, "an unknown escape");
      }
      runAt_ = at + 1;
      return keep(c);
    }
    if (c == '"') {
      endRun();
      endString(at);
      skimmed_.text += c;
      return;
    }
    if (uint8_t(c) < 0x20)
      fail(at, "a control character in a string");
    if (c == '\\') {
      endRun();
      escaped_ = true;
      return keep(c);
    }
    takeRaw(&c, 1); // a control character, a fault
  }

  // Takes size raw bytes of a string.
  void takeRaw(const char *bytes, size_t size) {
    run_.append(bytes, qsizetype(size));
    if (run_.size() >= kCheckedPiece)
      checkRun(false);
    if (gap_)
      return;
    inside_.append(bytes, qsizetype(size));
    if (inside_.size() > longest_) {
      gap_ = true;
      inside_.clear();
    }
  }

public:
  // The file ended at offset at.
  Skimmed end(qint64 at) {
    if (inString_ && hexLeft_ > 0)
      fail(uAt_, "four hexadecimal digits were expected");
    else if (inString_ && escaped_)
      fail(at, "an unknown escape");
    else if (inString_)
      fail(at, "an unterminated string");
    if (inString_)
      endString(at); // the text still holds every byte
    return std::move(skimmed_);
  }

private:
  void fail(qint64 at, const char *message) {
    if (!skimmed_.fault)
      skimmed_.fault = ParseError{at, QString::fromLatin1(message)};
  }

  void beginString(qint64 insideAt) {
    inString_ = true;
    insideAt_ = runAt_ = insideAt;
    inside_.clear();
    gap_ = false;
    notUtf8_ = false;
  }
  void endString(qint64 quoteAt) {
    inString_ = false;
    if (gap_)
      skimmed_.gaps.push_back(
          {skimmed_.text.size(), insideAt_, quoteAt - insideAt_});
    else
      skimmed_.text += inside_;
  }

  // Keeps a byte of a string's inside, until the inside is too long.
  void keep(char c) {
    if (gap_)
      return;
    inside_ += c;
    if (inside_.size() > longest_) {
      gap_ = true;
      inside_.clear();
    }
  }

  // Checks the raw bytes taken as UTF-8 up to the last whole sequence (all
  // of them once the run is over); a fault is held until the run ends, as
  // json::Parse finds it there.
  void checkRun(bool over) {
    qsizetype whole = run_.size();
    if (!over) {
      qsizetype lead = whole;
      while (lead > 0 && whole - lead < 3 &&
             (uint8_t(run_[lead - 1]) & 0xC0) == 0x80)
        --lead;
      if (lead > 0 && uint8_t(run_[lead - 1]) >= 0xC0)
        whole = lead - 1;
    }
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString decoded =
        decoder.decode(QByteArrayView(run_).first(whole));
    notUtf8_ = notUtf8_ || decoder.hasError();
    run_.remove(0, whole);
  }
  void endRun() {
    checkRun(true);
    if (notUtf8_)
      fail(runAt_, "text that is not UTF-8");
    notUtf8_ = false;
  }

  const qsizetype longest_;
  Skimmed skimmed_;
  bool inString_ = false;
  qint64 insideAt_ = 0; // the file's offset of the string's inside
  QByteArray inside_;   // while it is short
  bool gap_ = false;    // the inside is long: left out
  // The checks of the string's inside.
  bool escaped_ = false;
  int hexLeft_ = 0;
  qint64 uAt_ = 0;   // where a \u escape's digits begin
  qint64 runAt_ = 0; // where the raw bytes since the last escape begin
  QByteArray run_;   // those not checked yet
  bool notUtf8_ = false;
};

} // namespace

// What comes before the text's byte at is in the file before it: the gaps
// up to at, a gap at at too.
qint64 Skimmed::fileOffset(qsizetype at) const {
  qint64 offset = at;
  for (const Gap &gap : gaps) {
    if (gap.at > at)
      break;
    offset += gap.size;
  }
  return offset;
}

std::variant<Skimmed, ReadFailure> Skim(int fd, qsizetype longest) {
  Skimmer skimmer(longest);
  std::vector<char> chunk(kChunkBytes);
  qint64 at = 0;
  for (;;) {
    const ssize_t count = ::pread(fd, chunk.data(), chunk.size(), off_t(at));
    if (count < 0 && errno == EINTR)
      continue;
    if (count < 0)
      return ReadFailure{errno};
    if (count == 0)
      return skimmer.end(at);
    skimmer.take(chunk.data(), size_t(count), at);
    at += count;
  }
}

std::variant<Value, ParseError> Parse(const Skimmed &skimmed) {
  auto parsed = Parse(QByteArrayView(skimmed.text));
  if (auto *error = std::get_if<ParseError>(&parsed))
    error->offset = skimmed.fileOffset(error->offset);
  const auto *error = std::get_if<ParseError>(&parsed);
  if (skimmed.fault && (!error || skimmed.fault->offset <= error->offset))
    return *skimmed.fault;
  return parsed;
}

bool WriteWhole(const Skimmed &skimmed, qsizetype begin, qsizetype end, int fd,
                QIODevice &out) {
  const auto write = [&out](const char *bytes, qint64 size) {
    errno = 0;
    if (out.write(bytes, size) == size)
      return true;
    errno = errno ? errno : ENOSPC;
    return false;
  };
  std::vector<char> chunk(kChunkBytes);
  qsizetype from = begin;
  for (const Skimmed::Gap &gap : skimmed.gaps) {
    // A gap goes before the text's byte at gap.at: at the end of what is
    // written only at the text's end (a string the file ends in).
    if (gap.at < begin || gap.at > end ||
        (gap.at == end && end < skimmed.text.size()))
      continue;
    if (!write(skimmed.text.constData() + from, gap.at - from))
      return false;
    for (qint64 done = 0; done < gap.size;) {
      const ssize_t count = ::pread(
          fd, chunk.data(),
          size_t(std::min<qint64>(qint64(chunk.size()), gap.size - done)),
          off_t(gap.fileAt + done));
      if (count < 0 && errno == EINTR)
        continue;
      if (count <= 0) {
        errno = count == 0 ? EIO : errno; // the file is shorter than it was
        return false;
      }
      if (!write(chunk.data(), count))
        return false;
      done += count;
    }
    from = gap.at;
  }
  return write(skimmed.text.constData() + from, end - from);
}

} // namespace json

} // namespace core
