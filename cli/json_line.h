// One JSON object on one line, built field by field. Every line is valid UTF-8 JSON, whatever
// bytes a value holds (a file name from the command line may be in any encoding): well-formed
// UTF-8 is kept, and each byte that is not part of it is escaped as the code point of its
// Latin-1 reading (0xE9 as \u00e9), as are control characters.
#pragma once

#include <string>

namespace korva::cli {

class JsonLine {
 public:
  explicit JsonLine(const char* event) { Add("event", event); }
  JsonLine& Add(const char* key, const std::string& value);
  JsonLine& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
  JsonLine& Add(const char* key, long long value);
  JsonLine& Add(const char* key, int value) { return Add(key, static_cast<long long>(value)); }
  JsonLine& Add(const char* key, long value) { return Add(key, static_cast<long long>(value)); }
  JsonLine& AddNull(const char* key);
  std::string Text() const { return body_ + "}"; }

 private:
  void Key(const char* key);
  std::string body_ = "{";
};

std::string JsonQuoted(const std::string& text);

}  // namespace korva::cli
