// JSON lines.
#include "cli/json_line.h"

#include <cstdio>

namespace korva::cli {
namespace {

// The length of the well-formed UTF-8 sequence that starts at `text[at]`, or 0 when the bytes
// there are not one (a stray continuation byte, a cut or overlong sequence, a surrogate, a
// code point past U+10FFFF).
std::size_t Utf8SequenceAt(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;  // the second byte's bounds, narrower for some leads
  unsigned char high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong form
    if (lead == 0xED) high = 0x9F;  // no surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong form
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

void AppendEscape(std::string& quoted, unsigned char c) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
  quoted += escaped;
}

}  // namespace

std::string JsonQuoted(const std::string& text) {
  std::string quoted = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    const std::size_t length = Utf8SequenceAt(text, at);
    if (length == 0) {
      AppendEscape(quoted, c);  // a byte that is not UTF-8: its Latin-1 reading
      ++at;
    } else if (length > 1) {
      quoted.append(text, at, length);
      at += length;
    } else {
      if (c == '"' || c == '\\') {
        quoted += '\\';
        quoted += static_cast<char>(c);
      } else if (c == '\n') {
        quoted += "\\n";
      } else if (c < 0x20 || c == 0x7F) {
        AppendEscape(quoted, c);
      } else {
        quoted += static_cast<char>(c);
      }
      ++at;
    }
  }
  return quoted + "\"";
}

void JsonLine::Key(const char* key) {
  if (body_.size() > 1) body_ += ',';
  body_ += JsonQuoted(key) + ":";
}

JsonLine& JsonLine::Add(const char* key, const std::string& value) {
  Key(key);
  body_ += JsonQuoted(value);
  return *this;
}

JsonLine& JsonLine::Add(const char* key, long long value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

JsonLine& JsonLine::AddNull(const char* key) {
  Key(key);
  body_ += "null";
  return *this;
}

}  // namespace korva::cli
