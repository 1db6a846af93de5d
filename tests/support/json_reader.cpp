#include "support/json_reader.h"

#include <cstdlib>
#include <cstring>

namespace vantix_test {

namespace {

const JsonValue& NullValue() {
  static const JsonValue kNull;
  return kNull;
}

class Parser {
 public:
  explicit Parser(const std::string& text) : m_text(text) {}

  bool ParseDocument(JsonValue* value, std::string* error) {
    const bool parsed = ParseValue(value, 0) && (SkipSpace(), m_pos == m_text.size());
    if (!parsed && error != nullptr) *error = "JSON error near byte " + std::to_string(m_pos);
    return parsed;
  }

 private:
  static const int kMaxDepth = 64;

  void SkipSpace() {
    while (m_pos < m_text.size() && strchr(" \t\r\n", m_text[m_pos]) != nullptr) ++m_pos;
  }

  bool Consume(char c) {
    SkipSpace();
    if (m_pos >= m_text.size() || m_text[m_pos] != c) return false;
    ++m_pos;
    return true;
  }

  bool ConsumeWord(const char* word) {
    const size_t length = strlen(word);
    if (m_text.compare(m_pos, length, word) != 0) return false;
    m_pos += length;
    return true;
  }

  bool ParseValue(JsonValue* value, int depth) {
    if (depth > kMaxDepth) return false;
    SkipSpace();
    if (m_pos >= m_text.size()) return false;
    const char c = m_text[m_pos];
    if (c == '{') return ParseObject(value, depth);
    if (c == '[') return ParseArray(value, depth);
    if (c == '"') {
      value->type = JsonValue::kString;
      return ParseString(&value->text);
    }
    if (ConsumeWord("null")) return true;
    for (const bool word : {true, false}) {
      if (!ConsumeWord(word ? "true" : "false")) continue;
      value->type = JsonValue::kBool;
      value->boolean = word;
      return true;
    }
    return ParseNumber(value);
  }

  bool ParseNumber(JsonValue* value) {
    const size_t start = m_pos;
    while (m_pos < m_text.size() && strchr("+-0123456789.eE", m_text[m_pos]) != nullptr) ++m_pos;
    if (m_pos == start) return false;
    const std::string digits = m_text.substr(start, m_pos - start);
    char* end = nullptr;
    value->type = JsonValue::kNumber;
    value->number = strtod(digits.c_str(), &end);
    return *end == '\0';
  }

  bool ParseObject(JsonValue* value, int depth) {
    value->type = JsonValue::kObject;
    ++m_pos;
    if (Consume('}')) return true;
    do {
      std::string key;
      SkipSpace();
      if (!ParseString(&key) || !Consume(':')) return false;
      if (!ParseValue(&value->members[key], depth + 1)) return false;
    } while (Consume(','));
    return Consume('}');
  }

  bool ParseArray(JsonValue* value, int depth) {
    value->type = JsonValue::kArray;
    ++m_pos;
    if (Consume(']')) return true;
    do {
      value->items.emplace_back();
      if (!ParseValue(&value->items.back(), depth + 1)) return false;
    } while (Consume(','));
    return Consume(']');
  }

  static void AppendUtf8(unsigned int codePoint, std::string* out) {
    if (codePoint < 0x80) {
      *out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
      *out += static_cast<char>(0xC0 | (codePoint >> 6));
      *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
      *out += static_cast<char>(0xE0 | (codePoint >> 12));
      *out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
      *out += static_cast<char>(0xF0 | (codePoint >> 18));
      *out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
      *out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
  }

  bool ParseHex4(unsigned int* value) {
    if (m_pos + 4 > m_text.size()) return false;
    const std::string digits = m_text.substr(m_pos, 4);
    if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    *value = static_cast<unsigned int>(strtoul(digits.c_str(), nullptr, 16));
    m_pos += 4;
    return true;
  }

  bool ParseEscape(std::string* out) {
    const char c = m_text[m_pos++];
    const char* const kSimple = "\"\\/bfnrt";
    const char* const kMeaning = "\"\\/\b\f\n\r\t";
    if (const char* found = strchr(kSimple, c); found != nullptr && c != '\0') {
      *out += kMeaning[found - kSimple];
      return true;
    }
    unsigned int codePoint = 0;
    if (c != 'u' || !ParseHex4(&codePoint)) return false;
    if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
      unsigned int low = 0;
      if (!ConsumeWord("\\u") || !ParseHex4(&low) || low < 0xDC00 || low > 0xDFFF) return false;
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(codePoint, out);
    return true;
  }

  bool ParseString(std::string* out) {
    if (m_pos >= m_text.size() || m_text[m_pos] != '"') return false;
    ++m_pos;
    while (m_pos < m_text.size()) {
      const char c = m_text[m_pos++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        *out += c;
      } else if (m_pos >= m_text.size() || !ParseEscape(out)) {
        return false;
      }
    }
    return false;
  }

  const std::string& m_text;
  size_t m_pos = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
  const auto member = members.find(key);
  return type == kObject && member != members.end() ? member->second : NullValue();
}

const JsonValue& JsonValue::operator[](size_t index) const {
  return type == kArray && index < items.size() ? items[index] : NullValue();
}

bool ParseJson(const std::string& text, JsonValue* value, std::string* error) {
  *value = JsonValue();
  return Parser(text).ParseDocument(value, error);
}

}  // namespace vantix_test
