// One JSON object on one line, built field by field. Strings are escaped; the program passes
// only UTF-8 or ASCII text (device bytes go through PrintableVersion first).
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
