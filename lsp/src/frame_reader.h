// Content-Length framing: reads one message body at a time from a byte
// stream, for the server's input and for a child server's output alike.
#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "quillmark/lsp.h"

namespace quillmark::lsp {

constexpr std::size_t kMaxHeaderLine = 8192;

enum class Frame { kMessage, kBad, kEnd };

// Without the spaces and tabs around it, as header names and values are compared.
inline std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Reads framed messages. A bad header block is skipped up to its blank line,
// and its body too when its length was readable, so the next message is found.
class FrameReader {
 public:
  FrameReader(ByteStream& stream, std::size_t maxBody) : stream_(stream), maxBody_(maxBody) {}

  Frame Next(std::string& body, std::string& why) {
    bool sawHeader = false;
    bool bad = false;
    std::optional<std::size_t> length;
    for (;;) {
      std::string line;
      const LineResult result = ReadLine(line);
      if (result == LineResult::kEnd) return Frame::kEnd;
      if (result == LineResult::kTooLong) {
        why = "header line too long";
        bad = true;
        sawHeader = true;
        continue;
      }
      if (line.empty()) {
        if (!sawHeader) continue;  // stray blank lines between messages
        break;
      }
      sawHeader = true;
      const std::size_t colon = line.find(':');
      if (colon == std::string::npos) {
        why = "malformed header line";
        bad = true;
        continue;
      }
      const std::string_view name = TrimBlanks(std::string_view(line).substr(0, colon));
      if (!EqualsIgnoringCase(name, "content-length")) continue;
      length = ParseLength(std::string_view(line).substr(colon + 1));
      if (!length) {
        why = "Content-Length is not a number";
        bad = true;
      }
    }
    if (!length) {
      if (!bad) why = "message without Content-Length";
      return Frame::kBad;
    }
    if (*length > maxBody_) {
      why = "message of " + std::to_string(*length) + " bytes is too large";
      pendingSkip_ = *length;  // skipped after the error is answered
      return Frame::kBad;
    }
    body.clear();
    if (!Take(*length, &body)) return Frame::kEnd;
    return bad ? Frame::kBad : Frame::kMessage;
  }

 private:
  enum class LineResult { kLine, kTooLong, kEnd };

  static bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      char c = a[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != b[i]) return false;
    }
    return true;
  }

  static std::optional<std::size_t> ParseLength(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::size_t value = 0;
    for (const char c : text) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    return value;
  }

  bool Fill() {
    if (pos_ < buffer_.size()) return true;
    if (eof_) return false;
    buffer_.resize(65536);
    const std::size_t got = stream_.Read(buffer_.data(), buffer_.size());
    buffer_.resize(got);
    pos_ = 0;
    if (got == 0) eof_ = true;
    return got > 0;
  }

  // One line without its "\n" (and "\r"); an over-long line is consumed whole.
  LineResult ReadLine(std::string& line) {
    bool tooLong = false;
    for (;;) {
      if (!Fill()) return LineResult::kEnd;
      const char* start = buffer_.data() + pos_;
      const std::size_t available = buffer_.size() - pos_;
      const void* newline = std::memchr(start, '\n', available);
      const std::size_t take =
          newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - start) : available;
      if (!tooLong) {
        if (line.size() + take > kMaxHeaderLine) {
          tooLong = true;
          line.clear();
        } else {
          line.append(start, take);
        }
      }
      pos_ += take;
      if (newline) {
        ++pos_;
        if (tooLong) return LineResult::kTooLong;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return LineResult::kLine;
      }
    }
  }

  bool Take(std::size_t count, std::string* out) {
    while (count > 0) {
      if (!Fill()) return false;
      const std::size_t n = std::min(count, buffer_.size() - pos_);
      if (out) out->append(buffer_.data() + pos_, n);
      pos_ += n;
      count -= n;
    }
    return true;
  }

 public:
  // Whether the last bad frame was refused for its size, its body still unread.
  bool RefusedForSize() const { return pendingSkip_ > 0; }
  // Skips the body of a message refused for its size; false at the input's end.
  bool SkipRefusedBody() {
    const std::size_t count = pendingSkip_;
    pendingSkip_ = 0;
    return Take(count, nullptr);
  }

 private:
  ByteStream& stream_;
  const std::size_t maxBody_;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool eof_ = false;
  std::size_t pendingSkip_ = 0;
};

}  // namespace quillmark::lsp
