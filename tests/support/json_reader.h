#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vantix_test {

// A parsed JSON value. Lookups of a missing key or index give a shared null
// value, so chains like v["a"]["b"][0] never fail.
struct JsonValue {
  enum Type { kNull, kBool, kNumber, kString, kArray, kObject };

  Type type = kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  bool IsNull() const { return type == kNull; }
  const JsonValue& operator[](const std::string& key) const;
  const JsonValue& operator[](size_t index) const;
  size_t size() const { return type == kArray ? items.size() : members.size(); }
};

// Parses a whole JSON text (RFC 8259, \u escapes decoded to UTF-8). On a
// syntax error returns false and says where in `error`.
bool ParseJson(const std::string& text, JsonValue* value, std::string* error);

}  // namespace vantix_test
