// JSON lines.
#include "cli/json_line.h"

#include <cstdio>

namespace korva::cli {

std::string JsonQuoted(const std::string& text) {
  std::string quoted = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      quoted += escaped;
    } else {
      quoted += static_cast<char>(c);
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
